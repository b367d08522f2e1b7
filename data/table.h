#pragma once
// A table's instance on one context: its record buffer, open state, position and the
// rows of a pass-through statement.
//
// Reads are keyset pages: "set" places a start in a key order, and each "next" or
// "previous" takes the next row from a small page read by a short, fully read query
// (WHERE key > last seen ORDER BY key LIMIT n). No statement stays open between two
// calls, so one connection interleaves reads and writes freely on every backend.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/backend.h"
#include "data/record.h"
#include "data/schema.h"

namespace mg {

class Context;

// Open modes: access in the low bits, sharing in the high ones.
enum OpenMode : int {
    ReadOnly = 0x00, WriteOnly = 0x01, ReadWrite = 0x02,
    DenyAll = 0x10, DenyWrite = 0x20, DenyRead = 0x30, DenyNone = 0x40,
};

// How long an open waits for a table that another program holds locked before it fails
// with 32, and how long one unit of a "Recover=n" option lets the next open wait (a
// second by default). Process-wide; tests shorten them to keep the lock paths quick.
struct OpenWaits {
    int openMs = 1000;
    int recoverUnitMs = 1000;
};
void setOpenWaits(const OpenWaits& waits);
OpenWaits openWaits();

// A value read from a table, as this program writes it: read by the rules of a table read
// and bound as a write binds it. NULL stays NULL (a unique column may hold it more than
// once). A value that does not convert comes back as it was read, so
// that a copy of the table holds it as the original does and a read of the copy fails on it
// alike. `scratch` is a record of the table, used for the conversion.
db::Param writtenForm(Record& scratch, int column, db::Statement& st, int sourceColumn);

class Table {
public:
    Table(Context& ctx, const TableDecl& decl);
    ~Table();

    const TableDecl& decl() const { return *decl_; }
    Record& rec() { return rec_; }
    const Record& rec() const { return rec_; }
    bool isOpen() const { return open_; }

    // Every operation returns its error code and leaves it on the context.
    int open(int mode = ReadWrite | DenyNone);
    int close();
    void clear() { rec_.clear(); }

    // Reads the first row whose key equals the buffer's key values (35 when none).
    int get(Key key);
    // A start in key order at the buffer's key values: next reads from the first row at
    // or after them, previous from the last row at or before them.
    int set(Key key);
    // A start at the beginning of the key order (next) or its end (previous).
    int setStart(Key key);
    // A start in the table's natural order.
    int setNatural();
    int next();
    int previous();

    // The position of the current row: its key values and its row identity, at most
    // 512 bytes. reget reads that row again; reset places the start at it.
    std::string position(Key key) const;
    int reget(Key key, std::string_view position);
    int reset(Key key, std::string_view position);

    // Writes. add numbers a database-numbered column that holds 0 and reads the
    // assigned value back into the buffer.
    int add();
    int put();
    int remove();
    // Whether another row has the buffer's values in key `key`.
    bool duplicate(Key key);
    // The first unique key that the buffer's values would duplicate, or -1.
    int duplicateKey();

    // The next read is watched: a later put or remove of that row fails with 89 when
    // the row in the database no longer matches what was read.
    void watch() { watchNext_ = true; }
    // The buffer no longer stands for a row (another station deleted it): the watch ends
    // and a put or remove fails with 33 until the next read. The values stay.
    void forgetRow();

    int create();
    int buildKeys();
    // Driver options: "QUICKSCAN=on", "QUICKSCAN=off", "Recover=n", "/TCF=file".
    int sendOption(std::string_view option);
    bool quickScan() const { return quickScan_; }

    // SQL pass-through: runs the statement and keeps its rows; each next fills the
    // buffer from the next row (the single column of a result table, or the table's
    // columns in declared order). A statement without rows just runs.
    int setSql(std::string_view statement);
    const std::string& sql() const { return sql_; }

    // The rows a read would see in natural order (the size the data layer reports).
    int64_t records();

    // The next page of the read in progress takes exactly `rows` rows (a list that knows
    // how many rows it needs reads no more); the pages after it grow as usual again.
    void readExactly(int rows) { exactRows_ = rows > 0 ? rows : 0; }
    // Rows this table has read from the database so far (pages and single-row reads).
    uint64_t rowsRead() const { return rowsRead_; }

    // Row identity of the current row (for the data layer and views).
    std::optional<int64_t> currentRow() const { return current_; }

    // Used by View: starts a read in a key order (or natural, key -1) limited by an SQL
    // condition with its parameters.
    int startFiltered(int key, std::string condition, std::vector<db::Param> params);

private:
    friend class View;
    struct PageRow {
        int64_t rowid;
        Record rec;
        std::vector<db::Param> raw;  // the key columns' values as the database holds them
    };
    enum class Anchor { None, Values, Row };

    int fetchPage(bool forward);
    int deliver(PageRow&& row);
    void becomeCurrent(PageRow&& row);
    std::string keyEquals(int key, const std::vector<db::Param>& values, std::vector<db::Param>& params) const;
    std::vector<db::Param> keyValues(int key) const;
    int readWhere(const std::string& where, const std::vector<db::Param>& params, const char* orderBy);
    // Fills the row from a statement's columns; a driver error when a stored value does
    // not convert to its column's type.
    Error fillRecord(PageRow& row, db::Statement& st, int firstColumn) const;
    // A key value of the current row for a position: the value as the database holds it
    // (a NULL, a REAL, a text with trailing blanks) while the buffer still holds what it
    // was read as, else the buffer's value.
    db::Param positionParam(int column) const;
    std::vector<db::Param> writeParams() const;
    db::Param paramOf(int column) const;
    db::Param rawParam(db::Statement& st, int column) const;
    int checkWatched();
    int fail(Error e);
    int okay();
    db::Connection* conn();
    const std::string& selectList();
    // The expression that identifies a row in this database, "" when the table has none
    // (a view, or a server table without a whole-number key): such a table is read whole.
    // The expression of the row identity in the connection's dialect (data/dialect.h), worked
    // out once per table; "" without a connection.
    const std::string& rowIdentity() const;
    bool hasRowIdentity() const { return !rowIdentity().empty(); }
    // The column the row identity names when it is a whole-number key column, else -1.
    int identityColumn() const;
    // Reads inside a transaction of a table open for writing keep their rows locked.
    bool lockReads() const;
    // A key column as statements compare and order it.
    std::string keyTerm(int column) const;
    // The key's order, without its first `pinned` components.
    std::string orderBy(int key, bool forward, size_t pinned = 0) const;
    struct Band {
        std::string where;
        std::vector<db::Param> params;
        size_t pinned = 0;  // the key's first components that the band holds equal
    };
    std::vector<Band> anchorBands(int key, bool forward) const;
    bool writable() const;
    void invalidatePage() { page_.clear(); pageFresh_ = false; }

    Context& ctx_;
    const TableDecl* decl_;
    Record rec_;
    bool open_ = false;
    int mode_ = ReadWrite | DenyNone;
    bool quickScan_ = false;
    int recoverSeconds_ = 0;

    std::optional<int64_t> current_;
    std::vector<db::Param> currentRaw_;
    std::unique_ptr<Record> asRead_;     // the current row as read (or last written)  // PageRow::raw of the current row
    std::vector<int> keyColumns_;        // the columns that are part of a key
    std::vector<int> keySlot_;           // per column: its place in keyColumns_, or -1
    mutable std::unique_ptr<Record> scratch_;
    bool watchNext_ = false;
    std::unique_ptr<Record> watched_;
    std::optional<int64_t> watchedRow_;

    // the read in progress
    bool reading_ = false;
    int key_ = -1;
    std::string filter_;
    std::vector<db::Param> filterParams_;
    Anchor anchor_ = Anchor::None;
    bool anchorInclusive_ = false;
    std::vector<db::Param> anchorValues_;
    int64_t anchorRow_ = 0;
    std::deque<PageRow> page_;
    bool pageForward_ = true;
    bool pageFresh_ = false;
    bool pageEnd_ = false;
    int pageSize_ = 4;
    int exactRows_ = 0;
    uint64_t rowsRead_ = 0;
    // a view of the database has no row identity: its rows are read in one go
    std::vector<PageRow> snapshot_;
    long snapshotPos_ = -1;
    bool snapshotLoaded_ = false;
    bool snapshotPartial_ = false;  // only the rows from the key values on (loadSnapshot)
    long loadSnapshot(bool whole, int& rc);

    // pass-through rows
    std::string sql_;
    std::deque<std::vector<db::Param>> sqlRows_;
    bool sqlActive_ = false;

    std::string selectList_;
    mutable std::optional<std::string> rowIdentity_;
    mutable std::optional<int> identityColumn_;
};

// A read over one table in a key order (or its natural order), limited by a filter
// expression over the table's columns and bound names:
//     View v(dat, DAT::KEYTRACKREF);
//     v.bind("LOC:LastTrackRef", &lastTrackRef);
//     v.setFilter("DAT:TrackReference > LOC:LastTrackRef");
//     v.open(); while (v.next() == 0) ...
// The filter is a comparison (=, <>, <, >, <=, >=) of column labels, bound names and
// literals, or several joined by AND; an empty filter reads every row.
class View {
public:
    View(Table& table, std::optional<Key> order);
    void bind(std::string_view name, const int32_t* value);
    void bind(std::string_view name, const int64_t* value);
    void bind(std::string_view name, const Decimal* value);
    void bind(std::string_view name, const std::string* value);
    void setFilter(std::string_view expression) { filter_ = expression; }
    int open();
    int next();
    int previous();
    int close();
    bool isOpen() const { return open_; }

private:
    Table& table_;
    std::optional<Key> order_;
    std::string filter_;
    std::vector<std::pair<std::string, std::function<db::Param()>>> bound_;
    bool open_ = false;
};

}  // namespace mg
