// Fixed-width text is blank-padded, and the practice's server compares 'TB1' and
// 'TB1        ' as one value. Other programs of the suite write padded values into the
// same tables: key gets, duplicate checks, pass-through comparisons and view filters find
// them whatever their trailing blanks (and case), and the stored texts stay as written.

#include <gtest/gtest.h>

#include <functional>

#include "data/context.h"
#include "data/passthrough.h"
#include "data/table.h"
#include "testdb.h"

namespace mg {
namespace {

class TrailingBlanks : public ::testing::Test {
protected:
    void SetUp() override {
        // As another program writes them: padded to the column's width, or not, in any case.
        db.exec("INSERT INTO Matters (CODE, ORIGINALDEBT) VALUES ('TB1        ', '10.00'), ('tb2', '20.00'), ('TB', '30.00')");
        db.exec("INSERT INTO DocumentChargesFees (DOCUMENTNAME, TASKCHARGECODE) VALUES ('PADDED    ', 'T01'), ('PLAIN', 'T02 '), "
                "('PADDEDX', 'T03')");
        for (TableId id : {TableId::Matters, TableId::DocumentChargesFees, TableId::SQLResultD}) ASSERT_EQ(ctx->table(id).open(), 0);
    }
    // The rows a pass-through statement gives, first column as text.
    std::vector<std::string> passThrough(const std::string& sql) {
        Table& t = ctx->table(TableId::DocumentChargesFees);
        std::vector<std::string> out;
        if (t.setSql(sql) != 0) return {"error " + ctx->fileError()};
        while (t.next() == 0) out.emplace_back(t.rec().trimmed(DCHF::DOCUMENTNAME));
        return out;
    }
    // The debt of the matter a key get finds for a code, or the error code.
    std::string matterGet(const std::string& code) {
        Table& m = ctx->table(TableId::Matters);
        m.clear();
        m.rec().set(MAT::CODE, code);
        if (int rc = m.get(MAT::MATTERKEY)) return "error " + std::to_string(rc);
        return m.rec().get(MAT::ORIGINALDEBT).toString(2);
    }

    test::TempDatabase db;
    std::unique_ptr<Context> ctx = db.context();
};

TEST_F(TrailingBlanks, KeysPassThroughAndFiltersIgnoreTrailingBlanksAndCase) {
    using Strings = std::vector<std::string>;
    struct Case {
        const char* what;
        std::function<Strings()> run;
        Strings expected;
    };
    const Case cases[] = {
        {"a key get finds a code stored padded", [&] { return Strings{matterGet("TB1")}; }, {"10.00"}},
        {"and in another case", [&] { return Strings{matterGet("tb1")}; }, {"10.00"}},
        {"a code stored unpadded is found from a padded buffer", [&] { return Strings{matterGet("TB2        ")}; }, {"20.00"}},
        {"a shorter code is another code", [&] { return Strings{matterGet("TB")}; }, {"30.00"}},
        {"so is a longer one", [&] { return Strings{matterGet("TB11")}; }, {"error 35"}},
        {"a duplicate of a padded key is one",
         [&] {
             Table& m = ctx->table(TableId::Matters);
             m.clear();
             m.rec().set(MAT::CODE, "tb1");
             return Strings{std::to_string(m.duplicateKey() == MAT::MATTERKEY.index), std::to_string(m.add())};
         },
         {"1", "40"}},
        {"the fee import's mapping select finds the padded name",
         [&] { return passThrough("Select DocumentName,TaskChargeCode,RecordID from DocumentChargesFees Where DocumentName = 'PADDED'"); },
         {"PADDED"}},
        {"with the owner, brackets and another case",
         [&] { return passThrough("Select DocumentName from dbo.DocumentChargesFees Where [DocumentName] = 'padded'"); },
         {"PADDED"}},
        {"the value's own trailing blanks do not count either",
         [&] { return passThrough("Select DocumentName from DocumentChargesFees Where DocumentName = 'PLAIN     '"); },
         {"PLAIN"}},
        {"<> leaves the padded row out",
         [&] { return passThrough("Select DocumentName from DocumentChargesFees Where DocumentName <> 'padded' order by 1"); },
         {"PADDEDX", "PLAIN"}},
        {"a second column compared too",
         [&] { return passThrough("Select DocumentName from DocumentChargesFees Where TaskChargeCode = 'T02'"); },
         {"PLAIN"}},
        {"an update assigns and finds by the padded name",
         [&] {
             Strings out = passThrough("Update DocumentChargesFees Set TaskChargeCode = 'T09' Where DocumentName = 'PADDED'");
             out.push_back(db.scalar("SELECT TaskChargeCode FROM DocumentChargesFees WHERE DocumentName = 'PADDED    '"));
             return out;
         },
         {"T09"}},
        {"a view filter finds the padded name",
         [&] {
             Table& t = ctx->table(TableId::DocumentChargesFees);
             View v(t, DCHF::KEYDOCUMENTNAME);
             v.setFilter("DCHF:DocumentName = 'padded   '");
             Strings out;
             if (v.open()) return Strings{"error"};
             while (v.next() == 0) out.emplace_back(t.rec().trimmed(DCHF::DOCUMENTNAME));
             v.close();
             return out;
         },
         {"PADDED"}},
        {"the stored texts are as they were written",
         [&] { return db.column("SELECT '''' || CODE || '''' FROM Matters ORDER BY ORIGINALDEBT"); },
         {"'TB1        '", "'tb2'", "'TB'"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.run(), c.expected);
    }
}

// Only text columns compared with text literals change; numbers, names the statement's
// tables do not have and SQL Server's statements stay as they are.
TEST(TrailingBlanksStatements, OnlyTextColumnsComparedWithTextAreRewritten) {
    struct Case {
        const char* statement;
        db::SqlDialect dialect;
        const char* expected;
    };
    const Case cases[] = {
        {"Select count(*) from DocumentCharges Where DocumentName = 'A'", db::SqlDialect::Sqlite,
         "Select count(*) from DocumentCharges Where rtrim(DocumentName) COLLATE NOCASE = ?"},
        {"Select count(*) from DocumentCharges Where DocumentName = 'A'", db::SqlDialect::SqlServer,
         "Select count(*) from DocumentCharges Where DocumentName = ?"},
        {"Select FnCode From Diary Where ActionID = 5", db::SqlDialect::Sqlite, "Select FnCode From Diary Where ActionID = ?"},
        {"Select x from T Where Name = 'A'", db::SqlDialect::Sqlite, "Select x from T Where Name = ?"},
        {"Update DiaryAttachments Set Name = 'B' Where CaseCode = 'A'", db::SqlDialect::Sqlite,
         "Update DiaryAttachments Set Name = ? Where rtrim(CaseCode) COLLATE NOCASE = ?"},
        {"Select BatchNo from BatchH Where (DATE = '2015-02-09') and (Code='X')", db::SqlDialect::Sqlite,
         "Select BatchNo from BatchH Where (DATE = ?) and (rtrim(Code) COLLATE NOCASE=?)"},
        // PostgreSQL counts trailing blanks too; the column's own collation ignores case.
        {"Select count(*) from dbo.DocumentCharges Where [DocumentName] = 'A' and OutlayCode <> 'B'", db::SqlDialect::PostgreSql,
         "Select count(*) from DocumentCharges Where rtrim(\"documentname\") = ? and rtrim(OutlayCode) <> ?"},
        {"Update DiaryAttachments Set Name = 'B' Where DiaryId = 5", db::SqlDialect::PostgreSql,
         "Update DiaryAttachments Set Name = ? Where DiaryId = ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        EXPECT_EQ(db::parameterize(c.statement, c.dialect).sql, c.expected);
    }
}

}  // namespace
}  // namespace mg
