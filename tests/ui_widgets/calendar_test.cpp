// The date picker as a user drives it: clicking days (a blank cell too), the year and month
// buttons, Today, and the three ways out (Select, Cancel, the close box).

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "data/dates.h"
#include "qt_app.h"
#include "ui/widgets/calendar.h"

namespace mg::ui {
namespace {

using dates::dateFromMDY;

// A fixed today for the Today button.
struct FixedClock : dates::Clock {
    int32_t today() const override { return dateFromMDY(12, 7, 2026); }
};

void clickCell(CalendarWindow& w, int cell) {
    QWidget* region = w.controls().widget("?DAY" + std::to_string(cell));
    ASSERT_NE(region, nullptr);
    QTest::mouseClick(&w, Qt::LeftButton, {}, region->geometry().center());
}

void press(CalendarWindow& w, const char* name) { w.controls().get<QPushButton>(name)->click(); }

// Runs the window modally, does `steps` inside its loop, and gives the date it returned.
int32_t runWith(CalendarWindow& w, const std::function<void(CalendarWindow&)>& steps) {
    test::whenModalOpens([&](QWidget*) { steps(w); });
    return w.run();
}

TEST(Calendar, PicksAndReturnsDates) {
    test::qtApp();
    FixedClock fixed;
    dates::setClock(&fixed);
    const int32_t given = dateFromMDY(3, 31, 2015);  // March 2015 starts on a Sunday
    struct Row {
        const char* what;
        std::function<void(CalendarWindow&)> steps;
        int32_t returned;
        const char* caption;  // the month shown at the end
    };
    const Row rows[] = {
        {"Select at once", [](CalendarWindow& w) { press(w, "?OKBUTTON"); }, given, "March, 2015"},
        {"Cancel after moving", [](CalendarWindow& w) { press(w, "?YEARPLUS"); press(w, "?CANCEL"); }, given, "March, 2016"},
        {"the close box", [](CalendarWindow& w) { press(w, "?MONTHPLUS"); w.close(); }, 0, "May, 2015"},  // 31 April runs on to 1 May
        {"month - from 31 March", [](CalendarWindow& w) { press(w, "?MONTHMINUS"); press(w, "?OKBUTTON"); },
         dateFromMDY(3, 3, 2015), "March, 2015"},
        {"a day clicked", [](CalendarWindow& w) { clickCell(w, 10); press(w, "?OKBUTTON"); }, dateFromMDY(3, 10, 2015),
         "March, 2015"},
        {"a blank cell clicked", [](CalendarWindow& w) { clickCell(w, 36); press(w, "?OKBUTTON"); }, dateFromMDY(3, 1, 2015),
         "March, 2015"},
        {"Today", [](CalendarWindow& w) { press(w, "?TODAY"); press(w, "?OKBUTTON"); }, dateFromMDY(12, 7, 2026),
         "December, 2026"},
        {"year - then a day", [](CalendarWindow& w) { press(w, "?YEARMINUS"); clickCell(w, 1); press(w, "?OKBUTTON"); },
         dateFromMDY(3, 1, 2014), "March, 2014"},  // March 2014 starts on a Saturday: cell 1 is blank
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CalendarWindow w("Select Date", given);
        EXPECT_EQ(runWith(w, r.steps), r.returned);
        EXPECT_EQ(w.controls().text("?LOC:MTH_YEAR").toStdString(), r.caption);
        EXPECT_EQ(w.windowTitle().toStdString(), "Select Date");
    }
    dates::setClock(nullptr);
}

TEST(Calendar, TheCircleSitsOnTheCellClicked) {
    test::qtApp();
    CalendarWindow w("Select Date", dateFromMDY(8, 15, 2015));  // August 2015: day 1 in cell 7
    w.show();
    EXPECT_EQ(w.controls().text("?LOC:DAY_6").toStdString(), "");
    EXPECT_EQ(w.controls().text("?LOC:DAY_7").toStdString(), "1");
    EXPECT_EQ(w.controls().text("?LOC:DAY_37").toStdString(), "31");
    EXPECT_EQ(w.circledField(), 67);
    EXPECT_TRUE(w.circle()->isVisible());

    clickCell(w, 3);  // blank: the first of the month, circle on the blank cell
    EXPECT_EQ(w.month().date, dateFromMDY(8, 1, 2015));
    EXPECT_EQ(w.circledField(), kFirstDayRegionField + 2);
    const QRect cell = w.controls().widget("?DAY3")->geometry();
    EXPECT_LT(std::abs(w.circle()->geometry().center().x() - cell.center().x()), cell.width());
    EXPECT_LT(std::abs(w.circle()->geometry().center().y() - cell.center().y()), cell.height());
    test::screenshot(w, "calendar");
}

}  // namespace
}  // namespace mg::ui
