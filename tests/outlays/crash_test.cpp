// The command line's outlay import killed with SIGKILL at random moments (while it starts,
// settles the journal, posts, commits, stores the tracking reference) and run again each
// time: after every kill no attachment is half posted, none is posted twice, and the books
// balance; once a run completes, none is lost.

#include <cstdlib>
#include <random>

#include "outlay_fixture.h"
#include "program.h"

namespace mg::test {
namespace {

#ifdef MG_MARROWGATE_BINARY

class Crash : public OutlayFixture {
protected:
    int seeded = 0;
    // More attachments, each with a matter of its own, so that its lines can be told apart;
    // odd ones have one charge row, even ones two.
    void seedAttachments(int n) {
        std::string sql = "BEGIN;";
        for (int i = seeded + 1; i <= seeded + n; ++i) {
            std::string m = "'M" + std::to_string(i) + "'";
            sql += "INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES (" + m + ", '100.00');";
            sql += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME) VALUES (77, " + std::to_string(i) + ", " + m +
                   ", '" + (i % 2 ? "ONE" : "TWO") + "');";
        }
        db.exec(sql + "COMMIT;");
        seeded += n;
    }
    // Attachments with more lines than their document has charge rows, and with fewer.
    long long postedTwice() {
        return count("(SELECT MATTER, count(*) AS n FROM BatchDetails GROUP BY MATTER) l JOIN DiaryAttachments a ON a.CASECODE = l.MATTER",
                     "l.n > (CASE a.NAME WHEN 'TWO' THEN 2 ELSE 1 END)");
    }
    long long halfPosted() {
        return count("(SELECT MATTER, count(*) AS n FROM BatchDetails GROUP BY MATTER) l JOIN DiaryAttachments a ON a.CASECODE = l.MATTER",
                     "l.n < (CASE a.NAME WHEN 'TWO' THEN 2 ELSE 1 END)");
    }
};

TEST_F(Crash, KilledRunsPostEveryAttachmentExactlyOnce) {
#if defined(__SANITIZE_ADDRESS__)
    int kills = 50;
#else
    int kills = 60;
#endif
    // Where a program takes longer to start (the Windows build under Wine) the runner gives
    // the number of kills and the longest wait before one (MG_CRASH_KILLS, MG_CRASH_WITHIN_MS).
    int within = 160;
    if (const char* k = std::getenv("MG_CRASH_KILLS")) kills = std::atoi(k);
    if (const char* w = std::getenv("MG_CRASH_WITHIN_MS")) within = std::atoi(w);
    outlayCode("CSF", "Court Stamp Fee");
    charge("ONE", "CSF", "4100", "10.00");
    charge("TWO", "CSF", "4100", "7.00");
    charge("TWO", "SRCH", "4200", "3.00");
    diary(77, "JMK");
    seedAttachments(1000);
    writeConnectionIni(db.folder(), db.path());

    std::random_device rd;
    const unsigned seedValue = rd();
    std::mt19937 random(seedValue);
    // From the program's start-up to well inside a run of posting.
    std::uniform_int_distribution<int> delay(0, within);
    int killed = 0, runs = 0;
    while (killed < kills && runs < 400) {
        ++runs;
        pid_t pid = startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-outlays"});
        if (killAfter(pid, delay(random))) {
            ++killed;
        } else if (count("DiaryAttachments a", "NOT EXISTS (SELECT 1 FROM BatchDetails d WHERE d.MATTER = a.CASECODE)") < 300) {
            seedAttachments(500);  // a run completed: give the next ones something to do
        }
        ASSERT_EQ(postedTwice(), 0) << "an attachment posted twice after run " << runs << " (seed " << seedValue << ")";
        ASSERT_EQ(halfPosted(), 0) << "an attachment half posted after run " << runs << " (seed " << seedValue << ")";
        ASSERT_NO_FATAL_FAILURE(expectBooksBalance()) << "seed " << seedValue;
    }
    EXPECT_GE(killed, kills);
    // The last run completes.
    EXPECT_EQ(waitProgram(startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-outlays"})), 0);

    EXPECT_EQ(count("DiaryAttachments a", "NOT EXISTS (SELECT 1 FROM BatchDetails d WHERE d.MATTER = a.CASECODE)"), 0)
        << "an attachment lost (seed " << seedValue << ")";
    EXPECT_EQ(postedTwice(), 0) << "seed " << seedValue;
    EXPECT_EQ(halfPosted(), 0) << "seed " << seedValue;
    EXPECT_EQ(count("BatchDetails"), seeded / 2 * 3 + seeded % 2);
    expectBooksBalance();
    EXPECT_EQ(iniLastTrackRef(), seeded);
    std::cerr << "killed " << killed << " of " << runs << " runs; " << seeded << " attachments, each posted once (seed " << seedValue
              << ")\n";
    RecordProperty("killed", killed);
}

#else

TEST(Crash, KilledRunsPostEveryAttachmentExactlyOnce) { GTEST_SKIP() << "the marrowgate program is not part of this build"; }

#endif

}  // namespace
}  // namespace mg::test
