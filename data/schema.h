#pragma once
// The tables of the practice database, declared once as data in data/tables.inc and
// expanded here into table ids, typed column handles and key handles.
//
// A column is reached through its handle, named as the column's label: the column
// BAH:BATCHNO is BAH::BATCHNO, a TextCol/IntCol/... that knows its table and position,
// so a misspelt column does not compile. Date-time columns have two handles, the date
// part X_DATE and the time part X_TIME (both read and write the one SQL column X).
// Keys are handles too: DAT::KEYTRACKREF.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mg {

enum class ColType : uint8_t { Text, ZText, Int32, Int16, UInt16, UInt8, Float64, Decimal, Date, Time, DateTime };

namespace TableFlag {
enum : unsigned {
    View = 1,          // a view of the database, read only
    ResultTable = 2,   // carries SQL pass-through rows; need not exist in the database
    HasSignature = 4,  // has the large-object column SIGNATURE outside the record buffer
};
}

enum class TableId : uint16_t {
#define MG_TABLE(Id, P, sql, label, opts, flags) Id,
#define MG_COLUMN(P, N, T, S, C)
#define MG_KEY(P, N, idx, u, pr, comps)
#define MG_END_TABLE(Id, P)
#include "data/tables.inc"
#undef MG_TABLE
#undef MG_COLUMN
#undef MG_KEY
#undef MG_END_TABLE
    Count
};
constexpr int kTableCount = static_cast<int>(TableId::Count);

struct ColumnDecl {
    std::string_view name;   // declared label after the colon, also the SQL column name
    ColType type;
    int size;                // n of text n / ztext n; precision p of decimal p.s
    int scale;               // s of decimal p.s
    bool numbered;           // numbered by the database on add (omitted from the insert when 0)
};

struct KeyComponent {
    int column;
    bool descending;
};

struct KeyDecl {
    std::string_view name;      // label after the colon (KEYTRACKREF)
    std::string_view sqlIndex;  // declared SQL index name, or empty
    bool unique;
    bool primary;
    std::vector<KeyComponent> components;
};

struct TableDecl {
    TableId id;
    std::string_view prefix;         // "BAH"
    std::string_view sqlName;        // "dbo.BatchH"
    std::string_view label;          // "BATCHH"
    std::string_view driverOptions;  // "/TCF=VORN2000.TCF" or empty
    unsigned flags;
    std::vector<ColumnDecl> columns;
    std::vector<KeyDecl> keys;

    // The table's name in the embedded database: the SQL name without its owner ("BatchH").
    std::string_view storageName() const;
    bool isView() const { return flags & TableFlag::View; }
    bool isResultTable() const { return flags & TableFlag::ResultTable; }
    // Index of a column by its name, without regard to case; -1 when there is none.
    int columnIndex(std::string_view name) const;
    int keyIndex(std::string_view name) const;
    // "BAH:BATCHNO"
    std::string columnLabel(int column) const;
    // Index of the column numbered by the database, or -1.
    int numberedColumn() const;
    // The name of the index that carries key k in the embedded database.
    std::string indexName(int key) const;
};

const TableDecl& decl(TableId id);

// The byte size of one row as the table's declaration gives it: text n and ztext n n bytes,
// int32 4, int16 and uint16 2, uint8 1, float64 8, decimal p.s (p + 1) / 2 (packed),
// date and time 4, date-time 8.
int64_t declaredRowSize(const TableDecl& table);
std::span<const TableDecl> allTables();
// Finds a table by label ("L_DIARYATT"), prefix ("DAT") or SQL name with or without its
// owner ("dbo.DiaryAttachments", "DiaryAttachments"), without regard to case.
const TableDecl* findTable(std::string_view name);

// ---- handles ---------------------------------------------------------------------------

struct TextCol { TableId table; uint16_t index; };     // text n and ztext n
struct IntCol { TableId table; uint16_t index; };      // int32, int16, uint16, uint8
struct FloatCol { TableId table; uint16_t index; };    // float64
struct DecimalCol { TableId table; uint16_t index; };  // decimal p.s
struct DateCol { TableId table; uint16_t index; };     // date, or the date part of a date-time
struct TimeCol { TableId table; uint16_t index; };     // time, or the time part of a date-time
struct Key { TableId table; uint16_t index; };

#define MG_HANDLE_Text(N) inline constexpr TextCol N{TABLE, N##_i};
#define MG_HANDLE_ZText(N) inline constexpr TextCol N{TABLE, N##_i};
#define MG_HANDLE_Int32(N) inline constexpr IntCol N{TABLE, N##_i};
#define MG_HANDLE_Int16(N) inline constexpr IntCol N{TABLE, N##_i};
#define MG_HANDLE_UInt16(N) inline constexpr IntCol N{TABLE, N##_i};
#define MG_HANDLE_UInt8(N) inline constexpr IntCol N{TABLE, N##_i};
#define MG_HANDLE_Float64(N) inline constexpr FloatCol N{TABLE, N##_i};
#define MG_HANDLE_Decimal(N) inline constexpr DecimalCol N{TABLE, N##_i};
#define MG_HANDLE_Date(N) inline constexpr DateCol N{TABLE, N##_i};
#define MG_HANDLE_Time(N) inline constexpr TimeCol N{TABLE, N##_i};
#define MG_HANDLE_DateTime(N) \
    inline constexpr DateCol N##_DATE{TABLE, N##_i}; \
    inline constexpr TimeCol N##_TIME{TABLE, N##_i};

// First pass: the positions of columns and keys.
#define MG_TABLE(Id, P, sql, label, opts, flags) \
    namespace P { inline constexpr TableId TABLE = TableId::Id; enum ColumnIndex : uint16_t {
#define MG_COLUMN(P, N, T, S, C) N##_i,
#define MG_KEY(P, N, idx, u, pr, comps)
#define MG_END_TABLE(Id, P) }; }
#include "data/tables.inc"
#undef MG_TABLE
#undef MG_COLUMN
#undef MG_END_TABLE
#undef MG_KEY

#define MG_TABLE(Id, P, sql, label, opts, flags) namespace P { enum KeyIndex : uint16_t {
#define MG_COLUMN(P, N, T, S, C)
#define MG_KEY(P, N, idx, u, pr, comps) N##_k,
#define MG_END_TABLE(Id, P) }; }
#include "data/tables.inc"
#undef MG_TABLE
#undef MG_COLUMN
#undef MG_END_TABLE
#undef MG_KEY

// Second pass: the handles.
#define MG_TABLE(Id, P, sql, label, opts, flags) namespace P {
#define MG_COLUMN(P, N, T, S, C) MG_HANDLE_##T(N)
#define MG_KEY(P, N, idx, u, pr, comps) inline constexpr Key N{TABLE, N##_k};
#define MG_END_TABLE(Id, P) }
#include "data/tables.inc"
#undef MG_TABLE
#undef MG_COLUMN
#undef MG_END_TABLE
#undef MG_KEY

}  // namespace mg
