#pragma once
// A small practice for the outlay import tests: the control row, matters, outlay codes,
// document charges, diary entries and attachments, seeded straight into a fresh database.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "data/dates.h"
#include "data/ini.h"
#include "data/passthrough.h"
#include "maintenance/integrity.h"
#include "outlays/outlay_import.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg::test {

struct FixedClock : dates::Clock {
    int32_t day;
    explicit FixedClock(int32_t d) : day(d) {}
    int32_t today() const override { return day; }
    int32_t clock() const override { return 1; }
};

class OutlayFixture : public ::testing::Test {
protected:
    TempDatabase db;
    FixedClock clock{dates::dateFromMDY(2, 9, 2015)};
    std::string ini = (db.folder() / "Quillerton.ini").string();
    ui::ScriptedUserInterface ui;

    void SetUp() override {
        dates::setClock(&clock);
        db.exec("INSERT INTO control (NAME, OUTLAY, YEAR, CURPER, LASTBATCH, LASTPREF, NEXT_DOC_NO) "
                "VALUES ('Practice', '7100', 2015, 3, 100, 5000, 1)");
    }
    void TearDown() override { dates::setClock(nullptr); }

    void matter(const std::string& code, const std::string& original, const std::string& interest = "0.00",
                const std::string& collected = "0.00") {
        db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT, DEBTINTEREST, DEBTCOLLECTED) VALUES ('" + code + "', '" + original + "', '" +
                interest + "', '" + collected + "')");
    }
    void outlayCode(const std::string& code, const std::string& description) {
        db.exec("INSERT INTO OutlayCode (CODE, DESCRIPTION) VALUES ('" + code + "', '" + description + "')");
    }
    // A charge row with five bands: 0..b1 amount, ..b2 a2, ..b3 a3, ..b4 a4, ..b5 a5.
    void charge(const std::string& doc, const std::string& outlay, const std::string& nominal, const std::string& amount,
                const std::string& b1 = "1000.00", const std::string& b2 = "5000.00", const std::string& a2 = "20.00",
                const std::string& b3 = "10000.00", const std::string& a3 = "30.00", const std::string& b4 = "50000.00",
                const std::string& a4 = "40.00", const std::string& b5 = "100000.00", const std::string& a5 = "50.00") {
        db.exec("INSERT INTO DocumentCharges (DOCUMENTNAME, OUTLAYCODE, OUTLAYAMOUNT, NOMINALCODE, BAND1, BAND2, OUTLAYAMT2, BAND3, "
                "OUTLAYAMT3, BAND4, OUTLAYAMT4, BAND5, OUTLAYAMT5) VALUES (" +
                db::quoted(doc) + ", '" + outlay + "', '" + amount + "', " + db::quoted(nominal) + ", '" + b1 + "', '" + b2 + "', '" + a2 + "', '" +
                b3 + "', '" + a3 + "', '" + b4 + "', '" + a4 + "', '" + b5 + "', '" + a5 + "')");
    }
    // Document ONE with one outlay charge (10.00 on 4100), TWO with two (7.00 on 4100, 3.00 on
    // 4200), and diary entry 77.
    void twoDocuments() {
        outlayCode("CSF", "Court Stamp Fee");
        charge("ONE", "CSF", "4100", "10.00");
        charge("TWO", "CSF", "4100", "7.00");
        charge("TWO", "SRCH", "4200", "3.00");
        diary(77, "JMK");
    }
    void diary(long long actionId, const std::string& feeEarner) {
        db.exec("INSERT INTO diary (ACTIONID, FNCODE, CASECODE) VALUES (" + std::to_string(actionId) + ", '" + feeEarner + "', 'X')");
    }
    void attachment(long long trackRef, long long diaryId, const std::string& caseCode, const std::string& doc) {
        db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + std::to_string(diaryId) + ", " +
                std::to_string(trackRef) + ", '" + caseCode + "', " + db::quoted(doc) + ", 0)");
    }

    struct Result {
        int response = 0;
        int posted = 0;
        int globalResponse = 0;
        uint64_t statements = 0;  // sent to the database
    };
    // Runs the import without windows on a context of its own, as the command line does.
    Result run(int32_t lastTrackRef = 0, const volatile std::sig_atomic_t* interrupted = nullptr) {
        auto ctx = db.context();
        Session s{*ctx, ui};
        outlays::OutlayImport import(s, ui, lastTrackRef, ini);
        Result r;
        r.response = ui::runWithoutWindow(import, interrupted);
        r.posted = import.attachmentsPosted();
        r.globalResponse = ctx->globalResponse;
        r.statements = ctx->statementsSent();
        return r;
    }

    long long iniLastTrackRef() { return ini::getInt(ini, "DocumentOutlays", "LastTrackRef", -1); }
    long long count(const std::string& table, const std::string& where = "1") {
        return db.count("SELECT count(*) FROM " + table + " WHERE " + where);
    }
    std::string q(const std::string& sql) { return db.scalar(sql); }

    // The books balance: every header's total is the sum of its lines and its currency value
    // is the total converted; no posting reference or batch number is issued twice; the
    // control row holds the highest numbers issued.
    void expectBooksBalance() {
        EXPECT_EQ(count("BatchH h", "CAST(h.VALUE AS NUMERIC) <> (SELECT COALESCE(SUM(CAST(d.VALUE AS NUMERIC)), 0) FROM BatchDetails d "
                                     "WHERE d.BATCHNO = h.BATCHNO)"),
                  0)
            << "a header whose total is not the sum of its lines";
        EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT PREF FROM (SELECT PREF FROM BatchH UNION ALL SELECT PREF FROM BatchDetails) p "
                           "GROUP BY PREF HAVING count(*) > 1) d"),
                  0)
            << "a posting reference issued twice";
        EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT BATCHNO FROM BatchH GROUP BY BATCHNO HAVING count(*) > 1) d"), 0) << "a batch number issued twice";
        if (count("BatchH") > 0) {
            EXPECT_EQ(q("SELECT LASTBATCH FROM control"), q("SELECT max(BATCHNO) FROM BatchH"));
            EXPECT_EQ(q("SELECT LASTPREF FROM control"),
                      q("SELECT max(PREF) FROM (SELECT PREF FROM BatchH UNION ALL SELECT PREF FROM BatchDetails) p"));
        }
    }
};

}  // namespace mg::test
