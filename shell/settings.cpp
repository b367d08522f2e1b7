#include "shell/settings.h"

#include <climits>

#include <algorithm>

#include <filesystem>
#include <mutex>
#include <system_error>

#include "data/file_io.h"
#include "data/ini.h"
#include "data/utf8.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace mg::shell {
namespace {

constexpr const char* kDatabaseSection = "database";
constexpr const char* kProductSection = "DocumentOutlays";
constexpr const char* kLastTrackRefKey = "LastTrackRef";

std::string_view rtrimBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string inCurrentDirectory(std::string_view fileName) {
    std::string dir = currentDirectory();
    // The root folder already ends in a separator.
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += kSeparator;
    return dir + std::string(fileName);
}

}  // namespace

std::string currentDirectory() {
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    if (ec) return ".";
    std::string dir = files::textOf(current);
#ifdef _WIN32
    // The short 8.3 form of the folder name, as the suite has always named its INI files.
    wchar_t shortName[MAX_PATH + 1] = {};
    DWORD n = GetShortPathNameW(current.c_str(), shortName, MAX_PATH + 1);
    if (n > 0 && n <= MAX_PATH) dir = files::textOf(fs::path(std::wstring(shortName, n)));
    dir = std::string(rtrimBlanks(dir));
#endif
    return dir;
}

std::string connectionIniPath() { return inCurrentDirectory("vorn.ini"); }

std::string productIniPath() { return inCurrentDirectory("Quillerton.ini"); }

std::string makeDbOwner(std::string_view server, std::string_view database, std::string_view logon) {
    // Each step assigns to a text of 200 characters, so each intermediate value is cut
    // there before the next step trims it and appends.
    auto cut = [](std::string s) {
        return std::string(utf8::cut(s, kDbOwnerLength));
    };
    std::string owner = cut(std::string(server));
    owner = cut(std::string(rtrimBlanks(owner)) + "," + std::string(database));
    // The built-in login only for exactly "Tallowby": the comparison regards case, so
    // "tallowby" in the INI file means a connection without user and password.
    if (logon == kBuiltInLogon) owner = cut(std::string(rtrimBlanks(owner)) + ",tallowby,7kub3");
    return std::string(rtrimBlanks(owner));
}

ConnectionSettings readConnectionSettings(const std::string& iniPath) {
    const std::string server = ini::get(iniPath, kDatabaseSection, "server", "(local)");
    const std::string database = ini::get(iniPath, kDatabaseSection, "database", "tallowby");
    const std::string logon = ini::get(iniPath, kDatabaseSection, "logon", std::string(kBuiltInLogon));
    const std::string driver = lowerCase(ini::get(iniPath, kDatabaseSection, "driver", "odbc"));

    ConnectionSettings s;
    s.dbOwner = makeDbOwner(server, database, logon);
    s.db.driver = driver.empty() ? "odbc" : driver;
    s.db.server = std::string(rtrimBlanks(server));
    s.db.database = database;
    s.db.builtInLogin = logon == kBuiltInLogon;
    // Beyond the documented keys, for ODBC only: each left out reaches SQL Server through
    // the platform's SQL Server driver on its usual port.
    s.db.odbcDriver = std::string(rtrimBlanks(ini::get(iniPath, kDatabaseSection, "odbcdriver", "")));
    s.db.port = static_cast<int>(std::clamp<long long>(ini::getInt(iniPath, kDatabaseSection, "port", 0), 0, 65535));
    s.db.dsn = std::string(rtrimBlanks(ini::get(iniPath, kDatabaseSection, "dsn", "")));
    s.db.dialect = lowerCase(std::string(rtrimBlanks(ini::get(iniPath, kDatabaseSection, "dialect", ""))));
    s.db.user = std::string(rtrimBlanks(ini::get(iniPath, kDatabaseSection, "user", "")));
    s.db.password = ini::get(iniPath, kDatabaseSection, "password", "");
    if (s.db.driver == "sqlite" && !database.empty()) {
        fs::path file = files::pathOf(database);
        if (file.is_relative()) {
            fs::path folder = files::pathOf(iniPath).parent_path();
            if (!folder.empty()) file = folder / file;
        }
        s.db.database = files::textOf(file.lexically_normal());
    }
    return s;
}

namespace {

// Why an INI file that is there cannot be taken at its word, naming what is then not known;
// empty when it was read or is missing altogether.
std::string fileTrouble(ini::FileStatus status, const std::string& iniPath, std::string_view unknown) {
    switch (status) {
    case ini::FileStatus::Unreadable:
        return iniPath + " cannot be read, so " + std::string(unknown) + " is not known";
    case ini::FileStatus::Garbled:
        return iniPath + " is not a settings file the program can read, so " + std::string(unknown) + " is not known";
    case ini::FileStatus::Missing:
    case ini::FileStatus::Read:
        break;
    }
    return {};
}

}  // namespace

std::string connectionIniTrouble(const std::string& iniPath) {
    const ini::FileStatus status = ini::fileStatus(iniPath);
    if (status != ini::FileStatus::Read) return fileTrouble(status, iniPath, "the database to work on");
    const ini::Lookup database = ini::lookup(iniPath, kDatabaseSection, "database");
    if (database.value && database.value->empty())
        return "the key database in section [database] of " + iniPath + " is empty: it names the database to work on";
    return {};
}

std::string settingsFrom(std::string_view iniPath) {
    std::error_code ec;
    if (fs::exists(files::pathOf(iniPath), ec)) return "settings from " + std::string(iniPath);
    return "there is no vorn.ini in " + files::textOf(files::pathOf(iniPath).parent_path()) +
           ": the built-in defaults were used, SQL Server on \"(local)\"";
}

long long readLastTrackRef(const std::string& iniPath) {
    return ini::getInt(iniPath, kProductSection, kLastTrackRefKey, 0);
}

long long readLastTrackRef() { return readLastTrackRef(productIniPath()); }

int32_t lastTrackRefArgument(const std::string& iniPath) {
    return static_cast<int32_t>(std::clamp<long long>(readLastTrackRef(iniPath), INT32_MIN, INT32_MAX));
}

int32_t lastTrackRefArgument() { return lastTrackRefArgument(productIniPath()); }

std::string productIniTrouble(const std::string& iniPath) {
    const ini::Lookup found = ini::lookup(iniPath, kProductSection, kLastTrackRefKey);
    if (found.file != ini::FileStatus::Read) {
        const std::string trouble = fileTrouble(found.file, iniPath, "the last tracking reference processed");
        return trouble.empty() ? trouble : trouble + ".";
    }
    // A missing key means "nothing processed yet"; a value that is there but is not a whole
    // number (blank, "abc", "0x14", "1e9") must not be read as 0 or as its leading digits.
    if (found.value && !ini::strictWholeNumber(*found.value))
        return std::string(kLastTrackRefKey) + " in section [" + kProductSection + "] of " + iniPath + " is \"" + *found.value +
               "\", not a whole number, so the last tracking reference processed is not known.";
    return {};
}

std::string outlayImportRefusal(const std::string& iniPath) {
    const std::string trouble = productIniTrouble(iniPath);
    if (trouble.empty()) return {};
    return trouble + "|The import does not start, so that no attachment is posted twice.";
}

std::optional<std::string> lastTrackRefText(const std::string& iniPath) {
    const ini::Lookup found = ini::lookup(iniPath, kProductSection, kLastTrackRefKey);
    if (!found.value || ini::strictWholeNumber(*found.value)) return std::nullopt;
    return found.value;
}

bool writeLastTrackRef(const std::string& iniPath, long long value) {
    return ini::put(iniPath, kProductSection, kLastTrackRefKey, std::to_string(value));
}

bool writeLastTrackRef(long long value) { return writeLastTrackRef(productIniPath(), value); }

bool writeChosenStart(const std::string& iniPath, long long value) {
    return ini::put(iniPath, kProductSection, "StartChosen", std::to_string(value));
}

std::optional<int32_t> chosenStart(const std::string& iniPath) {
    const ini::Lookup chosen = ini::lookup(iniPath, kProductSection, "StartChosen");
    const ini::Lookup last = ini::lookup(iniPath, kProductSection, kLastTrackRefKey);
    if (!chosen.value || !last.value) return std::nullopt;
    const std::optional<long long> c = ini::strictWholeNumber(*chosen.value), l = ini::strictWholeNumber(*last.value);
    if (!c || !l || *c != *l || *c < 0 || *c > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*c);
}

// ---- globals ---------------------------------------------------------------------------------

namespace {
Globals theGlobals;
std::once_flag globalsSet;
}  // namespace

const Globals& globals() { return theGlobals; }

const Globals& startUp(const std::string& iniPath) {
    std::call_once(globalsSet, [&] {
        Globals g;
        g.connectionIni = iniPath.empty() ? connectionIniPath() : iniPath;
        g.connection = readConnectionSettings(g.connectionIni);
        g.started = true;
        theGlobals = std::move(g);
    });
    return theGlobals;
}

}  // namespace mg::shell
