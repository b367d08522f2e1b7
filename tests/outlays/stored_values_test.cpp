// What other programs of the suite leave in the tables the outlay import reads: codes padded
// with blanks, amounts in a form that is not a number, a control row whose key is NULL or
// negative. Padded codes are found, an amount that cannot be read stops the run as any
// database failure does, and the control row is found whatever its key holds.

#include "outlay_fixture.h"

namespace mg::test {
namespace {

class StoredValues : public OutlayFixture {
protected:
    void SetUp() override {
        OutlayFixture::SetUp();
        outlayCode("CSF", "Court Stamp Fee");
        diary(77, "JMK");
    }
};

TEST_F(StoredValues, PaddedCodesAreFoundAndPricedByTheirMattersDebt) {
    // The matter and the document were written padded to their widths by another program.
    matter("TB1        ", "1500.00");  // band 2: 20.00
    charge("PADDED    ", "CSF", "4100", "10.00");
    attachment(1, 77, "TB1", "PADDED");
    Result r = run(0);
    EXPECT_EQ(r.posted, 1);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"}) << "no \"not found\" message";
    EXPECT_EQ(q("SELECT MATTER || '|' || VALUE FROM BatchDetails"), "TB1|20.00");
    expectBooksBalance();
}

TEST_F(StoredValues, AnAmountThatCannotBeReadRollsTheAttachmentBackAndEndsTheRun) {
    matter("M0001", "500.00");
    matter("M0002", "1,200.00");  // not a number: never priced as a debt of 0
    charge("DOC1", "CSF", "4100", "10.00");
    attachment(1, 77, "M0001", "DOC1");
    attachment(2, 77, "M0002", "DOC1");
    attachment(3, 77, "M0001", "DOC1");
    Result r = run(0);
    EXPECT_EQ(r.response, RequestCancelled);
    EXPECT_EQ(r.posted, 1);
    EXPECT_EQ(count("BatchDetails"), 1) << "only the first attachment";
    EXPECT_EQ(q("SELECT VALUE FROM BatchH"), "10.00");
    EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF FROM control"), "101/5002") << "the second attachment's reference was rolled back";
    std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "Track Ref: 2, document DOC1, matter M0002 was not posted.|Reading the matter M0002: The value '1,200.00' in column "
              "ORIGINALDEBT of table Matters cannot be read as decimal 13.2 (conversion)|The import stops here; the next import starts "
              "with this attachment.");
    EXPECT_EQ(iniLastTrackRef(), 1);
    // Once the amount is mended the next run posts the rest at the right band.
    db.exec("UPDATE Matters SET ORIGINALDEBT = '1200.00' WHERE CODE = 'M0002'");
    ui.messages.clear();
    run(static_cast<int32_t>(iniLastTrackRef()));
    EXPECT_EQ(db.column("SELECT VALUE FROM BatchDetails ORDER BY KEYID"), (std::vector<std::string>{"10.00", "20.00", "10.00"}));
    expectBooksBalance();
}

TEST_F(StoredValues, TheControlRowIsFoundWhateverItsKeyHolds) {
    matter("M0001", "500.00");
    charge("DOC1", "CSF", "4100", "10.00");
    attachment(1, 77, "M0001", "DOC1");
    attachment(2, 77, "M0001", "DOC1");
    for (const char* key : {"NULL", "-5", "0", "12"}) {
        SCOPED_TRACE(key);
        // The books emptied by hand, and with them the run history that would know them.
        db.exec("DELETE FROM BatchH; DELETE FROM BatchDetails; UPDATE control SET LASTBATCH = 100, LASTPREF = 5000, NEXT_DOC_NO = " +
                std::string(key));
        db.exec("DELETE FROM MG_ImportRunRows");
        db.exec("DELETE FROM MG_ImportRuns");
        ui.messages.clear();
        Result r = run(0);
        EXPECT_EQ(r.posted, 2);
        EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});
        EXPECT_EQ(db.column("SELECT BATCHNO || '/' || PREF FROM BatchDetails ORDER BY KEYID"),
                  (std::vector<std::string>{"101/5002", "101/5003"}));
        EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF || '/' || IFNULL(NEXT_DOC_NO, 'NULL') FROM control"),
                  "101/5003/" + std::string(key)) << "the key is left as it was";
        expectBooksBalance();
    }
}

}  // namespace
}  // namespace mg::test
