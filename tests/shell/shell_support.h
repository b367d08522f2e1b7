#pragma once
// What the shell tests share: a temporary folder, direct queries on a database file, and
// running the built program in a folder of its own.

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace mg::test {

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class TempFolder {
public:
    TempFolder() {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("mgshell-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Direct reads of a database file, beside the program's own data layer.
class SqlFile {
public:
    explicit SqlFile(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    ~SqlFile() { sqlite3_close(db_); }
    SqlFile(const SqlFile&) = delete;
    SqlFile& operator=(const SqlFile&) = delete;

    std::vector<std::vector<std::string>> rows(const std::string& sql) const {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db_) + " in " + sql);
        std::vector<std::vector<std::string>> out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const unsigned char* t = sqlite3_column_text(st, c);
                row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(st);
        return out;
    }
    std::string scalar(const std::string& sql) const {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? std::string() : r[0][0];
    }
    long long count(const std::string& sql) const { return std::stoll("0" + scalar(sql)); }

private:
    sqlite3* db_ = nullptr;
};

// The rows of a query on a database file, each as its columns joined by '|', sorted.
inline std::vector<std::string> fileRows(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& r : SqlFile(path).rows(sql)) {
        std::string row;
        for (size_t i = 0; i < r.size(); ++i) row += (i ? "|" : "") + r[i];
        out.push_back(row);
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

// Runs the built program with `args` in `folder`, stdout and stderr captured. `before` goes
// in front of the program on the shell's command line: an environment (`env -u DISPLAY`) or
// another user (`setpriv ...`).
inline ProgramRun runProgram(const std::filesystem::path& folder, const std::vector<std::string>& args, const std::string& before = "") {
    ProgramRun r;
    const std::string out = (folder / ".stdout").string();
    const std::string err = (folder / ".stderr").string();
    std::string cmd = "cd " + quoted(folder.string()) + " && " + before + (before.empty() ? "" : " ") + quoted(MG_MARROWGATE_PATH);
    for (const std::string& a : args) cmd += " " + quoted(a);
    cmd += " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
    int rc = std::system(cmd.c_str());
#ifndef _WIN32
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#else
    r.status = rc;
#endif
    r.out = readFile(out);
    r.err = readFile(err);
    std::error_code ec;
    std::filesystem::remove(out, ec);
    std::filesystem::remove(err, ec);
    return r;
}

#ifndef _WIN32
// Runs the built program with `args` in `folder`, its standard error a terminal (as a user at
// a console sees it) and its standard output thrown away; `err` is what the terminal received.
inline ProgramRun runOnTerminal(const std::filesystem::path& folder, const std::vector<std::string>& args) {
    ProgramRun r;
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return r;
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(MG_MARROWGATE_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int null = ::open("/dev/null", O_RDWR);
        if (::chdir(folder.c_str()) != 0 || null < 0) _exit(127);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::execv(MG_MARROWGATE_PATH, argv.data());
        _exit(127);
    }
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) r.err.append(buffer, static_cast<size_t>(n));
    ::close(terminal);
    int rc = 0;
    ::waitpid(pid, &rc, 0);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}
#endif

// Makes the demo practice in `folder` with a vorn.ini that points at it, as a user would.
inline ProgramRun makeDemoFolder(const std::filesystem::path& folder) {
    ProgramRun r = runProgram(folder, {"init-db", "--demo", "practice.db"});
    writeFile((folder / "vorn.ini").string(), "[database]\r\ndriver=sqlite\r\ndatabase=practice.db\r\n");
    return r;
}

}  // namespace mg::test
