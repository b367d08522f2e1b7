#include "maintenance/browse_lists.h"

namespace mg::browse {
namespace {

std::vector<ListButton> maintenanceButtons() {
    return {
        {Button::Insert, "?INSERT:4", "&Insert", "Insert a Record"},
        {Button::Change, "?CHANGE:4", "&Change", "Change the Record"},
        {Button::Delete, "?DELETE:4", "&Delete", "Delete the Record"},
        {Button::Close, "?CLOSE", "&Close", "Close Window"},
    };
}

std::vector<ListButton> lookupButtons() {
    return {
        {Button::Select, "?SELECT:2", "&Select", "Select the Record"},
        {Button::Close, "?CLOSE", "&Close", "Close Window"},
    };
}

ListWindowDef docOutlays() {
    ListWindowDef d;
    BrowseConfig& e = d.engine;
    e.procedure = "BROWSEDOCOUTLAYS";
    e.primary = TableId::DocumentCharges;
    e.tableName = "DocumentCharges";
    e.sorts = {{DCH::KEYDOCUMENTNAME, "+DCH:RecordID", col(DCH::DOCUMENTNAME), col(DCH::RECORDID)}};
    e.shown = {col(DCH::DOCUMENTNAME), col(DCH::OUTLAYCODE), col(DCH::OUTLAYAMOUNT), col(DCH::NOMINALCODE)};
    e.hidden = {col(DCH::RECORDID), col(OUT::CODE)};
    e.join = ViewJoin{TableId::OutlayCode, OUT::KEYCODE, col(DCH::OUTLAYCODE), col(OUT::CODE)};
    e.search = Search::FirstLetter;
    e.kind = ListKind::Maintenance;
    e.tables = {TableId::DocumentCharges, TableId::TemplateDocuments, TableId::OutlayCode, TableId::Nominal};
    d.caption = "Document Charges";
    d.listTip = "Browsing the DocumentCharges file";
    d.format = "73L(2)|M~DocumentName~@s10@46L(2)|M~OutlayCode~@s4@60R(2)|M~OutlayAmount~C@n-26.2@40D(22)|M~Nominal Code~C(0)@s10@";
    d.tabs = {"by Document Name (Code)"};
    d.buttons = maintenanceButtons();
    return d;
}

ListWindowDef docFees() {
    ListWindowDef d;
    BrowseConfig& e = d.engine;
    e.procedure = "BROWSEDOCFEES";
    e.primary = TableId::DocumentChargesFees;
    e.tableName = "DocumentChargesFees";
    e.sorts = {
        {DCHF::KEYTASK, "+DCHF:DocumentName", col(DCHF::TASKCHARGECODE), col(DCHF::DOCUMENTNAME)},
        {DCHF::KEYDOCUMENTNAME, "+DCHF:TaskChargeCode", col(DCHF::DOCUMENTNAME), col(DCHF::TASKCHARGECODE)},
    };
    e.shown = {col(DCHF::DOCUMENTNAME), col(DCHF::TASKCHARGECODE)};
    e.hidden = {col(DCHF::RECORDID)};
    e.search = Search::FirstLetter;
    e.kind = ListKind::Maintenance;
    e.sortOfTab = {2, 1};  // "by Document" is sort order 2, "by Task" sort order 1
    e.tables = {TableId::DocumentChargesFees, TableId::TemplateDocuments, TableId::TasksCodes};
    d.caption = "Document Charges (Fees)";
    d.format = "61L(2)|M~Document Code~@s10@12L(2)|M~Task Charge Code~@s3@";
    d.tabs = {"by Document", "by Task"};
    d.buttons = maintenanceButtons();
    return d;
}

ListWindowDef lookup(std::string procedure, TableId table, std::string tableName, SortOrder sort, std::vector<ColumnRef> shown,
                     Search search, std::string caption, std::string tip, std::string format, std::string tab) {
    ListWindowDef d;
    BrowseConfig& e = d.engine;
    e.procedure = std::move(procedure);
    e.primary = table;
    e.tableName = std::move(tableName);
    e.sorts = {std::move(sort)};
    e.shown = std::move(shown);
    e.search = search;
    e.kind = ListKind::Lookup;
    e.tables = {table};
    d.caption = std::move(caption);
    d.listTip = std::move(tip);
    d.format = std::move(format);
    d.tabs = {std::move(tab)};
    d.buttons = lookupButtons();
    return d;
}

}  // namespace

const ListWindowDef& listWindowDef(ListWindow w) {
    static const std::vector<ListWindowDef> defs = {
        docOutlays(),
        docFees(),
        lookup("SELECTDOCUMENT", TableId::TemplateDocuments, "L_Documents", {DCC::KEYCODE, "+DCC:Code", col(DCC::CODE), std::nullopt},
               {col(DCC::CODE), col(DCC::NAME), col(DCC::FILEPATH)}, Search::TypedText, "Select Document", "Browsing the L_Documents file",
               "62L(2)|M~Document Code~@s10@176L(2)|M~Document Description~@s100@81L(2)|M~File Path~@s255@", "by Document Code"),
        lookup("SELECTOUTLAYTYPE", TableId::OutlayCode, "OutlayCode", {OUT::KEYCODE, "+OUT:Code", col(OUT::CODE), std::nullopt},
               {col(OUT::CODE), col(OUT::DESCRIPTION)}, Search::TypedText, "Select Outlay Code", "Browsing the OutlayCode file",
               "31L(2)|M~Code~@s4@80L(2)|M~Description~@s30@", "by Code"),
        lookup("SELECTNOMINAL", TableId::Nominal, "Nominal", {NOM::NOMINAL, "+NOM:Code", col(NOM::CODE), std::nullopt},
               {col(NOM::CODE), col(NOM::DESC)}, Search::TypedText, "Select Nominal", "Browsing the Nominal file",
               "44L(2)|M~Code~@s10@132L(2)|M~Description~@s30@", "Nominals"),
        lookup("SELECTTASK", TableId::TasksCodes, "TASKS", {TAS::TASKS, "+TAS:Code", col(TAS::CODE), std::nullopt},
               {col(TAS::CODE), col(TAS::DESC)}, Search::FirstLetter, "Select Task", "Browsing the TASKS file",
               "34L(2)|M~Code~@s6@80L(2)|M~Desc~@s30@", "&1) Tasks"),
    };
    return defs[static_cast<size_t>(w)];
}

const std::vector<ListWindow>& allListWindows() {
    static const std::vector<ListWindow> all = {ListWindow::DocOutlays,     ListWindow::DocFees,       ListWindow::SelectDocument,
                                                ListWindow::SelectOutlayType, ListWindow::SelectNominal, ListWindow::SelectTask};
    return all;
}

}  // namespace mg::browse
