#include "shell/demo.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "data/context.h"
#include "data/database.h"
#include "data/file_io.h"
#include "data/ini.h"
#include "data/dates.h"
#include "data/decimal.h"
#include "data/table.h"

namespace mg::shell {
namespace {

using std::string_view;

Decimal dec(string_view text) { return Decimal::parse(text).value_or(Decimal()); }
int32_t day(int y, int m, int d) { return dates::dateFromMDY(m, d, y); }
int32_t at(int h, int m) { return dates::timeFromHMS(h, m, 0); }

// Adds rows to the tables of one context and keeps the first failure.
class Filler {
public:
    explicit Filler(Context& ctx) : ctx_(ctx) {}

    bool failed() const { return static_cast<bool>(error_); }
    const Error& error() const { return error_; }

    // Opens the table and clears its buffer for the next row.
    Context& row(TableId id) {
        Table& t = ctx_.table(id);
        if (!failed() && !t.isOpen() && t.open() != 0) fail(id, "opening");
        t.clear();
        current_ = id;
        return ctx_;
    }
    void add() {
        if (failed()) return;
        if (ctx_.table(current_).add() != 0) fail(current_, "adding a row to");
    }

private:
    void fail(TableId id, string_view what) {
        const Error& e = ctx_.lastError();
        std::string text = "Error " + std::string(what) + " " + std::string(decl(id).sqlName) + ": " + e.text;
        if (!e.driverText.empty()) text += " (" + e.driverText + ")";
        error_ = Error::driver(e.driverCode.empty() ? std::to_string(e.code) : e.driverCode, text);
    }

    Context& ctx_;
    TableId current_ = TableId::Control;
    Error error_;
};

// ---- the practice ----------------------------------------------------------------------------

void control(Filler& f) {
    Context& c = f.row(TableId::Control);
    c.set(CON::NAME, "Keogh Brannigan & Co. Solicitors");
    c.set(CON::DEBTORS, "2000");
    c.set(CON::CREDITOR, "3000");
    c.set(CON::VATNO, "IE6388047V");
    c.set(CON::OUTLAY, "7100");
    c.set(CON::OUTLAYPENDING, "7200");
    c.set(CON::VAT, "2100");
    c.set(CON::CLIENT, "2200");
    c.set(CON::PL, "9000");
    c.set(CON::FEESWRITEOFF, "8000");
    c.set(CON::OUTLAYWRITEOFF, "8010");
    c.set(CON::BILLSWRITEOFF, "8020");
    c.set(CON::YEAR, 2026);
    c.set(CON::CURPER, 12);
    c.set(CON::LASTBATCH, 1200);
    c.set(CON::LASTBILL, 3150);
    c.set(CON::LASTPREF, 54000);
    c.set(CON::LASTALLOC, 870);
    c.set(CON::LASTCLIENT, 10);
    c.set(CON::DEFAULTCATEGORY, "CLIENT");
    c.set(CON::SOLICITORTYPE, "SOLR");
    c.set(CON::SOLICITOR, "HAY010");
    c.set(CON::SUPPLIERCATEGORY, "SUPP");
    c.set(CON::OTHPARTY, "OTHER");
    c.set(CON::NEXTFILE, 1013);
    c.set(CON::VATEXCLUDE, "N");
    c.set(CON::BASECURRENCY, "E");
    c.set(CON::EICONVERT, dec("0.787564"));
    c.set(CON::IECONVERT, dec("1.269738"));
    c.set(CON::LASTRECON, 48);
    c.set(CON::ENABLEFNL, "Y");
    c.set(CON::ENABLECDB, "Y");
    c.set(CON::ENABLEDW, "N");
    c.set(CON::ENABLEFM, "N");
    c.set(CON::ENABLECP, "Y");
    c.set(CON::RECINSTALLED, "Y");
    c.set(CON::NOBAR, "N");
    c.set(CON::WORDPERFECT, "N");
    c.set(CON::AUTONUMBER, "Y");
    c.set(CON::CHEQUEPRINTING, "N");
    c.set(CON::TIMECOSTING, "Y");
    c.set(CON::FORCEFE, "Y");
    c.set(CON::UK, "N");
    c.set(CON::USEOUTLAYTYPE, "Y");
    c.set(CON::PENDINGOUTLAY, "N");
    c.set(CON::AUTOALPHACLIENTNUMBERING, "Y");
    c.set(CON::YEARENDCOMPLETED, "N");
    c.set(CON::THIRDPARTYLIMIT, dec("5000.00"));
    c.set(CON::DATEFUTVALIDATION, 30);
    c.set(CON::DATEPASTVALIDATION, 90);
    c.set(CON::WP_DIR, "\\\\KBSERVER\\Documents");
    c.set(CON::NEXT_DOC_NO, 1);
    c.set(CON::LABELPRINTER, "N");
    c.set(CON::USERPROMPT1, "Court Record No.");
    c.set(CON::USERPROMPT2, "Deeds Box");
    c.set(CON::USERPROMPT3, "Referrer");
    c.set(CON::MAXNUMBEROFMATTERS, dec("9999"));
    c.set(CON::OUTLAYBUDGET, dec("2500.00"));
    c.set(CON::PERIODEND, 12);
    c.set(CON::DEFAULTOFFICEAC, "1100");
    c.set(CON::DEFAULTOUTLAYBK, "1300");
    c.set(CON::DEFAULTCLIENTAC, "2200");
    c.set(CON::DEFAULTCLIENTDEP, "2300");
    c.set(CON::DEFAULTVAT, "S");
    c.set(CON::MISCOUTLAY, "7100");
    c.set(CON::PETTYCASH, "1200");
    c.set(CON::WITHTAX, "2150");
    c.set(CON::BUILDNO, 412);
    c.set(CON::FEESREPSEQ, "FE,MATTER");
    c.set(CON::MISCFE, "ADM");
    f.add();
}

void nominals(Filler& f) {
    struct Nom {
        const char* code;
        const char* desc;
        const char* type;
        const char* pb;
        const char* seq;
        const char* clientAc;
        const char* bank;
        const char* accountNo;
    };
    const Nom rows[] = {
        {"1100", "Office Bank Account", "BANK", "B", "0010", "N", "Bank of Ireland, Naas", "40618822"},
        {"1200", "Petty Cash", "BANK", "B", "0020", "N", "", ""},
        {"1300", "Outlay Bank Account", "BANK", "B", "0030", "N", "Bank of Ireland, Naas", "40618830"},
        {"2000", "Debtors Control", "DEBTOR", "B", "0100", "N", "", ""},
        {"2100", "VAT Control", "VAT", "B", "0110", "N", "", ""},
        {"2150", "Withholding Tax", "VAT", "B", "0115", "N", "", ""},
        {"2200", "Client Bank Account", "BANK", "B", "0120", "Y", "AIB, Newbridge", "11027365"},
        {"2300", "Client Deposit Account", "BANK", "B", "0130", "Y", "AIB, Newbridge", "11027373"},
        {"3000", "Creditors Control", "CREDIT", "B", "0200", "N", "", ""},
        {"4000", "Professional Fees", "INCOME", "P", "0300", "N", "", ""},
        {"7100", "Client Outlays", "OUTLAY", "B", "0400", "N", "", ""},
        {"7200", "Outlays Pending", "OUTLAY", "B", "0410", "N", "", ""},
        {"8000", "Fees Written Off", "EXPENS", "P", "0500", "N", "", ""},
        {"8010", "Outlays Written Off", "EXPENS", "P", "0510", "N", "", ""},
        {"8020", "Bills Written Off", "EXPENS", "P", "0520", "N", "", ""},
        {"9000", "Profit and Loss", "PL", "P", "0900", "N", "", ""},
    };
    for (const Nom& n : rows) {
        Context& c = f.row(TableId::Nominal);
        c.set(NOM::CODE, n.code);
        c.set(NOM::DESC, n.desc);
        c.set(NOM::TYPE, n.type);
        c.set(NOM::PB, n.pb);
        c.set(NOM::CURRENCY, "E");
        c.set(NOM::SEQ, n.seq);
        c.set(NOM::CLIENTAC, n.clientAc);
        c.set(NOM::DEPOSITYN, "N");
        c.set(NOM::BANK, n.bank);
        c.set(NOM::ACCOUNTNO, n.accountNo);
        if (*n.bank) {
            c.set(NOM::ACCOUNTNAME, "Keogh Brannigan & Co.");
            c.set(NOM::ACOPENED, day(2011, 3, 1));
        }
        c.set(NOM::CHEQUEREQ, "N");
        f.add();
    }
}

void outlayCodes(Filler& f) {
    // "SHER" (sheriff's fee) is charged by a document but has no row here: its lines take
    // the narrative "SHER Outlay Charge".
    const std::pair<const char*, const char*> rows[] = {
        {"CSF", "Court Stamp Fee"},        {"SRCH", "Land Registry Search"},
        {"COPY", "Photocopying"},          {"POST", "Postage"},
        {"CMSN", "Commissioner for Oaths"}, {"PRB", "Probate Office Fee"},
    };
    for (const auto& [code, desc] : rows) {
        Context& c = f.row(TableId::OutlayCode);
        c.set(OUT::CODE, code);
        c.set(OUT::DESCRIPTION, desc);
        f.add();
    }
}

struct DocDef {
    const char* code;
    const char* name;
    const char* docClass;
    const char* actionCode;
    const char* file;
};

const DocDef kDocuments[] = {
    {"CLIENTLTR", "Letter to Client", "GEN", "LETTER", "ClientLetter.dotx"},
    {"SUMMONS", "Civil Bill / Summons", "LIT", "ISSUE", "Summons.dotx"},
    {"AFFIDAVIT", "Affidavit", "LIT", "AFFIDAVIT", "Affidavit.dotx"},
    {"LRSEARCH", "Land Registry Search Request", "CON", "SEARCH", "LRSearch.dotx"},
    {"ATTNOTE", "Attendance Note", "GEN", "ATTENDANCE", "AttendanceNote.dotx"},
    {"SERVICE", "Affidavit of Service", "LIT", "SERVICE", "AffidavitService.dotx"},
    {"PROBATE", "Application for Grant of Probate", "PRO", "PROBATE", "Probate.dotx"},
    {"CONTRACT", "Contract for Sale", "CON", "CONTRACT", "Contract.dotx"},
};

const DocDef& document(string_view code) {
    for (const DocDef& d : kDocuments)
        if (code == d.code) return d;
    return kDocuments[0];
}

void templateDocuments(Filler& f) {
    for (const DocDef& d : kDocuments) {
        Context& c = f.row(TableId::TemplateDocuments);
        c.set(DCC::CODE, d.code);
        c.set(DCC::FILEPATH, std::string("\\\\KBSERVER\\Templates\\") + d.file);
        c.set(DCC::NAME, d.name);
        c.set(DCC::TYPE, "DOC");
        c.set(DCC::DOCCLASS, d.docClass);
        c.set(DCC::STORE, "FILE");
        c.set(DCC::DICTATION, "N");
        c.set(DCC::OPENDURINGDICTATION, "N");
        c.set(DCC::STARTTOKEN, "<<");
        c.set(DCC::ENDTOKEN, ">>");
        c.set(DCC::OVERWRITE, "N");
        f.add();
    }
}

void handlers(Filler& f) {
    struct Han {
        const char* code;
        const char* team;
        const char* name;
        double rate;
        const char* logon;
        const char* task;
        const char* hourly;
    };
    // The locum "LOC" who made one diary entry has no row here.
    const Han rows[] = {
        {"JOB", "LIT", "Jane O'Brien", 220.0, "jobrien", "ATT", "220.00"},
        {"AFL", "LIT", "Aoife Flynn", 180.0, "aflynn", "DRF", "180.00"},
        {"PMC", "CON", "Patrick McCarthy", 200.0, "pmccarthy", "LTR", "200.00"},
        {"SRY", "PRO", "Sean Ryan", 190.0, "sryan", "ATT", "190.00"},
        {"ADM", "ADM", "Office Administration", 0.0, "admin", "PHN", "0.00"},
    };
    for (const Han& h : rows) {
        Context& c = f.row(TableId::Handlers);
        c.set(HAN::CODE, h.code);
        c.set(HAN::TEAM, h.team);
        c.set(HAN::TEAMCODE, h.team);
        c.set(HAN::DEPT, h.team);
        c.set(HAN::TYPE, std::string_view(h.code) == "ADM" ? "A" : "F");
        c.set(HAN::NAME, h.name);
        c.set(HAN::RATE, h.rate);
        c.set(HAN::LOGON, h.logon);
        c.set(HAN::MAILADDRESS, h.logon);
        c.set(HAN::TIMECOSTER, std::string_view(h.code) == "ADM" ? "N" : "Y");
        c.set(HAN::TEAMLEADER, std::string_view(h.code) == "JOB" ? "Y" : "N");
        c.set(HAN::NORECENTMATTERS, 10);
        c.set(HAN::DEFAULTTASK, h.task);
        c.set(HAN::RATE1, dec(h.hourly));
        c.set(HAN::EMAIL, std::string(h.logon) + "@keoghbrannigan.ie");
        c.set(HAN::RETIRED, "N");
        c.set(HAN::OUTLOOKVIEW, "N");
        c.set(HAN::AUTOLAUNCHTIMER, "N");
        c.set(HAN::PHONENO, "045 897 210");
        c.set(HAN::AUTOLAUNCHKPI, "N");
        f.add();
    }
}

void taskCodes(Filler& f) {
    // "SRV" (service of proceedings) is charged through the matrix but has no task row:
    // its time entries take the matrix description as their comment.
    struct Task {
        const char* code;
        const char* desc;
        const char* charge;
        const char* stage;
    };
    const Task rows[] = {
        {"LTR", "Letter", "25.00", "01"},
        {"ATT", "Attendance", "40.00", "01"},
        {"DRF", "Drafting", "60.00", "02"},
        {"CRT", "Court Appearance", "250.00", "03"},
        {"PHN", "Telephone Call", "15.00", "01"},
    };
    for (const Task& t : rows) {
        Context& c = f.row(TableId::TasksCodes);
        c.set(TAS::CODE, t.code);
        c.set(TAS::DESC, t.desc);
        c.set(TAS::DEFAULT, 0.0);
        c.set(TAS::CHARGEAMT, dec(t.charge));
        c.set(TAS::REC_IRR, "R");
        c.set(TAS::CHARGELEVEL, "M");
        c.set(TAS::STAGECODE, t.stage);
        f.add();
    }
}

void chargingMatrix(Filler& f) {
    const char* limits[8] = {"1000.00", "5000.00", "10000.00", "25000.00", "50000.00", "100000.00", "250000.00", "500000.00"};
    const DecimalCol limitCols[8] = {CMA::BAND1LIMIT, CMA::BAND2LIMIT, CMA::BAND3LIMIT, CMA::BAND4LIMIT,
                                     CMA::BAND5LIMIT, CMA::BAND6LIMIT, CMA::BAND7LIMIT, CMA::BAND8LIMIT};
    const DecimalCol rateCols[8] = {CMA::BAND1RATE, CMA::BAND2RATE, CMA::BAND3RATE, CMA::BAND4RATE,
                                    CMA::BAND5RATE, CMA::BAND6RATE, CMA::BAND7RATE, CMA::BAND8RATE};
    struct Charge {
        const char* code;
        const char* what;
        const char* base;
        const char* step;
        const char* stage;
    };
    const Charge charges[] = {
        {"LTR", "Letter", "25.00", "5.00", "01"},
        {"ATT", "Attendance", "40.00", "10.00", "01"},
        {"DRF", "Drafting", "60.00", "15.00", "02"},
        {"SRV", "Service of Proceedings", "35.00", "5.00", "03"},
    };
    struct Arrangement {
        const char* code;
        const char* name;
    };
    // The litigation scale has no attendance row: an attendance on a litigation matter
    // finds no matrix row.
    const Arrangement arrangements[] = {{"STD", "Standard"}, {"COM", "Commercial"}, {"LIT", "Litigation"}};
    for (const Arrangement& a : arrangements) {
        for (const Charge& ch : charges) {
            const std::string_view arr = a.code;
            if (arr == "LIT" && std::string_view(ch.code) == "ATT") continue;
            Context& c = f.row(TableId::ChargingMatrix);
            c.set(CMA::ARRANGEMENTCODE, a.code);
            c.set(CMA::CHARGECODE, ch.code);
            c.set(CMA::DESCRIPTION, std::string(a.name) + " scale - " + ch.what);
            for (int k = 0; k < 8; ++k) {
                Decimal rate = dec(ch.base) + dec(ch.step) * Decimal(k);
                if (arr == "COM") rate = Decimal::divide(rate * Decimal(6), Decimal(5), 2);  // a fifth more
                if (arr == "LIT") rate = rate + Decimal(10);
                c.set(limitCols[k], dec(limits[k]));
                c.set(rateCols[k], rate);
            }
            c.set(CMA::STAGECODE, ch.stage);
            f.add();
        }
    }
}

void documentCharges(Filler& f) {
    struct Charge {
        const char* doc;
        const char* outlay;
        const char* nominal;
        const char* amounts[5];  // OUTLAYAMOUNT, OUTLAYAMT2..5
        const char* bands[5];    // BAND1..BAND5
    };
    const char* const kBands[5] = {"1000.00", "5000.00", "10000.00", "50000.00", "100000.00"};
    const Charge rows[] = {
        // two rows with different nominal codes
        {"SUMMONS", "CSF", "1100", {"15.00", "25.00", "40.00", "65.00", "100.00"}, {}},
        {"SUMMONS", "POST", "1200", {"2.50", "2.50", "5.00", "5.00", "7.50"}, {}},
        // one row
        {"AFFIDAVIT", "CMSN", "1200", {"10.00", "10.00", "15.00", "20.00", "25.00"}, {}},
        // two rows with the same nominal code
        {"LRSEARCH", "SRCH", "1300", {"40.00", "40.00", "60.00", "60.00", "80.00"}, {}},
        {"LRSEARCH", "COPY", "1300", {"0.50", "1.00", "1.50", "2.00", "2.50"}, {}},
        // an outlay code without a row of its own, and only two bands: a debt above 5000.00
        // lies past the last band
        {"SERVICE", "SHER", "1100", {"35.00", "50.00", "0", "0", "0"}, {"1000.00", "5000.00", "0", "0", "0"}},
        {"PROBATE", "PRB", "1100", {"20.00", "50.00", "100.00", "150.00", "250.00"}, {}},
    };
    const DecimalCol amountCols[5] = {DCH::OUTLAYAMOUNT, DCH::OUTLAYAMT2, DCH::OUTLAYAMT3, DCH::OUTLAYAMT4, DCH::OUTLAYAMT5};
    const DecimalCol bandCols[5] = {DCH::BAND1, DCH::BAND2, DCH::BAND3, DCH::BAND4, DCH::BAND5};
    for (const Charge& r : rows) {
        Context& c = f.row(TableId::DocumentCharges);
        c.set(DCH::DOCUMENTNAME, r.doc);
        c.set(DCH::OUTLAYCODE, r.outlay);
        c.set(DCH::NOMINALCODE, r.nominal);
        for (int k = 0; k < 5; ++k) {
            c.set(amountCols[k], dec(r.amounts[k]));
            c.set(bandCols[k], dec(r.bands[0] ? r.bands[k] : kBands[k]));
        }
        f.add();
    }
}

void documentFees(Filler& f) {
    // LRSEARCH and CONTRACT have no fee mapping.
    const std::pair<const char*, const char*> rows[] = {
        {"CLIENTLTR", "LTR"}, {"SUMMONS", "DRF"}, {"SUMMONS", "SRV"}, {"AFFIDAVIT", "DRF"},
        {"ATTNOTE", "ATT"},   {"SERVICE", "SRV"}, {"PROBATE", "DRF"},
    };
    for (const auto& [doc, task] : rows) {
        Context& c = f.row(TableId::DocumentChargesFees);
        c.set(DCHF::DOCUMENTNAME, doc);
        c.set(DCHF::TASKCHARGECODE, task);
        f.add();
    }
}

struct ClientDef {
    const char* code;
    const char* name;
    const char* address;
    const char* salutation;
    const char* phone;
    const char* email;
    const char* fe;
    const char* arrangement;
    bool corporate;
    bool client;
};

const ClientDef kClients[] = {
    {"BRE001", "Brennan Holdings Ltd", "Unit 7, Ballybrit Business Park, Galway", "Dear Sirs", "091 755 120",
     "accounts@brennanholdings.ie", "JOB", "COM", true, true},
    {"OSU001", "Siobhan O'Sullivan", "14 Church Road, Celbridge, Co. Kildare", "Dear Siobhan", "01 627 4410",
     "siobhan.osullivan@eircom.net", "SRY", "STD", false, true},
    {"MUR002", "Murphy Construction Ltd", "Kilcullen Road, Naas, Co. Kildare", "Dear Sirs", "045 881 300",
     "office@murphyconstruction.ie", "JOB", "LIT", true, true},
    {"KEL001", "Declan Kelly", "12 Main Street, Naas, Co. Kildare", "Dear Declan", "087 213 6654", "dkelly@gmail.com",
     "PMC", "STD", false, true},
    {"WAL003", "Walsh Family Trust", "c/o 3 Pembroke Square, Dublin 2", "Dear Trustees", "01 661 9020",
     "trustees@walshtrust.ie", "SRY", "", true, true},
    {"DOY004", "Margaret Doyle", "Rath House, Kill, Co. Kildare", "Dear Margaret", "086 441 0071", "mdoyle@outlook.ie",
     "JOB", "COM", false, true},
    {"FIT005", "Fitzgerald Motors Ltd", "Dublin Road, Newbridge, Co. Kildare", "Dear Sirs", "045 432 900",
     "info@fitzgeraldmotors.ie", "AFL", "STD", true, true},
    {"HAY010", "Hayes & Co. Solicitors", "22 Fitzwilliam Place, Dublin 2", "Dear Colleagues", "01 676 5500",
     "law@hayesco.ie", "", "", true, false},
};

const ClientDef& client(string_view code) {
    for (const ClientDef& c : kClients)
        if (code == c.code) return c;
    return kClients[0];
}

void contacts(Filler& f) {
    int n = 0;
    for (const ClientDef& k : kClients) {
        Context& c = f.row(TableId::Contacts);
        c.set(CNT::CODE, k.code);
        c.set(CNT::NAME, k.name);
        c.set(CNT::ADDRESS, k.address);
        c.set(CNT::SALUT, k.salutation);
        c.set(CNT::TEL, k.phone);
        c.set(CNT::EMAIL, k.email);
        c.set(CNT::FE, k.fe);
        c.set(CNT::CLIENT, k.client ? "Y" : "N");
        c.set(CNT::NATION, "IRL");
        c.set(CNT::LASTMATTER, k.client ? 2 : 0);
        c.set(CNT::OPENMATTERS, k.client ? 2 : 0);
        c.set(CNT::STARTDATE_DATE, day(2019 + n % 6, 1 + n, 10 + n));
        c.set(CNT::CORPORATE, k.corporate ? "Y" : "N");
        c.set(CNT::INACTIVE, "N");
        c.set(CNT::CONTACTNO, ++n);
        c.set(CNT::STATEMENTS, "N");
        c.set(CNT::REMOTEACCESS, "N");
        c.set(CNT::CHARGEARRANGEMENT, k.arrangement);
        c.set(CNT::BILLINGMETHOD, "S");
        c.set(CNT::APPROVED, 1);
        f.add();
    }
}

struct MatterDef {
    const char* code;
    const char* description;
    const char* fe;
    const char* dept;
    const char* arrangement;  // blank: the client's arrangement applies
    const char* originalDebt;
    const char* interest;
    const char* collected;
};

// The outstanding debts (original + interest - collected) fall in every band of the
// document charges and of the charging matrix, on band limits and between them: 0.00,
// 850.00, 1000.00, 1000.50, 1001.00, 3250.75, 7800.00, 18500.00, 42000.00, 76000.00,
// 180000.00 and -250.00.
const MatterDef kMatters[] = {
    {"BRE001-0001", "Brennan Holdings v Castlebar Logistics - breach of contract", "JOB", "LIT", "COM", "40000.00", "2000.00", "0.00"},
    {"BRE001-0002", "Brennan Holdings - purchase of Unit 4, Ballybrit Business Park", "PMC", "CON", "", "175000.00", "5000.00", "0.00"},
    {"OSU001-0001", "Estate of the late Michael O'Sullivan", "SRY", "PRO", "STD", "800.00", "50.00", "0.00"},
    {"MUR002-0001", "Murphy Construction v Dunne Developments - unpaid invoices", "JOB", "LIT", "LIT", "9000.00", "300.00", "1500.00"},
    {"MUR002-0002", "Murphy Construction - debt recovery, Kilbride Homes", "AFL", "LIT", "STD", "950.00", "50.50", "0.00"},
    {"KEL001-0001", "Kelly - sale of 12 Main Street, Naas", "PMC", "CON", "", "1200.00", "0.00", "200.00"},
    {"KEL001-0002", "Kelly v Naas Motor Sales - defective vehicle", "AFL", "LIT", "", "1001.00", "0.00", "0.00"},
    {"WAL003-0001", "Walsh Family Trust - trust administration", "SRY", "PRO", "", "3000.00", "250.75", "0.00"},
    {"DOY004-0001", "Doyle v Kildare County Council - personal injuries", "JOB", "LIT", "COM", "18000.00", "500.00", "0.00"},
    {"DOY004-0002", "Doyle - recovery of loan, Foley", "AFL", "LIT", "STD", "80000.00", "1000.00", "5000.00"},
    {"FIT005-0001", "Fitzgerald Motors - debt recovery, Hanlon Haulage", "AFL", "LIT", "STD", "1000.00", "0.00", "1250.00"},
    {"FIT005-0002", "Fitzgerald Motors - lease of showroom premises", "PMC", "CON", "COM", "0.00", "0.00", "0.00"},
};

void matters(Filler& f) {
    int n = 0;
    for (const MatterDef& m : kMatters) {
        const std::string_view code = m.code;
        const ClientDef& k = client(code.substr(0, 6));
        Context& c = f.row(TableId::Matters);
        c.set(MAT::CODE, m.code);
        c.set(MAT::CLIENTCODE, code.substr(0, 6));
        c.set(MAT::MATTER, code.substr(7, 4));
        c.set(MAT::DESCRIPTION, m.description);
        c.set(MAT::FECODE, m.fe);
        c.set(MAT::PARTNER, "JOB");
        c.set(MAT::SECRETARY, "ADM");
        c.set(MAT::DEPT, m.dept);
        c.set(MAT::STARTED, day(2025, 1 + n, 3 + n));
        c.set(MAT::WTYPE, m.dept);
        c.set(MAT::BRANCH, "N");
        c.set(MAT::ESTFEE, dec("2500.00"));
        c.set(MAT::OUTLAYBUD, dec("500.00"));
        c.set(MAT::S13, "N");
        c.set(MAT::COMMENT, "Demo matter");
        c.set(MAT::FILENUM, 1001 + n);
        c.set(MAT::UNDERTAKING, "N");
        c.set(MAT::STATUS, "OPEN");
        c.set(MAT::SECTION68, "Y");
        c.set(MAT::STATEMENTS, "N");
        c.set(MAT::FILECOLOUR, "BLU");
        c.set(MAT::COMPBILLONOFF, "N");
        c.set(MAT::COMPBILLING, "N");
        c.set(MAT::CLIENTNAME, k.name);
        c.set(MAT::CLIENTADDRESS, k.address);
        c.set(MAT::CLIENTSALUTATION, k.salutation);
        c.set(MAT::CHARGEARRANGEMENT, m.arrangement);
        c.set(MAT::IMPORTANCE, 1);
        c.set(MAT::ORIGINALDEBT, dec(m.originalDebt));
        c.set(MAT::DEBTCOLLECTED, dec(m.collected));
        c.set(MAT::DEBTINTEREST, dec(m.interest));
        c.set(MAT::BILLINGMETHOD, "S");
        c.set(MAT::PUBLISH, "N");
        c.set(MAT::CHARGEOUTRATEIND, "N");
        f.add();
        ++n;
    }
}

struct AttachmentDef {
    int trackRef;
    int diaryId;
    const char* matter;
    const char* doc;
    const char* fe;  // the fee earner of the diary entry
    int month, dayOfMonth, hour, minute;
};

// Tracking references ascend with the time the documents were made. Special rows: 20008's
// matter is not in dbo.Matters; 20009's diary entry is not in dbo.diary; 20011 and 20012
// are two documents of one diary entry; 20014's fee earner is a locum without a handler
// row; 20015 is an attendance on a litigation-scale matter (no matrix row); 20020's
// document has no mapping at all; 20021's matter owes more than the matrix's sixth band.
const AttachmentDef kAttachments[] = {
    {20001, 50001, "OSU001-0001", "CLIENTLTR", "SRY", 11, 23, 9, 15},
    {20002, 50002, "MUR002-0001", "SUMMONS", "JOB", 11, 23, 10, 40},
    {20003, 50003, "KEL001-0001", "AFFIDAVIT", "PMC", 11, 24, 11, 5},
    {20004, 50004, "BRE001-0001", "LRSEARCH", "PMC", 11, 24, 14, 30},
    {20005, 50005, "WAL003-0001", "CLIENTLTR", "SRY", 11, 25, 9, 50},
    {20006, 50006, "KEL001-0002", "SUMMONS", "AFL", 11, 25, 12, 10},
    {20007, 50007, "DOY004-0001", "AFFIDAVIT", "JOB", 11, 26, 10, 0},
    {20008, 50008, "QUI007-0003", "AFFIDAVIT", "AFL", 11, 26, 15, 20},
    {20009, 59999, "FIT005-0001", "SUMMONS", "AFL", 11, 27, 9, 30},
    {20010, 50010, "MUR002-0002", "ATTNOTE", "JOB", 11, 27, 11, 45},
    {20011, 50011, "DOY004-0002", "SERVICE", "AFL", 11, 30, 10, 20},
    {20012, 50011, "DOY004-0002", "CLIENTLTR", "AFL", 11, 30, 10, 25},
    {20013, 50013, "BRE001-0002", "LRSEARCH", "PMC", 12, 1, 9, 5},
    {20014, 50014, "FIT005-0002", "AFFIDAVIT", "LOC", 12, 1, 14, 0},
    {20015, 50015, "MUR002-0001", "ATTNOTE", "AFL", 12, 2, 9, 10},
    {20016, 50016, "OSU001-0001", "PROBATE", "SRY", 12, 2, 10, 30},
    {20017, 50017, "BRE001-0001", "SUMMONS", "JOB", 12, 3, 11, 0},
    {20018, 50018, "DOY004-0002", "AFFIDAVIT", "AFL", 12, 3, 15, 45},
    {20019, 50019, "WAL003-0001", "SUMMONS", "SRY", 12, 4, 9, 40},
    {20020, 50020, "KEL001-0001", "CONTRACT", "PMC", 12, 4, 12, 0},
    {20021, 50021, "BRE001-0002", "CLIENTLTR", "PMC", 12, 4, 16, 30},
};

std::string teamOf(string_view fe) {
    if (fe == "JOB" || fe == "AFL") return "LIT";
    if (fe == "PMC") return "CON";
    if (fe == "SRY") return "PRO";
    return "";
}

std::string logonOf(string_view fe) {
    if (fe == "JOB") return "jobrien";
    if (fe == "AFL") return "aflynn";
    if (fe == "PMC") return "pmccarthy";
    if (fe == "SRY") return "sryan";
    return "locum";
}

void diary(Filler& f) {
    auto entry = [&](int id, const char* matter, const char* actionCode, const char* fe, int month, int dom, int hour,
                     int minute, const std::string& text, bool attachments) {
        Context& c = f.row(TableId::Diary);
        c.set(DIA::CASECODE, matter);
        c.set(DIA::DATE_DATE, day(2026, month, dom));
        c.set(DIA::DATE_TIME, at(hour, minute));
        c.set(DIA::STATUS, 1);
        c.set(DIA::ACTIONCODE, actionCode);
        c.set(DIA::ACTIONSTATUS, "CMP");
        c.set(DIA::ACTIONTYPE, "A");
        c.set(DIA::PROCESSTYPE, "M");
        c.set(DIA::FNCODE, fe);
        c.set(DIA::TEAMCODE, teamOf(fe));
        c.set(DIA::TEXT1, text);
        c.set(DIA::DUEDATE_DATE, day(2026, month, dom));
        c.set(DIA::PUBLISH, "N");
        char start[16];
        std::snprintf(start, sizeof start, "%02d:%02d", hour, minute);
        c.set(DIA::DYSTARTTIME, start);
        c.set(DIA::DURATION, 15);
        c.set(DIA::ACTIONID, Decimal(id));
        c.set(DIA::PRIORITY, "N");
        c.set(DIA::HIGHLIGHTED, "N");
        c.set(DIA::ATTACHMENTS, attachments ? "Y" : "N");
        c.set(DIA::PROCESSSTATUS, 2);
        c.set(DIA::BILLABLE, 1);
        c.set(DIA::EMAIL, "N");
        c.set(DIA::FORCOPY, "N");
        f.add();
    };
    int lastId = 0;
    for (const AttachmentDef& a : kAttachments) {
        if (a.diaryId == demo::kMissingDiaryId || a.diaryId == lastId) continue;
        lastId = a.diaryId;
        const DocDef& d = document(a.doc);
        entry(a.diaryId, a.matter, d.actionCode, a.fe, a.month, a.dayOfMonth, a.hour, a.minute, std::string(d.name) + " prepared",
              true);
    }
    // Entries without documents.
    entry(50031, "BRE001-0001", "PHONE", "JOB", 12, 4, 15, 30, "Telephone call with client re discovery", false);
    entry(50032, "OSU001-0001", "MEETING", "SRY", 12, 4, 16, 0, "Meeting with executors", false);
}

void diaryAttachments(Filler& f) {
    for (const AttachmentDef& a : kAttachments) {
        const DocDef& d = document(a.doc);
        Context& c = f.row(TableId::DiaryAttachments);
        c.set(DAT::DIARYID, Decimal(a.diaryId));
        c.set(DAT::TRACKREFERENCE, Decimal(a.trackRef));
        c.set(DAT::CASECODE, a.matter);
        c.set(DAT::NAME, a.doc);
        char fileName[64];
        std::snprintf(fileName, sizeof fileName, "%s %d.docx", d.name, a.trackRef);
        c.set(DAT::DOCUMENT, fileName);
        c.set(DAT::FILEPATH, std::string("\\\\KBSERVER\\Documents\\") + a.matter + "\\" + fileName);
        c.set(DAT::TYPE, "DOC");
        c.set(DAT::DOCCLASS, d.docClass);
        c.set(DAT::DATEENTERED_DATE, day(2026, a.month, a.dayOfMonth));
        c.set(DAT::DATEENTERED_TIME, at(a.hour, a.minute));
        c.set(DAT::ENTEREDBY, logonOf(a.fe));
        c.set(DAT::LASTACCESSDATE_DATE, day(2026, a.month, a.dayOfMonth));
        c.set(DAT::LASTACCESSDATE_TIME, at(a.hour, a.minute + 5));
        c.set(DAT::LASTACCESSBY, logonOf(a.fe));
        c.set(DAT::SYSTEM, "N");
        c.set(DAT::SOURCE, "Diary");
        c.set(DAT::FEES, 0);    // waiting for the fee import
        c.set(DAT::OUTLAY, 0);
        f.add();
    }
}

// Last month's automatic outlay batches, posted, with their lines; the control row's
// numbers continue after them.
void postedBatches(Filler& f) {
    const Decimal rate = dec("0.787564");
    struct Line {
        int pref;
        const char* outlay;
        const char* narr;
        const char* matter;
        const char* fee;
        const char* value;
    };
    struct Batch {
        int batchNo;
        int pref;
        const char* code;
        const char* narr;
        std::vector<Line> lines;
    };
    const Batch batches[] = {
        {1199, 53995, "1100", "Court Stamp Fee",
         {{53996, "CSF", "Court Stamp Fee", "MUR002-0001", "JOB", "40.00"},
          {53997, "CSF", "Court Stamp Fee", "BRE001-0001", "JOB", "25.00"}}},
        {1200, 53998, "1200", "Commissioner for Oaths",
         {{53999, "CMSN", "Commissioner for Oaths", "DOY004-0001", "JOB", "10.00"},
          {54000, "POST", "Postage", "KEL001-0002", "AFL", "2.50"}}},
    };
    const int32_t posted = day(2026, 11, 20);
    for (const Batch& b : batches) {
        Decimal total;
        for (const Line& l : b.lines) {
            Context& c = f.row(TableId::BatchDetails);
            c.set(BAD::BATCHNO, b.batchNo);
            c.set(BAD::TYPE, "P");
            c.set(BAD::CODE, "7100");
            c.set(BAD::PREF, l.pref);
            c.set(BAD::REF, "Doc Outlay");
            c.set(BAD::DATE, posted);
            c.set(BAD::FEE, l.fee);
            c.set(BAD::NARR, l.narr);
            c.set(BAD::MATTER, l.matter);
            c.set(BAD::VALUE, dec(l.value));
            c.set(BAD::VATCODE, "E");
            c.set(BAD::OUTLAY, "O");
            c.set(BAD::YEAR, 2026);
            c.set(BAD::PERNO, 11);
            c.set(BAD::ENTRYCURRENCY, "E");
            c.set(BAD::CURRENCYVALUE, dec(l.value) * rate);
            c.set(BAD::OUTLAYCODE, l.outlay);
            f.add();
            total = total + dec(l.value);
        }
        Context& c = f.row(TableId::BatchH);
        c.set(BAH::BATCHNO, b.batchNo);
        c.set(BAH::POSTFWD, "N");
        c.set(BAH::TYPE, "P");
        c.set(BAH::CODE, b.code);
        c.set(BAH::PREF, b.pref);
        c.set(BAH::REF, "AutoOutlay");
        c.set(BAH::DATE, posted);
        c.set(BAH::NARR, b.narr);
        c.set(BAH::VALUE, total);
        c.set(BAH::POSTED, "Y");
        c.set(BAH::CLIENTAC, "N");
        c.set(BAH::PERNO, 11);
        c.set(BAH::YEAR, 2026);
        c.set(BAH::USERCODE, "AUTO");
        c.set(BAH::ENTRYDATE, posted);
        c.set(BAH::CURRENCY, "E");
        c.set(BAH::CURRENCYVALUE, total * rate);
        f.add();
    }
}

// A few time entries recorded by hand last month.
void timeEntries(Filler& f) {
    struct Entry {
        const char* matter;
        const char* fe;
        const char* team;
        int minutes;
        const char* rate;
        const char* charge;
        const char* task;
        const char* comment;
    };
    const Entry rows[] = {
        {"OSU001-0001", "SRY", "PRO", 60, "190.00", "190.00", "ATT", "Attendance on executors re inventory of assets"},
        {"BRE001-0001", "JOB", "LIT", 30, "220.00", "110.00", "PHN", "Telephone call with counsel re pleadings"},
        {"KEL001-0001", "PMC", "CON", 45, "200.00", "150.00", "DRF", "Drafting requisitions on title"},
    };
    int n = 0;
    for (const Entry& e : rows) {
        Context& c = f.row(TableId::TimeDayBook);
        const int32_t when = day(2026, 11, 16 + n);
        c.set(TID::MATTER, e.matter);
        c.set(TID::FEEEARN, e.fe);
        c.set(TID::DATE, when);
        c.set(TID::TIME, e.minutes);
        c.set(TID::RATE, dec(e.rate));
        c.set(TID::CHARGE, dec(e.charge));
        c.set(TID::CHARGED, dec(e.charge));
        c.set(TID::UNITS, Decimal(e.minutes / 6));
        c.set(TID::TASK, e.task);
        c.set(TID::TIMEORCHARGE, "T");
        c.set(TID::STARTTIME, at(10 + n, 0));
        c.set(TID::COMMENT, e.comment);
        c.set(TID::TEAM, e.team);
        c.set(TID::REC_IRR, "R");
        c.set(TID::PERIOD, 11);
        c.set(TID::YEAR, 2026);
        c.set(TID::POST, "Y");
        c.set(TID::FEERATE, dec(e.rate));
        c.set(TID::CHARGEDMINS, e.minutes);
        c.set(TID::ENTRYDATE, when);
        c.set(TID::MODIFYDATE, when);
        f.add();
        ++n;
    }
}

void removeDatabaseFiles(const std::string& path) {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ec);
}

// Fills the tables of an empty database with the demo practice, in one transaction.
Error fillDemo(const db::Settings& settings) {
    Error result;
    Context ctx(settings);
    if (ctx.begin(10) != 0) return ctx.lastError();
    Filler f(ctx);
    control(f);
    nominals(f);
    outlayCodes(f);
    templateDocuments(f);
    handlers(f);
    taskCodes(f);
    chargingMatrix(f);
    documentCharges(f);
    documentFees(f);
    contacts(f);
    matters(f);
    diary(f);
    diaryAttachments(f);
    postedBatches(f);
    timeEntries(f);
    if (f.failed()) {
        ctx.rollback();
        result = f.error();
    } else if (ctx.commit() != 0) {
        result = ctx.lastError();
    }
    return result;
}

}  // namespace

Error makeDemoDatabase(const std::string& path) {
    if (Error e = db::createDatabase(path)) return e;
    db::Settings settings;
    settings.driver = "sqlite";
    settings.database = path;
    Error result = fillDemo(settings);
    if (result) removeDatabaseFiles(path);
    return result;
}

Error makeDemoDatabase(const db::Settings& settings) {
    if (Error e = db::createTables(settings)) return e;
    return fillDemo(settings);
}

bool writeDemoProductIni(const std::string& folder) {
    const std::filesystem::path file = files::pathOf(folder.empty() ? "." : folder) / "Quillerton.ini";
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) return true;
    const std::string path = files::textOf(file);
    return ini::put(path, "DocumentOutlays", "LastTrackRef", std::to_string(demo::kFirstTrackRef - 1));
}

}  // namespace mg::shell
