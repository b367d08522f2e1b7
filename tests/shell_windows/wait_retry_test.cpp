// WAITRETRYMESSAGE: the countdown on the Retry button, the automatic retry, Cancel, the close
// box, the message as shown, and the order of the styling and resizer hooks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QLabel>
#include <QPushButton>

#include "qt_app.h"
#include "shell/windows/wait_retry.h"
#include "testdb.h"
#include "ui/widgets/styler.h"

namespace mg::shell {
namespace {

constexpr int kTick = 40;  // milliseconds per tick in these tests (one second in the program)

// Runs the window and records every text its ?OK button shows, in order, without repeats.
struct Observed {
    uint8_t result = 255;
    std::vector<std::string> okTexts;
    int ticksLeft = 0;
};

Observed runObserved(WaitRetryMessage& w, std::function<void(WaitRetryMessage&)> meanwhile = {}) {
    Observed o;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!w.isVisible()) return;
        const std::string t = w.okButton()->text().toStdString();
        if (o.okTexts.empty() || o.okTexts.back() != t) o.okTexts.push_back(t);
    });
    poll.start();
    if (meanwhile) QTimer::singleShot(0, &w, [&] { meanwhile(w); });
    o.result = w.run();
    o.ticksLeft = w.ticksLeft();
    return o;
}

TEST(WaitRetryMessage, LeftAloneCountsDownThreeTwoOneAndRetries) {
    WaitRetryMessage w("The control record is locked by another station");
    w.setTickMilliseconds(kTick);
    Observed o = runObserved(w);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.okTexts, (std::vector<std::string>{"&Retry (3)", "&Retry (2)", "&Retry (1)"}));
    EXPECT_EQ(o.ticksLeft, 0);
    EXPECT_FALSE(w.isVisible());
}

TEST(WaitRetryMessage, ALongerCountdownShowsEveryStep) {
    WaitRetryMessage w("locked", 5);
    w.setTickMilliseconds(kTick);
    Observed o = runObserved(w);
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.okTexts, (std::vector<std::string>{"&Retry (5)", "&Retry (4)", "&Retry (3)", "&Retry (2)", "&Retry (1)"}));
}

TEST(WaitRetryMessage, ACountdownOfOneOrLessRetriesOnTheFirstTick) {
    for (int start : {1, 0, -4}) {
        WaitRetryMessage w("locked", start);
        w.setTickMilliseconds(kTick);
        Observed o = runObserved(w);
        EXPECT_EQ(o.result, 1) << start;
        EXPECT_EQ(o.okTexts, (std::vector<std::string>{"&Retry (" + std::to_string(start) + ")"})) << start;
        EXPECT_EQ(o.ticksLeft, start - 1) << start;
    }
}

TEST(WaitRetryMessage, CancelGivesUpAtOnce) {
    WaitRetryMessage w("locked");
    w.setTickMilliseconds(60000);
    Observed o = runObserved(w, [](WaitRetryMessage& win) { win.cancelButton()->click(); });
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.ticksLeft, 3);
}

TEST(WaitRetryMessage, TheCloseBoxAndEscapeGiveUp) {
    {
        WaitRetryMessage w("locked");
        w.setTickMilliseconds(60000);
        Observed o = runObserved(w, [](WaitRetryMessage& win) { win.close(); });
        EXPECT_EQ(o.result, 0);
    }
    {
        WaitRetryMessage w("locked");
        w.setTickMilliseconds(60000);
        Observed o = runObserved(w, [](WaitRetryMessage& win) { QTest::keyClick(&win, Qt::Key_Escape); });
        EXPECT_EQ(o.result, 0);
    }
}

TEST(WaitRetryMessage, PressingRetryRetriesAtOnce) {
    WaitRetryMessage w("locked");
    w.setTickMilliseconds(60000);
    Observed o = runObserved(w, [](WaitRetryMessage& win) { win.okButton()->click(); });
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.ticksLeft, 3);
}

TEST(WaitRetryMessage, ShowsItsTextsAndTheMessageCut) {
    const std::string longMessage(600, 'x');
    WaitRetryMessage w(longMessage);
    EXPECT_EQ(w.messageShown().size(), 500u);  // LOC:MESSAGE holds 500 characters
    ui::Controls& c = w.controls();
    EXPECT_EQ(c.text("?LOC:MESSAGE").size(), 255);  // shown through a picture of 255
    EXPECT_EQ(w.windowTitle(), "Wait Message");
    EXPECT_EQ(c.text("?PROMPT1"), "Process is waiting for files to unlock");
    EXPECT_EQ(c.text("?OK"), "&Retry(1)");  // until the window opens
    EXPECT_EQ(w.okButton()->toolTip(), "Accept Operation");
    EXPECT_EQ(w.okButton()->statusTip(), "Accept operation");
    EXPECT_EQ(c.text("?CANCEL"), "&Cancel");
    EXPECT_EQ(w.cancelButton()->toolTip(), "Cancel Operation");
    EXPECT_EQ(w.cancelButton()->statusTip(), "Cancel Operation");
    auto* info = c.get<QPushButton>("?BUTTON3");
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->text().isEmpty());
    EXPECT_FALSE(info->icon().isNull());
    EXPECT_EQ(c.field("?PROMPT1"), 1);
    EXPECT_EQ(c.field("?CANCEL"), 5);
}

TEST(WaitRetryMessage, StylesThenSetsItsMinimumThenStartsTheResizerAndReleasesItOnClose) {
    std::vector<std::string> hooks;
    ui::setHookObserver([&](std::string_view h) { hooks.emplace_back(h); });
    QSize openedAt, minimum;
    {
        WaitRetryMessage w("locked");
        w.setTickMilliseconds(60000);
        runObserved(w, [&](WaitRetryMessage& win) {
            openedAt = win.size();
            minimum = win.minimumSize();
            win.resize(win.width() + 50, win.height() + 30);
            QTimer::singleShot(50, &win, [&win] { win.cancelButton()->click(); });
        });
    }
    ui::setHookObserver({});
    ASSERT_GE(hooks.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(hooks.begin(), hooks.begin() + 4),
              (std::vector<std::string>{"setWindow(4)", "refresh", "setMinimum", "initialize(2)"}));
    EXPECT_NE(std::find(hooks.begin(), hooks.end(), "resize"), hooks.end());
    EXPECT_EQ(hooks.back(), "destroy");
    EXPECT_EQ(std::count(hooks.begin(), hooks.end(), "destroy"), 1);
    EXPECT_EQ(minimum, openedAt);
}

TEST(WaitRetryMessage, LeavesTheResponseWordOnTheCallersContext) {
    test::TempDatabase db;
    auto ctx = db.context();
    ctx->globalRequest = 4;
    WaitRetryMessage w("locked", 1, nullptr, ctx.get());
    EXPECT_EQ(ctx->globalRequest, 0);
    w.setTickMilliseconds(kTick);
    EXPECT_EQ(w.run(), 1);
    EXPECT_EQ(ctx->globalResponse, RequestCancelled);
}

// The longest message the window shows (255 characters of LOC:MESSAGE) starts at the top of
// its control and every one of its lines lies inside the control, above the buttons.
TEST(WaitRetryMessage, EveryLineOfTheLongestMessageShows) {
    std::string message =
        "Locking Control (32) Locked by another station: the control record of the accounts database is held by a "
        "batch posting on PRACTICE-07 (user JBRENNAN) since 10:42; the outlay import waits for it to finish before it "
        "takes the next posting reference for this attachment.";
    while (message.size() < 255) message += " More.";
    message += " This text lies beyond the two hundred and fifty-fifth character and is not shown.";
    for (const std::string& text : {message, std::string("short")}) {
        WaitRetryMessage w(text);
        w.setTickMilliseconds(60000);
        runObserved(w, [&](WaitRetryMessage& win) {
            QApplication::processEvents();
            auto* label = win.controls().get<QLabel>("?LOC:MESSAGE");
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text().size(), std::min<qsizetype>(255, static_cast<qsizetype>(text.size())));
            EXPECT_TRUE(label->alignment() & Qt::AlignTop);
            EXPECT_FALSE(label->alignment() & Qt::AlignVCenter);
            EXPECT_TRUE(label->wordWrap());
            // All its lines fit the control's height at the control's width...
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << text.size();
            // ...the control lies below the prompt and above the buttons, inside the window.
            const QRect m = label->geometry();
            EXPECT_LE(win.controls().get<QLabel>("?PROMPT1")->geometry().bottom(), m.top());
            EXPECT_LT(m.bottom(), win.okButton()->geometry().top());
            EXPECT_LE(win.okButton()->geometry().bottom(), win.height());
            test::screenshot(win, text.size() > 255 ? "wait_retry_message_longest" : "wait_retry_message_short");
            win.cancelButton()->click();
        });
    }
}

TEST(WaitRetryMessage, Screenshot) {
    WaitRetryMessage w("Unable to lock the control record of the accounts database: another station is posting a batch.");
    w.setTickMilliseconds(60000);
    runObserved(w, [](WaitRetryMessage& win) {
        QApplication::processEvents();
        test::screenshot(win, "wait_retry_message");
        win.cancelButton()->click();
    });
}

}  // namespace
}  // namespace mg::shell
