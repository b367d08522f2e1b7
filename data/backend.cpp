// The backend-neutral part of the data layer's connections: which backend a connection's
// settings name, and the trace file every backend writes the statements it sends to.

#include <charconv>
#include <fstream>
#include <map>
#include <mutex>
#include <atomic>

#include "data/file_io.h"
#include "data/backend.h"

namespace mg::db {

// The two backends, each in a file of its own.
std::unique_ptr<Connection> connectSqlite(const Settings& settings, Error& err);
std::unique_ptr<Connection> connectOdbc(const Settings& settings, Error& err);

namespace {

std::mutex driversMutex;
std::map<std::string, ConnectionMaker>& drivers() {
    static std::map<std::string, ConnectionMaker> d;
    return d;
}

std::mutex traceMutex;
std::ofstream traceStream;
std::atomic<bool> traceOn{false};

}  // namespace

void addDriver(const std::string& name, ConnectionMaker maker) {
    std::lock_guard lock(driversMutex);
    drivers()[name] = maker;
}

std::unique_ptr<Connection> connect(const Settings& settings, Error& err) {
    ConnectionMaker own = nullptr;
    {
        std::lock_guard lock(driversMutex);
        if (auto it = drivers().find(settings.driver); it != drivers().end()) own = it->second;
    }
    if (own) return own(settings, err);
    if (settings.driver == "odbc") return connectOdbc(settings, err);
    if (settings.driver == "sqlite") return connectSqlite(settings, err);
    err = Error::driver("IM002", "No database driver \"" + settings.driver + "\": the driver is sqlite or odbc");
    return nullptr;
}

void setTraceFile(const std::string& path) {
    std::lock_guard lock(traceMutex);
    if (traceStream.is_open()) traceStream.close();
    traceOn = false;
    if (path.empty()) return;
    traceStream.open(files::pathOf(path), std::ios::app);
    traceOn = traceStream.is_open();
}

bool tracing() { return traceOn; }

void trace(std::string_view statement, const std::vector<Param>& params) {
    if (!traceOn) return;
    std::string line(statement);
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';  // one line per statement
    for (size_t i = 0; i < params.size(); ++i) {
        line += i ? ", " : "  -- ";
        const Param& p = params[i];
        switch (p.kind) {
        case ValueKind::Null: line += "NULL"; break;
        case ValueKind::Integer: line += std::to_string(p.i); break;
        case ValueKind::Real: {
            char buf[64];
            auto r = std::to_chars(buf, buf + sizeof buf, p.f);
            line.append(buf, r.ptr);
            break;
        }
        case ValueKind::Text:
        case ValueKind::Date:  // bound typed, shown as their ISO text
        case ValueKind::Time:
        case ValueKind::DateTime:
            line += '\'';
            for (char c : p.text) {
                if (c == '\'') line += '\'';
                line += (c == '\n' || c == '\r') ? ' ' : c;
            }
            line += '\'';
            break;
        case ValueKind::Blob: line += "<" + std::to_string(p.text.size()) + " bytes>"; break;
        }
    }
    std::lock_guard lock(traceMutex);
    traceStream << line << '\n';
    traceStream.flush();
}

}  // namespace mg::db
