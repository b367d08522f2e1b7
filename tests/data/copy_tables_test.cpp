// A copy of some tables into a new embedded database (what a dry run on a server works on):
// every row once across page boundaries, only the rows asked for, values in the program's
// own stored form, a value that does not convert kept as it is, and a view kept in the order
// the source gives it. Runs on the embedded database and on the test server.

#include <gtest/gtest.h>

#include "data/context.h"
#include "data/copy_tables.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

TEST(CopyTables, CopiesTheRowsAskedForInTheProgramsOwnForm) {
    test::TempDatabase db;
    // More rows than one page of the copy holds, numbered by the database.
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 12001) "
            "INSERT INTO BatchDetails (BATCHNO, PREF, MATTER, VALUE) SELECT i % 7, i, 'M' || i, 1.25 FROM n");
    db.exec("UPDATE BatchDetails SET DATE = '2026-12-07'");
    // Matters are paged by their file number on the server, which may be NULL.
    db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5001) "
            "INSERT INTO Matters (CODE, FILENUM) SELECT 'F' || i, i FROM n");
    db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES ('Q1', 1200.5)");
    db.exec("INSERT INTO diary (ACTIONID, FNCODE) VALUES (7, 'JOB'), (8, 'AFL')");
    db.exec("INSERT INTO DiaryAttachments (TRACKREFERENCE, DIARYID, CASECODE, NAME, FEES) VALUES "
            "(3, 8, 'Q1', 'LATE', 0), (1, 7, 'Q1', 'FIRST', 0), (2, 7, 'Q1', 'DONE', 1), (4, 7, 'Q2', 'SECOND', NULL)");
    const bool embedded = !test::onServer();
    if (embedded) {
        // What another program may have stored: a date with the server's milliseconds, a
        // decimal written with a thousands separator.
        db.exec("UPDATE BatchDetails SET DATE = '2026-12-07 00:00:00.000' WHERE PREF = 5");
        db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES ('Q9', '1,200.00')");
    }
    const std::vector<std::string> waiting = db.column("SELECT NAME FROM DiaryAttFees");
    db.exec("DROP TABLE TasksCodes");  // a table the practice's database lacks

    Context source(db.settings());
    ASSERT_TRUE(source.connection());
    const std::string whole = (db.folder() / "whole.db").string();
    int64_t copied = 0;
    Error made;
    ASSERT_FALSE(made = db::copyTables(*source.connection(), whole,
                                {db::TableRows::all(TableId::BatchDetails), db::TableRows::all(TableId::Matters),
                                 db::TableRows::all(TableId::DiaryAttachments), db::TableRows::all(TableId::Diary),
                                 db::TableRows::all(TableId::DiaryAttFees), db::TableRows::all(TableId::SQLResult),
                                 db::TableRows::none(TableId::TimeDayBook), db::TableRows::all(TableId::TasksCodes)},
                                &copied))
        << made.driverText;
    db::Settings s;
    s.driver = "sqlite";
    s.database = whole;
    test::OtherProgram copy(whole);
    EXPECT_EQ(copy.count("SELECT count(*) FROM BatchDetails"), 12001);
    EXPECT_EQ(copy.count("SELECT count(DISTINCT KEYID) FROM BatchDetails"), 12001) << "every row once";
    EXPECT_EQ(copy.scalar("SELECT sum(PREF) FROM BatchDetails"), "72018001");
    EXPECT_EQ(copied, 12001 + 5001 + (embedded ? 2 : 1) + 4 + 2 + static_cast<int64_t>(waiting.size()));
    EXPECT_EQ(copy.column("SELECT DISTINCT DATE FROM BatchDetails"), std::vector<std::string>{"2026-12-07"});
    EXPECT_EQ(copy.scalar("SELECT VALUE FROM BatchDetails WHERE PREF = 9"), "1.25");
    EXPECT_EQ(copy.scalar("SELECT ORIGINALDEBT FROM Matters WHERE CODE = 'Q1'"), "1200.50");
    EXPECT_EQ(copy.count("SELECT count(*) FROM Matters WHERE FILENUM IS NULL"), embedded ? 2 : 1) << "NULL stays NULL";
    // The view, as a table of the rows the source's view gave, in its order.
    EXPECT_EQ(copy.column("SELECT NAME FROM DiaryAttFees"), waiting);
    EXPECT_EQ(copy.count("SELECT count(*) FROM sqlite_master WHERE type = 'view'"), 0);
    EXPECT_EQ(copy.count("SELECT count(*) FROM sqlite_master WHERE tbl_name = 'TasksCodes'"), 0) << "lacking there, lacking here";

    // The value that does not convert fails the read of the copy as it fails the source's.
    if (embedded) {
        EXPECT_EQ(copy.scalar("SELECT ORIGINALDEBT FROM Matters WHERE CODE = 'Q9'"), "1,200.00");
        Context onCopy(s);
        Table& mat = onCopy.table(TableId::Matters);
        ASSERT_FALSE(mat.open());
        onCopy.set(MAT::CODE, "Q9");
        EXPECT_EQ(mat.get(MAT::MATTERKEY), FileSystemErr);
        EXPECT_NE(onCopy.fileError().find("1,200.00"), std::string::npos) << onCopy.fileError();
    }

    // On the server the copy reads from one snapshot and can write nothing.
    if (!embedded) {
        Context reader(db.settings());
        ASSERT_FALSE(reader.connection()->beginReadOnly());
        Error err;
        db::Statement* st = reader.connection()->prepare(
            "SELECT current_setting('transaction_isolation') || ' ' || current_setting('transaction_read_only')", err);
        ASSERT_TRUE(st && st->step(err)) << err.driverText;
        EXPECT_EQ(st->text(0), "repeatable read on");
        st->reset();
        EXPECT_TRUE(reader.connection()->exec("DELETE FROM BatchDetails")) << "a read-only transaction refuses a write";
        reader.connection()->rollback();
    }

    // Only the rows asked for; none of a table asked for without rows.
    const std::string some = (db.folder() / "some.db").string();
    ASSERT_FALSE(db::copyTables(*source.connection(), some,
                                {db::TableRows::where(TableId::BatchDetails, BAD::PREF.index, {5, 7, 99999}),
                                 db::TableRows::none(TableId::Matters)}));
    test::OtherProgram part(some);
    EXPECT_EQ(part.column("SELECT PREF FROM BatchDetails ORDER BY PREF"), (std::vector<std::string>{"5", "7"}));
    EXPECT_EQ(part.count("SELECT count(*) FROM Matters"), 0);
    EXPECT_EQ(part.count("SELECT count(*) FROM sqlite_master WHERE name = 'DiaryAttFees' AND type = 'view'"), 1)
        << "a view not asked for stays the copy's own view";

    // An existing file is never overwritten, and the source is left as it was.
    EXPECT_TRUE(db::copyTables(*source.connection(), some, {db::TableRows::all(TableId::Matters)}));
    EXPECT_EQ(db.count("SELECT count(*) FROM BatchDetails"), 12001);
    EXPECT_EQ(part.count("SELECT count(*) FROM Matters"), 0);
}

}  // namespace
}  // namespace mg
