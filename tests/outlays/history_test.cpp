// The outlay import's run history: what a run wrote is recorded with it, and where the next
// run starts comes from the history of the database, whatever folder a station runs from.

#include "outlay_fixture.h"

namespace mg::test {
namespace {

class History : public OutlayFixture {
protected:
    void SetUp() override {
        OutlayFixture::SetUp();
        twoDocuments();
        matter("M1", "100.00");
    }
    // One import as a station in `folder` runs it.
    int runIn(const std::string& folder, outlays::StartChoice choice = {}) {
        std::filesystem::create_directories(db.folder() / folder);
        const std::string productIni = (db.folder() / folder / "Quillerton.ini").string();
        choice.iniHasValue = ini::lookup(productIni, "DocumentOutlays", "LastTrackRef").value.has_value();
        auto ctx = db.context();
        Session s{*ctx, ui};
        outlays::OutlayImport import(s, ui, static_cast<int32_t>(ini::getInt(productIni, "DocumentOutlays", "LastTrackRef", 0)),
                                     productIni);
        import.setStartChoice(choice);
        ui::runWithoutWindow(import, nullptr);
        return import.attachmentsPosted();
    }
    void attachments(int from, int to) {
        for (int i = from; i <= to; ++i) attachment(i, 77, "M1", i % 2 ? "ONE" : "TWO");
    }
    // The rows of the history against the books.
    void expectRowsMatchBooks() {
        EXPECT_EQ(count("MG_ImportRunRows", "KIND = 'LINE'"), count("BatchDetails"));
        EXPECT_EQ(count("BatchDetails d", "NOT EXISTS (SELECT 1 FROM MG_ImportRunRows r WHERE r.KIND = 'LINE' AND r.ROWNO = d.KEYID AND "
                                           "r.BATCHNO = d.BATCHNO AND r.PREF = d.PREF AND CAST(r.AMOUNT AS NUMERIC) = "
                                           "CAST(d.VALUE AS NUMERIC))"),
                  0);
        EXPECT_EQ(count("BatchH h", "CAST(h.VALUE AS NUMERIC) <> (SELECT SUM(CAST(r.AMOUNT AS NUMERIC)) FROM MG_ImportRunRows r WHERE "
                                     "r.KIND = 'TOTL' AND r.BATCHNO = h.BATCHNO)"),
                  0);
        EXPECT_EQ(count("MG_ImportRunRows", "KIND = 'HEAD'"), count("BatchH"));
    }
};

// Two stations with folders of their own, one after the other, and one of them on a fresh
// folder: every attachment is posted once, and each run's record adds up to what it posted.
TEST_F(History, StationsWithFoldersOfTheirOwnPostEveryAttachmentOnce) {
    attachments(1, 4);
    EXPECT_EQ(runIn("a"), 4);
    attachments(5, 7);
    EXPECT_EQ(runIn("b"), 3) << "a fresh folder starts where the database's history ends";
    attachments(8, 8);
    EXPECT_EQ(runIn("a"), 1) << "a folder's own LastTrackRef (4) does not post 5 to 7 again";
    EXPECT_EQ(runIn("b"), 0);
    EXPECT_EQ(count("BatchDetails"), 4 * 1 + 4 * 2);
    expectRowsMatchBooks();
    EXPECT_EQ(q("SELECT count(*) FROM MG_ImportRuns WHERE KIND = 'outlays' AND OUTCOME = 'completed'"), "4");
    EXPECT_EQ(q("SELECT ITEMS FROM MG_ImportRuns WHERE RUNID = 2"), "3");
    EXPECT_EQ(q("SELECT LASTREF FROM MG_ImportRuns WHERE RUNID = 2"), "7");
    EXPECT_EQ(q("SELECT TOTAL FROM MG_ImportRuns WHERE RUNID = 2"), "30.00");
    // A starting point chosen on purpose is taken, and recorded with the run.
    outlays::StartChoice again;
    again.fromTrackRef = 7;
    EXPECT_EQ(runIn("c", again), 1);
    EXPECT_EQ(q("SELECT CHOSEN FROM MG_ImportRuns WHERE RUNID = 5"), "Y");
    expectRowsMatchBooks();
}

// A database that holds outlay lines, with neither a run history nor a LastTrackRef: the
// import does not post from 0 on its own. The command line refuses; the desktop asks, No by
// default.
TEST_F(History, AFreshFolderOnAPracticeWithLinesDoesNotPostEverythingAgain) {
    db.exec("INSERT INTO BatchDetails (BATCHNO, PREF, REF, VALUE) VALUES (7, 4000, 'Doc Outlay', '10.00')");
    attachments(1, 3);
    struct Case {
        bool ask;
        int answer;
        int posted;
    } cases[] = {{false, 0, 0}, {true, ui::ButtonNo, 0}, {true, ui::ButtonYes, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ui.messages.clear();
        if (c.answer) ui.answers.push_back(c.answer);
        outlays::StartChoice choice;
        choice.ask = c.ask;
        EXPECT_EQ(runIn("fresh", choice), c.posted);
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_NE(ui.messages[0].text.find("starting from 0 would post every attachment again (3 attachments)"), std::string::npos)
            << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].defaultButton, c.ask ? ui::ButtonNo : ui::ButtonOk);
    }
    EXPECT_EQ(count("BatchDetails"), 1 + 4);
}

}  // namespace
}  // namespace mg::test
