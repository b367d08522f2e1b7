#include "testdb.h"

#include <sqlite3.h>

#include <random>
#include <stdexcept>

#include "data/database.h"

namespace mg::test {

TempDatabase::TempDatabase() {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() / ("mgtest-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "practice.db").string();
    if (Error e = db::createDatabase(path_)) throw std::runtime_error("cannot make the test database: " + e.driverText);
}

TempDatabase::~TempDatabase() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

db::Settings TempDatabase::settings() const {
    db::Settings s;
    s.driver = "sqlite";
    s.database = path_;
    return s;
}

std::unique_ptr<Context> TempDatabase::context() const { return std::make_unique<Context>(settings()); }

namespace {

std::vector<std::string> columnOf(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    std::vector<std::string> out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw std::runtime_error("SQL failed: " + std::string(sqlite3_errmsg(db)) + " in " + sql);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st, 0);
        out.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
    }
    std::string err = sqlite3_errmsg(db);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) throw std::runtime_error("SQL failed: " + err + " in " + sql);
    return out;
}

}  // namespace

void TempDatabase::exec(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    char* msg = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    std::string err = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);  // a script that failed half-way is rolled back with the connection
    if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + err + " in " + sql.substr(0, 2000));
}

std::string TempDatabase::scalar(const std::string& sql) const {
    std::vector<std::string> c = column(sql);
    return c.empty() || c[0] == "<null>" ? std::string() : c[0];
}

std::vector<std::string> TempDatabase::column(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    try {
        std::vector<std::string> out = columnOf(db, sql);
        sqlite3_close(db);
        return out;
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
}

OtherProgram::OtherProgram(const std::string& path) : path_(path) {}

OtherProgram::~OtherProgram() {
    if (db_) {
        if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
}

sqlite3* OtherProgram::connection() {
    if (!db_) {
        if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path_);
        sqlite3_busy_timeout(db_, 5000);
    }
    return db_;
}

void OtherProgram::exec(const std::string& sql) {
    sqlite3* db = connection();
    char* msg = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    std::string err = msg ? msg : "";
    sqlite3_free(msg);
    inTransaction_ = !sqlite3_get_autocommit(db);
    if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + err + " in " + sql);
}

std::vector<std::string> OtherProgram::column(const std::string& sql) { return columnOf(connection(), sql); }

std::string OtherProgram::scalar(const std::string& sql) {
    std::vector<std::string> c = column(sql);
    return c.empty() || c[0] == "<null>" ? std::string() : c[0];
}

void OtherProgram::holdExclusive() {
    exec("BEGIN EXCLUSIVE");
    exclusive_ = true;
}

void OtherProgram::release() {
    if (!db_) return;
    if (inTransaction_) exec("COMMIT");
    exclusive_ = false;
}

}  // namespace mg::test
