// The page files drawn and exported: a multi-page report becomes one PDF whose pages have the
// report's page size and whose texts a PDF reader finds again (pdftotext); a page drawn into
// an image at any scale puts ink where the bands are.
//
// MG_REPORT_SHOTS=<folder> keeps the PDF there (to be turned into PNG pages and looked at).

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>

#include <QImage>
#include <QPainter>
#include <QtGlobal>

#include "test_report.h"
#include "ui/report/page_file.h"

namespace mg::report {
namespace {

std::string run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
}

bool havePoppler() { return std::system("pdftotext -v > /dev/null 2>&1") == 0; }

TEST(ReportPdf, AMultiPageReportBecomesOnePdfWhoseTextsCanBeFound) {
    ReportEngine engine(test::feesLayout());
    ASSERT_TRUE(engine.open());
    engine.setDateStamp(dates::dateFromMDY(3, 14, 2025));
    engine.setTimeStamp(dates::timeFromHMS(9, 5, 0));
    test::printRows(engine, test::feeRows({4, 9, 1}), dates::dateFromMDY(3, 14, 2025));
    ASSERT_EQ(engine.pageList().size(), 2u);

    const QByteArray keep = qgetenv("MG_REPORT_SHOTS");
    const std::filesystem::path dir = keep.isEmpty() ? std::filesystem::path(::testing::TempDir()) : std::filesystem::path(keep.toStdString());
    std::filesystem::create_directories(dir);
    const std::string pdf = (dir / "fees_report.pdf").string();
    std::string error;
    ASSERT_TRUE(exportPdf(engine.pageList(), pdf, error)) << error;

    std::string missing;
    EXPECT_FALSE(exportPdf({}, pdf + ".none", missing));
    EXPECT_FALSE(exportPdf({"/no/such/page.pic"}, pdf + ".none", missing));
    EXPECT_EQ(missing, "The page file /no/such/page.pic could not be read.");

    if (!havePoppler()) GTEST_SKIP() << "poppler-utils not installed";
    const std::string info = run("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Pages:           2"), std::string::npos) << info;
    EXPECT_NE(info.find("595 x 288 pts"), std::string::npos) << info;  // 8.268 x 4 inches
    const std::string page1 = run("pdftotext -f 1 -l 1 -layout '" + pdf + "' -");
    const std::string page2 = run("pdftotext -f 2 -l 2 -layout '" + pdf + "' -");
    for (const char* text : {"Fees Imported :", "Handler:", "Alice Brennan", "M1001/1", "1,234.50", "104207",
                             "14/03/2025", "09:05"})
        EXPECT_NE(page1.find(text), std::string::npos) << text << " not on page 1:\n" << page1;
    for (const char* text : {"Grace Hollis", "M1014/3", "Number of Document Fees ..."})
        EXPECT_NE(page2.find(text), std::string::npos) << text << " not on page 2:\n" << page2;
    EXPECT_EQ(page2.find("M1001/1"), std::string::npos);
    // The page number's blanks are the picture's; the reader may show them narrower.
    EXPECT_TRUE(std::regex_search(page1, std::regex("Page +1\n"))) << page1;
    EXPECT_TRUE(std::regex_search(page2, std::regex("Page +2\n"))) << page2;
}

// The same page at two scales puts its ink in the same places (relative to the page): texts
// do not grow or shrink apart from the page as the scale changes.
TEST(ReportPdf, APageDrawsTheSameAtEveryScale) {
    ReportEngine engine(test::feesLayout());
    ASSERT_TRUE(engine.open());
    test::printRows(engine, test::feeRows({3}), dates::dateFromMDY(3, 14, 2025));
    Page page;
    ASSERT_TRUE(page.load(engine.pageList()[0]));
    EXPECT_EQ(page.size(), QSize(8268, 4000));

    auto inkColumns = [&](int width) {
        const int height = width * 4000 / 8268;
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        page.draw(p, QRectF(0, 0, width, height));
        p.end();
        // The rightmost inked column of the row band holding the first detail, as a share of the width.
        const int top = height * 942 / 4000, bottom = height * 1142 / 4000;
        int right = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < width; ++x)
                if (qGray(image.pixel(x, y)) < 128) right = std::max(right, x);
        return double(right) / width;
    };
    const double small = inkColumns(800), large = inkColumns(3200);
    EXPECT_GT(small, 0.5);
    EXPECT_NEAR(small, large, 0.01);
}

}  // namespace
}  // namespace mg::report
