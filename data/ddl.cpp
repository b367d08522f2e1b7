#include "data/ddl.h"

namespace mg::ddl {
namespace {

std::string q(std::string_view name, db::SqlDialect d) {
    if (d == db::SqlDialect::SqlServer) return "[" + std::string(name) + "]";
    return "\"" + std::string(name) + "\"";
}

std::string tableName(const TableDecl& t, db::SqlDialect d) {
    if (d == db::SqlDialect::SqlServer) {
        std::string_view n = t.sqlName;
        if (n.substr(0, 4) == "dbo.") return "[dbo]." + q(n.substr(4), d);
        return "[dbo]." + q(n, d);
    }
    return q(t.storageName(), d);
}

std::string sqliteType(const ColumnDecl& c) {
    switch (c.type) {
    case ColType::Text:
    case ColType::ZText: return "TEXT COLLATE NOCASE";
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8: return "INTEGER";
    case ColType::Float64: return "REAL";
    case ColType::Decimal: return c.scale == 0 ? "INTEGER" : "TEXT";
    case ColType::Date:
    case ColType::Time:
    case ColType::DateTime: return "TEXT";
    }
    return "TEXT";
}

std::string mssqlType(const ColumnDecl& c) {
    switch (c.type) {
    case ColType::Text: return "char(" + std::to_string(c.size) + ")";
    case ColType::ZText: return "varchar(" + std::to_string(c.size > 1 ? c.size - 1 : 1) + ")";
    case ColType::Int32: return "int";
    case ColType::Int16: return "smallint";
    case ColType::UInt16: return "int";
    case ColType::UInt8: return "tinyint";
    case ColType::Float64: return "float";
    case ColType::Decimal: return "decimal(" + std::to_string(c.size) + "," + std::to_string(c.scale) + ")";
    case ColType::Date:
    case ColType::Time:
    case ColType::DateTime: return "datetime";
    }
    return "int";
}

}  // namespace

std::string keyTerm(const ColumnDecl& c, db::SqlDialect d) {
    if (d == db::SqlDialect::Sqlite && (c.type == ColType::Text || c.type == ColType::ZText))
        return "rtrim(" + q(c.name, d) + ") COLLATE NOCASE";
    return q(c.name, d);
}

bool keyIsRowKey(const TableDecl& t, int key) {
    const KeyDecl& k = t.keys[key];
    return k.components.size() == 1 && t.columns[k.components[0].column].numbered;
}

std::string createTable(const TableDecl& t, db::SqlDialect d) {
    const bool lite = d == db::SqlDialect::Sqlite;
    if (t.isView()) {
        // The waiting document fees: diary attachments whose Fees is not set, with the fee
        // earner of their diary entry.
        if (lite)
            return "CREATE VIEW " + tableName(t, d) +
                   " AS SELECT a.CASECODE AS CASECODE, a.DIARYID AS DIARYID, a.NAME AS NAME, d.FNCODE AS FNCODE"
                   " FROM DiaryAttachments a LEFT JOIN diary d ON d.ACTIONID = a.DIARYID"
                   " WHERE IFNULL(a.FEES, 0) = 0";
        return "CREATE VIEW " + tableName(t, d) +
               " AS SELECT a.CaseCode AS CASECODE, CAST(a.DiaryID AS int) AS DIARYID, a.Name AS NAME, d.FnCode AS FNCODE"
               " FROM dbo.DiaryAttachments a LEFT JOIN dbo.diary d ON d.ActionID = a.DiaryID"
               " WHERE ISNULL(a.Fees, 0) = 0";
    }
    std::string s = "CREATE TABLE " + tableName(t, d) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnDecl& c = t.columns[i];
        if (i) s += ", ";
        s += q(c.name, d) + " ";
        if (c.numbered)
            // Numbers are never handed out twice, as with an identity column: AUTOINCREMENT keeps
            // the number of a deleted last row from being used again.
            s += lite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : mssqlType(c) + " IDENTITY(1,1) NOT NULL";
        else
            s += lite ? sqliteType(c) : mssqlType(c) + " NULL";
    }
    if (t.flags & TableFlag::HasSignature) s += ", " + q("SIGNATURE", d) + (lite ? " BLOB" : " varbinary(max) NULL");
    s += ")";
    return s;
}

std::vector<std::string> createIndexes(const TableDecl& t, db::SqlDialect d) {
    std::vector<std::string> out;
    if (t.isView()) return out;
    for (size_t k = 0; k < t.keys.size(); ++k) {
        if (keyIsRowKey(t, static_cast<int>(k))) continue;
        const KeyDecl& key = t.keys[k];
        std::string s = "CREATE ";
        if (key.unique) s += "UNIQUE ";
        s += "INDEX ";
        s += q(t.indexName(static_cast<int>(k)), d) + " ON " + tableName(t, d) + " (";
        for (size_t i = 0; i < key.components.size(); ++i) {
            if (i) s += ", ";
            s += keyTerm(t.columns[key.components[i].column], d);
            if (key.components[i].descending) s += " DESC";
        }
        s += ")";
        out.push_back(std::move(s));
    }
    // Indexes beyond the declared keys that the program's own statements need so that
    // their cost does not grow with the table: the outlay import looks for the day's open
    // automatic batch of a nominal code by code and date.
    if (t.id == TableId::BatchH)
        out.push_back("CREATE INDEX " + q("BatchH_CodeDate", d) + " ON " + tableName(t, d) + " (" +
                      keyTerm(t.columns[t.columnIndex("CODE")], d) + ", " + q("DATE", d) + ")");
    return out;
}

std::string script(db::SqlDialect d) {
    std::string s;
    // Views last: they read the tables.
    for (int pass = 0; pass < 2; ++pass) {
        for (const TableDecl& t : allTables()) {
            if (t.isView() != (pass == 1)) continue;
            s += "-- " + std::string(t.label) + " (" + std::string(t.prefix) + ")\n";
            s += createTable(t, d) + ";\n";
            for (const std::string& i : createIndexes(t, d)) s += i + ";\n";
        }
    }
    return s;
}

}  // namespace mg::ddl
