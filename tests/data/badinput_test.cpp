// Databases that cannot be used: a file that is not a database, a folder that does not
// exist, a database the program may only read, a database locked by another program.
// Each gives a clear error on the first table operation, never a crash or a hang.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>

#include "data/context.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

TEST(BadDatabase, AFileThatIsNotADatabaseGives90WithTheDriversText) {
    test::TempDatabase db;
    const std::string path = (db.folder() / "garbage.db").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 200; ++i) out << "This is the practice's letter template, not a database. ";
    }
    db::Settings s = db.settings();
    s.database = path;
    Context ctx(s);
    Table& t = ctx.table(TableId::BatchH);
    EXPECT_EQ(t.open(), FileSystemErr);
    EXPECT_EQ(ctx.errorCode(), 90);
    EXPECT_NE(ctx.fileError().find("not a database"), std::string::npos) << ctx.fileError();
    EXPECT_FALSE(ctx.fileErrorCode().empty());
    EXPECT_TRUE(databaseUnusable(ctx.lastError())) << "no later statement fares better";
    EXPECT_FALSE(t.isOpen());
    // Nothing else works either, and nothing crashes.
    EXPECT_NE(ctx.begin(1), 0);
    EXPECT_NE(ctx.table(TableId::SQLResultD).setSql("Select 1"), 0);
    // The file is left as it was.
    std::ifstream in(path, std::ios::binary);
    std::string head(9, '\0');
    in.read(head.data(), 9);
    EXPECT_EQ(head, "This is t");
}

TEST(BadDatabase, AFolderThatDoesNotExistGives90NamingTheFile) {
    test::TempDatabase db;
    db::Settings s = db.settings();
    s.database = (db.folder() / "no-such-folder" / "practice.db").string();
    Context ctx(s);
    EXPECT_EQ(ctx.table(TableId::DocumentCharges).open(), FileSystemErr);
    EXPECT_NE(ctx.fileError().find("unable to open"), std::string::npos) << ctx.fileError();
    EXPECT_NE(ctx.fileError().find("no-such-folder"), std::string::npos) << ctx.fileError();
    EXPECT_FALSE(std::filesystem::exists(db.folder() / "no-such-folder"));

    // A missing file in a folder that exists is not made either.
    s.database = (db.folder() / "missing.db").string();
    Context ctx2(s);
    EXPECT_EQ(ctx2.table(TableId::DocumentCharges).open(), FileSystemErr);
    EXPECT_FALSE(std::filesystem::exists(s.database));
}

TEST(BadDatabase, AnUnknownDriverGives90) {
    test::TempDatabase db;
    db::Settings s = db.settings();
    s.driver = "odbc";
    Context ctx(s);
    EXPECT_EQ(ctx.table(TableId::BatchH).open(), FileSystemErr);
    EXPECT_FALSE(ctx.fileError().empty());
}

// A database the program may only read: reads work, every write fails with 90 and the
// database's own text, and nothing is written. The file's permissions do not hold back
// root, so the check runs in a child process as an ordinary user.
TEST(BadDatabase, AReadOnlyDatabaseReadsAndRefusesWrites) {
    test::TempDatabase db;
    db.exec("INSERT INTO BatchH (BatchNo) VALUES (1)");
    std::filesystem::permissions(db.path(), std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                                std::filesystem::perms::others_read);
    auto check = [&] {
#ifndef _WIN32
        if (geteuid() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) {
                fprintf(stderr, "cannot drop root\n");
                _exit(2);
            }
        }
#endif
        Context ctx(db.settings());
        Table& t = ctx.table(TableId::BatchH);
        int rc = t.open();
        if (rc == 0) {
            t.rec().set(BAH::BATCHNO, 1);
            if (t.get(BAH::BATCHH) != 0) {
                fprintf(stderr, "read failed: %d %s\n", ctx.errorCode(), ctx.fileError().c_str());
                _exit(3);
            }
            t.clear();
            t.rec().set(BAH::BATCHNO, 2);
            rc = t.add();
            if (rc == 0) {
                fprintf(stderr, "the add went through\n");
                _exit(4);
            }
            // A job stops at once on it: it is not a lock to wait for.
            if (!databaseUnusable(ctx.lastError())) _exit(6);
            ctx.saved = SavedError{};
            if (ctx.begin(1) == 0 || ctx.errorCode() == IsLockedErr || !databaseUnusable(ctx.lastError())) _exit(7);
        }
        fprintf(stderr, "code %d: %s\n", rc, ctx.fileError().c_str());
        _exit(rc == FileSystemErr ? 0 : 5);
    };
    EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "code 90: attempt to write a readonly database");
    EXPECT_EQ(db.count("SELECT count(*) FROM BatchH"), 1);
}

}  // namespace
}  // namespace mg
