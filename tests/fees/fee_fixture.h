#pragma once
// A small practice for the fee import tests: a control row, a fee earner, matters with
// their debts, clients, charging-matrix rows, task codes, document mappings, diary entries
// and their attachments; helpers to run the import and to read back what it wrote.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/context.h"
#include "data/dates.h"
#include "fees/import_fees.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg::fees::test {

using Row = std::map<std::string, std::string>;

// Every row of a query, each as column name -> text ("<null>" for NULL).
inline std::vector<Row> rows(const mg::test::TempDatabase& db, const std::string& sql) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.path().c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
    sqlite3_busy_timeout(h, 10000);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::string err = sqlite3_errmsg(h);
        sqlite3_close(h);
        throw std::runtime_error("SQL failed: " + err + " in " + sql);
    }
    std::vector<Row> out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        Row r;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const unsigned char* t = sqlite3_column_text(st, i);
            r[sqlite3_column_name(st, i)] = t ? reinterpret_cast<const char*>(t) : "<null>";
        }
        out.push_back(std::move(r));
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

// The day the tests run on: 15 March 2024.
struct FixedClock : dates::Clock {
    int32_t today() const override { return dates::dateFromMDY(3, 15, 2024); }
    int32_t clock() const override { return dates::timeFromHMS(10, 0, 0); }
};

inline std::string q(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

class FeeImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dates::setClock(&clock_);
        // The practice's control row: year 2024, period 7.
        db.exec("INSERT INTO control (NAME, YEAR, CURPER, NEXT_DOC_NO) VALUES ('Practice', 2024, 7, 12)");
        handler("ABC", "T1");
        handler("XYZ", "T2");
        // Arrangement AR1, charge code T01: bands 1000 / 2000 / 3000 / 4000 / 5000 / 6000.
        matrix("AR1", "T01", "Letter fee per AR1", "S1",
               {"1000.00", "10.00", "2000.00", "20.00", "3000.00", "30.00", "4000.00", "40.00", "5000.00", "50.00", "6000.00", "60.00"});
        matrix("AR1", "T02", "Memo fee per AR1", "S2",
               {"1000.00", "11.00", "2000.00", "21.00", "3000.00", "31.00", "4000.00", "41.00", "5000.00", "51.00", "6000.00", "61.00"});
        matrix("AR2", "T01", "Letter fee per AR2", "S3",
               {"1000.00", "12.00", "2000.00", "22.00", "3000.00", "32.00", "4000.00", "42.00", "5000.00", "52.00", "6000.00", "62.00"});
        task("T01", "Drafting a letter");
        task("T02", "Drafting a memo");
        mapping("LETTER", "T01");
        client("C01", "");
        matter("M0001", "AR1", "C01", "500.00", "0.00", "0.00");
    }
    void TearDown() override { dates::setClock(nullptr); }

    void handler(const std::string& code, const std::string& team) {
        db.exec("INSERT INTO Handlers (CODE, TEAM) VALUES (" + q(code) + ", " + q(team) + ")");
    }
    // limits and rates of bands 1 to 6 in turn; bands 7 and 8 optional.
    void matrix(const std::string& arrangement, const std::string& charge, const std::string& description, const std::string& stage,
                std::vector<std::string> bands, std::vector<std::string> bands78 = {"0.00", "0.00", "0.00", "0.00"}) {
        std::string sql = "INSERT INTO ChargingMatrix (ARRANGEMENTCODE, CHARGECODE, DESCRIPTION, STAGECODE, BAND1LIMIT, BAND1RATE, "
                          "BAND2LIMIT, BAND2RATE, BAND3LIMIT, BAND3RATE, BAND4LIMIT, BAND4RATE, BAND5LIMIT, BAND5RATE, BAND6LIMIT, "
                          "BAND6RATE, BAND7LIMIT, BAND7RATE, BAND8LIMIT, BAND8RATE) VALUES (" +
                          q(arrangement) + ", " + q(charge) + ", " + q(description) + ", " + q(stage);
        for (const auto& b : bands) sql += ", " + q(b);
        for (const auto& b : bands78) sql += ", " + q(b);
        db.exec(sql + ")");
    }
    void task(const std::string& code, const std::string& desc) {
        db.exec("INSERT INTO TasksCodes (CODE, \"DESC\") VALUES (" + q(code) + ", " + q(desc) + ")");
    }
    void mapping(const std::string& document, const std::string& taskCode) {
        db.exec("INSERT INTO DocumentChargesFees (DOCUMENTNAME, TASKCHARGECODE) VALUES (" + q(document) + ", " + q(taskCode) + ")");
    }
    void client(const std::string& code, const std::string& arrangement) {
        db.exec("INSERT INTO Contacts (CODE, CHARGEARRANGEMENT) VALUES (" + q(code) + ", " + q(arrangement) + ")");
    }
    void matter(const std::string& code, const std::string& arrangement, const std::string& client, const std::string& debt,
                const std::string& interest, const std::string& collected) {
        db.exec("INSERT INTO Matters (CODE, CHARGEARRANGEMENT, CLIENTCODE, ORIGINALDEBT, DEBTINTEREST, DEBTCOLLECTED) VALUES (" +
                q(code) + ", " + q(arrangement) + ", " + q(client) + ", " + q(debt) + ", " + q(interest) + ", " + q(collected) + ")");
    }
    // A diary entry of a fee earner on a matter.
    void diary(long long id, const std::string& matterCode, const std::string& feeEarner) {
        db.exec("INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + std::to_string(id) + ", " + q(matterCode) + ", " +
                q(feeEarner) + ")");
    }
    // A document produced from a diary entry, waiting for its fee unless `fees` is 1.
    void attachment(long long diaryId, long long trackRef, const std::string& matterCode, const std::string& document, int fees = 0) {
        db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + std::to_string(diaryId) +
                ", " + std::to_string(trackRef) + ", " + q(matterCode) + ", " + q(document) + ", " + std::to_string(fees) + ")");
    }
    // A diary entry with one waiting document.
    void waitingFee(long long diaryId, long long trackRef, const std::string& matterCode, const std::string& document,
                    const std::string& feeEarner = "ABC") {
        diary(diaryId, matterCode, feeEarner);
        attachment(diaryId, trackRef, matterCode, document);
    }

    // Runs the whole import without windows, answering from ui.answers.
    int run() {
        auto ctx = db.context();
        Session s{*ctx, ui};
        FeeImport import(s, ui);
        int rc = ui::runWithoutWindow(import, nullptr);
        lastGlobalResponse = ctx->globalResponse;
        lastEntries = import.timeEntriesAdded();
        return rc;
    }

    std::vector<Row> timeEntries(const std::string& where = "1") {
        return rows(db, "SELECT * FROM TimeDayBook WHERE " + where + " ORDER BY RECORDID");
    }
    std::vector<Row> imported(const std::string& where = "1") {
        return rows(db, "SELECT * FROM FeesImported WHERE " + where + " ORDER BY RECORDID");
    }
    long long waiting() { return db.count("SELECT count(*) FROM DiaryAttFees"); }
    // The messages shown, without the final "Fees Import Complete!".
    std::vector<std::string> messagesBeforeEnd() {
        std::vector<std::string> t = ui.texts();
        if (!t.empty() && t.back() == "Fees Import Complete!") t.pop_back();
        return t;
    }

    FixedClock clock_;
    mg::test::TempDatabase db;
    ui::ScriptedUserInterface ui;
    int lastGlobalResponse = -1;
    int64_t lastEntries = -1;
};

}  // namespace mg::fees::test
