#include "data/embedded_sqlite.h"

#ifdef _WIN32
#include <windows.h>

#include <mutex>
#endif

namespace mg::db {

#ifdef _WIN32
namespace {

// The newest function the program calls (sqlite3_changes64, SQLite 3.37): a winsqlite3.dll
// without it is too old, and calling into it would end the program.
Error probe() {
    HMODULE dll = LoadLibraryExW(L"winsqlite3.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dll)
        return Error::driver("winsqlite3.dll",
                             "The embedded database needs winsqlite3.dll (the SQLite of Windows 10 and 11), which this system "
                             "does not have: use a server database (driver=odbc in vorn.ini)");
    if (!GetProcAddress(dll, "sqlite3_changes64") || !GetProcAddress(dll, "sqlite3_prepare_v3"))
        return Error::driver("winsqlite3.dll",
                             "The winsqlite3.dll of this system is older than SQLite 3.37, which the embedded database needs: "
                             "update Windows or use a server database (driver=odbc in vorn.ini)");
    return {};  // kept loaded: the delay-loaded calls find it
}

}  // namespace

Error embeddedDatabaseMissing() {
    static std::once_flag once;
    static Error result;
    std::call_once(once, [] { result = probe(); });
    return result;
}
#else
Error embeddedDatabaseMissing() { return {}; }
#endif

}  // namespace mg::db
