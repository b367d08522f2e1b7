// The table declarations and the database made from them: every table with exactly its
// declared columns in order, every key with its index, the storage conventions other
// programs rely on, and handles that name the declared columns.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <set>

#include "data/ddl.h"
#include "data/passthrough.h"
#include "data/schema.h"
#include "testdb.h"

namespace mg {
namespace {

std::string upper(std::string_view s) {
    std::string out;
    for (char c : s) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Checks a database against the declarations, table by table and key by key.
void expectMatchesDeclarations(const test::TempDatabase& file) {
    test::OtherProgram db(file.path());  // one connection for the many queries
    std::set<std::string> indexNames;
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        const std::string name(t.storageName());
        SCOPED_TRACE(name);
        EXPECT_EQ(db.scalar("SELECT type FROM sqlite_master WHERE name = '" + name + "'"), t.isView() ? "view" : "table");
        std::vector<std::string> cols = db.column("SELECT name FROM pragma_table_info('" + name + "') ORDER BY cid");
        std::vector<std::string> want;
        for (const ColumnDecl& c : t.columns) want.emplace_back(c.name);
        if (t.flags & TableFlag::HasSignature) want.emplace_back("SIGNATURE");
        EXPECT_EQ(cols, want);
        if (t.isView()) continue;

        for (size_t c = 0; c < t.columns.size(); ++c) {
            const ColumnDecl& col = t.columns[c];
            SCOPED_TRACE(std::string(col.name));
            const std::string q = "FROM pragma_table_info('" + name + "') WHERE name = '" + std::string(col.name) + "'";
            std::string type = db.scalar("SELECT type " + q);
            if (col.numbered) {
                EXPECT_EQ(type, "INTEGER");
                EXPECT_EQ(db.scalar("SELECT pk " + q), "1");
                continue;
            }
            EXPECT_EQ(db.scalar("SELECT pk " + q), "0");
            switch (col.type) {
            case ColType::Text:
            case ColType::ZText: EXPECT_EQ(type, "TEXT"); break;
            case ColType::Decimal: EXPECT_EQ(type, col.scale == 0 ? "INTEGER" : "TEXT"); break;
            case ColType::Float64: EXPECT_EQ(type, "REAL"); break;
            case ColType::Date:
            case ColType::Time:
            case ColType::DateTime: EXPECT_EQ(type, "TEXT"); break;
            default: EXPECT_EQ(type, "INTEGER");
            }
        }
        // Text compares without regard to case.
        std::string sql = db.scalar("SELECT sql FROM sqlite_master WHERE name = '" + name + "'");
        for (const ColumnDecl& col : t.columns) {
            if (col.type == ColType::Text || col.type == ColType::ZText) {
                EXPECT_NE(upper(sql).find("\"" + upper(col.name) + "\" TEXT COLLATE NOCASE"), std::string::npos) << col.name;
            }
        }

        for (size_t k = 0; k < t.keys.size(); ++k) {
            const KeyDecl& key = t.keys[k];
            SCOPED_TRACE(std::string(key.name));
            if (ddl::keyIsRowKey(t, static_cast<int>(k))) {
                ASSERT_EQ(key.components.size(), 1u);
                EXPECT_TRUE(t.columns[key.components[0].column].numbered);
                continue;
            }
            const std::string index = t.indexName(static_cast<int>(k));
            EXPECT_TRUE(indexNames.insert(upper(index)).second) << "index name used twice: " << index;
            EXPECT_EQ(db.scalar("SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = '" + index + "'"), name);
            EXPECT_EQ(db.scalar("SELECT \"unique\" FROM pragma_index_list('" + name + "') WHERE name = '" + index + "'"),
                      key.unique ? "1" : "0");
            // A text component is the column without its trailing blanks, under NOCASE.
            std::vector<std::string> got = db.column("SELECT coalesce(name, '<expr>') || ':' || desc || ':' || coll FROM pragma_index_xinfo('" +
                                                     index + "') WHERE key = 1 ORDER BY seqno");
            std::vector<std::string> wantKey;
            const std::string indexSql = upper(db.scalar("SELECT sql FROM sqlite_master WHERE name = '" + index + "'"));
            for (const KeyComponent& kc : key.components) {
                const ColumnDecl& col = t.columns[kc.column];
                const bool text = col.type == ColType::Text || col.type == ColType::ZText;
                wantKey.push_back((text ? std::string("<expr>") : std::string(col.name)) + ":" + (kc.descending ? "1" : "0") + ":" +
                                  (text ? "NOCASE" : "BINARY"));
                if (text) {
                    EXPECT_NE(indexSql.find("RTRIM(\"" + upper(col.name) + "\") COLLATE NOCASE"), std::string::npos) << indexSql;
                }
            }
            EXPECT_EQ(got, wantKey);
        }
        // No index beyond the declared keys, but for the one the outlay import's batch query
        // needs on BatchH (code and date).
        long long declared = t.id == TableId::BatchH ? 1 : 0;
        for (size_t k = 0; k < t.keys.size(); ++k) declared += !ddl::keyIsRowKey(t, static_cast<int>(k));
        EXPECT_EQ(db.count("SELECT count(*) FROM pragma_index_list('" + name + "') WHERE origin = 'c'"), declared);
    }
}

TEST(Schema, TheOpenBatchQueryIsAnsweredFromAnIndexOfCodeAndDate) {
    test::TempDatabase db;
    std::string plan;
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.path().c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    // The statement as the program sends it: the text comparisons ignore trailing blanks.
    const db::ParameterizedSql sent = db::parameterize(
        "Select BatchNo from BatchH Where (Code = '4100') and (Posted <> 'Y') and (Ref = 'AutoOutlay') and (DATE = '2015-02-09')",
        db::SqlDialect::Sqlite);
    ASSERT_EQ(sqlite3_prepare_v2(raw, ("EXPLAIN QUERY PLAN " + sent.sql).c_str(), -1, &st, nullptr), SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) plan += reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
    sqlite3_finalize(st);
    sqlite3_close(raw);
    EXPECT_NE(plan.find("BatchH_CodeDate (<expr>=? AND DATE=?)"), std::string::npos) << plan;
}

TEST(Schema, TheDatabaseMadeMatchesTheDeclarationsColumnForColumnAndKeyForKey) {
    test::TempDatabase db;
    expectMatchesDeclarations(db);
    EXPECT_EQ(db.scalar("PRAGMA journal_mode"), "wal");
}

TEST(Schema, TheScriptMakesTheSameDatabase) {
    test::TempDatabase db;
    // Drop everything and run the script by itself.
    db.exec("DROP VIEW DiaryAttFees;");
    for (const TableDecl& t : allTables())
        if (!t.isView()) db.exec("DROP TABLE IF EXISTS \"" + std::string(t.storageName()) + "\"");
    EXPECT_EQ(db.count("SELECT count(*) FROM sqlite_master WHERE type IN ('table', 'view', 'index') AND name NOT LIKE 'sqlite_%'"), 0);
    db.exec(ddl::script(db::SqlDialect::Sqlite));
    expectMatchesDeclarations(db);
}

TEST(Schema, DeclarationsAreWellFormed) {
    std::set<std::string> labels, prefixes, names;
    EXPECT_EQ(allTables().size(), static_cast<size_t>(kTableCount));
    for (const TableDecl& t : allTables()) {
        SCOPED_TRACE(std::string(t.label));
        EXPECT_TRUE(labels.insert(upper(t.label)).second);
        EXPECT_TRUE(prefixes.insert(upper(t.prefix)).second);
        EXPECT_TRUE(names.insert(upper(t.storageName())).second);
        EXPECT_EQ(&decl(t.id), &t);
        EXPECT_EQ(findTable(t.label), &t);
        EXPECT_EQ(findTable(t.sqlName), &t);
        EXPECT_EQ(findTable(upper(t.storageName())), &t);
        std::set<std::string> cols, keys;
        int primaries = 0, numbered = 0;
        for (size_t c = 0; c < t.columns.size(); ++c) {
            const ColumnDecl& col = t.columns[c];
            EXPECT_TRUE(cols.insert(upper(col.name)).second) << col.name;
            EXPECT_EQ(t.columnIndex(col.name), static_cast<int>(c));
            EXPECT_EQ(t.columnLabel(static_cast<int>(c)), std::string(t.prefix) + ":" + std::string(col.name));
            numbered += col.numbered;
            if (col.type == ColType::Text || col.type == ColType::ZText) {
                EXPECT_GT(col.size, 0) << col.name;
            }
            if (col.type == ColType::Decimal) {
                EXPECT_GT(col.size, 0) << col.name;
                EXPECT_LE(col.scale, col.size) << col.name;
                EXPECT_LE(col.size, 19) << col.name;
            }
        }
        EXPECT_LE(numbered, 1);
        for (const KeyDecl& k : t.keys) {
            EXPECT_TRUE(keys.insert(upper(k.name)).second) << k.name;
            EXPECT_FALSE(k.components.empty()) << k.name;
            primaries += k.primary;
            if (k.primary) {
                EXPECT_TRUE(k.unique) << k.name;
            }
            // Decimals with places are stored as text, which would not order as numbers.
            for (const KeyComponent& kc : k.components)
                EXPECT_FALSE(t.columns[kc.column].type == ColType::Decimal && t.columns[kc.column].scale > 0)
                    << k.name << " orders by a decimal with places";
        }
        EXPECT_LE(primaries, 1);
    }
    // The database numbers exactly these.
    std::set<std::string> want{"DCH:RECORDID", "DCHF:RECORDID", "FIMP:RECORDID", "TID:RECORDID", "BAD:KEYID", "MGR:RUNID", "MGRR:ENTRYID"}, got;
    for (const TableDecl& t : allTables())
        if (int c = t.numberedColumn(); c >= 0) got.insert(t.columnLabel(c));
    EXPECT_EQ(got, want);
}

TEST(Schema, HandlesNameTheDeclaredColumns) {
    EXPECT_EQ(decl(BAH::BATCHNO.table).columns[BAH::BATCHNO.index].name, "BATCHNO");
    EXPECT_EQ(decl(DAT::DATEENTERED_DATE.table).columns[DAT::DATEENTERED_DATE.index].name, "DATEENTERED");
    EXPECT_EQ(DAT::DATEENTERED_DATE.index, DAT::DATEENTERED_TIME.index);
    EXPECT_EQ(decl(DAT::KEYCASECODE.table).keys[DAT::KEYCASECODE.index].name, "KEYCASECODE");
    EXPECT_TRUE(decl(DAT::KEYCASECODE.table).keys[DAT::KEYCASECODE.index].components[1].descending);
    EXPECT_EQ(decl(TableId::TemplateDocuments).indexName(DCC::KEYTYPE.index), "Documents.DocKey");
    EXPECT_EQ(decl(TableId::BatchH).storageName(), "BatchH");
    EXPECT_EQ(decl(TableId::ChargingMatrix).storageName(), "ChargingMatrix");
    EXPECT_EQ(decl(TableId::Control).columnIndex("lastbatch"), CON::LASTBATCH.index);
    EXPECT_EQ(decl(TableId::Control).columnIndex("NOPE"), -1);
}

TEST(Schema, TheServerScriptDeclaresEveryTableWithItsTypes) {
    const std::string s = ddl::script(db::SqlDialect::SqlServer);
    for (const TableDecl& t : allTables()) {
        if (t.isResultTable()) continue;
        std::string name = "[dbo].[" + std::string(t.storageName()) + "]";
        EXPECT_NE(s.find((t.isView() ? "CREATE VIEW " : "CREATE TABLE ") + name), std::string::npos) << name;
    }
    EXPECT_NE(s.find("[OUTLAYAMT2] decimal(7,2) NULL"), std::string::npos);
    EXPECT_NE(s.find("[DOCUMENTNAME] char(10) NULL"), std::string::npos);
    EXPECT_NE(s.find("[COMMENT] varchar(100) NULL"), std::string::npos);  // FIMP:COMMENT ztext 101
    EXPECT_NE(s.find("[RECORDID] int IDENTITY(1,1) NOT NULL"), std::string::npos);
    EXPECT_NE(s.find("CREATE UNIQUE INDEX [Documents.DocKey] ON [dbo].[TemplateDocuments] ([TYPE], [CODE])"), std::string::npos);
}

}  // namespace
}  // namespace mg
