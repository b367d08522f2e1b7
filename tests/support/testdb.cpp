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

void TempDatabase::exec(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    char* msg = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &msg);
    std::string err = msg ? msg : "";
    sqlite3_free(msg);
    sqlite3_close(db);
    if (rc != SQLITE_OK) throw std::runtime_error("SQL failed: " + err + " in " + sql);
}

std::string TempDatabase::scalar(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        std::string err = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw std::runtime_error("SQL failed: " + err + " in " + sql);
    }
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_text(st, 0))
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

}  // namespace mg::test
