// What other programs of the suite leave in the tables the fee import reads: accented
// descriptions as long as their column, codes padded with blanks, amounts in a form that is
// not a number, a control row whose key is NULL or negative.

#include "data/utf8.h"
#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

const std::string e = "\xC3\xA9";  // é

std::string times(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// A description as long as its column is entered whole: never cut inside a character
// (which leaves text that other readers cannot even read) nor short of its last letters.
TEST_F(FeeImportTest, AccentedDescriptionsAreEnteredWhole) {
    struct Case {
        const char* what;
        std::string taskDescription;  // TasksCodes.DESC is text 30
        std::string matrixDescription;  // ChargingMatrix.DESCRIPTION is text 100, taken when the task code is unknown
        std::string comment;  // what both comments hold
    };
    const Case cases[] = {
        {"30 characters, the last accented", std::string(29, 'a') + e, "", std::string(29, 'a') + e},
        {"29 characters, the last 3 accented", std::string(26, 'b') + times(e, 3), "", std::string(26, 'b') + times(e, 3)},
        {"100 accented characters from the matrix", "", times(e, 100), times(e, 100)},
    };
    long long diaryId = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        db.exec("DELETE FROM TasksCodes; DELETE FROM ChargingMatrix; DELETE FROM TimeDayBook; DELETE FROM FeesImported");
        if (!c.taskDescription.empty()) task("T01", c.taskDescription);
        matrix("AR1", "T01", c.matrixDescription, "S1",
               {"1000.00", "10.00", "2000.00", "20.00", "3000.00", "30.00", "4000.00", "40.00", "5000.00", "50.00", "6000.00", "60.00"});
        ++diaryId;
        waitingFee(diaryId, diaryId, "M0001", "LETTER");
        ui.messages.clear();
        EXPECT_EQ(run(), RequestCompleted);
        EXPECT_EQ(db.column("SELECT COMMENT FROM TimeDayBook"), std::vector<std::string>{c.comment});
        EXPECT_EQ(db.column("SELECT COMMENT FROM FeesImported"), std::vector<std::string>{c.comment});
        EXPECT_TRUE(utf8::wellFormed(db.scalar("SELECT COMMENT FROM TimeDayBook")));
    }
}

TEST_F(FeeImportTest, PaddedMatterAndDocumentNamesAreFound) {
    matter("M0002      ", "AR1", "C01", "1500.00", "0.00", "0.00");  // band 2: 20.00
    db.exec("INSERT INTO DocumentChargesFees (DOCUMENTNAME, TASKCHARGECODE) VALUES ('PADDED    ', 'T02')");  // band 2: 21.00
    waitingFee(100, 5, "M0002", "PADDED");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{});
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["MATTER"], "M0002");
    EXPECT_EQ(tid[0]["CHARGE"], "21.00");
    EXPECT_EQ(waiting(), 0);
}

// An amount that cannot be read is a database failure: the diary entry stays waiting with the
// record-retrieval warning naming the value, and the run goes on with the next entry.
TEST_F(FeeImportTest, AnAmountThatCannotBeReadLeavesTheEntryWaitingWithAMessage) {
    struct Case {
        const char* what;
        const char* damage;
        const char* message;
    };
    const Case cases[] = {
        {"the matter's debt", "UPDATE Matters SET ORIGINALDEBT = '1,200.00' WHERE CODE = 'M0002'",
         "Error: (The value '1,200.00' in column ORIGINALDEBT of table Matters cannot be read as decimal 13.2 (conversion)) "
         "attempting to access a record from the Matters file.  Returning to previous window."},
        {"a band limit of the matter's arrangement", "UPDATE ChargingMatrix SET BAND2LIMIT = '2.000,00' WHERE ARRANGEMENTCODE = 'AR2'",
         "Error: (The value '2.000,00' in column BAND2LIMIT of table ChargingMatrix cannot be read as decimal 13.2 (conversion)) "
         "attempting to access a record from the ChargingMatrix file.  Returning to previous window."},
    };
    matter("M0002", "AR2", "C01", "1200.00", "0.00", "0.00");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        db.exec("DELETE FROM TimeDayBook; DELETE FROM FeesImported; DELETE FROM diary; DELETE FROM DiaryAttachments");
        waitingFee(100, 5, "M0001", "LETTER");
        waitingFee(200, 6, "M0002", "LETTER");
        waitingFee(300, 7, "M0001", "LETTER");
        db.exec(c.damage);
        ui.messages.clear();
        EXPECT_EQ(run(), RequestCompleted);
        EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{c.message});
        EXPECT_EQ(db.column("SELECT ACTIONID || ':' || CHARGE FROM TimeDayBook ORDER BY RECORDID"),
                  (std::vector<std::string>{"100:10.00", "300:10.00"}));
        EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 2);
        EXPECT_EQ(db.column("SELECT DIARYID FROM DiaryAttFees"), std::vector<std::string>{"200"});
        // Mended, the next run enters it at its band (1200.00 is band 2 of AR2: 22.00).
        db.exec("UPDATE Matters SET ORIGINALDEBT = '1200.00' WHERE CODE = 'M0002'; UPDATE ChargingMatrix SET BAND2LIMIT = '2000.00'");
        ui.messages.clear();
        run();
        EXPECT_EQ(db.column("SELECT CHARGE FROM TimeDayBook WHERE ACTIONID = 200"), std::vector<std::string>{"22.00"});
        EXPECT_EQ(waiting(), 0);
    }
}

TEST_F(FeeImportTest, TheControlRowIsFoundWhateverItsKeyHolds) {
    for (const char* key : {"NULL", "-5", "0"}) {
        SCOPED_TRACE(key);
        db.exec("DELETE FROM TimeDayBook; DELETE FROM FeesImported; UPDATE control SET NEXT_DOC_NO = " + std::string(key));
        static long long diaryId = 100;
        ++diaryId;
        waitingFee(diaryId, diaryId, "M0001", "LETTER");
        ui.messages.clear();
        EXPECT_EQ(run(), RequestCompleted);
        EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{});
        EXPECT_EQ(db.column("SELECT PERIOD || '/' || YEAR FROM TimeDayBook"), std::vector<std::string>{"7/2024"});
    }
}

}  // namespace
}  // namespace mg::fees::test
