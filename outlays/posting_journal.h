#pragma once
// The record of what the outlay import is about to commit, kept beside the product INI file
// ("Quillerton.ini.journal"), so that an attachment is posted exactly once whenever the
// process dies.
//
// Right before an attachment's transaction commits, one line is appended and flushed to disk:
// its tracking reference, its matter, and the posting reference and batch number of every
// line it added (and the batch number and reference of every header it created). The import
// appends a line only once the previous attachment's commit has returned, so at the next start
// every line but the last is committed; the last is committed exactly when its lines (or its
// headers) are in the database. The tracking reference the next run starts after is then the
// highest of the INI file's and the committed lines'. Once that is stored in the INI file,
// the journal is emptied.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/decimal.h"

namespace mg {
class Context;
}

namespace mg::outlays {

struct JournalEntry {
    int64_t trackRef = 0;
    std::string matter;
    struct Line {
        int32_t pref = 0;
        int32_t batchNo = 0;
        // For the run history only, not kept in the journal: the line's row and value.
        int64_t keyId = 0;
        Decimal value{};
    };
    struct Header {
        int32_t batchNo = 0;
        int32_t pref = 0;
    };
    std::vector<Line> lines;
    std::vector<Header> headers;

    bool empty() const { return lines.empty() && headers.empty(); }
};

// One entry as a line of the journal (without its line end), and back. A line that was cut
// short, or garbled, reads as no entry.
std::string formatEntry(const JournalEntry& e);
std::optional<JournalEntry> parseEntry(std::string_view line);

// Whether what the entry wrote is in the database: one of its lines (by posting reference,
// batch number, matter and the lines' own reference "Doc Outlay"), or, when it added none, one
// of its headers (by batch number and posting reference). Read on `ctx` with its tables open.
// An error of the database leaves `error` set and answers nothing.
std::optional<bool> committedInDatabase(Context& ctx, const JournalEntry& e, std::string& error);

class PostingJournal {
public:
    explicit PostingJournal(std::string path) : path_(std::move(path)) {}
    ~PostingJournal();
    PostingJournal(const PostingJournal&) = delete;
    PostingJournal& operator=(const PostingJournal&) = delete;

    const std::string& path() const { return path_; }
    // Opens (creating) the journal for appending. False with `error` when it cannot.
    bool open(std::string& error);
    void close();
    // The entries the journal holds, in the order they were appended; reading stops at the
    // first line that is not a whole entry (a write the process did not finish).
    bool read(std::vector<JournalEntry>& out, std::string& error) const;
    // Appends the entry and flushes it to disk; true once it is there.
    bool append(const JournalEntry& e, std::string& error);
    // Empties the journal, durably.
    bool clear(std::string& error);

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace mg::outlays
