#pragma once
// CALENDAR: a small modal window that shows one month as a grid of day cells and lets the
// user pick a date with the mouse. It runs on its caller's context, inside the caller's
// event handling, and returns the chosen date: "Select" the date selected at that moment,
// "Cancel" (or Escape) the date given, any other close (the close box, the program closing
// down) 0.

#include <cstdint>
#include <string>

#include <QDialog>

#include "ui/calendar_month.h"
#include "ui/widgets/controls.h"

namespace mg::ui {

const WindowDef& calendarDef();

class CalendarWindow : public QDialog {
    Q_OBJECT
public:
    CalendarWindow(const std::string& title, int32_t date, QWidget* parent = nullptr);

    // Runs the window modally and returns the date as described above.
    int32_t run();

    // What the window shows, for the tests.
    const CalendarMonth& month() const { return month_; }
    int circledField() const { return circled_; }
    Controls& controls() { return controls_; }
    QWidget* circle() const;
    int32_t result() const { return result_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void fillMonth();
    void placeCircle();
    void moveDate(int32_t date);
    void finish(int32_t date);

    int32_t given_;
    int32_t result_ = 0;
    bool finished_ = false;
    CalendarMonth month_;
    int circled_ = 0;  // the field number of the click region of the selected day
    Controls controls_;
};

// CALENDAR(title, date): the date picked (see CalendarWindow).
int32_t calendar(const std::string& title, int32_t date, QWidget* parent = nullptr);

}  // namespace mg::ui
