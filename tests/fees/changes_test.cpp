// Where the fee import differs from how it first worked: quotes doubled in statements, no
// stale buffer pricing a fee, the waiting fees taken as they stand at the start, and each
// diary entry (all its waiting documents and the mark) written in one transaction.

#include <sqlite3.h>

#include <fstream>

#include "data/passthrough.h"
#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

std::vector<std::string> traceLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Whether another station could take the database's write lock right now.
bool writeLockFree(const mg::test::TempDatabase& db) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.path().c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
    sqlite3_busy_timeout(h, 0);
    bool free = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (free) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    return free;
}

// ---- quotes ----------------------------------------------------------------------------------

TEST_F(FeeImportTest, DocumentNameWithAQuoteIsMappedAndEntered) {
    mapping("O'NEIL", "T02");
    waitingFee(100, 5, "M0001", "O'NEIL");
    std::string trace = (db.folder() / "trace.sql").string();
    db::setTraceFile(trace);
    EXPECT_EQ(run(), RequestCompleted);
    db::setTraceFile("");
    EXPECT_TRUE(messagesBeforeEnd().empty());
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["TASK"], "T02");
    EXPECT_EQ(waiting(), 0);
    auto lines = traceLines(trace);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Select DocumentName,TaskChargeCode,RecordID from DocumentChargesFees Where rtrim(DocumentName) COLLATE NOCASE = ?  "
                        "-- 'O''NEIL'"),
              lines.end());
}

TEST_F(FeeImportTest, ANameCannotWidenTheMappingSelect) {
    // Unquoted, this name would turn the select into "... = '' OR ''=''" and map to every row.
    waitingFee(100, 5, "M0001", "' OR ''='");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_TRUE(messagesBeforeEnd().empty());
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(waiting(), 1);
}

// ---- no stale buffer -------------------------------------------------------------------------

TEST_F(FeeImportTest, MissingMatrixRowPricesAsNoBandWithBlankDescriptionAndStage) {
    // The first fee reads a matrix row; the second has none (arrangement AR9, code T77 unknown
    // as a task too), so nothing of the first row may price or describe it.
    matter("M0009", "AR9", "C01", "500.00", "0.00", "0.00");
    mapping("SUMMONS", "T77");
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "M0009", "SUMMONS");
    EXPECT_EQ(run(), RequestCompleted);
    auto tid = timeEntries("ACTIONID = 200");
    ASSERT_EQ(tid.size(), 1u);
    EXPECT_EQ(tid[0]["RATE"], "1.11");
    EXPECT_EQ(tid[0]["CHARGE"], "1.11");
    EXPECT_EQ(tid[0]["CHARGED"], "1.11");
    EXPECT_EQ(tid[0]["STAGECODE"], "");
    EXPECT_EQ(tid[0]["COMMENT"], "");
    EXPECT_EQ(imported("TRACKREF = 6")[0]["COMMENT"], "");
}

TEST_F(FeeImportTest, MissingMatrixRowWithDebtZeroIsStillNoBand) {
    // An empty matrix buffer has every limit 0, which a debt of 0 would meet in band 1.
    matter("M0009", "AR9", "C01", "0.00", "0.00", "0.00");
    waitingFee(200, 6, "M0009", "LETTER");
    run();
    EXPECT_EQ(timeEntries()[0]["CHARGE"], "1.11");
}

TEST_F(FeeImportTest, MissingClientDoesNotLendThePreviousClientsArrangement) {
    client("C02", "AR2");
    matter("M0002", "", "C02", "500.00", "0.00", "0.00");
    matter("M0003", "", "GONE", "500.00", "0.00", "0.00");
    waitingFee(100, 5, "M0002", "LETTER");
    waitingFee(200, 6, "M0003", "LETTER");
    run();
    EXPECT_EQ(timeEntries("ACTIONID = 100")[0]["CHARGE"], "12.00");
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{"Matter M0003       has no Charge Type. It MUST for fees.."});
    EXPECT_EQ(timeEntries("ACTIONID = 200")[0]["CHARGE"], "1.11");
}

TEST_F(FeeImportTest, MissingHandlerGivesABlankTeam) {
    waitingFee(100, 5, "M0001", "LETTER", "ABC");
    waitingFee(200, 6, "M0001", "LETTER", "QQQ");
    run();
    EXPECT_EQ(timeEntries("ACTIONID = 100")[0]["TEAM"], "T1");
    EXPECT_EQ(timeEntries("ACTIONID = 200")[0]["TEAM"], "");
    EXPECT_EQ(timeEntries("ACTIONID = 200")[0]["FEEEARN"], "QQQ");
}

TEST_F(FeeImportTest, TrackingReferenceSelectWithoutARowGivesZero) {
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "MX999", "LETTER");  // unknown matter: its message comes before the third fee
    waitingFee(300, 7, "M0001", "LETTER");
    // While the second fee's message is open, another station removes the third fee's
    // attachments: the run still holds the fee, but its diary entry has no attachment left.
    ui.onMessage = [&](const ui::Message& m) {
        if (m.text.rfind("Matter Code Not found", 0) == 0) db.exec("DELETE FROM DiaryAttachments WHERE DIARYID = 300");
    };
    run();
    EXPECT_EQ(timeEntries("ACTIONID = 100")[0]["TRACKREF"], "5");
    auto third = timeEntries("ACTIONID = 300");
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0]["TRACKREF"], "0");
    EXPECT_EQ(imported("MATTER = 'M0001' AND RECORDID = 2")[0]["TRACKREF"], "0");
}

TEST_F(FeeImportTest, UnreadableControlRowGivesPeriodAndYearZeroWithOneMessage) {
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "MX999", "LETTER");
    waitingFee(300, 7, "M0001", "LETTER");
    waitingFee(400, 8, "M0001", "LETTER");
    ui.onMessage = [&](const ui::Message& m) {
        if (m.text.rfind("Matter Code Not found", 0) == 0) db.exec("DELETE FROM control");
    };
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(timeEntries("ACTIONID = 100")[0]["PERIOD"], "7");
    EXPECT_EQ(timeEntries("ACTIONID = 100")[0]["YEAR"], "2024");
    for (const char* id : {"300", "400"}) {
        auto r = timeEntries(std::string("ACTIONID = ") + id);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0]["PERIOD"], "0");
        EXPECT_EQ(r[0]["YEAR"], "0");
    }
    std::vector<std::string> expected{"Matter Code Not found in the OPEN Matters....MX999      ",
                                      "Control Record Not Found. The fees of this run are entered with Period 0 and Year 0."};
    EXPECT_EQ(messagesBeforeEnd(), expected);
}

// ---- the waiting fees as they stand at the start ---------------------------------------------

TEST_F(FeeImportTest, MarkingADiaryEntryDoesNotHideItsOtherWaitingDocuments) {
    mapping("MEMO", "T02");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    attachment(100, 6, "M0001", "MEMO");
    EXPECT_EQ(run(), RequestCompleted);
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 2u);
    EXPECT_EQ(tid[0]["TASK"], "T01");
    EXPECT_EQ(tid[1]["TASK"], "T02");
    // Both carry the diary entry's lowest tracking reference.
    EXPECT_EQ(tid[0]["TRACKREF"], "5");
    EXPECT_EQ(tid[1]["TRACKREF"], "5");
    EXPECT_EQ(imported().size(), 2u);
    EXPECT_EQ(waiting(), 0);
}

TEST_F(FeeImportTest, FeesThatArriveDuringTheRunWaitForTheNextOne) {
    waitingFee(100, 5, "MX999", "LETTER");
    waitingFee(200, 6, "M0001", "LETTER");
    ui.onMessage = [&](const ui::Message& m) {
        if (m.text.rfind("Matter Code Not found", 0) == 0) waitingFee(300, 7, "M0001", "LETTER");
    };
    run();
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 1);
    EXPECT_EQ(waiting(), 2);  // the unknown matter's fee and the new one
    ui = ui::ScriptedUserInterface{};
    run();
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 300"), 1);
}

TEST_F(FeeImportTest, CancelCannotSplitTheDocumentsOfOneDiaryEntry) {
    // The mark covers the whole diary entry, so its documents are one unit: a Cancel after
    // the cycle that reaches the entry's first document finds the second entered as well,
    // although its list row lies far beyond that cycle and was never read by it.
    mapping("MEMO", "T02");
    for (int i = 0; i < 35; ++i) waitingFee(1000 + i, 10 + i, "M0001", "LETTER");
    diary(500, "M0001", "ABC");
    attachment(500, 100, "M0001", "LETTER");  // the 36th fee: the last of the first cycle
    for (int i = 0; i < 20; ++i) waitingFee(2000 + i, 200 + i, "M0001", "LETTER");
    attachment(500, 101, "M0001", "MEMO");  // the last fee of the list
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    ASSERT_TRUE(import.prepare());
    import.opened();
    import.cycle();
    EXPECT_EQ(import.waitingFeesRead(), 37);  // the cycle ends on reading the 37th
    ui.answers = {ui::ButtonYes};
    import.cancelPressed();
    import.finish();
    EXPECT_EQ(import.feesEntered(), 37);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 500 AND TASK = 'T01'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 500 AND TASK = 'T02'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported WHERE TRACKREF = 100"), 2);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID >= 2000"), 0);
    EXPECT_EQ(waiting(), 20);  // only the single-document entries after the cut

    // The next run enters the rest, and the memo's list row is not entered again.
    ui = ui::ScriptedUserInterface{};
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(waiting(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 57);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 500"), 2);
}

TEST_F(FeeImportTest, LaterListRowsOfAnEntryAreNotEnteredAgain) {
    // Three documents of one entry, apart in the list: each fee once, all in the first unit.
    mapping("MEMO", "T02");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "M0001", "LETTER");
    attachment(100, 7, "M0001", "MEMO");
    attachment(100, 8, "M0001", "LETTER");
    auto ctx = db.context();
    Session s{*ctx, ui};
    FeeImport import(s, ui);
    EXPECT_EQ(ui::runWithoutWindow(import, nullptr), RequestCompleted);
    EXPECT_EQ(import.waitingFeesRead(), 4);  // every list row is read, the handled ones too
    EXPECT_EQ(import.feesEntered(), 4);
    EXPECT_EQ(import.timeEntriesAdded(), 4);
    auto tid = timeEntries();
    ASSERT_EQ(tid.size(), 4u);
    // The entry's documents in list order, before the next entry.
    std::vector<std::string> order;
    for (auto& r : tid) order.push_back(r["ACTIONID"] + "/" + r["TASK"]);
    EXPECT_EQ(order, (std::vector<std::string>{"100/T01", "100/T02", "100/T01", "200/T01"}));
    EXPECT_EQ(imported().size(), 4u);
    EXPECT_EQ(waiting(), 0);
}

// ---- one transaction per diary entry ---------------------------------------------------------

TEST_F(FeeImportTest, FailedWriteInTheSecondDocumentRollsTheWholeEntryBack) {
    mapping("MEMO", "T02");
    db.exec("CREATE TRIGGER no_memos BEFORE INSERT ON TimeDayBook WHEN NEW.TASK = 'T02' "
            "BEGIN SELECT RAISE(ABORT, 'no memo fees'); END");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    attachment(100, 6, "M0001", "MEMO");
    waitingFee(200, 7, "M0001", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{"no memo fees, Error Adding Fees For Matter M0001      , DiaryID: 100"});
    // The letter's entry and log row went with the memo's failure; neither document is marked.
    EXPECT_EQ(timeEntries("ACTIONID = 100").size(), 0u);
    EXPECT_EQ(imported("TRACKREF = 5").size(), 0u);
    EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE DIARYID = 100 AND FEES = 0"), 2);
    EXPECT_EQ(waiting(), 2);
    // The run went on to the next entry.
    EXPECT_EQ(timeEntries("ACTIONID = 200").size(), 1u);

    // Once the cause is gone, the next run enters each of the two once.
    db.exec("DROP TRIGGER no_memos");
    ui = ui::ScriptedUserInterface{};
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100 AND TASK = 'T01'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100 AND TASK = 'T02'"), 1);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 3);
    EXPECT_EQ(waiting(), 0);
}

TEST_F(FeeImportTest, FailedMarkRollsEveryDocumentOfTheEntryBack) {
    mapping("MEMO", "T02");
    db.exec("CREATE TRIGGER no_mark BEFORE UPDATE OF FEES ON DiaryAttachments WHEN OLD.DIARYID = 100 "
            "BEGIN SELECT RAISE(ABORT, 'attachment locked'); END");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    attachment(100, 6, "M0001", "MEMO");
    run();
    EXPECT_EQ(messagesBeforeEnd(),
              std::vector<std::string>{"attachment locked, Error Adding Fees For Matter M0001      , DiaryID: 100"});
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    EXPECT_EQ(waiting(), 2);
}

TEST_F(FeeImportTest, FailedAddShowsItsMessageAndTheRunGoesOn) {
    db.exec("CREATE TRIGGER no_entries BEFORE INSERT ON TimeDayBook WHEN NEW.ACTIONID = 100 "
            "BEGIN SELECT RAISE(ABORT, 'Time day book closed for diary 100'); END");
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "M0001", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(),
              std::vector<std::string>{"Time day book closed for diary 100, Error Adding Fees For Matter M0001      , DiaryID: 100"});
    EXPECT_EQ(ui.messages.front().caption, "");
    EXPECT_EQ(timeEntries("ACTIONID = 100").size(), 0u);
    EXPECT_EQ(timeEntries("ACTIONID = 200").size(), 1u);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 1);
    EXPECT_EQ(db.scalar("SELECT FEES FROM DiaryAttachments WHERE DIARYID = 100"), "0");
    EXPECT_EQ(waiting(), 1);
}

TEST_F(FeeImportTest, FailedSecondAddRollsTheWholeFeeBack) {
    mapping("LETTER", "T02");
    db.exec("CREATE TRIGGER no_memos BEFORE INSERT ON TimeDayBook WHEN NEW.TASK = 'T02' "
            "BEGIN SELECT RAISE(ABORT, 'no memo fees'); END");
    waitingFee(100, 5, "M0001", "LETTER");
    EXPECT_EQ(run(), RequestCompleted);
    EXPECT_EQ(messagesBeforeEnd(), std::vector<std::string>{"no memo fees, Error Adding Fees For Matter M0001      , DiaryID: 100"});
    // The first task code's entry, log row and mark went with it: the fee waits whole.
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    EXPECT_EQ(waiting(), 1);

    // Once the cause is gone, the next run enters both.
    db.exec("DROP TRIGGER no_memos");
    ui = ui::ScriptedUserInterface{};
    run();
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 2);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 2);
    EXPECT_EQ(waiting(), 0);
}

TEST_F(FeeImportTest, FailedLogRowOrMarkRollsTheFeeBack) {
    waitingFee(100, 5, "M0001", "LETTER");
    waitingFee(200, 6, "M0001", "LETTER");
    db.exec("CREATE TRIGGER no_log BEFORE INSERT ON FeesImported WHEN NEW.TRACKREF = 5 "
            "BEGIN SELECT RAISE(ABORT, 'log is full'); END");
    db.exec("CREATE TRIGGER no_mark BEFORE UPDATE OF FEES ON DiaryAttachments WHEN OLD.DIARYID = 200 "
            "BEGIN SELECT RAISE(ABORT, 'attachment locked'); END");
    run();
    std::vector<std::string> expected{"log is full, Error Adding Fees For Matter M0001      , DiaryID: 100",
                                      "attachment locked, Error Adding Fees For Matter M0001      , DiaryID: 200"};
    EXPECT_EQ(messagesBeforeEnd(), expected);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    EXPECT_EQ(waiting(), 2);
}

TEST_F(FeeImportTest, NoMessageWaitsWhileAFeeHoldsTheWriteLock) {
    // The second task code's matrix row is missing and the first of the fee's entries is
    // already written when the row's messages arise: they are shown once the fee is committed.
    mapping("LETTER", "T02");
    matter("M0002", "", "C01", "500.00", "0.00", "0.00");
    waitingFee(100, 5, "M0002", "LETTER");
    db.exec("CREATE TRIGGER no_memos BEFORE INSERT ON TimeDayBook WHEN NEW.ACTIONID = 300 "
            "BEGIN SELECT RAISE(ABORT, 'no'); END");
    waitingFee(300, 7, "M0001", "LETTER");
    int shown = 0;
    ui.onMessage = [&](const ui::Message&) {
        ++shown;
        EXPECT_TRUE(writeLockFree(db));
    };
    run();
    EXPECT_EQ(shown, 4);  // two "no Charge Type", one failed add, the end
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 2);
}

}  // namespace
}  // namespace mg::fees::test
