#include "ui/widgets/progress_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace mg::ui {
namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

const WindowDef& progressWindowDef() {
    using K = ControlKind;
    static const WindowDef def{
        .caption = "Progress...",
        .width = 142,
        .height = 59,
        .controls =
            {
                {.kind = K::Progress, .name = "?PROGRESS:THERMOMETER", .x = 15, .y = 15, .w = 111, .h = 12, .low = 0, .high = 100},
                {.kind = K::String, .name = "?PROGRESS:USERSTRING", .x = 0, .y = 3, .w = 141, .h = 10, .flags = Centred},
                {.kind = K::String, .name = "?PROGRESS:PCTTEXT", .x = 0, .y = 30, .w = 141, .h = 10, .flags = Centred},
                {.kind = K::Button, .name = "?PROGRESS:CANCEL", .text = "Cancel", .x = 45, .y = 42, .w = 50, .h = 15},
            },
    };
    return def;
}

// ---- ProgressWindow --------------------------------------------------------------------------

ProgressWindow::ProgressWindow(QWidget* parent, int styleType)
    : QDialog(parent), controls_(buildWindow(*this, progressWindowDef())), procedure_(*this, controls_, styleType) {
    connect(cancelButton(), &QPushButton::clicked, this, &ProgressWindow::cancelRequested);
    cancelButton()->setAutoDefault(false);
}

ProgressWindow::~ProgressWindow() = default;

QProgressBar* ProgressWindow::thermometer() const { return controls_.get<QProgressBar>("?PROGRESS:THERMOMETER"); }
QLabel* ProgressWindow::userString() const { return controls_.get<QLabel>("?PROGRESS:USERSTRING"); }
QLabel* ProgressWindow::pctText() const { return controls_.get<QLabel>("?PROGRESS:PCTTEXT"); }
QPushButton* ProgressWindow::cancelButton() const { return controls_.get<QPushButton>("?PROGRESS:CANCEL"); }

void ProgressWindow::setCaption(std::string_view text) { setWindowTitle(qs(text)); }

void ProgressWindow::setUserText(std::string_view text) { userString()->setText(qs(text)); }

void ProgressWindow::setPercentText(std::string_view text) {
    pctText()->setText(qs(text));
    pctText()->repaint();
}

void ProgressWindow::setBar(int percent) {
    thermometer()->setValue(percent);
    thermometer()->repaint();
}

void ProgressWindow::closeForGood() {
    closing_ = true;
    done(QDialog::Accepted);
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        QDialog::closeEvent(event);
        return;
    }
    // The close box asks as Cancel does; the window closes only once the process has ended.
    event->ignore();
    emit cancelRequested();
}

void ProgressWindow::reject() {
    if (closing_) {
        QDialog::reject();
        return;
    }
    emit cancelRequested();
}

// ---- ProcessDriver ---------------------------------------------------------------------------

ProcessDriver::ProcessDriver(ProgressWindow& window, Process& process, UserInterface* ui)
    : window_(&window), process_(process), ui_(ui) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ProcessDriver::onTimer);
}

ProcessDriver::~ProcessDriver() { timer_.stop(); }

bool ProcessDriver::start() {
    started_ = true;
    if (intervalMs_ < 0) intervalMs_ = std::max(0, process_.timerHundredths()) * 10;
    if (!process_.prepare() || haltedNow()) {
        done_ = true;
        return false;
    }
    connect(window_.data(), &ProgressWindow::cancelRequested, this, &ProcessDriver::onCancel);
    window_->show();
    QMetaObject::invokeMethod(this, &ProcessDriver::onOpened, Qt::QueuedConnection);
    return true;
}

void ProcessDriver::onOpened() {
    if (done_) return;
    busy_ = true;
    process_.opened();
    busy_ = false;
    afterStep();
}

void ProcessDriver::onTimer() {
    if (done_ || busy_) return;
    busy_ = true;
    process_.cycle();
    ++cycles_;
    busy_ = false;
    afterStep();
}

void ProcessDriver::onCancel() {
    if (done_) return;
    if (busy_) {
        // A cycle (or its message box) is in progress: the Cancel is answered after it.
        cancelPending_ = true;
        return;
    }
    timer_.stop();
    busy_ = true;
    process_.cancelPressed();
    busy_ = false;
    afterStep();
}

void ProcessDriver::afterStep() {
    if (done_) return;
    if (haltedNow()) {
        // The program is ending: nothing more of the run happens.
        done_ = true;
        timer_.stop();
        if (window_) window_->closeForGood();
        emit finished(0);
        return;
    }
    if (process_.ended()) {
        end();
        return;
    }
    if (cancelPending_) {
        cancelPending_ = false;
        onCancel();
        return;
    }
    timer_.start(intervalMs_);
}

void ProcessDriver::end() {
    done_ = true;
    timer_.stop();
    process_.finish();
    if (window_) window_->closeForGood();
    emit finished(process_.response());
}

// ---- running ---------------------------------------------------------------------------------

int runProcessWindow(ProgressWindow& window, Process& process, bool windowModal, UserInterface* ui) {
    window.setWindowModality(windowModal ? Qt::WindowModal : Qt::NonModal);
    ProcessDriver driver(window, process, ui);
    QEventLoop loop;
    int result = 0;
    QObject::connect(&driver, &ProcessDriver::finished, &loop, [&](int response) {
        result = response;
        loop.quit();
    });
    if (!driver.start()) return 0;
    if (!driver.done()) loop.exec();
    return result;
}

int runProcessWindow(QWidget* owner, const ProcessFactory& make, int styleType) {
    ProgressWindow window(nullptr, styleType);
    if (owner) {
        // Over the middle of the owner, as a dialog of the owner would open.
        const QRect area = owner->window()->frameGeometry();
        window.adjustSize();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    QtUserInterface ui(&window);
    std::unique_ptr<Process> process = make(window, ui);
    if (!process) return 0;
    return runProcessWindow(window, *process, false, &ui);
}

namespace {

// One modeless run: everything it needs, deleted together once the run has ended. Made a
// child of the caller's window before the progress window, so that closing that window
// takes the run down before its progress window.
class ProcessRun : public QObject {
public:
    ProcessRun(QObject* parent, ProcessFactory make) : QObject(parent), make_(std::move(make)) {}
    ~ProcessRun() override {
        driver.reset();
        process.reset();
        ui.reset();
        delete window.data();
        make_ = nullptr;
    }
    ProcessFactory make_;
    QPointer<ProgressWindow> window;
    std::unique_ptr<QtUserInterface> ui;
    std::unique_ptr<Process> process;
    std::unique_ptr<ProcessDriver> driver;
};

}  // namespace

bool startProcessWindow(QWidget* parent, ProcessFactory make, std::function<void(int)> done, int styleType) {
    auto* run = new ProcessRun(parent, std::move(make));
    run->window = new ProgressWindow(parent, styleType);
    run->window->setWindowModality(Qt::NonModal);
    run->ui = std::make_unique<QtUserInterface>(run->window.data());
    run->process = run->make_(*run->window, *run->ui);
    if (!run->process) {
        delete run;
        return false;
    }
    run->driver = std::make_unique<ProcessDriver>(*run->window, *run->process, run->ui.get());
    QObject::connect(run->driver.get(), &ProcessDriver::finished, run, [run, done](int response) {
        if (done) done(response);
        run->deleteLater();
    });
    if (!run->driver->start()) {
        delete run;
        return false;
    }
    return true;
}

}  // namespace mg::ui
