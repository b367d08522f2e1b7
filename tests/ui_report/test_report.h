#pragma once
// A report layout of the tests' own, shaped like the practice's fee reports but on a short
// page, so that a few dozen rows make several pages: an outer group on the date with a total
// footer, an inner group per fee earner with a header and a count footer, a report-end
// footer, and a page header and footer with the date and time stamps and the page number.

#include <string>
#include <vector>

#include "data/dates.h"
#include "ui/report/engine.h"

namespace mg::report::test {

inline ReportLayout feesLayout() {
    ReportLayout l;
    l.caption = "Test Fees Report";
    l.pageWidth = 8268;
    l.pageHeight = 4000;
    l.font = {"Arial", 10, false};
    Band form{"form", 250, 250, 7750, 3300, {}, {}};
    form.controls.push_back({ControlKind::Image, "?FORMIMAGE", 0, 0, 7750, 3300});
    l.form = form;

    Band header{"header", 250, 250, 7750, 400, {"Arial", 8, false}, {}};
    header.controls.push_back({.kind = ControlKind::Text, .x = 2200, .y = 21, .w = 2700, .h = 219, .text = "Fees Imported :",
                               .font = {"Arial", 14, true}, .align = Align::Left});
    header.controls.push_back({.kind = ControlKind::Field, .x = 5000, .y = 21, .field = "GLO:REPORTDATE", .picture = "d17",
                               .font = {"Arial", 14, true}});
    header.controls.push_back({.kind = ControlKind::Field, .x = 6396, .y = 21, .field = "FIMP:FE", .picture = "s6"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 52, .y = 250, .text = "Matter"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 3333, .y = 250, .text = "FE"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 5458, .y = 250, .text = "Charge"});
    header.controls.push_back({.kind = ControlKind::Text, .x = 6396, .y = 250, .text = "Track Ref"});
    l.pageHeader = header;
    l.bodyX = 250;
    l.bodyY = 650;
    l.bodyW = 7750;
    l.bodyH = 2500;

    Band footer{"footer", 250, 3300, 7750, 250, {"Arial", 8, false}, {}};
    footer.controls.push_back({.kind = ControlKind::Text, .x = 115, .y = 52, .w = 344, .h = 135, .text = "Date:"});
    footer.controls.push_back({.kind = ControlKind::DateStamp, .x = 490, .y = 52, .w = 927, .h = 135,
                               .text = "<-- Date Stamp -->", .picture = "D17"});
    footer.controls.push_back({.kind = ControlKind::Text, .x = 1625, .y = 52, .w = 271, .h = 135, .text = "Time:"});
    footer.controls.push_back({.kind = ControlKind::TimeStamp, .x = 1927, .y = 52, .w = 927, .h = 135,
                               .text = "<-- Time Stamp -->", .picture = "T7"});
    footer.controls.push_back({.kind = ControlKind::PageNumber, .x = 6948, .y = 52, .w = 698, .h = 135,
                               .picture = "pPage <<#p"});
    l.pageFooter = footer;

    Group date{"date", "FIMP:DATEIMPORTED", std::nullopt, Band{"dateFooter", 0, 0, 7750, 229, {}, {}}};
    date.footer->controls.push_back({.kind = ControlKind::Text, .x = 1771, .y = 10, .text = "Total Number of Document Fees.."});
    date.footer->controls.push_back({.kind = ControlKind::Count, .x = 3854, .y = 10, .picture = "n-14"});
    date.footer->controls.push_back({.kind = ControlKind::Field, .x = 5400, .y = 10, .field = "FIMP:DATEIMPORTED", .picture = "d17"});
    Group fe{"feeEarner", "FIMP:FE", Band{"feHeader", 0, 0, 7750, 292, {}, {}}, Band{"feFooter", 0, 0, 7750, 250, {}, {}}};
    fe.header->controls.push_back({.kind = ControlKind::Text, .x = 63, .y = 21, .text = "Handler:"});
    fe.header->controls.push_back({.kind = ControlKind::Field, .x = 729, .y = 21, .field = "FIMP:FE", .picture = "s3"});
    fe.header->controls.push_back({.kind = ControlKind::Field, .x = 1146, .y = 21, .field = "HAN:NAME", .picture = "s30"});
    fe.header->controls.push_back({.kind = ControlKind::Line, .x = -115, .y = 240, .w = 10000, .h = 0});
    fe.footer->controls.push_back({.kind = ControlKind::Text, .x = 1875, .y = 0, .text = "Document Fees for Handler .."});
    fe.footer->controls.push_back({.kind = ControlKind::Count, .x = 3604, .y = 0, .picture = "n-14"});
    fe.footer->controls.push_back({.kind = ControlKind::Field, .x = 5000, .y = 0, .field = "FIMP:FE", .picture = "s6"});
    l.groups = {date, fe};

    Band detail{"detail", 0, 0, 7750, 200, {}, {}};
    detail.controls.push_back({.kind = ControlKind::Field, .x = 42, .y = 10, .field = "FIMP:MATTER", .picture = "s11"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 875, .y = 10, .w = 2300, .h = 180, .field = "MAT:DESCRIPTION", .picture = "s40"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 3271, .y = 10, .field = "FIMP:FE", .picture = "s6"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 5469, .y = 10, .field = "FIMP:CHARGE", .picture = "n8.2"});
    detail.controls.push_back({.kind = ControlKind::Field, .x = 6448, .y = 10, .field = "FIMP:TRACKREF", .picture = "n-14"});
    l.details = {detail};

    Band end{"reportFooter", 0, 0, 7750, 250, {}, {}};
    end.controls.push_back({.kind = ControlKind::Text, .x = 2396, .y = 0, .text = "Number of Document Fees ..."});
    end.controls.push_back({.kind = ControlKind::Count, .x = 4479, .y = 0, .picture = "n-14"});
    l.reportFooter = end;
    return l;
}

struct FeeRow {
    std::string fe, name, matter, description;
    const char* charge;
    long long trackRef;
};

// `perEarner[i]` rows for the i-th of a few fee earners, in fee-earner order.
inline std::vector<FeeRow> feeRows(const std::vector<int>& perEarner) {
    static const char* codes[] = {"ABC", "DEF", "GHJ", "KLM", "NPQ"};
    static const char* names[] = {"Alice Brennan", "Dan Ewart", "Grace Hollis", "Kit Marlow", "Nell Quayle"};
    std::vector<FeeRow> rows;
    long long track = 104200;
    for (size_t e = 0; e < perEarner.size(); ++e)
        for (int i = 0; i < perEarner[e]; ++i) {
            const int m = static_cast<int>(rows.size()) + 1;
            rows.push_back({codes[e % 5], names[e % 5], "M" + std::to_string(1000 + m) + "/" + std::to_string(e + 1),
                            "Purchase of " + std::to_string(m) + " Mill Lane", m % 3 == 0 ? "1234.50" : "-45.00",
                            track += 7});
        }
    return rows;
}

inline Fields fieldsOf(const FeeRow& r, int32_t date) {
    Fields f;
    f.set("FIMP:FE", r.fe).set("HAN:NAME", r.name).set("FIMP:MATTER", r.matter).set("MAT:DESCRIPTION", r.description);
    f.set("FIMP:CHARGE", *Decimal::parse(r.charge)).set("FIMP:TRACKREF", Decimal(r.trackRef));
    f.set("FIMP:DATEIMPORTED", Decimal(date));
    return f;
}

// The report's own fields: the date it is for.
inline FieldSource reportFields(int32_t date) {
    return [date](std::string_view field) -> std::optional<Value> {
        if (field == "GLO:REPORTDATE") return Value::ofNumber(Decimal(date));
        return std::nullopt;
    };
}

// Prints the rows into an open engine and finishes it.
inline void printRows(ReportEngine& engine, const std::vector<FeeRow>& rows, int32_t date) {
    engine.setReportFields(reportFields(date));
    for (const FeeRow& r : rows) {
        Fields f = fieldsOf(r, date);
        engine.printDetail(f.source());
    }
    engine.finish();
}

}  // namespace mg::report::test
