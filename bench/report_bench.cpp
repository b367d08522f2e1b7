// The report engine and the preview on long reports.
//
//  1. Pages produced per second: 20,000 detail lines of a fee report (A4 portrait, the fee
//     reports' geometry, a group per fee earner) laid into page files.
//  2. The preview at 100 % zoom on reports of 10 and of 1,000 pages: the time to show the
//     first page, and the mean time to turn a page (Next, then the page drawn); the cost per
//     page must not grow with the report (ratio 1,000 : 10 at most 1.5).
//
// Run offscreen: QT_QPA_PLATFORM=offscreen ./mg_report_bench
// (MG_REPORT_PDF=<file> also writes the 10-page report as a PDF.)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <memory>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSpinBox>

#include "data/dates.h"
#include "ui/preview/report_preview.h"
#include "ui/report/engine.h"
#include "ui/report/page_file.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

using namespace mg::report;

ReportLayout feeLayout() {
    ReportLayout l;
    l.caption = "DiaryAttFees Report";
    l.font = {"Arial", 10, false};
    Band form;
    form.name = "form";
    form.x = form.y = 250;
    form.w = 7750;
    form.h = 11188;
    form.controls.push_back({.kind = ControlKind::Image, .name = "?FORMIMAGE", .w = 7750, .h = 11188});
    l.form = form;
    Band header{"header", 250, 250, 7750, 604, {"MS Sans Serif", 8, false}, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 0, .y = 21, .w = 7750, .h = 219, .text = "Fees To Import ...",
                               .font = {"MS Sans Serif", 14, false}, .align = Align::Centre});
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 385, .w = 1146, .h = 208, .text = "Matter"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 3583, .y = 385, .w = 1146, .h = 208, .text = "Document Name Code"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 6552, .y = 385, .w = 1146, .h = 208, .text = "Diary ID"});
    l.pageHeader = header;
    l.bodyX = 250, l.bodyY = 854, l.bodyW = 7750, l.bodyH = 10333;
    Band footer{"footer", 250, 11188, 7750, 250, {"Arial", 8, false}, {}};
    footer.controls.push_back({.kind = ControlKind::Text, .x = 115, .y = 52, .w = 344, .h = 135, .text = "Date:"});
    footer.controls.push_back({.kind = ControlKind::DateStamp, .x = 490, .y = 52, .w = 927, .h = 135, .text = "<-- Date Stamp -->", .picture = "D17"});
    footer.controls.push_back({.kind = ControlKind::Text, .x = 1625, .y = 52, .w = 271, .h = 135, .text = "Time:"});
    footer.controls.push_back({.kind = ControlKind::TimeStamp, .x = 1927, .y = 52, .w = 927, .h = 135, .text = "<-- Time Stamp -->", .picture = "T7"});
    footer.controls.push_back({.kind = ControlKind::PageNumber, .x = 6458, .y = 52, .w = 698, .h = 135, .picture = "pPage <<#p"});
    l.pageFooter = footer;
    Group fe{"feeEarner", "DAF:FNCODE", Band{"feHeader", 0, 0, 7750, 292, {}, {}}, Band{"feFooter", 0, 0, 7750, 250, {}, {}}};
    fe.header->controls = {{.kind = ControlKind::Text, .x = 63, .y = 21, .text = "Handler:"},
                           {.kind = ControlKind::Field, .x = 729, .y = 21, .field = "DAF:FNCODE", .picture = "s3"},
                           {.kind = ControlKind::Field, .x = 1146, .y = 21, .field = "HAN:NAME", .picture = "s30"},
                           {.kind = ControlKind::Line, .x = -115, .y = 240, .w = 10000, .h = 0}};
    fe.footer->controls = {{.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "No of Document Fees for Handler.."},
                           {.kind = ControlKind::Count, .x = 4583, .y = 0, .picture = "n-14"}};
    l.groups = {fe};
    Band detail{"detail", 0, 0, 7750, 229, {}, {}};
    detail.controls = {{.kind = ControlKind::Field, .x = -21, .y = 10, .field = "DAF:CASECODE", .picture = "s11"},
                       {.kind = ControlKind::Field, .x = 948, .y = 10, .field = "MAT:DESCRIPTION", .picture = "s50"},
                       {.kind = ControlKind::Field, .x = 3521, .y = 10, .field = "DAF:NAME", .picture = "s10"},
                       {.kind = ControlKind::Field, .x = 4354, .y = 10, .w = 2083, .h = 208, .field = "DCC:NAME", .picture = "s50"},
                       {.kind = ControlKind::Field, .x = 6583, .y = 10, .field = "DAF:DIARYID", .picture = "n20"}};
    l.details = {detail};
    Band end;
    end.name = "end";
    end.w = 7750;
    end.h = 250;
    end.controls = {{.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "Number of Document Fees ..."},
                    {.kind = ControlKind::Count, .x = 4479, .y = 0, .picture = "n-14"}};
    l.reportFooter = end;
    return l;
}

// Prints `lines` detail lines (a new fee earner every 150) into `engine`, or fewer when the
// report has reached `pages` pages.
void printLines(ReportEngine& engine, int lines, size_t pages = 0) {
    Fields f;
    for (int i = 0; i < lines; ++i) {
        if (pages > 0 && engine.pageList().size() + 1 >= pages && engine.detailsPrinted() > 0 && i % 44 == 43) break;
        const int earner = i / 150;
        f.set("DAF:FNCODE", "F" + std::to_string(earner)).set("HAN:NAME", "Fee Earner " + std::to_string(earner));
        f.set("DAF:CASECODE", "M" + std::to_string(10000 + i) + "/1").set("MAT:DESCRIPTION", "Purchase of " + std::to_string(i) + " Long Lane, Upper Marrow");
        f.set("DAF:NAME", "LTR" + std::to_string(i % 97)).set("DCC:NAME", "Letter to client enclosing completion statement");
        f.set("DAF:DIARYID", mg::Decimal(500000 + i));
        engine.printDetail(f.source());
    }
    engine.finish();
}

struct PreviewFigures {
    double firstPageMs;
    double turnMs;
};

PreviewFigures measurePreview(const std::vector<std::string>& pages, int turns) {
    const auto t0 = Clock::now();
    mg::ui::ReportPreview window(pages);
    window.resize(1000, 800);
    window.show();
    window.setZoom(mg::ui::Zoom::P100);
    window.singlePage()->grab();  // drawn
    const double first = msSince(t0);
    window.cache().clear();
    // Every turn is to a page not drawn before: the cache is emptied first (outside the
    // time), and the short report starts again from its first page when it runs out.
    double turning = 0;
    for (int i = 0; i < turns; ++i) {
        if (window.currentPage() == window.totalPages()) window.controls().get<QSpinBox>("?CURRENTPAGE")->setValue(1);
        window.cache().clear();
        const auto t1 = Clock::now();
        window.next();
        window.singlePage()->grab();
        turning += msSince(t1);
    }
    const double turn = turning / turns;
    window.close();
    return {first, turn};
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    {
        ReportEngine engine(feeLayout());
        engine.open();
        const auto t = Clock::now();
        printLines(engine, 20000);
        const double ms = msSince(t);
        std::printf("engine: 20000 detail lines -> %zu pages in %.0f ms: %.0f pages/s, %.0f lines/s\n",
                    engine.pageList().size(), ms, engine.pageList().size() * 1000.0 / ms, 20000 * 1000.0 / ms);
    }

    // Drawing one page, without the window: what a page turn costs at the least.
    {
        ReportEngine engine(feeLayout());
        engine.open();
        printLines(engine, 200);
        Page page;
        page.load(engine.pageList()[1]);
        QImage image(794, 1123, QImage::Format_ARGB32_Premultiplied);
        const auto t = Clock::now();
        const int draws = 20;
        for (int i = 0; i < draws; ++i) {
            QPainter painter(&image);
            page.draw(painter, QRectF(0, 0, 794, 1123));
        }
        std::printf("a page of %zu drawing steps drawn at 100%% in %.2f ms\n", page.steps().size(), msSince(t) / draws);
    }

    // Both reports made first; then the preview measured on each in turn, three rounds after
    // a warm-up (fonts and glyph caches), the median of the rounds printed.
    const int turns = 30;
    std::vector<std::unique_ptr<ReportEngine>> reports;
    for (int pages : {10, 1000}) {
        reports.push_back(std::make_unique<ReportEngine>(feeLayout()));
        reports.back()->open();
        printLines(*reports.back(), 1000000, pages);
    }
    measurePreview(reports[0]->pageList(), 5);
    // MG_REPORT_PDF=<file> keeps the 10-page report as a PDF, to look at an A4 page.
    if (const QByteArray pdf = qgetenv("MG_REPORT_PDF"); !pdf.isEmpty()) {
        std::string error;
        if (!exportPdf(reports[0]->pageList(), pdf.toStdString(), error)) std::fprintf(stderr, "%s\n", error.c_str());
    }
    std::vector<std::vector<PreviewFigures>> rounds(2);
    for (int round = 0; round < 3; ++round)
        for (size_t r = 0; r < reports.size(); ++r) rounds[r].push_back(measurePreview(reports[r]->pageList(), turns));
    std::vector<PreviewFigures> figures;
    for (size_t r = 0; r < reports.size(); ++r) {
        auto& v = rounds[r];
        std::sort(v.begin(), v.end(), [](const PreviewFigures& a, const PreviewFigures& b) { return a.turnMs < b.turnMs; });
        PreviewFigures p = v[1];
        std::sort(v.begin(), v.end(), [](const PreviewFigures& a, const PreviewFigures& b) { return a.firstPageMs < b.firstPageMs; });
        p.firstPageMs = v[1].firstPageMs;
        figures.push_back(p);
        std::printf("preview at 100%%, %zu pages: first page shown in %.1f ms, a page turned in %.2f ms (median of 3 rounds of %d turns)\n",
                    reports[r]->pageList().size(), p.firstPageMs, p.turnMs, turns);
    }
    std::printf("cost per page turn, 1000 : 10 pages = %.2f (flat when <= 1.5)\n", figures[1].turnMs / figures[0].turnMs);
    std::printf("first page shown,   1000 : 10 pages = %.2f\n", figures[1].firstPageMs / figures[0].firstPageMs);
    return 0;
}
