#include "fees/report_layouts.h"

namespace mg::fees {
namespace {

using report::Align;
using report::Band;
using report::ControlKind;
using report::Font;
using report::Group;
using report::ReportLayout;

// Both reports share the page: the form band with its (empty) image, and the page footer
// with the date and time stamps and the page number at `pageNumberX`.
void commonPage(ReportLayout& l, int bodyY, int pageNumberX) {
    l.pageWidth = 8268;
    l.pageHeight = 11693;
    Band form{"form", 250, 250, 7750, 11188, {}, {}};
    form.controls.push_back({.kind = ControlKind::Image, .name = "?FORMIMAGE", .x = 0, .y = 0, .w = 7750, .h = 11188});
    l.form = form;
    l.bodyX = 250;
    l.bodyY = bodyY;
    l.bodyW = 7750;
    l.bodyH = 10333;

    Band footer{"pageFooter", 250, 11188, 7750, 250, {"Arial", 8, false}, {}};
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
    commonPage(l, 854, 6458);

    const Font sans8{"MS Sans Serif", 8, false};
    Band header{"pageHeader", 250, 250, 7750, 604, sans8, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 0, .y = 21, .w = 7750, .h = 219, .text = "Fees To Import ...",
                               .font = {"MS Sans Serif", 14, false}, .align = Align::Centre});
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 385, .w = 1146, .h = 208, .text = "Matter"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 3583, .y = 385, .w = 1146, .h = 208, .text = "Document Name Code"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 6552, .y = 385, .w = 1146, .h = 208, .text = "Diary ID"});
    l.pageHeader = header;

    Group handler{"handler", "DAF:FNCODE", Band{"handlerHeader", 0, 0, 7750, 292, {}, {}},
                  Band{"handlerFooter", 0, 0, 7750, 250, {}, {}}};
    handler.header->controls.push_back({.kind = ControlKind::Text, .x = 63, .y = 21, .text = "Handler:"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 729, .y = 21, .field = "DAF:FNCODE", .picture = "s3"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 1146, .y = 21, .field = "HAN:NAME", .picture = "s30"});
    handler.header->controls.push_back({.kind = ControlKind::Line, .x = -115, .y = 240, .w = 10000, .h = 0});
    handler.footer->controls.push_back({.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "No of Document Fees for Handler.."});
    handler.footer->controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTHAN", .x = 4583, .y = 0, .picture = "n-14"});
    l.groups = {handler};

    Band detail{"detail", 0, 0, 7750, 229, {}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = -21, .y = 10, .field = "DAF:CASECODE", .picture = "s11"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 948, .y = 10, .field = "MAT:DESCRIPTION", .picture = "s50"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 3521, .y = 10, .field = "DAF:NAME", .picture = "s10"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 4354, .y = 10, .w = 2083, .h = 208, .field = "DCC:NAME", .picture = "s50"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 6583, .y = 10, .field = "DAF:DIARYID", .picture = "n20"});
    l.details = {detail};

    Band end{"reportFooter", 0, 0, 7750, 250, {}, {}};
    end.controls.push_back({.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "Number of Document Fees ..."});
    end.controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTALNUM", .x = 4479, .y = 0, .picture = "n-14"});
    l.reportFooter = end;
    return l;
}

ReportLayout importFeesLayout() {
    ReportLayout l;
    l.caption = "Dravel Report";
    l.font = {"MS Sans Serif", 8, false};
    commonPage(l, 850, 6948);

    const Font arial10{"Arial", 10, false};
    const Font arial14{"Arial", 14, false};
    Band header{"pageHeader", 250, 250, 7750, 604, {"Arial", 8, false}, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 896, .y = 31, .w = 2917, .h = 281, .text = "Document Fees Imported :",
                               .font = arial14});
    header.controls.push_back({.kind = ControlKind::Field, .x = 3917, .y = 31, .field = "GLO:REPORTDATE", .picture = "d17",
                               .font = arial14});
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 385, .text = "Matter", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 3333, .y = 385, .text = "FE", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 3885, .y = 385, .text = "Task", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 5458, .y = 385, .text = "Charge", .font = arial10});
    header.controls.push_back({.kind = ControlKind::Text, .x = 6396, .y = 385, .text = "Track Ref", .font = arial10});
    l.pageHeader = header;

    // The outer group holds the one date the report prints; its footer is the report's total.
    Group date{"date", "FIMP:DATEIMPORTED", std::nullopt, Band{"dateFooter", 0, 0, 7750, 229, {}, {}}};
    date.footer->controls.push_back({.kind = ControlKind::Text, .x = 1771, .y = 10, .text = "Total Number of Document Fees.."});
    date.footer->controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTTOT", .x = 3854, .y = 10, .picture = "n-14"});
    Group handler{"handler", "FIMP:FE", Band{"handlerHeader", 0, 0, 7750, 260, {}, {}},
                  Band{"handlerFooter", 0, 0, 7750, 198, {}, {}}};
    handler.header->controls.push_back({.kind = ControlKind::Text, .x = 104, .y = 10, .text = "Handler:"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 833, .y = 10, .field = "FIMP:FE", .picture = "s6"});
    handler.header->controls.push_back({.kind = ControlKind::Field, .x = 1354, .y = 10, .field = "HAN:NAME", .picture = "s30"});
    handler.footer->controls.push_back({.kind = ControlKind::Text, .x = 1875, .y = 0, .text = "Document Fees for Handler .."});
    handler.footer->controls.push_back({.kind = ControlKind::Count, .name = "LOC:TOTFE", .x = 3604, .y = 0, .picture = "n-14"});
    l.groups = {date, handler};

    // The date of each row is not shown: every row printed is of the report's date, which
    // the page header shows.
    Band detail{"detail", 0, 0, 7750, 302, {}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = 42, .y = 135, .field = "FIMP:MATTER", .picture = "s11"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 875, .y = 135, .field = "MAT:DESCRIPTION", .picture = "s40"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 3271, .y = 135, .field = "FIMP:FE", .picture = "s6"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 3833, .y = 135, .field = "FIMP:TASK", .picture = "s6"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 4313, .y = 135, .field = "FIMP:COMMENT", .picture = "s25"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 5469, .y = 146, .field = "FIMP:CHARGE", .picture = "n8.2"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 6448, .y = 146, .field = "FIMP:TRACKREF", .picture = "n-14"});
    l.details = {detail};
    return l;
}

}  // namespace mg::fees
