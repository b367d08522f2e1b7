// The desktop program: start-up, the main frame, and the restoring of the desktop setting
// when the frame has closed.

#include "shell/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <QApplication>
#include <QMessageBox>

#include "shell/settings.h"
#include "shell/windows/drag_setting.h"
#include "shell/windows/main_frame.h"
#include "shell/windows/startup.h"
#include "shell/windows/wait_retry.h"
#include "ui/widgets/qt_ui.h"
#include "ui/widgets/styler.h"

namespace mg::shell {
namespace {

QtMessageHandler qtHandler = nullptr;
std::string displayTrouble;  // what Qt said of the display while the application was made

// While the application is made: a display that is set but cannot be reached ends Qt in an
// abort of several lines about its platform plug-ins; it is said in one line instead.
void whileStarting(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::string said = text.section('\n', 0, 0).toStdString();
    if (type == QtFatalMsg) {
        const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
        std::fprintf(stderr,
                     "marrowgate: the desktop program cannot open its display%s (%s); the commands run without one: "
                     "marrowgate --help\n",
                     display.empty() ? "" : (" " + display).c_str(), displayTrouble.empty() ? said.c_str() : displayTrouble.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (context.category && std::string_view(context.category).starts_with("qt.qpa")) {
        if (displayTrouble.empty()) displayTrouble = said;
        return;
    }
    if (qtHandler) qtHandler(type, context, text);
}

}  // namespace

int runDesktop(int argc, char** argv) {
#if !defined(_WIN32) && !defined(__APPLE__)
    // Without a display Qt would abort with several lines about its platform plug-ins.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("marrowgate: the desktop program needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set); the commands "
                   "run without one: marrowgate --help\n",
                   stderr);
        return 1;
    }
#endif
    qtHandler = qInstallMessageHandler(whileStarting);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setApplicationName("Marrowgate");
    // The frame decides when the program ends, not the last window to close.
    QApplication::setQuitOnLastWindowClosed(false);

    // 1. The connection string (GLO:DBOWNER) and the data layer's settings.
    const Globals& g = startUp();
    if (const std::string trouble = connectionIniTrouble(g.connectionIni); !trouble.empty()) {
        // The built-in defaults would reach another database than the one meant.
        QMessageBox::critical(nullptr, "Marrowgate", QString::fromStdString("The program cannot start: " + trouble + "."));
        return 1;
    }
    // 2. Styling.
    loadStyling(ui::styler());
    // 3. Full-window dragging off for the length of the run.
    const int32_t currentDragSetting = readDragFullWindows();  // lCurrentFDSetting
    if (currentDragSetting == 1) writeDragFullWindows(0);

    // The wait/retry message of the posting is this shell's window.
    ui::QtUserInterface::setDefaultWaitRetry(
        [](std::string_view text, int ticks, QWidget* parent) -> int { return waitRetryMessage(text, ticks, parent); });

    int exitCode = 0;
    {
        // 4. MAIN, until the frame closes.
        MainFrame frame(g.connection.db);
        QObject::connect(&frame, &MainFrame::closed, &app, [] { QCoreApplication::exit(0); });
        frame.show();
        exitCode = app.exec();
    }

    // 5. Full-window dragging back on when it was on.
    if (currentDragSetting == 1) writeDragFullWindows(1);
    ui::QtUserInterface::setDefaultWaitRetry({});
    return exitCode;
}

}  // namespace mg::shell
