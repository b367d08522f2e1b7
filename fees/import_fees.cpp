#include "fees/import_fees.h"

#include "data/dates.h"
#include "data/passthrough.h"
#include "data/table.h"
#include "data/utf8.h"

namespace mg::fees {
namespace {

constexpr DecimalCol kBandLimit[] = {CMA::BAND1LIMIT, CMA::BAND2LIMIT, CMA::BAND3LIMIT,
                                     CMA::BAND4LIMIT, CMA::BAND5LIMIT, CMA::BAND6LIMIT};
constexpr DecimalCol kBandRate[] = {CMA::BAND1RATE, CMA::BAND2RATE, CMA::BAND3RATE,
                                    CMA::BAND4RATE, CMA::BAND5RATE, CMA::BAND6RATE};

// The waiting fees as they stand, read in one go when the run starts (the view has no order
// of its own: the rows come in the database's natural order).
constexpr const char* kWaitingFees = "Select CaseCode,DiaryID,Name,FnCode from DiaryAttFees";

bool blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// A read that found no row, as opposed to a read the database failed.
bool noRow(int rc) { return rc == NotFoundErr || rc == NoRecErr; }

}  // namespace

int bandOf(const Record& matrix, const Decimal& debt) {
    const double d = debt.toDouble();
    for (int k = 0; k < 6; ++k) {
        const double low = k == 0 ? 0.0 : matrix.get(kBandLimit[k - 1]).toDouble() + 1;
        const double high = matrix.get(kBandLimit[k]).toDouble();
        if (low <= d && d <= high) return k + 1;
    }
    return 0;
}

std::optional<Decimal> bandRate(const Record& matrix, const Decimal& debt) {
    const int band = bandOf(matrix, debt);
    if (band == 0) return std::nullopt;
    return matrix.get(kBandRate[band - 1]);
}

namespace {

// The tables the import opens, in the order it opens them.
const std::vector<TableId> kTablesUsed{TableId::Contacts, TableId::Control, TableId::DiaryAttFees, TableId::DocumentChargesFees,
                                       TableId::FeesImported, TableId::Handlers, TableId::ChargingMatrix, TableId::Diary,
                                       TableId::DiaryAttachments, TableId::Matters, TableId::SQLResult, TableId::SQLResultD,
                                       TableId::TasksCodes, TableId::TimeDayBook};
// Of those, the tables the import only reads: a diary entry's transaction locks only what it
// writes (its attachments, by the claim), so another station editing a matter or a client
// never stops it, and a login with SELECT alone on these tables runs it.
const std::vector<TableId> kTablesOnlyRead{TableId::Contacts, TableId::Control, TableId::DiaryAttFees, TableId::DocumentChargesFees,
                                           TableId::Handlers, TableId::ChargingMatrix, TableId::Diary, TableId::Matters,
                                           TableId::TasksCodes};

}  // namespace

std::vector<db::TableRows> tablesToCopy() {
    std::vector<db::TableRows> rows;
    for (TableId t : kTablesUsed)
        rows.push_back(t == TableId::TimeDayBook || t == TableId::FeesImported ? db::TableRows::none(t) : db::TableRows::all(t));
    return rows;
}

FeeImport::FeeImport(Session s, ui::ProgressView& view) : Process(s.ui, view), s_(s), history_(s) {}

FeeImport::~FeeImport() = default;

bool FeeImport::prepare() {
    Context& ctx = s_.ctx;
    originalRequest_ = ctx.globalRequest;
    ctx.globalRequest = 0;
    ctx.globalResponse = 0;
    localResponse_ = RequestCancelled;
    tables_ = std::make_unique<TableUse>(s_, kTablesUsed, kTablesOnlyRead);
    if (!tables_->ok()) {
        tables_.reset();
        ctx.globalResponse = RequestCancelled;
        return false;
    }
    // The run history: a run of this station and folder left "running" was killed (fee imports
    // of other stations may be running now).
    if (!history_.open()) {
        s_.ui.message(history_.unavailableText(), "Fee Import", ui::Icon::Information);
    } else {
        history_.settleKilled(history::kFeeRun, history::stationName(), history::folderName());
        history_.beginRun(history::kFeeRun, command_, 0, false);
    }
    Table& daf = ctx.table(TableId::DiaryAttFees);
    rowSize_ = declaredRowSize(daf.decl());
    measure_.start(daf.records() * rowSize_, kRecordsPerCycle);
    // The time-day-book and log buffers start empty: the columns the run never sets stay
    // zero for every entry.
    ctx.rec(TableId::TimeDayBook).clear();
    ctx.rec(TableId::FeesImported).clear();

    view_.setCaption("Processing Records");
    view_.setPercentText("0% Completed");
    view_.setUserText("Processing Fee Charges");
    daf.sendOption("QUICKSCAN=on");
    prepared_ = true;
    return true;
}

// The window is open: the waiting fees are read into the list, and the first one becomes
// current. The whole list is needed up front: a diary entry's waiting fees are written
// together, wherever they lie in the list.
void FeeImport::opened() {
    if (!prepared_) return;
    Table& daf = s_.ctx.table(TableId::DiaryAttFees);
    daf.setNatural();
    list_.clear();
    nextRow_ = 0;
    handledEntries_.clear();
    rowsOfEntry_.clear();
    if (daf.setSql(kWaitingFees) == NoError) {
        viewOpen_ = true;
        for (;;) {
            int rc = daf.next();
            if (rc != NoError) {
                if (rc != NotFoundErr) standardWarning(s_, WarnRecordFetchError, "DiaryAttFees");
                break;  // the list ends here
            }
            rowsOfEntry_[daf.rec().get(DAF::DIARYID)].push_back(list_.size());
            list_.push_back(daf.rec());
        }
    } else {
        standardWarning(s_, WarnViewOpenError);
    }
    if (!readNext()) endLoop();  // nothing to read: nothing is written
}

bool FeeImport::readNext() {
    if (!viewOpen_ || nextRow_ >= list_.size()) {
        viewOpen_ = false;  // the run is at its end
        localResponse_ = RequestCancelled;
        return false;
    }
    s_.ctx.rec(TableId::DiaryAttFees) = list_[nextRow_++];
    localResponse_ = RequestCompleted;
    showPercent(measure_.add(rowSize_));
    return true;
}

void FeeImport::cycle() {
    if (!prepared_ || ended()) return;
    measure_.startCycle();
    bool atEnd = false;
    while (!measure_.cycleDone()) {
        processWaitingFee();
        if (view_.wantsCounts()) view_.setCounts(feesRead_, static_cast<int64_t>(list_.size()), "waiting fees");
        if (stopping_) {
            // The failure was shown once; the fees not reached wait for the next run.
            s_.ui.message("The fee import stops here: every fee after this one would fail the same way.|The fees not entered "
                          "wait for the next run.",
                          "Fee Import", ui::Icon::Warning);
            localResponse_ = RequestCancelled;
            endLoop();
            return;
        }
        if (!readNext()) {
            localResponse_ = RequestCompleted;
            atEnd = true;
            break;
        }
    }
    if (atEnd) {
        view_.setPercentText("Process Completed");
        endLoop();
    }
}

void FeeImport::cancelConfirmed() {
    cancelled_ = true;
    localResponse_ = RequestCancelled;
    endLoop();
}

void FeeImport::finish() {
    if (!prepared_) return;
    Context& ctx = s_.ctx;
    ctx.table(TableId::DiaryAttFees).sendOption("QUICKSCAN=off");
    if (history_.runId() != 0)
        history_.endRun(feesFailed_ > 0 || stopping_ ? "stopped" : cancelled_ ? "cancelled" : "completed", 0, 0);
    s_.ui.message("Fees Import Complete!");
    tables_.reset();
    prepared_ = false;
    ctx.globalResponse = localResponse_ == 0 ? RequestCancelled : localResponse_;
}

// ---- one diary entry ---------------------------------------------------------------------------

void FeeImport::processWaitingFee() {
    Context& ctx = s_.ctx;
    const int64_t diaryId = ctx.get(DAF::DIARYID);
    // A later document of an entry already handled: it was written (or rolled back) with
    // the entry's first one.
    if (!handledEntries_.insert(diaryId).second) return;
    const Record current = ctx.rec(TableId::DiaryAttFees);
    // The entry's fees from here on are read now, whatever becomes of them.
    const int64_t feesOfEntry = static_cast<int64_t>(rowsOfEntry_[diaryId].size());
    feesRead_ += feesOfEntry;
    entriesThisUnit_ = 0;
    feesThisUnit_ = 0;
    unitFailed_ = false;
    unitEntries_.clear();
    unitRows_.clear();
    bool ok = processDocument();
    // The entry's other waiting fees, in list order.
    for (size_t i : rowsOfEntry_[diaryId]) {
        if (!ok) break;
        if (i < nextRow_) continue;  // the current row and those before it
        ctx.rec(TableId::DiaryAttFees) = list_[i];
        ok = processDocument();
    }
    if (ok && inTransaction_ && markEntry(diaryId) && recordEntry(diaryId)) {
        inTransaction_ = false;
        if (ctx.commit() == NoError) {
            entriesAdded_ += entriesThisUnit_;
            feesEntered_ += feesThisUnit_;
            if (observer_)
                for (const FeeEntry& e : unitEntries_) observer_->entry(e);
        } else {
            reportFailure();
            stopOn(ctx.lastError());
        }
    }
    if (unitFailed_) feesFailed_ += feesOfEntry;
    ctx.rec(TableId::DiaryAttFees) = current;
    showMessages();
}

bool FeeImport::processDocument() {
    Context& ctx = s_.ctx;
    Table& dchf = ctx.table(TableId::DocumentChargesFees);
    const int64_t entriesBefore = entriesThisUnit_;
    // A waiting fee without a diary id (it reads as 0): no update could mark its attachment, so
    // it would be listed, and entered, again on every run. It is not entered.
    if (ctx.get(DAF::DIARYID) == 0) {
        exception(FeeException::CannotBeMarked, "diary id missing");
        return true;
    }
    // The document's task charge codes, in the order the server returns them.
    if (dchf.setSql("Select DocumentName,TaskChargeCode,RecordID from DocumentChargesFees Where DocumentName = " +
                    db::quoted(ctx.trimmed(DAF::NAME))) != NoError) {
        // Not a document without mapping: the database failed, and the entry waits whole.
        failRead("DocumentChargesFees");
        return false;
    }
    int rc;
    bool mapped = false;
    while ((rc = dchf.next()) == NoError) {
        mapped = true;
        if (!processMappingRow()) return false;
    }
    if (!noRow(rc)) {
        failRead("DocumentChargesFees");
        return false;
    }
    if (!mapped) exception(FeeException::NoMapping, std::string(ctx.trimmed(DAF::NAME)));
    if (entriesThisUnit_ > entriesBefore) ++feesThisUnit_;
    return true;
}

bool FeeImport::processMappingRow() {
    Context& ctx = s_.ctx;
    // Matter
    ctx.set(TID::MATTER, ctx.get(DAF::CASECODE));
    ctx.set(TID::FEEEARN, ctx.get(DAF::FNCODE));
    ctx.set(TID::DATE, dates::today());
    ctx.set(MAT::CODE, ctx.get(DAF::CASECODE));
    const int rc = ctx.table(TableId::Matters).get(MAT::MATTERKEY);
    if (rc == NoError) {
        if (!priceFee()) return false;
    } else if (noRow(rc)) {
        say("Matter Code Not found in the OPEN Matters...." + ctx.get(DAF::CASECODE));
        exception(FeeException::MatterNotFound, std::string(ctx.trimmed(DAF::CASECODE)));
        ctx.set(TID::MATTER, "NOMATTER");
        ctx.set(TID::RATE, Decimal());
        ctx.set(TID::CHARGE, Decimal());
        ctx.set(TID::CHARGED, Decimal());
        ctx.set(TID::UNITS, Decimal());
    } else {
        failRead("Matters");
        return false;
    }
    if (!setCommonFields()) return false;
    if (ctx.trimmed(TID::MATTER) == "NOMATTER") return true;  // nothing is written for it
    return writeFee();
}

bool FeeImport::priceFee() {
    Context& ctx = s_.ctx;
    // Arrangement: the matter's, else its client's.
    ctx.set(CMA::ARRANGEMENTCODE, ctx.get(MAT::CHARGEARRANGEMENT));
    if (blank(ctx.get(CMA::ARRANGEMENTCODE))) {
        ctx.set(CNT::CODE, ctx.get(MAT::CLIENTCODE));
        const int rc = ctx.table(TableId::Contacts).get(CNT::KEYCODE);
        if (noRow(rc)) {
            // No other client's arrangement may price this fee.
            ctx.rec(TableId::Contacts).clear();
        } else if (rc != NoError) {
            failRead("Contacts");
            return false;
        }
        ctx.set(CMA::ARRANGEMENTCODE, ctx.get(CNT::CHARGEARRANGEMENT));
    }
    if (blank(ctx.get(CMA::ARRANGEMENTCODE))) {
        say("Matter " + ctx.get(DAF::CASECODE) + " has no Charge Type. It MUST for fees..");
        exception(FeeException::ArrangementNotFound, "none for matter " + std::string(ctx.trimmed(DAF::CASECODE)));
    }

    ctx.set(CMA::CHARGECODE, ctx.trimmed(DCHF::TASKCHARGECODE));
    const int matrixRc = ctx.table(TableId::ChargingMatrix).get(CMA::KEYARRANGEMENTCODE);
    if (matrixRc != NoError && !noRow(matrixRc)) {
        // A matrix that cannot be read must not price the fee as no band.
        failRead("ChargingMatrix");
        return false;
    }
    const bool matrixFound = matrixRc == NoError;
    if (!matrixFound && !blank(ctx.get(CMA::ARRANGEMENTCODE)))
        exception(FeeException::ArrangementNotFound,
                  std::string(ctx.trimmed(CMA::ARRANGEMENTCODE)) + " with task " + std::string(ctx.trimmed(CMA::CHARGECODE)));
    if (!matrixFound) {
        // A missing matrix row prices as no band, with a blank description and stage.
        std::string arrangement = ctx.get(CMA::ARRANGEMENTCODE), charge = ctx.get(CMA::CHARGECODE);
        ctx.rec(TableId::ChargingMatrix).clear();
        ctx.set(CMA::ARRANGEMENTCODE, arrangement);
        ctx.set(CMA::CHARGECODE, charge);
    }
    ctx.set(TID::STAGECODE, ctx.get(CMA::STAGECODE));
    ctx.set(TID::ACTIONID, 1);
    ctx.set(TID::TIME, 1);

    const Decimal debt = (ctx.get(MAT::ORIGINALDEBT) + ctx.get(MAT::DEBTINTEREST) - ctx.get(MAT::DEBTCOLLECTED)).roundTo(2);
    const Record& matrix = ctx.rec(TableId::ChargingMatrix);
    debt_ = debt;
    band_ = matrixFound ? bandOf(matrix, debt) : 0;
    const Decimal charge = band_ ? matrix.get(kBandRate[band_ - 1]) : kNoBandCharge;
    if (matrixFound && band_ == 0)
        exception(FeeException::NoBand, std::string(ctx.trimmed(DAF::CASECODE)) + " (debt " + debt.toString(2) + ")");
    ctx.set(TID::RATE, charge);
    ctx.set(TID::CHARGE, charge);
    ctx.set(TID::CHARGED, charge);
    return true;
}

bool FeeImport::setCommonFields() {
    Context& ctx = s_.ctx;
    ctx.set(TID::UNITS, Decimal());
    ctx.set(TID::TASK, ctx.get(DCHF::TASKCHARGECODE));
    ctx.set(TID::TIMEORCHARGE, "C");

    // Task
    ctx.set(TAS::CODE, ctx.get(DCHF::TASKCHARGECODE));
    int rc = ctx.table(TableId::TasksCodes).get(TAS::TASKS);
    if (rc == NoError) {
        ctx.set(TID::COMMENT, ctx.get(TAS::DESC));
    } else if (noRow(rc)) {
        ctx.set(TID::COMMENT, ctx.get(CMA::DESCRIPTION));
        exception(FeeException::TaskNotFound, std::string(ctx.trimmed(DCHF::TASKCHARGECODE)));
    } else {
        failRead("TasksCodes");
        return false;
    }
    ctx.set(TID::NCCCODE, "");

    // Fee earner
    ctx.set(HAN::CODE, ctx.get(TID::FEEEARN));
    rc = ctx.table(TableId::Handlers).get(HAN::FEEEARN);
    if (rc == NoError) {
        ctx.set(TID::TEAM, ctx.get(HAN::TEAM));
    } else if (noRow(rc)) {
        ctx.set(TID::TEAM, "");
        // A blank fee earner is a diary entry that is not there (the waiting fees take the fee
        // earner from it) or that names none.
        if (blank(ctx.get(TID::FEEEARN)))
            exception(FeeException::DiaryEntryNotFound, std::to_string(ctx.get(DAF::DIARYID)) + " (fee earner blank)");
        else
            exception(FeeException::NoHandler, std::string(ctx.trimmed(TID::FEEEARN)));
    } else {
        failRead("Handlers");
        return false;
    }

    // Tracking reference: the lowest of the diary entry's attachments.
    Table& sqld = ctx.table(TableId::SQLResultD);
    const std::string diaryId = std::to_string(ctx.get(DAF::DIARYID));
    rc = sqld.setSql("Select Top 1  TrackReference from DiaryAttachments Where DiaryID = " + diaryId + " order by TrackReference");
    s_.ui.setClipboard(sqld.sql());
    if (rc == NoError) rc = sqld.next();
    if (rc == NoError) {
        ctx.set(TID::TRACKREF, Decimal(ctx.get(SQLD::RESULTFIELD).toInt64()));
    } else if (noRow(rc)) {
        ctx.set(TID::TRACKREF, Decimal());
        exception(FeeException::DiaryEntryNotFound, diaryId + " (no attachment left, tracking reference 0)");
    } else {
        failRead("DiaryAttachments");
        return false;
    }

    ctx.set(TID::DOCKET, 0);
    ctx.set(TID::REC_IRR, "C");
    if (!readControlRow()) return false;

    ctx.set(TID::ACTIONID, ctx.get(DAF::DIARYID));
    ctx.set(TID::LEAVE, "");
    ctx.set(TID::POST, "Y");
    ctx.set(TID::STOPWATCHSTARTTIME, dates::kNoDate);
    ctx.set(TID::STOPWATCHSTATUS, 0);
    ctx.set(TID::MATTERLEVEL, "");
    ctx.set(TID::FEERATE, Decimal());
    ctx.set(TID::CHARGEDMINS, 0);
    ctx.set(TID::FEECOST, Decimal());
    ctx.set(TID::TASKLEVEL, "");
    ctx.set(TID::ENTRYDATE, dates::kNoDate);
    ctx.set(TID::MODIFYDATE, dates::kNoDate);
    return true;
}

// Period and year from the control row, read from the start of the table whatever its key holds.
bool FeeImport::readControlRow() {
    Context& ctx = s_.ctx;
    Table& con = ctx.table(TableId::Control);
    if (con.setStart(CON::KEYDOCNUM) == NoError && con.next() == NoError) {
        ctx.set(TID::PERIOD, ctx.get(CON::CURPER));
        ctx.set(TID::YEAR, ctx.get(CON::YEAR));
        return true;
    }
    if (!noRow(ctx.errorCode())) {
        failRead("control");
        return false;
    }
    ctx.set(TID::PERIOD, 0);
    ctx.set(TID::YEAR, 0);
    if (!controlWarned_) {
        controlWarned_ = true;
        say("Control Record Not Found. The fees of this run are entered with Period 0 and Year 0.");
    }
    return true;
}

// The time entry and its log row, inside the diary entry's transaction.
bool FeeImport::writeFee() {
    Context& ctx = s_.ctx;
    if (!inTransaction_) {
        if (ctx.begin(kTransactionSeconds) != NoError) {
            reportFailure();
            stopOn(ctx.lastError());
            return false;
        }
        inTransaction_ = true;
        if (!claimEntry(ctx.get(DAF::DIARYID))) return false;
    }
    ctx.set(TID::RECORDID, Decimal());  // the database numbers each entry
    if (ctx.table(TableId::TimeDayBook).add() != NoError) {
        failFee();
        return false;
    }
    const int64_t diaryId = ctx.get(DAF::DIARYID);
    unitRows_.push_back({history::kDayBook, diaryId, 0, 0, ctx.get(TID::RECORDID).toInt64(), ctx.get(TID::CHARGE)});

    ctx.set(FIMP::RECORDID, 0);
    ctx.set(FIMP::MATTER, ctx.get(TID::MATTER));
    ctx.set(FIMP::DATEIMPORTED, ctx.get(TID::DATE));
    ctx.set(FIMP::FE, ctx.get(TID::FEEEARN));
    ctx.set(FIMP::CHARGE, ctx.get(TID::CHARGE));
    ctx.set(FIMP::TASK, ctx.get(TID::TASK));
    ctx.set(FIMP::COMMENT, utf8::cut(ctx.get(TID::COMMENT), 100));
    ctx.set(FIMP::TRACKREF, ctx.get(TID::TRACKREF).toInt64());
    if (ctx.table(TableId::FeesImported).add() != NoError) {
        failFee();
        return false;
    }
    unitRows_.push_back({history::kImported, diaryId, 0, 0, ctx.get(FIMP::RECORDID), ctx.get(FIMP::CHARGE)});
    ++entriesThisUnit_;
    if (observer_) {
        FeeEntry e;
        e.diaryId = ctx.get(DAF::DIARYID);
        e.document = std::string(ctx.trimmed(DAF::NAME));
        e.matter = std::string(ctx.trimmed(TID::MATTER));
        e.taskCode = std::string(ctx.trimmed(TID::TASK));
        e.arrangement = std::string(ctx.trimmed(CMA::ARRANGEMENTCODE));
        e.debt = debt_;
        e.band = band_;
        e.rate = ctx.get(TID::RATE);
        e.feeEarner = std::string(ctx.trimmed(TID::FEEEARN));
        e.team = std::string(ctx.trimmed(TID::TEAM));
        e.trackRef = ctx.get(TID::TRACKREF).toInt64();
        e.date = ctx.get(TID::DATE);
        unitEntries_.push_back(std::move(e));
    }
    return true;
}

// Another import may have entered this diary entry since this run read its list. The entry's
// waiting attachments are therefore claimed as the first write of its transaction: of two
// imports that meet on one entry, the second waits for the first's commit (the rows are
// locked by the first's update) and then finds nothing waiting, rolls back and goes on, so
// every fee is entered once. (The count of rows an update changed is the database's own; a
// view whose updates run through a trigger reports none, and reads as taken.)
bool FeeImport::claimEntry(int64_t diaryId) {
    Context& ctx = s_.ctx;
    if (ctx.table(TableId::DiaryAttachments)
            .setSql("Update DiaryAttachments Set Fees = 1 Where DiaryId = " + std::to_string(diaryId) +
                    " and (Fees = 0 or Fees is null)") != NoError) {
        failFee();
        return false;
    }
    if (ctx.connection()->changes() > 0) return true;
    // Nothing waiting: either another import entered the entry, or its attachments are gone
    // (deleted by another station), in which case the fees are entered as before, with
    // tracking reference 0: the waiting fees no longer list them, so they are entered once.
    Table& sqld = ctx.table(TableId::SQLResultD);
    int rc = sqld.setSql("Select count(*) from DiaryAttachments Where DiaryID = " + std::to_string(diaryId));
    if (rc == NoError) rc = sqld.next();
    if (rc != NoError) {
        failFee();
        return false;
    }
    if (ctx.get(SQLD::RESULTFIELD).toInt64() == 0) return true;
    inTransaction_ = false;
    ctx.rollback();
    ++entriesTaken_;
    return false;
}

// Every attachment of the diary entry is marked, once, as the last write of its transaction.
bool FeeImport::markEntry(int64_t diaryId) {
    if (s_.ctx.table(TableId::DiaryAttachments).setSql("Update DiaryAttachments Set Fees = 1 Where DiaryId = " +
                                                       std::to_string(diaryId)) != NoError) {
        failFee();
        return false;
    }
    return true;
}

// What the diary entry wrote, and its mark, go into the run history inside its transaction.
bool FeeImport::recordEntry(int64_t diaryId) {
    if (history_.runId() == 0) return true;
    unitRows_.push_back({history::kMarked, diaryId, 0, 0, diaryId, Decimal()});
    if (Error e = history_.record(unitRows_)) {
        s_.ctx.setError(e);
        failFee();
        return false;
    }
    return true;
}

// A write failed: nothing of the diary entry stays, and all its fees wait for the next run.
void FeeImport::failFee() {
    Context& ctx = s_.ctx;
    Error error = ctx.lastError();
    if (inTransaction_) {
        inTransaction_ = false;
        ctx.rollback();
    }
    ctx.setError(error);
    reportFailure();
    stopOn(error);
}

void FeeImport::reportFailure() {
    Context& ctx = s_.ctx;
    std::string text = ctx.fileError().empty() ? ctx.errorText() : ctx.fileError();
    say(text + ", Error Adding Fees For Matter " + ctx.get(DAF::CASECODE) + ", DiaryID: " + std::to_string(ctx.get(DAF::DIARYID)));
    exception(FeeException::NotEntered, text);
    unitFailed_ = true;
}

void FeeImport::stopOn(const Error& e) {
    if (e.code == IsLockedErr || databaseUnusable(e)) stopping_ = true;
}

// A read inside the entry's unit failed: the database failed, not the data, so nothing of
// the entry may be committed. The transaction is rolled back, all the entry's fees wait for
// the next run, and the retrieval error naming the table is shown once the transaction has
// ended.
void FeeImport::failRead(std::string table) {
    Context& ctx = s_.ctx;
    Pending p;
    p.text = std::move(table);
    p.warning = WarnRecordFetchError;
    p.error = ctx.lastError();
    if (inTransaction_) {
        inTransaction_ = false;
        ctx.rollback();
    }
    ctx.setError(p.error);
    exception(FeeException::NotEntered, p.text + " could not be read: " + (p.error.driverText.empty() ? p.error.text : p.error.driverText));
    stopOn(p.error);
    pending_.push_back(std::move(p));
    unitFailed_ = true;
}

void FeeImport::exception(FeeException kind, std::string subject) {
    if (!observer_) return;
    Context& ctx = s_.ctx;
    observer_->exception(kind, std::move(subject),
                         "diary id " + std::to_string(ctx.get(DAF::DIARYID)) + " (document " + std::string(ctx.trimmed(DAF::NAME)) +
                             ", matter " + std::string(ctx.trimmed(DAF::CASECODE)) + ")");
}

void FeeImport::say(std::string text) {
    Pending p;
    p.text = std::move(text);
    pending_.push_back(std::move(p));
}

void FeeImport::showMessages() {
    std::vector<Pending> messages;
    messages.swap(pending_);
    for (const Pending& m : messages) {
        if (m.warning == 0) {
            s_.ui.message(m.text);
            continue;
        }
        // The warning reports the error as it was when the read failed.
        s_.ctx.saved = SavedError{};
        s_.ctx.setError(m.error);
        standardWarning(s_, m.warning, m.text);
    }
}

}  // namespace mg::fees
