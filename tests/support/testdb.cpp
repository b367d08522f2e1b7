#include "testdb.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cctype>
#include <random>
#include <regex>
#include <stdexcept>

#include "data/database.h"
#include "tsql_conformance.h"

namespace mg::test {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The settings of a database of the test server, or of its administration database.
db::Settings serverSettings(const std::string& database) {
    db::Settings s;
    s.driver = "odbc";
    s.odbcDriver = "PostgreSQL Unicode";
    s.server = env("MG_PG_HOST").empty() ? "127.0.0.1" : env("MG_PG_HOST");
    s.port = std::atoi(env("MG_PG_PORT").c_str());
    s.database = database;
    s.dialect = "postgresql";
    return s;
}

// The tests' own statements are written for the embedded database: on the server their
// quoted names are the lower-case ones the tables are made with, and the few SQLite words
// they use are spelt the standard way.
std::string forServer(const std::string& sql) {
    std::string out;
    bool inString = false, inName = false;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (!inName && c == '\'') inString = !inString;
        else if (!inString && c == '"') inName = !inName;
        out += inName ? static_cast<char>(std::tolower(static_cast<unsigned char>(c))) : c;
    }
    static const std::regex whereOne(R"(\b(WHERE|where) 1\b(?!\s*[=<>]))");
    static const std::regex ifnull(R"(\b(IFNULL|ifnull)\b)");
    out = std::regex_replace(out, whereOne, "$1 1 = 1");
    return std::regex_replace(out, ifnull, "COALESCE");
}

void serverExec(const std::string& database, const std::string& sql) {
    Error err;
    auto c = db::connect(serverSettings(database), err);
    if (!c) throw std::runtime_error("cannot reach the test server: " + err.driverText);
    if (Error e = c->exec(forServer(sql))) throw std::runtime_error("SQL failed: " + e.driverText + " in " + sql.substr(0, 2000));
}

// With MG_TEST_BACKEND=postgresql and no server at hand every test is skipped.
class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (onServer() && env("MG_PG_PORT").empty()) GTEST_SKIP() << "no PostgreSQL server: run the tests through scripts/pg.sh";
    }
};
[[maybe_unused]] ::testing::Environment* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

// The template database of the tests on the server, made by the first test that needs it
// (the others wait for it under an advisory lock).
void makeTemplate() {
    Error err;
    auto admin = db::connect(serverSettings("marrowgate"), err);
    if (!admin) throw std::runtime_error("cannot reach the test server: " + err.driverText);
    if (Error e = admin->exec("SELECT pg_advisory_lock(7001)")) throw std::runtime_error("SQL failed: " + e.driverText);
    db::Statement* st = admin->prepare("SELECT 1 FROM pg_database WHERE datname = 'mg_template'", err);
    bool exists = st && st->step(err);
    if (st) st->reset();
    Error made;
    if (!exists) {
        // Made under another name and renamed when whole: a test that finds the template
        // must never copy it half made.
        admin->exec("DROP DATABASE IF EXISTS mg_template_making WITH (FORCE)");
        if (!(made = admin->exec("CREATE DATABASE mg_template_making")))
            made = db::createTables(serverSettings("mg_template_making"));
        if (!made) made = admin->exec("ALTER DATABASE mg_template_making RENAME TO mg_template");
        if (made) admin->exec("DROP DATABASE IF EXISTS mg_template_making WITH (FORCE)");
    }
    admin->exec("SELECT pg_advisory_unlock(7001)");
    if (made) throw std::runtime_error("cannot make the template database: " + made.driverText);
}

[[maybe_unused]] const bool conformanceDriver = (tsql::registerDriver(), true);

}  // namespace

bool onServer() { return env("MG_TEST_BACKEND") == "postgresql"; }
bool onConformance() { return env("MG_TEST_BACKEND") == "mssql"; }

TempDatabase::TempDatabase() {
    std::random_device rd;
    folder_ = std::filesystem::temp_directory_path() / ("mgtest-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(folder_);
    if (onServer()) {
        // A database of its own on the test server, dropped at the end.
        // A copy of a template made once for the whole run: a copy costs far less than
        // making every table anew.
        serverName_ = "mgt_" + std::to_string(rd()) + std::to_string(rd());
        path_ = serverName_;
        try {
            serverExec("marrowgate", "CREATE DATABASE " + serverName_ + " TEMPLATE mg_template");
        } catch (const std::exception&) {
            makeTemplate();
            serverExec("marrowgate", "CREATE DATABASE " + serverName_ + " TEMPLATE mg_template");
        }
        return;
    }
    path_ = (folder_ / "practice.db").string();
    if (Error e = db::createDatabase(path_)) throw std::runtime_error("cannot make the test database: " + e.driverText);
}

TempDatabase::~TempDatabase() {
    // Every statement the test made the program send passed SQL Server's rules.
    if (onConformance())
        for (const std::string& refusal : tsql::takeRefusals()) ADD_FAILURE() << "SQL Server would refuse: " << refusal;
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    if (!serverName_.empty()) {
        try {
            serverExec("marrowgate", "DROP DATABASE IF EXISTS " + serverName_ + " WITH (FORCE)");
        } catch (...) {
        }
    }
}

db::Settings TempDatabase::settings() const {
    if (!serverName_.empty()) return serverSettings(serverName_);
    db::Settings s;
    s.driver = onConformance() ? tsql::kDriver : "sqlite";
    s.database = path_;
    if (onConformance()) s.dialect = "mssql";
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
    if (!serverName_.empty()) return serverExec(serverName_, sql);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
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
    if (!serverName_.empty()) {
        Error err;
        auto c = db::connect(settings(), err);
        if (!c) throw std::runtime_error("cannot reach the test server: " + err.driverText);
        db::Statement* st = c->prepare(forServer(sql), err);
        if (!st) throw std::runtime_error("SQL failed: " + err.driverText + " in " + sql);
        std::vector<std::string> out;
        while (st->step(err)) out.push_back(st->kind(0) == db::ValueKind::Null ? "<null>" : st->text(0));
        if (err) throw std::runtime_error("SQL failed: " + err.driverText + " in " + sql);
        return out;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);  // never makes a file
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
