#include "data/errors.h"

#include <cstdlib>

namespace mg {

const char* errorText(int code) {
    switch (code) {
    case NoError: return "";
    case NoFileError: return "File Not Found";
    case IsLockedErr: return "File Is Locked";
    case NotFoundErr: return "Record Not Available";
    case NoRecErr: return "Record Not Found";
    case DupKeyErr: return "Creates Duplicate Key";
    case BadKeyErr: return "Invalid Key File";
    case BadFileErr: return "Invalid File Declaration";
    case IsOpenErr: return "File Already Open";
    case RecordChangedErr: return "Record Changed By Another Station";
    case FileSystemErr: return "File System Error";
    default: return "Unknown Error";
    }
}

bool databaseUnusable(const Error& e) {
    if (e.code != FileSystemErr || e.driverCode.empty()) return false;
    const std::string& c = e.driverCode;
    if (c[0] >= '0' && c[0] <= '9' && c.find('/') == std::string::npos && c.size() < 10) {
        // An embedded database: SQLite's extended result code, judged by its primary code.
        switch (std::atoi(c.c_str()) & 0xff) {
        case 8:   // SQLITE_READONLY
        case 10:  // SQLITE_IOERR
        case 11:  // SQLITE_CORRUPT
        case 13:  // SQLITE_FULL
        case 14:  // SQLITE_CANTOPEN
        case 26:  // SQLITE_NOTADB
            return true;
        default:
            return false;
        }
    }
    // A server: SQLSTATE class 08 (connection exception: the link is gone, the server closed
    // it) or 57 (the server was shut down or is starting up), as "STATE/native". The
    // PostgreSQL driver reports the first statement after the server went away under a general
    // state, with the client library's own words.
    if (c.rfind("08", 0) == 0 || c.rfind("57P", 0) == 0) return true;
    for (const char* gone : {"server closed the connection unexpectedly", "no connection to the server"})
        if (e.driverText.find(gone) != std::string::npos || e.text.find(gone) != std::string::npos) return true;
    return false;
}

}  // namespace mg
