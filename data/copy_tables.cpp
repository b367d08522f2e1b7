#include "data/copy_tables.h"

#include <optional>

#include "data/database.h"
#include "data/dialect.h"
#include "data/record.h"
#include "data/table.h"

namespace mg::db {
namespace {

// Rows are read a page at a time, in the order of the row identity, so that a large table is
// never held whole by the driver.
constexpr int kPage = 5000;

Error failedOn(const TableDecl& t, Error e, const char* what) {
    e.driverText = std::string(what) + " " + std::string(t.storageName()) + ": " + (e.driverText.empty() ? e.text : e.driverText);
    return e;
}

Error copyTable(Connection& from, Connection& to, const TableRows& rows, int64_t& copied) {
    const TableDecl& t = decl(rows.table);
    if (t.isResultTable()) return Error::ok();
    const Dialect& src = from.dialect();
    if (t.isView()) {
        // A view becomes a table of the rows the source's view gives, in the order it gives
        // them: the program reads a view in that order, and the view of the copy could give
        // the same rows in another.
        const Dialect& dst = to.dialect();
        std::string columns;
        for (const ColumnDecl& c : t.columns) columns += (columns.empty() ? "" : ", ") + dst.quoteName(c.name) + " " + dst.columnType(c);
        const std::string name = dst.tableName(t);
        if (Error e = to.exec("DROP VIEW " + name)) return failedOn(t, e, "cannot write the copy of");
        if (Error e = to.exec("CREATE TABLE " + name + " (" + columns + ")")) return failedOn(t, e, "cannot write the copy of");
    }
    std::vector<int> columns;
    std::string list;
    for (size_t c = 0; c < t.columns.size(); ++c) {
        columns.push_back(static_cast<int>(c));
        list += ", " + src.quoteName(t.columns[c].name);
    }
    std::string where;
    if (rows.column >= 0) {
        if (rows.values.empty()) return Error::ok();
        where = src.quoteName(t.columns[rows.column].name) + " IN (";
        for (size_t i = 0; i < rows.values.size(); ++i) where += (i ? ", " : "") + std::to_string(rows.values[i]);
        where += ")";
    }
    // A table without a row identity (keyed by text codes) is read in one statement; the
    // others page by page, each page after the last row identity read, and then the rows
    // whose identity is NULL (a unique key may hold it), which no page reaches.
    const std::string id = src.rowIdentity(t);
    const std::string name = src.tableName(t);
    const auto query = [&](std::string condition, bool paged) {
        if (!where.empty()) condition = condition.empty() ? where : where + " AND " + condition;
        const std::string rest = condition.empty() ? "" : "WHERE " + condition;
        if (!paged) return "SELECT 0" + list + " FROM " + name + (rest.empty() ? "" : " " + rest);
        return src.limited(id + list, name, rest + " ORDER BY " + id, kPage);
    };
    std::vector<std::string> reads;  // the first page, the next pages, the NULL rows
    if (id.empty()) {
        reads = {query("", false)};
    } else {
        reads = {query(id + " IS NOT NULL", true), query(id + " > ?", true), query(id + " IS NULL", false)};
    }

    Error err;
    Statement* insert = to.prepare(to.dialect().insert(t, columns, -1), err);
    if (!insert) return failedOn(t, err, "cannot write the copy of");
    Record scratch(t);
    std::optional<int64_t> last;
    size_t read = 0;
    while (read < reads.size()) {
        Statement* select = from.prepare(reads[read], err);
        if (!select) return failedOn(t, err, "cannot read");
        if (read == 1) select->bind(1, Param::integer(*last));
        int n = 0;
        while (select->step(err)) {
            ++n;
            last = select->integer(0);
            insert->reset();
            for (int c : columns) insert->bind(c + 1, writtenForm(scratch, c, *select, c + 1));
            insert->step(err);
            if (err) {
                select->reset();
                return failedOn(t, err, "cannot write the copy of");
            }
            ++copied;
        }
        select->reset();
        if (err) return failedOn(t, err, "cannot read");
        // Paging goes on while pages come full; the NULL rows come last.
        if (read == 2 || reads.size() == 1) break;
        read = n == kPage ? 1 : 2;
    }
    return Error::ok();
}

// Drops the indexes of a table of the copy, adding the statements that make them again to
// `indexes`.
Error takeIndexes(Connection& to, const TableDecl& t, std::vector<std::string>& indexes) {
    Error err;
    Statement* st = to.prepare("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ?1 AND sql IS NOT NULL", err);
    if (!st) return err;
    st->bind(1, Param::str(std::string(t.storageName())));
    std::vector<std::string> names;
    while (st->step(err)) {
        names.push_back(st->text(0));
        indexes.push_back(st->text(1));
    }
    st->reset();
    for (size_t i = 0; !err && i < names.size(); ++i) err = to.exec("DROP INDEX " + to.dialect().quoteName(names[i]));
    return err;
}

}  // namespace

Error copyTables(Connection& source, const std::string& target, const std::vector<TableRows>& tables, int64_t* rowsCopied) {
    if (Error e = createDatabase(target)) return e;
    Settings embedded;
    embedded.driver = "sqlite";
    embedded.database = target;
    Error err;
    std::unique_ptr<Connection> to = connect(embedded, err);
    if (!to) return err;
    if (Error e = source.beginReadOnly()) return e;
    int64_t copied = 0;
    // The file is thrown away if the machine stops: nothing of it needs to reach the disk
    // before the end.
    Error e = to->exec("PRAGMA synchronous=OFF");
    if (!e) e = to->begin(5);
    // The indexes of the tables that get rows are made again once the rows are in: built in
    // one go from the rows, they cost a fraction of what keeping them up row by row does.
    std::vector<std::string> indexes;
    for (size_t i = 0; !e && i < tables.size(); ++i) {
        const TableDecl& t = decl(tables[i].table);
        if (t.isResultTable()) continue;
        // A table the source lacks is left out of the copy too: the work on the copy then
        // meets its absence as the work on the source would (makes it, or reports it).
        ObjectInfo info;
        if ((e = source.describe(t.storageName(), info))) {
            e = failedOn(t, e, "cannot read");
            break;
        }
        if (!info.exists) {
            e = to->exec((t.isView() ? "DROP VIEW " : "DROP TABLE ") + to->dialect().tableName(t));
            continue;
        }
        const bool rows = tables[i].column < 0 || !tables[i].values.empty();
        if (rows && !t.isView() && (e = takeIndexes(*to, t, indexes))) break;
        e = copyTable(source, *to, tables[i], copied);
    }
    source.rollback();
    for (size_t i = 0; !e && i < indexes.size(); ++i) e = to->exec(indexes[i]);
    if (e) to->rollback();
    else e = to->commit();
    if (rowsCopied) *rowsCopied = copied;
    return e;
}

}  // namespace mg::db
