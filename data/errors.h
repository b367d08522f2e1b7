#pragma once
// Error codes of the table operations. Every operation leaves its code (0 = success) and
// a text on its context; for DriverError the backend's own code and text describe it.

#include <string>

namespace mg {

enum ErrorCode : int {
    NoError = 0,
    NoFileError = 2,          // table not found
    IsLockedErr = 32,         // locked by another user; a transaction lock not granted in time
    NotFoundErr = 33,         // no (more) record; record not available
    NoRecErr = 35,            // no such record (get by key)
    DupKeyErr = 40,           // adding or changing creates a duplicate key
    BadKeyErr = 46,           // keys need rebuilding
    BadFileErr = 47,          // invalid table: it does not have the declared columns
    IsOpenErr = 52,           // already open
    RecordChangedErr = 89,    // changed by another station since it was read
    FileSystemErr = 90,       // database driver error: see the driver's code and text
};

// The short text of an error code ("Record Not Found", ...).
const char* errorText(int code);

struct Error {
    int code = 0;
    std::string text;          // errorText(code), or a more precise text of our own
    std::string driverCode;    // for 90: the backend's own code (SQLite extended code, SQLSTATE)
    std::string driverText;    // for 90: the backend's own message
    explicit operator bool() const { return code != 0; }
    static Error ok() { return {}; }
    static Error of(int code) { return {code, errorText(code), {}, {}}; }
    static Error of(int code, std::string text) { return {code, std::move(text), {}, {}}; }
    static Error driver(std::string driverCode, std::string driverText) {
        return {FileSystemErr, errorText(FileSystemErr), std::move(driverCode), std::move(driverText)};
    }
};

// The database itself cannot go on serving the job, whatever the next statement is: the
// connection to the server is lost, or the embedded database's file is read-only, full,
// unreadable or damaged. A job that meets it stops at its first message instead of failing
// every row that follows. (A lock not granted in time, a duplicate key or a value the
// database refuses concern one statement and are not this.)
bool databaseUnusable(const Error& e);

}  // namespace mg
