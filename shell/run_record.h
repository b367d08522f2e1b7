#pragma once
// What a command-line import did or, in a dry run, would do: its lines, the counts, the
// totals, the exceptions the accounts staff should look at, and when it ran. The imports
// fill it through their observers (shell/import_recording.h); the command line prints it,
// writes it as CSV and appends a line of it to the run log.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "data/decimal.h"

namespace mg::shell {

// The run log beside the product INI file: one line per real command-line import.
inline constexpr const char* kRunLogName = "marrowgate-runs.log";

struct RunRecord {
    using Clock = std::chrono::system_clock;

    std::string command;  // "import-outlays"
    bool dryRun = false;

    // One row of cells per line posted, under the column headings.
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> lines;

    // The counts, with what they count ("attachments", "waiting fees").
    std::string readWhat = "rows";
    int64_t read = 0;
    int64_t posted = 0;
    int64_t skipped = 0;  // read, and nothing to post for them (no charge, no mapping, ...)
    int64_t failed = 0;   // read, and kept out of the books (wholly or in part) by an error
    // Tracking references an earlier run committed without counting them (it was killed, or
    // lost the database's answer to its last commit): this run found them in the journal.
    std::vector<int64_t> settled;

    // The amount of every line, totalled per nominal code or per fee earner.
    std::string totalsBy;
    std::map<std::string, Decimal> totals;
    Decimal total;
    void addToTotal(const std::string& key, const Decimal& amount);

    // Exceptions, grouped by kind (in the order of `order`) and subject, each with the rows
    // it concerns (a row is listed once).
    struct Exception {
        std::string kind;
        std::string subject;
        std::vector<std::string> rows;
    };
    void addException(int order, const std::string& kind, const std::string& subject, const std::string& row);
    std::vector<Exception> exceptions() const;
    size_t exceptionCount() const { return groups_.size(); }

    Clock::time_point started = Clock::now();
    Clock::time_point ended = started;
    int exitStatus = 0;

private:
    std::map<std::pair<int, std::string>, Exception> groups_;
};

// The columns of the two imports' lines, in the order of their listing and CSV file.
const std::vector<std::string>& outlayColumns();
const std::vector<std::string>& feeColumns();
// The CSV file's first row for `columns` (without the line end).
std::string csvHeader(const std::vector<std::string>& columns);

// The lines as a table with aligned columns, one line of text per line posted.
std::string listing(const RunRecord& r);
// The summary: counts, totals, exceptions with their rows, elapsed time.
std::string summary(const RunRecord& r);
// The lines as CSV: one header row, then a row per line (quoted where needed). Written to a
// new file beside `path` and renamed over it once complete, so that a failed write leaves
// whatever `path` held as it was.
bool writeCsv(const RunRecord& r, const std::string& path, std::string& error);
// Whether a CSV file may be written at `path`: its folder is there, it is none of `kept`
// (the database, the INI files, the journal, the run log, the lock file: compared as the
// files they are, links and other spellings included), and it is either new or a CSV file of
// an import (its first row one of the two headers), unless `force`. Empty when it may, else
// why not.
std::string csvTargetTrouble(const std::string& path, const std::vector<std::string>& kept, bool force);
// The run log's line for a run (no line break at the end).
std::string logLine(const RunRecord& r);
bool appendRunLog(const std::string& path, const RunRecord& r);

// A time as "YYYY-MM-DD HH:MM:SS" (local time).
std::string isoTime(RunRecord::Clock::time_point t);

}  // namespace mg::shell
