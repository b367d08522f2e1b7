// Opening a table through CHECKOPEN: a missing table is created or ends the program, a
// table without its declared columns or keys is reported (and its keys rebuilt when the
// user agrees), a locked table gets one more try, an open table is fine.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "maintenance/integrity.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg {
namespace {

class CheckOpen : public ::testing::Test {
protected:
    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;
    Session s{*ctx, ui};
    OpenWaits saved = openWaits();

    void SetUp() override { setOpenWaits({200, 40}); }  // Recover=10: 400 ms
    void TearDown() override { setOpenWaits(saved); }
};

TEST_F(CheckOpen, AMissingTableThatMayBeCreatedIsCreatedAndOpened) {
    db.exec("DROP TABLE Nominal");
    db.exec("DROP TABLE DiaryAttachments");
    EXPECT_TRUE(checkOpen(s, TableId::Nominal, true));
    EXPECT_TRUE(checkOpen(s, TableId::DiaryAttachments, mayCreate(TableId::DiaryAttachments)));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.halts.empty());
    EXPECT_TRUE(ctx->table(TableId::Nominal).isOpen());
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Nominal'"),
              static_cast<long long>(decl(TableId::Nominal).keys.size()));
    // and it is usable at once
    Table& t = ctx->table(TableId::Nominal);
    t.rec().set(NOM::CODE, "4100");
    EXPECT_EQ(t.add(), 0);
}

TEST_F(CheckOpen, AMissingTableThatMayNotBeCreatedEndsTheProgram) {
    db.exec("DROP TABLE DocumentCharges");
    EXPECT_FALSE(checkOpen(s, TableId::DocumentCharges, mayCreate(TableId::DocumentCharges)));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "File Creation Error");
    EXPECT_EQ(ui.messages[0].text, "Error: (File Not Found (2)) creating dbo.DocumentCharges.  Press OK to end this application.");
    EXPECT_EQ(ui.messages[0].icon, ui::Icon::Warning);
    EXPECT_EQ(ui.halts, std::vector<std::string>{"File Creation Error!"});
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'DocumentCharges'"), 0);
    for (TableId id : {TableId::DocumentCharges, TableId::DocumentChargesFees, TableId::DiaryAttFees, TableId::FeesImported, TableId::Handlers})
        EXPECT_FALSE(mayCreate(id));
    for (TableId id : {TableId::Control, TableId::BatchH, TableId::Nominal, TableId::SQLResult, TableId::ChargingMatrix})
        EXPECT_TRUE(mayCreate(id));
}

TEST_F(CheckOpen, ACreateThatFailsEndsTheProgramAndLeavesNoHalfMadeTable) {
    db.exec("DROP TABLE Nominal");
    db.exec("CREATE INDEX Nominal_NOMTY ON BatchH (CODE)");  // the name of one of Nominal's keys
    EXPECT_FALSE(checkOpen(s, TableId::Nominal, true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Error: (index Nominal_NOMTY already exists (1)) creating dbo.Nominal.  Press OK to end this application.");
    EXPECT_EQ(ui.halts, std::vector<std::string>{"File Creation Error!"});
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'Nominal'"), 0);
    EXPECT_EQ(ctx->transactionDepth(), 0);
}

TEST_F(CheckOpen, ATableWithoutADeclaredColumnIsAnInvalidFile) {
    db.exec("ALTER TABLE OutlayCode DROP COLUMN DESCRIPTION");
    EXPECT_FALSE(checkOpen(s, TableId::OutlayCode, true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Invalid File");
    EXPECT_EQ(ui.messages[0].text,
              "Error: (Invalid File Declaration: OutlayCode has no column DESCRIPTION (47)) accessing dbo.OutlayCode.  Press OK to end this "
              "application.");
    EXPECT_EQ(ui.halts, std::vector<std::string>{"Invalid File!"});
    EXPECT_FALSE(ctx->table(TableId::OutlayCode).isOpen());
}

// A damaged table is judged by its columns before its keys: a table that lacks a column a
// missing key uses is an invalid file, and no repair makes an index over a column that is
// not there (where SQLite would take the quoted name for a text and index a constant).
TEST_F(CheckOpen, AMissingColumnIsReportedBeforeAMissingKeyAndNeverIndexed) {
    struct Case {
        const char* what;
        TableId table;
        const char* damage;  // statements run by another program
        const char* column;  // the column it no longer has
    };
    const Case cases[] = {
        {"the column of a one-column key", TableId::Handlers, "DROP INDEX Handlers_KEYLOGON; ALTER TABLE Handlers DROP COLUMN LOGON",
         "LOGON"},
        {"the second column of a key", TableId::DocumentChargesFees,
         "DROP INDEX DocumentChargesFees_KEYDOCUMENTNAME; DROP INDEX DocumentChargesFees_KEYTASK; "
         "ALTER TABLE DocumentChargesFees DROP COLUMN TASKCHARGECODE",
         "TASKCHARGECODE"},
        {"a numeric key column", TableId::BatchH, "DROP INDEX BatchH_BRECON; ALTER TABLE BatchH DROP COLUMN RECNO", "RECNO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        db.exec(c.damage);
        const std::string indexes = "SELECT count(*) FROM sqlite_master WHERE type = 'index'";
        const long long before = db.count(indexes);
        ui.messages.clear();
        ui.halts.clear();
        ui.answers = {ui::ButtonYes, ui::ButtonYes};  // were the keys offered for a rebuild
        EXPECT_FALSE(checkOpen(s, c.table, true));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].caption, "Invalid File");
        EXPECT_NE(ui.messages[0].text.find(std::string("has no column ") + c.column + " (47)"), std::string::npos) << ui.messages[0].text;
        EXPECT_EQ(ui.halts, std::vector<std::string>{"Invalid File!"});
        // Asked directly, a rebuild refuses too.
        EXPECT_EQ(ctx->table(c.table).buildKeys(), BadFileErr);
        EXPECT_EQ(db.count(indexes), before);
        EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql LIKE '%" + std::string(c.column) + "%'"), 0);
    }
    // On the program's connections a double-quoted name is a name, never a text.
    Table& r = ctx->table(TableId::SQLResult);
    ASSERT_EQ(r.open(), 0);
    EXPECT_EQ(r.setSql("Select \"LOGON\" from Handlers"), FileSystemErr);
    EXPECT_NE(ctx->fileError().find("no such column"), std::string::npos) << ctx->fileError();
}

TEST_F(CheckOpen, AMissingKeyIsRebuiltWhenTheUserSaysYes) {
    db.exec("DROP INDEX DocumentCharges_KEYNOMINALCODE");
    ui.answers = {ui::ButtonYes};
    EXPECT_TRUE(checkOpen(s, TableId::DocumentCharges, false));
    ASSERT_EQ(ui.messages.size(), 1u);
    const ui::Message& m = ui.messages[0];
    EXPECT_EQ(m.caption, "Invalid Key");
    EXPECT_EQ(m.text, "dbo.DocumentCharges key file is invalid.  Do you want to rebuild the key?");
    EXPECT_EQ(m.icon, ui::Icon::Question);
    EXPECT_EQ(m.buttons, ui::ButtonYes + ui::ButtonNo);
    EXPECT_EQ(m.defaultButton, ui::ButtonYes);
    EXPECT_TRUE(ui.halts.empty());
    EXPECT_TRUE(ctx->table(TableId::DocumentCharges).isOpen());
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'DocumentCharges_KEYNOMINALCODE'"), 1);
}

TEST_F(CheckOpen, AMissingKeyEndsTheProgramWhenTheUserSaysNo) {
    db.exec("DROP INDEX \"Documents.DocKey\"");
    ui.answers = {ui::ButtonNo};
    EXPECT_FALSE(checkOpen(s, TableId::TemplateDocuments, true));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "dbo.TemplateDocuments key file is invalid.  Do you want to rebuild the key?");
    EXPECT_EQ(ui.halts, std::vector<std::string>{"Invalid Key!"});
    EXPECT_FALSE(ctx->table(TableId::TemplateDocuments).isOpen());
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'Documents.DocKey'"), 0);
}

TEST_F(CheckOpen, AKeyThatCannotBeRebuiltEndsTheProgram) {
    db.exec("DROP INDEX BatchH_BATCHH");
    db.exec("INSERT INTO BatchH (BatchNo) VALUES (5), (5)");  // the unique key cannot be made
    ui.answers = {ui::ButtonYes};
    EXPECT_FALSE(checkOpen(s, TableId::BatchH, true));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].caption, "Key Rebuild Error");
    EXPECT_EQ(ui.messages[1].text,
              "Error: (Creates Duplicate Key (40)) repairing key for dbo.BatchH.  Press OK to end this application.");
    EXPECT_EQ(ui.halts, std::vector<std::string>{"Error Rebuilding Key!"});
}

TEST_F(CheckOpen, AnOpenTableCountsAsOpened) {
    ASSERT_TRUE(checkOpen(s, TableId::BatchH, true));
    EXPECT_TRUE(checkOpen(s, TableId::BatchH, true));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CheckOpen, ALockedTableGetsOneMoreOpenAndIsOpenedWhenTheLockGoes) {
    db.useRollbackJournal();
    test::OtherProgram other(db.path());
    other.holdExclusive();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // after the first open gave up
        other.release();
    });
    auto start = std::chrono::steady_clock::now();
    bool opened = checkOpen(s, TableId::BatchH, true);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    releaser.join();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.halts.empty());
    EXPECT_LT(seconds, 2.0);
}

TEST_F(CheckOpen, ATableStillLockedAfterTheSecondOpenEndsTheProgramWithDiskError) {
    db.useRollbackJournal();
    test::OtherProgram other(db.path());
    other.holdExclusive();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(checkOpen(s, TableId::BatchH, true));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "File Access Error");
    EXPECT_EQ(ui.messages[0].text, "File (dbo.BatchH) could not be opened.  Error: File Is Locked (32).");
    EXPECT_EQ(ui.halts, std::vector<std::string>{"Disk Error"});
    // the first open's wait and the recovery wait of Recover=10
    EXPECT_GE(seconds, 0.55);
    EXPECT_LT(seconds, 3.0);
    other.release();
    // A later open on the same context works, and without the recovery wait.
    ui::ScriptedUserInterface ui2;
    EXPECT_TRUE(checkOpen(Session{*ctx, ui2}, TableId::BatchH, true));
}

TEST_F(CheckOpen, AContextStartedWhileTheDatabaseIsLockedDoesNotHangAndReportsTheLock) {
    db.useRollbackJournal();
    test::OtherProgram other(db.path());
    other.holdExclusive();
    auto start = std::chrono::steady_clock::now();
    auto late = db.context();
    ui::ScriptedUserInterface ui2;
    EXPECT_FALSE(checkOpen(Session{*late, ui2}, TableId::Control, true));
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 3.0);
    ASSERT_EQ(ui2.messages.size(), 1u);
    EXPECT_EQ(ui2.messages[0].text, "File (dbo.control) could not be opened.  Error: File Is Locked (32).");
}

TEST_F(CheckOpen, TableUseOpensOnFirstUseAndClosesAfterTheLast) {
    {
        TableUse outer(s, {TableId::BatchH, TableId::DocumentCharges});
        ASSERT_TRUE(outer.ok());
        EXPECT_EQ(ctx->used(TableId::BatchH), 1);
        {
            TableUse inner(s, {TableId::DocumentCharges});
            EXPECT_EQ(ctx->used(TableId::DocumentCharges), 2);
        }
        EXPECT_TRUE(ctx->table(TableId::DocumentCharges).isOpen());
        EXPECT_EQ(ctx->used(TableId::DocumentCharges), 1);
    }
    EXPECT_FALSE(ctx->table(TableId::DocumentCharges).isOpen());
    EXPECT_FALSE(ctx->table(TableId::BatchH).isOpen());
    EXPECT_EQ(ctx->used(TableId::BatchH), 0);

    // A table that cannot be opened stops the procedure; those opened before are closed.
    db.exec("DROP TABLE FeesImported");
    {
        TableUse use(s, {TableId::BatchH, TableId::FeesImported, TableId::Nominal});
        EXPECT_FALSE(use.ok());
        EXPECT_EQ(ctx->used(TableId::Nominal), 0);
        EXPECT_FALSE(ctx->table(TableId::Nominal).isOpen());
    }
    EXPECT_EQ(ctx->used(TableId::BatchH), 0);
    EXPECT_FALSE(ctx->table(TableId::BatchH).isOpen());
    EXPECT_EQ(ui.halts, std::vector<std::string>{"File Creation Error!"});
}

}  // namespace
}  // namespace mg
