// The fee import of 20,000 waiting fees on the embedded database without windows, beside a
// minimal replay of the same statement stream written directly against SQLite (prepared
// statements, no record buffers), with the same database settings on both sides (WAL,
// synchronous=FULL). The two take turns, one timer event's share of fees each, on two copies
// of the same practice, so that the disk's moods weigh on both alike. Both write the same
// rows, which the benchmark checks; it prints fees per second of each, their ratio, the
// statements the import sends per fee and the processor time per fee of each.
//
//     mg_fee_import_bench [fees] [--trace FILE]
//
// With --trace the import's statements are appended to FILE (slower: for reading only).

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/database.h"
#include "data/dates.h"
#include "fees/import_fees.h"
#include "maintenance/integrity.h"

#include "bench_support.h"
#include "server_replay.h"
#include "wire_proxy.h"

namespace {

using mg::bench::QuietUi;
using mg::bench::exec;

using Clock = std::chrono::steady_clock;



// A practice with `fees` waiting fees: 500 matters (every fourth without an arrangement of
// its own, so its client's is used), 20 fee earners, two arrangements of five charge codes,
// four task codes (the fifth code takes the matrix description), ten documents (eight with
// one task charge code, one with two, one without a mapping), one document per diary entry.
void seed(const std::string& path, int fees) {
    if (mg::Error e = mg::db::createDatabase(path)) {
        std::fprintf(stderr, "%s\n", e.driverText.c_str());
        std::exit(1);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    exec(db, "BEGIN");
    exec(db, "INSERT INTO control (NAME, YEAR, CURPER, NEXT_DOC_NO) VALUES ('Bench', 2026, 12, 1)");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 19) "
             "INSERT INTO Handlers (CODE, TEAM) SELECT printf('H%02d', i), printf('T%d', i % 4) FROM n");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 49) "
             "INSERT INTO Contacts (CODE, CHARGEARRANGEMENT) SELECT printf('C%03d', i), 'AR2' FROM n");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 499) "
             "INSERT INTO Matters (CODE, CHARGEARRANGEMENT, CLIENTCODE, ORIGINALDEBT, DEBTINTEREST, DEBTCOLLECTED) "
             "SELECT printf('M%05d', i), CASE WHEN i % 4 = 0 THEN '' ELSE 'AR1' END, printf('C%03d', i % 50), "
             "printf('%d.50', (i * 137) % 7000), '10.00', '0.50' FROM n");
    for (const char* arr : {"AR1", "AR2"})
        for (int c = 1; c <= 5; ++c) {
            std::string rates;
            for (int k = 1; k <= 6; ++k) rates += ", '" + std::to_string(k * 1000) + ".00', '" + std::to_string(k * 10 + c) + ".00'";
            exec(db, "INSERT INTO ChargingMatrix (ARRANGEMENTCODE, CHARGECODE, DESCRIPTION, STAGECODE, BAND1LIMIT, BAND1RATE, "
                     "BAND2LIMIT, BAND2RATE, BAND3LIMIT, BAND3RATE, BAND4LIMIT, BAND4RATE, BAND5LIMIT, BAND5RATE, BAND6LIMIT, "
                     "BAND6RATE) VALUES ('" + std::string(arr) + "', 'T0" + std::to_string(c) + "', 'Matrix fee " +
                         std::to_string(c) + " of " + arr + "', 'S" + std::to_string(c) + "'" + rates + ")");
        }
    exec(db, "INSERT INTO TasksCodes (CODE, \"DESC\") VALUES ('T01', 'Letter'), ('T02', 'Drafting'), ('T03', 'Attendance'), "
             "('T04', 'Telephone')");
    for (int d = 0; d < 9; ++d)
        exec(db, "INSERT INTO DocumentChargesFees (DOCUMENTNAME, TASKCHARGECODE) VALUES ('DOC" + std::to_string(d) + "', 'T0" +
                     std::to_string(d % 5 + 1) + "')");
    exec(db, "INSERT INTO DocumentChargesFees (DOCUMENTNAME, TASKCHARGECODE) VALUES ('DOC8', 'T02')");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(fees - 1) +
                 ") INSERT INTO diary (ACTIONID, CASECODE, FNCODE) SELECT 100000 + i, printf('M%05d', i % 500), "
                 "printf('H%02d', i % 20) FROM n");
    exec(db, "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(fees - 1) +
                 ") INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) "
                 "SELECT 100000 + i, 1 + i, printf('M%05d', i % 500), 'DOC' || (i % 10), 0 FROM n");
    exec(db, "COMMIT");
    sqlite3_close(db);
}

// The same practice on the test server.
void seedServer(const std::string& database, int fees) {
    auto c = mg::bench::serverConnection(database);
    using mg::bench::serverExec;
    serverExec(*c, "INSERT INTO control (name, year, curper, next_doc_no) VALUES ('Bench', 2026, 12, 1)");
    serverExec(*c, "INSERT INTO handlers (code, team) SELECT 'H' || lpad(i::text, 2, '0'), 'T' || (i % 4) FROM generate_series(0, 19) i");
    serverExec(*c, "INSERT INTO contacts (code, chargearrangement) SELECT 'C' || lpad(i::text, 3, '0'), 'AR2' FROM generate_series(0, 49) i");
    serverExec(*c, "INSERT INTO matters (code, chargearrangement, clientcode, originaldebt, debtinterest, debtcollected) "
                   "SELECT 'M' || lpad(i::text, 5, '0'), CASE WHEN i % 4 = 0 THEN '' ELSE 'AR1' END, 'C' || lpad((i % 50)::text, 3, '0'), "
                   "((i * 137) % 7000) + 0.50, 10.00, 0.50 FROM generate_series(0, 499) i");
    for (const char* arr : {"AR1", "AR2"})
        for (int k = 1; k <= 5; ++k) {
            std::string rates;
            for (int b = 1; b <= 6; ++b) rates += ", " + std::to_string(b * 1000) + ".00, " + std::to_string(b * 10 + k) + ".00";
            serverExec(*c, "INSERT INTO chargingmatrix (arrangementcode, chargecode, description, stagecode, band1limit, band1rate, "
                           "band2limit, band2rate, band3limit, band3rate, band4limit, band4rate, band5limit, band5rate, band6limit, "
                           "band6rate) VALUES ('" + std::string(arr) + "', 'T0" + std::to_string(k) + "', 'Matrix fee " +
                               std::to_string(k) + " of " + arr + "', 'S" + std::to_string(k) + "'" + rates + ")");
        }
    serverExec(*c, "INSERT INTO taskscodes (code, \"desc\") VALUES ('T01', 'Letter'), ('T02', 'Drafting'), ('T03', 'Attendance'), "
                   "('T04', 'Telephone')");
    for (int d = 0; d < 9; ++d)
        serverExec(*c, "INSERT INTO documentchargesfees (documentname, taskchargecode) VALUES ('DOC" + std::to_string(d) + "', 'T0" +
                           std::to_string(d % 5 + 1) + "')");
    serverExec(*c, "INSERT INTO documentchargesfees (documentname, taskchargecode) VALUES ('DOC8', 'T02')");
    serverExec(*c, "INSERT INTO diary (actionid, casecode, fncode) SELECT 100000 + i, 'M' || lpad((i % 500)::text, 5, '0'), "
                   "'H' || lpad((i % 20)::text, 2, '0') FROM generate_series(0, " + std::to_string(fees - 1) + ") i");
    serverExec(*c, "INSERT INTO diaryattachments (diaryid, trackreference, casecode, name, fees) SELECT 100000 + i, 1 + i, "
                   "'M' || lpad((i % 500)::text, 5, '0'), 'DOC' || (i % 10), 0 FROM generate_series(0, " + std::to_string(fees - 1) + ") i");
    serverExec(*c, "ANALYZE");
}

// The import on the test server beside the replay of its own statement stream through the same
// driver.
void benchServer(int fees) {
    std::printf("\non the PostgreSQL test server through psqlODBC, %d waiting fees\n", fees);
    const std::string a = mg::bench::makeServerDatabase("mgfee_a"), b = mg::bench::makeServerDatabase("mgfee_b");
    seedServer(a, fees);
    seedServer(b, fees);
    mg::bench::Recording recording;
    mg::Context ctx(mg::bench::serverSettings(a));
    QuietUi ui;
    mg::fees::FeeImport import(mg::Session{ctx, ui}, ui);
    mg::db::setStatementRecorder(&recording);
    auto t0 = Clock::now();
    mg::ui::runWithoutWindow(import, nullptr);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    mg::db::setStatementRecorder(nullptr);
    const double replay = recording.replay(b);
    std::printf("%14s %14s %8s %12s %14s\n", "import fees/s", "replay fees/s", "ratio", "stmts/fee", "time entries");
    std::printf("%14.0f %14.0f %8.2f %12.2f %14lld\n", fees / seconds, fees / replay, replay / seconds,
                double(ctx.statementsSent()) / fees, static_cast<long long>(import.timeEntriesAdded()));
    for (const std::string& d : {a, b}) mg::bench::dropServerDatabase(d);
}

// The same through a loopback proxy that counts the round trips on the wire, with nothing and
// with 1 ms added to each direction of every round trip.
void benchWire(int fees) {
    std::printf("\non the wire (a loopback proxy in front of the test server), %d waiting fees\n", fees);
    std::printf("%-22s %10s %14s %14s\n", "added each way", "fees/s", "round trips/fee", "stmts/fee");
    for (int delayUs : {0, 1000}) {
        mg::bench::WireProxy proxy(std::atoi(std::getenv("MG_PG_PORT")), std::chrono::microseconds(delayUs));
        const std::string d = mg::bench::makeServerDatabase("mgfee_w");
        seedServer(d, fees);
        double seconds = 0;
        uint64_t statements = 0;
        {
            mg::db::Settings settings = mg::bench::serverSettings(d);
            settings.port = proxy.port();
            mg::Context ctx(settings);
            QuietUi ui;
            mg::fees::FeeImport import(mg::Session{ctx, ui}, ui);
            auto t0 = Clock::now();
            mg::ui::runWithoutWindow(import, nullptr);
            seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            statements = ctx.statementsSent();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::printf("%-22s %10.0f %14.2f %14.2f\n", delayUs ? "1 ms" : "none", fees / seconds, double(proxy.roundTrips()) / fees,
                    double(statements) / fees);
        mg::bench::dropServerDatabase(d);
    }
}

struct Run {
    double seconds = 0;
    double cpu = 0;  // seconds of processor time
    uint64_t statements = 0;
    int64_t entries = 0;
};

// ---- the replay ----------------------------------------------------------------------------------

struct Stmt {
    sqlite3_stmt* st = nullptr;
    Stmt(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "%s: %s\n", sqlite3_errmsg(db), sql);
            std::exit(1);
        }
    }
    ~Stmt() { sqlite3_finalize(st); }
    Stmt& text(int i, const std::string& v) {
        sqlite3_bind_text(st, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& integer(int i, long long v) {
        sqlite3_bind_int64(st, i, v);
        return *this;
    }
    Stmt& null(int i) {
        sqlite3_bind_null(st, i);
        return *this;
    }
    bool row() { return sqlite3_step(st) == SQLITE_ROW; }
    void done() {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }
    std::string str(int c) const {
        const unsigned char* p = sqlite3_column_text(st, c);
        return p ? reinterpret_cast<const char*>(p) : "";
    }
    long long i64(int c) const { return sqlite3_column_int64(st, c); }
};

// Cents of a plain decimal text ("123.45", "-0.50", "7").
long long cents(const std::string& s) {
    bool neg = !s.empty() && s[0] == '-';
    long long whole = 0, frac = 0;
    size_t i = neg ? 1 : 0;
    for (; i < s.size() && s[i] != '.'; ++i) whole = whole * 10 + (s[i] - '0');
    int places = 0;
    if (i < s.size()) {
        for (++i; i < s.size() && places < 2; ++i, ++places) frac = frac * 10 + (s[i] - '0');
    }
    while (places++ < 2) frac *= 10;
    long long v = whole * 100 + frac;
    return neg ? -v : v;
}

std::string centsText(long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%lld.%02lld", v < 0 ? "-" : "", (v < 0 ? -v : v) / 100, (v < 0 ? -v : v) % 100);
    return buf;
}

// The select of the data layer's read by key: the row identity and every declared column.
std::string selectOf(mg::TableId table, const std::string& where, const std::string& order, int limit) {
    const mg::TableDecl& t = mg::decl(table);
    std::string s = "SELECT rowid";
    for (const mg::ColumnDecl& c : t.columns) s += ", \"" + std::string(c.name) + "\"";
    return s + " FROM \"" + std::string(t.storageName()) + "\" WHERE " + where + " ORDER BY " + order + " LIMIT " + std::to_string(limit);
}

// Every statement of one fee, prepared once.
struct FeeStatements {
    explicit FeeStatements(sqlite3* db) : db(db) {}
    static std::string byKey(mg::TableId t, const char* where, const char* order, int limit = 1) {
        return selectOf(t, where, order, limit);
    }
    sqlite3* db;
    // Text keys compare without their trailing blanks, as the import's statements compare them.
    Stmt mapping{db, "Select DocumentName,TaskChargeCode,RecordID from DocumentChargesFees Where rtrim(DocumentName) COLLATE NOCASE = ?"};
    Stmt matter{db, byKey(mg::TableId::Matters, "rtrim(\"CODE\") COLLATE NOCASE = ?", "rowid").c_str()};
    Stmt contact{db, byKey(mg::TableId::Contacts, "rtrim(\"CODE\") COLLATE NOCASE = ?", "rowid").c_str()};
    Stmt matrix{db, byKey(mg::TableId::ChargingMatrix,
                          "rtrim(\"ARRANGEMENTCODE\") COLLATE NOCASE = ? AND rtrim(\"CHARGECODE\") COLLATE NOCASE = ?", "rowid").c_str()};
    Stmt task{db, byKey(mg::TableId::TasksCodes, "rtrim(\"CODE\") COLLATE NOCASE = ?", "rowid").c_str()};
    Stmt handler{db, byKey(mg::TableId::Handlers, "rtrim(\"CODE\") COLLATE NOCASE = ?", "rowid").c_str()};
    Stmt trackRef{db, "Select   TrackReference from DiaryAttachments Where DiaryID = ? order by TrackReference LIMIT 1"};
    Stmt control{db, byKey(mg::TableId::Control, "\"NEXT_DOC_NO\" >= ?", "\"NEXT_DOC_NO\", rowid", 4).c_str()};
    Stmt begin{db, "BEGIN IMMEDIATE"};
    Stmt commit{db, "COMMIT"};
    Stmt entry{db,
               "INSERT INTO \"TimeDayBook\" (\"MATTER\", \"FEEEARN\", \"DATE\", \"TIME\", \"RATE\", \"CHARGE\", \"CHARGED\", "
               "\"UNITS\", \"TASK\", \"TIMEORCHARGE\", \"STARTTIME\", \"COMMENT\", \"NCCCODE\", \"DOCKET\", \"TEAM\", "
               "\"TRACKREF\", \"REC_IRR\", \"PERIOD\", \"YEAR\", \"ACTIONID\", \"STAGECODE\", \"LEAVE\", \"POST\", "
               "\"STOPWATCHSTARTTIME\", \"STOPWATCHSTATUS\", \"MATTERLEVEL\", \"FEERATE\", \"CHARGEDMINS\", \"FEECOST\", "
               "\"TASKLEVEL\", \"ENTRYDATE\", \"MODIFYDATE\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
               "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"};
    Stmt log{db, "INSERT INTO \"FeesImported\" (\"MATTER\", \"DATEIMPORTED\", \"FE\", \"CHARGE\", \"TASK\", \"COMMENT\", "
                 "\"TRACKREF\") VALUES (?, ?, ?, ?, ?, ?, ?)"};
    Stmt mark{db, "Update DiaryAttachments Set Fees = ? Where DiaryId = ?"};
    // The claim of the diary entry, the first write of its transaction.
    Stmt claim{db, "Update DiaryAttachments Set Fees = 1 Where DiaryId = ? and (Fees = 0 or Fees is null)"};
};

// The replay: the same statement stream as the import, straight against SQLite.
class Replay {
public:
    explicit Replay(const std::string& path) : db_(open(path)), s_(std::make_unique<FeeStatements>(db_)) {}
    ~Replay() {
        s_.reset();
        sqlite3_close(db_);
    }

    // The count and the waiting fees, as the import's start reads them.
    void start() {
        Stmt count(db_, "SELECT count(*) FROM \"DiaryAttFees\"");
        count.row();
        count.done();
        Stmt waiting(db_, "Select CaseCode,DiaryID,Name,FnCode from DiaryAttFees");
        while (waiting.row()) fees_.push_back({waiting.str(0), waiting.str(2), waiting.str(3), waiting.i64(1)});
        waiting.done();
    }
    // Up to n more fees; false once every fee is done.
    bool step(int n) {
        for (; n > 0 && next_ < fees_.size(); --n) fee(fees_[next_++]);
        return next_ < fees_.size();
    }

private:
    struct Fee {
        std::string matter, name, feeEarner;
        long long diaryId;
    };

    static sqlite3* open(const std::string& path) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(db, 10000);
        exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;");
        return db;
    }
    static int col(mg::TableId t, const char* name) { return 1 + mg::decl(t).columnIndex(name); }

    void fee(const Fee& f);

    sqlite3* db_;
    std::unique_ptr<FeeStatements> s_;
    std::vector<Fee> fees_;
    size_t next_ = 0;
    long long docNo_ = 0;
    const std::string today_ = mg::dates::toIsoDate(mg::dates::today());
    // Result columns by name (the row identity comes first).
    const int matArrangement_ = col(mg::TableId::Matters, "CHARGEARRANGEMENT"), matClient_ = col(mg::TableId::Matters, "CLIENTCODE"),
              matDebt_ = col(mg::TableId::Matters, "ORIGINALDEBT"), matInterest_ = col(mg::TableId::Matters, "DEBTINTEREST"),
              matCollected_ = col(mg::TableId::Matters, "DEBTCOLLECTED");
    const int cntArrangement_ = col(mg::TableId::Contacts, "CHARGEARRANGEMENT");
    const int cmaDescription_ = col(mg::TableId::ChargingMatrix, "DESCRIPTION"),
              cmaBand1_ = col(mg::TableId::ChargingMatrix, "BAND1LIMIT"), cmaStage_ = col(mg::TableId::ChargingMatrix, "STAGECODE");
    const int tasDesc_ = col(mg::TableId::TasksCodes, "DESC"), hanTeam_ = col(mg::TableId::Handlers, "TEAM");
    const int conDocNo_ = col(mg::TableId::Control, "NEXT_DOC_NO"), conPeriod_ = col(mg::TableId::Control, "CURPER"),
              conYear_ = col(mg::TableId::Control, "YEAR");
};

// One waiting fee, with the statements the import sends for it (the trace shows them); the
// replay reads only the columns it needs from them.
void Replay::fee(const Fee& f) {
    Stmt& mapping = s_->mapping;
    Stmt& matter = s_->matter;
    Stmt& contact = s_->contact;
    Stmt& matrix = s_->matrix;
    Stmt& task = s_->task;
    Stmt& handler = s_->handler;
    Stmt& trackRef = s_->trackRef;
    Stmt& control = s_->control;
    Stmt& begin = s_->begin;
    Stmt& commit = s_->commit;
    Stmt& entry = s_->entry;
    Stmt& log = s_->log;
    Stmt& mark = s_->mark;
    Stmt& claim = s_->claim;
    bool inTransaction = false;
    mapping.text(1, f.name);
    std::vector<std::string> codes;
    while (mapping.row()) codes.push_back(mapping.str(1));
    mapping.done();
    for (const std::string& code : codes) {
        matter.text(1, f.matter);
        const bool found = matter.row();
        std::string arrangement = matter.str(matArrangement_), client = matter.str(matClient_);
        const long long debt = cents(matter.str(matDebt_)) + cents(matter.str(matInterest_)) - cents(matter.str(matCollected_));
        matter.done();
        if (found && arrangement.empty()) {
            contact.text(1, client);
            if (contact.row()) arrangement = contact.str(cntArrangement_);
            contact.done();
        }
        std::string description, stage, charge = "1.11";
        matrix.text(1, arrangement).text(2, code);
        if (found && matrix.row()) {
            description = matrix.str(cmaDescription_);
            stage = matrix.str(cmaStage_);
            const double d = debt / 100.0;
            for (int k = 0; k < 6; ++k) {
                const double low = k == 0 ? 0.0 : cents(matrix.str(cmaBand1_ + 2 * (k - 1))) / 100.0 + 1;
                const double high = cents(matrix.str(cmaBand1_ + 2 * k)) / 100.0;
                if (low <= d && d <= high) {
                    charge = centsText(cents(matrix.str(cmaBand1_ + 1 + 2 * k)));
                    break;
                }
            }
        }
        matrix.done();
        std::string comment = description;
        task.text(1, code);
        if (task.row()) comment = task.str(tasDesc_);
        task.done();
        std::string team;
        handler.text(1, f.feeEarner);
        if (handler.row()) team = handler.str(hanTeam_);
        handler.done();
        long long ref = 0;
        trackRef.integer(1, f.diaryId);
        if (trackRef.row()) ref = trackRef.i64(0);
        trackRef.done();
        long long period = 0, year = 0;
        control.integer(1, docNo_);
        if (control.row()) {
            docNo_ = control.i64(conDocNo_);
            period = control.i64(conPeriod_);
            year = control.i64(conYear_);
        }
        control.done();
        if (!found) continue;  // an unknown matter: its statements were sent, nothing is written
        if (!inTransaction) {
            begin.row();
            begin.done();
            inTransaction = true;
            claim.integer(1, f.diaryId);
            claim.row();
            claim.done();
        }
        entry.text(1, f.matter).text(2, f.feeEarner).text(3, today_).integer(4, 1).text(5, charge).text(6, charge).text(7, charge);
        entry.text(8, "0.00").text(9, code).text(10, "C").integer(11, 0).text(12, comment).text(13, "").integer(14, 0);
        entry.text(15, team).integer(16, ref).text(17, "C").integer(18, period).integer(19, year).integer(20, f.diaryId);
        entry.text(21, stage).text(22, "").text(23, "Y").null(24).integer(25, 0).text(26, "").text(27, "0.00").integer(28, 0);
        entry.text(29, "0.00").text(30, "").null(31).null(32);
        entry.row();
        entry.done();
        log.text(1, f.matter).text(2, today_).text(3, f.feeEarner).text(4, charge).text(5, code).text(6, comment.substr(0, 100));
        log.integer(7, ref);
        log.row();
        log.done();
        mark.integer(1, 1).integer(2, f.diaryId);
        mark.row();
        mark.done();
    }
    if (inTransaction) {
        commit.row();
        commit.done();
    }
}

// Whether both databases hold the same time entries, log rows and marks.
bool sameRows(const std::string& a, const std::string& b) {
    sqlite3* db = nullptr;
    sqlite3_open(a.c_str(), &db);
    exec(db, "ATTACH DATABASE '" + b + "' AS other");
    const char* checks[] = {
        "SELECT count(*) FROM (SELECT * FROM main.TimeDayBook EXCEPT SELECT * FROM other.TimeDayBook)",
        "SELECT count(*) FROM (SELECT * FROM other.TimeDayBook EXCEPT SELECT * FROM main.TimeDayBook)",
        "SELECT count(*) FROM (SELECT * FROM main.FeesImported EXCEPT SELECT * FROM other.FeesImported)",
        "SELECT count(*) FROM (SELECT * FROM other.FeesImported EXCEPT SELECT * FROM main.FeesImported)",
        "SELECT count(*) FROM (SELECT DIARYID, FEES FROM main.DiaryAttachments EXCEPT SELECT DIARYID, FEES FROM other.DiaryAttachments)",
    };
    bool same = true;
    for (const char* sql : checks) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int64(st, 0) != 0) same = false;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    int fees = 20000;
    std::string trace;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--trace" && i + 1 < argc) trace = argv[++i];
        else fees = std::atoi(a.c_str());
    }
    const auto dir = std::filesystem::temp_directory_path() / "mg-fee-bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string a = (dir / "import.db").string(), b = (dir / "replay.db").string();
    seed(a, fees);
    seed(b, fees);

    std::printf("fee import of %d waiting fees (one document each; a tenth unmapped, a tenth with two task codes), "
                "WAL, synchronous=FULL\n", fees);
    // The two sides take turns, a timer event's share of fees each, so that whatever else
    // the machine does (its disk above all) weighs on both alike.
    const char* only = std::getenv("MG_BENCH_ONLY");  // "import" or "replay", for profiling one side
    const bool doImport = !only || std::string(only) == "import", doReplay = !only || std::string(only) == "replay";
    Run imp, rep;
    mg::db::Settings settings;
    settings.driver = "sqlite";
    settings.database = a;
    mg::Context ctx(settings);
    QuietUi ui;
    mg::fees::FeeImport import(mg::Session{ctx, ui}, ui);
    Replay replay(b);
    auto timed = [](Run& r, auto&& work) {
        auto t0 = Clock::now();
        std::clock_t c0 = std::clock();
        work();
        r.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        r.cpu += double(std::clock() - c0) / CLOCKS_PER_SEC;
    };
    bool importing = doImport, replaying = doReplay;
    mg::db::setTraceFile(trace);
    if (importing) timed(imp, [&] { importing = import.prepare() && (import.opened(), !import.ended()); });
    if (replaying) timed(rep, [&] { replay.start(); });
    const int share = static_cast<int>((mg::fees::FeeImport::kRecordsPerCycle + 27) / 28);  // fees per timer event
    while (importing || replaying) {
        if (importing) timed(imp, [&] {
            import.cycle();
            importing = !import.ended();
        });
        if (replaying) timed(rep, [&] { replaying = replay.step(share); });
    }
    if (doImport) timed(imp, [&] { import.finish(); });
    mg::db::setTraceFile("");
    imp.statements = ctx.statementsSent();
    imp.entries = import.timeEntriesAdded();
    std::printf("%14s %14s %8s %12s %14s %18s %18s\n", "import fees/s", "replay fees/s", "ratio", "stmts/fee", "time entries",
                "import CPU us/fee", "replay CPU us/fee");
    std::printf("%14.0f %14.0f %8.2f %12.2f %14lld %18.0f %18.0f\n", fees / imp.seconds, fees / rep.seconds, rep.seconds / imp.seconds,
                double(imp.statements) / fees, static_cast<long long>(imp.entries), imp.cpu * 1e6 / fees, rep.cpu * 1e6 / fees);
    if (!only) std::printf("rows written by both sides identical: %s\n", sameRows(a, b) ? "yes" : "NO");
    std::filesystem::remove_all(dir);
    // Beside scripts/pg.sh, the same on the PostgreSQL test server (at most 2,000 fees).
    if (mg::bench::serverAtHand()) {
        if (!std::getenv("MG_BENCH_WIRE_ONLY")) benchServer(std::min(fees, 2000));
        benchWire(std::min(fees, 500));
    }
    return 0;
}
