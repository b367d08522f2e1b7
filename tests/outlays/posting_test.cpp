// The batch posting of diary attachments: headers, lines, numbers, amounts and messages.

#include "outlay_fixture.h"

namespace mg::test {
namespace {

class Posting : public OutlayFixture {};

TEST_F(Posting, FirstAttachmentOfTheDayMakesOneHeaderAndOneLine) {
    matter("M0001", "500.00");
    outlayCode("CSF", "Court Stamp Fee");
    charge("DOC1", "CSF", "4100", "12.34");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC1");

    Result r = run();
    EXPECT_EQ(r.response, RequestCompleted);
    EXPECT_EQ(r.globalResponse, RequestCompleted);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});

    // The header, column by column.
    ASSERT_EQ(count("BatchH"), 1);
    EXPECT_EQ(q("SELECT BATCHNO || '|' || POSTFWD || '|' || TYPE || '|' || CODE || '|' || PREF || '|' || REF || '|' || DATE || '|' || "
                "IFNULL(FEE,'') || IFNULL(MATTER,'') || IFNULL(SUPP,'') || '|' || NARR || '|' || VALUE || '|' || POSTED || '|' || CLIENTAC "
                "|| '|' || PERNO || '|' || YEAR || '|' || IFNULL(PAYEE,'') || '|' || USERCODE || '|' || ENTRYDATE || '|' || CURRENCY || '|' "
                "|| CURRENCYVALUE || '|' || OUTLAYTOT || '|' || VATTOT || '|' || FEETOT FROM BatchH"),
              "101|N|P|4100|5001|AutoOutlay|2015-02-09||Court Stamp Fee|12.34|N|N|3|2015||AUTO|2015-02-09|E|9.72|0.00|0.00|0.00");
    // The line, column by column.
    ASSERT_EQ(count("BatchDetails"), 1);
    EXPECT_EQ(q("SELECT BATCHNO || '|' || TYPE || '|' || CODE || '|' || PREF || '|' || REF || '|' || DATE || '|' || FEE || '|' || "
                "NARR || '|' || MATTER || '|' || VALUE || '|' || VATCODE || '|' || VATVAL || '|' || OUTLAY || '|' || YEAR || '|' || PERNO "
                "|| '|' || ENTRYCURRENCY || '|' || CURRENCYVALUE || '|' || OUTLAYCODE || '|' || IFNULL(SUPP,'') || IFNULL(PAYEE,'') || '|' "
                "|| HEADPREF || '|' || KEYID FROM BatchDetails"),
              "101|P|7100|5002|Doc Outlay|2015-02-09|JMK|Court Stamp Fee|M0001|12.34|E|0.00|O|2015|3|E|9.72|CSF||0|1");
    EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF FROM control"), "101/5002");
    expectBooksBalance();
}

TEST_F(Posting, ASecondAttachmentOfTheDayGoesIntoTheSameBatch) {
    matter("M0001", "500.00");
    charge("DOC1", "CSF", "4100", "10.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC1");
    attachment(2, 77, "M0001", "DOC1");
    run();
    EXPECT_EQ(count("BatchH"), 1);
    EXPECT_EQ(count("BatchDetails", "BATCHNO = 101"), 2);
    EXPECT_EQ(q("SELECT VALUE || ' ' || CURRENCYVALUE FROM BatchH"), "20.00 15.75");
    EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF FROM control"), "101/5003");
    expectBooksBalance();
}

TEST_F(Posting, TheNextDayOrAPostedBatchGetsANewHeader) {
    matter("M0001", "500.00");
    charge("DOC1", "CSF", "4100", "10.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC1");
    run();
    clock.day += 1;
    attachment(2, 77, "M0001", "DOC1");
    run(1);
    EXPECT_EQ(count("BatchH"), 2);
    EXPECT_EQ(q("SELECT DATE FROM BatchH WHERE BATCHNO = 102"), "2015-02-10");
    db.exec("UPDATE BatchH SET POSTED = 'Y' WHERE BATCHNO = 102");
    attachment(3, 77, "M0001", "DOC1");
    run(2);
    EXPECT_EQ(count("BatchH"), 3);
    EXPECT_EQ(count("BatchDetails", "BATCHNO = 103"), 1);
    expectBooksBalance();
}

TEST_F(Posting, TwoChargeRowsOfDifferentNominalCodesMakeTwoHeaders) {
    matter("M0001", "500.00");
    charge("DOC2", "CSF", "4200", "10.00");
    charge("DOC2", "SRCH", "4100", "25.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC2");
    run();
    EXPECT_EQ(count("BatchH"), 2);
    EXPECT_EQ(q("SELECT VALUE FROM BatchH WHERE CODE = '4100'"), "25.00");
    EXPECT_EQ(q("SELECT VALUE FROM BatchH WHERE CODE = '4200'"), "10.00");
    // Numbers in charge-row order: the first row (4200) takes the first batch number.
    EXPECT_EQ(q("SELECT BATCHNO FROM BatchH WHERE CODE = '4200'"), "101");
    EXPECT_EQ(q("SELECT NARR FROM BatchH WHERE CODE = '4100'"), "SRCH Outlay Charge");
    expectBooksBalance();
}

TEST_F(Posting, RowsSharingANominalCodeShareOneHeader) {
    matter("M0001", "500.00");
    charge("DOC3", "CSF", "4100", "10.00");
    charge("DOC3", "COPY", "4100", "2.50");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC3");
    run();
    EXPECT_EQ(count("BatchH"), 1) << "no empty duplicate header";
    EXPECT_EQ(count("BatchDetails", "BATCHNO = 101"), 2);
    EXPECT_EQ(q("SELECT VALUE FROM BatchH"), "12.50");
    expectBooksBalance();
}

TEST_F(Posting, ACodeWithoutAnOpenBatchGetsItsOwnHeaderEvenWhenTheLowestCodeHasOne) {
    matter("M0001", "500.00");
    charge("DOC1", "CSF", "4100", "10.00");
    charge("DOC2", "CSF", "4100", "10.00");
    charge("DOC2", "SRCH", "4300", "7.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC1");  // opens the 4100 batch of the day
    attachment(2, 77, "M0001", "DOC2");  // 4100 has a batch, 4300 has none
    run();
    EXPECT_EQ(count("BatchH"), 2);
    EXPECT_EQ(q("SELECT count(*) FROM BatchDetails d JOIN BatchH h ON h.BATCHNO = d.BATCHNO WHERE d.OUTLAYCODE = 'SRCH' AND h.CODE = "
                "'4300'"),
              "1");
    expectBooksBalance();
}

TEST_F(Posting, AmountsFollowTheDebtBands) {
    // debt = original + interest - collected
    struct Case {
        const char* original;
        const char* collected;
        const char* expected;
    } cases[] = {
        {"1000.00", "0.00", "10.00"},     // exactly band 1
        {"1000.01", "0.00", "20.00"},     // band 1 + 0.01
        {"0.00", "0.00", "10.00"},        // zero
        {"0.00", "0.01", "1.11"},         // negative
        {"100000.00", "0.00", "50.00"},   // exactly band 5
        {"100000.01", "0.00", "1.11"},    // above band 5
        {"7500.00", "500.00", "30.00"},   // 7000: band 3
    };
    charge("DOC1", "CSF", "4100", "10.00");
    diary(77, "JMK");
    int ref = 0;
    for (const Case& c : cases) {
        std::string code = "M" + std::to_string(++ref);
        matter(code, c.original, "0.00", c.collected);
        attachment(ref, 77, code, "DOC1");
    }
    run();
    ref = 0;
    for (const Case& c : cases) {
        std::string code = "M" + std::to_string(++ref);
        EXPECT_EQ(q("SELECT VALUE FROM BatchDetails WHERE MATTER = '" + code + "'"), c.expected) << c.original << " - " << c.collected;
    }
    expectBooksBalance();
}

TEST_F(Posting, BandsPastTheLastNonZeroLimitGiveTheFixedAmount) {
    charge("DOC1", "CSF", "4100", "10.00", "0.00", "100.00", "20.00", "0.00", "30.00", "0.00", "40.00", "0.00", "50.00");
    diary(77, "JMK");
    matter("ZERO", "0.00");
    matter("B2", "100.00");
    matter("PAST", "100.01");
    attachment(1, 77, "ZERO", "DOC1");
    attachment(2, 77, "B2", "DOC1");
    attachment(3, 77, "PAST", "DOC1");
    run();
    EXPECT_EQ(q("SELECT VALUE FROM BatchDetails WHERE MATTER = 'ZERO'"), "10.00");
    EXPECT_EQ(q("SELECT VALUE FROM BatchDetails WHERE MATTER = 'B2'"), "20.00");
    EXPECT_EQ(q("SELECT VALUE FROM BatchDetails WHERE MATTER = 'PAST'"), "1.11");
}

TEST_F(Posting, UnknownMatterAndMissingDiaryEntryAreReportedAndStillPosted) {
    charge("DOC1", "CSF", "4100", "10.00");
    attachment(1, 99, "NOSUCH", "DOC1");
    run();
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"No Diary record found for Action ID 99", "Matter NOSUCH      not found!!!",
                                                    "Import Complete!"}));
    EXPECT_EQ(q("SELECT FEE || ' ' || VALUE || ' ' || CURRENCYVALUE FROM BatchDetails"), "ADM 0.00 0.00");
    expectBooksBalance();
}

TEST_F(Posting, ADocumentWithoutChargesPostsNothingAndSaysNothing) {
    matter("M0001", "500.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "NOCHARGE");
    Result r = run();
    EXPECT_EQ(r.response, RequestCompleted);
    EXPECT_EQ(count("BatchH") + count("BatchDetails"), 0);
    EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF FROM control"), "100/5000");
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});
    EXPECT_EQ(iniLastTrackRef(), 1);
}

TEST_F(Posting, QuotesInCodesAreDoubledInStatements) {
    matter("M0001", "500.00");
    charge("O'NEILL", "CSF", "41'0", "10.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "O'NEILL");
    attachment(2, 77, "M0001", "O'NEILL");
    run();
    EXPECT_EQ(count("BatchH"), 1);
    EXPECT_EQ(count("BatchDetails"), 2);
    EXPECT_EQ(q("SELECT CODE FROM BatchH"), "41'0");
    expectBooksBalance();
}

TEST_F(Posting, StatementTextsAreTheSystemsOwn) {
    matter("M0001", "500.00");
    charge("DOC1", "CSF", "4100", "10.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "DOC1");
    std::string trace = (db.folder() / "trace.sql").string();
    db::setTraceFile(trace);
    run();
    db::setTraceFile("");
    std::ifstream in(trace);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The trace holds them as the database receives them: the shape, then the values.
    const db::SqlDialect dialect = onServer() ? db::SqlDialect::PostgreSql : db::SqlDialect::Sqlite;
    const auto sent = [&](const std::string& text, const std::string& values) {
        return db::parameterize(text, dialect).sql + (values.empty() ? "" : "  -- " + values) + "\n";
    };
    EXPECT_NE(all.find(sent("Select BatchNo from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = "
                            "CONVERT(DATETIME, '2015-2-9 00:00:00', 102))",
                            "'4100', 'Y', 'AutoOutlay', '2015-02-09'")),
              std::string::npos);
    EXPECT_NE(all.find(sent("Select FnCode From Diary Where ActionID = 77", "77")), std::string::npos);
    EXPECT_NE(all.find(sent("Select max(TrackReference) from DiaryAttachments", "")), std::string::npos);
}

// On a server every statement is a round trip: an attachment reads what it needs once, and
// a one-line attachment, the first of its run, costs at most 14 statements (its begin and
// commit, the narrative the run then knows and its rows of the run history included).
TEST_F(Posting, AnAttachmentReadsWhatItNeedsOnce) {
    matter("M0001", "500.00");
    outlayCode("CSF", "Court Stamp Fee");
    charge("ONE", "CSF", "4100", "10.00");
    charge("TWO", "CSF", "4100", "7.00");
    charge("TWO", "SRCH", "4200", "3.00");
    diary(77, "JMK");
    attachment(1, 77, "M0001", "ONE");
    attachment(2, 77, "M0001", "TWO");
    run(0);  // the day's batches exist from here on
    const uint64_t idle = run(2).statements;  // a run with nothing to post
    attachment(3, 77, "M0001", "ONE");
    const uint64_t oneLine = run(2).statements - idle;
    attachment(4, 77, "M0001", "TWO");
    const uint64_t twoLines = run(3).statements - idle;
    EXPECT_LE(oneLine, 14u);
    EXPECT_LE(twoLines, oneLine + 7) << "the second line reads again only its own batch's header and narrative";
    EXPECT_EQ(count("BatchDetails"), 6);
    expectBooksBalance();
    std::cerr << "statements: one-line attachment " << oneLine << ", two-line attachment " << twoLines << "\n";
}

TEST(PostingTexts, BatchQueriesAndTheDateLiteral) {
    int32_t day = dates::dateFromMDY(2, 9, 2015);
    EXPECT_EQ(outlays::dateLiteral(day), "'2015-2-9 00:00:00'");
    EXPECT_EQ(outlays::dateLiteral(dates::dateFromMDY(12, 25, 2026)), "'2026-12-25 00:00:00'");
    EXPECT_EQ(outlays::batchCountQuery("4100", day),
              "Select count(*) from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = "
              "CONVERT(DATETIME, '2015-2-9 00:00:00', 102))");
    EXPECT_EQ(outlays::batchNumberQuery("4100", day),
              "Select BatchNo from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = "
              "CONVERT(DATETIME, '2015-2-9 00:00:00', 102))");
}

}  // namespace
}  // namespace mg::test
