#include "fees/report_layouts.h"

namespace mg::fees {
namespace {

using report::Align;
using report::Band;
using report::ControlKind;
using report::Font;
using report::Group;
using report::ReportLayout;

// Both reports print on a landscape A4 page: the columns' pictures (texts of 50 and 40
// characters beside each other) need more than a portrait page's width at a readable size.
// Margins of a quarter inch all round; the body runs from `bodyY` to the page footer.
constexpr int kPageWidth = 11693;   // A4 landscape
constexpr int kPageHeight = 8268;
constexpr int kMargin = 250;
constexpr int kBandWidth = kPageWidth - 2 * kMargin;  // 11193
constexpr int kFooterY = kPageHeight - 2 * kMargin;   // 7768

// Both reports share the page: the form band with its (empty) image, and the page footer
// with the date and time stamps and the page number at `pageNumberX`.
void commonPage(ReportLayout& l, int bodyY, int pageNumberX) {
    l.pageWidth = kPageHeight;
    l.pageHeight = kPageWidth;
    l.landscape = true;
    Band form{"form", kMargin, kMargin, kBandWidth, kPageHeight - 2 * kMargin, {}, {}};
    form.controls.push_back({.kind = ControlKind::Image, .name = "?FORMIMAGE", .x = 0, .y = 0, .w = form.w, .h = form.h});
    l.form = form;
    l.bodyX = kMargin;
    l.bodyY = bodyY;
    l.bodyW = kBandWidth;
    l.bodyH = kFooterY - bodyY;

    Band footer{"pageFooter", kMargin, kFooterY, kBandWidth, 250, {"Arial", 8, false}, {}};
    footer.controls.push_back({.kind = ControlKind::Text, .x = 115, .y = 52, .w = 344, .h = 135, .text = "Date:"});
    footer.controls.push_back({.kind = ControlKind::DateStamp, .name = "?ReportDateStamp", .x = 490, .y = 52, .w = 927, .h = 135,
                               .text = "<-- Date Stamp -->", .picture = "D17"});
    footer.controls.push_back({.kind = ControlKind::Text, .x = 1625, .y = 52, .w = 271, .h = 135, .text = "Time:"});
    footer.controls.push_back({.kind = ControlKind::TimeStamp, .name = "?ReportTimeStamp", .x = 1927, .y = 52, .w = 927, .h = 135,
                               .text = "<-- Time Stamp -->", .picture = "T7"});
    footer.controls.push_back({.kind = ControlKind::PageNumber, .name = "?PageCount", .x = pageNumberX, .y = 52, .w = 698, .h = 135,
                               .picture = "pPage <<#p"});
    l.pageFooter = footer;
}

}  // namespace

ReportLayout feesToImportLayout() {
    ReportLayout l;
    l.caption = "DiaryAttFees Report";
    l.font = {"Arial", 10, false};
    commonPage(l, 854, kBandWidth - 1292);

    // Columns: matter (11 characters), its description (50), the document (10), the
    // document's name (50), the diary id (20 positions, right-aligned, ending near 10986).
    const Font sans8{"MS Sans Serif", 8, false};
    Band header{"pageHeader", kMargin, kMargin, kBandWidth, 604, sans8, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 0, .y = 21, .w = kBandWidth, .h = 219, .text = "Fees To Import ...",
                               .font = {"MS Sans Serif", 14, false}, .align = Align::Centre});
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 385, .w = 1146, .h = 208, .text = "Matter"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 4900, .y = 385, .w = 1146, .h = 208, .text = "Document Name Code"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 9840, .y = 385, .w = 1146, .h = 208, .text = "Diary ID",
                               .align = Align::Right});
    l.pageHeader = header;

    Group handler{"handler", "DAF:FNCODE", Band{"handlerHeader", 0, 0, kBandWidth, 292, {}, {}},
                  Band{"handlerFooter", 0, 0, kBandWidth, 250, {}, {}}};
    handler.header->controls.push_back({.kind = ControlKind::Text, .x = 63, .y = 21, .text = "Handler:"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 729, .y = 21, .field = "DAF:FNCODE", .picture = "s3"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 1146, .y = 21, .field = "HAN:NAME", .picture = "s30"});
    handler.header->controls.push_back({.kind = ControlKind::Line, .x = -115, .y = 240, .w = kBandWidth + 230, .h = 0});
    handler.footer->controls.push_back({.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "No of Document Fees for Handler.."});
    handler.footer->controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTHAN", .x = 4583, .y = 0, .picture = "n-14"});
    l.groups = {handler};

    // The detail in Arial 8: two texts of 50 characters, capitals included, side by side.
    Band detail{"detail", 0, 0, kBandWidth, 229, {"Arial", 8, false}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = -21, .y = 10, .w = 900, .h = 208, .field = "DAF:CASECODE", .picture = "s11"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 940, .y = 10, .w = 3900, .h = 208, .field = "MAT:DESCRIPTION", .picture = "s50"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 4900, .y = 10, .w = 850, .h = 208, .field = "DAF:NAME", .picture = "s10"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 5800, .y = 10, .w = 3900, .h = 208, .field = "DCC:NAME", .picture = "s50"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 9750, .y = 10, .field = "DAF:DIARYID", .picture = "n20"});
    l.details = {detail};

    Band end{"reportFooter", 0, 0, kBandWidth, 250, {}, {}};
    end.controls.push_back({.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "Number of Document Fees ..."});
    end.controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTALNUM", .x = 4479, .y = 0, .picture = "n-14"});
    l.reportFooter = end;
    return l;
}

ReportLayout importFeesLayout() {
    ReportLayout l;
    l.caption = "Dravel Report";
    l.font = {"MS Sans Serif", 8, false};
    commonPage(l, 850, kBandWidth - 802);

    const Font arial10{"Arial", 10, false};
    const Font arial14{"Arial", 14, false};
    Band header{"pageHeader", kMargin, kMargin, kBandWidth, 604, {"Arial", 8, false}, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 896, .y = 31, .w = 2917, .h = 281, .text = "Document Fees Imported :",
                               .font = arial14});
    header.controls.push_back({.kind = ControlKind::Field, .x = 3917, .y = 31, .field = "GLO:REPORTDATE", .picture = "d17",
                               .font = arial14});
    // Column titles over their columns; the two figures' titles end where the figures do.
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 385, .text = "Matter", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 4362, .y = 385, .text = "FE", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 5002, .y = 385, .text = "Task", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 7400, .y = 385, .w = 1300, .h = 208, .text = "Charge", .font = arial10,
                               .align = Align::Right});
    header.controls.push_back({.kind = ControlKind::Text, .x = 8700, .y = 385, .w = 1460, .h = 208, .text = "Track Ref", .font = arial10,
                               .align = Align::Right});
    l.pageHeader = header;

    // Every row printed is of the report's one date, so the date's total is the report's:
    // it is the report-end footer, which prints (with 0) even when no row is of the date.
    Group handler{"handler", "FIMP:FE", Band{"handlerHeader", 0, 0, kBandWidth, 260, {}, {}},
                  Band{"handlerFooter", 0, 0, kBandWidth, 198, {}, {}}};
    handler.header->controls.push_back({.kind = ControlKind::Text, .x = 104, .y = 10, .text = "Handler:"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 833, .y = 10, .field = "FIMP:FE", .picture = "s6"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 1354, .y = 10, .field = "HAN:NAME", .picture = "s30"});
    handler.footer->controls.push_back({.kind = ControlKind::Text, .x = 1875, .y = 0, .text = "Document Fees for Handler .."});
    handler.footer->controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTFE", .x = 3604, .y = 0, .picture = "n-14"});
    l.groups = {handler};
    Band total{"dateFooter", 0, 0, kBandWidth, 229, {}, {}};
    total.controls.push_back({.kind = ControlKind::Text, .x = 1771, .y = 10, .text = "Total Number of Document Fees.."});
    total.controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTTOT", .x = 3854, .y = 10, .picture = "n-14"});
    l.reportFooter = total;

    // Columns: matter (11 characters), its description (40), fee earner and task (6 each),
    // the comment (25), the charge and the tracking reference. The charge's picture holds
    // every amount up to 9,999,999.99 either side of zero with its separators; a larger
    // one is still printed whole. The date of each row is not shown: every row printed is
    // of the report's date, which the page header shows.
    Band detail{"detail", 0, 0, kBandWidth, 302, {}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = 42, .y = 135, .w = 900, .h = 167, .field = "FIMP:MATTER", .picture = "s11"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 1000, .y = 135, .w = 3250, .h = 167, .field = "MAT:DESCRIPTION", .picture = "s40"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 4300, .y = 135, .w = 600, .h = 167, .field = "FIMP:FE", .picture = "s6"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 4940, .y = 135, .w = 600, .h = 167, .field = "FIMP:TASK", .picture = "s6"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 5580, .y = 135, .w = 2050, .h = 167, .field = "FIMP:COMMENT", .picture = "s25"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 7900, .y = 146, .field = "FIMP:CHARGE", .picture = "n-13.2"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 9290, .y = 146, .field = "FIMP:TRACKREF", .picture = "n-14"});
    l.details = {detail};
    return l;
}

}  // namespace mg::fees
