#include "outlays/batch_posting.h"

#include "data/dates.h"
#include "data/dialect.h"
#include "data/passthrough.h"
#include "data/table.h"
#include "data/utf8.h"

namespace mg::outlays {
namespace {

std::string digits(const Decimal& d) { return d.toString(0); }

std::string padded(const std::string& s, size_t n) { return utf8::padded(s, n); }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string batchQuery(const char* what, std::string_view nominalCode, int32_t day) {
    return std::string("Select ") + what + " from BatchH Where (Code = " + db::quoted(nominalCode) + ") and " +
           "(Posted <> 'Y') and " + "(Ref = 'AutoOutlay') and " + "(DATE = CONVERT(DATETIME, " + dateLiteral(day) + ", 102))";
}

}  // namespace

Decimal conversionFactor() { return Decimal::fromMantissa(787564, 6); }
Decimal outsideBandsAmount() { return Decimal::fromMantissa(111, 2); }

std::string dateLiteral(int32_t day) {
    return "'" + std::to_string(dates::year(day)) + "-" + std::to_string(dates::month(day)) + "-" + std::to_string(dates::day(day)) +
           " 00:00:00'";
}

std::string batchCountQuery(std::string_view nominalCode, int32_t day) { return batchQuery("count(*)", nominalCode, day); }
std::string batchNumberQuery(std::string_view nominalCode, int32_t day) { return batchQuery("BatchNo", nominalCode, day); }

// ---- one attachment -----------------------------------------------------------------------

BatchPosting::Outcome BatchPosting::postAttachment(const BeforeCommit& beforeCommit) {
    for (;;) {
        addBatchNo_ = 0;
        att_ = Attachment{};
        Step step = tryPostAttachment(beforeCommit);
        showMessages();
        if (step == Retry) continue;  // the whole attachment again, with fresh numbers
        if (step == Stop) return Stopped;
        if (att_.refused > 0) return Refused;
        return addBatchNo_ < 1 ? NothingToPost : Posted;
    }
}

BatchPosting::Step BatchPosting::tryPostAttachment(const BeforeCommit& beforeCommit) {
    Context& ctx = s_.ctx;
    Table& dch = ctx.table(TableId::DocumentCharges);
    const std::string name(ctx.trimmed(DAT::NAME));

    // The document's outlay charge rows, in their key order. The first is read before the
    // transaction (the charges are only read, and a document without any posts nothing).
    ctx.set(DCH::DOCUMENTNAME, name);
    ctx.set(DCH::RECORDID, 0);
    dch.set(DCH::KEYDOCUMENTNAME);
    int rc = dch.next();
    if (rc && rc != NotFoundErr) return databaseFailed("Reading the outlay charges of document " + name);
    if (rc == NotFoundErr || !sameName(ctx.trimmed(DCH::DOCUMENTNAME), name)) return Done;

    // Everything the attachment writes is one transaction; the control row is taken inside it.
    // A database that cannot be written at all (read-only, full, the server gone) is not a
    // lock to wait for.
    if (ctx.begin(2))
        return ctx.errorCode() == IsLockedErr ? lockFailed("Locking Control ") : databaseFailed("Starting the attachment's transaction");

    att_.written.trackRef = ctx.get(DAT::TRACKREFERENCE).toInt64();
    att_.written.matter = std::string(ctx.trimmed(DAT::CASECODE));
    for (;;) {
        ++addBatchNo_;
        if (Step step = postOutlayLine(); step != Done) return step;
        rc = dch.next();
        if (rc == NotFoundErr) break;
        if (rc) return databaseFailed("Reading the outlay charges of document " + name);
        if (!sameName(ctx.trimmed(DCH::DOCUMENTNAME), name)) break;  // the rows of this document only
    }
    if (Step step = putControl(); step != Done) return step;
    // What the attachment wrote is recorded before it commits, so that whatever happens
    // next it can be told whether the commit took place.
    if (beforeCommit && !att_.written.empty() && !beforeCommit(att_.written)) {
        while (ctx.transactionDepth() > 0) ctx.rollback();
        dropMessages();
        return Stop;
    }
    if (ctx.commit()) return commitFailed();
    tellObserver();
    return Done;
}

BatchPosting::Step BatchPosting::postOutlayLine() {
    Context& ctx = s_.ctx;
    Table& bad = ctx.table(TableId::BatchDetails);
    Table& bah = ctx.table(TableId::BatchH);

    if (Step step = findOrAddBatch(); step != Done) return step;

    bad.clear();
    ctx.set(BAD::BATCHNO, batchNo_);
    if (Step step = takeControlNumbers(false); step != Done) return step;
    ctx.set(BAD::TYPE, "P");
    ctx.set(BAD::CODE, ctx.get(CON::OUTLAY));
    ctx.set(BAD::REF, "Doc Outlays");  // the column keeps its first 10 characters: "Doc Outlay"
    ctx.set(BAD::DATE, dates::today());

    if (Step step = feeEarner(); step != Done) return step;

    Step step = Done;
    ctx.set(BAD::NARR, narrativeOf(ctx.get(DCH::OUTLAYCODE), step));
    if (step != Done) return step;

    // The amount, by the outstanding debt of the attachment's matter.
    ctx.set(BAD::MATTER, ctx.get(DAT::CASECODE));
    if (step = matterAmount(); step != Done) return step;

    ctx.set(BAD::OUTLAYCODE, ctx.get(DCH::OUTLAYCODE));
    ctx.set(BAD::VATCODE, "E");
    ctx.set(BAD::VATVAL, Decimal());
    ctx.set(BAD::OUTLAY, "O");
    ctx.set(BAD::YEAR, ctx.get(CON::YEAR));
    ctx.set(BAD::PERNO, ctx.get(CON::CURPER));
    ctx.set(BAD::ENTRYCURRENCY, "E");
    ctx.set(BAD::CURRENCYVALUE, ctx.get(BAD::VALUE) * conversionFactor());

    // A failed insert changes nothing (a statement is undone whole), so the line needs no
    // savepoint of its own: it stays out of the header's total and its reference goes back
    // to the control row. The message and the run's exceptions say why, so that the line can
    // be posted by hand once its cause is mended. A database that can take no write at all,
    // or a lock, ends the attachment as any other failure does.
    if (bad.add()) {
        if (ctx.errorCode() == IsLockedErr || databaseUnusable(ctx.lastError()) || ctx.connection()->dialect().failureEndsTransaction())
            return databaseFailed("Adding the outlay line");
        const std::string caption = std::to_string(ctx.errorCode());
        const std::string cause = warningErrorText(ctx);
        ctx.set(CON::LASTPREF, ctx.get(CON::LASTPREF) - 1);
        say(ui::Message{"Error adding Batch Detail Track Ref:  " + digits(ctx.get(DAT::TRACKREFERENCE)) + "|" + cause, caption});
        exception(OutlayException::LineRefused,
                  cause + " (amount " + ctx.get(BAD::VALUE).toString(2) + ", nominal code " + nominalCode_ + ")");
        ++att_.refused;
        return Done;
    }
    att_.written.lines.push_back({static_cast<int32_t>(ctx.get(BAD::PREF)), batchNo_, ctx.get(BAD::KEYID).toInt64(), ctx.get(BAD::VALUE)});
    if (observer_) {
        OutlayLine l;
        l.trackRef = ctx.get(DAT::TRACKREFERENCE).toInt64();
        l.document = std::string(ctx.trimmed(DAT::NAME));
        l.matter = std::string(ctx.trimmed(DAT::CASECODE));
        if (*att_.matterRc == NoError) l.debt = att_.amountDebt;
        l.band = att_.band;
        l.amount = ctx.get(BAD::VALUE);
        l.currencyValue = ctx.get(BAD::CURRENCYVALUE);
        l.outlayCode = std::string(ctx.trimmed(BAD::OUTLAYCODE));
        l.nominalCode = nominalCode_;
        l.batchNo = batchNo_;
        l.newBatch = createdThisRun_.count(batchNo_) > 0;
        l.postingRef = static_cast<int32_t>(ctx.get(BAD::PREF));
        l.feeEarner = std::string(ctx.trimmed(BAD::FEE));
        l.date = ctx.get(BAD::DATE);
        att_.lines.push_back(std::move(l));
    }

    // The header's total, and its currency value recomputed from the new total. A header this
    // attachment created or already totalled is in the buffer as the database now holds it.
    if (att_.headerInBuffer != batchNo_) {
        ctx.set(BAH::BATCHNO, batchNo_);
        if (bah.get(BAH::BATCHH)) return databaseFailed("Reading batch header " + std::to_string(batchNo_) + " for its total");
        att_.headerInBuffer = batchNo_;
    }
    ctx.set(BAH::VALUE, ctx.get(BAH::VALUE) + ctx.get(BAD::VALUE));
    ctx.set(BAH::CURRENCYVALUE, ctx.get(BAH::VALUE) * conversionFactor());
    if (bah.put()) {
        att_.headerInBuffer = 0;
        return databaseFailed("Error putting Batch Header " + ctx.get(DCH::OUTLAYCODE) + " No:  " + std::to_string(ctx.get(BAH::BATCHNO)));
    }
    return Done;
}

// The fee earner of the attachment's diary entry, read at its first line.
BatchPosting::Step BatchPosting::feeEarner() {
    Context& ctx = s_.ctx;
    const std::string diaryId = digits(ctx.get(DAT::DIARYID));
    if (!att_.diaryFound) {
        Table& sql = ctx.table(TableId::SQLResult);
        if (sql.setSql("Select FnCode From Diary Where ActionID = " + diaryId)) return databaseFailed("Reading the diary entry " + diaryId);
        int rc = sql.next();
        if (rc && rc != NotFoundErr) return databaseFailed("Reading the diary entry " + diaryId);
        att_.diaryFound = rc == NoError;
        if (rc == NoError) att_.fee = std::string(ctx.trimmed(SQL::FIELDRESULT));
    }
    if (*att_.diaryFound) {
        ctx.set(BAD::FEE, att_.fee);
    } else {
        say(ui::Message{"No Diary record found for Action ID " + diaryId, ""});
        exception(OutlayException::DiaryNotFound, diaryId);
        ctx.set(BAD::FEE, "ADM");
    }
    return Done;
}

// The line's amount by the outstanding debt of the attachment's matter, read at its first line.
BatchPosting::Step BatchPosting::matterAmount() {
    Context& ctx = s_.ctx;
    if (!att_.matterRc) {
        ctx.set(MAT::CODE, ctx.get(DAT::CASECODE));
        int rc = ctx.table(TableId::Matters).get(MAT::MATTERKEY);
        if (rc && rc != NoRecErr) return databaseFailed("Reading the matter " + std::string(ctx.trimmed(DAT::CASECODE)));
        att_.matterRc = rc;
        if (rc == NoError) att_.amountDebt = ctx.get(MAT::ORIGINALDEBT) + ctx.get(MAT::DEBTINTEREST) - ctx.get(MAT::DEBTCOLLECTED);
    }
    att_.band = 0;
    if (*att_.matterRc == NoRecErr) {
        say(ui::Message{"Matter " + ctx.get(DAT::CASECODE) + " not found!!!", ""});
        exception(OutlayException::MatterNotFound, std::string(ctx.trimmed(DAT::CASECODE)));
        return Done;
    }
    debtBalanceNow_ = att_.amountDebt;
    att_.band = selectBand(debtBalanceNow_);
    ctx.set(BAD::VALUE, bandAmount(att_.band));
    if (att_.band == 0)
        exception(OutlayException::NoBand, std::string(ctx.trimmed(DAT::CASECODE)) + " (debt " + debtBalanceNow_.toString(2) + ")");
    return Done;
}

// The day's open automatic batch of the charge row's nominal code, made when there is none.
BatchPosting::Step BatchPosting::findOrAddBatch() {
    Context& ctx = s_.ctx;
    Table& sqld = ctx.table(TableId::SQLResultD);
    nominalCode_ = std::string(ctx.trimmed(DCH::NOMINALCODE));
    // A code whose batch this attachment already found or made is not looked up again.
    if (auto known = att_.openBatches.find(nominalCode_); known != att_.openBatches.end()) {
        batchNo_ = known->second;
        return Done;
    }
    if (sqld.setSql(batchNumberQuery(nominalCode_, dates::today())))
        return databaseFailed("Looking for the open batch of nominal code " + nominalCode_);
    int rc = sqld.next();
    if (rc == NoError) {
        batchNo_ = static_cast<int32_t>(ctx.get(SQLD::RESULTFIELD).toInt64());
        att_.openBatches[nominalCode_] = batchNo_;
        return Done;
    }
    if (rc != NotFoundErr) return databaseFailed("Looking for the open batch of nominal code " + nominalCode_);
    if (Step step = takeControlNumbers(true); step != Done) return step;
    Step step = Done;
    narr_ = narrativeOf(ctx.get(DCH::OUTLAYCODE), step);
    if (step != Done) return step;
    if (step = addBatchHeader(); step != Done) return step;
    att_.openBatches[nominalCode_] = batchNo_;
    att_.headerInBuffer = batchNo_;
    createdThisRun_.insert(batchNo_);
    att_.written.headers.push_back({batchNo_, pref_});
    return Done;
}

BatchPosting::Step BatchPosting::takeControlNumbers(bool forBatch) {
    Context& ctx = s_.ctx;
    Table& con = ctx.table(TableId::Control);
    // Read once per attachment: once written, the row is this transaction's until it ends. On
    // a server the row lock is taken by this read: a row another station holds past the wait
    // is the locked control row of the wait/retry message, as a begin refused is.
    if (!att_.controlHeld) {
        con.setStart(CON::KEYDOCNUM);  // the one control row, whatever its key holds
        if (int rc = con.next()) return rc == IsLockedErr ? lockFailed("Locking Control ") : databaseFailed("Reading the control row");
    }
    if (forBatch) {
        batchNo_ = static_cast<int32_t>(ctx.get(CON::LASTBATCH) + 1);
        ctx.set(CON::LASTBATCH, batchNo_);
        pref_ = static_cast<int32_t>(ctx.get(CON::LASTPREF) + 1);
        ctx.set(CON::LASTPREF, pref_);
        currentPeriod_ = static_cast<int32_t>(ctx.get(CON::CURPER));
        currentYear_ = static_cast<int32_t>(ctx.get(CON::YEAR));
    } else {
        ctx.set(BAD::PREF, ctx.get(CON::LASTPREF) + 1);
        ctx.set(CON::LASTPREF, ctx.get(BAD::PREF));
    }
    if (att_.controlHeld) return Done;
    att_.controlHeld = true;
    return putControl();
}

// Writes the numbers taken since the control row was last written.
BatchPosting::Step BatchPosting::putControl() {
    Context& ctx = s_.ctx;
    if (!att_.controlHeld) return Done;
    const auto batch = static_cast<int32_t>(ctx.get(CON::LASTBATCH));
    const auto pref = static_cast<int32_t>(ctx.get(CON::LASTPREF));
    if (batch == att_.putBatch && pref == att_.putPref) return Done;
    // A database that cannot be written at all (read-only, full, gone) is no lock to wait for.
    if (ctx.table(TableId::Control).put())
        return databaseUnusable(ctx.lastError()) ? databaseFailed("Updating the control row") : lockFailed("Updating Control ");
    att_.putBatch = batch;
    att_.putPref = pref;
    return Done;
}

BatchPosting::Step BatchPosting::addBatchHeader() {
    Context& ctx = s_.ctx;
    Table& bah = ctx.table(TableId::BatchH);
    const int32_t today = dates::today();
    bah.clear();
    ctx.set(BAH::BATCHNO, batchNo_);
    ctx.set(BAH::POSTFWD, "N");
    ctx.set(BAH::TYPE, "P");
    ctx.set(BAH::CODE, nominalCode_);
    ctx.set(BAH::PREF, pref_);
    ctx.set(BAH::REF, "AutoOutlay");
    ctx.set(BAH::DATE, today);
    ctx.set(BAH::NARR, narr_);
    ctx.set(BAH::VALUE, Decimal());
    ctx.set(BAH::POSTED, "N");
    ctx.set(BAH::CLIENTAC, "N");
    ctx.set(BAH::PERNO, currentPeriod_);
    ctx.set(BAH::YEAR, currentYear_);
    ctx.set(BAH::USERCODE, "AUTO");
    ctx.set(BAH::ENTRYDATE, today);
    ctx.set(BAH::CURRENCY, "E");
    if (bah.add()) return databaseFailed("Error Adding Batch Header " + std::to_string(batchNo_));
    return Done;
}

// The narrative of an outlay code, read once per run: the outlay codes are the practice's
// reference list, which the import only reads.
std::string BatchPosting::narrativeOf(std::string_view outlayCode, Step& step) {
    Context& ctx = s_.ctx;
    const std::string key(outlayCode);
    if (auto known = narratives_.find(key); known != narratives_.end()) return known->second;
    ctx.set(OUT::CODE, outlayCode);
    int rc = ctx.table(TableId::OutlayCode).get(OUT::KEYCODE);
    std::string narrative;
    if (rc == NoError) {
        narrative = std::string(ctx.trimmed(OUT::DESCRIPTION));
    } else {
        std::string code(ctx.trimmed(OUT::CODE));
        if (rc != NoRecErr) {
            step = databaseFailed("Reading the outlay code " + code);
            return code + " Outlay Charge";
        }
        narrative = code + " Outlay Charge";
    }
    narratives_.emplace(key, narrative);
    return narrative;
}

int BatchPosting::selectBand(const Decimal& d) const {
    Context& ctx = s_.ctx;
    const Decimal zero;
    if (zero <= d && d <= ctx.get(DCH::BAND1)) return 1;
    if (ctx.get(DCH::BAND1) < d && d <= ctx.get(DCH::BAND2)) return 2;
    if (ctx.get(DCH::BAND2) < d && d <= ctx.get(DCH::BAND3)) return 3;
    if (ctx.get(DCH::BAND3) < d && d <= ctx.get(DCH::BAND4)) return 4;
    if (ctx.get(DCH::BAND4) < d && d <= ctx.get(DCH::BAND5)) return 5;
    return 0;
}

Decimal BatchPosting::selectBandAmount(const Decimal& d) const { return bandAmount(selectBand(d)); }

Decimal BatchPosting::bandAmount(int band) const {
    Context& ctx = s_.ctx;
    switch (band) {
        case 1: return ctx.get(DCH::OUTLAYAMOUNT);
        case 2: return ctx.get(DCH::OUTLAYAMT2);
        case 3: return ctx.get(DCH::OUTLAYAMT3);
        case 4: return ctx.get(DCH::OUTLAYAMT4);
        case 5: return ctx.get(DCH::OUTLAYAMT5);
        default: return outsideBandsAmount();
    }
}

void BatchPosting::exception(OutlayException kind, std::string subject) {
    if (!observer_) return;
    Context& ctx = s_.ctx;
    std::string row = "track ref " + digits(ctx.get(DAT::TRACKREFERENCE)) + " (document " + std::string(ctx.trimmed(DAT::NAME)) +
                      ", outlay code " + std::string(ctx.trimmed(DCH::OUTLAYCODE)) + ")";
    att_.exceptions.push_back({kind, std::move(subject), std::move(row)});
}

// The attachment has committed: what it posted is told.
void BatchPosting::tellObserver() {
    if (!observer_) return;
    for (const OutlayLine& l : att_.lines) observer_->line(l);
    tellExceptions();
}

void BatchPosting::tellExceptions() {
    for (const Attachment::Noted& n : att_.exceptions) observer_->exception(n.kind, n.subject, n.row);
}

void BatchPosting::say(ui::Message m) { pending_.push_back(std::move(m)); }

void BatchPosting::showMessages() {
    std::vector<ui::Message> shown;
    shown.swap(pending_);
    for (const ui::Message& m : shown) s_.ui.message(m);
}

// ---- failures -----------------------------------------------------------------------------

std::string BatchPosting::attachmentName() const {
    Context& ctx = s_.ctx;
    return "Track Ref: " + digits(ctx.get(DAT::TRACKREFERENCE)) + ", document " + std::string(ctx.trimmed(DAT::NAME)) + ", matter " +
           std::string(ctx.trimmed(DAT::CASECODE));
}

// The control row could not be locked or written: everything of the attachment is rolled
// back, and the wait/retry message decides whether it is posted again from the start.
BatchPosting::Step BatchPosting::lockFailed(const char* what) {
    Context& ctx = s_.ctx;
    error_ = padded("(" + std::to_string(ctx.errorCode()) + ") " + ctx.errorText(), 100);
    const std::string driverText = ctx.fileError();
    while (ctx.transactionDepth() > 0) ctx.rollback();
    dropMessages();
    if (s_.ui.waitRetry(what + error_ + " " + driverText, 3) == 1) return Retry;
    s_.ui.message(attachmentName() + " was not posted: the control row could not be " +
                      (std::string_view(what).starts_with("Locking") ? "locked." : "updated.") +
                      "|The import stops here; the next import starts with this attachment.",
                  "Outlay Import", ui::Icon::Warning);
    return Stop;
}

// A database failure while the attachment is posted: it is rolled back whole and the run
// ends, so the next run takes it up again.
BatchPosting::Step BatchPosting::databaseFailed(const std::string& what) {
    Context& ctx = s_.ctx;
    const std::string error = warningErrorText(ctx);
    while (ctx.transactionDepth() > 0) ctx.rollback();
    dropMessages();
    s_.ui.message(attachmentName() + " was not posted.|" + what + ": " + error +
                      "|The import stops here; the next import starts with this attachment.",
                  "Outlay Import", ui::Icon::Warning);
    return Stop;
}

// The commit failed: when the database's answer was lost (the server gone), the commit may
// have taken place all the same. The posting journal holds what the attachment wrote, and
// the next import settles it: posted once, never twice.
BatchPosting::Step BatchPosting::commitFailed() {
    Context& ctx = s_.ctx;
    const std::string error = warningErrorText(ctx);
    while (ctx.transactionDepth() > 0) ctx.rollback();
    dropMessages();
    if (observer_) {
        att_.exceptions.clear();
        exception(OutlayException::CommitUnknown, error);
        tellExceptions();
    }
    s_.ui.message(attachmentName() + ": the database did not confirm the commit.|" + error +
                      "|The import stops here. Whether this attachment was posted is settled by the next import from the record "
                      "of its postings: it is posted once, never twice.",
                  "Outlay Import", ui::Icon::Warning);
    return Stop;
}

}  // namespace mg::outlays
