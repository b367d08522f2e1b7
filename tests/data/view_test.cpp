// Views: a read over one table in a key order limited by a filter over bound names, and
// the database's own view of the waiting document fees.

#include <gtest/gtest.h>

#include <algorithm>

#include "data/context.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

class Views : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    Table& dat = ctx->table(TableId::DiaryAttachments);

    void SetUp() override {
        std::string sql = "BEGIN;";
        // 300 attachments, tracking references 1..300 in a scrambled order of rows
        for (int i = 0; i < 300; ++i) {
            int track = (i * 37) % 300 + 1;
            sql += "INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode, Name) VALUES (" + std::to_string(track) + ", " +
                   std::to_string(track % 7) + ", 'C" + std::to_string(track % 5) + "', 'DOC" + std::to_string(track % 3) + "');";
        }
        db.exec(sql + "COMMIT;");
        ASSERT_EQ(dat.open(), 0);
    }
    std::vector<int64_t> readAll(View& v, bool forward = true) {
        std::vector<int64_t> out;
        while ((forward ? v.next() : v.previous()) == 0) out.push_back(dat.rec().get(DAT::TRACKREFERENCE).toInt64());
        return out;
    }
};

TEST_F(Views, AFilterOverABoundNameGivesExactlyTheRowsAboveItInKeyOrder) {
    int32_t lastTrackRef = 250;
    View v(dat, DAT::KEYTRACKREF);
    v.bind("LOC:LastTrackRef", &lastTrackRef);
    v.setFilter("DAT:TrackReference > LOC:LastTrackRef");
    ASSERT_EQ(v.open(), 0);
    std::vector<int64_t> want;
    for (int i = 251; i <= 300; ++i) want.push_back(i);
    EXPECT_EQ(readAll(v), want);
    EXPECT_EQ(v.next(), NotFoundErr);
    v.close();

    // The bound value is taken when the view opens.
    lastTrackRef = 0;
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(readAll(v).size(), 300u);
    v.close();
    lastTrackRef = 300;
    ASSERT_EQ(v.open(), 0);
    EXPECT_EQ(v.next(), NotFoundErr);
}

TEST_F(Views, NoFilterReadsEveryRowBothWays) {
    View v(dat, DAT::KEYTRACKREF);
    ASSERT_EQ(v.open(), 0);
    std::vector<int64_t> all = readAll(v);
    ASSERT_EQ(all.size(), 300u);
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], static_cast<int64_t>(i + 1));
    std::vector<int64_t> back = readAll(v, false);
    EXPECT_EQ(back, std::vector<int64_t>(all.rbegin(), all.rend()));
}

TEST_F(Views, FiltersWithSeveralComparisonsLiteralsAndTextBindings) {
    std::string caseCode = "c3";  // text compares without regard to case
    Decimal low = D("100");
    View v(dat, DAT::KEYCASECODE);
    v.bind("LOC:Case", &caseCode);
    v.bind("LOC:Low", &low);
    v.setFilter("DAT:CaseCode = LOC:Case AND DAT:TrackReference >= LOC:Low AND DAT:Name <> 'DOC0'");
    ASSERT_EQ(v.open(), 0);
    std::vector<int64_t> got = readAll(v);
    std::vector<int64_t> want;
    for (int t = 300; t >= 100; --t)  // KEYCASECODE: highest tracking reference first
        if (t % 5 == 3 && t % 3 != 0) want.push_back(t);
    EXPECT_EQ(got, want);
}

TEST_F(Views, AmountsCompareAsNumbers) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayAmount, RecordID) VALUES ('A', '9.50', 1), ('B', '10.00', 2), ('C', '100.00', 3), "
            "('D', '25.00', 4), ('E', '-3.00', 5)");
    Table& c = ctx->table(TableId::DocumentCharges);
    ASSERT_EQ(c.open(), 0);
    Decimal limit = D("10");
    View v(c, DCH::PK_DOCUMENTCHARGES);
    v.bind("LOC:Limit", &limit);
    v.setFilter("DCH:OutlayAmount > LOC:Limit");
    ASSERT_EQ(v.open(), 0);
    std::vector<std::string> got;
    while (v.next() == 0) got.emplace_back(c.rec().trimmed(DCH::DOCUMENTNAME));
    EXPECT_EQ(got, (std::vector<std::string>{"C", "D"}));
    v.close();
    v.setFilter("DCH:OutlayAmount < 9.75 AND DCH:OutlayAmount >= -3");
    ASSERT_EQ(v.open(), 0);
    got.clear();
    while (v.next() == 0) got.emplace_back(c.rec().trimmed(DCH::DOCUMENTNAME));
    EXPECT_EQ(got, (std::vector<std::string>{"A", "E"}));
}

TEST_F(Views, ABadFilterIsAnErrorAndTheViewStaysClosed) {
    int32_t x = 0;
    View v(dat, DAT::KEYTRACKREF);
    v.bind("LOC:X", &x);
    for (const char* bad : {"DAT:NoSuchColumn > 1", "LOC:Unbound > 1", "DAT:TrackReference >", "DAT:TrackReference LOC:X",
                            "DAT:TrackReference > 1 OR DAT:DiaryID = 2", "XYZ:TrackReference > 1"}) {
        SCOPED_TRACE(bad);
        v.setFilter(bad);
        EXPECT_NE(v.open(), 0);
        EXPECT_NE(ctx->errorCode(), 0);
        EXPECT_FALSE(v.isOpen());
        EXPECT_NE(v.next(), 0);
    }
}

TEST_F(Views, FastScanningReadsTheWholeWaitingFeesViewAndEveryRowOfATable) {
    // The 300 attachments of the fixture all wait (Fees not set): more than one full page.
    Table& fees = ctx->table(TableId::DiaryAttFees);
    ASSERT_EQ(fees.open(), 0);
    fees.sendOption("QUICKSCAN=on");
    View v(fees, std::nullopt);
    ASSERT_EQ(v.open(), 0);
    int n = 0;
    while (v.next() == 0) ++n;
    EXPECT_EQ(n, 300);

    dat.sendOption("QUICKSCAN=on");
    View all(dat, DAT::KEYTRACKREF);
    ASSERT_EQ(all.open(), 0);
    std::vector<int64_t> got = readAll(all);
    ASSERT_EQ(got.size(), 300u);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
}

TEST_F(Views, TheWaitingFeesViewReadsInNaturalOrderWithTheFeeEarnerOfTheDiaryEntry) {
    db.exec("DELETE FROM DiaryAttachments");
    db.exec("INSERT INTO diary (ActionID, FnCode) VALUES (5, 'ABC'), (6, 'XYZ')");
    db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, CaseCode, Name, Fees) VALUES "
            "(3, 6, 'M2', 'LETTER', NULL), (1, 5, 'M1', 'MEMO', 0), (2, 5, 'M1', 'DONE', 1), (4, 9, 'M3', 'ORPHAN', 0)");
    Table& fees = ctx->table(TableId::DiaryAttFees);
    ASSERT_EQ(fees.open(), 0);
    std::vector<std::string> got;
    ASSERT_EQ(fees.setNatural(), 0);
    while (fees.next() == 0)
        got.push_back(std::string(fees.rec().trimmed(DAF::CASECODE)) + "/" + std::to_string(fees.rec().get(DAF::DIARYID)) + "/" +
                      std::string(fees.rec().trimmed(DAF::NAME)) + "/" + std::string(fees.rec().trimmed(DAF::FNCODE)));
    EXPECT_EQ(got, (std::vector<std::string>{"M2/6/LETTER/XYZ", "M1/5/MEMO/ABC", "M3/9/ORPHAN/"}));

    // A view over it with no order and no filter reads the same.
    View v(fees, std::nullopt);
    ASSERT_EQ(v.open(), 0);
    int n = 0;
    while (v.next() == 0) ++n;
    EXPECT_EQ(n, 3);

    // In its key order (fee earner first) and backward.
    ASSERT_EQ(fees.setStart(DAF::KEYCASE), 0);
    got.clear();
    while (fees.previous() == 0) got.emplace_back(fees.rec().trimmed(DAF::NAME));
    EXPECT_EQ(got, (std::vector<std::string>{"LETTER", "MEMO", "ORPHAN"}));

    // A position in the view reads its row again, a NULL fee earner included.
    ASSERT_EQ(fees.setStart(DAF::KEYCASE), 0);
    ASSERT_EQ(fees.next(), 0);
    ASSERT_EQ(fees.rec().trimmed(DAF::NAME), "ORPHAN");
    const std::string orphan = fees.position(DAF::KEYCASE);
    ASSERT_EQ(fees.next(), 0);
    const std::string memo = fees.position(DAF::KEYCASE);
    fees.clear();
    ASSERT_EQ(fees.reget(DAF::KEYCASE, orphan), 0);
    EXPECT_EQ(fees.rec().trimmed(DAF::NAME), "ORPHAN");
    ASSERT_EQ(fees.reget(DAF::KEYCASE, memo), 0);
    EXPECT_EQ(fees.rec().trimmed(DAF::NAME), "MEMO");

    // Marking an attachment takes it out of the view.
    db.exec("UPDATE DiaryAttachments SET Fees = 1 WHERE DiaryID = 6");
    ASSERT_EQ(fees.setNatural(), 0);
    n = 0;
    while (fees.next() == 0) ++n;
    EXPECT_EQ(n, 2);
    // The view is read only.
    fees.clear();
    EXPECT_NE(fees.add(), 0);
}

}  // namespace
}  // namespace mg
