#include "maintenance/run_history.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "data/file_io.h"
#include "data/context.h"
#include "data/dates.h"
#include "data/dialect.h"
#include "data/lock_file.h"
#include "data/table.h"

namespace mg::history {
namespace {

// SQL Server takes at most 2,100 parameters a statement: a unit's rows go in pieces of this many.
constexpr size_t kRowsPerInsert = 200;

std::string nowIso() { return dates::toIsoDate(dates::today()) + " " + dates::toIsoTime(dates::now()); }

int32_t toInt(const std::string& s) {
    try {
        return s.empty() ? 0 : static_cast<int32_t>(std::stoll(s));
    } catch (...) {
        return 0;
    }
}

Decimal toDecimal(const std::string& s) { return Decimal::parse(s).value_or(Decimal()); }

// "2026-12-07 14:05:00.000" and the like as "2026-12-07 14:05:00".
std::string shortTime(std::string s) { return s.size() > 19 ? s.substr(0, 19) : s; }

}  // namespace

std::string stationName() { return db::thisProcess().host; }

std::string folderName() {
    std::error_code ec;
    return files::textOf(std::filesystem::current_path(ec));
}

std::string RunHistory::name(TableId t) const { return s_.ctx.connection()->dialect().tableName(decl(t)); }

bool RunHistory::open() {
    available_ = false;
    Context& ctx = s_.ctx;
    if (!ctx.connection()) {
        why_ = "no connection to the database";
        return false;
    }
    for (TableId id : {TableId::ImportRuns, TableId::ImportRunRows}) {
        Table& t = ctx.table(id);
        if (t.isOpen()) continue;
        int rc = t.open();
        if (rc == NoFileError) {
            // Made where the login may; a login without the right to make tables is told once.
            if (t.create() == NoError) rc = t.open();
        }
        if (rc != NoError) {
            why_ = "the table " + std::string(decl(id).storageName()) + " cannot be made or read (" + ctx.errorText() +
                   (ctx.fileError().empty() ? std::string() : ": " + ctx.fileError()) + ")";
            return false;
        }
    }
    available_ = true;
    return true;
}

std::string RunHistory::unavailableText() const {
    return "The import runs cannot be recorded in the database: " + why_ +
           ".|The run goes on as before, without its record there (it cannot be taken back with undo-run).";
}

Error RunHistory::query(const std::string& sql, const std::vector<db::Param>& params, std::vector<std::vector<std::string>>* rows) {
    db::Connection* c = s_.ctx.connection();
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return err;
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    while (st->step(err)) {
        if (!rows) continue;
        std::vector<std::string> row;
        for (int i = 0; i < st->columnCount(); ++i) row.push_back(st->kind(i) == db::ValueKind::Null ? std::string() : st->text(i));
        rows->push_back(std::move(row));
    }
    st->reset();
    return err;
}

bool RunHistory::beginRun(const std::string& kind, const std::string& command, int32_t fromRef, bool chosen, int32_t undoOf) {
    runId_ = 0;
    if (!available_) return false;
    Context& ctx = s_.ctx;
    Table& t = ctx.table(TableId::ImportRuns);
    t.clear();
    ctx.set(MGR::KIND, kind);
    ctx.set(MGR::STATION, stationName());
    ctx.set(MGR::FOLDER, folderName());
    ctx.set(MGR::COMMAND, command);
    ctx.set(MGR::STARTED_DATE, dates::today());
    ctx.set(MGR::STARTED_TIME, dates::now());
    ctx.set(MGR::FROMREF, fromRef);
    ctx.set(MGR::CHOSEN, chosen ? "Y" : "N");
    ctx.set(MGR::TOTAL, Decimal());
    ctx.set(MGR::OUTCOME, kRunning);
    ctx.set(MGR::UNDOOF, undoOf);
    if (ctx.begin(2)) return false;
    if (t.add() || ctx.commit()) {
        while (ctx.transactionDepth() > 0) ctx.rollback();
        return false;
    }
    runId_ = static_cast<int32_t>(ctx.get(MGR::RUNID));
    return true;
}

Error RunHistory::record(const std::vector<RowRecord>& rows) {
    if (!available_ || runId_ == 0 || rows.empty()) return Error::ok();
    const db::Dialect& d = s_.ctx.connection()->dialect();
    const TableDecl& t = decl(TableId::ImportRunRows);
    const std::vector<int> columns{MGRR::RUNID.index, MGRR::KIND.index,  MGRR::UNITREF.index,    MGRR::BATCHNO.index,
                                   MGRR::PREF.index,  MGRR::ROWNO.index, MGRR::AMOUNT.index, MGRR::UNDONE.index};
    std::string cols;
    for (int c : columns) cols += (cols.empty() ? "" : ", ") + d.quoteName(t.columns[c].name);
    for (size_t from = 0; from < rows.size(); from += kRowsPerInsert) {
        const size_t to = std::min(rows.size(), from + kRowsPerInsert);
        std::string sql = "INSERT INTO " + d.tableName(t) + " (" + cols + ") VALUES ";
        std::vector<db::Param> params;
        for (size_t i = from; i < to; ++i) {
            sql += i == from ? "(?, ?, ?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?, ?, ?)";
            const RowRecord& r = rows[i];
            params.push_back(db::Param::integer(runId_));
            params.push_back(db::Param::str(r.kind));
            params.push_back(db::Param::integer(r.ref));
            params.push_back(db::Param::integer(r.batchNo));
            params.push_back(db::Param::integer(r.pref));
            params.push_back(db::Param::integer(r.rowNo));
            params.push_back(db::Param::str(r.amount.toString(2)));
            params.push_back(db::Param::integer(0));
        }
        if (Error e = query(sql, params, nullptr)) return e;
    }
    return Error::ok();
}

namespace {

struct Counts {
    int32_t items = 0, rows = 0, first = 0, last = 0;
    Decimal total;
};

// What the rows of a run (or, for an undo, the rows it took back) add up to.
Counts countOf(const std::vector<RowRecord>& rows) {
    Counts c;
    std::set<int64_t> units;
    for (const RowRecord& r : rows) {
        ++c.rows;
        units.insert(r.ref);
        if (r.kind == kLine || r.kind == kDayBook) c.total = c.total + r.amount;
    }
    c.items = static_cast<int32_t>(units.size());
    if (!units.empty()) {
        c.first = static_cast<int32_t>(*units.begin());
        c.last = static_cast<int32_t>(*units.rbegin());
    }
    return c;
}

}  // namespace

bool RunHistory::endRun(const std::string& outcome, int32_t firstRef, int32_t lastRef) {
    if (!available_ || runId_ == 0) return false;
    std::optional<RunInfo> info = run(runId_);
    if (!info) return false;
    std::vector<RowRecord> rows;
    if (info->kind == kUndoRun) {
        for (const RowRecord& r : rowsOf(info->undoOf))
            if (r.undone == runId_) rows.push_back(r);
    } else {
        rows = rowsOf(runId_);
    }
    const Counts c = countOf(rows);
    const db::Dialect& d = s_.ctx.connection()->dialect();
    const std::string sql = "UPDATE " + name(TableId::ImportRuns) + " SET " + d.quoteName("ENDED") + " = ?, " + d.quoteName("FIRSTREF") +
                            " = ?, " + d.quoteName("LASTREF") + " = ?, " + d.quoteName("ITEMS") + " = ?, " + d.quoteName("ROWSWRITTEN") +
                            " = ?, " + d.quoteName("TOTAL") + " = ?, " + d.quoteName("OUTCOME") + " = ? WHERE " + d.quoteName("RUNID") +
                            " = ?";
    Context& ctx = s_.ctx;
    if (ctx.begin(2)) return false;
    Error e = query(sql,
                    {db::Param::dateTime(nowIso()), db::Param::integer(firstRef ? firstRef : c.first),
                     db::Param::integer(lastRef ? lastRef : c.last), db::Param::integer(c.items), db::Param::integer(c.rows),
                     db::Param::str(c.total.toString(2)), db::Param::str(outcome), db::Param::integer(runId_)},
                    nullptr);
    if (e || ctx.commit()) {
        while (ctx.transactionDepth() > 0) ctx.rollback();
        return false;
    }
    return true;
}

bool RunHistory::settleKilled(const std::string& kind, const std::string& station, const std::string& folder) {
    if (!available_) return false;
    const int32_t own = runId_;
    bool ok = true;
    for (const RunInfo& r : runs()) {
        if (r.outcome != kRunning || r.runId == own) continue;
        if (!kind.empty() && r.kind != kind) continue;
        if (!station.empty() && (r.station != station || r.folder != folder)) continue;
        runId_ = r.runId;
        ok = endRun(kKilled, 0, 0) && ok;
    }
    runId_ = own;
    return ok;
}

std::optional<int32_t> RunHistory::outlayStart() {
    if (!available_) return std::nullopt;
    std::optional<int32_t> live, firstTakenBack;
    for (const RunInfo& r : runs()) {
        if (r.kind != kOutlayRun) continue;
        if (r.undoneBy != 0) {
            if (!firstTakenBack || r.fromRef < *firstTakenBack) firstTakenBack = r.fromRef;
            continue;
        }
        // A run still "running" (killed before it was settled) reached its highest row.
        int32_t reached = r.lastRef;
        if (r.outcome == kRunning) {
            reached = r.fromRef;
            for (const RowRecord& row : rowsOf(r.runId)) reached = std::max<int32_t>(reached, static_cast<int32_t>(row.ref));
        }
        reached = std::max(reached, r.fromRef);
        if (!live || reached > *live) live = reached;
    }
    return live ? live : firstTakenBack;
}

std::vector<RunInfo> RunHistory::runs() { return readRuns("", {}); }

std::optional<RunInfo> RunHistory::run(int32_t runId) {
    std::vector<RunInfo> one = readRuns("WHERE " + s_.ctx.connection()->dialect().quoteName("RUNID") + " = ?", {db::Param::integer(runId)});
    if (one.empty()) return std::nullopt;
    return std::move(one.front());
}

// The runs `where` selects (every run when empty), in their order.
std::vector<RunInfo> RunHistory::readRuns(const std::string& where, const std::vector<db::Param>& params) {
    std::vector<RunInfo> out;
    if (!available_) return out;
    const db::Dialect& d = s_.ctx.connection()->dialect();
    std::string cols;
    const TableDecl& t = decl(TableId::ImportRuns);
    for (const ColumnDecl& c : t.columns) cols += (cols.empty() ? "" : ", ") + d.quoteName(c.name);
    std::vector<std::vector<std::string>> rows;
    if (query("SELECT " + cols + " FROM " + d.tableName(t) + (where.empty() ? "" : " " + where) + " ORDER BY " + d.quoteName("RUNID"),
              params, &rows))
        return out;
    for (const auto& v : rows) {
        RunInfo r;
        r.runId = toInt(v[MGR::RUNID.index]);
        r.kind = v[MGR::KIND.index];
        r.station = v[MGR::STATION.index];
        r.folder = v[MGR::FOLDER.index];
        r.command = v[MGR::COMMAND.index];
        r.started = shortTime(v[MGR::STARTED_DATE.index]);
        r.ended = shortTime(v[MGR::ENDED_DATE.index]);
        r.fromRef = toInt(v[MGR::FROMREF.index]);
        r.chosen = v[MGR::CHOSEN.index] == "Y";
        r.firstRef = toInt(v[MGR::FIRSTREF.index]);
        r.lastRef = toInt(v[MGR::LASTREF.index]);
        r.items = toInt(v[MGR::ITEMS.index]);
        r.rowsWritten = toInt(v[MGR::ROWSWRITTEN.index]);
        r.total = toDecimal(v[MGR::TOTAL.index]);
        r.outcome = v[MGR::OUTCOME.index];
        r.undoOf = toInt(v[MGR::UNDOOF.index]);
        r.undoneBy = toInt(v[MGR::UNDONEBY.index]);
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<RowRecord> RunHistory::rowsOf(int32_t runId) {
    std::vector<RowRecord> out;
    if (!available_) return out;
    const db::Dialect& d = s_.ctx.connection()->dialect();
    const TableDecl& t = decl(TableId::ImportRunRows);
    std::string cols;
    for (const ColumnDecl& c : t.columns) cols += (cols.empty() ? "" : ", ") + d.quoteName(c.name);
    std::vector<std::vector<std::string>> rows;
    if (query("SELECT " + cols + " FROM " + d.tableName(t) + " WHERE " + d.quoteName("RUNID") + " = ? ORDER BY " +
                  d.quoteName("ENTRYID"),
              {db::Param::integer(runId)}, &rows))
        return out;
    for (const auto& v : rows) {
        RowRecord r;
        r.entryId = toInt(v[MGRR::ENTRYID.index]);
        r.runId = toInt(v[MGRR::RUNID.index]);
        r.kind = v[MGRR::KIND.index];
        while (!r.kind.empty() && r.kind.back() == ' ') r.kind.pop_back();
        r.ref = toInt(v[MGRR::UNITREF.index]);
        r.batchNo = toInt(v[MGRR::BATCHNO.index]);
        r.pref = toInt(v[MGRR::PREF.index]);
        r.rowNo = toInt(v[MGRR::ROWNO.index]);
        r.amount = toDecimal(v[MGRR::AMOUNT.index]);
        r.undone = toInt(v[MGRR::UNDONE.index]);
        out.push_back(std::move(r));
    }
    return out;
}

Error RunHistory::markUnitUndone(int32_t runId, int64_t ref, int32_t undoRun) {
    const db::Dialect& d = s_.ctx.connection()->dialect();
    return query("UPDATE " + name(TableId::ImportRunRows) + " SET " + d.quoteName("UNDONE") + " = ? WHERE " + d.quoteName("RUNID") +
                     " = ? AND " + d.quoteName("UNITREF") + " = ? AND " + d.quoteName("UNDONE") + " = 0",
                 {db::Param::integer(undoRun), db::Param::integer(runId), db::Param::integer(ref)}, nullptr);
}

Error RunHistory::markRunUndone(int32_t runId, int32_t undoRun) {
    const db::Dialect& d = s_.ctx.connection()->dialect();
    return query("UPDATE " + name(TableId::ImportRuns) + " SET " + d.quoteName("UNDONEBY") + " = ? WHERE " + d.quoteName("RUNID") + " = ?",
                 {db::Param::integer(undoRun), db::Param::integer(runId)}, nullptr);
}

}  // namespace mg::history
