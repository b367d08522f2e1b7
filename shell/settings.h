#pragma once
// Connection settings and the process-wide globals of the shell.
//
// The connection INI file "vorn.ini" and the product INI file "Quillerton.ini" live in the
// current directory of the process. Section "database" of the connection INI gives the
// server, the database and the logon; from them the start-up builds the connection string
// GLO:DBOWNER. The key "driver" chooses the backend: "odbc" (SQL Server, the default) or
// "sqlite" (then "database" is the path of the embedded database file, taken relative to
// the INI file's folder when it is not absolute).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/backend.h"

namespace mg::shell {

// The length of GLO:DBOWNER: a longer connection string is cut.
inline constexpr size_t kDbOwnerLength = 200;

// The user name and password of the suite's built-in login, used when "logon" is "Tallowby".
inline constexpr std::string_view kBuiltInLogon = "Tallowby";

// The folder the INI files are read from: the working directory (on Windows in its short
// 8.3 form, as the suite has always named it).
std::string currentDirectory();
// currentDirectory() + "/vorn.ini" ("\vorn.ini" on Windows).
std::string connectionIniPath();
// currentDirectory() + "/Quillerton.ini" ("\Quillerton.ini" on Windows).
std::string productIniPath();

struct ConnectionSettings {
    std::string dbOwner;  // GLO:DBOWNER: "server,database" or "server,database,tallowby,7kub3"
    db::Settings db;      // what the data layer connects with
};

// Reads section "database" of the connection INI file. A missing file or key gives the
// defaults ("(local)", "tallowby", "Tallowby", driver "odbc"); nothing is validated here:
// a wrong server or file shows up when a procedure opens its tables.
ConnectionSettings readConnectionSettings(const std::string& iniPath);

// What is wrong with the connection INI file when the program cannot take its settings from
// it: it is there but cannot be read or is not an INI file (the built-in defaults would then
// reach another database than the one meant), or its "database" key is blank. Empty when it
// can be read, or is missing altogether (the defaults apply).
std::string connectionIniTrouble(const std::string& iniPath);

// Where the connection settings came from, as an error line says it: "settings from PATH", or,
// when the file is not there, that the built-in defaults were used.
std::string settingsFrom(std::string_view iniPath);

// The connection string alone, from the three values as read (before defaults are
// applied they are what the INI file gave). "logon" is compared exactly, with regard to
// case: only "Tallowby" selects the built-in login.
std::string makeDbOwner(std::string_view server, std::string_view database, std::string_view logon);

// The last tracking reference processed by the outlay import: section "DocumentOutlays",
// key "LastTrackRef" of the product INI file; 0 when the file or key is missing.
long long readLastTrackRef(const std::string& iniPath);
long long readLastTrackRef();
// The last tracking reference processed, as the outlay import and the setup window take it:
// the product INI's value (0 when missing), kept within the import's 32-bit range (a value
// above it is 2147483647, never wrapped).
int32_t lastTrackRefArgument(const std::string& iniPath);
int32_t lastTrackRefArgument();
// Why the product INI file cannot be trusted for the last tracking reference: it is there but
// cannot be read, or is not an INI file (a missing key would then read as 0 and every
// attachment would be posted again), or its LastTrackRef holds something other than a whole
// number. Empty when the value can be read, or the file or key is missing altogether.
std::string productIniTrouble(const std::string& iniPath);
// The message with which the outlay import refuses to start on such a file; empty when it may.
std::string outlayImportRefusal(const std::string& iniPath);
// The LastTrackRef value as written, when it is there and is not a whole number (the setup
// window shows it as it stands rather than as a number it is not).
std::optional<std::string> lastTrackRefText(const std::string& iniPath);
// Writes it as a whole number in decimal digits; false when the file could not be written.
bool writeLastTrackRef(const std::string& iniPath, long long value);
bool writeLastTrackRef(long long value);
// A LastTrackRef typed in the setup window is a starting point chosen on purpose: the key
// StartChosen beside it holds the same value until an import has run from it. The outlay
// import then starts after it whatever the run history says, and records the choice.
bool writeChosenStart(const std::string& iniPath, long long value);
std::optional<int32_t> chosenStart(const std::string& iniPath);

// ---- process-wide globals ----------------------------------------------------------------

// What the start-up sets once for the whole process, before any window or job runs.
struct Globals {
    bool started = false;
    std::string connectionIni;     // the INI file the settings came from
    ConnectionSettings connection; // GLO:DBOWNER and the data layer's settings
    const std::string& dbOwner() const { return connection.dbOwner; }
};

// The globals: blank until startUp has run.
const Globals& globals();
// Reads the connection INI file (connectionIniPath() when `iniPath` is empty) and sets the
// globals. Only the first call sets them; later calls return what was set.
const Globals& startUp(const std::string& iniPath = {});

}  // namespace mg::shell
