// The standard warnings: every message with its exact title, text, icon, buttons and
// default; the error text they show (the saved error first, the database's own text for
// a driver error); and the ones that end the program.

#include <gtest/gtest.h>

#include "maintenance/integrity.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg {
namespace {

using ui::ButtonCancel;
using ui::ButtonNo;
using ui::ButtonOk;
using ui::ButtonYes;
using ui::Icon;

struct Expected {
    int id;
    const char* title;
    const char* text;
    Icon icon;
    int buttons;
    int defaultButton;
    const char* halt;  // when the default button is pressed
};

// {err} is "Record Not Found (35)", {1} "ONE" and {2} "TWO" below.
const Expected kAll[] = {
    {1, "Invalid File", "Error: (Record Not Found (35)) accessing ONE.  Press OK to end this application.", Icon::Warning, ButtonOk, ButtonOk,
     "Invalid File!"},
    {2, "Invalid Key", "ONE key file is invalid.  Do you want to rebuild the key?", Icon::Question, ButtonYes + ButtonNo, ButtonYes, nullptr},
    {3, "Key Rebuild Error", "Error: (Record Not Found (35)) repairing key for ONE.  Press OK to end this application.", Icon::Warning,
     ButtonOk, ButtonOk, "Error Rebuilding Key!"},
    {4, "File Creation Error", "Error: (Record Not Found (35)) creating ONE.  Press OK to end this application.", Icon::Warning, ButtonOk,
     ButtonOk, "File Creation Error!"},
    {5, "File Creation Error", "Error: (Record Not Found (35)) opening created file:ONE.  Press OK to end this application.", Icon::Warning,
     ButtonOk, ButtonOk, "File Creation Error!"},
    {14, "Record Insert Error", "An error was experienced during the update of record.  Error: Record Not Found (35).", Icon::Warning, ButtonOk,
     ButtonOk, nullptr},
    {15, "Update Operation Error",
     "An error (Record Not Found (35)) was experienced when attempting to update a record from the file.  Probable Cause: ONE.", Icon::Warning,
     ButtonOk, ButtonOk, nullptr},
    {16, "Record Update Error", "An error was experienced changing this record.  Do you want to try to save again?", Icon::Warning,
     ButtonYes + ButtonNo + ButtonCancel, ButtonCancel, nullptr},
    {17, "Delete Operation Error", "An error (Record Not Found (35)) was experienced when attempting to delete a record from the file ONE.",
     Icon::Warning, ButtonOk, ButtonOk, nullptr},
    {18, "Record Update Error", "An error was experienced deleting this record.  Do you want to try to save again?", Icon::Warning,
     ButtonYes + ButtonNo + ButtonCancel, ButtonCancel, nullptr},
    {23, "Update Cancelled", "Are you sure you want to cancel?", Icon::Question, ButtonYes + ButtonNo, ButtonNo, nullptr},
    {24, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key:ONE", Icon::Warning, ButtonOk, ButtonOk, nullptr},
    {30, "File Access Error", "File (ONE) could not be opened.  Error: Record Not Found (35).", Icon::Warning, ButtonOk, ButtonOk, nullptr},
    {32, "Confirm Delete", "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.", Icon::Question,
     ButtonOk + ButtonCancel, ButtonCancel, nullptr},
    {34, "Transaction Framing Error",
     "Error: (Record Not Found (35)) attempting to frame the ONE transaction on TWO.  ONE transaction cancelled.", Icon::Warning, ButtonOk,
     ButtonOk, nullptr},
    {35, "Record Retrieval Error",
     "Error: (Record Not Found (35)) attempting to access a record from the ONE file.  Returning to previous window.", Icon::Warning, ButtonOk,
     ButtonOk, nullptr},
    {36, "View Open Error", "Error: (Record Not Found (35)) attempting to open the current VIEW. Filter and Range Limits ignored.", Icon::Warning,
     ButtonOk, ButtonOk, nullptr},
    {38, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' to recall your changes.",
     Icon::Warning, ButtonOk, ButtonOk, nullptr},
};

class Warnings : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};
};

TEST_F(Warnings, EveryMessageHasItsTitleTextIconButtonsAndDefault) {
    for (const Expected& e : kAll) {
        SCOPED_TRACE(e.id);
        ui::ScriptedUserInterface fresh;
        ctx->setError(Error::of(NoRecErr));
        int button = standardWarning(Session{*ctx, fresh}, e.id, "ONE   ", "TWO ");
        ASSERT_EQ(fresh.messages.size(), 1u);
        const ui::Message& m = fresh.messages[0];
        EXPECT_EQ(m.caption, e.title);
        EXPECT_EQ(m.text, e.text);
        EXPECT_EQ(m.icon, e.icon);
        EXPECT_EQ(m.buttons, e.buttons);
        EXPECT_EQ(m.defaultButton, e.defaultButton);
        EXPECT_EQ(button, e.defaultButton);
        if (e.halt) {
            EXPECT_EQ(fresh.halts, std::vector<std::string>{e.halt});
        } else {
            EXPECT_TRUE(fresh.halts.empty());
        }
    }
}

TEST_F(Warnings, InvalidKeyEndsTheProgramOnlyWhenNoIsPressed) {
    ui.answers = {ButtonYes};
    EXPECT_EQ(standardWarning(s, WarnInvalidKey, "dbo.BatchH"), ButtonYes);
    EXPECT_TRUE(ui.halts.empty());
    ui.answers = {ButtonNo};
    EXPECT_EQ(standardWarning(s, WarnInvalidKey, "dbo.BatchH"), ButtonNo);
    EXPECT_EQ(ui.halts, std::vector<std::string>{"Invalid Key!"});
    // The other questions just return the button.
    ui.answers = {ButtonYes, ButtonOk};
    EXPECT_EQ(standardWarning(s, WarnConfirmCancel), ButtonYes);
    EXPECT_EQ(standardWarning(s, WarnConfirmDelete), ButtonOk);
    EXPECT_EQ(ui.halts.size(), 1u);
}

TEST_F(Warnings, ADriverErrorShowsTheDatabasesOwnTextAndCode) {
    Table& t = ctx->table(TableId::SQLResult);
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(t.setSql("Select x from NoSuchTable"), FileSystemErr);
    standardWarning(s, WarnUpdateError, "DocumentCharges");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "An error (no such table: NoSuchTable (1)) was experienced when attempting to update a record from the file.  Probable Cause: "
              "DocumentCharges.");
}

TEST_F(Warnings, TheSavedErrorIsShownEvenAfterLaterSuccessThenTheCurrentOneAgain) {
    Table& t = ctx->table(TableId::BatchH);
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(ctx->begin(2), 0);
    t.rec().set(BAH::BATCHNO, 1);
    ASSERT_EQ(t.add(), 0);
    t.clear();
    t.rec().set(BAH::BATCHNO, 1);
    ASSERT_EQ(t.add(), DupKeyErr);
    riSaveError(*ctx);
    EXPECT_EQ(ctx->transactionDepth(), 0);  // rolled back
    EXPECT_EQ(db.count("SELECT count(*) FROM BatchH"), 0);
    EXPECT_EQ(ctx->saved.code, DupKeyErr);

    // Later operations succeed ...
    t.rec().set(BAH::BATCHNO, 2);
    ASSERT_EQ(t.add(), 0);
    ASSERT_EQ(ctx->errorCode(), 0);
    // ... and the warning still tells the saved error, once.
    standardWarning(s, WarnInsertError);
    EXPECT_EQ(ui.messages.back().text, "An error was experienced during the update of record.  Error: Creates Duplicate Key (40).");
    EXPECT_EQ(ctx->saved.code, 0);
    ctx->setError(Error::of(NotFoundErr));
    standardWarning(s, WarnInsertError);
    EXPECT_EQ(ui.messages.back().text, "An error was experienced during the update of record.  Error: Record Not Available (33).");
}

TEST_F(Warnings, ASavedDriverErrorShowsTheDatabasesTextAndCode) {
    Table& t = ctx->table(TableId::SQLResultD);
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(t.setSql("Selec 1"), FileSystemErr);
    riSaveError(*ctx);
    ASSERT_EQ(t.setSql("Select 1"), 0);
    standardWarning(s, WarnRecordFetchError, "SQLResultD");
    EXPECT_EQ(ui.messages.back().text,
              "Error: (near \"Selec\": syntax error (1)) attempting to access a record from the SQLResultD file.  Returning to previous window.");
}

TEST_F(Warnings, TheErrorTextIsCutTo150Characters) {
    ctx->setError(Error::driver("7", std::string(200, 'x')));
    EXPECT_EQ(warningErrorText(*ctx).size(), 150u);
    standardWarning(s, WarnInsertError);
    EXPECT_EQ(ui.messages.back().text, "An error was experienced during the update of record.  Error: " + std::string(150, 'x') + ".");
}

TEST_F(Warnings, AValueHoldingAPlaceholderIsShownAsItIs) {
    ctx->setError(Error::of(NoRecErr));
    standardWarning(s, WarnTransactionError, "{2}", "{1}");
    EXPECT_EQ(ui.messages.back().text,
              "Error: (Record Not Found (35)) attempting to frame the {2} transaction on {1}.  {2} transaction cancelled.");
}

}  // namespace
}  // namespace mg
