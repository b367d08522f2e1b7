// A read that the database fails inside a diary entry's unit of work is not a row that is
// missing: the entry is rolled back whole, all its fees wait for the next run, and the
// retrieval error is shown once the transaction has ended.

#include <sqlite3.h>

#include "fee_fixture.h"

namespace mg::fees::test {
namespace {

// Whether another station could take the database's write lock right now.
bool writeLockFree(const mg::test::TempDatabase& db) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.path().c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
    sqlite3_busy_timeout(h, 0);
    bool free = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (free) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    return free;
}

class ReadFailureTest : public FeeImportTest {
protected:
    // Puts a view in place of `table` whose `column` fails with an integer overflow when it is
    // read while `when` holds; writes through the view still reach the rows.
    void poison(const std::string& table, const std::string& column, const std::string& when) {
        std::vector<Row> columns = rows(db, "PRAGMA table_info(" + table + ")");
        db.exec("ALTER TABLE " + table + " RENAME TO " + table + "_rows");
        std::string select = "rowid AS rowid", sets;
        for (Row& c : columns) {
            const std::string name = "\"" + c["name"] + "\"";
            if (sqlite3_stricmp(c["name"].c_str(), column.c_str()) == 0)
                select += ", CASE WHEN " + when + " THEN abs(-9223372036854775807 - 1) ELSE " + name + " END AS " + name;
            else
                select += ", " + name;
            sets += (sets.empty() ? "" : ", ") + name + " = NEW." + name;
        }
        db.exec("CREATE VIEW " + table + " AS SELECT " + select + " FROM " + table + "_rows");
        db.exec("CREATE TRIGGER " + table + "_put INSTEAD OF UPDATE ON " + table + " BEGIN UPDATE " + table + "_rows SET " + sets +
                " WHERE rowid = OLD.rowid; END");
    }
    void cure(const std::string& table) {
        db.exec("DROP VIEW " + table);
        db.exec("ALTER TABLE " + table + "_rows RENAME TO " + table);
    }
};

TEST_F(ReadFailureTest, AFailedReadRollsTheWholeEntryBackAndItsFeesWait) {
    struct Case {
        const char* table;
        const char* column;
        const char* named;  // the file the message names
    };
    const Case cases[] = {
        {"DocumentChargesFees", "RECORDID", "DocumentChargesFees"},  // the document's mapping select
        {"Matters", "DEBTINTEREST", "Matters"},
        {"Contacts", "CHARGEARRANGEMENT", "Contacts"},
        {"ChargingMatrix", "BAND1RATE", "ChargingMatrix"},
        {"TasksCodes", "DESC", "TasksCodes"},
        {"Handlers", "TEAM", "Handlers"},
        // The tracking-reference select of DiaryAttachments is not poisoned here: the entry is
        // claimed by an update of that table, and a poisoned table (a view with a trigger)
        // reports no row changed, so the entry would read as taken by another import.
        {"control", "CURPER", "control"},
    };
    mapping("MEMO", "T02");
    // Priced through the client's arrangement, so that the client is read as well.
    client("C02", "AR1");
    matter("M0002", "", "C02", "500.00", "0.00", "0.00");
    diary(100, "M0002", "ABC");
    attachment(100, 5, "M0002", "LETTER");
    attachment(100, 6, "M0002", "MEMO");
    waitingFee(200, 7, "M0002", "LETTER");

    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        db.exec("DELETE FROM TimeDayBook");
        db.exec("DELETE FROM FeesImported");
        db.exec("UPDATE DiaryAttachments SET FEES = 0");
        // The read fails once the entry's letter is written, inside its transaction: for the memo.
        poison(c.table, c.column, "(SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100) = 1");
        ui = ui::ScriptedUserInterface{};
        std::vector<bool> lockFree;
        ui.onMessage = [&](const ui::Message&) { lockFree.push_back(writeLockFree(db)); };
        EXPECT_EQ(run(), RequestCompleted);
        cure(c.table);

        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[0].caption, "Record Retrieval Error");
        const std::string& text = ui.messages[0].text;
        EXPECT_EQ(text.rfind("Error: (integer overflow", 0), 0u) << text;
        const std::string tail = std::string(" attempting to access a record from the ") + c.named + " file.  Returning to previous window.";
        EXPECT_TRUE(text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0) << text;
        EXPECT_EQ(ui.messages[1].text, "Fees Import Complete!");
        EXPECT_EQ(lockFree, (std::vector<bool>{true, true}));
        // Nothing of the entry stays; the next entry is entered.
        EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100"), 0);
        EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported WHERE TRACKREF = 5"), 0);
        EXPECT_EQ(db.count("SELECT count(*) FROM DiaryAttachments WHERE DIARYID = 100 AND FEES = 0"), 2);
        EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 200"), 1);
        EXPECT_EQ(waiting(), 2);

        // The next run enters each of the entry's fees once.
        ui = ui::ScriptedUserInterface{};
        EXPECT_EQ(run(), RequestCompleted);
        EXPECT_TRUE(messagesBeforeEnd().empty());
        EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100 AND TASK = 'T01'"), 1);
        EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook WHERE ACTIONID = 100 AND TASK = 'T02'"), 1);
        EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 3);
        EXPECT_EQ(waiting(), 0);
    }
}

TEST_F(ReadFailureTest, AFailedMappingSelectBeforeAnyWriteStillHoldsTheEntryBack) {
    // The letter's select fails before anything of the entry is written: the memo after it
    // is not entered either, and neither document is marked.
    mapping("MEMO", "T02");
    diary(100, "M0001", "ABC");
    attachment(100, 5, "M0001", "LETTER");
    attachment(100, 6, "M0001", "MEMO");
    poison("DocumentChargesFees", "RECORDID", "DOCUMENTNAME = 'LETTER'");
    EXPECT_EQ(run(), RequestCompleted);
    ASSERT_EQ(messagesBeforeEnd().size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Record Retrieval Error");
    EXPECT_EQ(db.count("SELECT count(*) FROM TimeDayBook"), 0);
    EXPECT_EQ(db.count("SELECT count(*) FROM FeesImported"), 0);
    EXPECT_EQ(waiting(), 2);
}

}  // namespace
}  // namespace mg::fees::test
