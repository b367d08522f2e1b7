// The command line's fee import killed with SIGKILL at random moments and run again until
// it completes: every fee is entered exactly once, and no fee is half written. The same with
// the server stopped under it.
//
// The diary entries with two waiting documents matter most: the mark covers the whole
// diary entry, so both documents' fees and the mark are committed together. A kill can
// never fall between the two, and each of them is entered exactly once.

#include <fstream>
#include <iterator>
#include <random>

#include "fee_fixture.h"
#include "program.h"

namespace mg::fees::test {
namespace {

#ifdef MG_MARROWGATE_BINARY

class FeeImportCrashTest : public FeeImportTest {
protected:
    // Runs the fee import again and again, each run interrupted by `interrupt` after a random
    // delay up to `maxDelay` ms, `times` times (or until `attempts` runs); whatever the
    // moment, nothing is half entered or entered twice, and once a run completes nothing is
    // lost.
    // `singles` diary entries of one document each (at most 1000), besides the others.
    void interruptedRuns(int times, int attempts, int maxDelay, bool (*interrupt)(pid_t, int), int singles = 400);
};

TEST_F(FeeImportCrashTest, KilledRunsEnterEveryFeeExactlyOnce) { interruptedRuns(30, 80, 150, mg::test::killAfter, 3000); }

// The server stopped at once (a power cut, a stopped service) at random moments of a run, and
// started again: a commit whose answer was lost is settled by the next run.
class FeeServerStops : public FeeImportCrashTest {
protected:
    void SetUp() override {
        if (!mg::test::onServer() || !mg::test::serverStoppable()) GTEST_SKIP() << "needs a test server of its own to stop (scripts/pg.sh)";
        FeeImportCrashTest::SetUp();
    }
};

// More fees, and stops soon after the start, so that ten stops fall inside runs.
TEST_F(FeeServerStops, EveryFeeIsEnteredExactlyOnce) { interruptedRuns(10, 60, 500, mg::test::stopServerAfter, 1000); }

void FeeImportCrashTest::interruptedRuns(int times, int attempts, int maxDelay, bool (*interrupt)(pid_t, int), int singles) {
    mapping("MEMO", "T02");
    const int kSingle = singles;
    constexpr int kDouble = 20, kUnknown = 3;
    std::string seed = "BEGIN;";
    // The two-document entries lie among the others, so that kills fall near them too.
    for (int i = 0; i < kSingle; ++i) {
        const std::string id = std::to_string(1000 + i);
        seed += "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + id + ", 'M0001', 'ABC');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + id + ", " + id +
                ", 'M0001', 'LETTER', 0);";
        if (i % (kSingle / kDouble) != 0) continue;
        const int d = i / (kSingle / kDouble);
        const std::string did = std::to_string(5000 + d);
        seed += "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + did + ", 'M0001', 'XYZ');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + did + ", " + did +
                ", 'M0001', 'LETTER', 0);";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + did + ", " +
                std::to_string(6000 + d) + ", 'M0001', 'MEMO', 0);";
    }
    for (int i = 0; i < kUnknown; ++i) {
        const std::string id = std::to_string(9000 + i);
        seed += "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + id + ", 'GONE', 'ABC');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + id + ", " + id +
                ", 'GONE', 'LETTER', 0);";
    }
    db.exec(seed + "COMMIT;");
    mg::test::writeConnectionIni(db.folder(), db.path());

    std::random_device rd;
    const unsigned seedValue = rd();
    std::mt19937 random(seedValue);
    std::uniform_int_distribution<int> delayMs(0, maxDelay);
    RecordProperty("seed", std::to_string(seedValue));

    int killed = 0;
    const auto messages = [&] {
        std::ifstream in(db.folder() / "messages.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int attempt = 0; attempt < attempts && (times == 0 || killed < times); ++attempt) {
        const size_t said = messages().size();
        pid_t pid = mg::test::startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-fees"});
        ASSERT_GT(pid, 0);
        if (interrupt(pid, delayMs(random))) ++killed;
        ASSERT_FALSE(HasFatalFailure());
        // A run that lost its database says so once and stops, not once per fee left.
        const std::string run = messages().substr(said);
        size_t errors = 0;
        for (const char* error : {"Record Retrieval Error", "Error Adding Fees"})
            for (size_t at = run.find(error); at != std::string::npos; at = run.find(error, at + 1)) ++errors;
        ASSERT_LE(errors, 1u) << run;
        // Whatever the moment: never a time entry without its log row or the other way round.
        ASSERT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), db.count("SELECT count(*) FROM FeesImported")) << "seed " << seedValue;
        // Never one document of a two-document entry entered without the other.
        ASSERT_EQ(db.count("SELECT count(*) FROM (SELECT ACTIONID FROM TimeDayBook WHERE ACTIONID BETWEEN 5000 AND 5999 "
                           "GROUP BY ACTIONID HAVING count(*) <> 2) e"),
                  0)
            << "seed " << seedValue;
        // Never a fee entered twice.
        ASSERT_EQ(db.count("SELECT count(*) FROM (SELECT ACTIONID, TASK FROM TimeDayBook GROUP BY ACTIONID, TASK HAVING count(*) > 1) e"),
                  0)
            << "seed " << seedValue;
    }

    // The last run completes.
    EXPECT_EQ(mg::test::waitProgram(mg::test::startProgram(MG_MARROWGATE_BINARY, db.folder(), {"import-fees"})), 0);

    // Only the fees of the unknown matter still wait.
    EXPECT_EQ(waiting(), kUnknown);
    // Every single-document diary entry: exactly one entry and one log row.
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID BETWEEN 1000 AND 4999"), kSingle);
    EXPECT_EQ(db.count("SELECT count(DISTINCT ACTIONID) FROM TimeDayBook WHERE ACTIONID BETWEEN 1000 AND 4999"), kSingle);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported WHERE TRACKREF BETWEEN 1000 AND 4999"), kSingle);
    // Each entry's log row carries its tracking reference, task and charge.
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook t JOIN FeesImported f ON f.TRACKREF = t.TRACKREF AND f.TASK = t.TASK "
                       "AND f.CHARGE = t.CHARGE AND f.MATTER = t.MATTER"),
              db.count("SELECT count(*) FROM TimeDayBook"));
    // Two-document entries: the letter and the memo, each exactly once.
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID BETWEEN 5000 AND 5999 AND TASK = 'T01'"), kDouble);
    EXPECT_EQ(db.count("SELECT count(DISTINCT ACTIONID) FROM TimeDayBook WHERE ACTIONID BETWEEN 5000 AND 5999 AND TASK = 'T01'"),
              kDouble);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID BETWEEN 5000 AND 5999 AND TASK = 'T02'"), kDouble);
    EXPECT_EQ(db.count("SELECT count(DISTINCT ACTIONID) FROM TimeDayBook WHERE ACTIONID BETWEEN 5000 AND 5999 AND TASK = 'T02'"),
              kDouble);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported WHERE TRACKREF BETWEEN 5000 AND 5999"), 2 * kDouble);
    EXPECT_GE(killed, times);
    std::cerr << "interrupted " << killed << " runs (seed " << seedValue << ")\n";
    // No diary entry is marked without an entry of its own.
    EXPECT_EQ(db.count("SELECT count(DISTINCT DIARYID) FROM DiaryAttachments WHERE FEES = 1 AND DIARYID NOT IN "
                       "(SELECT ACTIONID FROM TimeDayBook)"),
              0);
}

#else

TEST(FeeImportCrashTest, KilledRunsEnterEveryFeeExactlyOnce) {
    GTEST_SKIP() << "the marrowgate program is not part of this build";
}
TEST(FeeServerStops, EveryFeeIsEnteredExactlyOnce) { GTEST_SKIP() << "the marrowgate program is not part of this build"; }

#endif

}  // namespace
}  // namespace mg::fees::test
