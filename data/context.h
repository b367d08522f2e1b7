#pragma once
// A context is what the system calls a thread: everything one procedure and the
// procedures it calls share. It owns its own database connection (so its transactions
// are its own), one record buffer and one open state per table, the per-table use
// counts, the request and response words and the saved-error store. Contexts share
// nothing, so two procedures on two contexts never see each other's buffers.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "data/backend.h"
#include "data/errors.h"
#include "data/record.h"
#include "data/schema.h"

namespace mg {

class Table;

// Request and response words between a caller and the procedure it runs.
enum Request : int { NoRequest = 0, InsertRecord = 1, ChangeRecord = 2, DeleteRecord = 3, SelectRecord = 4 };
enum Response : int { NoResponse = 0, RequestCompleted = 1, RequestCancelled = 2 };

// The saved-error store, filled by riSaveError and reported by the next standard warning.
struct SavedError {
    int code = 0;
    std::string text;
    int fileCode = 0;         // the database's own code, when it is a number
    std::string fileCodeText; // the database's own code as the backend gives it
    std::string fileText;
};

class Context {
public:
    explicit Context(db::Settings settings);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    const db::Settings& settings() const { return settings_; }

    // The table's instance on this context (created on first use, not opened).
    Table& table(TableId id);
    Record& rec(TableId id);
    // The record of the table that an update form last saved on this context (what the ditto
    // key recalls): blank at first use, gone with the context.
    Record& history(TableId id);

    // Column access through the handle's own table, as a procedure writes BAH:BATCHNO.
    template <class Handle> decltype(auto) get(Handle h) { return rec(h.table).get(h); }
    template <class Handle, class V> void set(Handle h, V&& v) { rec(h.table).set(h, std::forward<V>(v)); }
    std::string_view trimmed(TextCol c) { return rec(c.table).trimmed(c); }

    // ---- errors: every operation leaves its code here --------------------------------
    const Error& lastError() const { return error_; }
    int errorCode() const { return error_.code; }
    std::string errorText() const { return error_.text; }
    // The database's own code and text of the last error (for 90).
    std::string fileErrorCode() const { return error_.driverCode; }
    std::string fileError() const { return error_.driverText; }
    int setError(Error e) {
        error_ = std::move(e);
        return error_.code;
    }
    int ok() { error_ = Error::ok(); return 0; }

    SavedError saved;
    std::string holdPosition;

    // ---- per-context words ------------------------------------------------------------
    int globalRequest = 0;
    int globalResponse = 0;
    int vcrRequest = 0;
    // The per-context use count of a table (LABEL::USED).
    int& used(TableId id) { return used_[static_cast<size_t>(id)]; }

    // ---- transactions -------------------------------------------------------------------
    // Begins a transaction; waits at most timeoutSeconds for the lock (32 when it is not
    // granted). Inside a transaction of this context, the new one nests.
    int begin(int timeoutSeconds);
    int commit();
    int rollback();
    int transactionDepth() const { return depth_; }
    // Outermost transactions committed on this context so far: work that went through
    // (the command line tells one lock wait from the next by it).
    uint64_t commitsMade() const { return commits_; }

    // ---- the connection ---------------------------------------------------------------
    // Connects on first use; leaves the error (and returns nullptr) when it cannot.
    db::Connection* connection();
    bool connected() const { return conn_ != nullptr; }
    uint64_t statementsSent() const { return conn_ ? conn_->statementsSent : 0; }

private:
    db::Settings settings_;
    std::unique_ptr<db::Connection> conn_;
    std::array<std::unique_ptr<Table>, kTableCount> tables_;
    std::array<std::unique_ptr<Record>, kTableCount> histories_;
    std::array<int, kTableCount> used_{};
    Error error_;
    int depth_ = 0;
    uint64_t commits_ = 0;
};

}  // namespace mg
