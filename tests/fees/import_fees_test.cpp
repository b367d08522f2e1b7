// The fee import end to end on a seeded database: what it writes, column by column, what it
// shows, and how it walks through the waiting fees.

#include <fstream>

#include "data/passthrough.h"
#include "data/table.h"
#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

Row expectedEntry() {
    return Row{{"RECORDID", "1"},        {"MATTER", "M0001"},       {"FEEEARN", "ABC"},       {"DATE", "2024-03-15"},
               {"TIME", "1"},            {"RATE", "10.00"},         {"CHARGE", "10.00"},      {"CHARGED", "10.00"},
               {"UNITS", "0.00"},        {"TASK", "T01"},           {"TIMEORCHARGE", "C"},    {"STARTTIME", "0"},
               {"COMMENT", "Drafting a letter"}, {"NCCCODE", ""},  {"DOCKET", "0"},          {"TEAM", "T1"},
               {"TRACKREF", "5"},        {"REC_IRR", "C"},          {"PERIOD", "7"},          {"YEAR", "2024"},
               {"ACTIONID", "100"},      {"STAGECODE", "S1"},       {"LEAVE", ""},            {"POST", "Y"},
               {"STOPWATCHSTARTTIME", "<null>"}, {"STOPWATCHSTATUS", "0"}, {"MATTERLEVEL", ""}, {"FEERATE", "0.00"},
               {"CHARGEDMINS", "0"},     {"FEECOST", "0.00"},       {"TASKLEVEL", ""},        {"ENTRYDATE", "<null>"},
               {"MODIFYDATE", "<null>"}};
}

Row expectedLog() {
    return Row{{"RECORDID", "1"}, {"MATTER", "M0001"}, {"DATEIMPORTED", "2024-03-15"}, {"FE", "ABC"},
               {"CHARGE", "10.00"}, {"TASK", "T01"}, {"COMMENT", "Drafting a letter"}, {"TRACKREF", "5"}};
}

TEST_F(FeeImportTest, OneWaitingFeeIsEnteredLoggedAndMarked) {
    // Diary entry 100 has two attachments: the waiting letter and a document already done.
    waitingFee(100, 5, "M0001", "LETTER");
    attachment(100, 9, "M0001", "OTHER", 0);
    db.exec("INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (101, 3, 'M0001', 'LETTER', 1)");

    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(lastGlobalResponse, RequestCompleted);

    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0], expectedEntry());
    auto log = imported();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], expectedLog());

    // The mark covers every attachment of the diary entry, and no other.
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE DIARYID = 100 AND FEES = 1"), 2);
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE DIARYID = 101 AND FEES = 1"), 1);
    EXPECT_EQ(waiting(), 0);

    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Fees Import Complete!"});
    const ui::Message& end = ui.messages.back();
    EXPECT_EQ(end.caption, "");
    EXPECT_EQ(end.buttons, ui::ButtonOk);
    EXPECT_EQ(ui.clipboard, "Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 100 order by TrackReference");
}

TEST_F(FeeImportTest, ProgressWindowTextsAndPercentRiseToOneHundred) {
    for (int i = 0; i < 10; ++i) waitingFee(200 + i, 10 + i, "M0001", "LETTER");
    run();
    EXPECT_EQ(ui.captions, std::vector<std::string>{"Processing Records"});
    EXPECT_EQ(ui.userTexts, std::vector<std::string>{"Processing Fee Charges"});
    ASSERT_GE(ui.percentTexts.size(), 3u);
    EXPECT_EQ(ui.percentTexts.front(), "0% Completed");
    EXPECT_EQ(ui.percentTexts[1], " 10% Completed");  // right-aligned in three characters
    EXPECT_EQ(ui.percentTexts[ui.percentTexts.size() - 2], "100% Completed");
    EXPECT_EQ(ui.percentTexts.back(), "Process Completed");
    std::vector<int> expected{10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    EXPECT_EQ(ui.bars, expected);
}

TEST_F(FeeImportTest, NoWaitingFeesWritesNothingAndEndsCancelled) {
    attachment(100, 5, "M0001", "LETTER", 1);  // already imported
    auto ctx = db.context();
    ctx->globalRequest = SelectRecord;
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    ASSERT_TRUE(import.prepare());
    EXPECT_EQ(ctx->globalRequest, 0);
    EXPECT_EQ(ctx->globalResponse, 0);
    EXPECT_TRUE(ctx->table(TableId::DiaryAttFees).quickScan());
    import.opened();
    EXPECT_TRUE(import.ended());  // the window closes at once
    import.finish();
    EXPECT_EQ(import.response(), RequestCancelled);
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Fees Import Complete!"});
    EXPECT_EQ(ui.percentTexts, std::vector<std::string>{"0% Completed"});
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    // The tables are closed through their use counts.
    EXPECT_EQ(ctx->used(TableId::TimeDayBook), 0);
    EXPECT_FALSE(ctx->table(TableId::TimeDayBook).isOpen());
}

TEST_F(FeeImportTest, SecondRunAfterACompleteOneWritesNothing) {
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(101, 6, "M0001", "LETTER", "XYZ");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 2);
    ui = ui::ScriptedUserInterface{};
    EXPECT_EQ(run(), RequestCancelled);  // nothing was read
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 2);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 2);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Fees Import Complete!"});
}

TEST_F(FeeImportTest, DocumentWithoutMappingProducesNothingAndStaysWaiting) {
    waitingFee(100, 5, "M0001", "NOTMAPPED");
    waitingFee(101, 6, "M0001", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_TRUE(messagesBeforeEnd().empty());
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["ACTIONID"], "101");
    EXPECT_EQ(db.scalar("SELECT FEES FROM DiaryAttachments WHERE DIARYID = 100"), "0");
    EXPECT_EQ(waiting(), 1);
}

TEST_F(FeeImportTest, DocumentMappedToTwoTaskCodesGivesTwoEntriesAndOneMark) {
    mapping("LETTER", "T02");
    waitingFee(100, 5, "M0001", "LETTER");
    std::string trace = (db.folder() / "trace.sql").string();
    db::setTraceFile(trace);
    run();
    db::setTraceFile("");

    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 2u);
    EXPECT_EQ(tid[0]["TASK"], "T01");
    EXPECT_EQ(tid[0]["CHARGE"], "10.00");
    EXPECT_EQ(tid[0]["STAGECODE"], "S1");
    EXPECT_EQ(tid[0]["COMMENT"], "Drafting a letter");
    EXPECT_EQ(tid[1]["TASK"], "T02");
    EXPECT_EQ(tid[1]["CHARGE"], "11.00");
    EXPECT_EQ(tid[1]["STAGECODE"], "S2");
    EXPECT_EQ(tid[1]["COMMENT"], "Drafting a memo");
    EXPECT_EQ(tid[1]["RECORDID"], "2");  // numbered by the database, not the first entry's number again
    auto log = imported();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0]["TASK"], "T01");
    EXPECT_EQ(log[1]["TASK"], "T02");
    EXPECT_EQ(log[1]["CHARGE"], "11.00");

    std::ifstream in(trace);
    std::string line;
    int marks = 0, selects = 0;
    while (std::getline(in, line)) {
        if (line == "Update DiaryAttachments Set Fees = ? Where DiaryId = ?  -- 1, 100") ++marks;
        if (line == "Select DocumentName,TaskChargeCode,RecordID from DocumentChargesFees Where rtrim(DocumentName) COLLATE NOCASE = ?  "
                    "-- 'LETTER'")
            ++selects;
    }
    EXPECT_EQ(marks, 1);  // the diary entry is marked once, after all its entries
    EXPECT_EQ(selects, 1);
}

TEST_F(FeeImportTest, UnknownMatterShowsItsMessageAndWritesNothing) {
    waitingFee(100, 5, "MX999", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{"Matter Code Not found in the OPEN Matters....MX999      "});
    const ui::Message& m = ui.messages.front();
    EXPECT_EQ(m.caption, "");
    EXPECT_EQ(m.buttons, ui::ButtonOk);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    EXPECT_EQ(waiting(), 1);
    // The clipboard holds the statement of the last mapping row processed, known matter or not.
    EXPECT_EQ(ui.clipboard, "Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 100 order by TrackReference");
}

TEST_F(FeeImportTest, ClipboardHoldsTheLastMappingRowsStatement) {
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(300, 8, "M0001", "LETTER");
    attachment(300, 7, "M0001", "OTHER", 1);
    run();
    EXPECT_EQ(ui.clipboard, "Select Top 1  TrackReference from DiaryAttachments Where DiaryID = 300 order by TrackReference");
    // The lowest tracking reference of the diary entry.
    EXPECT_EQ(timeEntries("ACTIONID = 300")[0]["TRACKREF"], "7");
}

TEST_F(FeeImportTest, UnknownTaskCodeTakesTheMatrixDescription) {
    std::string description(100, 'd');
    description.replace(0, 12, "Court attend");
    matrix("AR1", "T09", description, "S9",
           {"1000.00", "99.00", "2000.00", "0.00", "3000.00", "0.00", "4000.00", "0.00", "5000.00", "0.00", "6000.00", "0.00"});
    mapping("COURT", "T09");
    waitingFee(100, 5, "M0001", "COURT");
    run();
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["COMMENT"], description);
    EXPECT_EQ(tid[0]["STAGECODE"], "S9");
    EXPECT_EQ(tid[0]["CHARGE"], "99.00");
    auto log = imported();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["COMMENT"], description);  // the first 100 characters: all of it
}

TEST_F(FeeImportTest, HandlersTeamAndFeeEarnerComeFromTheDiaryEntry) {
    waitingFee(100, 5, "M0001", "LETTER", "XYZ");
    run();
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["FEEEARN"], "XYZ");
    EXPECT_EQ(tid[0]["TEAM"], "T2");
    EXPECT_EQ(imported()[0]["FE"], "XYZ");
}

TEST_F(FeeImportTest, CyclesTakeAtMostAThousandUnitsOfRowSize) {
    for (int i = 0; i < 80; ++i) waitingFee(1000 + i, 10 + i, "M0001", "LETTER");
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    ASSERT_TRUE(import.prepare());
    // A waiting-fee row is 28 bytes: case code 11, diary id 4, name 10, fee earner 3.
    EXPECT_EQ(import.progress().total(), 80 * 28);
    import.opened();
    import.cycle();
    // 36 rows of 28 bytes pass 1000: 36 fees per timer event.
    EXPECT_EQ(import.timeEntriesAdded(), 36);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 36);
    EXPECT_FALSE(import.ended());
    import.cycle();
    EXPECT_EQ(import.timeEntriesAdded(), 72);
    import.cycle();
    EXPECT_EQ(import.timeEntriesAdded(), 80);
    EXPECT_TRUE(import.ended());
    import.finish();
    EXPECT_EQ(import.response(), RequestCompleted);
}

TEST_F(FeeImportTest, CancelAnsweredNoGoesOnAndYesStopsAfterTheCycle) {
    for (int i = 0; i < 80; ++i) waitingFee(1000 + i, 10 + i, "M0001", "LETTER");
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    ASSERT_TRUE(import.prepare());
    import.opened();
    import.cycle();
    ui.answers = {ui::ButtonNo};
    import.cancelPressed();
    ASSERT_EQ(ui.messages.size(), 1u);
    const ui::Message& question = ui.messages[0];
    EXPECT_EQ(question.text, "This Process is incomplete... | If you cancel now your RESULTS MAY BE INCORRECT!! || Do you still wish to Cancel?");
    EXPECT_EQ(question.caption, "Cancel Process");
    EXPECT_EQ(question.icon, ui::Icon::Question);
    EXPECT_EQ(question.buttons, ui::ButtonYes + ui::ButtonNo);
    EXPECT_EQ(question.defaultButton, ui::ButtonNo);
    EXPECT_FALSE(import.ended());
    import.cycle();  // the run goes on where it was
    EXPECT_EQ(import.timeEntriesAdded(), 72);

    ui.answers = {ui::ButtonYes};
    import.cancelPressed();
    EXPECT_TRUE(import.ended());
    import.finish();
    EXPECT_EQ(import.response(), RequestCancelled);
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
    EXPECT_EQ(ui.texts().back(), "Fees Import Complete!");
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 72);
    EXPECT_EQ(waiting(), 8);
    EXPECT_NE(ui.percentTexts.back(), "Process Completed");

    // The next run takes the rest.
    ui = ui::ScriptedUserInterface{};
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 80);
    EXPECT_EQ(db.count("SELECT count(DISTINCT ACTIONID) FROM TimeDayBook"), 80);
}

TEST_F(FeeImportTest, TablesAreOpenedThroughTheUseCountsInTheirOrder) {
    // A table the run may not create is reported, and the run does not start.
    db.exec("DROP TABLE Handlers");
    db.exec("DROP TABLE DocumentChargesFees");
    db.exec("DROP TABLE TasksCodes");
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    EXPECT_FALSE(import.prepare());
    ASSERT_EQ(ui.messages.size(), 1u);
    // dbo.DocumentChargesFees comes before dbo.Handlers in the opening order.
    EXPECT_EQ(ui.messages[0].text, "Error: (File Not Found (2)) creating dbo.DocumentChargesFees.  Press OK to end this application.");
    EXPECT_TRUE(ui.halted());
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
    for (TableId id : {TableId::Contacts, TableId::Control, TableId::DiaryAttFees}) EXPECT_EQ(ctx->used(id), 0);
    EXPECT_FALSE(ctx->table(TableId::Contacts).isOpen());
}

TEST_F(FeeImportTest, AMissingTableThatMayBeCreatedIsCreated) {
    db.exec("DROP TABLE TasksCodes");
    waitingFee(100, 5, "M0001", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'TasksCodes'"), 1);
    // Without task codes the comment is the matrix description.
    EXPECT_EQ(timeEntries()[0]["COMMENT"], "Letter fee per AR1");
}

TEST_F(FeeImportTest, TablesAlreadyOpenOnTheContextStayOpenAfterTheRun) {
    waitingFee(100, 5, "M0001", "LETTER");
    auto ctx = db.context();
    Session s{*ctx, ui};
    ASSERT_TRUE(checkOpen(s, TableId::Matters, true));
    ++ctx->used(TableId::Matters);
    FeeImport import(s, ui);
    EXPECT_EQ(ui::runWithoutWindow(import, nullptr), RequestCompleted);
    EXPECT_EQ(ctx->used(TableId::Matters), 1);
    EXPECT_TRUE(ctx->table(TableId::Matters).isOpen());
    EXPECT_FALSE(ctx->table(TableId::TimeDayBook).isOpen());
}

TEST_F(FeeImportTest, ViewThatCannotBeReadShowsViewOpenError) {
    // A view whose rows fail when they are read (the integer overflow happens at run time).
    db.exec("DROP VIEW DiaryAttFees");
    db.exec("CREATE VIEW DiaryAttFees AS SELECT 'M0001' AS CASECODE, abs(-9223372036854775807 - 1) AS DIARYID, "
            "'LETTER' AS NAME, 'ABC' AS FNCODE");
    EXPECT_EQ(run(), RequestCancelled);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].caption, "View Open Error");
    EXPECT_EQ(ui.messages[0].text.rfind("Error: (integer overflow", 0), 0u) << ui.messages[0].text;
    EXPECT_EQ(ui.messages[1].text, "Fees Import Complete!");
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
}

}  // namespace
}  // namespace mg::fees::test
