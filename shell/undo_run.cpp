#include "shell/undo_run.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "data/context.h"
#include "data/ini.h"
#include "data/lock_file.h"
#include "data/table.h"
#include "outlays/batch_posting.h"
#include "outlays/outlay_import.h"
#include "shell/cli.h"
#include "shell/settings.h"

namespace mg::shell {
namespace {

// The tables taking a run back reads and writes.
const std::vector<TableId> kUndoTables{TableId::BatchDetails, TableId::BatchH, TableId::DiaryAttachments,
                                       TableId::TimeDayBook,  TableId::FeesImported, TableId::SQLResultD};

void errorLine(std::string_view text) {
    std::fprintf(stderr, "marrowgate: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

bool isImport(const history::RunInfo& r) { return r.kind == history::kOutlayRun || r.kind == history::kFeeRun; }

std::string amount(const Decimal& d) { return d.toString(2); }

std::string rowError(Context& ctx, const std::string& what) {
    return what + ": " + (ctx.fileError().empty() ? ctx.errorText() : ctx.fileError());
}

// The attachments or diary entries of the rows, latest first: a header a run created is
// taken back with the first of its attachments, once the later ones have left it.
std::vector<int64_t> unitsOf(const std::vector<history::RowRecord>& rows) {
    std::set<int64_t> units;
    for (const history::RowRecord& r : rows) units.insert(r.ref);
    return {units.rbegin(), units.rend()};
}

}  // namespace

UndoPlan planUndo(Session s, history::RunHistory& h, int32_t runId) {
    UndoPlan plan;
    const std::vector<history::RunInfo> runs = h.runs();
    const history::RunInfo* chosen = nullptr;
    if (runId == 0) {
        for (auto it = runs.rbegin(); it != runs.rend() && !chosen; ++it)
            if (isImport(*it) && it->undoneBy == 0) chosen = &*it;
        if (!chosen) {
            plan.refusal = "There is no import run to take back.";
            return plan;
        }
    } else {
        for (const history::RunInfo& r : runs)
            if (r.runId == runId) chosen = &r;
        if (!chosen) {
            plan.refusal = "There is no run " + std::to_string(runId) + " in the run history (marrowgate runs lists them).";
            return plan;
        }
    }
    plan.run = *chosen;
    const history::RunInfo& run = plan.run;
    if (!isImport(run)) {
        plan.refusal = "Run " + std::to_string(run.runId) + " takes back another run; it cannot itself be taken back.";
        return plan;
    }
    if (run.undoneBy != 0) {
        plan.refusal = "Run " + std::to_string(run.runId) + " was taken back already, by run " + std::to_string(run.undoneBy) + ".";
        return plan;
    }
    if (run.outcome == history::kRunning) {
        plan.refusal = "Run " + std::to_string(run.runId) + " is still running on " + run.station + " (" + run.folder +
                       "); it can be taken back once it has ended.";
        return plan;
    }
    // Latest first: a later run of the same kind stands in the way.
    for (const history::RunInfo& r : runs)
        if (r.kind == run.kind && r.runId > run.runId && r.undoneBy == 0) {
            plan.refusal = "Run " + std::to_string(run.runId) + " cannot be taken back before the later run " + std::to_string(r.runId) +
                           " of the " + run.kind + ": runs are taken back latest first.";
            return plan;
        }
    for (history::RowRecord& r : h.rowsOf(run.runId))
        if (r.undone == 0) plan.rows.push_back(std::move(r));

    Context& ctx = s.ctx;
    if (run.kind == history::kOutlayRun) {
        std::map<int32_t, bool> posted;
        std::set<int32_t> created;
        for (const history::RowRecord& r : plan.rows) {
            if (r.kind == history::kHeader) created.insert(r.batchNo);
            if (r.kind != history::kLine) continue;
            if (!posted.count(r.batchNo)) {
                ctx.set(BAH::BATCHNO, r.batchNo);
                const int rc = ctx.table(TableId::BatchH).get(BAH::BATCHH);
                posted[r.batchNo] = rc == NoError && ctx.trimmed(BAH::POSTED) == "Y";
            }
            const std::string line = "line " + std::to_string(r.pref) + " of batch " + std::to_string(r.batchNo) + " (track ref " +
                                     std::to_string(r.ref) + ", " + amount(r.amount) + ")";
            if (posted[r.batchNo])
                plan.blockers.push_back("batch " + std::to_string(r.batchNo) + " is posted: " + line);
            else
                plan.steps.push_back("delete " + line + " and take " + amount(r.amount) + " off the batch's total");
        }
        for (int32_t b : created)
            if (!posted[b]) plan.steps.push_back("delete batch header " + std::to_string(b) + " when no line is left in it");
        plan.steps.push_back("start the next outlay import after track ref " + std::to_string(run.fromRef));
        if (!plan.blockers.empty())
            plan.refusal = "Run " + std::to_string(run.runId) + " cannot be taken back: " + std::to_string(plan.blockers.size()) +
                           " of its lines are in posted batches.";
    } else {
        for (const history::RowRecord& r : plan.rows) {
            if (r.kind == history::kDayBook)
                plan.steps.push_back("delete time day book entry " + std::to_string(r.rowNo) + " of diary entry " + std::to_string(r.ref) +
                                     " (" + amount(r.amount) + ")");
            else if (r.kind == history::kImported)
                plan.steps.push_back("delete imported-fees row " + std::to_string(r.rowNo) + " of diary entry " + std::to_string(r.ref));
            else if (r.kind == history::kMarked)
                plan.steps.push_back("mark the attachments of diary entry " + std::to_string(r.ref) + " as waiting again");
        }
    }
    return plan;
}

UndoResult undoRun(Session s, history::RunHistory& h, const UndoPlan& plan, const std::string& productIni) {
    UndoResult res;
    Context& ctx = s.ctx;
    const history::RunInfo& run = plan.run;
    if (!h.beginRun(history::kUndoRun, "undo-run", run.fromRef, false, run.runId)) {
        res.error = rowError(ctx, "The undo cannot be recorded in the run history");
        return res;
    }
    res.undoRun = h.runId();
    const bool outlays = run.kind == history::kOutlayRun;
    const std::vector<int64_t> units = unitsOf(plan.rows);
    Table& bad = ctx.table(TableId::BatchDetails);
    Table& bah = ctx.table(TableId::BatchH);
    Table& sqld = ctx.table(TableId::SQLResultD);
    std::string failure;
    for (size_t u = 0; u < units.size() && failure.empty(); ++u) {
        const int64_t unit = units[u];
        int lines = 0, headers = 0, feeRows = 0;
        Decimal total;
        // One attachment or diary entry, with its history rows marked, in one transaction.
        if (ctx.begin(5)) {
            failure = rowError(ctx, "Starting the transaction");
            break;
        }
        auto fail = [&](const std::string& what) {
            failure = rowError(ctx, what);
            while (ctx.transactionDepth() > 0) ctx.rollback();
        };
        for (const history::RowRecord& r : plan.rows) {
            if (r.ref != unit || !failure.empty()) continue;
            if (outlays && r.kind == history::kLine) {
                ctx.set(BAH::BATCHNO, r.batchNo);
                int rc = bah.get(BAH::BATCHH);
                if (rc && rc != NoRecErr) {
                    fail("Reading batch header " + std::to_string(r.batchNo));
                    break;
                }
                if (rc == NoError && ctx.trimmed(BAH::POSTED) == "Y") {
                    // Posted since the plan was made: nothing of this attachment is touched.
                    failure = "batch " + std::to_string(r.batchNo) + " was posted meanwhile";
                    while (ctx.transactionDepth() > 0) ctx.rollback();
                    break;
                }
                ctx.set(BAD::KEYID, Decimal(r.rowNo));
                const int found = bad.get(BAD::KEYIDORDER);
                if (found && found != NoRecErr) {
                    fail("Reading batch line " + std::to_string(r.pref));
                    break;
                }
                if (found == NoRecErr) continue;  // deleted by hand: nothing to take off its header
                if (bad.remove()) {
                    fail("Deleting batch line " + std::to_string(r.pref));
                    break;
                }
                ++lines;
                total = total + r.amount;
                if (rc == NoError) {
                    ctx.set(BAH::VALUE, ctx.get(BAH::VALUE) - r.amount);
                    ctx.set(BAH::CURRENCYVALUE, ctx.get(BAH::VALUE) * outlays::conversionFactor());
                    if (bah.put()) {
                        fail("Writing the total of batch header " + std::to_string(r.batchNo));
                        break;
                    }
                }
            } else if (!outlays && (r.kind == history::kDayBook || r.kind == history::kImported)) {
                const bool dayBook = r.kind == history::kDayBook;
                Table& t = ctx.table(dayBook ? TableId::TimeDayBook : TableId::FeesImported);
                int rc;
                if (dayBook) {
                    ctx.set(TID::RECORDID, Decimal(r.rowNo));
                    rc = t.get(TID::KEYRECORDID);
                } else {
                    ctx.set(FIMP::RECORDID, static_cast<int32_t>(r.rowNo));
                    rc = t.get(FIMP::PK_FEESIMPORTED);
                }
                if (rc && rc != NoRecErr) {
                    fail("Reading fee row " + std::to_string(r.rowNo));
                    break;
                }
                if (rc == NoRecErr) continue;
                if (t.remove()) {
                    fail("Deleting fee row " + std::to_string(r.rowNo));
                    break;
                }
                ++feeRows;
                if (dayBook) total = total + r.amount;
            } else if (!outlays && r.kind == history::kMarked) {
                if (ctx.table(TableId::DiaryAttachments)
                        .setSql("Update DiaryAttachments Set Fees = 0 Where DiaryId = " + std::to_string(r.ref))) {
                    fail("Marking the attachments of diary entry " + std::to_string(r.ref) + " as waiting");
                    break;
                }
            }
        }
        if (!failure.empty()) break;
        // The headers this attachment created, once no line is left in them.
        for (const history::RowRecord& r : plan.rows) {
            if (r.ref != unit || r.kind != history::kHeader) continue;
            if (sqld.setSql("Select count(*) from BatchDetails Where BatchNo = " + std::to_string(r.batchNo)) || sqld.next()) {
                fail("Counting the lines of batch " + std::to_string(r.batchNo));
                break;
            }
            if (ctx.get(SQLD::RESULTFIELD).toInt64() > 0) continue;
            ctx.set(BAH::BATCHNO, r.batchNo);
            const int rc = bah.get(BAH::BATCHH);
            if (rc == NoRecErr) continue;
            if (rc || ctx.trimmed(BAH::POSTED) == "Y" || bah.remove()) {
                fail("Deleting batch header " + std::to_string(r.batchNo));
                break;
            }
            ++headers;
        }
        if (!failure.empty()) break;
        if (Error e = h.markUnitUndone(run.runId, unit, res.undoRun)) {
            ctx.setError(e);
            fail("Marking the run history");
            break;
        }
        // The last one also marks the run as taken back, so the starting point goes back with it.
        if (u + 1 == units.size())
            if (Error e = h.markRunUndone(run.runId, res.undoRun)) {
                ctx.setError(e);
                fail("Marking the run history");
                break;
            }
        if (ctx.commit()) {
            fail("Committing");
            break;
        }
        ++res.units;
        res.linesDeleted += lines;
        res.headersDeleted += headers;
        res.feeRowsDeleted += feeRows;
        res.total = res.total + total;
    }
    // A run with nothing left to take back (an undo killed after its last unit, or a run that
    // wrote nothing) is marked on its own.
    if (failure.empty() && units.empty()) {
        if (ctx.begin(5) == NoError) {
            Error e = h.markRunUndone(run.runId, res.undoRun);
            if (e || ctx.commit()) {
                while (ctx.transactionDepth() > 0) ctx.rollback();
                failure = "the run history cannot be marked";
            }
        }
    }
    h.endRun(failure.empty() ? "completed" : "stopped", 0, 0);
    // The next outlay import of this folder starts where the run started.
    if (failure.empty() && outlays && !productIni.empty()) {
        ini::Lookup l = ini::lookup(productIni, outlays::kOutlaysSection, outlays::kLastTrackRefKey);
        if (l.value && ini::strictWholeNumber(*l.value).value_or(0) > run.fromRef)
            ini::put(productIni, outlays::kOutlaysSection, outlays::kLastTrackRefKey, std::to_string(run.fromRef));
    }
    res.ok = failure.empty();
    res.error = failure;
    return res;
}

std::string runsListing(const std::vector<history::RunInfo>& runs) {
    std::string out = "RUN  KIND     STARTED              ENDED                STATION / FOLDER\n"
                      "     FROM     FIRST    LAST     ITEMS  ROWS   TOTAL          OUTCOME\n";
    char buf[512];
    for (const history::RunInfo& r : runs) {
        std::snprintf(buf, sizeof buf, "%-4d %-8s %-20s %-20s %s / %s\n", r.runId, r.kind.c_str(), r.started.c_str(),
                      r.ended.empty() ? "-" : r.ended.c_str(), r.station.c_str(), r.folder.c_str());
        out += buf;
        std::string outcome = r.outcome;
        if (r.kind == history::kUndoRun) outcome += " (takes back run " + std::to_string(r.undoOf) + ")";
        if (r.undoneBy) outcome += " (taken back by run " + std::to_string(r.undoneBy) + ")";
        if (r.chosen) outcome += " (start chosen)";
        std::snprintf(buf, sizeof buf, "     %-8d %-8d %-8d %-6d %-6d %-14s %s\n", r.fromRef, r.firstRef, r.lastRef, r.items, r.rowsWritten,
                      amount(r.total).c_str(), outcome.c_str());
        out += buf;
    }
    if (runs.empty()) out += "(no runs recorded)\n";
    return out;
}

namespace {

// The database of vorn.ini, its tables open and the run history read; nothing when it
// cannot be had (said on standard error).
struct Opened {
    std::unique_ptr<Context> ctx;
    std::unique_ptr<CommandLineUserInterface> ui;
    std::unique_ptr<TableUse> tables;
    std::unique_ptr<history::RunHistory> history;
    Session session() { return Session{*ctx, *ui}; }
};

bool openDatabase(const std::string& command, Opened& o) {
    const Globals& g = startUp();
    if (const std::string trouble = connectionIniTrouble(g.connectionIni); !trouble.empty()) {
        errorLine(command + " cannot start: " + trouble);
        return false;
    }
    o.ctx = std::make_unique<Context>(g.connection.db);
    if (!o.ctx->connection()) {
        errorLine(command + " cannot open the database (" + settingsFrom(g.connectionIni) + "): " + o.ctx->lastError().driverText);
        return false;
    }
    o.ui = std::make_unique<CommandLineUserInterface>(stderr);
    o.history = std::make_unique<history::RunHistory>(o.session());
    if (!o.history->open()) {
        errorLine(command + ": the run history cannot be read: " + o.history->why());
        return false;
    }
    return true;
}

}  // namespace

int runsCommand(const std::vector<std::string>& args) {
    if (args.size() > 1) {
        errorLine("runs: unexpected \"" + args[1] + "\" (usage: marrowgate runs)");
        return ExitFailed;
    }
    Opened o;
    if (!openDatabase("runs", o)) return ExitFailed;
    const std::string text = runsListing(o.history->runs());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return ExitOk;
}

TakeBack takeBack(Session s, history::RunHistory& h, int32_t runId, const std::string& productIni,
                  const std::function<bool(const UndoPlan&)>& confirm) {
    TakeBack out;
    // No outlay import posts while a run is taken back, and two undos never meet.
    db::Connection* c = s.ctx.connection();
    bool granted = false;
    db::LockHolder holder;
    if (Error e = c->tryApplicationLock(outlays::kImportLockName, granted, holder); e || !granted) {
        out.text = "An outlay import (or another undo) is running on this database" + (e ? std::string() : ", " + holder.describe()) +
                   ". Take the run back when it has finished.";
        return out;
    }
    h.settleKilled(history::kOutlayRun);
    h.settleKilled(history::kUndoRun);
    const UndoPlan plan = planUndo(s, h, runId);
    if (!plan.refusal.empty()) {
        out.text = plan.refusal;
        for (const std::string& b : plan.blockers) out.text += "\n  " + b;
        if (plan.run.runId != 0) out.text += "\nNothing was changed.";
    } else if (confirm(plan)) {
        const UndoResult r = undoRun(s, h, plan, productIni);
        out.done = r.units > 0 || r.ok;
        out.text = "Run " + std::to_string(r.undoRun) + " took back " + std::to_string(r.units) + " of " +
                   std::to_string(unitsOf(plan.rows).size()) +
                   (plan.run.kind == history::kOutlayRun ? " attachments" : " diary entries") + " of run " +
                   std::to_string(plan.run.runId) + ": ";
        if (plan.run.kind == history::kOutlayRun)
            out.text += std::to_string(r.linesDeleted) + " lines deleted, " + std::to_string(r.headersDeleted) +
                        " batch headers deleted, " + amount(r.total) + " taken off the batch totals.";
        else
            out.text += std::to_string(r.feeRowsDeleted) + " fee rows deleted, " + amount(r.total) + " of fees.";
        if (!r.ok)
            out.text += "\nIt stopped: " + r.error + ". What was taken back stays taken back; take run " +
                        std::to_string(plan.run.runId) + " back again to finish.";
        out.ok = r.ok;
    } else {
        out.ok = true;
    }
    c->releaseApplicationLock(outlays::kImportLockName);
    return out;
}

int undoRunCommand(const std::vector<std::string>& args) {
    bool dryRun = false;
    int32_t runId = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--dry-run") {
            dryRun = true;
        } else if (std::optional<long long> n = ini::strictWholeNumber(a); n && *n > 0 && *n <= INT32_MAX && runId == 0) {
            runId = static_cast<int32_t>(*n);
        } else {
            errorLine("undo-run: unexpected \"" + a + "\" (usage: marrowgate undo-run [RUN] [--dry-run])");
            return ExitFailed;
        }
    }
    Opened o;
    if (!openDatabase("undo-run", o)) return ExitFailed;
    o.tables = std::make_unique<TableUse>(o.session(), kUndoTables);
    if (!o.tables->ok()) return ExitFailed;
    TakeBack t = takeBack(o.session(), *o.history, runId, productIniPath(), [&](const UndoPlan& plan) {
        if (!dryRun) return true;
        std::string text = "Taking back run " + std::to_string(plan.run.runId) + " (" + plan.run.kind + ", " + plan.run.started +
                           ") would:\n";
        for (const std::string& step : plan.steps) text += "  " + step + "\n";
        text += "Nothing was changed (dry run).\n";
        std::fwrite(text.data(), 1, text.size(), stdout);
        return false;
    });
    if (t.done) std::printf("%s\n", t.text.c_str());
    else if (!t.ok) errorLine(t.text);
    return t.ok ? ExitOk : ExitFailed;
}

}  // namespace mg::shell
