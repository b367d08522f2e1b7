// What the fee import tells its observer: each time entry once, as committed, with its band
// and rate; nothing of an entry rolled back; and the exceptions with the fees they concern.

#include <tuple>

#include "fee_fixture.h"
#include "fees/fee_observer.h"

namespace mg::fees::test {
namespace {

struct Heard : FeeObserver {
    std::vector<FeeEntry> entries;
    std::vector<std::tuple<FeeException, std::string, std::string>> exceptions;
    void entry(const FeeEntry& e) override { entries.push_back(e); }
    void exception(FeeException k, const std::string& subject, const std::string& row) override {
        exceptions.emplace_back(k, subject, row);
    }
    bool has(FeeException k, const std::string& subject, const std::string& rowStart) const {
        for (const auto& [kind, s, row] : exceptions)
            if (kind == k && s == subject && row.starts_with(rowStart)) return true;
        return false;
    }
};

TEST_F(FeeImportTest, TheObserverHearsEachCommittedEntryOnceAndEveryException) {
    // 100: two documents, the memo's write fails, so the letter's entry goes too.
    mapping("MEMO", "T02");
    db.exec("CREATE TRIGGER no_memos BEFORE INSERT ON TimeDayBook WHEN NEW.TASK = 'T02' "
            "BEGIN SELECT RAISE(ABORT, 'no memo fees'); END");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    attachment(100, 6, "M0001", "MEMO");
    waitingFee(200, 7, "M0001", "LETTER");                 // band 1 of AR1/T01: 10.00
    waitingFee(300, 8, "M0001", "NOTE");                   // no mapping
    waitingFee(400, 9, "M0001", "LETTER", "ZZZ");          // no handler row
    matter("M0002", "AR1", "C01", "1000.50", "0.00", "0.00");
    waitingFee(500, 10, "M0002", "LETTER");                // between bands 1 and 2: 1.11
    matter("M0003", "AR9", "C01", "10.00", "0.00", "0.00");
    waitingFee(600, 11, "M0003", "LETTER");                // no matrix row for AR9/T01
    waitingFee(700, 12, "NOSUCH", "LETTER");               // no matter

    Heard heard;
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    import.setObserver(&heard);
    ASSERT_EQ(ui::runWithoutWindow(import, nullptr), RequestCompleted);

    struct Expected {
        int64_t diaryId;
        std::string matter, task, rate, team;
        int band;
    } expected[] = {
        {200, "M0001", "T01", "10.00", "T1", 1},
        {400, "M0001", "T01", "10.00", "", 1},
        {500, "M0002", "T01", "1.11", "T1", 0},
        {600, "M0003", "T01", "1.11", "T1", 0},
    };
    ASSERT_EQ(heard.entries.size(), std::size(expected)) << "nothing of entry 100, which was rolled back";
    auto inBooks = rows(db, "SELECT ACTIONID, MATTER, TASK, RATE, TEAM, TRACKREF FROM TimeDayBook ORDER BY RECORDID");
    ASSERT_EQ(inBooks.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const FeeEntry& e = heard.entries[i];
        SCOPED_TRACE("entry of diary " + std::to_string(expected[i].diaryId));
        EXPECT_EQ(e.diaryId, expected[i].diaryId);
        EXPECT_EQ(e.matter, expected[i].matter);
        EXPECT_EQ(e.taskCode, expected[i].task);
        EXPECT_EQ(e.rate.toString(2), expected[i].rate);
        EXPECT_EQ(e.team, expected[i].team);
        EXPECT_EQ(e.band, expected[i].band);
        EXPECT_EQ(e.document, "LETTER");
        // What was heard is what was entered.
        EXPECT_EQ(std::to_string(e.diaryId), inBooks[i]["ACTIONID"]);
        EXPECT_EQ(e.rate.toString(2), inBooks[i]["RATE"]);
        EXPECT_EQ(std::to_string(e.trackRef), inBooks[i]["TRACKREF"]);
    }
    EXPECT_EQ(heard.entries[2].debt.toString(2), "1000.50");

    EXPECT_TRUE(heard.has(FeeException::NoMapping, "NOTE", "diary id 300 (document NOTE")) ;
    EXPECT_TRUE(heard.has(FeeException::NoHandler, "ZZZ", "diary id 400"));
    EXPECT_TRUE(heard.has(FeeException::NoBand, "M0002 (debt 1000.50)", "diary id 500"));
    EXPECT_TRUE(heard.has(FeeException::ArrangementNotFound, "AR9 with task T01", "diary id 600"));
    EXPECT_TRUE(heard.has(FeeException::MatterNotFound, "NOSUCH", "diary id 700"));
    EXPECT_FALSE(heard.has(FeeException::NoBand, "M0003 (debt 10.00)", "")) << "a missing matrix row is said once, as such";
}

}  // namespace
}  // namespace mg::fees::test
