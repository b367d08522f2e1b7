// The demo's style on the program's windows: the frame, the setup form, the wait/retry
// message and a progress window wear its wallpapers, entry colours and cool buttons (seen
// in the pixels of their grabs), the cool images follow their buttons through a resize, and
// with styling switched off the same windows are plain. With MG_SCREENSHOTS set, the grabs
// are saved there.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>

#include "data/ini.h"
#include "fees/windows/fee_report_windows.h"
#include "maintenance/windows/charge_form.h"
#include "qt_app.h"
#include "shell/demo_style.h"
#include "shell/windows/main_frame.h"
#include "shell/windows/main_setup.h"
#include "shell/windows/startup.h"
#include "shell/windows/wait_retry.h"
#include "shell_test_support.h"
#include "testdb.h"
#include "ui/scripted.h"
#include "ui/widgets/progress_window.h"
#include "ui/widgets/style_look.h"
#include "ui/widgets/styler.h"

namespace mg::shell {
namespace {

bool near(QColor a, QColor b, int by = 10) {
    return std::abs(a.red() - b.red()) <= by && std::abs(a.green() - b.green()) <= by && std::abs(a.blue() - b.blue()) <= by;
}

class DemoStyle : public ::testing::Test {
protected:
    test::TempDatabase db;
    test::CurrentDirectory cwd{db.folder()};
    std::string oldDefault;
    std::unique_ptr<Context> ctx = db.context();
    ui::ScriptedUserInterface ui;

    void SetUp() override {
        test::qtApp();
        if (const char* v = std::getenv("MARROWGATE_DEFAULT_INI")) oldDefault = v;
        setenv("MARROWGATE_DEFAULT_INI", (db.folder() / "default.ini").c_str(), 1);
        ASSERT_TRUE(writeDemoStyle(db.folder().string()));
        ASSERT_TRUE(ini::put("", "Styler", "ColorDepth", "3"));  // whatever the test display has
    }
    void TearDown() override {
        ui::styler() = ui::WindowStyler{};
        if (oldDefault.empty()) unsetenv("MARROWGATE_DEFAULT_INI");
        else setenv("MARROWGATE_DEFAULT_INI", oldDefault.c_str(), 1);
    }
    static QColor pixel(QWidget& w, QPoint at) { return w.grab().toImage().pixelColor(at); }
    static ui::CoolImage* cool(QWidget& w, ui::Controls& c, const char* name) {
        return ui::coolImage(&w, c.field(name) + ui::kCoolImageOffset);
    }
};

TEST_F(DemoStyle, TheWindowsWearTheDemoStyle) {
    loadStyling(ui::styler());
    ASSERT_EQ(ui::styler().colorDepth, 3);

    MainFrame frame(db.settings());
    frame.show();
    QApplication::processEvents();
    QWidget* client = frame.centralWidget();
    EXPECT_EQ(ui::wallpaperOf(client), demo::kPaperImage);
    // The paper fills the client area: warm at the top, bluish at the bottom.
    EXPECT_TRUE(near(pixel(*client, {3, 2}), QColor(250, 246, 232)));
    EXPECT_TRUE(near(pixel(*client, {3, client->height() - 2}), QColor(212, 223, 240)));
    test::screenshot(frame, "style_frame");

    MainSetup setup(*ctx, ui);
    ASSERT_TRUE(setup.started());
    setup.show();
    MG_WAIT_UNTIL(QApplication::focusWidget() == setup.controls().widget("?LOC:LASTTRACKREF"), 5000);
    ui::Controls& form = setup.controls();
    EXPECT_EQ(form.widget("?LOC:LASTTRACKREF")->palette().color(QPalette::Base), QColor(255, 252, 222));
    ui::CoolImage* ok = cool(setup, form, "?OKBUTTON");
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->pixmap().isNull());
    EXPECT_EQ(ok->geometry(), form.widget("?OKBUTTON")->geometry());
    // The faces show through the flat buttons: the default button lit (warm) while the entry
    // has the focus, Close in the normal face (light blue), not the plain button face.
    auto face = [&](const char* name) {
        const QRect at = form.widget(name)->geometry();
        return pixel(setup, at.topLeft() + QPoint(at.width() / 2, at.height() / 4));
    };
    EXPECT_GT(face("?OKBUTTON").red(), face("?OKBUTTON").blue() + 10) << face("?OKBUTTON").name().toStdString();
    EXPECT_GT(face("?CANCELBUTTON").blue(), face("?CANCELBUTTON").red()) << face("?CANCELBUTTON").name().toStdString();
    EXPECT_EQ(ui::wallpaperOf(&setup), demo::kPaperImage);
    test::screenshot(setup, "style_form");

    WaitRetryMessage wait("The control record is locked by another station. Waiting for it to be released.", 30);
    wait.show();
    MG_WAIT_UNTIL(wait.isVisible() && cool(wait, wait.controls(), "?OK"), 5000);
    EXPECT_EQ(ui::wallpaperOf(&wait), demo::kTileImage);
    EXPECT_EQ(ui::wallpaperLayoutOf(&wait), 1);
    test::screenshot(wait, "style_wait_retry");
    // Twice the size: the resizer moves the buttons and their images go with them.
    const QSize size = wait.size();
    wait.resize(size * 2);
    QPushButton* retry = wait.okButton();
    const QRect retryBefore = retry->geometry();
    MG_WAIT_UNTIL(retry->geometry() != retryBefore, 5000);
    EXPECT_EQ(cool(wait, wait.controls(), "?OK")->geometry(), retry->geometry());
    EXPECT_EQ(cool(wait, wait.controls(), "?CANCEL")->geometry(), wait.cancelButton()->geometry());
    test::screenshot(wait, "style_wait_retry_twice");

    ui::ProgressWindow progress(nullptr, ui::StyleProcess);
    progress.setCaption("Importing Outlays");
    progress.setUserText("Attachment 20007");
    progress.setPercentText("35% Completed");
    progress.setBar(35);
    progress.show();
    QApplication::processEvents();
    EXPECT_EQ(ui::wallpaperOf(&progress), demo::kPaperImage);
    EXPECT_NE(cool(progress, progress.controls(), "?PROGRESS:CANCEL"), nullptr);
    test::screenshot(progress, "style_progress");
}

// Grown by half and brought back to its opening size, a styled window (its tabs laid out
// again by the styling) puts every control back where it stood.
void growAndBringBack(QWidget& w, const std::string& name) {
    SCOPED_TRACE(name);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    const QSize opening = w.size();
    const std::vector<QRect> before = test::placesIn(w);
    w.resize(opening.width() * 3 / 2, opening.height() * 3 / 2);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    EXPECT_NE(test::placesIn(w), before) << "the window grew";
    w.resize(opening);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    EXPECT_EQ(test::placesIn(w), before);
}

TEST_F(DemoStyle, StyledFormsComeBackExactlyFromAResize) {
    loadStyling(ui::styler());
    Session s{*ctx, ui};
    for (browse::ChargeForm form : {browse::ChargeForm::Outlays, browse::ChargeForm::Fees}) {
        TableUse open(s, browse::chargeFormDef(form).tables);
        ctx->globalRequest = InsertRecord;
        bool opened = false;
        test::whenModalOpens([&](QWidget* modal) {
            opened = true;
            growAndBringBack(*modal, browse::chargeFormDef(form).layout.caption);
            qobject_cast<QDialog*>(modal)->done(0);
        });
        browse::runChargeForm(form, s, nullptr);
        EXPECT_TRUE(opened);
    }
    fees::ImportFeesReportFrom date(db.settings());
    date.show();
    growAndBringBack(date, "report date");
}

TEST_F(DemoStyle, StylingOffShowsThePlainWindows) {
    ASSERT_TRUE(ini::put("", "Marrowgate", "Enabled", "0"));
    loadStyling(ui::styler());
    ASSERT_EQ(ui::styler().colorDepth, 0);

    MainFrame frame(db.settings());
    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(ui::wallpaperOf(frame.centralWidget()), "");
    test::screenshot(frame, "plain_frame");

    MainSetup setup(*ctx, ui);
    ASSERT_TRUE(setup.started());
    setup.show();
    MG_WAIT_UNTIL(QApplication::focusWidget() == setup.controls().widget("?LOC:LASTTRACKREF"), 5000);
    EXPECT_TRUE(setup.findChildren<ui::CoolImage*>().isEmpty());
    EXPECT_FALSE(setup.controls().get<QPushButton>("?OKBUTTON")->isFlat());
    EXPECT_NE(setup.controls().widget("?LOC:LASTTRACKREF")->palette().color(QPalette::Base), QColor(255, 252, 222));
    test::screenshot(setup, "plain_form");

    WaitRetryMessage wait("The control record is locked by another station. Waiting for it to be released.", 30);
    wait.show();
    QApplication::processEvents();
    EXPECT_EQ(ui::wallpaperOf(&wait), "");
    test::screenshot(wait, "plain_wait_retry");

    ui::ProgressWindow progress(nullptr, ui::StyleProcess);
    progress.setUserText("Attachment 20007");
    progress.setPercentText("35% Completed");
    progress.setBar(35);
    progress.show();
    QApplication::processEvents();
    EXPECT_TRUE(progress.findChildren<ui::CoolImage*>().isEmpty());
    test::screenshot(progress, "plain_progress");
}

}  // namespace
}  // namespace mg::shell
