// The outlay import of 20,000 attachments (one or two charge rows each) on the embedded
// database without windows, beside a minimal replay of the same statement stream written
// directly against SQLite (prepared statements, no record buffers), with the same database
// settings on both sides. Run once with 1,000 and once with 100,000 existing batch lines:
// the cost per attachment must not grow with the size of the tables.
//
//     mg_outlay_import_bench [attachments]
//
// Beside scripts/pg.sh the import also runs on the PostgreSQL test server (at most 2,000
// attachments), beside a replay of its own statement stream through the same ODBC driver.

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "data/database.h"
#include "data/dates.h"
#include "data/ini.h"
#include "maintenance/integrity.h"
#include "outlays/outlay_import.h"
#include "ui/scripted.h"

#include "bench_support.h"
#include "server_replay.h"
#include "wire_proxy.h"

namespace {

using mg::bench::QuietUi;
using mg::bench::exec;

using Clock = std::chrono::steady_clock;



enum class Mix { Half, OneLine, TwoLine };

// A practice with `attachments` waiting attachments and `lines` existing batch lines in
// older batches; half the attachments have one charge row and half two, or all one or two.
void seed(const std::string& path, int attachments, int lines, Mix mix = Mix::Half) {
    if (mg::Error e = mg::db::createDatabase(path)) {
        std::fprintf(stderr, "%s\n", e.driverText.c_str());
        std::exit(1);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    exec(db, "BEGIN");
    exec(db, "INSERT INTO control (NAME, OUTLAY, YEAR, CURPER, LASTBATCH, LASTPREF, NEXT_DOC_NO) VALUES ('Bench', '7100', 2026, 12, "
             "100000, 5000000, 1)");
    exec(db, "INSERT INTO OutlayCode VALUES ('CSF', 'Court Stamp Fee'), ('SRCH', 'Land Registry Search'), ('COPY', 'Photocopying')");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
             "INSERT INTO Matters (CODE, CLIENTCODE, ORIGINALDEBT, DEBTINTEREST, DEBTCOLLECTED) "
             "SELECT printf('M%05d', i), printf('C%04d', i), printf('%d.00', i * 97), '0.00', '0.00' FROM n");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
             "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) SELECT i, printf('M%05d', i), 'JMK' FROM n");
    // 40 documents: the even ones with one charge row, the odd ones with two of different codes.
    for (int d = 0; d < 40; ++d) {
        std::string doc = "DOC" + std::to_string(d);
        exec(db, "INSERT INTO DocumentCharges (DOCUMENTNAME, OUTLAYCODE, OUTLAYAMOUNT, NOMINALCODE, BAND1, BAND2, OUTLAYAMT2, BAND3, "
                 "OUTLAYAMT3, BAND4, OUTLAYAMT4, BAND5, OUTLAYAMT5) VALUES ('" + doc +
                     "', 'CSF', '12.50', '4100', '1000.00', '5000.00', '20.00', '10000.00', '30.00', '30000.00', '40.00', "
                     "'60000.00', '50.00')");
        if (d % 2)
            exec(db, "INSERT INTO DocumentCharges (DOCUMENTNAME, OUTLAYCODE, OUTLAYAMOUNT, NOMINALCODE, BAND1) VALUES ('" + doc +
                         "', 'SRCH', '25.00', '4200', '100000.00')");
    }
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(attachments) +
                 ") INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) "
                 "SELECT 1 + i % 500, i, printf('M%05d', 1 + i % 500), 'DOC' || " +
                 std::string(mix == Mix::Half ? "(i % 40)" : mix == Mix::OneLine ? "((i % 20) * 2)" : "((i % 20) * 2 + 1)") + ", 1 FROM n");
    // Existing, posted history.
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(lines / 20 + 1) +
                 ") INSERT INTO BatchH (BATCHNO, CODE, PREF, REF, DATE, POSTED, VALUE) "
                 "SELECT i, '4100', i, 'AutoOutlay', date('2020-01-01', '+' || (i % 1500) || ' days'), 'Y', '100.00' FROM n");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(lines) +
                 ") INSERT INTO BatchDetails (BATCHNO, TYPE, CODE, PREF, REF, DATE, VALUE, MATTER, OUTLAYCODE) "
                 "SELECT 1 + i / 20, 'P', '7100', 100000 + i, 'Doc Outlay', '2021-01-01', '5.00', 'M00001', 'CSF' FROM n");
    exec(db, "COMMIT");
    sqlite3_close(db);
}

struct Run {
    double seconds = 0;
    uint64_t statements = 0;
};

Run runImport(const std::string& path, const std::string& ini) {
    mg::db::Settings settings;
    settings.driver = "sqlite";
    settings.database = path;
    mg::Context ctx(settings);
    QuietUi ui;
    mg::Session s{ctx, ui};
    mg::outlays::OutlayImport import(s, ui, 0, ini);
    auto t0 = Clock::now();
    mg::ui::runWithoutWindow(import, nullptr);
    Run r;
    r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    r.statements = ctx.statementsSent();
    return r;
}

// The same statement stream, written straight against SQLite.
struct Replay {
    sqlite3* db = nullptr;
    sqlite3_stmt* prep(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", sqlite3_errmsg(db), sql);
            std::exit(1);
        }
        return st;
    }
};

// The replay as a run that posts a given number of attachments per turn, so that it can take
// turns with the import.
class ReplayRun {
public:
    ReplayRun(const std::string& path, std::string ini, bool writeIni) : ini_(std::move(ini)), writeIni_(writeIni) {
        sqlite3_open_v2(path.c_str(), &r.db, SQLITE_OPEN_READWRITE, nullptr);
        exec(r.db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
        // Text compares without its trailing blanks, as the import's statements compare it.
        page = r.prep("SELECT rowid, * FROM DiaryAttachments WHERE TRACKREFERENCE > ?1 ORDER BY TRACKREFERENCE LIMIT 256");
        count = r.prep("SELECT count(*) FROM DocumentCharges WHERE rtrim(DocumentName) COLLATE NOCASE = ?1");
        rows = r.prep("SELECT rowid, * FROM DocumentCharges WHERE rtrim(DOCUMENTNAME) COLLATE NOCASE = ?1 AND RECORDID >= 0 "
                     "ORDER BY RECORDID, rowid LIMIT 4");
        batch = r.prep("SELECT BatchNo FROM BatchH WHERE (rtrim(Code) COLLATE NOCASE = ?1) AND (rtrim(Posted) COLLATE NOCASE <> 'Y') "
                      "AND (rtrim(Ref) COLLATE NOCASE = 'AutoOutlay') AND (DATE = ?2)");
        ctl = r.prep("SELECT rowid, * FROM control ORDER BY NEXT_DOC_NO LIMIT 4");
        ctlPut = r.prep("UPDATE control SET LASTBATCH = ?1, LASTPREF = ?2 WHERE rowid = ?3");
        header = r.prep("INSERT INTO BatchH (BATCHNO, POSTFWD, TYPE, CODE, PREF, REF, DATE, NARR, VALUE, POSTED, CLIENTAC, PERNO, "
                        "YEAR, USERCODE, ENTRYDATE, CURRENCY) VALUES (?1, 'N', 'P', ?2, ?3, 'AutoOutlay', ?4, ?5, '0.00', 'N', "
                        "'N', 12, 2026, 'AUTO', ?4, 'E')");
        fee = r.prep("SELECT FnCode FROM Diary WHERE ActionID = ?1");
        outlay = r.prep("SELECT rowid, * FROM OutlayCode WHERE rtrim(CODE) COLLATE NOCASE = ?1 ORDER BY rowid LIMIT 1");
        matter = r.prep("SELECT rowid, * FROM Matters WHERE rtrim(CODE) COLLATE NOCASE = ?1 ORDER BY rowid LIMIT 1");
        line = r.prep("INSERT INTO BatchDetails (BATCHNO, TYPE, CODE, PREF, REF, DATE, FEE, NARR, MATTER, VALUE, VATCODE, VATVAL, "
                      "OUTLAY, YEAR, PERNO, ENTRYCURRENCY, CURRENCYVALUE, OUTLAYCODE) VALUES (?1, 'P', '7100', ?2, 'Doc Outlay', "
                      "?3, ?4, ?5, ?6, ?7, 'E', '0.00', 'O', 2026, 12, 'E', ?8, ?9)");
        getH = r.prep("SELECT rowid, VALUE FROM BatchH WHERE BATCHNO = ?1 LIMIT 1");
        putH = r.prep("UPDATE BatchH SET VALUE = ?1, CURRENCYVALUE = ?2 WHERE rowid = ?3");
        maxRef = r.prep("SELECT max(TrackReference) FROM DiaryAttachments");
        today = mg::dates::toIsoDate(mg::dates::today());
    }
    ~ReplayRun() {
        for (sqlite3_stmt* st : {page, count, rows, batch, ctl, ctlPut, header, fee, outlay, matter, line, getH, putH, maxRef})
            sqlite3_finalize(st);
        sqlite3_close(r.db);
    }
    double seconds = 0;

    // Posts up to n attachments; false once none are left (the closing query has then run).
    bool turn(int n) {
        auto t0 = Clock::now();
        bool more = true;
        for (int i = 0; i < n && more; ++i) {
            if (next_ == atts_.size()) {
                readPage();
                if (atts_.empty()) {
                    sqlite3_step(maxRef);
                    sqlite3_reset(maxRef);
                    more = false;
                    break;
                }
            }
            post(atts_[next_++]);
        }
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        return more;
    }

private:
    struct Att { long long ref, diary; std::string cas, doc; };

    void readPage() {
        atts_.clear();
        next_ = 0;
        sqlite3_bind_int64(page, 1, last_);
        while (sqlite3_step(page) == SQLITE_ROW)
            atts_.push_back({sqlite3_column_int64(page, 2), sqlite3_column_int64(page, 1),
                             reinterpret_cast<const char*>(sqlite3_column_text(page, 3)),
                             reinterpret_cast<const char*>(sqlite3_column_text(page, 4))});
        sqlite3_reset(page);
    }

    void post(const Att& a) {
            last_ = a.ref;
            sqlite3_bind_text(count, 1, a.doc.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(count);
            int n = sqlite3_column_int(count, 0);
            sqlite3_reset(count);
            if (n > 0) {
                exec(r.db, "BEGIN IMMEDIATE");
                sqlite3_bind_text(rows, 1, a.doc.c_str(), -1, SQLITE_TRANSIENT);
                struct Row { std::string outlay, nominal, amount; };
                std::vector<Row> charges;
                while (sqlite3_step(rows) == SQLITE_ROW && static_cast<int>(charges.size()) < n)
                    charges.push_back({reinterpret_cast<const char*>(sqlite3_column_text(rows, 2)),
                                       reinterpret_cast<const char*>(sqlite3_column_text(rows, 4)),
                                       reinterpret_cast<const char*>(sqlite3_column_text(rows, 3))});
                sqlite3_reset(rows);
                for (const Row& c : charges) {
                    auto takeNumbers = [&](bool forBatch, long long& batchNo, long long& pref) {
                        sqlite3_step(ctl);
                        long long rowid = sqlite3_column_int64(ctl, 0);
                        long long lastBatch = sqlite3_column_int64(ctl, 15), lastPref = sqlite3_column_int64(ctl, 17);
                        sqlite3_reset(ctl);
                        if (forBatch) batchNo = ++lastBatch;
                        pref = ++lastPref;
                        sqlite3_bind_int64(ctlPut, 1, lastBatch);
                        sqlite3_bind_int64(ctlPut, 2, lastPref);
                        sqlite3_bind_int64(ctlPut, 3, rowid);
                        sqlite3_step(ctlPut);
                        sqlite3_reset(ctlPut);
                    };
                    long long batchNo = 0, pref = 0;
                    sqlite3_bind_text(batch, 1, c.nominal.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(batch, 2, today.c_str(), -1, SQLITE_TRANSIENT);
                    if (sqlite3_step(batch) == SQLITE_ROW) batchNo = sqlite3_column_int64(batch, 0);
                    sqlite3_reset(batch);
                    if (!batchNo) {
                        takeNumbers(true, batchNo, pref);
                        sqlite3_bind_text(outlay, 1, c.outlay.c_str(), -1, SQLITE_TRANSIENT);
                        sqlite3_step(outlay);
                        sqlite3_reset(outlay);
                        sqlite3_bind_int64(header, 1, batchNo);
                        sqlite3_bind_text(header, 2, c.nominal.c_str(), -1, SQLITE_TRANSIENT);
                        sqlite3_bind_int64(header, 3, pref);
                        sqlite3_bind_text(header, 4, today.c_str(), -1, SQLITE_TRANSIENT);
                        sqlite3_bind_text(header, 5, "Court Stamp Fee", -1, SQLITE_STATIC);
                        sqlite3_step(header);
                        sqlite3_reset(header);
                    }
                    long long unused = 0;
                    takeNumbers(false, unused, pref);
                    sqlite3_bind_int64(fee, 1, a.diary);
                    sqlite3_step(fee);
                    std::string fe = sqlite3_column_text(fee, 0) ? reinterpret_cast<const char*>(sqlite3_column_text(fee, 0)) : "";
                    sqlite3_reset(fee);
                    sqlite3_bind_text(outlay, 1, c.outlay.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(outlay);
                    sqlite3_reset(outlay);
                    sqlite3_bind_text(matter, 1, a.cas.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(matter);
                    sqlite3_reset(matter);
                    sqlite3_bind_int64(line, 1, batchNo);
                    sqlite3_bind_int64(line, 2, pref);
                    sqlite3_bind_text(line, 3, today.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(line, 4, fe.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(line, 5, "Court Stamp Fee", -1, SQLITE_STATIC);
                    sqlite3_bind_text(line, 6, a.cas.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(line, 7, c.amount.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_text(line, 8, "9.84", -1, SQLITE_STATIC);
                    sqlite3_bind_text(line, 9, c.outlay.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_step(line);
                    sqlite3_reset(line);
                    sqlite3_bind_int64(getH, 1, batchNo);
                    sqlite3_step(getH);
                    long long hrow = sqlite3_column_int64(getH, 0);
                    sqlite3_reset(getH);
                    sqlite3_bind_text(putH, 1, "100.00", -1, SQLITE_STATIC);
                    sqlite3_bind_text(putH, 2, "78.76", -1, SQLITE_STATIC);
                    sqlite3_bind_int64(putH, 3, hrow);
                    sqlite3_step(putH);
                    sqlite3_reset(putH);
                }
                exec(r.db, "COMMIT");
            }
            if (writeIni_) mg::ini::put(ini_, "DocumentOutlays", "LastTrackRef", std::to_string(a.ref));
    }

    Replay r;
    std::string ini_;
    bool writeIni_;
    std::string today;
    long long last_ = 0;
    std::vector<Att> atts_;
    size_t next_ = 0;
    sqlite3_stmt *page, *count, *rows, *batch, *ctl, *ctlPut, *header, *fee, *outlay, *matter, *line, *getH, *putH, *maxRef;
};

// The import as a run that does one timer event's share per turn.
class ImportRun {
public:
    ImportRun(const std::string& path, const std::string& ini)
        : ctx_(settings(path)), s_{ctx_, ui_}, import_(s_, ui_, 0, ini) {
        auto t0 = Clock::now();
        if (!import_.prepare()) {
            std::fprintf(stderr, "the import did not start\n");
            std::exit(1);
        }
        import_.opened();
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    double seconds = 0;
    uint64_t statements() const { return ctx_.statementsSent(); }
    bool turn() {
        auto t0 = Clock::now();
        const bool more = !import_.ended();
        if (more) import_.cycle();
        if (import_.ended() && !finished_) {
            import_.finish();
            finished_ = true;
        }
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        return more;
    }

private:
    static mg::db::Settings settings(const std::string& path) {
        mg::db::Settings s;
        s.driver = "sqlite";
        s.database = path;
        return s;
    }
    mg::Context ctx_;
    QuietUi ui_;
    mg::Session s_;
    mg::outlays::OutlayImport import_;
    bool finished_ = false;
};

}  // namespace

// The same practice on the test server.
void seedServer(const std::string& database, int attachments, int lines, Mix mix = Mix::Half) {
    auto c = mg::bench::serverConnection(database);
    using mg::bench::serverExec;
    serverExec(*c, "INSERT INTO control (name, outlay, year, curper, lastbatch, lastpref, next_doc_no) VALUES ('Bench', '7100', 2026, "
                   "12, 100000, 5000000, 1)");
    serverExec(*c, "INSERT INTO outlaycode VALUES ('CSF', 'Court Stamp Fee'), ('SRCH', 'Land Registry Search'), ('COPY', 'Photocopying')");
    serverExec(*c, "INSERT INTO matters (code, clientcode, originaldebt, debtinterest, debtcollected) SELECT 'M' || lpad(i::text, 5, '0'), "
                   "'C' || lpad(i::text, 4, '0'), i * 97, 0, 0 FROM generate_series(1, 500) i");
    serverExec(*c, "INSERT INTO diary (actionid, casecode, fncode) SELECT i, 'M' || lpad(i::text, 5, '0'), 'JMK' FROM generate_series(1, 500) i");
    for (int d = 0; d < 40; ++d) {
        std::string doc = "DOC" + std::to_string(d);
        serverExec(*c, "INSERT INTO documentcharges (documentname, outlaycode, outlayamount, nominalcode, band1, band2, outlayamt2, band3, "
                       "outlayamt3, band4, outlayamt4, band5, outlayamt5) VALUES ('" + doc +
                           "', 'CSF', 12.50, '4100', 1000, 5000, 20, 10000, 30, 30000, 40, 60000, 50)");
        if (d % 2)
            serverExec(*c, "INSERT INTO documentcharges (documentname, outlaycode, outlayamount, nominalcode, band1) VALUES ('" + doc +
                               "', 'SRCH', 25.00, '4200', 100000)");
    }
    serverExec(*c, "INSERT INTO diaryattachments (diaryid, trackreference, casecode, name, fees) SELECT 1 + i % 500, i, "
                   "'M' || lpad((1 + i % 500)::text, 5, '0'), 'DOC' || " +
                       std::string(mix == Mix::Half ? "(i % 40)" : mix == Mix::OneLine ? "((i % 20) * 2)" : "((i % 20) * 2 + 1)") +
                       ", 1 FROM generate_series(1, " + std::to_string(attachments) + ") i");
    serverExec(*c, "INSERT INTO batchh (batchno, code, pref, ref, date, posted, value) SELECT i, '4100', i, 'AutoOutlay', "
                   "date '2020-01-01' + (i % 1500), 'Y', 100.00 FROM generate_series(1, " + std::to_string(lines / 20 + 1) + ") i");
    serverExec(*c, "INSERT INTO batchdetails (batchno, type, code, pref, ref, date, value, matter, outlaycode) SELECT 1 + i / 20, 'P', "
                   "'7100', 100000 + i, 'Doc Outlay', date '2021-01-01', 5.00, 'M00001', 'CSF' FROM generate_series(1, " +
                       std::to_string(lines) + ") i");
    serverExec(*c, "ANALYZE");
}

// The import on the test server through the wire proxy: its seconds, and the round trips the
// proxy saw (the connection's set-up and the run's start and end included).
struct WireRun {
    double seconds = 0;
    uint64_t roundTrips = 0;
    uint64_t statements = 0;  // as the data layer counts them
};
WireRun importThrough(mg::bench::WireProxy& proxy, const std::string& database, const std::string& ini) {
    const uint64_t before = proxy.roundTrips();
    WireRun r;
    {
        mg::db::Settings settings = mg::bench::serverSettings(database);
        settings.port = proxy.port();
        mg::Context ctx(settings);
        QuietUi ui;
        mg::Session s{ctx, ui};
        mg::outlays::OutlayImport import(s, ui, 0, ini);
        auto t0 = Clock::now();
        mg::ui::runWithoutWindow(import, nullptr);
        r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        r.statements = ctx.statementsSent();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the proxy sees the connection's end
    r.roundTrips = proxy.roundTrips() - before;
    return r;
}

// Round trips per attachment on the wire (a run over attachments of one kind less a run with
// nothing to post), and what a station gets with 1 ms added to each direction of every round
// trip.
void benchWire(const std::filesystem::path& dir) {
    const int port = std::atoi(std::getenv("MG_PG_PORT"));
    const int n = 200;
    std::printf("\non the wire (a loopback proxy in front of the test server), %d attachments of each kind\n", n);
    {
        mg::bench::WireProxy proxy(port, std::chrono::microseconds(0));
        double per[3] = {};
        uint64_t stmts[3] = {};
        for (Mix mix : {Mix::OneLine, Mix::TwoLine}) {
            const std::string some = mg::bench::makeServerDatabase("mgwire_a"), none = mg::bench::makeServerDatabase("mgwire_b");
            seedServer(some, n, 1000, mix);
            seedServer(none, 0, 1000, mix);
            const WireRun all = importThrough(proxy, some, (dir / "wire-some.ini").string());
            const WireRun nothing = importThrough(proxy, none, (dir / "wire-none.ini").string());
            per[static_cast<int>(mix)] = double(all.roundTrips - nothing.roundTrips) / n;
            stmts[static_cast<int>(mix)] = all.statements - nothing.statements;
            std::filesystem::remove(dir / "wire-some.ini");
            std::filesystem::remove(dir / "wire-none.ini");
            for (const std::string& d : {some, none}) mg::bench::dropServerDatabase(d);
        }
        std::printf("round trips per attachment: one charge row %.2f, two charge rows %.2f (statements the data layer sent: %.2f, %.2f)\n",
                    per[1], per[2], double(stmts[1]) / n, double(stmts[2]) / n);
    }
    for (int delayUs : {0, 1000}) {
        mg::bench::WireProxy proxy(port, std::chrono::microseconds(delayUs));
        const std::string d = mg::bench::makeServerDatabase("mgwire_c");
        seedServer(d, 2 * n, 1000);
        const WireRun r = importThrough(proxy, d, (dir / "wire-delay.ini").string());
        std::filesystem::remove(dir / "wire-delay.ini");
        mg::bench::dropServerDatabase(d);
        std::printf("%.1f ms added each way: %6.0f attachments/s (half one charge row, half two), %.2f round trips per attachment\n",
                    delayUs / 1000.0, 2 * n / r.seconds, double(r.roundTrips) / (2 * n));
    }
}

// The import on the test server beside the replay of its own statement stream.
void benchServer(int attachments, const std::filesystem::path& dir) {
    std::printf("\non the PostgreSQL test server through psqlODBC, %d attachments\n", attachments);
    std::printf("%-16s %14s %14s %14s %10s %12s\n", "existing lines", "import att/s", "replay att/s", "replay+ini", "ratio", "stmts/att");
    for (int lines : {1000, 100000}) {
        const std::string a = mg::bench::makeServerDatabase("mgbench_a"), b = mg::bench::makeServerDatabase("mgbench_b"),
                          c = mg::bench::makeServerDatabase("mgbench_c");
        seedServer(a, attachments, lines);
        seedServer(b, attachments, lines);
        seedServer(c, attachments, lines);
        mg::bench::Recording recording;
        mg::Context ctx(mg::bench::serverSettings(a));
        QuietUi ui;
        mg::Session s{ctx, ui};
        const std::string ini = (dir / ("server-" + std::to_string(lines) + ".ini")).string();
        mg::outlays::OutlayImport import(s, ui, 0, ini);
        mg::db::setStatementRecorder(&recording);
        auto t0 = Clock::now();
        mg::ui::runWithoutWindow(import, nullptr);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        mg::db::setStatementRecorder(nullptr);
        const double replay = recording.replay(b);
        const double replayIni = recording.replay(c, (dir / ("server-replay-" + std::to_string(lines) + ".ini")).string());
        std::printf("%-16d %14.0f %14.0f %14.0f %10.2f %12.1f\n", lines, attachments / seconds, attachments / replay,
                    attachments / replayIni, replay / seconds, double(ctx.statementsSent()) / attachments);
        std::printf("%-16s ratio against the replay that also stores the tracking reference: %.2f\n", "", replayIni / seconds);
        for (const std::string& d : {a, b, c}) mg::bench::dropServerDatabase(d);
    }
}

int main(int argc, char** argv) {
    const int attachments = argc > 1 ? std::atoi(argv[1]) : 20000;
    const auto dir = std::filesystem::temp_directory_path() / "mg-outlay-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("outlay import of %d attachments (half with one charge row, half with two), WAL, synchronous=FULL\n", attachments);
    // The statements one attachment costs (each a round trip on a server), by its charge rows:
    // runs over attachments of one kind, less a run with nothing to post.
    {
        const int n = 400;
        uint64_t per[3] = {};
        for (Mix mix : {Mix::OneLine, Mix::TwoLine}) {
            std::string p = (dir / "count.db").string(), q = (dir / "count0.db").string();
            std::filesystem::remove(p);
            std::filesystem::remove(q);
            seed(p, n, 1000, mix);
            seed(q, 0, 1000, mix);
            std::filesystem::remove(dir / "count.ini");
            std::filesystem::remove(dir / "count0.ini");
            const uint64_t all = runImport(p, (dir / "count.ini").string()).statements;
            const uint64_t none = runImport(q, (dir / "count0.ini").string()).statements;
            per[static_cast<int>(mix)] = all - none;
        }
        std::printf("statements per attachment: one charge row %.2f, two charge rows %.2f (the day's batches exist; begin and commit "
                    "included)\n",
                    double(per[1]) / n, double(per[2]) / n);
    }
    std::printf("%-16s %14s %14s %14s %10s %12s\n", "existing lines", "import att/s", "replay att/s", "replay+ini", "ratio", "stmts/att");
    for (int lines : {1000, 100000}) {
        std::string a = (dir / ("import-" + std::to_string(lines) + ".db")).string();
        std::string b = (dir / ("replay-" + std::to_string(lines) + ".db")).string();
        std::string c = (dir / ("replayini-" + std::to_string(lines) + ".db")).string();
        seed(a, attachments, lines);
        seed(b, attachments, lines);
        seed(c, attachments, lines);
        // The three take turns, one timer event's share of attachments each, so that the disk's
        // moods weigh on all alike.
        ImportRun imp(a, (dir / "import.ini").string());
        ReplayRun rep(b, (dir / "replay.ini").string(), false), repIni(c, (dir / "replayini.ini").string(), true);
        for (bool more = true; more;) {
            more = imp.turn();
            more = rep.turn(25) || more;
            more = repIni.turn(25) || more;
        }
        std::printf("%-16d %14.0f %14.0f %14.0f %10.2f %12.1f\n", lines, attachments / imp.seconds, attachments / rep.seconds,
                    attachments / repIni.seconds, rep.seconds / imp.seconds, double(imp.statements()) / attachments);
        std::printf("%-16s ratio against the replay that also stores the tracking reference: %.2f\n", "", repIni.seconds / imp.seconds);
        std::fflush(stdout);
    }
    if (mg::bench::serverAtHand()) {
        if (!std::getenv("MG_BENCH_WIRE_ONLY")) benchServer(std::min(attachments, 2000), dir);
        benchWire(dir);
    }
    if (!std::getenv("MG_BENCH_KEEP")) std::filesystem::remove_all(dir);
    return 0;
}
