// MAINSETUP: the last tracking reference shown from the product INI file, written on OK,
// left alone on Close or the close box; its table opened and closed through the use count.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <QLineEdit>
#include <QPushButton>

#include "data/ini.h"
#include "qt_app.h"
#include "shell/settings.h"
#include "shell/windows/main_setup.h"
#include "shell_test_support.h"
#include "testdb.h"
#include "ui/scripted.h"

namespace mg::shell {
namespace {

class MainSetupTest : public ::testing::Test {
protected:
    test::TempDatabase db;
    test::CurrentDirectory cwd{db.folder()};
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;

    std::string ini() const { return productIniPath(); }
    std::string stored() const { return ini::get(ini(), "DocumentOutlays", "LastTrackRef", "<missing>"); }
    static std::string fileText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Opens the window and waits until it shows its value.
    void open(MainSetup& w) {
        ASSERT_TRUE(w.started());
        w.show();
        MG_WAIT_UNTIL(QApplication::focusWidget() == entry(w), 5000);
    }
    static QLineEdit* entry(MainSetup& w) { return w.controls().get<QLineEdit>("?LOC:LASTTRACKREF"); }
    static QPushButton* ok(MainSetup& w) { return w.controls().get<QPushButton>("?OKBUTTON"); }
    static QPushButton* close(MainSetup& w) { return w.controls().get<QPushButton>("?CANCELBUTTON"); }
    static void type(MainSetup& w, const char* text) {
        entry(w)->selectAll();
        QTest::keyClicks(entry(w), text);
    }
};

TEST_F(MainSetupTest, AMissingKeyShowsZeroAndOkWritesZero) {
    MainSetup w(*ctx, ui);
    open(w);
    EXPECT_EQ(entry(w)->text().toStdString(), "0");
    EXPECT_EQ(entry(w)->selectedText().toStdString(), "0");  // the first control is selected
    ok(w)->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(stored(), "0");
    EXPECT_EQ(ctx->globalResponse, 0);  // left when the window goes
}

// A value the import refuses to start on is shown as it stands, and OK does not save it.
TEST_F(MainSetupTest, AValueThatIsNotANumberIsShownAsItStandsAndNotSaved) {
    for (const char* value : {"abc", "1e9", "0x14"}) {
        SCOPED_TRACE(value);
        ini::put(ini(), "DocumentOutlays", "LastTrackRef", value);
        MainSetup w(*ctx, ui);
        open(w);
        EXPECT_EQ(entry(w)->text().toStdString(), value);
        ok(w)->click();
        EXPECT_TRUE(w.isVisible()) << "the entry is rejected";
        EXPECT_EQ(entry(w)->text().toStdString(), value);
        EXPECT_EQ(stored(), value);
    }
}

TEST_F(MainSetupTest, OkWritesTheValueAsTyped) {
    ini::put(ini(), "DocumentOutlays", "LastTrackRef", "250");
    ini::put(ini(), "Other", "Kept", "yes");
    {
        MainSetup w(*ctx, ui);
        open(w);
        EXPECT_EQ(entry(w)->text().toStdString(), "250");
        type(w, "104233");
        ok(w)->click();
        EXPECT_EQ(w.lastTrackRef(), 104233);
    }
    EXPECT_EQ(stored(), "104233");
    EXPECT_EQ(ini::get(ini(), "Other", "Kept"), "yes");
    EXPECT_EQ(ctx->globalResponse, RequestCompleted);
}

// The window shows what the import would start after, and OK writes that: a stored value
// beyond 32 bits is held at the limit, never wrapped into another number.
TEST_F(MainSetupTest, AValueBeyond32BitsShowsAndIsWrittenAsTheImportTakesIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"99999999999", "2147483647"},
        {"-99999999999", "-2147483648"},
        {"4294967296", "2147483647"},
        {"2147483647", "2147483647"},
        {"104233", "104233"},
    };
    for (const auto& [storedText, shown] : cases) {
        SCOPED_TRACE(storedText);
        ini::put(ini(), "DocumentOutlays", "LastTrackRef", storedText);
        EXPECT_EQ(lastTrackRefArgument(ini()), std::stoll(shown));
        MainSetup w(*ctx, ui);
        open(w);
        EXPECT_EQ(entry(w)->text().toStdString(), shown);
        ok(w)->click();
        EXPECT_EQ(stored(), shown);
    }
}

TEST_F(MainSetupTest, ALowerOrNegativeValueIsTakenAsTyped) {
    ini::put(ini(), "DocumentOutlays", "LastTrackRef", "5000");
    MainSetup w(*ctx, ui);
    open(w);
    type(w, "-12");
    ok(w)->click();
    EXPECT_EQ(stored(), "-12");
}

TEST_F(MainSetupTest, CloseAfterEditingWritesNothing) {
    ini::put(ini(), "DocumentOutlays", "LastTrackRef", "777");
    const std::string before = fileText(ini());
    {
        MainSetup w(*ctx, ui);
        open(w);
        type(w, "1");
        close(w)->click();
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_EQ(fileText(ini()), before);
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
}

TEST_F(MainSetupTest, CloseWithTheKeyMissingCreatesNoFile) {
    {
        MainSetup w(*ctx, ui);
        open(w);
        type(w, "99");
        w.close();  // the close box
    }
    EXPECT_FALSE(std::filesystem::exists(ini()));
}

TEST_F(MainSetupTest, AnEntryThatIsNoNumberIsRejectedAndNothingIsWritten) {
    ini::put(ini(), "DocumentOutlays", "LastTrackRef", "31");
    MainSetup w(*ctx, ui);
    open(w);
    type(w, "-");
    ok(w)->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(entry(w)->text().toStdString(), "31");  // redisplayed
    EXPECT_EQ(QApplication::focusWidget(), entry(w));
    EXPECT_EQ(stored(), "31");
    // A value beyond a 32-bit tracking reference is refused the same way.
    type(w, "99999999999");
    ok(w)->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(stored(), "31");
    close(w)->click();
}

TEST_F(MainSetupTest, OpensNominalThroughTheUseCountAndCreatesItWhenMissing) {
    db.exec("DROP TABLE Nominal");
    {
        MainSetup w(*ctx, ui);
        ASSERT_TRUE(w.started());
        EXPECT_EQ(ctx->used(TableId::Nominal), 1);
        EXPECT_TRUE(ui.messages.empty());
    }
    EXPECT_EQ(ctx->used(TableId::Nominal), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE name = 'Nominal'"), 1);
}

TEST_F(MainSetupTest, StartedOnItsOwnItRunsOnANewContextAndDeletesItselfWhenClosed) {
    QWidget frame;
    QPointer<MainSetup> w = MainSetup::start(db.settings(), &frame);
    ASSERT_FALSE(w.isNull());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Setup ...");
    EXPECT_EQ(ctx->used(TableId::Nominal), 0);  // not this context's table
    QPointer<MainSetup> second = MainSetup::start(db.settings(), &frame);
    ASSERT_FALSE(second.isNull());
    EXPECT_NE(w.data(), second.data());
    w->controls().get<QPushButton>("?OKBUTTON")->click();
    MG_WAIT_UNTIL(w.isNull(), 5000);
    EXPECT_FALSE(second.isNull());
    EXPECT_EQ(stored(), "0");
    second->close();
    MG_WAIT_UNTIL(second.isNull(), 5000);
}

TEST_F(MainSetupTest, Screenshot) {
    ini::put(ini(), "DocumentOutlays", "LastTrackRef", "104233");
    MainSetup w(*ctx, ui);
    open(w);
    QApplication::processEvents();
    test::screenshot(w, "main_setup");
    close(w)->click();
}

}  // namespace
}  // namespace mg::shell
