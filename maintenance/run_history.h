#pragma once
// The import runs the database knows: one row of MG_ImportRuns per real run (station, folder,
// command, start and end, the tracking references or diary entries taken, counts, total,
// outcome) and one row of MG_ImportRunRows per row a run wrote or changed. A run's rows are
// written with one multi-row INSERT inside the transaction that wrote what they record, so a
// run killed at any moment has a record that matches the books exactly; its own row is
// written when it starts and when it ends, and a row a killed run left "running" is settled
// from its rows the next time.
//
// The two tables are the program's own, made when missing where the login may. Where they
// cannot be made or read, the history is unavailable: the caller says so once and runs as
// before.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/decimal.h"
#include "maintenance/integrity.h"

namespace mg::history {

// MGR:KIND
inline constexpr const char* kOutlayRun = "outlays";
inline constexpr const char* kFeeRun = "fees";
inline constexpr const char* kUndoRun = "undo";

// MGRR:KIND: what one row of a run's record stands for.
inline constexpr const char* kLine = "LINE";      // a batch line (batch, posting reference, KEYID, value)
inline constexpr const char* kHeader = "HEAD";    // a batch header the run created (batch, reference)
inline constexpr const char* kTotalled = "TOTL";  // the amount the run added to a header's total
inline constexpr const char* kDayBook = "TDB";    // a time day book row (RECORDID, charge)
inline constexpr const char* kImported = "FIMP";  // an imported-fees row (RECORDID, charge)
inline constexpr const char* kMarked = "ATT";     // a diary attachment marked as imported (tracking reference)

// MGR:OUTCOME
inline constexpr const char* kRunning = "running";
inline constexpr const char* kKilled = "killed";

struct RowRecord {
    std::string kind;
    int64_t ref = 0;      // the tracking reference (outlays) or diary entry (fees) of the unit
    int32_t batchNo = 0;
    int32_t pref = 0;
    int64_t rowNo = 0;    // KEYID, RECORDID or tracking reference of the row
    Decimal amount;
    int64_t entryId = 0;  // as read back
    int32_t runId = 0;
    int32_t undone = 0;   // the undo run that took it back, 0 none
};

struct RunInfo {
    int32_t runId = 0;
    std::string kind, station, folder, command, started, ended;
    int32_t fromRef = 0;
    bool chosen = false;
    int32_t firstRef = 0, lastRef = 0, items = 0, rowsWritten = 0;
    Decimal total;
    std::string outcome;
    int32_t undoOf = 0, undoneBy = 0;
};

class RunHistory {
public:
    explicit RunHistory(Session s) : s_(s) {}

    // Opens the two tables, making them where they are missing. False when they cannot be
    // made or read; `why()` says why.
    bool open();
    bool available() const { return available_; }
    const std::string& why() const { return why_; }
    // The sentence an import shows once when the history cannot be kept.
    std::string unavailableText() const;

    // The run's own row, in a transaction of its own; its number is `runId()`.
    bool beginRun(const std::string& kind, const std::string& command, int32_t fromRef, bool chosen, int32_t undoOf = 0);
    int32_t runId() const { return runId_; }
    // The rows one unit of work wrote, in one statement, inside the caller's transaction.
    // Nothing to write is no statement.
    Error record(const std::vector<RowRecord>& rows);
    // The run's counts and outcome, at its end (the counts are those of its rows).
    bool endRun(const std::string& outcome, int32_t firstRef, int32_t lastRef);

    // Runs a killed process left "running" get their counts from their rows and the outcome
    // "killed". `kind` empty: every kind; `station`/`folder` empty: every station.
    bool settleKilled(const std::string& kind, const std::string& station = {}, const std::string& folder = {});

    // Where the outlay import starts on this database: after the highest tracking reference
    // the runs not taken back reached; when every outlay run was taken back, where the first
    // of them started. Nothing without an outlay run.
    std::optional<int32_t> outlayStart();

    std::vector<RunInfo> runs();
    std::optional<RunInfo> run(int32_t runId);
    std::vector<RowRecord> rowsOf(int32_t runId);
    // Marks the rows of one attachment or diary entry (`ref`) of a run as taken back by
    // `undoRun`, inside the caller's transaction.
    Error markUnitUndone(int32_t runId, int64_t ref, int32_t undoRun);
    // The run as taken back whole by `undoRun`.
    Error markRunUndone(int32_t runId, int32_t undoRun);

private:
    Error query(const std::string& sql, const std::vector<db::Param>& params, std::vector<std::vector<std::string>>* rows);
    std::vector<RunInfo> readRuns(const std::string& where, const std::vector<db::Param>& params);
    std::string name(TableId t) const;

    Session s_;
    bool available_ = false;
    std::string why_;
    int32_t runId_ = 0;
};

// This station's name (the host) and folder, as the history records them.
std::string stationName();
std::string folderName();

}  // namespace mg::history
