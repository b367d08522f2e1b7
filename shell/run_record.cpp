#include "shell/run_record.h"

#include "data/file_io.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/text.h"
#include "data/utf8.h"

namespace mg::shell {

void RunRecord::addToTotal(const std::string& key, const Decimal& amount) {
    totals[key] = totals[key] + amount;
    total = total + amount;
}

void RunRecord::addException(int order, const std::string& kind, const std::string& subject, const std::string& row) {
    Exception& e = groups_[{order, subject}];
    e.kind = kind;
    e.subject = subject;
    if (std::find(e.rows.begin(), e.rows.end(), row) == e.rows.end()) e.rows.push_back(row);
}

std::vector<RunRecord::Exception> RunRecord::exceptions() const {
    std::vector<Exception> out;
    for (const auto& [key, e] : groups_) out.push_back(e);
    return out;
}

std::string isoTime(RunRecord::Clock::time_point t) {
    const std::time_t tt = RunRecord::Clock::to_time_t(t);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &tt);
#else
    localtime_r(&tt, &tm);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

namespace {

std::string padRight(const std::string& s, size_t width) {
    const size_t n = utf8::length(s);
    return n >= width ? s : s + std::string(width - n, ' ');
}

std::string seconds(const RunRecord& r) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(r.ended - r.started).count();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f s", static_cast<double>(ms) / 1000.0);
    return buf;
}

}  // namespace

std::string listing(const RunRecord& r) {
    std::vector<size_t> width(r.columns.size());
    for (size_t i = 0; i < r.columns.size(); ++i) width[i] = utf8::length(r.columns[i]);
    for (const auto& line : r.lines)
        for (size_t i = 0; i < line.size() && i < width.size(); ++i) width[i] = std::max(width[i], utf8::length(line[i]));
    auto row = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (size_t i = 0; i < cells.size() && i < width.size(); ++i) {
            if (i) out += "  ";
            out += i + 1 == cells.size() ? cells[i] : padRight(cells[i], width[i]);
        }
        return out + "\n";
    };
    std::string out = row(r.columns);
    for (const auto& line : r.lines) out += row(line);
    return out;
}

std::string summary(const RunRecord& r) {
    std::ostringstream o;
    o << (r.dryRun ? "Dry run of " : "Run of ") << r.command << (r.dryRun ? " (nothing was kept)" : "") << "\n";
    o << "  " << r.readWhat << " read: " << r.read << ", " << (r.dryRun ? "would be posted: " : "posted: ") << r.posted
      << ", skipped: " << r.skipped << ", failed: " << r.failed << ", lines: " << r.lines.size() << "\n";
    if (!r.settled.empty()) {
        o << "  posted by an earlier run that could not count them (settled from its journal): track ref";
        for (size_t i = 0; i < r.settled.size(); ++i) o << (i ? ", " : " ") << r.settled[i];
        o << "\n";
    }
    o << "  total: " << r.total.toString(2) << "\n";
    for (const auto& [key, amount] : r.totals) o << "    " << r.totalsBy << " " << (key.empty() ? "(blank)" : key) << ": " << amount.toString(2) << "\n";
    const std::vector<RunRecord::Exception> ex = r.exceptions();
    o << "  exceptions: " << ex.size() << "\n";
    for (const RunRecord::Exception& e : ex) {
        o << "    " << e.kind << ": " << e.subject << "\n";
        for (const std::string& row : e.rows) o << "      " << row << "\n";
    }
    o << "  started " << isoTime(r.started) << ", elapsed " << seconds(r) << "\n";
    return o.str();
}

const std::vector<std::string>& outlayColumns() {
    static const std::vector<std::string> columns{"date",   "track ref",      "document",    "matter",       "debt",  "band",
                                                  "amount", "currency value", "outlay code", "nominal code", "batch", "fee earner"};
    return columns;
}

const std::vector<std::string>& feeColumns() {
    static const std::vector<std::string> columns{"date", "diary id", "document", "matter",     "task code", "arrangement",
                                                  "debt", "band",     "rate",     "fee earner", "team",      "track ref"};
    return columns;
}

std::string csvHeader(const std::vector<std::string>& columns) {
    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) out += (i ? "," : "") + text::csvCell(columns[i]);
    return out;
}

bool writeCsv(const RunRecord& r, const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    // Written beside it under a name no file has, then put in its place.
    std::string part = path + ".part";
    std::error_code probe;
    for (int n = 1; fs::exists(files::pathOf(part), probe) || fs::is_symlink(files::pathOf(part), probe); ++n)
        part = path + ".part" + std::to_string(n);
    {
        std::ofstream f(files::pathOf(part), std::ios::binary | std::ios::trunc);
        if (f) {
            f << csvHeader(r.columns) << "\r\n";
            for (const auto& line : r.lines) f << csvHeader(line) << "\r\n";
            f.flush();
        }
        if (!f) {
            std::error_code ignored;
            fs::remove(files::pathOf(part), ignored);
            error = "cannot write " + path;
            return false;
        }
    }
    std::error_code ec;
    fs::rename(files::pathOf(part), files::pathOf(path), ec);
    if (ec) {
        fs::remove(files::pathOf(part), ec);
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::string csvTargetTrouble(const std::string& path, const std::vector<std::string>& kept, bool force) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path file = files::pathOf(path);
    const fs::path target = fs::weakly_canonical(fs::absolute(file, ec), ec);
    const bool exists = fs::exists(file, ec);
    for (const std::string& k : kept) {
        if (k.empty()) continue;
        std::error_code kec;
        const fs::path keptFile = files::pathOf(k);
        const bool same = exists && fs::exists(keptFile, kec) ? fs::equivalent(file, keptFile, kec)
                                                              : fs::weakly_canonical(fs::absolute(keptFile, kec), kec) == target;
        if (same) return "--csv " + path + " would overwrite " + k + ", which the program keeps: choose another file";
    }
    const fs::path folder = target.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec))
        return "--csv " + path + ": the folder " + files::textOf(folder) + " is not there";
    if (!exists) return {};
    if (fs::is_directory(file, ec)) return "--csv " + path + " is a folder";
    if (force) return {};
    std::ifstream in(file, std::ios::binary);
    std::string first;
    std::getline(in, first);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    if (first == csvHeader(outlayColumns()) || first == csvHeader(feeColumns())) return {};
    return "--csv " + path + " exists and is not a CSV file of an import: give another name, or --force to replace it";
}

std::string logLine(const RunRecord& r) {
    std::ostringstream o;
    o << isoTime(r.started) << "\t" << isoTime(r.ended) << "\t" << r.command << "\tread=" << r.read << "\tposted=" << r.posted
      << "\tskipped=" << r.skipped << "\tfailed=" << r.failed << "\tlines=" << r.lines.size() << "\ttotal=" << r.total.toString(2) << "\ttotals=";
    bool first = true;
    for (const auto& [key, amount] : r.totals) {
        o << (first ? "" : ",") << key << ":" << amount.toString(2);
        first = false;
    }
    o << "\texceptions=" << r.exceptionCount();
    if (!r.settled.empty()) {
        o << "\tsettled=";
        for (size_t i = 0; i < r.settled.size(); ++i) o << (i ? "," : "") << r.settled[i];
    }
    o << "\texit=" << r.exitStatus;
    return o.str();
}

bool appendRunLog(const std::string& path, const RunRecord& r) {
    std::ofstream f(files::pathOf(path), std::ios::binary | std::ios::app);
    if (!f) return false;
    f << logLine(r) << "\n";
    f.flush();
    return static_cast<bool>(f);
}

}  // namespace mg::shell
