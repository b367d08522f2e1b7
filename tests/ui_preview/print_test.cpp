// Printing the page list: every page (or the range chosen) reaches the printer at the
// printer's own resolution with its texts in place. The printer here writes a PDF, read back
// with pdftotext.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include <QPrinter>
#include <QTemporaryDir>

#include "../ui_report/test_report.h"
#include "ui/preview/report_print.h"

namespace mg::ui {
namespace {

std::string run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
}

TEST(ReportPrint, EveryPageOrTheChosenRangeReachesThePrinterAtItsResolution) {
    report::ReportEngine engine(report::test::feesLayout());
    ASSERT_TRUE(engine.open());
    report::test::printRows(engine, report::test::feeRows({30}), 45000);
    ASSERT_EQ(engine.pageList().size(), 3u);
    QTemporaryDir dir;
    struct Case {
        int from, to;
        const char* pages;
        const char* firstMatter;
    };
    for (const Case& c : {Case{0, 0, "Pages:           3", "M1001/1"}, Case{2, 3, "Pages:           2", "M1012/1"}}) {
        const QString file = dir.filePath(QString("printed%1.pdf").arg(c.from));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        if (c.from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(c.from, c.to);
        }
        std::string error;
        ASSERT_TRUE(printPages(engine.pageList(), printer, error)) << error;
        if (std::system("pdftotext -v > /dev/null 2>&1") != 0) GTEST_SKIP() << "poppler-utils not installed";
        const std::string info = run("pdfinfo '" + file.toStdString() + "'");
        EXPECT_NE(info.find(c.pages), std::string::npos) << info;
        EXPECT_NE(info.find("595 x 288 pts"), std::string::npos) << info;
        const std::string first = run("pdftotext -f 1 -l 1 -layout '" + file.toStdString() + "' -");
        EXPECT_NE(first.find(c.firstMatter), std::string::npos) << first;
        EXPECT_NE(first.find("Fees Imported :"), std::string::npos) << first;
    }
    std::string error;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("missing.pdf"));
    EXPECT_FALSE(printPages({"/no/such/page.mgp"}, printer, error));
    EXPECT_EQ(error, "The page file /no/such/page.mgp could not be read.");
}

}  // namespace
}  // namespace mg::ui
