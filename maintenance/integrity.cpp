#include "maintenance/integrity.h"

#include <algorithm>
#include <cstdlib>

#include "data/utf8.h"

namespace mg {
namespace {

struct WarningDef {
    int id;
    const char* title;
    const char* text;  // {err}, {1} and {2} are replaced
    ui::Icon icon;
    int buttons;
    int defaultButton;
    const char* halt;  // the halt text of a warning that ends the program
};

using ui::ButtonCancel;
using ui::ButtonNo;
using ui::ButtonOk;
using ui::ButtonYes;
constexpr ui::Icon kWarn = ui::Icon::Warning;
constexpr ui::Icon kAsk = ui::Icon::Question;

// The standard warnings. The double blanks after full stops belong to the texts.
constexpr WarningDef kWarnings[] = {
    {1, "Invalid File", "Error: ({err}) accessing {1}.  Press OK to end this application.", kWarn, ButtonOk, ButtonOk, "Invalid File!"},
    {2, "Invalid Key", "{1} key file is invalid.  Do you want to rebuild the key?", kAsk, ButtonYes + ButtonNo, ButtonYes, "Invalid Key!"},
    {3, "Key Rebuild Error", "Error: ({err}) repairing key for {1}.  Press OK to end this application.", kWarn, ButtonOk, ButtonOk,
     "Error Rebuilding Key!"},
    {4, "File Creation Error", "Error: ({err}) creating {1}.  Press OK to end this application.", kWarn, ButtonOk, ButtonOk,
     "File Creation Error!"},
    {5, "File Creation Error", "Error: ({err}) opening created file:{1}.  Press OK to end this application.", kWarn, ButtonOk, ButtonOk,
     "File Creation Error!"},
    {14, "Record Insert Error", "An error was experienced during the update of record.  Error: {err}.", kWarn, ButtonOk, ButtonOk, nullptr},
    {15, "Update Operation Error",
     "An error ({err}) was experienced when attempting to update a record from the file.  Probable Cause: {1}.", kWarn, ButtonOk, ButtonOk,
     nullptr},
    {16, "Record Update Error", "An error was experienced changing this record.  Do you want to try to save again?", kWarn,
     ButtonYes + ButtonNo + ButtonCancel, ButtonCancel, nullptr},
    {17, "Delete Operation Error", "An error ({err}) was experienced when attempting to delete a record from the file {1}.", kWarn,
     ButtonOk, ButtonOk, nullptr},
    {18, "Record Update Error", "An error was experienced deleting this record.  Do you want to try to save again?", kWarn,
     ButtonYes + ButtonNo + ButtonCancel, ButtonCancel, nullptr},
    {23, "Update Cancelled", "Are you sure you want to cancel?", kAsk, ButtonYes + ButtonNo, ButtonNo, nullptr},
    {24, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key:{1}", kWarn, ButtonOk, ButtonOk, nullptr},
    {30, "File Access Error", "File ({1}) could not be opened.  Error: {err}.", kWarn, ButtonOk, ButtonOk, nullptr},
    {32, "Confirm Delete", "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.", kAsk,
     ButtonOk + ButtonCancel, ButtonCancel, nullptr},
    {34, "Transaction Framing Error", "Error: ({err}) attempting to frame the {1} transaction on {2}.  {1} transaction cancelled.", kWarn,
     ButtonOk, ButtonOk, nullptr},
    {35, "Record Retrieval Error", "Error: ({err}) attempting to access a record from the {1} file.  Returning to previous window.", kWarn,
     ButtonOk, ButtonOk, nullptr},
    {36, "View Open Error", "Error: ({err}) attempting to open the current VIEW. Filter and Range Limits ignored.", kWarn, ButtonOk,
     ButtonOk, nullptr},
    {38, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' to recall your changes.",
     kWarn, ButtonOk, ButtonOk, nullptr},
    {40, "Band Limits",
     "The limit of band {1} is below zero or not above the limit of the band before it, so outlays will never be charged at that "
     "band.  Do you want to save the bands as they are?",
     kAsk, ButtonYes + ButtonNo, ButtonYes, nullptr},
};

std::string_view rtrim(std::string_view s) {
    size_t end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

// Replaces the placeholders in one pass, so that a value holding "{1}" stays as it is.
std::string fill(std::string_view tmpl, std::string_view err, std::string_view t1, std::string_view t2) {
    std::string out;
    for (size_t i = 0; i < tmpl.size();) {
        if (tmpl.substr(i, 5) == "{err}") {
            out += err;
            i += 5;
        } else if (tmpl.substr(i, 3) == "{1}") {
            out += t1;
            i += 3;
        } else if (tmpl.substr(i, 3) == "{2}") {
            out += t2;
            i += 3;
        } else {
            out += tmpl[i++];
        }
    }
    return out;
}

std::string tableName(TableId id) { return std::string(decl(id).sqlName); }

}  // namespace

std::string warningErrorText(const Context& ctx, int* codeUsed) {
    std::string s;
    int code;
    if (ctx.saved.code != 0) {
        code = ctx.saved.code;
        if (code == FileSystemErr)
            s = std::string(rtrim(ctx.saved.fileText)) + " (" + ctx.saved.fileCodeText + ")";
        else
            s = std::string(rtrim(ctx.saved.text)) + " (" + std::to_string(code) + ")";
    } else {
        code = ctx.errorCode();
        if (code == FileSystemErr)
            s = std::string(rtrim(ctx.fileError())) + " (" + ctx.fileErrorCode() + ")";
        else
            s = std::string(rtrim(ctx.errorText())) + " (" + std::to_string(code) + ")";
    }
    if (codeUsed) *codeUsed = code;
    s = std::string(utf8::cut(s, 150));
    return s;
}

int standardWarning(Session s, int id, std::string_view text1, std::string_view text2) {
    std::string err = warningErrorText(s.ctx);
    s.ctx.saved = SavedError{};
    const WarningDef* def = std::find_if(std::begin(kWarnings), std::end(kWarnings), [&](const WarningDef& w) { return w.id == id; });
    if (def == std::end(kWarnings)) {
        return s.ui.message("Unknown warning " + std::to_string(id) + ": " + err, "Warning", ui::Icon::Warning);
    }
    ui::Message m{fill(def->text, err, rtrim(text1), rtrim(text2)), def->title, def->icon, def->buttons, def->defaultButton};
    int button = s.ui.message(m);
    if (def->halt && (id != WarnInvalidKey || button == ButtonNo)) s.ui.halt(def->halt);
    return button;
}

void riSaveError(Context& ctx) {
    ctx.saved.code = ctx.errorCode();
    ctx.saved.text = ctx.errorText();
    ctx.saved.fileCodeText = ctx.fileErrorCode();
    ctx.saved.fileCode = std::atoi(ctx.fileErrorCode().c_str());
    ctx.saved.fileText = ctx.fileError();
    Error keep = ctx.lastError();
    ctx.rollback();
    ctx.setError(keep);
}

bool mayCreate(TableId t) {
    switch (t) {
    case TableId::DocumentCharges:
    case TableId::DocumentChargesFees:
    case TableId::DiaryAttFees:
    case TableId::FeesImported:
    case TableId::Handlers: return false;
    default: return true;
    }
}

bool checkOpen(Session s, TableId id, bool overrideCreate, int openMode) {
    Table& t = s.ctx.table(id);
    const int mode = openMode >= 0 ? openMode : (ReadWrite | DenyNone);
    const std::string name = tableName(id);
    int rc = t.open(mode);
    if (rc == IsLockedErr) {
        t.sendOption("Recover=10");
        rc = t.open(mode);
    }
    if (rc == NoError || rc == IsOpenErr) return true;
    if (rc == NoFileError) {
        if (!overrideCreate) {
            standardWarning(s, WarnFileCreateError, name);
            return false;
        }
        if (t.create()) {
            standardWarning(s, WarnFileCreateError, name);
            return false;
        }
        if (t.open(mode) == NoError) return true;
        standardWarning(s, WarnFileCreateOpenError, name);
        return false;
    }
    if (rc == BadFileErr) {
        standardWarning(s, WarnInvalidFile, name);
        return false;
    }
    if (rc == BadKeyErr) {
        if (standardWarning(s, WarnInvalidKey, name) != ButtonYes) return false;
        if (t.buildKeys()) {
            standardWarning(s, WarnRebuildError, name);
            return false;
        }
        rc = t.open(mode);
        if (rc == NoError) return true;
    }
    standardWarning(s, WarnFileAccessError, name);
    s.ui.halt("Disk Error");
    return false;
}

TableUse::TableUse(Session s, std::initializer_list<TableId> tables) : TableUse(s, std::vector<TableId>(tables)) {}

TableUse::TableUse(Session s, const std::vector<TableId>& tables, const std::vector<TableId>& onlyRead) : s_(s) {
    for (TableId id : tables) {
        const bool reading = std::find(onlyRead.begin(), onlyRead.end(), id) != onlyRead.end();
        if (s_.ctx.used(id) == 0 && !checkOpen(s_, id, mayCreate(id), reading ? (ReadOnly | DenyNone) : -1)) {
            ok_ = false;
            break;
        }
        ++s_.ctx.used(id);
        used_.push_back(id);
    }
}

TableUse::~TableUse() {
    for (TableId id : used_) {
        if (--s_.ctx.used(id) == 0) s_.ctx.table(id).close();
    }
}

namespace {

// The row is gone (another station deleted it): the buffer keeps the user's values but
// stands for no row any more, so that no retry can write them over a row that has since
// taken its place; the write fails as any other write does (message 15).
int rowGone(Session s, Table& t, const char* name) {
    t.forgetRow();
    s.ctx.setError(Error::of(NotFoundErr));
    riSaveError(s.ctx);
    standardWarning(s, WarnUpdateError, name);
    return RiError;
}

int riUpdate(Session s, TableId id, Key primary, const char* name, bool fromForm) {
    Table& t = s.ctx.table(id);
    if (s.ctx.begin(2)) {
        riSaveError(s.ctx);
        standardWarning(s, WarnTransactionError, "Update", name);
        return RiError;
    }
    s.ctx.holdPosition = t.position(primary);
    if (t.put() == NoError) {
        if (s.ctx.commit() == NoError) return RiWritten;
    }
    riSaveError(s.ctx);
    if (s.ctx.saved.code == RecordChangedErr) {
        s.ctx.saved = SavedError{};
        // The buffer takes the other station's values, and a later write is checked
        // against them.
        t.watch();
        const int rc = t.reget(primary, s.ctx.holdPosition);
        if (rc == NoError) {
            if (fromForm) standardWarning(s, WarnRecordChanged);
            return RiChanged;
        }
        if (rc == NoRecErr) return rowGone(s, t, name);
        // The row could not be read again: the write stays checked against the row as
        // first read, so a retry compares again.
        riSaveError(s.ctx);
        standardWarning(s, WarnUpdateError, name);
        return RiError;
    }
    // No row to write to: it went while the buffer was not watched, or it was found gone
    // before and a retry met the buffer standing for no row.
    if (s.ctx.saved.code == NotFoundErr && t.isOpen()) {
        s.ctx.saved = SavedError{};
        return rowGone(s, t, name);
    }
    standardWarning(s, WarnUpdateError, name);
    return RiError;
}

int riDelete(Session s, TableId id, Key primary, const char* name) {
    Table& t = s.ctx.table(id);
    std::string position = t.position(primary);
    if (s.ctx.begin(2)) {
        riSaveError(s.ctx);
        standardWarning(s, WarnTransactionError, "Delete", name);
        return RiError;
    }
    if (t.reget(primary, position) == NoError && t.remove() == NoError && s.ctx.commit() == NoError) return RiWritten;
    riSaveError(s.ctx);
    standardWarning(s, WarnDeleteError, name);
    return RiError;
}

}  // namespace

int riUpdateDocumentCharges(Session s, bool fromForm) {
    return riUpdate(s, TableId::DocumentCharges, DCH::PK_DOCUMENTCHARGES, "DocumentCharges", fromForm);
}
int riUpdateDocumentChargesFees(Session s, bool fromForm) {
    return riUpdate(s, TableId::DocumentChargesFees, DCHF::PK_DOCUMENTCHARGES, "DocumentChargesFees", fromForm);
}
int riDeleteDocumentCharges(Session s) { return riDelete(s, TableId::DocumentCharges, DCH::PK_DOCUMENTCHARGES, "DocumentCharges"); }
int riDeleteDocumentChargesFees(Session s) {
    return riDelete(s, TableId::DocumentChargesFees, DCHF::PK_DOCUMENTCHARGES, "DocumentChargesFees");
}

}  // namespace mg
