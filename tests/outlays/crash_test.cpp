// The command line's outlay import killed with SIGKILL at random moments and run again each
// time: no attachment is lost, none is half posted, and the control row matches the numbers
// issued. The one window a database transaction and a separate INI file leave (after an
// attachment's commit, before its tracking reference is stored) may post that attachment
// twice; the test counts how often the kills hit it.

#include <random>

#include "outlay_fixture.h"
#include "program.h"

namespace mg::test {
namespace {

#ifdef MG_MARROWGATE_BINARY

class Crash : public OutlayFixture {};

TEST_F(Crash, KilledRunsLoseNothingAndLeaveNothingHalfPosted) {
    constexpr int kAttachments = 400;
    outlayCode("CSF", "Court Stamp Fee");
    charge("ONE", "CSF", "4100", "10.00");
    charge("TWO", "CSF", "4100", "7.00");
    charge("TWO", "SRCH", "4200", "3.00");
    diary(77, "JMK");
    // Each attachment has a matter of its own, so its lines can be told apart.
    std::string seed = "BEGIN;";
    for (int i = 1; i <= kAttachments; ++i) {
        std::string m = "'M" + std::to_string(i) + "'";
        seed += "INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES (" + m + ", '100.00');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME) VALUES (77, " + std::to_string(i) + ", " + m +
                ", '" + (i % 2 ? "ONE" : "TWO") + "');";
    }
    db.exec(seed + "COMMIT;");
    writeConnectionIni(db.folder(), db.path());

    std::random_device rd;
    const unsigned seedValue = rd();
    std::mt19937 random(seedValue);
    std::uniform_int_distribution<int> delay(0, 250);
    int killed = 0;
    for (int run = 0; run < 25; ++run) {
        pid_t pid = startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-outlays"});
        if (killAfter(pid, delay(random))) ++killed;
        // Whatever the moment, the books balance.
        ASSERT_NO_FATAL_FAILURE(expectBooksBalance()) << "seed " << seedValue;
        ASSERT_EQ(count("(SELECT MATTER, count(*) AS n FROM BatchDetails GROUP BY MATTER) l JOIN DiaryAttachments a ON a.CASECODE = "
                        "l.MATTER",
                        "l.n % (CASE a.NAME WHEN 'TWO' THEN 2 ELSE 1 END) <> 0"),
                  0)
            << "an attachment half posted (seed " << seedValue << ")";
    }
    // The last run completes.
    int status = waitProgram(startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-outlays"}));
    EXPECT_EQ(status, 0);

    EXPECT_EQ(count("DiaryAttachments a", "NOT EXISTS (SELECT 1 FROM BatchDetails d WHERE d.MATTER = a.CASECODE)"), 0)
        << "an attachment lost (seed " << seedValue << ")";
    const long long twice = count("(SELECT MATTER, count(*) AS n FROM BatchDetails GROUP BY MATTER) l JOIN DiaryAttachments a ON "
                                  "a.CASECODE = l.MATTER",
                                  "l.n > (CASE a.NAME WHEN 'TWO' THEN 2 ELSE 1 END)");
    EXPECT_LE(twice, killed) << "more attachments posted twice than kills (seed " << seedValue << ")";
    expectBooksBalance();
    std::cerr << "killed " << killed << " of 25 runs; attachments posted twice by a kill between commit and INI write: " << twice
              << " (seed " << seedValue << ")\n";
    RecordProperty("killed", killed);
    RecordProperty("postedTwice", static_cast<int>(twice));
}

#else

TEST(Crash, KilledRunsLoseNothingAndLeaveNothingHalfPosted) { GTEST_SKIP() << "the marrowgate program is not part of this build"; }

#endif

}  // namespace
}  // namespace mg::test
