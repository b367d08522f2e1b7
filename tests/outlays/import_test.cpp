// The outlay import as a process: what it reads, the progress it shows, Cancel, the
// tracking reference it stores, and the failures that end a run without losing anything.

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

TEST_F(Import, MessagesComeAfterTheAttachmentIsStoredAndHoldNoLock) {
    seedPractice(3);
    // The unknown matter of the fourth attachment raises a message: by then the attachment
    // is committed, its tracking reference stored, and the database free for other stations.
    attachment(4, 77, "NOSUCH", "DOC1");
    attachment(5, 77, "M0001", "DOC1");
    long long atMessage = -2;
    int otherStationWrote = -1;
    auto other = db.context();
    ui.onMessage = [&](const ui::Message& m) {
        if (!m.text.starts_with("Matter")) return;
        atMessage = iniLastTrackRef();
        otherStationWrote = other->begin(0);
        if (otherStationWrote == 0) other->rollback();
    };
    run(0);
    EXPECT_EQ(atMessage, 4);
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
    run(0);
    EXPECT_EQ(count("BatchDetails"), 1);
    EXPECT_EQ(q("SELECT VALUE FROM BatchH"), "10.00");
    std::vector<std::string> texts = ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Error adding Batch Detail Track Ref:  2");
    EXPECT_EQ(ui.messages[0].caption, "90");
    expectBooksBalance();
}

TEST_F(Import, TwoContextsPostingAtOnceNeverShareANumber) {
    seedPractice(0);
    charge("DOC2", "SRCH", "4300", "5.00");
    for (int i = 1; i <= 120; ++i) attachment(i, 77, "M0001", i % 2 ? "DOC1" : "DOC2");
    ui::ScriptedUserInterface ui2;
    auto c1 = db.context();
    auto c2 = db.context();
    Session s1{*c1, ui}, s2{*c2, ui2};
    outlays::OutlayImport a(s1, ui, 0, ini);
    outlays::OutlayImport b(s2, ui2, 60, (db.folder() / "other.ini").string());
    ASSERT_TRUE(a.prepare());
    ASSERT_TRUE(b.prepare());
    a.opened();
    b.opened();
    while (!a.ended() || !b.ended()) {
        if (!a.ended()) a.cycle();
        if (!b.ended()) b.cycle();
    }
    a.finish();
    b.finish();
    EXPECT_EQ(count("BatchDetails"), 120 + 60) << "the second run started at 60 and both took 61..120";
    expectBooksBalance();
}

}  // namespace
}  // namespace mg::test
