// The two charge forms as data: their layouts in dialog units, in control order, and the
// entries each one edits.

#include "maintenance/windows/charge_form.h"

namespace mg::browse {
namespace {

using K = ui::ControlKind;

constexpr int kEntryX = 82;
constexpr int kWidth = 310;  // the window; the sheet leaves 4 units on each side
constexpr int kOkY = 166;

ui::ControlDef prompt(const std::string& entry, const std::string& text, int y, int x = 12) {
    return {.kind = K::Prompt, .name = entry + ":PROMPT", .text = text, .x = x, .y = y + 1, .in = "?TAB1"};
}

ui::ControlDef entry(const std::string& name, const std::string& picture, int x, int y, int w, unsigned flags = 0) {
    return {.kind = K::Entry, .name = name, .x = x, .y = y, .w = w, .h = 10, .picture = picture, .flags = flags, .in = "?TAB1"};
}

ui::ControlDef lookupButton(const std::string& name, int x, int y) {
    return {.kind = K::Button, .name = name, .text = "...", .x = x, .y = y - 1, .w = 12, .h = 12, .flags = ui::Skip, .in = "?TAB1"};
}

ui::ControlDef description(const std::string& name, const std::string& picture, int x, int y, int w) {
    return {.kind = K::String, .name = name, .x = x, .y = y + 1, .w = w, .h = 10, .picture = picture, .in = "?TAB1"};
}

void codeRow(std::vector<ui::ControlDef>& c, const std::string& name, const std::string& text, const std::string& picture, int w,
             const std::string& button, const std::string& desc, const std::string& descPicture, int y) {
    c.push_back(prompt(name, text, y));
    c.push_back(entry(name, picture, kEntryX, y, w));
    c.push_back(lookupButton(button, kEntryX + w + 3, y));
    c.push_back(description(desc, descPicture, kEntryX + w + 18, y, kWidth - 12 - (kEntryX + w + 18)));
}

void okCancel(std::vector<ui::ControlDef>& c, int y) {
    c.push_back({.kind = K::Button, .name = "?OK", .text = "&OK", .x = kWidth - 98, .y = y, .w = 45, .h = 14,
                 .tip = "Accept data and close the window", .flags = ui::DefaultButton});
    c.push_back({.kind = K::Button, .name = "?CANCEL", .text = "&Cancel", .x = kWidth - 49, .y = y, .w = 45, .h = 14, .tip = "Cancel operation"});
}

// The form's window: its caption, and one tab "General" on a sheet that ends above the OK
// and Cancel buttons at `okY` (okCancel adds them last). Returns the list of its controls.
std::vector<ui::ControlDef>& formWindow(ui::WindowDef& w, const std::string& caption, int okY) {
    w.caption = caption;
    w.width = kWidth;
    w.height = okY + 20;
    w.resizable = true;
    auto& c = w.controls;
    c.push_back({.kind = K::Sheet, .name = "?CURRENTTAB", .x = 4, .y = 4, .w = kWidth - 8, .h = okY - 8});
    c.push_back({.kind = K::Tab, .name = "?TAB1", .text = "General", .in = "?CURRENTTAB"});
    return c;
}

constexpr int kLimitW = 88, kArrowX = 172, kAmountX = 248, kAmountW = 50;

ui::ControlDef arrow(int band, int y) {
    return {.kind = K::String, .name = "?ARROW" + std::to_string(band), .text = "====>>", .x = kArrowX, .y = y + 1, .w = 40, .h = 10,
            .in = "?TAB1"};
}

ChargeFormDef outlays() {
    ChargeFormDef d;
    d.procedure = "UPDATEDOCUMENTCHARGES";
    d.table = TableId::DocumentCharges;
    d.tableName = "DocumentCharges";
    d.primaryKeyName = "DCH:PK_DocumentCharges";
    d.tables = {TableId::DocumentCharges, TableId::TemplateDocuments, TableId::OutlayCode, TableId::Nominal};
    auto& c = formWindow(d.layout, "Document Charges", kOkY);
    codeRow(c, "?DCH:DOCUMENTNAME", "Document Code:", "@s10", 56, "?CALLLOOKUP", "?DCC:NAME", "@s100", 22);
    codeRow(c, "?DCH:OUTLAYCODE", "Outlay Code:", "@s4", 26, "?CALLLOOKUP:2", "?OUT:DESCRIPTION", "@s30", 38);
    codeRow(c, "?DCH:NOMINALCODE", "Nominal Code:", "@s10", 56, "?CALLLOOKUP:3", "?NOM:DESC", "@s30", 54);
    const unsigned right = ui::RightAligned;
    // Each band: its limit, an arrow, its amount; the third band's amount comes before its limit.
    int y = 76;
    c.push_back(prompt("?DCH:BAND1", "Band 1:", y));
    c.push_back(entry("?DCH:BAND1", "@n-25.2", kEntryX, y, kLimitW, right));
    c.push_back(arrow(1, y));
    c.push_back(prompt("?DCH:OUTLAYAMOUNT", "Amount:", y, 214));
    c.push_back(entry("?DCH:OUTLAYAMOUNT", "@n-26.2", kAmountX, y, kAmountW, right));
    y += 16;
    c.push_back(prompt("?DCH:BAND2", "Band 2:", y));
    c.push_back(entry("?DCH:BAND2", "@n-25.2", kEntryX, y, kLimitW, right));
    c.push_back(arrow(2, y));
    c.push_back(entry("?DCH:OUTLAYAMT2", "@n-10.2", kAmountX, y, kAmountW, right));
    y += 16;
    c.push_back(prompt("?DCH:BAND3", "Band 3:", y));
    c.push_back(entry("?DCH:OUTLAYAMT3", "@n-10.2", kAmountX, y, kAmountW, right));
    c.push_back(arrow(3, y));
    c.push_back(entry("?DCH:BAND3", "@n-25.2", kEntryX, y, kLimitW, right));
    for (int band = 4; band <= 5; ++band) {
        y += 16;
        const std::string n = std::to_string(band);
        c.push_back(prompt("?DCH:BAND" + n, "Band " + n + ":", y));
        c.push_back(entry("?DCH:BAND" + n, "@n-25.2", kEntryX, y, kLimitW, right));
        c.push_back(arrow(band, y));
        c.push_back(entry("?DCH:OUTLAYAMT" + n, "@n-10.2", kAmountX, y, kAmountW, right));
    }
    okCancel(c, kOkY);

    d.entries = {
        {"?DCH:DOCUMENTNAME", DCH::DOCUMENTNAME.index,
         CodeLookup{ListWindow::SelectDocument, DCC::CODE, DCC::KEYCODE, DCC::NAME, "?DCC:NAME", 0, 0, "?CALLLOOKUP"}},
        {"?DCH:OUTLAYCODE", DCH::OUTLAYCODE.index,
         CodeLookup{ListWindow::SelectOutlayType, OUT::CODE, OUT::KEYCODE, OUT::DESCRIPTION, "?OUT:DESCRIPTION", 0, 0, "?CALLLOOKUP:2"}},
        {"?DCH:NOMINALCODE", DCH::NOMINALCODE.index,
         CodeLookup{ListWindow::SelectNominal, NOM::CODE, NOM::NOMINAL, NOM::DESC, "?NOM:DESC", 0, 0, "?CALLLOOKUP:3"}},
        {"?DCH:BAND1", DCH::BAND1.index, std::nullopt},
        {"?DCH:OUTLAYAMOUNT", DCH::OUTLAYAMOUNT.index, std::nullopt},
        {"?DCH:BAND2", DCH::BAND2.index, std::nullopt},
        {"?DCH:OUTLAYAMT2", DCH::OUTLAYAMT2.index, std::nullopt},
        {"?DCH:OUTLAYAMT3", DCH::OUTLAYAMT3.index, std::nullopt},
        {"?DCH:BAND3", DCH::BAND3.index, std::nullopt},
        {"?DCH:BAND4", DCH::BAND4.index, std::nullopt},
        {"?DCH:OUTLAYAMT4", DCH::OUTLAYAMT4.index, std::nullopt},
        {"?DCH:BAND5", DCH::BAND5.index, std::nullopt},
        {"?DCH:OUTLAYAMT5", DCH::OUTLAYAMT5.index, std::nullopt},
    };
    d.bandLimits = {DCH::BAND1.index, DCH::BAND2.index, DCH::BAND3.index, DCH::BAND4.index, DCH::BAND5.index};
    return d;
}

ChargeFormDef fees() {
    ChargeFormDef d;
    d.procedure = "UPDATEDOCFEESCHARGES";
    d.table = TableId::DocumentChargesFees;
    d.tableName = "DocumentChargesFees";
    d.primaryKeyName = "DCHF:PK_DocumentCharges";
    d.tables = {TableId::DocumentChargesFees, TableId::TemplateDocuments, TableId::TasksCodes};
    constexpr int okY = 78;
    auto& c = formWindow(d.layout, "Document Charges (Fees)", okY);
    codeRow(c, "?DCHF:DOCUMENTNAME", "Document Code:", "@s10", 56, "?CALLLOOKUP", "?DCC:NAME", "@s100", 24);
    codeRow(c, "?DCHF:TASKCHARGECODE", "Task Charge Code:", "@s3", 22, "?CALLLOOKUP:2", "?TAS:DESC", "@s30", 42);
    okCancel(c, okY);
    d.entries = {
        {"?DCHF:DOCUMENTNAME", DCHF::DOCUMENTNAME.index,
         CodeLookup{ListWindow::SelectDocument, DCC::CODE, DCC::KEYCODE, DCC::NAME, "?DCC:NAME", 0, 0, "?CALLLOOKUP"}},
        // Task codes are 6 characters in their own table and 3 here.
        {"?DCHF:TASKCHARGECODE", DCHF::TASKCHARGECODE.index,
         CodeLookup{ListWindow::SelectTask, TAS::CODE, TAS::TASKS, TAS::DESC, "?TAS:DESC", 6, 3, "?CALLLOOKUP:2"}},
    };
    return d;
}

}  // namespace

const ChargeFormDef& chargeFormDef(ChargeForm which) {
    static const ChargeFormDef defs[] = {outlays(), fees()};
    return defs[static_cast<int>(which)];
}

Decimal largestValue(const ColumnDecl& column) {
    __int128 m = 1;
    for (int i = 0; i < column.size; ++i) m *= 10;
    return Decimal::fromMantissa(m - 1, column.scale);
}

std::vector<int> bandsNotRising(const Record& rec, const std::vector<int>& limitColumns) {
    std::vector<int> bands;
    for (size_t i = 0; i < limitColumns.size(); ++i) {
        const Decimal& limit = rec.slot(limitColumns[i]).dec;
        // No debt below zero is charged by band, so a negative limit is never reached.
        if (limit.isNegative() || (i > 0 && !limit.isZero() && limit <= rec.slot(limitColumns[i - 1]).dec))
            bands.push_back(static_cast<int>(i) + 1);
    }
    return bands;
}

}  // namespace mg::browse
