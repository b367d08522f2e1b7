// What the outlay import tells its observer: each line posted, once, with its band, amount,
// batch (new or existing) and posting reference; not a line whose insert failed; and the
// exceptions with the attachments they concern.

#include <tuple>

#include "outlay_fixture.h"
#include "outlays/outlay_observer.h"

namespace mg::test {
namespace {

struct Heard : outlays::OutlayObserver {
    std::vector<outlays::OutlayLine> lines;
    std::vector<std::tuple<outlays::OutlayException, std::string, std::string>> exceptions;
    void line(const outlays::OutlayLine& l) override { lines.push_back(l); }
    void exception(outlays::OutlayException k, const std::string& subject, const std::string& row) override {
        exceptions.emplace_back(k, subject, row);
    }
};

class Observed : public OutlayFixture {};

TEST_F(Observed, TheObserverHearsEveryLinePostedOnceAndEveryException) {
    matter("M0001", "500.00");                    // band 1
    matter("M0002", "1000.00", "0.00", "-0.01");  // 1000.01: band 2
    matter("M0003", "-5.00");                     // no band: 1.11
    outlayCode("CSF", "Court Stamp Fee");
    charge("DOC1", "CSF", "4100", "10.00");
    charge("DOC2", "BAD", "4100", "3.00");
    diary(77, "JMK");
    // An open batch of the day for 4100 exists already: every line goes into it.
    db.exec("INSERT INTO BatchH (BATCHNO, CODE, REF, POSTED, DATE, VALUE) VALUES (90, '4100', 'AutoOutlay', 'N', '2015-02-09', '0.00')");
    charge("DOC3", "CSF", "4200", "7.00");  // 4200 has none: a new batch
    db.exec("CREATE TRIGGER no_bad BEFORE INSERT ON BatchDetails WHEN NEW.OUTLAYCODE = 'BAD' "
            "BEGIN SELECT RAISE(ABORT, 'no bad outlays'); END");
    attachment(1, 77, "M0001", "DOC1");
    attachment(2, 77, "M0002", "DOC1");
    attachment(3, 88, "M0003", "DOC1");   // no diary entry 88: fee earner ADM
    attachment(4, 77, "M0001", "DOC2");   // the line's insert fails
    attachment(5, 77, "NOSUCH", "DOC1");  // unknown matter: posted at 0.00
    attachment(6, 77, "M0001", "DOC3");
    attachment(7, 77, "M0001", "DOC3");   // the batch attachment 6 made, still "new"

    Heard heard;
    auto ctx = db.context();
    Session s{*ctx, ui};
    outlays::OutlayImport import(s, ui, 0, ini);
    import.setObserver(&heard);
    ASSERT_EQ(ui::runWithoutWindow(import, nullptr), RequestCompleted);

    struct Expected {
        int64_t trackRef;
        int band;
        std::string amount, currency, fee;
        bool newBatch;
    } expected[] = {
        {1, 1, "10.00", "7.88", "JMK", false}, {2, 2, "20.00", "15.75", "JMK", false}, {3, 0, "1.11", "0.87", "ADM", false},
        {5, 0, "0.00", "0.00", "JMK", false},  {6, 1, "7.00", "5.51", "JMK", true},    {7, 1, "7.00", "5.51", "JMK", true},
    };
    ASSERT_EQ(heard.lines.size(), std::size(expected)) << "the line whose insert failed is not listed";
    auto inBooks = db.column("SELECT BATCHNO || '|' || PREF || '|' || VALUE || '|' || FEE FROM BatchDetails ORDER BY KEYID");
    ASSERT_EQ(inBooks.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const outlays::OutlayLine& l = heard.lines[i];
        SCOPED_TRACE("track ref " + std::to_string(expected[i].trackRef));
        EXPECT_EQ(l.trackRef, expected[i].trackRef);
        EXPECT_EQ(l.band, expected[i].band);
        EXPECT_EQ(l.amount.toString(2), expected[i].amount);
        EXPECT_EQ(l.currencyValue.toString(2), expected[i].currency);
        EXPECT_EQ(l.newBatch, expected[i].newBatch);
        EXPECT_EQ(inBooks[i], std::to_string(l.batchNo) + "|" + std::to_string(l.postingRef) + "|" + expected[i].amount + "|" + expected[i].fee);
    }
    EXPECT_EQ(heard.lines[0].batchNo, 90);
    EXPECT_FALSE(heard.lines[3].debt) << "an unknown matter has no debt";
    EXPECT_EQ(heard.lines[1].debt->toString(2), "1000.01");

    using K = outlays::OutlayException;
    const std::vector<std::tuple<K, std::string, std::string>> exceptions{
        {K::DiaryNotFound, "88", "track ref 3 (document DOC1, outlay code CSF)"},
        {K::NoBand, "M0003 (debt -5.00)", "track ref 3 (document DOC1, outlay code CSF)"},
        {K::LineRefused, "no bad outlays (1811) (amount 3.00, nominal code 4100)", "track ref 4 (document DOC2, outlay code BAD)"},
        {K::MatterNotFound, "NOSUCH", "track ref 5 (document DOC1, outlay code CSF)"},
    };
    EXPECT_EQ(heard.exceptions, exceptions);
}

}  // namespace
}  // namespace mg::test
