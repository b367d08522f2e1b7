#include "data/schema.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace mg {
namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// Columns the database numbers itself when a row is added.
struct Numbered { std::string_view prefix, column; };
constexpr Numbered kNumbered[] = {
    {"DCH", "RECORDID"}, {"DCHF", "RECORDID"}, {"FIMP", "RECORDID"},
    {"TID", "RECORDID"}, {"BAD", "KEYID"}, {"MGR", "RUNID"}, {"MGRR", "ENTRYID"},
};

std::vector<KeyComponent> parseComponents(const TableDecl& t, std::string_view text) {
    std::vector<KeyComponent> out;
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view part = text.substr(0, comma);
        bool desc = !part.empty() && part.front() == '-';
        if (desc) part.remove_prefix(1);
        int col = t.columnIndex(part);
        if (col < 0) throw std::logic_error("key component of " + std::string(t.label) + " names no column: " + std::string(part));
        out.push_back({col, desc});
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return out;
}

std::vector<TableDecl> build() {
    std::vector<TableDecl> v;
    v.reserve(kTableCount);
#define MG_TABLE(Id, P, sql, lab, opts, fl) { TableDecl t{TableId::Id, #P, sql, lab, opts, fl, {}, {}};
#define MG_COLUMN(P, N, T, S, C) t.columns.push_back({#N, ColType::T, S, C, false});
#define MG_KEY(P, N, idx, u, pr, comps) t.keys.push_back({#N, idx, u, pr, parseComponents(t, comps)});
#define MG_END_TABLE(Id, P) v.push_back(std::move(t)); }
#include "data/tables.inc"
#undef MG_TABLE
#undef MG_COLUMN
#undef MG_END_TABLE
#undef MG_KEY
    for (const Numbered& n : kNumbered) {
        auto it = std::find_if(v.begin(), v.end(), [&](const TableDecl& t) { return t.prefix == n.prefix; });
        it->columns[it->columnIndex(n.column)].numbered = true;
    }
    return v;
}

const std::vector<TableDecl>& tables() {
    static const std::vector<TableDecl> all = build();
    return all;
}

}  // namespace

std::string_view TableDecl::storageName() const {
    std::string_view n = sqlName;
    if (n.size() > 4 && equalNoCase(n.substr(0, 4), "dbo.")) n.remove_prefix(4);
    return n;
}

int TableDecl::columnIndex(std::string_view name) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (equalNoCase(columns[i].name, name)) return static_cast<int>(i);
    return -1;
}

int TableDecl::keyIndex(std::string_view name) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (equalNoCase(keys[i].name, name)) return static_cast<int>(i);
    return -1;
}

std::string TableDecl::columnLabel(int column) const {
    return std::string(prefix) + ":" + std::string(columns.at(column).name);
}

int TableDecl::numberedColumn() const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].numbered) return static_cast<int>(i);
    return -1;
}

std::string TableDecl::indexName(int key) const {
    const KeyDecl& k = keys.at(key);
    if (!k.sqlIndex.empty()) return std::string(k.sqlIndex);
    return std::string(storageName()) + "_" + std::string(k.name);
}

int64_t declaredRowSize(const TableDecl& table) {
    int64_t size = 0;
    for (const ColumnDecl& c : table.columns) {
        switch (c.type) {
        case ColType::Text:
        case ColType::ZText: size += c.size; break;
        case ColType::Int32: size += 4; break;
        case ColType::Int16:
        case ColType::UInt16: size += 2; break;
        case ColType::UInt8: size += 1; break;
        case ColType::Float64: size += 8; break;
        case ColType::Decimal: size += (c.size + 1) / 2; break;
        case ColType::Date:
        case ColType::Time: size += 4; break;
        case ColType::DateTime: size += 8; break;
        }
    }
    return size;
}

const TableDecl& decl(TableId id) { return tables()[static_cast<size_t>(id)]; }

std::span<const TableDecl> allTables() { return tables(); }

const TableDecl* findTable(std::string_view name) {
    for (const TableDecl& t : tables()) {
        if (equalNoCase(t.label, name) || equalNoCase(t.prefix, name) || equalNoCase(t.sqlName, name) ||
            equalNoCase(t.storageName(), name))
            return &t;
    }
    return nullptr;
}

}  // namespace mg
