#include "ui/widgets/calendar.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "data/dates.h"

namespace mg::ui {

const WindowDef& calendarDef() {
    using K = ControlKind;
    static const WindowDef def = [] {
        WindowDef d{.caption = "", .width = 131, .height = 82, .fontName = "Arial", .fontPoints = 8};
        auto& c = d.controls;
        c.push_back({.kind = K::Box, .name = "?BOX1", .x = 88, .y = 0, .w = 43, .h = 82, .field = 1});
        c.push_back({.kind = K::String, .name = "?LOC:MTH_YEAR", .x = 3, .y = 0, .w = 85, .h = 10, .picture = "s15", .field = 2});
        c.push_back({.kind = K::Button, .name = "?YEARPLUS", .text = "+", .x = 92, .y = 9, .w = 18, .h = 9, .field = 3});
        c.push_back({.kind = K::Button, .name = "?YEARMINUS", .text = "-", .x = 110, .y = 9, .w = 18, .h = 9, .field = 4});
        c.push_back({.kind = K::Button, .name = "?MONTHPLUS", .text = "+", .x = 92, .y = 27, .w = 18, .h = 9, .field = 5});
        c.push_back({.kind = K::Button, .name = "?MONTHMINUS", .text = "-", .x = 110, .y = 27, .w = 18, .h = 9, .field = 6});
        // The weekday heading runs up to the panel, so that "Sa" keeps its room in fonts a
        // little wider than the one the window was drawn in.
        c.push_back({.kind = K::String, .name = "?STRING1", .text = "Su  Mo Tu  We Th  Fr  Sa", .x = 3, .y = 9, .w = 85, .h = 8,
                     .field = 7});
        c.push_back({.kind = K::Ellipse, .name = "?ELLIPSE", .w = 11, .h = 10, .flags = Hidden, .field = 8});
        for (int k = 1; k <= kCalendarCells; ++k)
            c.push_back({.kind = K::String, .name = "?LOC:DAY_" + std::to_string(k), .x = 3 + 12 * ((k - 1) % 7),
                         .y = 19 + 10 * ((k - 1) / 7), .w = 8, .h = 8, .picture = "s2b", .flags = RightAligned,
                         .field = kFirstDayTextField + k - 1});
        c.push_back({.kind = K::Region, .name = "?OFFSET", .x = 116, .y = 0, .w = 13, .h = 11, .field = 46});
        for (int k = 1; k <= kCalendarCells; ++k)
            c.push_back({.kind = K::Region, .name = "?DAY" + std::to_string(k), .x = 3 + 12 * ((k - 1) % 7),
                         .y = 19 + 10 * ((k - 1) / 7), .w = 8, .h = 8, .field = kFirstDayRegionField + k - 1});
        c.push_back({.kind = K::Button, .name = "?TODAY", .text = "Today", .x = 92, .y = 37, .w = 36, .h = 10, .field = 84});
        c.push_back({.kind = K::Button, .name = "?OKBUTTON", .text = "Select", .x = 92, .y = 58, .w = 36, .h = 10,
                     .flags = DefaultButton, .field = 85});
        c.push_back({.kind = K::Button, .name = "?CANCEL", .text = "Cancel", .x = 92, .y = 69, .w = 36, .h = 10, .field = 86});
        // The labels of the two button pairs have no field of their own in the window's
        // description; they are numbered after the last control so that nothing refers to them.
        c.push_back({.kind = K::Prompt, .name = "?YEAR:PROMPT", .text = "Year", .x = 92, .y = 1, .w = 22, .h = 8, .field = 87});
        c.push_back({.kind = K::Prompt, .name = "?MONTH:PROMPT", .text = "Month", .x = 92, .y = 19, .w = 30, .h = 8, .field = 88});
        return d;
    }();
    return def;
}

CalendarWindow::CalendarWindow(const std::string& title, int32_t date, QWidget* parent)
    : QDialog(parent), given_(date), controls_(buildWindow(*this, calendarDef())) {
    setWindowTitle(QString::fromStdString(title));
    // The box behind the buttons is a filled panel; the regions take the clicks (below).
    if (auto* box = controls_.widget("?BOX1")) {
        box->setAutoFillBackground(true);
        box->setBackgroundRole(QPalette::Button);
    }
    for (int k = 1; k <= kCalendarCells; ++k)
        if (auto* region = controls_.widget("?DAY" + std::to_string(k))) region->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto step = [this](CalendarStep s) { return [this, s] { moveDate(calendarStep(month_.date, s)); }; };
    connect(controls_.get<QPushButton>("?YEARPLUS"), &QPushButton::clicked, this, step(CalendarStep::YearPlus));
    connect(controls_.get<QPushButton>("?YEARMINUS"), &QPushButton::clicked, this, step(CalendarStep::YearMinus));
    connect(controls_.get<QPushButton>("?MONTHPLUS"), &QPushButton::clicked, this, step(CalendarStep::MonthPlus));
    connect(controls_.get<QPushButton>("?MONTHMINUS"), &QPushButton::clicked, this, step(CalendarStep::MonthMinus));
    connect(controls_.get<QPushButton>("?TODAY"), &QPushButton::clicked, this, [this] { moveDate(dates::today()); });
    connect(controls_.get<QPushButton>("?OKBUTTON"), &QPushButton::clicked, this, [this] { finish(month_.date); });
    connect(controls_.get<QPushButton>("?CANCEL"), &QPushButton::clicked, this, [this] { finish(given_); });
    month_.date = date;
    fillMonth();
}

QWidget* CalendarWindow::circle() const { return controls_.widget("?ELLIPSE"); }

// The month of the selected date into the cells, and the circle on the selected day.
void CalendarWindow::fillMonth() {
    controls_.setHidden("?ELLIPSE", true);
    month_ = CalendarMonth::of(month_.date);
    controls_.setText("?LOC:MTH_YEAR", month_.monthYear);
    for (int k = 1; k <= kCalendarCells; ++k)
        controls_.setText("?LOC:DAY_" + std::to_string(k), month_.cells[k - 1] ? std::to_string(month_.cells[k - 1]) : "");
    circled_ = month_.circledField();
    placeCircle();
}

void CalendarWindow::placeCircle() {
    QWidget* region = qobject_cast<QWidget*>(controls_.at(circled_));
    QWidget* ellipse = circle();
    if (!region || !ellipse) return;
    const DialogUnits& u = controls_.units();
    const int day = month_.dayOfField(circled_);
    const int x = u.unitsX(region->x()) + (day <= 9 ? 1 : -1);
    const int y = u.unitsY(region->y()) - 1;
    ellipse->setGeometry(u.rect(x, y, 11, 10));
    ellipse->raise();
    ellipse->setAttribute(Qt::WA_TransparentForMouseEvents);
    ellipse->show();
    month_.date = month_.dayInMonth(day);
}

void CalendarWindow::moveDate(int32_t date) {
    if (date == dates::kNoDate) return;  // before the first valid date: nothing to show
    month_.date = date;
    fillMonth();
    if (auto* select = controls_.widget("?OKBUTTON")) select->setFocus();
}

void CalendarWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    for (int f = kFirstDayRegionField; f < kFirstDayRegionField + kCalendarCells; ++f) {
        auto* region = qobject_cast<QWidget*>(controls_.at(f));
        if (region && region->geometry().contains(at)) {
            circled_ = f;
            placeCircle();
            return;
        }
    }
    QDialog::mousePressEvent(event);
}

void CalendarWindow::finish(int32_t date) {
    result_ = date;
    finished_ = true;
    accept();
}

void CalendarWindow::keyPressEvent(QKeyEvent* event) {
    // Escape is the keyboard's Cancel: the date given comes back.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        finish(given_);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CalendarWindow::closeEvent(QCloseEvent* event) {
    if (!finished_) result_ = 0;
    QDialog::closeEvent(event);
}

int32_t CalendarWindow::run() {
    result_ = 0;
    exec();
    return finished_ ? result_ : 0;
}

int32_t calendar(const std::string& title, int32_t date, QWidget* parent) {
    CalendarWindow window(title, date, parent);
    return window.run();
}

}  // namespace mg::ui
