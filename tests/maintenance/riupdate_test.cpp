// The guarded update and delete of the two charge tables: a row changed by another
// station is reported and shown, a table held by another station is reported after two
// seconds with nothing written, and every failure reaches the user through a standard
// warning.

#include <gtest/gtest.h>

#include <chrono>

#include "maintenance/integrity.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg {
namespace {

Decimal D(const char* text) { return *Decimal::parse(text); }

class GuardedWrites : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};
    Table& dch = ctx->table(TableId::DocumentCharges);
    Table& dchf = ctx->table(TableId::DocumentChargesFees);

    void SetUp() override {
        db.exec("INSERT INTO DocumentCharges (DocumentName, OutlayCode, OutlayAmount, NominalCode, RecordID) VALUES "
                "('LETTER', 'POST', '1.20', '4100', 1), ('MEMO', 'COPY', '0.10', '4100', 2)");
        db.exec("INSERT INTO DocumentChargesFees (DocumentName, TaskChargeCode, RecordID) VALUES ('LETTER', 'T1', 1)");
        ASSERT_EQ(dch.open(), 0);
        ASSERT_EQ(dchf.open(), 0);
    }
    // What a browse does before it calls the form: a watched read of the row.
    void readForChange(Table& t, Key primary, IntCol id, int64_t value) {
        t.clear();
        t.rec().set(id, value);
        t.watch();
        ASSERT_EQ(t.get(primary), 0);
    }
};

TEST_F(GuardedWrites, AnUnchangedRowIsWritten) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 1);
    dch.rec().set(DCH::OUTLAYAMOUNT, D("1.35"));
    EXPECT_EQ(riUpdateDocumentCharges(s), RiWritten);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges WHERE RecordID = 1"), "1.35");
    EXPECT_EQ(ctx->transactionDepth(), 0);
    // and again, without a new read
    dch.rec().set(DCH::OUTLAYAMOUNT, D("1.40"));
    EXPECT_EQ(riUpdateDocumentCharges(s), RiWritten);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges WHERE RecordID = 1"), "1.40");
}

TEST_F(GuardedWrites, ARowChangedByAnotherStationIsReportedShownAndThenWritable) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 1);
    // The other station changes and saves the row meanwhile.
    auto other = db.context();
    ui::ScriptedUserInterface otherUi;
    Table& theirs = other->table(TableId::DocumentCharges);
    ASSERT_EQ(theirs.open(), 0);
    readForChange(theirs, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 1);
    theirs.rec().set(DCH::OUTLAYAMOUNT, D("9.99"));
    theirs.rec().set(DCH::NOMINALCODE, "4200");
    ASSERT_EQ(riUpdateDocumentCharges(Session{*other, otherUi}), RiWritten);

    dch.rec().set(DCH::OUTLAYAMOUNT, D("2.00"));
    EXPECT_EQ(riUpdateDocumentCharges(s, true), RiChanged);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Record Was Not Updated");
    EXPECT_EQ(ui.messages[0].text,
              "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' to recall "
              "your changes.");
    // The buffer shows the other station's values; nothing of mine was written.
    EXPECT_EQ(dch.rec().get(DCH::OUTLAYAMOUNT), D("9.99"));
    EXPECT_EQ(dch.rec().trimmed(DCH::NOMINALCODE), "4200");
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges WHERE RecordID = 1"), "9.99");
    EXPECT_EQ(ctx->transactionDepth(), 0);
    EXPECT_EQ(ctx->saved.code, 0);

    // A second update of the same buffer goes through.
    dch.rec().set(DCH::OUTLAYAMOUNT, D("2.00"));
    EXPECT_EQ(riUpdateDocumentCharges(s, true), RiWritten);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount || '/' || NominalCode FROM DocumentCharges WHERE RecordID = 1"), "2.00/4200");
    EXPECT_EQ(ui.messages.size(), 1u);

    // Not from a form: no message, the same result.
    db.exec("UPDATE DocumentCharges SET OutlayCode = 'X' WHERE RecordID = 1");
    dch.rec().set(DCH::OUTLAYAMOUNT, D("3.00"));
    EXPECT_EQ(riUpdateDocumentCharges(s, false), RiChanged);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(dch.rec().trimmed(DCH::OUTLAYCODE), "X");
}

TEST_F(GuardedWrites, ARowDeletedByAnotherStationFailsAsAnUpdateErrorAndIsNeverWrittenOver) {
    struct Case {
        const char* table;
        Table* t;
        Key primary;
        IntCol id;
        TextCol name;
        int (*update)(Session, bool);
    };
    db.exec("INSERT INTO DocumentChargesFees (DocumentName, TaskChargeCode, RecordID) VALUES ('MEMO', 'T2', 2)");
    const Case cases[] = {
        {"DocumentCharges", &dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, DCH::DOCUMENTNAME, &riUpdateDocumentCharges},
        {"DocumentChargesFees", &dchf, DCHF::PK_DOCUMENTCHARGES, DCHF::RECORDID, DCHF::DOCUMENTNAME, &riUpdateDocumentChargesFees},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        ui = ui::ScriptedUserInterface{};
        const std::string table = c.table;
        const std::string failed = "An error (Record Not Available (33)) was experienced when attempting to update a record from the "
                                   "file.  Probable Cause: " + table + ".";
        readForChange(*c.t, c.primary, c.id, 2);
        db.exec("DELETE FROM " + table + " WHERE RecordID = 2");
        c.t->rec().set(c.name, "MINE");
        EXPECT_EQ(c.update(s, true), RiError);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Update Operation Error");
        EXPECT_EQ(ui.messages[0].text, failed);
        // The clerk's values stay in the buffer; nothing was written back.
        EXPECT_EQ(c.t->rec().trimmed(c.name), "MINE");
        EXPECT_EQ(db.count("SELECT count(*) FROM " + table + " WHERE RecordID = 2"), 0);
        EXPECT_EQ(ctx->transactionDepth(), 0);
        EXPECT_EQ(ctx->saved.code, 0);

        // Another station adds a row under the deleted row's number. A retry fails the same
        // way and leaves the new row alone.
        db.exec("INSERT INTO " + table + " (DocumentName, RecordID) VALUES ('THEIRS', 2)");
        EXPECT_EQ(c.update(s, true), RiError);
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[1].text, failed);
        EXPECT_EQ(db.scalar("SELECT DocumentName FROM " + table + " WHERE RecordID = 2"), "THEIRS");
        EXPECT_EQ(c.t->rec().trimmed(c.name), "MINE");
        EXPECT_EQ(ctx->transactionDepth(), 0);
        // Not from a form: the same result and message (only a changed row is told quietly).
        EXPECT_EQ(c.update(s, false), RiError);
        EXPECT_EQ(ui.messages.size(), 3u);

        // The watch is over: the next watched read and update of a row go through.
        readForChange(*c.t, c.primary, c.id, 1);
        c.t->rec().set(c.name, "AGAIN");
        EXPECT_EQ(c.update(s, true), RiWritten);
        EXPECT_EQ(db.scalar("SELECT DocumentName FROM " + table + " WHERE RecordID = 1"), "AGAIN");
        EXPECT_EQ(ui.messages.size(), 3u);
    }
}

TEST_F(GuardedWrites, AnUpdateWhileAnotherStationHoldsTheTableIsCancelledAfterTwoSeconds) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 1);
    test::OtherProgram other(db.path());
    other.holdWriteLock();
    dch.rec().set(DCH::OUTLAYAMOUNT, D("7.00"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(riUpdateDocumentCharges(s), RiError);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 1.5);
    EXPECT_LT(seconds, 4.0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Transaction Framing Error");
    EXPECT_EQ(ui.messages[0].text,
              "Error: (File Is Locked (32)) attempting to frame the Update transaction on DocumentCharges.  Update transaction cancelled.");
    other.release();
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges WHERE RecordID = 1"), "1.20");
    EXPECT_EQ(ctx->transactionDepth(), 0);
    // Once the other station is done, the same buffer is written.
    EXPECT_EQ(riUpdateDocumentCharges(s), RiWritten);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount FROM DocumentCharges WHERE RecordID = 1"), "7.00");
}

TEST_F(GuardedWrites, ADeleteWhileAnotherStationHoldsTheTableIsCancelled) {
    readForChange(dchf, DCHF::PK_DOCUMENTCHARGES, DCHF::RECORDID, 1);
    test::OtherProgram other(db.path());
    other.holdWriteLock();
    EXPECT_EQ(riDeleteDocumentChargesFees(s), RiError);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error: (File Is Locked (32)) attempting to frame the Delete transaction on DocumentChargesFees.  Delete transaction cancelled.");
    other.release();
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentChargesFees"), 1);
}

TEST_F(GuardedWrites, AnyOtherFailureIsAnUpdateErrorAndNothingIsWritten) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 2);
    dch.rec().set(DCH::OUTLAYAMT2, D("123456.00"));  // decimal 7.2
    EXPECT_EQ(riUpdateDocumentCharges(s), RiError);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Update Operation Error");
    EXPECT_EQ(ui.messages[0].text,
              "An error (The value 123456.00 does not fit the column DCH:OUTLAYAMT2 (decimal 7.2) (range)) was experienced when attempting to "
              "update a record from the file.  Probable Cause: DocumentCharges.");
    EXPECT_EQ(db.scalar("SELECT OutlayAmt2 FROM DocumentCharges WHERE RecordID = 2"), "");
    EXPECT_EQ(ctx->transactionDepth(), 0);

    // Taking the key of another row: duplicate key.
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 2);
    dch.rec().set(DCH::RECORDID, 1);
    EXPECT_EQ(riUpdateDocumentCharges(s), RiError);
    EXPECT_EQ(ui.messages.back().text,
              "An error (Creates Duplicate Key (40)) was experienced when attempting to update a record from the file.  Probable Cause: "
              "DocumentCharges.");
    EXPECT_EQ(db.column("SELECT DocumentName FROM DocumentCharges ORDER BY RecordID"), (std::vector<std::string>{"LETTER", "MEMO"}));
}

TEST_F(GuardedWrites, TheFeesTableIsGuardedTheSameWay) {
    readForChange(dchf, DCHF::PK_DOCUMENTCHARGES, DCHF::RECORDID, 1);
    db.exec("UPDATE DocumentChargesFees SET TaskChargeCode = 'T9'");
    dchf.rec().set(DCHF::TASKCHARGECODE, "T2");
    EXPECT_EQ(riUpdateDocumentChargesFees(s), RiChanged);
    EXPECT_EQ(dchf.rec().trimmed(DCHF::TASKCHARGECODE), "T9");
    dchf.rec().set(DCHF::TASKCHARGECODE, "T2");
    EXPECT_EQ(riUpdateDocumentChargesFees(s), RiWritten);
    EXPECT_EQ(db.scalar("SELECT TaskChargeCode FROM DocumentChargesFees"), "T2");

    dchf.rec().set(DCHF::RECORDID, int64_t{1} << 33);
    EXPECT_EQ(riUpdateDocumentChargesFees(s), RiError);
    EXPECT_NE(ui.messages.back().text.find("Probable Cause: DocumentChargesFees."), std::string::npos) << ui.messages.back().text;
}

TEST_F(GuardedWrites, DeleteRemovesTheRowInTheBuffer) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 2);
    EXPECT_EQ(riDeleteDocumentCharges(s), RiWritten);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.column("SELECT RecordID FROM DocumentCharges"), std::vector<std::string>{"1"});
    EXPECT_EQ(ctx->transactionDepth(), 0);

    readForChange(dchf, DCHF::PK_DOCUMENTCHARGES, DCHF::RECORDID, 1);
    EXPECT_EQ(riDeleteDocumentChargesFees(s), RiWritten);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentChargesFees"), 0);
}

TEST_F(GuardedWrites, ADeleteThatFailsIsReportedWithMessage17) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 2);
    db.exec("DELETE FROM DocumentCharges WHERE RecordID = 2");  // gone meanwhile
    EXPECT_EQ(riDeleteDocumentCharges(s), RiError);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Delete Operation Error");
    EXPECT_EQ(ui.messages[0].text,
              "An error (Record Not Found (35)) was experienced when attempting to delete a record from the file DocumentCharges.");
    EXPECT_EQ(ctx->transactionDepth(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges"), 1);
}

}  // namespace
}  // namespace mg

namespace mg {
namespace {

TEST_F(GuardedWrites, ADeleteRereadsTheRowSoAChangeByAnotherStationDoesNotStopIt) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 2);
    db.exec("UPDATE DocumentCharges SET OutlayAmount = '5.00' WHERE RecordID = 2");
    EXPECT_EQ(riDeleteDocumentCharges(s), RiWritten);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(db.count("SELECT count(*) FROM DocumentCharges WHERE RecordID = 2"), 0);
}

TEST_F(GuardedWrites, AReadWithoutAWatchEndsTheWatch) {
    readForChange(dch, DCH::PK_DOCUMENTCHARGES, DCH::RECORDID, 1);
    db.exec("UPDATE DocumentCharges SET NominalCode = '4300' WHERE RecordID = 1");
    // Read again without a watch: the buffer has the new values and the put is plain.
    dch.clear();
    dch.rec().set(DCH::RECORDID, 1);
    ASSERT_EQ(dch.get(DCH::PK_DOCUMENTCHARGES), 0);
    dch.rec().set(DCH::OUTLAYAMOUNT, D("8.00"));
    EXPECT_EQ(riUpdateDocumentCharges(s), RiWritten);
    EXPECT_EQ(db.scalar("SELECT OutlayAmount || '/' || NominalCode FROM DocumentCharges WHERE RecordID = 1"), "8.00/4300");
}

}  // namespace
}  // namespace mg
