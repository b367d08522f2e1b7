#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "data/context.h"
#include "data/decimal.h"
#include "data/schema.h"
#include "data/table.h"
#include "shell/demo.h"
#include "shell_support.h"

namespace mg::shell {
namespace {

using test::SqlFile;
using test::TempFolder;

Decimal dec(const std::string& s) { return Decimal::parse(s).value_or(Decimal()); }

// One demo database for all the tests of this file.
class DemoPractice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        path_ = folder_->file("demo.db");
        Error e = makeDemoDatabase(path_);
        ASSERT_FALSE(e) << e.text << " " << e.driverText;
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    SqlFile db() const { return SqlFile(path_); }

    static TempFolder* folder_;
    static std::string path_;
};
TempFolder* DemoPractice::folder_ = nullptr;
std::string DemoPractice::path_;

TEST_F(DemoPractice, HasRowsInEveryTableTheImportsRead) {
    SqlFile d(path_);
    const std::map<std::string, long long> expected = {
        {"control", 1},          {"Nominal", 16},           {"OutlayCode", 6},      {"TemplateDocuments", 8},
        {"Handlers", 5},         {"TasksCodes", 5},         {"ChargingMatrix", 11}, {"DocumentCharges", 7},
        {"DocumentChargesFees", 7}, {"Contacts", 8},        {"Matters", 12},        {"diary", 21},
        {"DiaryAttachments", 21}, {"DiaryAttFees", 21},     {"BatchH", 2},          {"BatchDetails", 4},
        {"TimeDayBook", 3},      {"FeesImported", 0},
    };
    for (const auto& [table, n] : expected) EXPECT_EQ(d.count("SELECT count(*) FROM " + table), n) << table;
}

TEST_F(DemoPractice, ControlRowNumbersContinueAfterTheBooks) {
    SqlFile d(path_);
    auto row = d.rows("SELECT Outlay, Year, CurPer, LastBatch, LastPref, Next_Doc_No, Name FROM control");
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0][0], "7100");
    EXPECT_EQ(row[0][1], "2026");
    EXPECT_EQ(row[0][2], "12");
    EXPECT_EQ(row[0][3], "1200");
    EXPECT_EQ(row[0][4], "54000");
    EXPECT_EQ(row[0][5], "1");
    EXPECT_FALSE(row[0][6].empty());
    // The books so far end exactly at the control row's numbers.
    EXPECT_EQ(d.scalar("SELECT max(BatchNo) FROM BatchH"), "1200");
    EXPECT_EQ(d.scalar("SELECT max(m) FROM (SELECT max(Pref) m FROM BatchH UNION SELECT max(Pref) FROM BatchDetails)"), "54000");
    // The lines of each posted batch add up to its value.
    EXPECT_EQ(d.count("SELECT count(*) FROM BatchH h WHERE h.Posted = 'Y' AND CAST(h.Value AS REAL) <> "
                      "(SELECT sum(CAST(l.Value AS REAL)) FROM BatchDetails l WHERE l.BatchNo = h.BatchNo)"),
              0);
    // The control row's outlay code is a nominal account, and so is every charge's.
    EXPECT_EQ(d.count("SELECT count(*) FROM Nominal WHERE Code = '7100'"), 1);
    EXPECT_EQ(d.count("SELECT count(*) FROM DocumentCharges c WHERE NOT EXISTS (SELECT 1 FROM Nominal n WHERE n.Code = c.NominalCode)"), 0);
}

TEST_F(DemoPractice, KeepsTheStorageConventions) {
    SqlFile d(path_);
    // No text column of any table holds trailing blanks.
    for (const TableDecl& t : allTables()) {
        if (t.isView() || t.isResultTable()) continue;
        for (const ColumnDecl& c : t.columns) {
            if (c.type != ColType::Text && c.type != ColType::ZText) continue;
            const std::string col = "\"" + std::string(c.name) + "\"";
            EXPECT_EQ(d.count("SELECT count(*) FROM \"" + std::string(t.storageName()) + "\" WHERE " + col + " <> rtrim(" + col + ")"),
                      0)
                << t.storageName() << "." << c.name;
        }
    }
    // Decimals with places are plain text with their places, whole-number decimals integers.
    EXPECT_EQ(d.scalar("SELECT typeof(OriginalDebt) || ' ' || OriginalDebt FROM Matters WHERE Code = 'BRE001-0001'"), "text 40000.00");
    EXPECT_EQ(d.scalar("SELECT typeof(OutlayAmt2) || ' ' || OutlayAmt2 FROM DocumentCharges WHERE DocumentName = 'SUMMONS' AND OutlayCode = 'POST'"),
              "text 2.50");
    EXPECT_EQ(d.count("SELECT count(*) FROM DiaryAttachments WHERE typeof(TrackReference) <> 'integer' OR typeof(DiaryID) <> 'integer'"), 0);
    EXPECT_EQ(d.count("SELECT count(*) FROM diary WHERE typeof(ActionID) <> 'integer'"), 0);
    // Dates are ISO text, date-times with their time.
    EXPECT_EQ(d.scalar("SELECT DateEntered FROM DiaryAttachments WHERE TrackReference = 20001"), "2026-11-23 09:15:00");
    EXPECT_EQ(d.scalar("SELECT Date FROM BatchH WHERE BatchNo = 1199"), "2026-11-20");
    EXPECT_EQ(d.count("SELECT count(*) FROM Matters WHERE Started NOT GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'"), 0);
}

TEST_F(DemoPractice, ReadsBackThroughTheDataLayer) {
    db::Settings s;
    s.driver = "sqlite";
    s.database = path_;
    Context ctx(s);
    Table& mat = ctx.table(TableId::Matters);
    ASSERT_EQ(mat.open(), 0);
    ctx.set(MAT::CODE, "FIT005-0001");
    ASSERT_EQ(mat.get(MAT::MATTERKEY), 0);
    EXPECT_EQ(ctx.get(MAT::ORIGINALDEBT) + ctx.get(MAT::DEBTINTEREST) - ctx.get(MAT::DEBTCOLLECTED), dec("-250.00"));
    EXPECT_EQ(ctx.trimmed(MAT::CLIENTCODE), "FIT005");

    Table& dat = ctx.table(TableId::DiaryAttachments);
    ASSERT_EQ(dat.open(), 0);
    ASSERT_EQ(dat.setStart(DAT::KEYTRACKREF), 0);
    std::vector<long long> refs;
    while (dat.next() == 0) refs.push_back(ctx.get(DAT::TRACKREFERENCE).toInt64());
    ASSERT_EQ(refs.size(), static_cast<size_t>(demo::kAttachments));
    EXPECT_EQ(refs.front(), demo::kFirstTrackRef);
    EXPECT_EQ(refs.back(), demo::kLastTrackRef);
}

TEST_F(DemoPractice, AttachmentsAreInTrackingOrderAndWaitForTheFeeImport) {
    SqlFile d(path_);
    auto byRef = d.rows("SELECT TrackReference FROM DiaryAttachments ORDER BY TrackReference");
    auto byTime = d.rows("SELECT TrackReference FROM DiaryAttachments ORDER BY DateEntered, TrackReference");
    EXPECT_EQ(byRef, byTime);
    EXPECT_EQ(d.count("SELECT count(DISTINCT TrackReference) FROM DiaryAttachments"), demo::kAttachments);
    EXPECT_EQ(d.count("SELECT count(*) FROM DiaryAttachments WHERE ifnull(Fees, 0) <> 0"), 0);
    // Every attachment names a template document.
    EXPECT_EQ(d.count("SELECT count(*) FROM DiaryAttachments a WHERE NOT EXISTS (SELECT 1 FROM TemplateDocuments t WHERE t.Code = a.Name)"), 0);
    // One diary entry carries two documents.
    EXPECT_EQ(d.count("SELECT count(*) FROM (SELECT DiaryID FROM DiaryAttachments GROUP BY DiaryID HAVING count(*) = 2)"), 1);
}

TEST_F(DemoPractice, HasTheAwkwardCasesOfBothImports) {
    SqlFile d(path_);
    // An attachment whose matter is missing, one whose diary entry is missing.
    EXPECT_EQ(d.rows("SELECT CaseCode FROM DiaryAttachments a WHERE NOT EXISTS (SELECT 1 FROM Matters m WHERE m.Code = a.CaseCode)"),
              (std::vector<std::vector<std::string>>{{demo::kMissingMatter}}));
    EXPECT_EQ(d.rows("SELECT DiaryID FROM DiaryAttachments a WHERE NOT EXISTS (SELECT 1 FROM diary x WHERE x.ActionID = a.DiaryID)"),
              (std::vector<std::vector<std::string>>{{std::to_string(demo::kMissingDiaryId)}}));
    // The missing matter's diary entry is there, so only the matter is missing.
    EXPECT_EQ(d.count(std::string("SELECT count(*) FROM diary WHERE CaseCode = '") + demo::kMissingMatter + "'"), 1);

    // Documents with one charge row, with two of different nominal codes, with two of the same.
    EXPECT_GE(d.count("SELECT count(*) FROM (SELECT DocumentName FROM DocumentCharges GROUP BY DocumentName HAVING count(*) = 1)"), 1);
    EXPECT_EQ(d.scalar("SELECT DocumentName FROM DocumentCharges GROUP BY DocumentName HAVING count(*) = 2 AND count(DISTINCT NominalCode) = 2"),
              "SUMMONS");
    EXPECT_EQ(d.scalar("SELECT DocumentName FROM DocumentCharges GROUP BY DocumentName HAVING count(*) = 2 AND count(DISTINCT NominalCode) = 1"),
              "LRSEARCH");
    // An outlay code without its own row (narrative " Outlay Charge").
    EXPECT_EQ(d.scalar("SELECT OutlayCode FROM DocumentCharges c WHERE NOT EXISTS (SELECT 1 FROM OutlayCode o WHERE o.Code = c.OutlayCode)"),
              "SHER");
    // Attachments whose documents have no outlay charge and no fee mapping.
    EXPECT_GT(d.count("SELECT count(*) FROM DiaryAttachments a WHERE NOT EXISTS (SELECT 1 FROM DocumentCharges c WHERE c.DocumentName = a.Name)"), 0);
    EXPECT_GT(d.count("SELECT count(*) FROM DiaryAttachments a WHERE NOT EXISTS (SELECT 1 FROM DocumentChargesFees f WHERE f.DocumentName = a.Name)"), 0);

    // Fee mappings: a document mapped to two task codes, a task code without a task row, a
    // fee earner without a handler row.
    EXPECT_EQ(d.scalar("SELECT DocumentName FROM DocumentChargesFees GROUP BY DocumentName HAVING count(*) = 2"), "SUMMONS");
    EXPECT_EQ(d.scalar("SELECT DISTINCT TaskChargeCode FROM DocumentChargesFees f WHERE NOT EXISTS (SELECT 1 FROM TasksCodes t WHERE t.Code = f.TaskChargeCode)"),
              "SRV");
    EXPECT_EQ(d.count("SELECT count(*) FROM DiaryAttFees f WHERE f.FnCode <> '' AND NOT EXISTS (SELECT 1 FROM Handlers h WHERE h.Code = f.FnCode)"), 1);

    // Charge arrangements: the matter's own, the client's in its place, and none at all.
    const std::string arrangement =
        "SELECT count(*) FROM DiaryAttFees f JOIN Matters m ON m.Code = f.CaseCode JOIN Contacts c ON c.Code = m.ClientCode WHERE ";
    EXPECT_GT(d.count(arrangement + "m.ChargeArrangement <> ''"), 0);
    EXPECT_GT(d.count(arrangement + "ifnull(m.ChargeArrangement, '') = '' AND c.ChargeArrangement <> ''"), 0);
    EXPECT_GT(d.count(arrangement + "ifnull(m.ChargeArrangement, '') = '' AND ifnull(c.ChargeArrangement, '') = '' AND m.Code = '" +
                      demo::kNoArrangementMatter + "'"),
              0);
    // The matrix has bands 7 and 8 filled too.
    EXPECT_EQ(d.count("SELECT count(*) FROM ChargingMatrix WHERE CAST(Band7Limit AS REAL) = 0 OR CAST(Band8Limit AS REAL) = 0 "
                      "OR CAST(Band8Rate AS REAL) = 0"),
              0);
    // Unique file numbers.
    EXPECT_EQ(d.count("SELECT count(DISTINCT FileNum) FROM Matters"), d.count("SELECT count(*) FROM Matters"));
}

// The outstanding debt of the matters the attachments name falls in every band of the
// charges that apply to them (the outlay bands of the document's charge rows; the matrix
// bands of the fee's arrangement and task code), on a limit and off the bands.
TEST_F(DemoPractice, DebtsFallInEveryBand) {
    SqlFile d(path_);
    std::set<int> outlayBands;  // 1..5, 0 for none (1.11)
    std::set<int> matrixBands;  // 1..6, 0 for none, -1 for a matrix row not found
    bool negative = false, onALimit = false, inAGap = false;

    auto charges = d.rows(
        "SELECT m.OriginalDebt, m.DebtInterest, m.DebtCollected, c.Band1, c.Band2, c.Band3, c.Band4, c.Band5 "
        "FROM DiaryAttachments a JOIN Matters m ON m.Code = a.CaseCode JOIN DocumentCharges c ON c.DocumentName = a.Name");
    ASSERT_FALSE(charges.empty());
    for (const auto& r : charges) {
        const Decimal debt = dec(r[0]) + dec(r[1]) - dec(r[2]);
        if (debt.isNegative()) negative = true;
        int band = 0;
        Decimal lower;
        for (int k = 0; k < 5; ++k) {
            const Decimal limit = dec(r[3 + k]);
            const bool in = k == 0 ? (!debt.isNegative() && debt <= limit) : (debt > lower && debt <= limit);
            if (in) {
                band = k + 1;
                if (debt == limit) onALimit = true;
                break;
            }
            lower = limit;
        }
        outlayBands.insert(band);
    }
    EXPECT_EQ(outlayBands, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(negative);
    EXPECT_TRUE(onALimit);

    auto fees = d.rows(
        "SELECT m.OriginalDebt, m.DebtInterest, m.DebtCollected, x.Band1Limit, x.Band2Limit, x.Band3Limit, x.Band4Limit, "
        "x.Band5Limit, x.Band6Limit, x.ArrangementCode "
        "FROM DiaryAttFees a JOIN Matters m ON m.Code = a.CaseCode JOIN Contacts c ON c.Code = m.ClientCode "
        "JOIN DocumentChargesFees f ON f.DocumentName = a.Name "
        "LEFT JOIN ChargingMatrix x ON x.ChargeCode = f.TaskChargeCode AND x.ArrangementCode = "
        "CASE WHEN ifnull(m.ChargeArrangement, '') <> '' THEN m.ChargeArrangement ELSE ifnull(c.ChargeArrangement, '') END");
    ASSERT_FALSE(fees.empty());
    for (const auto& r : fees) {
        if (r[9].empty()) {
            matrixBands.insert(-1);
            continue;
        }
        const Decimal debt = dec(r[0]) + dec(r[1]) - dec(r[2]);
        int band = 0;
        for (int k = 0; k < 6; ++k) {
            const Decimal low = k == 0 ? Decimal(0) : dec(r[3 + k - 1]) + Decimal(1);
            const Decimal limit = dec(r[3 + k]);
            if (debt >= low && debt <= limit) {
                band = k + 1;
                break;
            }
            if (k > 0 && debt > dec(r[3 + k - 1]) && debt < low) inAGap = true;
        }
        matrixBands.insert(band);
    }
    EXPECT_EQ(matrixBands, (std::set<int>{-1, 0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(inAGap);
}

TEST(DemoDatabase, RefusesAnExistingFileAndLeavesItAlone) {
    TempFolder dir;
    const std::string path = dir.file("practice.db");
    test::writeFile(path, "the practice's real data");
    Error e = makeDemoDatabase(path);
    EXPECT_TRUE(e);
    EXPECT_EQ(test::readFile(path), "the practice's real data");
}

TEST(DemoDatabase, LeavesNothingBehindWhenItCannotBeMade) {
    TempFolder dir;
    const std::string path = dir.file("no-such-folder/practice.db");
    EXPECT_TRUE(makeDemoDatabase(path));
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace mg::shell
