#pragma once
// Table opening, the standard warnings and the guarded update and delete of the two
// charge tables: the services every procedure uses for its tables.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "data/context.h"
#include "data/table.h"
#include "ui/port.h"

namespace mg {

// A context together with the user it talks to: what every procedure runs on.
struct Session {
    Context& ctx;
    ui::UserInterface& ui;
};

// ---- standard warnings ---------------------------------------------------------------------

enum Warning : int {
    WarnInvalidFile = 1,
    WarnInvalidKey = 2,
    WarnRebuildError = 3,
    WarnFileCreateError = 4,
    WarnFileCreateOpenError = 5,
    WarnInsertError = 14,
    WarnUpdateError = 15,
    WarnRecordUpdateRetry = 16,
    WarnDeleteError = 17,
    WarnRecordDeleteRetry = 18,
    WarnConfirmCancel = 23,
    WarnDuplicateKey = 24,
    WarnFileAccessError = 30,
    WarnConfirmDelete = 32,
    WarnTransactionError = 34,
    WarnRecordFetchError = 35,
    WarnViewOpenError = 36,
    WarnRecordChanged = 38,
    // The program's own: band limits that leave a band out of reach (the outlay form).
    WarnBandLimits = 40,
};

// The error text a standard warning shows: the saved error when there is one, else the
// current one: "<text> (<code>)", the database's own text and code for a driver error.
// At most 150 characters.
std::string warningErrorText(const Context& ctx, int* codeUsed = nullptr);

// Shows standard warning `id` with the error text and the two texts, clears the error
// store and returns the button pressed. The warnings that end the program halt it.
int standardWarning(Session s, int id, std::string_view text1 = {}, std::string_view text2 = {});

// Saves the last error (code, text, the database's code and text) and rolls back the
// open transaction.
void riSaveError(Context& ctx);

// ---- opening tables ------------------------------------------------------------------------

// Opens a table and deals with a missing table or broken keys. Returns true when the table
// is open; false when the program has been halted after a message.
bool checkOpen(Session s, TableId table, bool overrideCreate, int openMode = -1);

// Whether a procedure may create a missing table of this kind.
bool mayCreate(TableId table);

// Opens a procedure's tables through the per-context use counts, in the order given, and
// closes them again in that order when it goes out of scope. A table already opened by
// this context is not opened again. The tables in `onlyRead` are opened for reading only:
// their rows are read without locks inside a transaction (other stations may hold them,
// and a login may have no more than SELECT on them), and a write to them is refused.
class TableUse {
public:
    TableUse(Session s, std::initializer_list<TableId> tables);
    TableUse(Session s, const std::vector<TableId>& tables, const std::vector<TableId>& onlyRead = {});
    ~TableUse();
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;
    // False when an open failed and the program has been halted.
    bool ok() const { return ok_; }

private:
    Session s_;
    std::vector<TableId> used_;
    bool ok_ = true;
};

// ---- guarded update and delete of the charge tables -----------------------------------------

// Results of riUpdate: written, error (shown, message 15 or 34), changed by another station
// (the buffer now holds the other station's row). A row deleted by another station is an
// error: the buffer keeps the user's values and stands for no row, so every later update of
// it fails again without writing until a row is read into it.
enum RiResult : int { RiWritten = 0, RiError = 1, RiChanged = 2 };

// Writes the buffer of dbo.DocumentCharges / dbo.DocumentChargesFees to its row inside a
// transaction of 2 seconds; a row changed by another station since its watched read is
// reported and read again; a row deleted meanwhile is an error that is never written over.
int riUpdateDocumentCharges(Session s, bool fromForm = true);
int riUpdateDocumentChargesFees(Session s, bool fromForm = true);
int riDeleteDocumentCharges(Session s);
int riDeleteDocumentChargesFees(Session s);

}  // namespace mg
