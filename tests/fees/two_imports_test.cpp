// Two fee imports at once, as two stations start them (two processes, each in a folder of its
// own, on one database): the attachment marks are in the database, so every fee is entered
// exactly once between them, and neither needs a lock of its own.

#include <filesystem>

#include "fee_fixture.h"
#include "program.h"

namespace mg::fees::test {
namespace {

#ifdef MG_MARROWGATE_BINARY

class TwoFeeImports : public FeeImportTest {};

TEST_F(TwoFeeImports, EnterEveryFeeExactlyOnce) {
    mapping("MEMO", "T02");
    constexpr int kSingle = 600, kDouble = 40;
    std::string seed = "BEGIN;";
    for (int i = 0; i < kSingle; ++i) {
        const std::string id = std::to_string(1000 + i);
        seed += "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + id + ", 'M0001', 'ABC');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + id + ", " + id +
                ", 'M0001', 'LETTER', 0);";
    }
    for (int d = 0; d < kDouble; ++d) {
        const std::string did = std::to_string(5000 + d);
        seed += "INSERT INTO diary (ACTIONID, CASECODE, FNCODE) VALUES (" + did + ", 'M0001', 'XYZ');";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + did + ", " + did +
                ", 'M0001', 'LETTER', 0);";
        seed += "INSERT INTO DiaryAttachments (DIARYID, TRACKREFERENCE, CASECODE, NAME, FEES) VALUES (" + did + ", " +
                std::to_string(6000 + d) + ", 'M0001', 'MEMO', 0);";
    }
    db.exec(seed + "COMMIT;");
    const std::filesystem::path a = db.folder() / "station-a", b = db.folder() / "station-b";
    for (const auto& f : {a, b}) {
        std::filesystem::create_directory(f);
        mg::test::writeConnectionIni(f, db.path());
    }

    const pid_t pa = mg::test::startProgram(MG_MARROWGATE_BINARY, a, {"import-fees"});
    const pid_t pb = mg::test::startProgram(MG_MARROWGATE_BINARY, b, {"import-fees"});
    EXPECT_EQ(mg::test::waitProgram(pa), 0);
    EXPECT_EQ(mg::test::waitProgram(pb), 0);

    EXPECT_EQ(waiting(), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), kSingle + 2 * kDouble);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), kSingle + 2 * kDouble);
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT ACTIONID, TASK FROM TimeDayBook GROUP BY ACTIONID, TASK HAVING count(*) > 1)"), 0)
        << "a fee entered twice";
    EXPECT_EQ(db.count("SELECT count(*) FROM (SELECT TRACKREF, TASK FROM FeesImported GROUP BY TRACKREF, TASK HAVING count(*) > 1)"), 0)
        << "a fee logged twice";
    EXPECT_EQ(db.count("SELECT count(DISTINCT ACTIONID) FROM TimeDayBook"), kSingle + kDouble);
}

#else

TEST(TwoFeeImports, EnterEveryFeeExactlyOnce) { GTEST_SKIP() << "the marrowgate program is not part of this build"; }

#endif

}  // namespace
}  // namespace mg::fees::test
