#include "shell/dry_run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <system_error>

#include "data/file_io.h"
#include "data/snapshot.h"

#include <memory>

#ifdef _WIN32
#include <windows.h>
#include <process.h>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace mg::shell {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "marrowgate-dry-run-";

long thisProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(::getpid());
#endif
}

// Whether no process of that id runs any more (killed outright, it left its folder behind).
bool processGone(long pid) {
#ifdef _WIN32
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    const bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
#else
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

// The folders of dry runs whose process is gone (killed outright) are removed.
void removeLeftovers(const fs::path& base) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        // The native name: another program's folder may have a name the code page cannot spell.
        const fs::path::string_type name = it->path().filename().native();
        const std::string_view prefix(kPrefix);
        if (name.size() <= prefix.size() || !std::equal(prefix.begin(), prefix.end(), name.begin())) continue;
        std::string digits;
        for (auto c = name.begin() + prefix.size(); c != name.end() && *c >= '0' && *c <= '9'; ++c) digits += static_cast<char>(*c);
        const long pid = std::strtol(digits.c_str(), nullptr, 10);
        if (pid > 0 && pid != thisProcessId() && processGone(pid)) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

}  // namespace

DryRunSpace::~DryRunSpace() { remove(); }

void DryRunSpace::remove() {
    if (folder_.empty()) return;
    std::error_code ec;
    fs::remove_all(folder_, ec);
    folder_.clear();
}

bool DryRunSpace::copyDatabase(const db::Settings& settings, const std::vector<db::TableRows>& serverTables, std::string& error) {
    if (settings.driver == "sqlite") {
        database_ = files::textOf(folder_ / files::pathOf(settings.database).filename());
        if (Error e = db::snapshotDatabase(settings.database, database_)) {
            error = "cannot take a copy of the database: " + e.driverText;
            return false;
        }
        return true;
    }
    database_ = files::textOf(folder_ / "server-copy.db");
    Error e;
    std::unique_ptr<db::Connection> server = db::connect(settings, e);
    if (server) e = db::copyTables(*server, database_, serverTables);
    if (e) {
        error = "cannot take a copy of the database " + settings.database + ": " + (e.driverText.empty() ? e.text : e.driverText);
        return false;
    }
    return true;
}

bool DryRunSpace::make(const db::Settings& settings, const std::vector<db::TableRows>& serverTables, const std::string& productIni,
                       const std::string& journalSuffix, std::string& error) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary folder: " + ec.message();
        return false;
    }
    removeLeftovers(base);
    std::random_device rd;
    const long pid = thisProcessId();
    for (int attempt = 0; attempt < 10 && folder_.empty(); ++attempt) {
        fs::path p = base / (kPrefix + std::to_string(pid) + "-" + std::to_string(rd() % 1000000));
        if (fs::create_directory(p, ec)) folder_ = p;
    }
    if (folder_.empty()) {
        error = "cannot make a temporary folder in " + base.string();
        return false;
    }
    if (!copyDatabase(settings, serverTables, error)) {
        remove();
        return false;
    }
    productIni_ = files::textOf(folder_ / files::pathOf(productIni).filename());
    for (const auto& [from, to] : {std::pair{productIni, productIni_}, std::pair{productIni + journalSuffix, productIni_ + journalSuffix}}) {
        if (!fs::exists(files::pathOf(from), ec)) continue;
        if (!fs::copy_file(files::pathOf(from), files::pathOf(to), fs::copy_options::overwrite_existing, ec)) {
            error = "cannot copy " + from + ": " + ec.message();
            remove();
            return false;
        }
    }
    return true;
}

}  // namespace mg::shell
