#pragma once
// The widget tests' application object and a few helpers for driving windows.

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

// Waits, handling events, until `condition` holds; a wait that runs out fails the test.
// (QtTest's own QTRY_ macros only leave the test body when they run out, which GoogleTest
// counts as a pass.)
#define MG_WAIT_UNTIL(condition, ms) \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, ms)) << "waited " #ms " ms for " #condition
// The same for a value: the failure shows what it was when the wait ran out.
#define MG_WAIT_EQ(actual, expected, ms)                                              \
    do {                                                                              \
        QTest::qWaitFor([&] { return (actual) == (expected); }, ms);                  \
        ASSERT_EQ(actual, expected) << "after waiting " #ms " ms for " #actual;       \
    } while (false)

namespace mg::test {

// One QApplication for the whole test program, made before the first test runs (offscreen
// unless the caller chose a platform) and deleted after the last one, while main is still
// running: left to the static destructors it would go after parts of Qt it still needs.
inline QApplication& qtApp() {
    static int argc = 1;
    static char name[] = "mg_widget_tests";
    static char* argv[] = {name, nullptr};
    if (!qApp) {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
    return *qobject_cast<QApplication*>(qApp);
}
inline void endQtApp() { delete qApp; }

// Runs `action` on the first modal window that opens within `ms` milliseconds, from
// inside that window's own event loop.
inline void whenModalOpens(std::function<void(QWidget*)> action, int ms = 5000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action, ms] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            action(modal);
        } else if (clock->elapsed() > ms) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start();
}

// Types `text` into `edit` as the window system delivers keys: to its window, which a modal
// window holding it back swallows them from (QTest's widget functions bypass modality).
// True when the entry then holds `text`.
inline bool typeThroughWindow(QLineEdit* edit, const QString& text) {
    edit->clear();
    edit->window()->activateWindow();
    edit->setFocus();
    QApplication::processEvents();
    for (QChar c : text) QTest::keyClick(edit->window()->windowHandle(), c.toLatin1());
    QApplication::processEvents();
    return edit->text() == text;
}

// Types into an entry and leaves it with Tab, as the user does.
inline void typeAndLeave(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
}

// Clicks `button` as the window system delivers a click: through its window, which a modal
// window holding it back swallows the click from.
inline void clickThroughWindow(QAbstractButton* button) {
    QWidget* w = button->window();
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, button->mapTo(w, button->rect().center()));
}

// Where every widget inside `w` stands, in the window's coordinates (to compare a window
// with itself before and after a resize).
inline std::vector<QRect> placesIn(QWidget& w) {
    std::vector<QRect> places;
    for (QWidget* c : w.findChildren<QWidget*>()) places.emplace_back(c->mapTo(&w, QPoint(0, 0)), c->size());
    return places;
}

// Saves a picture of the window when MG_SCREENSHOTS names a folder (nothing otherwise).
inline void screenshot(QWidget& w, const std::string& name) {
    const QByteArray dir = qgetenv("MG_SCREENSHOTS");
    if (dir.isEmpty()) return;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    w.grab().save(QString::fromLocal8Bit(dir) + "/" + QString::fromStdString(name) + ".png");
}

}  // namespace mg::test
