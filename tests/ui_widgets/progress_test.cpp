// The progress window and the driver that runs a process in it: the order of the calls, no
// cycle inside another, Cancel answered No and Yes, the close box, runs that cannot start or
// have nothing to do, and the modeless run that cleans up after itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QEventLoop>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "qt_app.h"
#include "ui/scripted.h"
#include "ui/widgets/progress_window.h"
#include "ui/widgets/qt_ui.h"

namespace mg::ui {
namespace {

// A process of `total` cycles that records what the driver asks of it.
class FakeProcess : public Process {
public:
    FakeProcess(UserInterface& ui, ProgressView& view, int total) : Process(ui, view), total_(total) {}

    bool prepare() override {
        calls.push_back("prepare");
        view_.setCaption("Processing Records");
        view_.setPercentText("0% Completed");
        view_.setUserText("Processing Fake Charges");
        return startable;
    }
    void opened() override {
        calls.push_back("opened");
        if (total_ == 0) {
            response_ = RequestCancelled;
            endLoop();
        }
    }
    void cycle() override {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        const int n = ++started;
        calls.push_back("cycle");
        if (during) during(n);
        ++completed;
        showPercent(completed * 100 / total_);
        if (completed >= total_) {
            response_ = RequestCompleted;
            view_.setPercentText("Process Completed");
            endLoop();
        }
        --depth;
    }
    void cancelConfirmed() override {
        calls.push_back("cancelConfirmed");
        response_ = RequestCancelled;
        endLoop();
    }
    void finish() override { calls.push_back("finish"); }
    int response() const override { return response_; }

    bool startable = true;
    std::function<void(int)> during;  // called inside cycle n
    std::vector<std::string> calls;
    int started = 0, completed = 0, depth = 0, maxDepth = 0;

private:
    int total_;
    int response_ = RequestCancelled;
};

long countOf(const std::vector<std::string>& calls, const std::string& what) {
    return std::count(calls.begin(), calls.end(), what);
}

TEST(ProgressWindow, ShowsWhatTheProcessSets) {
    ProgressWindow w;
    w.setCaption("Processing Records");
    w.setUserText("Processing Outlay Charges");
    w.setPercentText(" 42% Completed");
    w.setBar(42);
    EXPECT_EQ(w.windowTitle(), "Processing Records");
    EXPECT_EQ(w.userString()->text(), "Processing Outlay Charges");
    EXPECT_EQ(w.pctText()->text(), " 42% Completed");
    EXPECT_EQ(w.thermometer()->value(), 42);
}

TEST(ProcessDriver, RunsPrepareOpenedCyclesAndFinishInOrder) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 4);
    bool shownAtPrepare = true;
    p.during = [&](int) { shownAtPrepare = shownAtPrepare && w.isVisible(); };
    const int response = runProcessWindow(w, p, false, &ui);
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"prepare", "opened", "cycle", "cycle", "cycle", "cycle", "finish"}));
    EXPECT_TRUE(shownAtPrepare);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.thermometer()->value(), 100);
    EXPECT_EQ(w.pctText()->text(), "Process Completed");
    EXPECT_EQ(w.windowTitle(), "Processing Records");
}

TEST(ProcessDriver, NothingToReadEndsAtOpeningWithoutACycle) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 0);
    EXPECT_EQ(runProcessWindow(w, p, false, &ui), RequestCancelled);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"prepare", "opened", "finish"}));
}

TEST(ProcessDriver, AProcessThatCannotStartShowsNoWindow) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 3);
    p.startable = false;
    EXPECT_EQ(runProcessWindow(w, p, false, &ui), 0);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"prepare"}));
    EXPECT_FALSE(w.isVisible());
}

// A real message box inside a cycle runs a nested event loop; the driver's timer must not
// start another cycle while it is open, however short its interval.
TEST(ProcessDriver, ACycleIsNotReenteredWhileItsMessageBoxIsOpen) {
    ProgressWindow w;
    QtUserInterface ui(&w);
    FakeProcess p(ui, w, 5);
    int answered = 0;
    p.during = [&](int n) {
        if (n != 2) return;
        test::whenModalOpens([&](QWidget* box) {
            // Let the event loop run for a while with the box open before answering it.
            QTimer::singleShot(150, box, [&, box] {
                ++answered;
                if (auto* mb = qobject_cast<QMessageBox*>(box)) mb->button(QMessageBox::Ok)->click();
            });
        });
        ui.message("A posting failed|and the run goes on");
    };
    ProcessDriver driver(w, p, &ui);
    driver.setIntervalMs(1);
    QEventLoop loop;
    QObject::connect(&driver, &ProcessDriver::finished, &loop, &QEventLoop::quit);
    ASSERT_TRUE(driver.start());
    loop.exec();
    EXPECT_EQ(answered, 1);
    EXPECT_EQ(p.maxDepth, 1);
    EXPECT_EQ(p.completed, 5);
    EXPECT_EQ(countOf(p.calls, "finish"), 1);
}

TEST(ProcessDriver, CancelAnsweredNoGoesOnAndYesEndsAfterTheCurrentCycle) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 20);
    ui.answers = {ButtonNo, ButtonYes};
    // Cancel is pressed while cycles 3 and 6 are in progress.
    p.during = [&](int n) {
        if (n == 3 || n == 6) w.cancelButton()->click();
    };
    EXPECT_EQ(runProcessWindow(w, p, false, &ui), RequestCancelled);
    // The No let the run go on; the Yes came after cycle 6 had finished its work.
    EXPECT_EQ(p.started, 6);
    EXPECT_EQ(p.completed, 6);
    EXPECT_EQ(p.maxDepth, 1);
    ASSERT_EQ(ui.messages.size(), 2u);
    const Message& q = ui.messages[0];
    EXPECT_EQ(q.caption, "Cancel Process");
    EXPECT_EQ(q.text,
              "This Process is incomplete... | If you cancel now your RESULTS MAY BE INCORRECT!! || Do you still wish to Cancel?");
    EXPECT_EQ(q.icon, Icon::Question);
    EXPECT_EQ(q.buttons, ButtonYes + ButtonNo);
    EXPECT_EQ(q.defaultButton, ButtonNo);
    EXPECT_EQ(countOf(p.calls, "cancelConfirmed"), 1);
    EXPECT_EQ(p.calls.back(), "finish");
    EXPECT_FALSE(w.isVisible());
}

TEST(ProcessDriver, TheCloseBoxAndEscapeAskAsCancelDoes) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 10);
    ui.answers = {ButtonNo, ButtonYes};
    p.during = [&](int n) {
        if (n == 2) QMetaObject::invokeMethod(&w, &QWidget::close, Qt::QueuedConnection);
        if (n == 4) QMetaObject::invokeMethod(&w, [&] { QTest::keyClick(&w, Qt::Key_Escape); }, Qt::QueuedConnection);
    };
    EXPECT_EQ(runProcessWindow(w, p, false, &ui), RequestCancelled);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_GE(p.completed, 4);
    EXPECT_LT(p.completed, 10);
    EXPECT_FALSE(w.isVisible());
}

TEST(ProcessDriver, AHaltStopsTheRunWithoutItsEndSteps) {
    ProgressWindow w;
    ScriptedUserInterface ui;
    FakeProcess p(ui, w, 10);
    p.during = [&](int n) {
        if (n == 2) ui.halt("Disk Error");
    };
    EXPECT_EQ(runProcessWindow(w, p, false, &ui), 0);
    EXPECT_EQ(p.started, 2);
    EXPECT_EQ(countOf(p.calls, "finish"), 0);
    EXPECT_FALSE(w.isVisible());
}

TEST(ProcessWindow, ARunTheCallerWaitsForHoldsBackNoOtherWindow) {
    // The owner and a window it opened before the run.
    QWidget frame;
    frame.resize(400, 300);
    frame.show();
    QDialog other(&frame);
    auto* entry = new QLineEdit(&other);
    other.show();
    QApplication::processEvents();
    bool ownWindow = false, typedDuringRun = false, typedDuringBox = false;
    const int response = runProcessWindow(&frame, [&](ProgressWindow& w, UserInterface& ui) -> std::unique_ptr<Process> {
        auto p = std::make_unique<FakeProcess>(ui, w, 2);
        p->during = [&w, &ui, &ownWindow, &typedDuringRun, &typedDuringBox, entry](int n) {
            if (n == 1) {
                ownWindow = w.parentWidget() == nullptr && w.windowModality() == Qt::NonModal && w.isVisible();
                typedDuringRun = test::typeThroughWindow(entry, "12");
                return;
            }
            // The run's message box holds back its own window only.
            test::whenModalOpens([&typedDuringBox, entry](QWidget* box) {
                typedDuringBox = test::typeThroughWindow(entry, "34");
                QTimer::singleShot(0, box, [box] { static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click(); });
            });
            ui.message("Import Complete!");
        };
        return p;
    });
    EXPECT_EQ(response, RequestCompleted);
    EXPECT_TRUE(ownWindow);
    EXPECT_TRUE(typedDuringRun);
    EXPECT_TRUE(typedDuringBox);
}

TEST(ProcessWindow, AModelessRunReturnsAtOnceAndCleansUpWhenItEnds) {
    QWidget frame;
    auto kept = std::make_shared<int>(7);  // stands for the run's own context
    std::weak_ptr<int> watch = kept;
    int response = -1;
    bool started = startProcessWindow(
        &frame,
        [kept](ProgressWindow& w, UserInterface& ui) -> std::unique_ptr<Process> { return std::make_unique<FakeProcess>(ui, w, 3); },
        [&](int r) { response = r; });
    kept.reset();
    ASSERT_TRUE(started);
    EXPECT_EQ(response, -1);  // still running: the caller carries on
    EXPECT_FALSE(watch.expired());
    MG_WAIT_EQ(response, static_cast<int>(RequestCompleted), 5000);
    // Once the run has been deleted, what its factory held is released.
    MG_WAIT_UNTIL(watch.expired(), 5000);
    EXPECT_TRUE(frame.findChildren<ProgressWindow*>().isEmpty());
}

TEST(ProcessWindow, AModelessRunThatCannotStartLeavesNothingBehind) {
    QWidget frame;
    bool called = false;
    bool started = startProcessWindow(
        &frame,
        [](ProgressWindow& w, UserInterface& ui) -> std::unique_ptr<Process> {
            auto p = std::make_unique<FakeProcess>(ui, w, 3);
            p->startable = false;
            return p;
        },
        [&](int) { called = true; });
    EXPECT_FALSE(started);
    QApplication::processEvents();
    EXPECT_FALSE(called);
    EXPECT_TRUE(frame.findChildren<ProgressWindow*>().isEmpty());
}

TEST(ProgressWindow, Screenshot) {
    ProgressWindow w;
    w.setCaption("Processing Records");
    w.setUserText("Processing Outlay Charges");
    w.setPercentText(" 37% Completed");
    w.setBar(37);
    w.show();
    QApplication::processEvents();
    test::screenshot(w, "progress_window");
    w.closeForGood();
}

}  // namespace
}  // namespace mg::ui
