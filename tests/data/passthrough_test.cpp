// SQL pass-through: the system's own statement texts, run on the result tables and on
// the charge table, with the rewriting the embedded database needs and the trace.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "data/context.h"
#include "data/dates.h"
#include "data/dialect.h"
#include "data/passthrough.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

TEST(Parameterize, RewritesTopConvertAndTheOwnerForTheEmbeddedDatabase) {
    auto p = db::parameterize("Select Top 1  TrackReference from dbo.DiaryAttachments Where DiaryID = 5 order by TrackReference",
                              db::SqlDialect::Sqlite);
    EXPECT_EQ(p.sql.find("Top"), std::string::npos) << p.sql;
    EXPECT_EQ(p.sql.find("dbo."), std::string::npos) << p.sql;
    EXPECT_NE(p.sql.find("LIMIT 1"), std::string::npos) << p.sql;
    ASSERT_EQ(p.params.size(), 1u);
    EXPECT_EQ(p.params[0].i, 5);

    p = db::parameterize("Select count(*) from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and "
                         "(DATE = CONVERT(DATETIME, '2015-2-9 00:00:00', 102))",
                         db::SqlDialect::Sqlite);
    EXPECT_EQ(p.sql.find("CONVERT"), std::string::npos) << p.sql;
    ASSERT_EQ(p.params.size(), 4u);
    EXPECT_EQ(p.params[0].text, "4100");
    EXPECT_EQ(p.params[1].text, "Y");
    EXPECT_EQ(p.params[2].text, "AutoOutlay");
    EXPECT_EQ(p.params[3].text, "2015-02-09");

    p = db::parameterize("Select x from T Where D = CONVERT(DATETIME, '2015-12-31 13:45:00', 102)", db::SqlDialect::Sqlite);
    ASSERT_EQ(p.params.size(), 1u);
    EXPECT_EQ(p.params[0].text, "2015-12-31 13:45:00");

    // Statements of the same shape share one prepared statement.
    auto a = db::parameterize("Select count(*) from DocumentCharges Where DocumentName = 'A'", db::SqlDialect::Sqlite);
    auto b = db::parameterize("Select count(*) from DocumentCharges Where DocumentName = 'O''Brien'", db::SqlDialect::Sqlite);
    EXPECT_EQ(a.sql, b.sql);
    EXPECT_EQ(b.params[0].text, "O'Brien");

    // SQL Server gets its own text back, literals aside.
    p = db::parameterize("Select Top 1 x from dbo.T order by x", db::SqlDialect::SqlServer);
    EXPECT_NE(p.sql.find("Top 1"), std::string::npos) << p.sql;
    EXPECT_NE(p.sql.find("dbo.T"), std::string::npos) << p.sql;
}

TEST(Parameterize, ColumnNumbersInOrderByStayNumbers) {
    auto p = db::parameterize("Select Code, Value from BatchH order by 2 desc, 1", db::SqlDialect::Sqlite);
    EXPECT_NE(p.sql.find("order by 2 desc, 1"), std::string::npos) << p.sql;
    EXPECT_TRUE(p.params.empty());
    p = db::parameterize("Select Code from BatchH Where BatchNo > 3 Group By 1 Order By 1", db::SqlDialect::Sqlite);
    EXPECT_NE(p.sql.find("Group By 1 Order By 1"), std::string::npos) << p.sql;
    ASSERT_EQ(p.params.size(), 1u);
}

TEST(Parameterize, CommentsAndQuotedNamesHoldNoValues) {
    auto p = db::parameterize("Select x from T -- the 5 lines\n where y = 7 /* or 8 */ and \"Col 9\" = 'a'", db::SqlDialect::Sqlite);
    ASSERT_EQ(p.params.size(), 2u) << p.sql;
    EXPECT_EQ(p.params[0].i, 7);
    EXPECT_EQ(p.params[1].text, "a");
    EXPECT_NE(p.sql.find("-- the 5 lines\n"), std::string::npos) << p.sql;
    EXPECT_NE(p.sql.find("\"Col 9\""), std::string::npos) << p.sql;
}

TEST(Quoted, DoublesTheQuotesOfTheValue) {
    EXPECT_EQ(db::quoted("O'Brien"), "'O''Brien'");
    EXPECT_EQ(db::quoted(""), "''");
    EXPECT_EQ(db::quoted("''"), "''''''");
}

class PassThrough : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();

    Table& opened(TableId id) {
        Table& t = ctx->table(id);
        EXPECT_EQ(t.open(), 0);
        return t;
    }
    void SetUp() override {
        db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, RecordID, Band1, Band2, OutlayAmt2, Band3, "
                "OutlayAmt3, Band4, OutlayAmt4, Band5, OutlayAmt5) VALUES "
                "('X', 'SRCH', '25.00', '4200', 1, '100.00', '200.00', '30.50', '300.00', '35.00', '400.00', '40.00', '500.00', '45.00'),"
                "('X', 'POST', '1.20', '4100', 2, '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00'),"
                "('Y', 'COPY', '0.10', '4000', 3, '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00', '0.00')");
        db.exec("INSERT INTO DiaryAttachments (TrackReference, DiaryID, Name) VALUES (17, 5, 'X'), (12, 5, 'Y'), (30, 6, 'X')");
    }
};

TEST_F(PassThrough, ResultTablesReceiveTheFirstColumnOfEachRow) {
    Table& d = opened(TableId::SQLResultD);
    ASSERT_EQ(d.setSql("Select count(*) from DocumentCharges Where DocumentName = 'X'"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("2"));
    EXPECT_EQ(d.next(), NotFoundErr);

    ASSERT_EQ(d.setSql("Select max(TrackReference) from DiaryAttachments"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("30"));

    // A decimal held as text, and a REAL, arrive exactly, rounded to 2 places.
    ASSERT_EQ(d.setSql("Select OutlayAmt2 from DocumentCharges Where RecordID = 1"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD).toString(2), "30.50");
    ASSERT_EQ(d.setSql("Select 0.1 + 0.2"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD).toString(2), "0.30");

    // No rows: the first next is 33.
    ASSERT_EQ(d.setSql("Select max(TrackReference) from DiaryAttachments Where DiaryID = 99"), 0);
    ASSERT_EQ(d.next(), 0);  // max() of nothing is one NULL row
    EXPECT_TRUE(d.rec().get(SQLD::RESULTFIELD).isZero());
    ASSERT_EQ(d.setSql("Select TrackReference from DiaryAttachments Where DiaryID = 99"), 0);
    EXPECT_EQ(d.next(), NotFoundErr);

    Table& s = opened(TableId::SQLResult);
    ASSERT_EQ(s.setSql("Select OutlayCode from DocumentCharges Order by RecordID"), 0);
    std::vector<std::string> codes;
    while (s.next() == 0) codes.emplace_back(s.rec().trimmed(SQL::FIELDRESULT));
    EXPECT_EQ(codes, (std::vector<std::string>{"SRCH", "POST", "COPY"}));
    EXPECT_EQ(s.rec().get(SQL::FIELDRESULT).size(), 100u);
    EXPECT_EQ(s.sql(), "Select OutlayCode from DocumentCharges Order by RecordID");
}

TEST_F(PassThrough, TheChargeSelectLandsInTheDocumentChargesRecordInDeclaredOrder) {
    Table& c = opened(TableId::DocumentCharges);
    ASSERT_EQ(c.setSql("Select DocumentName,OutlayCode,OutlayAmount,NominalCode,RecordID,Band1,Band2,OutlayAmt2,Band3,OutlayAmt3,Band4,"
                       "OutlayAmt4,Band5,OutlayAmt5 from DocumentCharges Where DocumentName = 'X' Order by NominalCode"),
              0);
    ASSERT_EQ(c.next(), 0);
    const Record& r = c.rec();
    EXPECT_EQ(r.get(DCH::DOCUMENTNAME), "X         ");
    EXPECT_EQ(r.trimmed(DCH::OUTLAYCODE), "POST");
    EXPECT_EQ(r.get(DCH::OUTLAYAMOUNT), D("1.20"));
    EXPECT_EQ(r.trimmed(DCH::NOMINALCODE), "4100");
    EXPECT_EQ(r.get(DCH::RECORDID), 2);
    ASSERT_EQ(c.next(), 0);
    EXPECT_EQ(r.trimmed(DCH::NOMINALCODE), "4200");
    EXPECT_EQ(r.get(DCH::RECORDID), 1);
    EXPECT_EQ(r.get(DCH::BAND1), D("100"));
    EXPECT_EQ(r.get(DCH::BAND2), D("200"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMT2), D("30.50"));
    EXPECT_EQ(r.get(DCH::BAND3), D("300"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMT3), D("35"));
    EXPECT_EQ(r.get(DCH::BAND4), D("400"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMT4), D("40"));
    EXPECT_EQ(r.get(DCH::BAND5), D("500"));
    EXPECT_EQ(r.get(DCH::OUTLAYAMT5), D("45"));
    EXPECT_EQ(c.next(), NotFoundErr);

    // After the pass-through rows the table reads in key order again.
    ASSERT_EQ(c.setStart(DCH::PK_DOCUMENTCHARGES), 0);
    ASSERT_EQ(c.next(), 0);
    EXPECT_EQ(c.rec().get(DCH::RECORDID), 1);
}

TEST_F(PassThrough, TheBatchQueryFindsTheDaysOpenAutomaticBatch) {
    Table& b = opened(TableId::BatchH);
    for (int i = 0; i < 3; ++i) {
        b.clear();
        b.rec().set(BAH::BATCHNO, 40 + i);
        b.rec().set(BAH::CODE, "4100");
        b.rec().set(BAH::REF, "AutoOutlay");
        b.rec().set(BAH::POSTED, i == 1 ? "Y" : "N");
        b.rec().set(BAH::DATE, dates::dateFromMDY(2, 9 + (i == 2), 2015));
        ASSERT_EQ(b.add(), 0);
    }
    const std::string where =
        " from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = CONVERT(DATETIME, '2015-2-9 00:00:00', 102))";
    Table& d = opened(TableId::SQLResultD);
    ASSERT_EQ(d.setSql("Select count(*)" + where), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("1"));
    ASSERT_EQ(d.setSql("Select BatchNo" + where), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("40"));
    EXPECT_EQ(d.next(), NotFoundErr);
}

TEST_F(PassThrough, TopOneTakesTheLowestTrackingReferenceOfTheDiaryEntry) {
    Table& d = opened(TableId::SQLResultD);
    ASSERT_EQ(d.setSql("Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 5 order by TrackReference"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("12"));
    EXPECT_EQ(d.next(), NotFoundErr);
    // The statement text reads back as it was set.
    EXPECT_EQ(d.sql(), "Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 5 order by TrackReference");
}

TEST_F(PassThrough, StatementsWithoutRowsRun) {
    Table& a = opened(TableId::DiaryAttachments);
    ASSERT_EQ(a.setSql("Update DiaryAttachments Set Fees = 1 Where DiaryId = 5"), 0);
    EXPECT_EQ(a.next(), NotFoundErr);
    EXPECT_EQ(db.column("SELECT TrackReference FROM DiaryAttachments WHERE Fees = 1 ORDER BY 1"), (std::vector<std::string>{"12", "17"}));
    ASSERT_EQ(a.setSql("Update DiaryAttachments Set Fees = 1 Where DiaryId = 77"), 0);  // no row: still fine
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE Fees = 1"), 2);
}

TEST_F(PassThrough, AQuotedValueWithAQuoteMatchesExactly) {
    db.exec("INSERT INTO DocumentCharges (DocumentName, RecordID) VALUES ('O''Brien', 10), ('O', 11)");
    Table& d = opened(TableId::SQLResultD);
    ASSERT_EQ(d.setSql("Select count(*) from DocumentCharges Where DocumentName = " + db::quoted("O'Brien")), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("1"));
    Table& s = opened(TableId::SQLResult);
    ASSERT_EQ(s.setSql("Select DocumentName from DocumentCharges Where RecordID = 10"), 0);
    ASSERT_EQ(s.next(), 0);
    EXPECT_EQ(s.rec().trimmed(SQL::FIELDRESULT), "O'Brien");
}

TEST_F(PassThrough, ABadStatementGives90WithTheDatabasesOwnText) {
    Table& d = opened(TableId::SQLResultD);
    EXPECT_EQ(d.setSql("Select count(*) from NoSuchTable"), FileSystemErr);
    EXPECT_EQ(ctx->errorCode(), 90);
    EXPECT_NE(ctx->fileError().find("no such table"), std::string::npos) << ctx->fileError();
    EXPECT_FALSE(ctx->fileErrorCode().empty());
    EXPECT_EQ(d.next(), NotFoundErr);
    EXPECT_EQ(d.setSql("Selec 1"), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("syntax error"), std::string::npos) << ctx->fileError();
    // A good statement afterwards works.
    ASSERT_EQ(d.setSql("Select 4"), 0);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("4"));
}

// The trace holds each statement as the database receives it: its shape, then its values.
TEST_F(PassThrough, TheTraceHasEachStatementAsSentWithItsValues) {
    const std::string trace = (db.folder() / "trace.log").string();
    db::setTraceFile(trace);
    Table& d = opened(TableId::SQLResultD);
    const std::string first = "Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 5 order by TrackReference";
    const std::string second =
        "Select count(*) from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = CONVERT(DATETIME, '2015-2-9 00:00:00', 102))";
    ASSERT_EQ(d.setSql(first), 0);
    ASSERT_EQ(d.setSql(second), 0);
    db::setTraceFile("");
    ASSERT_EQ(d.setSql("Select 'after'"), 0);
    std::ifstream in(trace);
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const db::SqlDialect dialect = ctx->connection()->dialect().kind();
    const std::string sentFirst = db::parameterize(first, dialect).sql + "  -- 5\n";
    const std::string sentSecond = db::parameterize(second, dialect).sql + "  -- '4100', 'Y', 'AutoOutlay', '2015-02-09'\n";
    EXPECT_NE(text.find(sentFirst), std::string::npos) << text;
    EXPECT_NE(text.find(sentSecond), std::string::npos) << text;
    EXPECT_LT(text.find(sentFirst), text.find(sentSecond));
    EXPECT_EQ(text.find("after"), std::string::npos);
}

TEST_F(PassThrough, OneShapeIsPreparedOnce) {
    Table& d = opened(TableId::SQLResultD);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(d.setSql("Select count(*) from DocumentCharges Where DocumentName = '" + std::to_string(i) + "'"), 0);
        ASSERT_EQ(d.next(), 0);
    }
    // one statement per setSql: no statement is prepared or sent twice for one call
    uint64_t before = ctx->statementsSent();
    ASSERT_EQ(d.setSql("Select count(*) from DocumentCharges Where DocumentName = 'X'"), 0);
    EXPECT_EQ(ctx->statementsSent() - before, 1u);
    ASSERT_EQ(d.next(), 0);
    EXPECT_EQ(d.rec().get(SQLD::RESULTFIELD), D("2"));
}

}  // namespace
}  // namespace mg

namespace mg {
namespace {

TEST_F(PassThrough, OrderByAColumnNumberSorts) {
    Table& s = opened(TableId::SQLResult);
    ASSERT_EQ(s.setSql("Select OutlayCode, RecordID from DocumentCharges order by 2 desc"), 0);
    std::vector<std::string> codes;
    while (s.next() == 0) codes.emplace_back(s.rec().trimmed(SQL::FIELDRESULT));
    EXPECT_EQ(codes, (std::vector<std::string>{"COPY", "POST", "SRCH"}));
}

}  // namespace
}  // namespace mg
