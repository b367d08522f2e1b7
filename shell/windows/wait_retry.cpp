#include "shell/windows/wait_retry.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "ui/picture.h"
#include "ui/widgets/styler.h"

namespace mg::shell {
namespace {

constexpr int kMessageLength = 500;  // LOC:MESSAGE is text 500
constexpr int kDefaultTicks = 3;

QString retryText(int32_t ticks) { return QStringLiteral("&Retry (%1)").arg(ticks); }

}  // namespace

const ui::WindowDef& waitRetryMessageDef() {
    using K = ui::ControlKind;
    static const ui::WindowDef def{
        .caption = "Wait Message",
        .width = 305,
        .height = 75,
        .resizable = true,
        .controls =
            {
                {.kind = K::Prompt, .name = "?PROMPT1", .text = "Process is waiting for files to unlock", .x = 44, .y = 8, .w = 254, .h = 10},
                {.kind = K::String, .name = "?LOC:MESSAGE", .x = 44, .y = 22, .w = 254, .h = 28, .picture = "s255", .flags = ui::WordWrap},
                {.kind = K::Button, .name = "?BUTTON3", .x = 8, .y = 8, .w = 28, .h = 26, .icon = ui::kIconInformation,
                 .flags = ui::Skip | ui::Flat},
                {.kind = K::Button, .name = "?OK", .text = "&Retry(1)", .x = 176, .y = 54, .w = 60, .h = 15, .tip = "Accept Operation",
                 .status = "Accept operation", .icon = "WAOK.ICO"},
                {.kind = K::Button, .name = "?CANCEL", .text = "&Cancel", .x = 240, .y = 54, .w = 58, .h = 15, .tip = "Cancel Operation",
                 .status = "Cancel Operation", .icon = "WACANCEL.ICO"},
            },
    };
    return def;
}

WaitRetryMessage::WaitRetryMessage(std::string_view message, std::optional<int32_t> timer, QWidget* parent, Context* ctx)
    : QDialog(parent),
      message_(picture::cutToCharacters(message, kMessageLength)),
      timer_(timer.value_or(kDefaultTicks)),
      controls_(ui::buildWindow(*this, waitRetryMessageDef())),
      procedure_(*this, controls_, ui::StyleWindow, &resizer_) {
    if (ctx) words_.emplace(*ctx);
    controls_.setText("?LOC:MESSAGE", message_);
    fitMessage();
    ticker_.setTimerType(Qt::PreciseTimer);
    connect(&ticker_, &QTimer::timeout, this, &WaitRetryMessage::tick);
    connect(okButton(), &QPushButton::clicked, this, &WaitRetryMessage::okPressed);
    connect(cancelButton(), &QPushButton::clicked, this, &WaitRetryMessage::cancelPressed);
    // The window's own opening steps come before its styling and its resizer.
    procedure_.onOpen = [this] { opening(); };
}

WaitRetryMessage::~WaitRetryMessage() { ticker_.stop(); }

QPushButton* WaitRetryMessage::okButton() const { return controls_.get<QPushButton>("?OK"); }
QPushButton* WaitRetryMessage::cancelButton() const { return controls_.get<QPushButton>("?CANCEL"); }

// A message of more lines than its control holds gets them all: the control grows downwards
// and the window with it, the buttons keeping their place above its bottom edge. The window
// opens at this size, so it is also its minimum size.
void WaitRetryMessage::fitMessage() {
    auto* label = controls_.get<QLabel>("?LOC:MESSAGE");
    if (!label) return;
    const int extra = label->heightForWidth(label->width()) - label->height();
    if (extra <= 0) return;
    label->resize(label->width(), label->height() + extra);
    for (QPushButton* b : {okButton(), cancelButton()}) b->move(b->x(), b->y() + extra);
    resize(width(), height() + extra);
}

void WaitRetryMessage::opening() {
    showCountdown();
    ticker_.start(tickMs_);
}

void WaitRetryMessage::showCountdown() { okButton()->setText(retryText(timer_)); }

void WaitRetryMessage::tick() {
    --timer_;
    if (timer_ < 1) {
        // The countdown has run out: an automatic retry, as if ?OK had been pressed.
        ticker_.stop();
        QMetaObject::invokeMethod(okButton(), &QPushButton::click, Qt::QueuedConnection);
        return;
    }
    showCountdown();
}

void WaitRetryMessage::okPressed() {
    ticker_.stop();
    return_ = 1;
    done(QDialog::Accepted);
}

void WaitRetryMessage::cancelPressed() {
    ticker_.stop();
    done(QDialog::Rejected);
}

void WaitRetryMessage::closeEvent(QCloseEvent* event) {
    ticker_.stop();
    QDialog::closeEvent(event);
}

uint8_t WaitRetryMessage::run() {
    if (parentWidget()) setWindowModality(Qt::WindowModal);
    exec();
    ticker_.stop();
    if (words_) words_->leave();
    return return_;
}

uint8_t waitRetryMessage(std::string_view message, std::optional<int32_t> timer, QWidget* parent, Context* ctx) {
    WaitRetryMessage window(message, timer, parent, ctx);
    return window.run();
}

}  // namespace mg::shell
