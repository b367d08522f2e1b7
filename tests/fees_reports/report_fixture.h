#pragma once
// A small practice for the fee report tests: fee earners, matters, template documents,
// waiting fees and an imported-fees log over two dates, with lookups that find nothing
// placed right after lookups that find a row. Today is 15 March 2024, 10:00.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <QtGlobal>

#include "golden.h"
#include "data/dates.h"
#include "fees/fee_reports.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg::fees::test {

struct FixedClock : dates::Clock {
    int32_t today() const override { return dates::dateFromMDY(3, 15, 2024); }
    int32_t clock() const override { return dates::timeFromHMS(10, 0, 0); }
};

inline const int32_t kDay1 = dates::dateFromMDY(3, 14, 2024);   // the day of most of the log
inline const int32_t kDay2 = dates::dateFromMDY(3, 13, 2024);   // one row
inline const int32_t kNoRowsDay = dates::dateFromMDY(3, 1, 2024);

inline std::string readFile(const std::filesystem::path& p) { return mg::test::goldenText(p); }

// Compares each page's text with golden/<name>/pageN.txt (and that there are no more pages).
inline void expectGolden(const std::string& name, const std::vector<std::string>& pages) {
    mg::test::expectGoldenPages(MG_GOLDEN_DIR, name, pages);
}

class FeeReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        dates::setClock(&clock_);
        handler("ABC", "Alice Brennan");
        handler("XYZ", "Xavier Young");
        matter("M0001", "Kelly - sale of 12 Main Street");
        matter("M0002", "Doyle v Kildare County Council");
        document("LETTER", "Letter to Client");
        document("MEMO", "Internal Memo");
        // Waiting fees, in the order the diary gave them (not the report's order).
        waiting(20, 2001, "M0002", "LETTER", "XYZ");
        waiting(11, 1101, "M0001", "LETTER", "ABC");
        waiting(12, 1201, "M0001", "MEMO", "ABC");
        waiting(10, 1001, "M0009", "NOTEMPL", "ABC");  // no such matter, no such template
        waiting(30, 3001, "M0001", "LETTER", "QQQ");   // no such fee earner
        waiting(21, 2101, "M0001", "MEMO", "XYZ");
        waiting(40, 4001, "M0001", "LETTER", "ABC", 1);  // imported already: not waiting
        // The imported-fees log.
        logged("M0001", kDay1, "ABC", "10.00", "T01", "Drafting a letter", 101);
        logged("M0002", kDay1, "ABCD", "21.00", "T02", "Drafting, a \"memo\"", 102);
        logged("M0009", kDay1, "XYZ", "-45.50", "T01", "Letter", 103);
        logged("M0001", kDay1, "XYZ", "12.00", "T01", "Letter", 104);
        logged("M0002", kDay2, "ABC", "99.99", "T09", "Another day", 105);
    }
    void TearDown() override { dates::setClock(nullptr); }

    static std::string q(const std::string& s) {
        std::string out = "'";
        for (char c : s) {
            if (c == '\'') out += '\'';
            out += c;
        }
        return out + "'";
    }
    void handler(const std::string& code, const std::string& name) {
        db.exec("INSERT INTO Handlers (CODE, NAME) VALUES (" + q(code) + ", " + q(name) + ")");
    }
    void matter(const std::string& code, const std::string& description) {
        db.exec("INSERT INTO Matters (CODE, DESCRIPTION) VALUES (" + q(code) + ", " + q(description) + ")");
    }
    void document(const std::string& code, const std::string& name) {
        db.exec("INSERT INTO TemplateDocuments (CODE, NAME) VALUES (" + q(code) + ", " + q(name) + ")");
    }
    void waiting(long long diaryId, long long trackRef, const std::string& matterCode, const std::string& doc,
                 const std::string& feeEarner, int fees = 0) {
        db.exec("INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + std::to_string(diaryId) + ", " + q(matterCode) + ", " +
                q(feeEarner) + ")");
        db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + std::to_string(diaryId) +
                ", " + std::to_string(trackRef) + ", " + q(matterCode) + ", " + q(doc) + ", " + std::to_string(fees) + ")");
    }
    void logged(const std::string& matterCode, int32_t date, const std::string& fe, const std::string& charge,
                const std::string& task, const std::string& comment, long long trackRef) {
        db.exec("INSERT INTO FeesImported (MATTER, DATEIMPORTED, FE, CHARGE, TASK, COMMENT, TRACKREF) VALUES (" + q(matterCode) +
                ", " + q(dates::toIsoDate(date)) + ", " + q(fe) + ", " + q(charge) + ", " + q(task) + ", " + q(comment) + ", " +
                std::to_string(trackRef) + ")");
    }

    // Runs a report without windows; the report is kept for its pages and lines.
    template <class R, class... A>
    std::unique_ptr<R> run(A... args) {
        ctx = db.context();
        auto r = std::make_unique<R>(Session{*ctx, ui}, ui, args...);
        response = ui::runWithoutWindow(*r, nullptr);
        return r;
    }

    FixedClock clock_;
    mg::test::TempDatabase db;
    ui::ScriptedUserInterface ui;
    std::unique_ptr<Context> ctx;
    int response = -1;
};

}  // namespace mg::fees::test
