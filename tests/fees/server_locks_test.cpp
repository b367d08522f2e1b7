// The fee import on a server locks only what it writes: another station holding the matter,
// the client, the control row, the fee earner and the charging tables (an editing form, or
// an outlay import holding the control row) does not hold it up, and a login with nothing but
// SELECT on the tables the import only reads (INSERT and UPDATE where it writes) enters every
// fee. Server only: the embedded database has no row locks and no logins.

#include "data/backend.h"
#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

class FeeServerLocks : public FeeImportTest {
protected:
    void SetUp() override {
        if (!mg::test::onServer()) GTEST_SKIP() << "row locks and grants are the server's";
        FeeImportTest::SetUp();
    }
};

TEST_F(FeeServerLocks, ReadTablesHeldByAnotherStationAndASelectOnlyLoginDoNotStopTheImport) {
    mapping("MEMO", "T02");
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(101, 6, "M0001", "MEMO", "XYZ");
    attachment(101, 7, "M0001", "LETTER");
    Error err;
    auto station = db::connect(db.settings(), err);
    ASSERT_TRUE(station) << err.driverText;
    ASSERT_FALSE(station->begin(30));
    for (const std::string table : {"contacts", "control", "documentchargesfees", "handlers", "chargingmatrix", "diary", "matters",
                                    "taskscodes"})
        ASSERT_FALSE(station->exec("SELECT * FROM " + table + " FOR UPDATE")) << table;
    // The usual grant of a practice's login: read what the import reads, write only where it writes.
    const char* onlyRead = "contacts, control, documentchargesfees, handlers, chargingmatrix, diary, matters, taskscodes";
    db.exec(std::string("REVOKE ALL ON ") + onlyRead + " FROM CURRENT_USER; GRANT SELECT ON " + onlyRead +
            " TO CURRENT_USER; REVOKE ALL ON timedaybook, feesimported, diaryattachments FROM CURRENT_USER;"
            "GRANT SELECT, INSERT, UPDATE ON timedaybook, feesimported, diaryattachments TO CURRENT_USER");

    EXPECT_EQ(run(), RequestCompleted);
    station->rollback();
    EXPECT_TRUE(messagesBeforeEnd().empty()) << messagesBeforeEnd().front();
    EXPECT_EQ(waiting(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 3);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 3);
    // Priced from the held rows: the held matter's arrangement and debt, the control row's period.
    EXPECT_EQ(db.scalar("SELECT sum(charge) FROM timedaybook"), "31.00");
    EXPECT_EQ(db.count("SELECT count(*) FROM timedaybook WHERE period = 7 AND year = 2024"), 3);
}

}  // namespace
}  // namespace mg::fees::test
