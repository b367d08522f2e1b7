#include "ui/widgets/qt_ui.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace mg::ui {

int popupMenu(const std::string& text, QWidget* parent, const QPoint& at) {
    QMenu menu(parent);
    int number = 0;
    QAction* active = nullptr;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('|', start);
        if (end == std::string::npos) end = text.size();
        std::string label = text.substr(start, end - start);
        start = end + 1;
        if (label == "-") {
            menu.addSeparator();
            continue;
        }
        const char mark = label.empty() ? '\0' : label[0];
        if (mark == '~' || mark == '-' || mark == '+') label.erase(0, 1);
        QAction* a = menu.addAction(QString::fromStdString(label));
        a->setEnabled(mark != '~');
        a->setCheckable(mark == '-' || mark == '+');
        a->setChecked(mark == '+');
        a->setData(++number);
        if (mark == '+') active = a;
    }
    QAction* chosen = menu.exec(at, active);
    return chosen ? chosen->data().toInt() : 0;
}
namespace {

QtUserInterface::WaitRetry& defaultWaitRetry() {
    static QtUserInterface::WaitRetry f;
    return f;
}

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct ButtonMap {
    int ours;
    QMessageBox::StandardButton theirs;
};

constexpr ButtonMap kButtons[] = {
    {ButtonOk, QMessageBox::Ok},         {ButtonYes, QMessageBox::Yes},     {ButtonNo, QMessageBox::No},
    {ButtonCancel, QMessageBox::Cancel}, {ButtonRetry, QMessageBox::Retry}, {ButtonIgnore, QMessageBox::Ignore},
    {ButtonAbort, QMessageBox::Abort},
};

QMessageBox::Icon iconOf(Icon icon) {
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtUserInterface::setDefaultWaitRetry(WaitRetry f) { defaultWaitRetry() = std::move(f); }

int QtUserInterface::message(const Message& m) {
    QMessageBox box(parent_);
    // A box holds back the window it belongs to (and that window's family), never the
    // windows of the program's other runs.
    if (parent_) box.setWindowModality(Qt::WindowModal);
    box.setWindowTitle(qs(m.caption));
    box.setIcon(iconOf(m.icon));
    box.setTextFormat(Qt::PlainText);
    box.setText(qs(withLineBreaks(m.text)));
    QMessageBox::StandardButtons buttons;
    for (const ButtonMap& b : kButtons)
        if (m.buttons & b.ours) buttons |= b.theirs;
    if (!buttons) buttons = QMessageBox::Ok;
    box.setStandardButtons(buttons);
    for (const ButtonMap& b : kButtons) {
        if (m.defaultButton == b.ours && (buttons & b.theirs)) {
            box.setDefaultButton(b.theirs);
            break;
        }
    }
    // The close box answers as Escape would: Cancel, else No, else the only button there is.
    if (buttons & QMessageBox::Cancel) box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons & QMessageBox::No) box.setEscapeButton(QMessageBox::No);
    const int pressed = box.exec();
    for (const ButtonMap& b : kButtons)
        if (pressed == b.theirs) return b.ours;
    return m.defaultButton;
}

int QtUserInterface::waitRetry(std::string_view text, int ticks) {
    if (waitRetry_) return waitRetry_(text, ticks, parent_);
    if (defaultWaitRetry()) return defaultWaitRetry()(text, ticks, parent_);
    // No wait/retry window in this program: ask plainly.
    return message(Message{std::string(text), "Wait Message", Icon::Information, ButtonRetry + ButtonCancel, ButtonRetry}) ==
                   ButtonRetry
               ? 1
               : 0;
}

void QtUserInterface::setClipboard(std::string_view text) {
    if (QClipboard* c = QGuiApplication::clipboard()) c->setText(qs(text));
}

void QtUserInterface::beep() { QApplication::beep(); }

void QtUserInterface::halt(std::string_view text) {
    markHalted(text);
    QMessageBox box(QMessageBox::Critical, QString(), qs(withLineBreaks(text)), QMessageBox::Ok, parent_);
    box.exec();
    QCoreApplication::exit(1);
}

}  // namespace mg::ui
