// The outlay import as a process: what it reads, the progress it shows, Cancel, the
// tracking reference it stores, and the failures that end a run without losing anything.

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>

#include "outlay_fixture.h"

namespace mg::test {
namespace {

class Import : public OutlayFixture {
protected:
    void seedPractice(int attachments) {
        matter("M0001", "500.00");
        outlayCode("CSF", "Court Stamp Fee");
        charge("DOC1", "CSF", "4100", "10.00");
        diary(77, "JMK");
        for (int i = 1; i <= attachments; ++i) attachment(i, 77, "M0001", "DOC1");
    }
};

TEST_F(Import, AMissingKeyProcessesEveryAttachmentAndStoresTheHighest) {
    seedPractice(3);
    Result r = run(0);
    EXPECT_EQ(r.posted, 3);
    EXPECT_EQ(iniLastTrackRef(), 3);
    EXPECT_EQ(ui.captions, std::vector<std::string>{"Processing Records"});
    EXPECT_EQ(ui.userTexts, std::vector<std::string>{"Processing Outlay Charges"});
    EXPECT_EQ(ui.percentTexts.front(), "0% Completed");
    EXPECT_EQ(ui.percentTexts.back(), "Process Completed");
}

TEST_F(Import, OnlyAttachmentsAboveTheLastTrackingReferenceArePosted) {
    seedPractice(5);
    Result r = run(3);
    EXPECT_EQ(r.posted, 2);
    EXPECT_EQ(count("BatchDetails"), 2);
    EXPECT_EQ(iniLastTrackRef(), 5);
    // A second run finds nothing more.
    ui.messages.clear();
    r = run(static_cast<int32_t>(iniLastTrackRef()));
    EXPECT_EQ(r.posted, 0);
    EXPECT_EQ(r.response, RequestCancelled);
    EXPECT_EQ(count("BatchDetails"), 2);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});
}

TEST_F(Import, NothingToReadClosesAtOnceAndStillCompletes) {
    Result r = run(0);
    EXPECT_EQ(r.response, RequestCancelled);
    EXPECT_EQ(r.globalResponse, RequestCancelled);
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Import Complete!"});
    EXPECT_EQ(iniLastTrackRef(), 0);
}

TEST_F(Import, AValueTypedTooHighIsBroughtBackToTheTablesHighest) {
    seedPractice(4);
    run(900);
    EXPECT_EQ(count("BatchDetails"), 0);
    EXPECT_EQ(iniLastTrackRef(), 4);
}

TEST_F(Import, ProgressReachesAHundredAfterTheThousandthRowAndStays) {
    diary(77, "JMK");
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1030) "
            "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME) SELECT 77, i, 'M1', 'NODOC' FROM n");
    run(0);
    ASSERT_FALSE(ui.bars.empty());
    EXPECT_EQ(ui.bars.back(), 100);
    EXPECT_EQ(ui.bars.front(), 1) << "ten rows make one per cent";
    EXPECT_EQ(std::count(ui.bars.begin(), ui.bars.end(), 100), 1) << "the bar stays at 100 once there";
    EXPECT_NE(std::find(ui.percentTexts.begin(), ui.percentTexts.end(), "  1% Completed"), ui.percentTexts.end());
    EXPECT_NE(std::find(ui.percentTexts.begin(), ui.percentTexts.end(), " 50% Completed"), ui.percentTexts.end());
    EXPECT_NE(std::find(ui.percentTexts.begin(), ui.percentTexts.end(), "100% Completed"), ui.percentTexts.end());
    EXPECT_EQ(iniLastTrackRef(), 1030);
}

// Runs a process as the progress window does, with the Cancel button pressed after `cycles`.
void runAndCancel(ui::Process& p, int cycles) {
    ASSERT_TRUE(p.prepare());
    p.opened();
    for (int i = 0; i < cycles && !p.ended(); ++i) p.cycle();
    if (!p.ended()) p.cancelPressed();
    while (!p.ended()) p.cycle();
    p.finish();
}

TEST_F(Import, CancelAnsweredYesKeepsWhatWasPostedAndTheRestForTheNextRun) {
    seedPractice(60);
    auto ctx = db.context();
    Session s{*ctx, ui};
    outlays::OutlayImport import(s, ui, 0, ini);
    ui.answers = {ui::ButtonYes};
    runAndCancel(import, 1);
    ASSERT_GE(ui.messages.size(), 2u);
    const ui::Message& question = ui.messages[0];
    EXPECT_EQ(question.caption, "Cancel Process");
    EXPECT_EQ(question.text, "This Process is incomplete... | If you cancel now your RESULTS MAY BE INCORRECT!! || Do you still wish to Cancel?");
    EXPECT_EQ(question.icon, ui::Icon::Question);
    EXPECT_EQ(question.buttons, ui::ButtonYes + ui::ButtonNo);
    EXPECT_EQ(question.defaultButton, ui::ButtonNo);
    EXPECT_EQ(ui.messages.back().text, "Import Complete!");
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
    EXPECT_EQ(count("BatchDetails"), 25) << "one cycle of 25 attachments";
    EXPECT_EQ(iniLastTrackRef(), 25) << "the next run takes up the attachments the Cancel left";
    // ... and it does.
    ui.messages.clear();
    run(static_cast<int32_t>(iniLastTrackRef()));
    EXPECT_EQ(count("BatchDetails"), 60);
    EXPECT_EQ(iniLastTrackRef(), 60);
    expectBooksBalance();
}

TEST_F(Import, CancelAnsweredNoGoesOn) {
    seedPractice(60);
    auto ctx = db.context();
    Session s{*ctx, ui};
    outlays::OutlayImport import(s, ui, 0, ini);
    ui.answers = {ui::ButtonNo};
    runAndCancel(import, 1);
    EXPECT_EQ(count("BatchDetails"), 60);
    EXPECT_EQ(ctx->globalResponse, RequestCompleted);
}

TEST_F(Import, CtrlCOnTheCommandLineIsAConfirmedCancelAfterTheCycle) {
    seedPractice(60);
    // Ctrl+C arrives while the first cycle runs (when its bar first moves, at row 10).
    struct Interrupting : ui::ScriptedUserInterface {
        volatile std::sig_atomic_t interrupted = 0;
        void setBar(int percent) override {
            ScriptedUserInterface::setBar(percent);
            interrupted = 1;
        }
    } console;
    auto ctx = db.context();
    Session s{*ctx, console};
    outlays::OutlayImport import(s, console, 0, ini);
    EXPECT_EQ(ui::runWithoutWindow(import, &console.interrupted), RequestCancelled);
    EXPECT_EQ(count("BatchDetails"), 25) << "the cycle in progress finishes, no other starts";
    EXPECT_EQ(iniLastTrackRef(), 25);
    EXPECT_EQ(console.texts(), std::vector<std::string>{"Import Complete!"}) << "no question on the command line";
}

TEST_F(Import, MessagesComeAfterTheAttachmentIsCommittedAndHoldNoLock) {
    seedPractice(3);
    // The unknown matter of the fourth attachment raises a message: by then the attachment
    // is committed and the database free for other stations.
    attachment(4, 77, "NOSUCH", "DOC1");
    attachment(5, 77, "M0001", "DOC1");
    long long committedAtMessage = -1;
    int otherStationWrote = -1;
    auto other = db.context();
    ui.onMessage = [&](const ui::Message& m) {
        if (!m.text.starts_with("Matter")) return;
        committedAtMessage = count("BatchDetails");
        otherStationWrote = other->begin(0);
        if (otherStationWrote == 0) other->rollback();
    };
    run(0);
    EXPECT_EQ(committedAtMessage, 4);
    EXPECT_EQ(otherStationWrote, 0) << "the message box waited while the write lock was held";
    EXPECT_EQ(count("BatchDetails"), 5);
}

TEST_F(Import, ALockedControlRowWaitsAndARetrySucceedsOnceTheLockIsGone) {
    seedPractice(1);
    auto holder = db.context();
    ASSERT_EQ(holder->begin(1), 0);
    // make the lock real: a write inside the holder's transaction
    holder->table(TableId::Control).open();
    ASSERT_EQ(holder->table(TableId::Control).setSql("Update control Set LASTBILL = 1"), 0);
    ui.onWaitRetry = [&](std::string_view) { holder->rollback(); };
    run(0);
    ASSERT_EQ(ui.waitTexts.size(), 1u);
    const std::string& w = ui.waitTexts[0];
    EXPECT_TRUE(w.starts_with("Locking Control (32) File Is Locked")) << w;
    EXPECT_EQ(w.size() >= std::string("Locking Control ").size() + 100, true) << "the error is padded to 100 characters";
    EXPECT_EQ(count("BatchDetails"), 1);
    expectBooksBalance();
}

TEST_F(Import, GivingUpPostsNothingOfTheAttachmentAndEndsTheRun) {
    seedPractice(3);
    // Another station holds the control row for the whole run; the user gives up.
    auto holder = db.context();
    ui.waitAnswers = {0};
    ASSERT_EQ(holder->begin(1), 0);
    holder->table(TableId::Control).open();
    ASSERT_EQ(holder->table(TableId::Control).setSql("Update control Set LASTBILL = 1"), 0);
    Result r = run(0);
    holder->rollback();
    EXPECT_EQ(r.response, RequestCancelled);
    ASSERT_EQ(ui.waitTexts.size(), 1u);
    EXPECT_EQ(count("BatchH") + count("BatchDetails"), 0) << "nothing written with numbers the control row did not record";
    EXPECT_EQ(q("SELECT LASTBATCH || '/' || LASTPREF FROM control"), "100/5000");
    std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0],
              "Track Ref: 1, document DOC1, matter M0001 was not posted: the control row could not be locked.|The import stops here; "
              "the next import starts with this attachment.");
    EXPECT_EQ(texts[1], "Import Complete!");
    EXPECT_EQ(iniLastTrackRef(), 0) << "the next run starts with the attachment given up";
}

TEST_F(Import, ADatabaseFailureRollsTheAttachmentBackAndEndsTheRun) {
    seedPractice(3);
    // The header total of the second attachment cannot be written.
    db.exec("CREATE TABLE hits (n INTEGER); INSERT INTO hits VALUES (0);"
            "CREATE TRIGGER fail_second_total BEFORE UPDATE OF VALUE ON BatchH "
            "WHEN (SELECT n FROM hits) >= 1 BEGIN SELECT RAISE(ABORT, 'header locked by audit'); END;"
            "CREATE TRIGGER count_totals AFTER UPDATE OF VALUE ON BatchH BEGIN UPDATE hits SET n = n + 1; END;");
    Result r = run(0);
    EXPECT_EQ(r.response, RequestCancelled);
    EXPECT_EQ(count("BatchDetails"), 1) << "the second attachment's line was rolled back with it";
    EXPECT_EQ(q("SELECT VALUE FROM BatchH"), "10.00");
    EXPECT_EQ(q("SELECT LASTPREF FROM control"), "5002") << "its reference was rolled back too";
    std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(texts[0].starts_with("Track Ref: 2, document DOC1, matter M0001 was not posted.|Error putting Batch Header CSF  No:  101: "
                                     "header locked by audit"))
        << texts[0];
    EXPECT_EQ(iniLastTrackRef(), 1);
    // Once the fault is mended the next run posts the rest.
    db.exec("DROP TRIGGER fail_second_total");
    ui.messages.clear();
    run(static_cast<int32_t>(iniLastTrackRef()));
    EXPECT_EQ(count("BatchDetails"), 3);
    expectBooksBalance();
}

TEST_F(Import, ALineThatCannotBeAddedStaysOutOfTheTotal) {
    seedPractice(2);
    db.exec("CREATE TRIGGER no_second_line BEFORE INSERT ON BatchDetails WHEN (SELECT count(*) FROM BatchDetails) >= 1 "
            "BEGIN SELECT RAISE(ABORT, 'no more lines'); END;");
    Result r = run(0);
    EXPECT_EQ(r.posted, 1) << "the attachment with the refused line is not counted as posted";
    EXPECT_EQ(count("BatchDetails"), 1);
    EXPECT_EQ(q("SELECT VALUE FROM BatchH"), "10.00");
    std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Error adding Batch Detail Track Ref:  2|no more lines (1811)") << "the database's reason is named";
    EXPECT_EQ(ui.messages[0].caption, "90");
    expectBooksBalance();
}

// Two contexts posting in turn (as two stations do) each read the control row afresh.
TEST_F(Import, TwoContextsPostingInTurnNeverShareANumber) {
    seedPractice(0);
    charge("DOC2", "SRCH", "4300", "5.00");
    for (int i = 1; i <= 40; ++i) attachment(i, 77, "M0001", i % 2 ? "DOC1" : "DOC2");
    auto c1 = db.context();
    auto c2 = db.context();
    Session s1{*c1, ui}, s2{*c2, ui};
    const std::initializer_list<TableId> tables{TableId::BatchDetails, TableId::BatchH,   TableId::Control,    TableId::DocumentCharges,
                                                TableId::Diary,        TableId::DiaryAttachments, TableId::Matters, TableId::OutlayCode,
                                                TableId::SQLResult,    TableId::SQLResultD};
    TableUse t1(s1, tables), t2(s2, tables);
    outlays::BatchPosting p1(s1), p2(s2);
    for (int i = 1; i <= 40; ++i) {
        Context& ctx = i % 3 ? *c1 : *c2;
        ctx.set(DAT::TRACKREFERENCE, i);
        ASSERT_EQ(ctx.table(TableId::DiaryAttachments).get(DAT::KEYTRACKREF), 0);
        EXPECT_EQ((i % 3 ? p1 : p2).postAttachment(), outlays::BatchPosting::Posted);
    }
    EXPECT_EQ(count("BatchDetails"), 40);
    EXPECT_EQ(count("BatchH"), 2);
    expectBooksBalance();
}

TEST_F(Import, ASecondImportOnTheSameDatabaseIsRefusedAndSaysWhereTheFirstRuns) {
    seedPractice(30);
    ui::ScriptedUserInterface ui2;
    auto c1 = db.context();
    auto c2 = db.context();
    Session s1{*c1, ui}, s2{*c2, ui2};
    const std::string otherIni = (db.folder() / "other.ini").string();
    auto first = std::make_unique<outlays::OutlayImport>(s1, ui, 0, ini);
    ASSERT_TRUE(first->prepare());
    first->opened();
    first->cycle();

    outlays::OutlayImport second(s2, ui2, 0, otherIni);
    EXPECT_FALSE(second.prepare());
    EXPECT_EQ(c2->globalResponse, RequestCancelled);
    ASSERT_EQ(ui2.messages.size(), 1u);
    const ui::Message& m = ui2.messages[0];
    EXPECT_EQ(m.caption, "Outlay Import");
    EXPECT_EQ(m.icon, ui::Icon::Warning);
    char host[256] = {};
#ifdef _WIN32
    DWORD size = sizeof host;
    GetComputerNameA(host, &size);  // the station's name, as Windows gives it
#else
    gethostname(host, sizeof host - 1);
#endif
    // The server's lock knows the holder's host and process, not its folder.
    const std::string where = "Another outlay import is running on this database, on " + std::string(host) +
                              (onServer() ? "" : " in " + std::filesystem::current_path().string()) + " (process " +
                              std::to_string(getpid()) + ") since ";
    EXPECT_TRUE(m.text.starts_with(where)) << m.text;
    EXPECT_NE(m.text.find("this one does not start"), std::string::npos) << m.text;
    EXPECT_EQ(ini::getInt(otherIni, "DocumentOutlays", "LastTrackRef", -1), -1) << "the refused import writes nothing";

    while (!first->ended()) first->cycle();
    first->finish();
    EXPECT_EQ(count("BatchDetails"), 30);
    // Once the first has ended the database is free again, and the lock file it leaves is no lock.
    first.reset();
    ui2.messages.clear();
    outlays::OutlayImport third(s2, ui2, 30, otherIni);
    ASSERT_TRUE(third.prepare());
    third.opened();
    while (!third.ended()) third.cycle();
    third.finish();
    EXPECT_EQ(ui2.texts(), std::vector<std::string>{"Import Complete!"});
    EXPECT_EQ(count("BatchDetails"), 30);
}

// A LastTrackRef that cannot be written stops the run before another attachment is posted;
// what was posted is in the journal, so once the file is mended nothing is posted twice.
TEST_F(Import, ALastTrackRefThatCannotBeWrittenStopsTheRun) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        std::function<void()> spoil, mend;
        const char* why;
    } cases[] = {
        {"a read-only file", [&] { fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read); },
         [&] { fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write); }, "the file is read-only"},
        {"a folder in the way",
         [&] {
             fs::remove(ini);
             fs::create_directory(ini);
         },
         [&] { fs::remove(ini); }, "a folder of that name is in the way"},
    };
    seedPractice(0);
    int next = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < 230; ++i, ++next) attachment(next, 77, "M0001", "DOC1");
        const long long before = count("BatchDetails");
        const long long start = next - 231;
        ASSERT_TRUE(ini::put(ini, "DocumentOutlays", "LastTrackRef", std::to_string(start)));
        // Spoilt at the start: nothing is posted.
        c.spoil();
        ui.messages.clear();
        Result r = run(static_cast<int32_t>(start));
        EXPECT_EQ(r.response, 0) << "the import does not start";
        EXPECT_EQ(count("BatchDetails"), before);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].icon, ui::Icon::Warning);
        EXPECT_EQ(ui.messages[0].text, "LastTrackRef " + std::to_string(start) + " cannot be written to " + ini + ": " + c.why +
                                           ".|The import stops here. What it posted is recorded in " + ini +
                                           ".journal; the next import takes that into account.");
        c.mend();
        ASSERT_TRUE(ini::put(ini, "DocumentOutlays", "LastTrackRef", std::to_string(start)));

        // Spoilt after the first cycle: the run goes on to the next store of the tracking
        // reference (after eight cycles) and ends there.
        ui.messages.clear();
        {
            auto ctx = db.context();
            Session s{*ctx, ui};
            outlays::OutlayImport import(s, ui, static_cast<int32_t>(start), ini);
            ASSERT_TRUE(import.prepare());
            import.opened();
            import.cycle();
            c.spoil();
            for (int cycles = 1; cycles < 8; ++cycles) {
                ASSERT_FALSE(import.ended());
                import.cycle();
            }
            EXPECT_TRUE(import.ended());
            import.finish();
            EXPECT_EQ(import.response(), RequestCancelled);
        }
        EXPECT_EQ(count("BatchDetails") - before, 200);
        std::vector<std::string> texts = ui.texts();
        ASSERT_EQ(texts.size(), 2u);
        EXPECT_TRUE(texts[0].starts_with("LastTrackRef " + std::to_string(start + 200) + " cannot be written to ")) << texts[0];
        EXPECT_EQ(texts[1], "Import Complete!");
        c.mend();
        // The next run, from the value the file held before it was spoilt, posts the rest, once.
        ASSERT_TRUE(ini::put(ini, "DocumentOutlays", "LastTrackRef", std::to_string(start)));
        ui.messages.clear();
        run(static_cast<int32_t>(start));
        EXPECT_EQ(count("BatchDetails") - before, 230);
        EXPECT_EQ(iniLastTrackRef(), start + 230);
        expectBooksBalance();
    }
}

TEST_F(Import, AJournalThatCannotBeKeptStopsTheImportBeforeItStarts) {
    seedPractice(3);
    std::filesystem::create_directory(ini + ".journal");
    Result r = run(0);
    EXPECT_EQ(r.response, 0);
    EXPECT_EQ(count("BatchDetails"), 0);
    ASSERT_EQ(ui.texts().size(), 1u);
    EXPECT_TRUE(ui.texts()[0].starts_with("The outlay import cannot keep the record of its postings: " + ini + ".journal cannot be opened"))
        << ui.texts()[0];
}

}  // namespace
}  // namespace mg::test
