// The report engine on the tests' own fee layout: groups, counts, page breaks, stamps and page
// numbers as golden text pages; the bands' order and counts checked across every page; the
// page files and their removal; bad use refused.
//
// Golden pages live in tests/ui_report/golden/. MG_UPDATE_GOLDEN=1 rewrites them from the
// engine's output; review the diff before committing.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <QtGlobal>

#include "golden.h"
#include "data/dates.h"
#include "test_report.h"

namespace mg::report {
namespace {

const int32_t kDate = dates::dateFromMDY(3, 14, 2025);
const int32_t kTime = dates::timeFromHMS(9, 5, 0);


// Compares each page's text with golden/<name>/pageN.txt (and that there are no more pages).
void expectGolden(const std::string& name, const std::vector<std::string>& pages) {
    mg::test::expectGoldenPages(MG_GOLDEN_DIR, name, pages);
}

// The body bands of every page in order, as "kind:first text" lines, for order checks.
struct PlacedBand {
    int page;
    std::string kind;
    int y, h;
    std::vector<std::string> texts;
};

std::vector<PlacedBand> bandsOf(const std::vector<std::string>& pages) {
    std::vector<PlacedBand> out;
    const std::regex band(R"re(^  ([a-z][a-z ]*?)(?: \w+)? \((-?\d+),(-?\d+)\) \d+x(\d+)$)re");
    const std::regex text(R"re(^    \(-?\d+,-?\d+\) "(.*)"$)re");
    for (size_t p = 0; p < pages.size(); ++p) {
        std::istringstream in(pages[p]);
        std::string line;
        while (std::getline(in, line)) {
            std::smatch m;
            if (std::regex_match(line, m, band))
                out.push_back({static_cast<int>(p + 1), m[1], std::stoi(m[3]), std::stoi(m[4]), {}});
            else if (std::regex_match(line, m, text) && !out.empty()) out.back().texts.push_back(m[1]);
        }
    }
    return out;
}

std::string trim(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

TEST(ReportEngine, GroupsCountsPageBreaksAndStampsMatchTheGoldenPages) {
    ReportEngine engine(test::feesLayout());
    ASSERT_TRUE(engine.open());
    engine.setDateStamp(kDate);
    engine.setTimeStamp(kTime);
    // Three fee earners: the second's nine fees run over a page break.
    test::printRows(engine, test::feeRows({4, 9, 1}), kDate);
    ASSERT_TRUE(engine.finished());
    EXPECT_EQ(engine.detailsPrinted(), 14);
    EXPECT_EQ(engine.pageList().size(), engine.pageTexts().size());
    expectGolden("three_handlers", engine.pageTexts());
}

TEST(ReportEngine, AReportWithoutDetailsHasOnePageWithTheZeroCount) {
    ReportEngine engine(test::feesLayout());
    ASSERT_TRUE(engine.open());
    engine.setDateStamp(kDate);
    engine.setTimeStamp(kTime);
    engine.setReportFields(test::reportFields(kDate));  // the page header's date without any record
    ASSERT_TRUE(engine.finish());
    expectGolden("no_details", engine.pageTexts());
}

// Whatever the number of rows, every row is printed once, in order; each fee earner's group
// opens once before its first row and closes once after its last with its own count; the
// report-end footer comes once, last, with the grand count; a group header is never the last
// band of a page; the page footer numbers the pages 1, 2, 3...
TEST(ReportEngine, EveryRowOnceGroupsAroundThemAndPagesNumberedWhateverTheSizes) {
    const std::vector<std::vector<int>> cases = {{1}, {10}, {11}, {12}, {3, 3, 3, 3}, {25, 1, 40}, {0, 9, 0, 9}, {100}};
    for (const auto& perEarner : cases) {
        SCOPED_TRACE(::testing::PrintToString(perEarner));
        const auto rows = test::feeRows(perEarner);
        ReportEngine engine(test::feesLayout());
        ASSERT_TRUE(engine.open());
        engine.setDateStamp(kDate);
        engine.setTimeStamp(kTime);
        test::printRows(engine, rows, kDate);
        const auto bands = bandsOf(engine.pageTexts());

        size_t row = 0;
        int groupCount = 0, headers = 0, footers = 0, totals = 0, ends = 0;
        std::string openFe;
        for (size_t i = 0; i < bands.size(); ++i) {
            const PlacedBand& b = bands[i];
            if (b.kind == "detail") {
                ASSERT_LT(row, rows.size());
                EXPECT_EQ(b.texts[0], rows[row].matter);
                EXPECT_EQ(trim(b.texts[4]), std::to_string(rows[row].trackRef));
                EXPECT_EQ(rows[row].fe, openFe) << "row " << row << " outside its group";
                ++row;
                ++groupCount;
            } else if (b.kind == "group header") {
                EXPECT_TRUE(openFe.empty()) << "header inside an open group";
                openFe = b.texts[1];
                groupCount = 0;
                ++headers;
                ASSERT_LT(i + 1, bands.size());
                EXPECT_EQ(bands[i + 1].page, b.page) << "group header left alone at the foot of page " << b.page;
            } else if (b.kind == "group footer" && b.texts[0].rfind("Document Fees", 0) == 0) {
                EXPECT_EQ(trim(b.texts[1]), std::to_string(groupCount));
                EXPECT_EQ(trim(b.texts[2]), openFe);
                openFe.clear();
                ++footers;
            } else if (b.kind == "group footer") {
                EXPECT_EQ(trim(b.texts[1]), std::to_string(rows.size()));
                EXPECT_EQ(b.texts[2], "14/03/2025");
                ++totals;
            } else if (b.kind == "report footer") {
                EXPECT_EQ(i, bands.size() - 2) << "the report-end footer is the last band of the body";
                EXPECT_EQ(trim(b.texts[1]), std::to_string(rows.size()));
                ++ends;
            } else if (b.kind == "page header") {
                // The report's date; the fee earner of the first detail on the page.
                EXPECT_EQ(b.texts[1], "14/03/2025");
                for (size_t j = i + 1; j < bands.size() && bands[j].page == b.page; ++j)
                    if (bands[j].kind == "detail") {
                        EXPECT_EQ(trim(b.texts[2]), bands[j].texts[2]) << "page " << b.page;
                        break;
                    }
            } else if (b.kind == "page footer") {
                EXPECT_EQ(b.texts[4], "Page " + std::string(b.page < 10 ? "  " : b.page < 100 ? " " : "") +
                                          std::to_string(b.page));
                EXPECT_EQ(b.texts[1], "14/03/2025");
                EXPECT_EQ(b.texts[3], "09:05");
            }
        }
        int groups = 0;
        for (int n : perEarner) groups += n > 0;
        EXPECT_EQ(row, rows.size());
        EXPECT_EQ(headers, groups);
        EXPECT_EQ(footers, groups);
        EXPECT_EQ(totals, rows.empty() ? 0 : 1);
        EXPECT_EQ(ends, 1);
        // Bands never overlap and stay inside the body.
        for (const PlacedBand& b : bands)
            if (b.kind != "form" && b.kind != "page header" && b.kind != "page footer") {
                EXPECT_GE(b.y, 650);
                EXPECT_LE(b.y + b.h, 650 + 2500) << b.kind << " on page " << b.page;
            }
        for (size_t i = 1; i < bands.size(); ++i)
            if (bands[i].page == bands[i - 1].page && bands[i].kind != "page footer" && bands[i - 1].kind != "page header" &&
                bands[i - 1].kind != "form") {
                EXPECT_GT(bands[i].y, bands[i - 1].y);
            }
    }
}

TEST(ReportEngine, AnOuterGroupChangeClosesAndReopensTheInnerGroup) {
    ReportEngine engine(test::feesLayout());
    ASSERT_TRUE(engine.open());
    const test::FeeRow r = test::feeRows({1})[0];
    Fields a = test::fieldsOf(r, kDate), b = test::fieldsOf(r, kDate + 1);
    engine.printDetail(a.source());
    engine.printDetail(b.source());
    engine.finish();
    std::string sequence;
    for (const PlacedBand& band : bandsOf(engine.pageTexts()))
        if (band.kind != "form" && band.kind != "page header" && band.kind != "page footer")
            sequence += band.kind + (band.kind == "group footer" ? "(" + trim(band.texts[1]) + ")" : "") + ";";
    EXPECT_EQ(sequence,
              "group header;detail;group footer(1);group footer(1);"
              "group header;detail;group footer(1);group footer(1);report footer;");
}

TEST(ReportEngine, PageFilesLiveUntilTheReportClosesAndBadUseIsRefused) {
    ReportEngine engine(test::feesLayout());
    Fields f = test::fieldsOf(test::feeRows({1})[0], kDate);
    EXPECT_FALSE(engine.printDetail(f.source())) << "not open";
    ASSERT_TRUE(engine.open(::testing::TempDir()));
    EXPECT_FALSE(engine.printDetail(f.source(), "noSuchBand"));
    test::printRows(engine, test::feeRows({30}), kDate);
    EXPECT_FALSE(engine.printDetail(f.source())) << "after the end";
    EXPECT_FALSE(engine.finish()) << "finished twice";
    const auto files = engine.pageList();
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& file : files) {
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
        EXPECT_GT(std::filesystem::file_size(file), 100u);
    }
    const auto folder = std::filesystem::path(files[0]).parent_path();
    engine.close();
    EXPECT_TRUE(engine.pageList().empty());
    EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST(ReportEngine, ABandTallerThanTheBodyRunsOverTheFootInsteadOfBreakingForever) {
    ReportLayout l = test::feesLayout();
    l.details[0].h = l.bodyH + 500;
    ReportEngine engine(l);
    ASSERT_TRUE(engine.open());
    test::printRows(engine, test::feeRows({2}), kDate);
    const auto bands = bandsOf(engine.pageTexts());
    int details = 0;
    for (const auto& b : bands) details += b.kind == "detail";
    EXPECT_EQ(details, 2);
    EXPECT_EQ(engine.pageList().size(), 3u);  // header and detail, detail, then the footers
}

TEST(ReportEngine, StampsShowTheirLayoutTextUntilSetAndUnknownFieldsPrintBlank) {
    ReportLayout l = test::feesLayout();
    ReportEngine engine(l);
    ASSERT_TRUE(engine.open());
    Fields f;
    f.set("FIMP:MATTER", "M1");
    engine.printDetail(f.source());
    engine.finish();
    const auto bands = bandsOf(engine.pageTexts());
    for (const auto& b : bands) {
        if (b.kind == "detail") {
            EXPECT_EQ(b.texts[0], "M1");
            EXPECT_EQ(b.texts[2], "");
        }
        if (b.kind == "group header") {
            EXPECT_EQ(b.texts[1], "");
        }
    }
    // Stamps were set to today on opening; a date stamp of 0 shows nothing.
    engine.open();
    engine.setDateStamp(0);
    engine.finish();
    EXPECT_NE(engine.pageTexts()[0].find("(490,52) \"\""), std::string::npos);
}

// What a detail prints: a figure whole whatever its picture's positions (never '#'), a text
// longer than its cell cut at a whole character and marked, and one group for a key written
// in several cases (accented letters too) or with trailing blanks.
TEST(ReportEngine, FiguresPrintWholeLongTextsAreMarkedAndGroupsIgnoreCase) {
    ReportLayout l;
    l.pageWidth = 8268;
    l.pageHeight = 4000;
    l.bodyY = 250;
    l.bodyH = 3500;
    Group g{"fe", "FE", Band{"feHeader", 0, 0, 7750, 250, {}, {}}, std::nullopt};
    g.header->controls.push_back({.kind = ControlKind::Field, .x = 0, .y = 0, .field = "FE", .picture = "s6"});
    l.groups = {g};
    Band detail{"detail", 0, 0, 7750, 250, {"Arial", 8, false}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = 0, .y = 0, .w = 900, .h = 200, .field = "TEXT", .picture = "s50"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 1000, .y = 0, .field = "AMOUNT", .picture = "n8.2"});
    l.details = {detail};

    ReportEngine engine(l);
    ASSERT_TRUE(engine.open());
    struct Row {
        const char* fe;
        const char* text;
        const char* amount;
    };
    const Row rows[] = {
        {"JOB", "Short", "0.00"},
        {"job  ", "Kelly v Naas Motor Sales - defective vehicle claim", "-1000.00"},
        {"Job", "Short", "10000.00"},
        {"ÉAB", "Short", "9999999.99"},
        {"éab", "Short", "-12345678901.25"},
    };
    for (const Row& r : rows) {
        Fields f;
        f.set("FE", r.fe).set("TEXT", r.text).set("AMOUNT", *Decimal::parse(r.amount));
        ASSERT_TRUE(engine.printDetail(f.source()));
    }
    engine.finish();
    std::vector<std::string> groups, texts, amounts;
    for (const auto& b : bandsOf(engine.pageTexts())) {
        if (b.kind == "group header") groups.push_back(b.texts[0]);
        if (b.kind == "detail") {
            texts.push_back(b.texts[0]);
            amounts.push_back(b.texts[1]);
        }
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"JOB", "ÉAB"}));
    EXPECT_EQ(amounts, (std::vector<std::string>{"    0.00", "-1,000.00", "10,000.00", "9,999,999.99", "-12,345,678,901.25"}));
    ASSERT_EQ(texts.size(), 5u);
    // The long text is cut in its 0.9-inch cell and ends in the mark; it begins as it did.
    const std::string mark = "\u2026";
    ASSERT_GT(texts[1].size(), mark.size());
    EXPECT_EQ(texts[1].substr(texts[1].size() - mark.size()), mark);
    EXPECT_EQ(std::string("Kelly v Naas Motor Sales - defective vehicle claim").rfind(texts[1].substr(0, texts[1].size() - mark.size()), 0), 0u);
    EXPECT_EQ(texts[0], "Short");
}

}  // namespace
}  // namespace mg::report
