#pragma once
// The benchmarks on the PostgreSQL test server (scripts/pg.sh sets MG_PG_PORT): a database of
// their own, the statement stream of a run recorded as the backend sends it, and its replay
// through the same ODBC driver with nothing of the data layer in between.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/database.h"
#include "data/ini.h"

namespace mg::bench {

inline bool serverAtHand() { return std::getenv("MG_PG_PORT") != nullptr; }

inline db::Settings serverSettings(const std::string& database) {
    db::Settings s;
    s.odbcDriver = "PostgreSQL Unicode";
    s.dialect = "postgresql";
    s.server = "127.0.0.1";
    s.port = std::atoi(std::getenv("MG_PG_PORT"));
    s.database = database;
    return s;
}

inline std::unique_ptr<db::Connection> serverConnection(const std::string& database) {
    Error err;
    auto c = db::connect(serverSettings(database), err);
    if (!c) {
        std::fprintf(stderr, "%s\n", err.driverText.c_str());
        std::exit(1);
    }
    return c;
}

inline void serverExec(db::Connection& c, const std::string& sql) {
    if (Error e = c.exec(sql)) {
        std::fprintf(stderr, "%s in %s\n", e.driverText.c_str(), sql.c_str());
        std::exit(1);
    }
}

// A new server database with every table; its name.
inline std::string makeServerDatabase(const std::string& prefix) {
    std::random_device rd;
    std::string name = prefix + std::to_string(rd() % 100000);
    serverExec(*serverConnection("marrowgate"), "CREATE DATABASE " + name);
    if (Error e = db::createTables(serverSettings(name))) {
        std::fprintf(stderr, "%s\n", e.driverText.c_str());
        std::exit(1);
    }
    return name;
}

inline void dropServerDatabase(const std::string& name) {
    serverConnection("marrowgate")->exec("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
}

class Recording final : public db::StatementRecorder {
public:
    struct Event {
        enum Kind { Prepared, Direct, Begin, Commit, Rollback } kind;
        std::string sql;
        std::vector<db::Param> params;
    };
    void prepared(std::string_view sql, const std::vector<db::Param>& params) override {
        events.push_back({Event::Prepared, std::string(sql), params});
    }
    void direct(std::string_view sql) override { events.push_back({Event::Direct, std::string(sql), {}}); }
    void begin() override { events.push_back({Event::Begin, {}, {}}); }
    void end(bool commit) override { events.push_back({commit ? Event::Commit : Event::Rollback, {}, {}}); }

    // Sends the stream again on a database in the state the recorded run started from;
    // the seconds it took. With `ini`, each commit also stores a tracking reference there,
    // as the outlay import does after each attachment.
    double replay(const std::string& database, const std::string& ini = {}) const {
        long n = 0;
        auto c = serverConnection(database);
        auto t0 = std::chrono::steady_clock::now();
        for (const Event& e : events) {
            Error err;
            switch (e.kind) {
            case Event::Prepared: {
                db::Statement* st = c->prepare(e.sql, err);
                if (!st) break;
                for (size_t i = 0; i < e.params.size(); ++i) st->bind(static_cast<int>(i + 1), e.params[i]);
                while (st->step(err)) {
                }
                st->reset();
                break;
            }
            case Event::Direct: err = c->exec(e.sql); break;
            case Event::Begin: err = c->begin(10); break;
            case Event::Commit:
                err = c->commit();
                if (!ini.empty()) ini::put(ini, "DocumentOutlays", "LastTrackRef", std::to_string(++n));
                break;
            case Event::Rollback: err = c->rollback(); break;
            }
            if (err) {
                std::fprintf(stderr, "replay: %s in %s\n", err.driverText.c_str(), e.sql.c_str());
                std::exit(1);
            }
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

    std::vector<Event> events;
};

}  // namespace mg::bench
