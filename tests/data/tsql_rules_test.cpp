// The T-SQL conformance connection's rules: each refuses a statement SQL Server refuses and
// lets the program's own forms of it through; the mssql definitions pass them all.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <regex>

#include "data/context.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/schema.h"
#include "data/table.h"
#include "testdb.h"
#include "tsql_conformance.h"

namespace mg {
namespace {

using test::tsql::brokenRule;
using test::tsql::brokenRules;

std::string firstRule(const std::string& sql) {
    std::vector<std::string> broken = brokenRules(sql);
    return broken.empty() ? "" : broken.front().substr(0, broken.front().find(':'));
}

TEST(TsqlRules, EachRuleRefusesWhatSqlServerRefusesAndPassesItsTsqlForm) {
    std::string manyMarks = "SELECT 1 FROM [dbo].[BatchH] WHERE [BATCHNO] IN (?";
    for (int i = 1; i < 2101; ++i) manyMarks += ", ?";
    manyMarks += ")";
    struct Case {
        std::string broken, rule, tsqlForm;
    } cases[] = {
        {"SELECT TOP 4 [TRACKREFERENCE] FROM [dbo].[DiaryAttachments] ORDER BY [TRACKREFERENCE], [TRACKREFERENCE]", "order-by-twice",
         "SELECT TOP 4 [TRACKREFERENCE] FROM [dbo].[DiaryAttachments] ORDER BY [TRACKREFERENCE]"},
        {"SELECT [A] FROM [dbo].[T] ORDER BY [TRACKREFERENCE] DESC, [trackreference]", "order-by-twice",
         "SELECT [A] FROM [dbo].[T] ORDER BY [CODE] DESC, [RECORDID] DESC"},
        {"SELECT [A] FROM [dbo].[T] ORDER BY [A] LIMIT 4", "limit-offset", "SELECT TOP 4 [A] FROM [dbo].[T] ORDER BY [A]"},
        {"SELECT [A] FROM [dbo].[T] ORDER BY [A] OFFSET 4 ROWS", "limit-offset",
         "SELECT [A] FROM [dbo].[T] ORDER BY [A] OFFSET 4 ROWS FETCH NEXT 4 ROWS ONLY"},
        {"SELECT TOP 4 [A] FROM [dbo].[T] WHERE ([CODE], [RECORDID]) > (?, ?)", "row-values",
         "SELECT TOP 4 [A] FROM [dbo].[T] WHERE ([CODE] > ? OR ([CODE] = ? AND [RECORDID] > ?)) AND COALESCE([A], 0) > 1"},
        {"SELECT [FIRST] || ' ' || [LAST] FROM [dbo].[Contacts]", "concatenation", "SELECT [FIRST] + ' ' + [LAST] FROM [dbo].[Contacts]"},
        {"SELECT \"CODE\" FROM [dbo].[Contacts]", "double-quoted-name", "SELECT [CODE] FROM [dbo].[Contacts] WHERE [NAME] = 'a \"b\"'"},
        {"INSERT INTO [dbo].[BatchDetails] ([A]) OUTPUT INSERTED.[KEYID] VALUES (?)", "output-without-into",
         "INSERT INTO [dbo].[BatchDetails] ([A]) OUTPUT INSERTED.[KEYID] INTO @mg VALUES (?)"},
        {"CREATE INDEX IF NOT EXISTS [BatchH_CodeDate] ON [dbo].[BatchH] ([CODE], [DATE])", "create-index-if-not-exists",
         "IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'BatchH_CodeDate') CREATE INDEX [BatchH_CodeDate] ON [dbo].[BatchH] ([CODE])"},
        {manyMarks, "too-many-parameters", "SELECT 1 FROM [dbo].[BatchH] WHERE [BATCHNO] IN (?, ?)"},
        {"SELECT 1 FROM [dbo].[BatchH] WHERE [DATE] = '2026-12-07'", "date-as-text",
         "SELECT 1 FROM [dbo].[BatchH] WHERE [DATE] = CONVERT(DATETIME, ?, 102) AND [REF] = '2026'"},
        {"UPDATE [dbo].[BatchH] SET [DATE] = '2026-12-07 14:05:00' WHERE [BATCHNO] = ?", "date-as-text",
         "UPDATE [dbo].[BatchH] SET [DATE] = ? WHERE [BATCHNO] = ?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(firstRule(c.broken), c.rule) << c.broken.substr(0, 200);
        EXPECT_EQ(brokenRules(c.tsqlForm), std::vector<std::string>{}) << c.tsqlForm;
    }
    // Values: a date or date-time bound as text is refused, bound by its type it passes.
    EXPECT_NE(brokenRule(db::Param::str("2026-12-07")), "");
    EXPECT_NE(brokenRule(db::Param::str("2026-12-7 00:00:00")), "");
    EXPECT_EQ(brokenRule(db::Param::date("2026-12-07")), "");
    EXPECT_EQ(brokenRule(db::Param::dateTime("2026-12-07 14:05:00")), "");
    EXPECT_EQ(brokenRule(db::Param::str("TB1")), "");
}

TEST(TsqlRules, TheTranslationKeepsTheStatementsMeaningOnTheEmbeddedDatabase) {
    using test::tsql::translate;
    EXPECT_EQ(translate("SELECT TOP 4 [A], [CODE] FROM [dbo].[BatchH] WITH (UPDLOCK, ROWLOCK) WHERE [CODE] > ? ORDER BY [CODE] DESC"),
              std::vector<std::string>{"SELECT  \"A\", \"CODE\" FROM \"BatchH\"  WHERE rtrim(\"CODE\") COLLATE NOCASE > ? ORDER BY "
                                       "rtrim(\"CODE\") COLLATE NOCASE DESC LIMIT 4"});
    EXPECT_EQ(translate("INSERT INTO [dbo].[BatchDetails] ([A]) VALUES (?); SELECT CAST(SCOPE_IDENTITY() AS bigint)"),
              (std::vector<std::string>{"INSERT INTO \"BatchDetails\" (\"A\") VALUES (?)", " SELECT CAST(last_insert_rowid() AS bigint)"}));
    EXPECT_EQ(translate("SET LOCK_TIMEOUT 2000"), std::vector<std::string>{});
    EXPECT_EQ(translate("SAVE TRANSACTION mg2"), std::vector<std::string>{"SAVEPOINT mg2"});
    EXPECT_EQ(translate("SELECT 1 FROM x WHERE DATE = CONVERT(DATETIME, ?, 102)"), std::vector<std::string>{"SELECT 1 FROM x WHERE DATE = ?"});
}

// What `marrowgate schema --dialect mssql` declares: statements SQL Server takes, a primary
// key on every identity column, and index names that sys.indexes shows (no statistics names).
TEST(TsqlRules, TheSqlServerDefinitionsPassTheRulesAndKeyEveryIdentityColumn) {
    const db::Dialect& d = db::dialectOf(db::SqlDialect::SqlServer);
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        EXPECT_EQ(brokenRules(d.createTable(t)), std::vector<std::string>{}) << d.createTable(t);
        for (bool ifMissing : {false, true})
            for (const std::string& s : d.createIndexes(t, ifMissing)) {
                EXPECT_EQ(brokenRules(s), std::vector<std::string>{}) << s;
                EXPECT_EQ(s.find("_WA_Sys_"), std::string::npos) << s;
            }
    }
    for (const TableDecl& t : allTables()) {
        if (int n = t.numberedColumn(); n >= 0) {
            EXPECT_TRUE(std::regex_search(d.createTable(t), std::regex("\\[" + std::string(t.columns[n].name) + "\\] [a-z0-9(),]+ IDENTITY\\(1,1\\) NOT NULL PRIMARY KEY")))
                << d.createTable(t);
        }
    }
    // A key rebuild asks sys.indexes of its own table before each index.
    const TableDecl& batches = decl(TableId::BatchH);
    for (const std::string& s : d.createIndexes(batches, true))
        EXPECT_EQ(s.rfind("IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE object_id = OBJECT_ID('dbo.[BatchH]') AND name = '", 0), 0u) << s;
}

// The same definitions made through the conformance connection, as init-db makes them on a
// server: every statement passes, and every table then opens, its declared indexes found
// where the open check looks for them (sys.indexes of the table).
TEST(TsqlRules, TheSqlServerDefinitionsMakeTablesThatOpen) {
    test::TempDatabase scratch;  // for its folder
    const std::string path = (scratch.folder() / "server.db").string();
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &h), SQLITE_OK);
    sqlite3_close(h);
    test::tsql::registerDriver();
    db::Settings s;
    s.driver = test::tsql::kDriver;
    s.database = path;
    s.dialect = "mssql";
    test::tsql::takeRefusals();
    const Error made = db::createTables(s);
    ASSERT_FALSE(made) << made.driverText;
    EXPECT_EQ(test::tsql::takeRefusals(), std::vector<std::string>{});
    Context ctx(s);
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        EXPECT_EQ(ctx.table(t.id).open(), 0) << t.storageName() << ": " << ctx.fileError();
    }
    EXPECT_EQ(test::tsql::takeRefusals(), std::vector<std::string>{});
}

}  // namespace
}  // namespace mg
