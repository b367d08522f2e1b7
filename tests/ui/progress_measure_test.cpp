// The records-to-process measure that drives the progress bar.

#include <gtest/gtest.h>

#include "data/schema.h"
#include "ui/console.h"
#include "ui/progress_measure.h"

namespace mg::ui {
namespace {

TEST(DeclaredRowSize, CountsEachColumnByItsDeclaredType) {
    // case code text 11, diary id int32, name text 10, fee earner text 3
    EXPECT_EQ(declaredRowSize(decl(TableId::DiaryAttFees)), 28);
    // decimal 19.2 is packed in 10 bytes
    EXPECT_EQ(declaredRowSize(decl(TableId::SQLResultD)), 10);
    // text 10, text 3, int32
    EXPECT_EQ(declaredRowSize(decl(TableId::DocumentChargesFees)), 17);
}

TEST(ProgressMeasure, RisesToOneHundredAndStopsThere) {
    ProgressMeasure m;
    m.start(3 * 28, 1000);
    EXPECT_EQ(m.percent(), 0);
    EXPECT_EQ(m.add(28), 33);  // taken as a whole number
    EXPECT_EQ(m.add(28), 66);
    EXPECT_EQ(m.add(28), 100);
    // A row that arrived after the count does not push past 100.
    EXPECT_EQ(m.add(28), 100);
    EXPECT_EQ(m.processed(), 4 * 28);
}

TEST(ProgressMeasure, NothingCountedMeansDoneAtTheFirstRow) {
    ProgressMeasure m;
    m.start(0, 1000);
    EXPECT_EQ(m.add(28), 100);
}

TEST(ProgressMeasure, ACycleEndsOnceItsShareIsDone) {
    ProgressMeasure m;
    m.start(100000, 1000);
    m.startCycle();
    int rows = 0;
    while (!m.cycleDone()) {
        m.add(28);
        ++rows;
    }
    EXPECT_EQ(rows, 36);
    EXPECT_EQ(m.thisCycle(), 1008);
    m.startCycle();
    EXPECT_FALSE(m.cycleDone());
    EXPECT_EQ(m.processed(), 1008);
}

TEST(ProgressMeasure, LargeTotalsDoNotOverflow) {
    ProgressMeasure m;
    m.start(int64_t{50'000'000} * 28, 1000);
    for (int i = 0; i < 25'000'000; ++i) m.add(28);
    EXPECT_EQ(m.percent(), 50);
}

// The command line's progress line on a terminal: done, of about how many, rate, time left.
TEST(ProgressLine, SaysDoneOfAboutHowManyWithRateAndTimeLeft) {
    struct Case {
        int64_t done, total;
        double seconds;
        const char* says;
    } cases[] = {
        {0, 200000, 0.0, "0 of about 200,000 attachments"},
        {1000, 200000, 0.5, "1,000 of about 200,000 attachments"},  // too soon for a rate
        {1000, 200000, 2.0, "1,000 of about 200,000 attachments, 500/s, about 6 min 38 s left"},
        {180000, 200000, 3600.0, "180,000 of about 200,000 attachments, 50/s, about 6 min 40 s left"},
        {10, 1000000, 10.0, "10 of about 1,000,000 attachments, 1/s, about 277 h 46 min left"},
        {250, 100, 5.0, "250 of about 250 attachments, 50/s"},  // more came than were counted
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConsoleUserInterface::progressLine(c.done, c.total, "attachments", c.seconds), c.says);
}

}  // namespace
}  // namespace mg::ui
