#include "data/table.h"
#include "data/text.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "data/context.h"
#include "data/ddl.h"
#include "data/dialect.h"
#include "data/passthrough.h"
#include "data/dates.h"
#include "data/utf8.h"

namespace mg {
namespace {

using db::Param;
using db::ValueKind;

constexpr int kFirstPage = 4;
constexpr int kMaxPage = 256;
constexpr int kWholeView = 1 << 30;  // the page size that reads a view in one go
constexpr size_t kMaxPosition = 512;
constexpr int kBusyMs = 10000;  // the connection's wait for a lock outside open and begin
std::atomic<int> openWaitMs{1000};
std::atomic<int> recoverUnitMs{1000};

using text::eqNoCase;
using text::rtrim;

// Stored values that another program wrote in another form than ours read exactly when
// they are the same value ("12", " 12 ", "12.0" and 12.0 in an integer column); a value that
// is not one ("12abc", "1,200.00", 12.5 in an integer column) does not convert, and the read
// fails instead of taking some other value. Blank text reads as NULL does.
std::optional<int64_t> wholeFromText(std::string_view text) {
    std::optional<Decimal> d = Decimal::parse(text);
    if (!d || !(d->roundTo(0) == *d) || !d->fits(18, 0)) return std::nullopt;
    return d->toInt64();
}

std::optional<int64_t> wholeFromReal(double v) {
    if (!std::isfinite(v) || v != std::trunc(v) || std::fabs(v) >= 9.2e18) return std::nullopt;
    return static_cast<int64_t>(v);
}

std::optional<double> realFromText(std::string_view text) {
    size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string_view::npos) return 0.0;
    double v = 0;
    auto r = std::from_chars(text.data() + b, text.data() + e + 1, v);
    if (r.ec != std::errc() || r.ptr != text.data() + e + 1) return std::nullopt;
    return v;
}

// What a column's values are, for the text of a value that does not convert.
std::string typeWords(const ColumnDecl& col) {
    switch (col.type) {
    case ColType::Decimal: return "decimal " + std::to_string(col.size) + "." + std::to_string(col.scale);
    case ColType::Float64: return "a number";
    case ColType::Date: return "a date";
    case ColType::Time: return "a time";
    case ColType::DateTime: return "a date-time";
    case ColType::Text:
    case ColType::ZText: return "text";
    default: return "a whole number";
    }
}

// A stored value that cannot be taken into its column: a driver error naming the table,
// the column and the value.
Error notConvertible(const TableDecl& t, int column, std::string_view value) {
    const ColumnDecl& col = t.columns[column];
    std::string shown(utf8::cut(value, 60));
    if (shown.size() < value.size()) shown += "...";
    return Error::driver("conversion", "The value '" + shown + "' in column " + std::string(col.name) + " of table " +
                                           std::string(t.storageName()) + " cannot be read as " + typeWords(col));
}

Param toParam(const ColumnDecl& col, const Slot& s) {
    switch (col.type) {
    case ColType::Text:
    case ColType::ZText: return Param::str(std::string(rtrim(s.text)));
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8: return Param::integer(s.i);
    case ColType::Float64: return Param::real(s.f);
    case ColType::Decimal:
        if (col.scale == 0 && col.size <= 18) return Param::integer(s.dec.toInt64());
        return Param::str(s.dec.toString(col.scale));
    // A day number or time that is no date or time (0, or below the first one) is NULL.
    case ColType::Date: {
        std::string iso = dates::toIsoDate(s.date);
        return iso.empty() ? Param::null() : Param::date(std::move(iso));
    }
    case ColType::Time: {
        std::string iso = dates::toIsoTime(s.time);
        return iso.empty() ? Param::null() : Param::time(std::move(iso));
    }
    case ColType::DateTime: {
        std::string date = dates::toIsoDate(s.date);
        if (date.empty()) return Param::null();
        std::string time = dates::toIsoTime(s.time);
        return Param::dateTime(date + " " + (time.empty() ? std::string("00:00:00") : time));
    }
    }
    return Param::null();
}

// Reads one stored value into a slot. A NULL reads as blank, zero or no date, and a value
// stored in another form than ours (a REAL or an INTEGER in a decimal column, "12.5",
// a text with trailing blanks) reads exactly. false when the value does not convert.
bool fromStored(Record& r, int c, const ColumnDecl& col, db::Statement& st, int sc) {
    ValueKind k = st.kind(sc);
    Slot& s = r.slot(c);
    switch (col.type) {
    case ColType::Text:
    case ColType::ZText:
        r.setText(c, k == ValueKind::Null ? std::string() : st.text(sc));
        return true;
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8: {
        std::optional<int64_t> v = k == ValueKind::Null ? 0 : k == ValueKind::Integer ? st.integer(sc)
                                 : k == ValueKind::Real ? wholeFromReal(st.real(sc)) : wholeFromText(st.text(sc));
        s.i = v.value_or(0);
        return v.has_value();
    }
    case ColType::Float64: {
        std::optional<double> v = k == ValueKind::Null ? 0.0 : k == ValueKind::Text || k == ValueKind::Blob ? realFromText(st.text(sc))
                                : k == ValueKind::Integer ? static_cast<double>(st.integer(sc)) : st.real(sc);
        s.f = v.value_or(0);
        return v.has_value();
    }
    case ColType::Decimal:
        if (k == ValueKind::Null) {
            s.dec = Decimal();
        } else if (k == ValueKind::Integer) {
            s.dec = Decimal(st.integer(sc));
        } else {
            auto d = Decimal::parse(st.text(sc));
            r.setDecimal(c, d ? *d : Decimal());
            return d.has_value();
        }
        return true;
    case ColType::Date: {
        std::optional<int32_t> v = k == ValueKind::Null ? 0 : k == ValueKind::Integer ? static_cast<int32_t>(st.integer(sc))
                                 : dates::parseIsoDate(st.text(sc));
        s.date = v.value_or(0);
        return v.has_value();
    }
    case ColType::Time: {
        std::optional<int32_t> v = k == ValueKind::Null ? 0 : k == ValueKind::Integer ? static_cast<int32_t>(st.integer(sc))
                                 : dates::parseIsoTime(st.text(sc));
        s.time = v.value_or(0);
        return v.has_value();
    }
    case ColType::DateTime:
        s.date = 0;
        s.time = 0;
        if (k != ValueKind::Null) {
            std::string t = st.text(sc);
            std::optional<int32_t> date = dates::parseIsoDate(t), time = dates::parseIsoTime(t);
            if (!date || !time) return false;
            s.date = *date;
            s.time = s.date ? *time : 0;
        }
        return true;
    }
    return true;
}

// Reads one value held outside the database (a pass-through row, a value as it would be
// stored) into a slot, by the same rules as fromStored; false when it does not convert.
bool fromParam(Record& r, int c, const ColumnDecl& col, const Param& p) {
    Slot& s = r.slot(c);
    const bool null = p.kind == ValueKind::Null;
    std::string text;
    if (p.kind == ValueKind::Integer) {
        text = std::to_string(p.i);
    } else if (p.kind == ValueKind::Real) {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, p.f);
        text.assign(buf, res.ptr);
    } else if (!null) {
        text = p.text;
    }
    switch (col.type) {
    case ColType::Text:
    case ColType::ZText: r.setText(c, text); return true;
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8: {
        std::optional<int64_t> v = null ? 0 : p.kind == ValueKind::Integer ? p.i : p.kind == ValueKind::Real ? wholeFromReal(p.f)
                                 : wholeFromText(text);
        s.i = v.value_or(0);
        return v.has_value();
    }
    case ColType::Float64: {
        std::optional<double> v = null ? 0.0 : p.kind == ValueKind::Real ? p.f : p.kind == ValueKind::Integer ? static_cast<double>(p.i)
                                : realFromText(text);
        s.f = v.value_or(0);
        return v.has_value();
    }
    case ColType::Decimal:
        if (null) {
            s.dec = Decimal();
        } else if (p.kind == ValueKind::Integer) {
            s.dec = Decimal(p.i);
        } else {
            auto d = Decimal::parse(text);
            r.setDecimal(c, d.value_or(Decimal()));
            return d.has_value();
        }
        return true;
    case ColType::Date: {
        std::optional<int32_t> v = null ? 0 : p.kind == ValueKind::Integer ? static_cast<int32_t>(p.i) : dates::parseIsoDate(text);
        s.date = v.value_or(0);
        return v.has_value();
    }
    case ColType::Time: {
        std::optional<int32_t> v = null ? 0 : p.kind == ValueKind::Integer ? static_cast<int32_t>(p.i) : dates::parseIsoTime(text);
        s.time = v.value_or(0);
        return v.has_value();
    }
    case ColType::DateTime: {
        std::optional<int32_t> date = null ? 0 : dates::parseIsoDate(text), time = null ? 0 : dates::parseIsoTime(text);
        s.date = date.value_or(0);
        s.time = s.date ? time.value_or(0) : 0;
        return date && time;
    }
    }
    return true;
}

// The text of a value for a message.
std::string textOf(const Param& p) {
    switch (p.kind) {
    case ValueKind::Null: return "NULL";
    case ValueKind::Integer: return std::to_string(p.i);
    case ValueKind::Real: {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, p.f);
        return std::string(buf, res.ptr);
    }
    default: return p.text;
    }
}

// Whether two slots of a column hold the same value.
bool sameSlot(ColType type, const Slot& a, const Slot& b) {
    switch (type) {
    case ColType::Text:
    case ColType::ZText: return a.text == b.text;
    case ColType::Decimal: return a.dec == b.dec;
    case ColType::Float64: return a.f == b.f;
    case ColType::Date: return a.date == b.date;
    case ColType::Time: return a.time == b.time;
    case ColType::DateTime: return a.date == b.date && a.time == b.time;
    default: return a.i == b.i;
    }
}

// The record as it reads back once written: a ztext loses its trailing blanks, a
// date-time without a time reads as midnight, times lose their hundredths.
Record storedForm(const Record& r) {
    Record out(r);
    const TableDecl& t = r.decl();
    for (size_t c = 0; c < t.columns.size(); ++c)
        fromParam(out, static_cast<int>(c), t.columns[c], toParam(t.columns[c], r.slot(static_cast<int>(c))));
    return out;
}

Param copyOf(db::Statement& st, int sc) {
    switch (st.kind(sc)) {
    case ValueKind::Null: return Param::null();
    case ValueKind::Integer: return Param::integer(st.integer(sc));
    case ValueKind::Real: return Param::real(st.real(sc));
    default: return Param::str(st.text(sc));
    }
}

}  // namespace

Param writtenForm(Record& scratch, int column, db::Statement& st, int sc) {
    const ColumnDecl& col = scratch.decl().columns[column];
    if (st.kind(sc) == ValueKind::Null) return Param::null();
    if (!fromStored(scratch, column, col, st, sc)) return copyOf(st, sc);
    return toParam(col, scratch.slot(column));
}

namespace {

// A key value of a row as the key compares it: a text without its trailing blanks, which
// the comparisons ignore (what is left of it is kept as stored, case and length included);
// a date or time as stored, bound by its type.
Param keyValueOf(const ColumnDecl& col, Param p) {
    if ((col.type == ColType::Text || col.type == ColType::ZText) && p.kind == ValueKind::Text)
        p.text.resize(rtrim(p.text).size());
    if (p.kind == ValueKind::Text) {
        if (col.type == ColType::Date) p.kind = ValueKind::Date;
        else if (col.type == ColType::Time) p.kind = ValueKind::Time;
        else if (col.type == ColType::DateTime) p.kind = ValueKind::DateTime;
    }
    return p;
}

// Positions: "<row identity>" then each key value as "|<kind><text>", '|' and '\' escaped.
std::string encodePosition(int64_t rowid, const std::vector<Param>& values) {
    std::string s = std::to_string(rowid);
    for (const Param& p : values) {
        std::string v;
        char kind = 'N';
        switch (p.kind) {
        case ValueKind::Null: break;
        case ValueKind::Integer: kind = 'I'; v = std::to_string(p.i); break;
        case ValueKind::Real: {
            char buf[64];
            auto res = std::to_chars(buf, buf + sizeof buf, p.f);  // shortest form that reads back the same
            kind = 'F';
            v.assign(buf, res.ptr);
            break;
        }
        case ValueKind::Date: kind = 'D'; v = p.text; break;
        case ValueKind::Time: kind = 'H'; v = p.text; break;
        case ValueKind::DateTime: kind = 'S'; v = p.text; break;
        default: kind = 'T'; v = p.text;
        }
        s += '|';
        s += kind;
        for (char ch : v) {
            if (ch == '|' || ch == '\\') s += '\\';
            s += ch;
        }
    }
    if (s.size() > kMaxPosition) s = std::to_string(rowid);  // the row identity alone still re-reads the row
    return s;
}

bool decodePosition(std::string_view pos, int64_t& rowid, std::vector<Param>& values) {
    values.clear();
    size_t bar = pos.find('|');
    std::string head(pos.substr(0, bar));
    if (head.empty()) return false;
    char* end = nullptr;
    rowid = std::strtoll(head.c_str(), &end, 10);
    if (*end) return false;
    if (bar == std::string_view::npos) return true;
    size_t i = bar + 1;
    while (i <= pos.size()) {
        if (i == pos.size()) return false;
        char kind = pos[i++];
        std::string v;
        while (i < pos.size() && pos[i] != '|') {
            if (pos[i] == '\\' && i + 1 < pos.size()) ++i;
            v += pos[i++];
        }
        switch (kind) {
        case 'N': values.push_back(Param::null()); break;
        case 'I': values.push_back(Param::integer(std::strtoll(v.c_str(), nullptr, 10))); break;
        case 'F': values.push_back(Param::real(std::strtod(v.c_str(), nullptr))); break;
        case 'T': values.push_back(Param::str(v)); break;
        case 'D': values.push_back(Param::date(v)); break;
        case 'H': values.push_back(Param::time(v)); break;
        case 'S': values.push_back(Param::dateTime(v)); break;
        default: return false;
        }
        if (i == pos.size()) break;
        ++i;  // the '|'
    }
    return true;
}

}  // namespace

void setOpenWaits(const OpenWaits& waits) {
    openWaitMs = waits.openMs;
    recoverUnitMs = waits.recoverUnitMs;
}

OpenWaits openWaits() { return {openWaitMs.load(), recoverUnitMs.load()}; }

Table::Table(Context& ctx, const TableDecl& decl) : ctx_(ctx), decl_(&decl), rec_(decl), keySlot_(decl.columns.size(), -1) {
    for (const KeyDecl& k : decl.keys)
        for (const KeyComponent& kc : k.components)
            if (keySlot_[kc.column] < 0) {
                keySlot_[kc.column] = static_cast<int>(keyColumns_.size());
                keyColumns_.push_back(kc.column);
            }
}
Table::~Table() = default;

int Table::fail(Error e) { return ctx_.setError(std::move(e)); }
int Table::okay() { return ctx_.ok(); }

db::Connection* Table::conn() { return ctx_.connection(); }

bool Table::writable() const { return (mode_ & 0x0F) != ReadOnly && !decl_->isView() && !decl_->isResultTable(); }

const std::string& Table::rowIdentity() const {
    if (!rowIdentity_) {
        static const std::string none;
        const db::Connection* c = ctx_.connection();
        if (!c) return none;
        rowIdentity_ = c->dialect().rowIdentity(*decl_);
    }
    return *rowIdentity_;
}

int Table::identityColumn() const {
    if (!identityColumn_) {
        const db::Connection* c = ctx_.connection();
        if (!c) return -1;
        identityColumn_ = -1;
        for (size_t i = 0; i < decl_->columns.size(); ++i)
            if (c->dialect().quoteName(decl_->columns[i].name) == rowIdentity()) identityColumn_ = static_cast<int>(i);
    }
    return *identityColumn_;
}

bool Table::lockReads() const { return ctx_.transactionDepth() > 0 && writable(); }

const std::string& Table::selectList() {
    if (selectList_.empty()) {
        db::Connection* c = conn();
        const std::string id = rowIdentity();
        selectList_ = id.empty() ? "0" : id;
        for (const ColumnDecl& col : decl_->columns) selectList_ += ", " + c->dialect().quoteName(col.name);
    }
    return selectList_;
}

// ---- open and close ----------------------------------------------------------------------

int Table::open(int mode) {
    if (open_) return fail(Error::of(IsOpenErr));
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    if (decl_->isResultTable()) {
        open_ = true;
        mode_ = mode;
        return okay();
    }
    c->setBusyTimeout(recoverSeconds_ > 0 ? recoverSeconds_ * recoverUnitMs.load() : openWaitMs.load());
    db::ObjectInfo info;
    Error err = c->describe(decl_->storageName(), info);
    if (!err && info.exists) {
        // The columns come first: a table that lacks a declared column is invalid (47),
        // whatever its keys, and its keys are never rebuilt over a column it does not have.
        for (const ColumnDecl& col : decl_->columns) {
            bool found = std::any_of(info.columns.begin(), info.columns.end(),
                                     [&](const std::string& n) { return eqNoCase(n, col.name); });
            if (!found) {
                err = Error::of(BadFileErr, "Invalid File Declaration: " + std::string(decl_->storageName()) + " has no column " +
                                                std::string(col.name));
                break;
            }
        }
    }
    if (!err && info.exists && !decl_->isView()) {
        for (size_t k = 0; k < decl_->keys.size() && !err; ++k) {
            if (!c->dialect().checksIndex(*decl_, static_cast<int>(k))) continue;
            bool exists = false;
            const std::string index = c->dialect().indexName(*decl_, static_cast<int>(k));
            err = c->indexExists(decl_->storageName(), index, exists);
            if (!err && !exists) err = Error::of(BadKeyErr, "Invalid Key File: the index " + index + " is missing");
        }
    }
    c->setBusyTimeout(kBusyMs);
    recoverSeconds_ = 0;
    if (err) return fail(err);
    if (!info.exists) return fail(Error::of(NoFileError));
    open_ = true;
    mode_ = mode;
    return okay();
}

int Table::close() {
    open_ = false;
    reading_ = false;
    sqlActive_ = false;
    sqlRows_.clear();
    invalidatePage();
    snapshot_.clear();
    snapshotLoaded_ = false;
    current_.reset();
    currentRaw_.clear();
    watched_.reset();
    watchNext_ = false;
    quickScan_ = false;
    return okay();
}

void Table::forgetRow() {
    current_.reset();
    currentRaw_.clear();
    asRead_.reset();
    watched_.reset();
    watchedRow_.reset();
    watchNext_ = false;
}

int Table::sendOption(std::string_view option) {
    std::string o(option);
    size_t eq = o.find('=');
    std::string name = o.substr(0, eq), value = eq == std::string::npos ? "" : o.substr(eq + 1);
    if (eqNoCase(name, "QUICKSCAN")) {
        quickScan_ = eqNoCase(value, "on");
    } else if (eqNoCase(name, "Recover")) {
        recoverSeconds_ = std::atoi(value.c_str());
    }
    // "/TCF=file" names the driver's configuration file: nothing here reads it.
    return okay();
}

int Table::create() {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    // The table and its indexes are made together or not at all: a half-made table would
    // open next time with its keys missing.
    if (int rc = ctx_.begin(5)) return rc;
    Error e;
    for (const std::string& s : c->dialect().prelude()) {
        if (e) break;
        e = c->exec(s);
    }
    if (!e) e = c->exec(c->dialect().createTable(*decl_));
    for (const std::string& s : c->dialect().createIndexes(*decl_)) {
        if (e) break;
        e = c->exec(s);
    }
    if (e) {
        ctx_.rollback();
        return fail(e);
    }
    if (int rc = ctx_.commit()) return rc;
    selectList_.clear();
    rowIdentity_.reset();
    identityColumn_.reset();
    return okay();
}

int Table::buildKeys() {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    // A key is never rebuilt over a column the table does not have.
    db::ObjectInfo info;
    if (Error e = c->describe(decl_->storageName(), info)) return fail(e);
    if (!info.exists) return fail(Error::of(NoFileError));
    for (const KeyDecl& k : decl_->keys)
        for (const KeyComponent& kc : k.components) {
            std::string_view name = decl_->columns[kc.column].name;
            if (std::none_of(info.columns.begin(), info.columns.end(), [&](const std::string& n) { return eqNoCase(n, name); }))
                return fail(Error::of(BadFileErr, "Invalid File Declaration: " + std::string(decl_->storageName()) + " has no column " +
                                                      std::string(name)));
        }
    for (const std::string& s : c->dialect().createIndexes(*decl_, true))
        if (Error e = c->exec(s)) return fail(e);
    if (c->dialect().kind() == db::SqlDialect::Sqlite)
        if (Error e = c->exec("REINDEX " + c->dialect().tableName(*decl_))) return fail(e);
    return okay();
}

// ---- reading ------------------------------------------------------------------------------

Error Table::fillRecord(PageRow& row, db::Statement& st, int first) const {
    for (size_t c = 0; c < decl_->columns.size(); ++c) {
        const int sc = first + static_cast<int>(c);
        if (!fromStored(row.rec, static_cast<int>(c), decl_->columns[c], st, sc))
            return notConvertible(*decl_, static_cast<int>(c), st.text(sc));
    }
    row.raw.clear();
    row.raw.reserve(keyColumns_.size());
    for (int c : keyColumns_) row.raw.push_back(keyValueOf(decl_->columns[c], copyOf(st, first + c)));
    return Error::ok();
}

Param Table::positionParam(int column) const {
    const int slot = keySlot_[column];
    if (slot >= 0 && static_cast<size_t>(slot) < currentRaw_.size()) {
        const Param& raw = currentRaw_[slot];
        if (!scratch_) scratch_ = std::make_unique<Record>(*decl_);
        fromParam(*scratch_, column, decl_->columns[column], raw);
        if (sameSlot(decl_->columns[column].type, scratch_->slot(column), rec_.slot(column))) return raw;
    }
    return paramOf(column);
}

Param Table::paramOf(int column) const { return toParam(decl_->columns[column], rec_.slot(column)); }

std::string Table::keyTerm(int column) const {
    return ctx_.connection()->dialect().keyTerm(decl_->columns[column]);
}

std::string Table::orderBy(int key, bool forward, size_t pinned) const {
    std::string s;
    if (key >= 0) {
        const auto& comps = decl_->keys[key].components;
        for (size_t i = pinned; i < comps.size(); ++i) {
            if (!s.empty()) s += ", ";
            s += keyTerm(comps[i].column);
            if (comps[i].descending == forward) s += " DESC";
        }
    }
    // The row identity breaks ties, unless the key ends in it already: a column named twice
    // in an ORDER BY is an error on SQL Server.
    const std::string id = rowIdentity();
    bool ordered = id.empty();
    if (key >= 0)
        for (size_t i = pinned; i < decl_->keys[key].components.size() && !ordered; ++i)
            ordered = keyTerm(decl_->keys[key].components[i].column) == id;
    if (!ordered) {
        if (!s.empty()) s += ", ";
        s += id;
        if (!forward) s += " DESC";
    }
    return s;
}

// The rows after the anchor in the read's direction (or at and after it when inclusive),
// as bands of rows that follow each other in read order. Each band is an equality on a
// prefix of the key and one range on the next component, so that every band is one
// short seek in the key's index whatever the size of the table; a page is read from the
// bands in turn until it is full. NULL sorts below every value, as in the ORDER BY.
std::vector<Table::Band> Table::anchorBands(int key, bool forward) const {
    const db::Dialect& d = ctx_.connection()->dialect();
    struct Part {
        std::string name;
        bool down;      // the read runs toward smaller values in this component
        bool nullable;  // the row identity never is
        Param value;
    };
    std::vector<Part> parts;
    bool unique = false;
    bool expressions = false;  // a key term that is not the bare column
    if (key >= 0) {
        const auto& comps = decl_->keys[key].components;
        unique = decl_->keys[key].unique && anchorValues_.size() >= comps.size();
        for (size_t i = 0; i < comps.size() && i < anchorValues_.size(); ++i) {
            parts.push_back({keyTerm(comps[i].column), comps[i].descending == forward, true, anchorValues_[i]});
            expressions = expressions || parts.back().name != d.quoteName(decl_->columns[comps[i].column].name);
        }
    }
    const bool noNulls = std::none_of(parts.begin(), parts.end(), [](const Part& p) { return p.value.kind == ValueKind::Null; });
    // In a unique key no other row has the same values (none of them NULL): the row
    // identity adds nothing.
    if (anchor_ == Anchor::Row && hasRowIdentity() && !(unique && noNulls))
        parts.push_back({rowIdentity(), !forward, false, Param::integer(anchorRow_)});
    const bool inclusive = anchor_ == Anchor::Values || anchorInclusive_;
    std::vector<Band> bands;
    if (parts.empty()) {
        bands.push_back({});
        return bands;
    }
    // Toward larger values in every component with no NULL at the anchor: one row-value
    // comparison says it all (a NULL in a row compares as unknown and is left out, which
    // is right: it sorts before the anchor). SQLite seeks a row value only over bare
    // columns: a key of expressions takes the bands below, each one seek. PostgreSQL seeks
    // one over the expressions of an index too (its text keys are rtrim(column)).
    const bool allUp = std::none_of(parts.begin(), parts.end(), [](const Part& p) { return p.down; });
    const bool rowValue = d.rowValues() && (!expressions || d.kind() == db::SqlDialect::PostgreSql);
    if (allUp && noNulls && (parts.size() == 1 || rowValue)) {
        Band b;
        std::string l, r;
        for (size_t i = 0; i < parts.size(); ++i) {
            l += (i ? ", " : "") + parts[i].name;
            r += i ? ", ?" : "?";
            b.params.push_back(parts[i].value);
        }
        b.where = parts.size() == 1 ? l + (inclusive ? " >= " : " > ") + r : "(" + l + ") " + (inclusive ? ">=" : ">") + " (" + r + ")";
        bands.push_back(std::move(b));
        return bands;
    }
    const size_t keyParts = static_cast<size_t>(std::count_if(parts.begin(), parts.end(), [](const Part& p) { return p.nullable; }));
    auto prefix = [&](size_t upTo, Band& b) {
        b.pinned = std::min(upTo, keyParts);
        for (size_t j = 0; j < upTo; ++j) {
            if (!b.where.empty()) b.where += " AND ";
            if (parts[j].value.kind == ValueKind::Null) {
                b.where += parts[j].name + " IS NULL";
            } else {
                b.where += parts[j].name + " = ?";
                b.params.push_back(parts[j].value);
            }
        }
    };
    auto with = [](Band b, const std::string& term) {
        b.where += (b.where.empty() ? "" : " AND ") + term;
        return b;
    };
    if (inclusive) {
        Band b;
        prefix(parts.size(), b);
        bands.push_back(std::move(b));
    }
    for (size_t i = parts.size(); i-- > 0;) {
        const Part& p = parts[i];
        Band b;
        prefix(i, b);
        const bool null = p.value.kind == ValueKind::Null;
        if (!p.down) {
            if (null) {
                bands.push_back(with(std::move(b), p.name + " IS NOT NULL"));
            } else {
                Band r = with(std::move(b), p.name + " > ?");
                r.params.push_back(p.value);
                bands.push_back(std::move(r));
            }
        } else if (!null) {
            Band r = with(b, p.name + " < ?");
            r.params.push_back(p.value);
            bands.push_back(std::move(r));
            if (p.nullable) bands.push_back(with(std::move(b), p.name + " IS NULL"));
        }
    }
    return bands;
}

int Table::fetchPage(bool forward) {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    std::vector<Band> bands = anchor_ == Anchor::None ? std::vector<Band>{Band{}} : anchorBands(key_, forward);
    // Fast scanning reads full pages from the start; a view is read whole whatever the scan.
    const int n = exactRows_ > 0 ? exactRows_ : quickScan_ ? std::max(pageSize_, kMaxPage) : pageSize_;
    const bool exact = exactRows_ > 0;
    exactRows_ = 0;
    // One query per band; the limit is the page's size in every band (the rows beyond the
    // page are not read), so that each band has one prepared statement per page size.
    struct Query {
        std::string sql;
        std::vector<Param> params;
    };
    std::vector<Query> queries;
    for (Band& band : bands) {
        std::string where = band.where;
        if (!filter_.empty()) {
            where = where.empty() ? "(" + filter_ + ")" : where + " AND (" + filter_ + ")";
            band.params.insert(band.params.end(), filterParams_.begin(), filterParams_.end());
        }
        std::string rest = where.empty() ? std::string() : "WHERE " + where;
        // The components a band holds equal are left out of its order: the order is the
        // same, and a key of expressions is then read straight from its index.
        const std::string order = orderBy(key_, forward, band.pinned);
        if (!order.empty()) rest += (rest.empty() ? "" : " ") + std::string("ORDER BY ") + order;
        queries.push_back({c->dialect().limited(selectList(), c->dialect().tableName(*decl_), rest, n, lockReads()), std::move(band.params)});
    }
    // The embedded database runs the bands one after the other in one statement: a page is
    // then one round trip whatever the key.
    if (queries.size() > 1 && c->dialect().kind() == db::SqlDialect::Sqlite) {
        Query all;
        for (Query& q : queries) {
            all.sql += (all.sql.empty() ? "SELECT * FROM (" : " UNION ALL SELECT * FROM (") + q.sql + ")";
            all.params.insert(all.params.end(), q.params.begin(), q.params.end());
        }
        queries.assign(1, std::move(all));
    }
    page_.clear();
    Error err, unreadable;
    for (const Query& q : queries) {
        if (static_cast<int>(page_.size()) >= n) break;
        db::Statement* st = c->prepare(q.sql, err);
        if (!st) return fail(err);
        for (size_t i = 0; i < q.params.size(); ++i) st->bind(static_cast<int>(i + 1), q.params[i]);
        while (static_cast<int>(page_.size()) < n && st->step(err)) {
            PageRow row{st->integer(0), Record(*decl_), {}};
            if ((unreadable = fillRecord(row, *st, 1))) break;
            page_.push_back(std::move(row));
            ++rowsRead_;
        }
        st->reset();
        if (err || unreadable) break;
    }
    if (err) return fail(err);
    // A row whose values do not convert ends the page: the rows before it are read, and
    // the read fails when it comes to that row (a view, read in one go, fails whole).
    if (unreadable && (page_.empty() || decl_->isView())) {
        page_.clear();
        return fail(unreadable);
    }
    pageForward_ = forward;
    pageFresh_ = true;
    pageEnd_ = !unreadable && static_cast<int>(page_.size()) < n;
    if (!exact && pageSize_ < kMaxPage) pageSize_ = std::min(pageSize_ * 4, kMaxPage);
    return okay();
}

int Table::deliver(PageRow&& row) {
    anchor_ = Anchor::Row;
    anchorInclusive_ = false;
    anchorValues_.clear();
    if (key_ >= 0)
        for (const KeyComponent& k : decl_->keys[key_].components) anchorValues_.push_back(row.raw[keySlot_[k.column]]);
    anchorRow_ = row.rowid;
    becomeCurrent(std::move(row));
    return okay();
}

void Table::becomeCurrent(PageRow&& row) {
    rec_ = std::move(row.rec);
    currentRaw_ = std::move(row.raw);
    current_ = hasRowIdentity() ? std::optional<int64_t>(row.rowid) : std::nullopt;
    // What a put compares the buffer with, to write only the columns that changed.
    if (asRead_) *asRead_ = rec_;
    else asRead_ = std::make_unique<Record>(rec_);
    // Only the read right after watch() is watched: any other read ends the watch.
    if (watchNext_) {
        watched_ = std::make_unique<Record>(rec_);
        watchedRow_ = current_;
        watchNext_ = false;
    } else {
        watched_.reset();
    }
}

int Table::setNatural() { return startFiltered(-1, {}, {}); }

int Table::startFiltered(int key, std::string condition, std::vector<Param> params) {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    sqlActive_ = false;
    sqlRows_.clear();
    reading_ = true;
    key_ = key;
    filter_ = std::move(condition);
    filterParams_ = std::move(params);
    anchor_ = Anchor::None;
    anchorInclusive_ = false;
    anchorValues_.clear();
    invalidatePage();
    pageEnd_ = false;
    pageSize_ = kFirstPage;
    exactRows_ = 0;
    snapshot_.clear();
    snapshotLoaded_ = false;
    snapshotPos_ = -1;
    snapshotPartial_ = false;
    return okay();
}

int Table::setStart(Key key) { return startFiltered(key.index, {}, {}); }

int Table::set(Key key) {
    if (int rc = startFiltered(key.index, {}, {})) return rc;
    anchor_ = Anchor::Values;
    for (const KeyComponent& k : decl_->keys[key.index].components) anchorValues_.push_back(paramOf(k.column));
    return okay();
}

int Table::next() {
    if (sqlActive_) {
        if (sqlRows_.empty()) {
            sqlActive_ = false;
            return fail(Error::of(NotFoundErr));
        }
        std::vector<Param> row = std::move(sqlRows_.front());
        sqlRows_.pop_front();
        // The rows land in the columns in declared order.
        for (size_t c = 0; c < decl_->columns.size() && c < row.size(); ++c)
            if (!fromParam(rec_, static_cast<int>(c), decl_->columns[c], row[c]))
                return fail(notConvertible(*decl_, static_cast<int>(c), textOf(row[c])));
        current_.reset();
        return okay();
    }
    if (!reading_) {
        if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
        setNatural();
    }
    if (!hasRowIdentity()) {
        // A view, or a server table without a row identity to page by: its rows are read in
        // one go, from the key values it was set or reset to.
        if (!snapshotLoaded_) {
            int rc = 0;
            loadSnapshot(false, rc);
            if (rc) return rc;
            snapshotPos_ = -1;
        }
        if (snapshotPos_ + 1 >= static_cast<long>(snapshot_.size())) {
            snapshotPos_ = static_cast<long>(snapshot_.size());
            return fail(Error::of(NotFoundErr));
        }
        PageRow r = snapshot_[++snapshotPos_];
        return deliver(std::move(r));
    }
    if (page_.empty() || !pageForward_) {
        if (!pageForward_) {
            page_.clear();
            pageEnd_ = false;
        }
        if (pageEnd_ && pageFresh_) {
            anchorInclusive_ = anchor_ == Anchor::Row;
            return fail(Error::of(NotFoundErr));
        }
        if (int rc = fetchPage(true)) return rc;
        if (page_.empty()) {
            anchorInclusive_ = anchor_ == Anchor::Row;
            return fail(Error::of(NotFoundErr));
        }
    }
    PageRow r = std::move(page_.front());
    page_.pop_front();
    return deliver(std::move(r));
}

// Reads the rows of a table without a row identity in one go, in the key's order.
// Forward (`whole` false): the rows at or after the key values it was set or reset to, or
// every row without any; snapshotPartial_ says the rows before them are not read. Backward
// (`whole` true): every row; the result is how many of them lie beyond the key values going
// backward (after them, or at or after them when the values themselves are passed), 0
// without any.
long Table::loadSnapshot(bool whole, int& rc) {
    const bool anchored = anchor_ != Anchor::None && key_ >= 0 && !anchorValues_.empty();
    const bool inclusive = anchor_ == Anchor::Values || anchorInclusive_;
    const Anchor anchor = anchor_;
    const bool wasInclusive = anchorInclusive_;
    snapshot_.clear();
    snapshotLoaded_ = false;
    snapshotPartial_ = !whole && anchored;
    long beyond = 0;
    pageSize_ = kWholeView;
    // The key values alone: there is no row identity to add.
    anchor_ = anchored ? Anchor::Row : Anchor::None;
    anchorInclusive_ = inclusive;
    if (whole) {
        anchor_ = Anchor::None;
        exactRows_ = 0;  // every row, whatever the reader asked for
        rc = fetchPage(true);
        if (!rc && anchored) {
            for (auto& r : page_) snapshot_.push_back(std::move(r));
            page_.clear();
            anchor_ = Anchor::Row;
            anchorInclusive_ = !inclusive;
            rc = fetchPage(true);
            beyond = static_cast<long>(page_.size());
            page_.clear();
        }
    } else {
        rc = fetchPage(true);
    }
    for (auto& r : page_) snapshot_.push_back(std::move(r));
    page_.clear();
    pageSize_ = kFirstPage;
    anchor_ = anchor;
    anchorInclusive_ = wasInclusive;
    snapshotLoaded_ = rc == 0;
    return beyond;
}

int Table::previous() {
    if (sqlActive_) return fail(Error::of(NotFoundErr));
    if (!reading_) {
        if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
        setNatural();
    }
    if (!hasRowIdentity()) {
        // Backward from where it was set or reset to, or from where the reading forward
        // stands: the rows before that are needed too.
        int rc = 0;
        if (!snapshotLoaded_) {
            const long beyond = loadSnapshot(true, rc);
            if (rc) return rc;
            snapshotPos_ = static_cast<long>(snapshot_.size()) - beyond;
        } else if (snapshotPartial_) {
            const long fromEnd = static_cast<long>(snapshot_.size()) - snapshotPos_;
            anchor_ = Anchor::None;
            loadSnapshot(true, rc);
            if (rc) return rc;
            snapshotPos_ = static_cast<long>(snapshot_.size()) - fromEnd;
        }
        if (snapshotPos_ - 1 < 0) {
            snapshotPos_ = -1;
            return fail(Error::of(NotFoundErr));
        }
        PageRow r = snapshot_[--snapshotPos_];
        return deliver(std::move(r));
    }
    if (page_.empty() || pageForward_) {
        if (pageForward_) {
            page_.clear();
            pageEnd_ = false;
        }
        if (pageEnd_ && pageFresh_) {
            anchorInclusive_ = anchor_ == Anchor::Row;
            return fail(Error::of(NotFoundErr));
        }
        if (int rc = fetchPage(false)) return rc;
        if (page_.empty()) {
            anchorInclusive_ = anchor_ == Anchor::Row;
            return fail(Error::of(NotFoundErr));
        }
    }
    PageRow r = std::move(page_.front());
    page_.pop_front();
    return deliver(std::move(r));
}

int Table::readWhere(const std::string& where, const std::vector<Param>& params, const char* order) {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    std::string rest = "WHERE " + where;
    if (order && *order) rest += std::string(" ORDER BY ") + order;
    std::string sql = c->dialect().limited(selectList(), c->dialect().tableName(*decl_), rest, 1, lockReads());
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return fail(err);
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    if (!st->step(err)) {
        st->reset();
        return fail(err ? err : Error::of(NoRecErr));
    }
    PageRow row{st->integer(0), Record(*decl_), {}};
    Error unreadable = fillRecord(row, *st, 1);
    ++rowsRead_;
    st->reset();
    if (unreadable) return fail(unreadable);
    // A read by key does not move the sequential read, but it makes this row current.
    becomeCurrent(std::move(row));
    return okay();
}

// "k1 = ? AND k2 IS NULL ..." for the key's components at the given values; the values
// that are not NULL are added to `params`.
std::string Table::keyEquals(int key, const std::vector<Param>& values, std::vector<Param>& params) const {
    const auto& comps = decl_->keys[key].components;
    std::string where;
    for (size_t i = 0; i < comps.size() && i < values.size(); ++i) {
        if (!where.empty()) where += " AND ";
        const std::string name = keyTerm(comps[i].column);
        if (values[i].kind == ValueKind::Null) {
            where += name + " IS NULL";
        } else {
            where += name + " = ?";
            params.push_back(values[i]);
        }
    }
    return where;
}

std::vector<Param> Table::keyValues(int key) const {
    std::vector<Param> values;
    for (const KeyComponent& k : decl_->keys[key].components) values.push_back(paramOf(k.column));
    return values;
}

int Table::get(Key key) {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    if (!conn()) return ctx_.errorCode();
    std::vector<Param> params;
    const std::string where = keyEquals(key.index, keyValues(key.index), params);
    return readWhere(where, params, orderBy(key.index, true, decl_->keys[key.index].components.size()).c_str());
}

std::string Table::position(Key key) const {
    std::vector<Param> values;
    for (const KeyComponent& k : decl_->keys[key.index].components) values.push_back(positionParam(k.column));
    return encodePosition(current_.value_or(0), values);
}

int Table::reget(Key key, std::string_view pos) {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    int64_t rowid = 0;
    std::vector<Param> values;
    if (!decodePosition(pos, rowid, values)) return fail(Error::of(NoRecErr));
    if (!hasRowIdentity()) {
        // A view has no row identity: the first row with the position's key values.
        if (values.size() < decl_->keys[key.index].components.size()) return fail(Error::of(NoRecErr));
        std::vector<Param> params;
        const std::string where = keyEquals(key.index, values, params);
        return readWhere(where, params, orderBy(key.index, true, decl_->keys[key.index].components.size()).c_str());
    }
    return readWhere(rowIdentity() + " = ?", {Param::integer(rowid)}, nullptr);
}

int Table::reset(Key key, std::string_view pos) {
    int64_t rowid = 0;
    std::vector<Param> values;
    if (!decodePosition(pos, rowid, values)) return fail(Error::of(NoRecErr));
    if (int rc = startFiltered(key.index, {}, {})) return rc;
    const auto& comps = decl_->keys[key.index].components;
    if (values.size() < comps.size() && hasRowIdentity()) {
        // A position too long for its 512 bytes carries the row identity alone: the key
        // values come from the row itself.
        db::Connection* c = conn();
        std::string what;
        for (const KeyComponent& k : comps) what += (what.empty() ? "" : ", ") + c->dialect().quoteName(decl_->columns[k.column].name);
        std::string sql = c->dialect().limited(what, c->dialect().tableName(*decl_), "WHERE " + rowIdentity() + " = ?", 1);
        Error err;
        db::Statement* st = c->prepare(sql, err);
        if (!st) return fail(err);
        st->bind(1, Param::integer(rowid));
        if (!st->step(err)) {
            st->reset();
            return fail(err ? err : Error::of(NoRecErr));
        }
        values.clear();
        for (size_t i = 0; i < comps.size(); ++i) values.push_back(keyValueOf(decl_->columns[comps[i].column], copyOf(*st, static_cast<int>(i))));
        st->reset();
    }
    anchor_ = Anchor::Row;
    anchorInclusive_ = true;
    anchorValues_ = std::move(values);
    anchorRow_ = rowid;
    return okay();
}

int64_t Table::records() {
    db::Connection* c = conn();
    if (!c) return 0;
    std::string sql = "SELECT count(*) FROM " + c->dialect().tableName(*decl_);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return 0;
    int64_t n = st->step(err) ? st->integer(0) : 0;
    st->reset();
    return n;
}

// ---- writing ------------------------------------------------------------------------------

int Table::checkWatched() {
    if (!watched_ || watchedRow_ != current_) return 0;
    // The row as the database holds it now, read beside the buffer.
    Record now(*decl_);
    std::swap(now, rec_);
    std::optional<int64_t> keepRow = current_;
    std::unique_ptr<Record> keepWatched = std::move(watched_);
    std::vector<Param> keepRaw = std::move(currentRaw_);
    std::unique_ptr<Record> keepAsRead = std::move(asRead_);
    int rc = readWhere(rowIdentity() + " = ?", {Param::integer(*current_)}, nullptr);
    std::swap(now, rec_);
    current_ = keepRow;
    watched_ = std::move(keepWatched);
    currentRaw_ = std::move(keepRaw);
    asRead_ = std::move(keepAsRead);
    if (rc == NoRecErr || (rc == 0 && !now.sameValues(*watched_))) return fail(Error::of(RecordChangedErr));
    return rc;
}

int Table::add() {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    if (!writable()) return fail(Error::driver("", "The table " + std::string(decl_->sqlName) + " is open for reading only"));
    std::string why;
    if (!rec_.valuesFit(&why)) return fail(Error::driver("range", why));
    db::Connection* c = conn();
    const db::Dialect& d = c->dialect();
    int numbered = decl_->numberedColumn();
    bool assign = numbered >= 0 && (decl_->columns[numbered].type == ColType::Decimal ? rec_.slot(numbered).dec.isZero()
                                                                                     : rec_.slot(numbered).i == 0);
    std::vector<int> columns;
    std::vector<Param> params;
    for (size_t i = 0; i < decl_->columns.size(); ++i) {
        if (assign && static_cast<int>(i) == numbered) continue;
        columns.push_back(static_cast<int>(i));
        params.push_back(paramOf(static_cast<int>(i)));
    }
    // A server gives the assigned number back as the insert's row, in the same round trip.
    std::string sql = d.insert(*decl_, columns, assign ? numbered : -1);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return fail(err);
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    std::optional<int64_t> given;
    if (st->step(err) && st->columnCount() > 0) given = st->integer(0);
    while (given && st->step(err)) {
    }
    st->reset();
    if (err) return fail(err);
    // PostgreSQL's insert leaves out a row whose key exists (see Dialect::insert).
    if (d.kind() == db::SqlDialect::PostgreSql && (assign ? !given : c->changes() == 0)) return fail(Error::of(DupKeyErr));
    int64_t id = 0;
    if (given) id = *given;
    else if (assign || d.kind() == db::SqlDialect::Sqlite) id = c->lastInsertId();
    else if (numbered >= 0) {
        id = decl_->columns[numbered].type == ColType::Decimal ? rec_.slot(numbered).dec.toInt64() : rec_.slot(numbered).i;
        if (const std::string s = d.numberingAbove(*decl_, numbered); !s.empty()) {
            if (Error e = c->exec(s)) return fail(e);
        }
    }
    else if (const int i = identityColumn(); i >= 0) {
        // The row is identified by a whole-number key column: its value as written.
        const Slot& sl = rec_.slot(i);
        id = decl_->columns[i].type == ColType::Decimal ? sl.dec.toInt64() : sl.i;
    }
    if (assign) {
        if (decl_->columns[numbered].type == ColType::Decimal) rec_.slot(numbered).dec = Decimal(id);
        else rec_.slot(numbered).i = id;
    }
    current_ = id;
    currentRaw_.clear();
    asRead_.reset();
    watched_.reset();
    invalidatePage();
    return okay();
}

int Table::put() {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    if (!writable()) return fail(Error::driver("", "The table " + std::string(decl_->sqlName) + " is open for reading only"));
    if (!current_) return fail(Error::of(NotFoundErr));
    std::string why;
    if (!rec_.valuesFit(&why)) return fail(Error::driver("range", why));
    bool guarded = watched_ && watchedRow_ == current_;
    if (guarded) {
        if (int rc = ctx_.begin(2)) return rc;
        if (checkWatched()) {
            Error e = ctx_.lastError();
            ctx_.rollback();
            return fail(e);
        }
    }
    db::Connection* c = conn();
    const db::Dialect& d = c->dialect();
    // Only the columns that differ from the row as read are written: an update then
    // touches no index it need not, and leaves alone what another station changed in the
    // other columns. Without a read to compare with, every column is written.
    std::vector<int> sets;
    std::vector<Param> params;
    for (int pass = 0; pass < 2 && sets.empty(); ++pass) {
        for (size_t i = 0; i < decl_->columns.size(); ++i) {
            const bool all = pass == 1 || !asRead_;
            if (!d.canSet(decl_->columns[i])) continue;
            if (!all && sameSlot(decl_->columns[i].type, asRead_->slot(static_cast<int>(i)), rec_.slot(static_cast<int>(i)))) continue;
            sets.push_back(static_cast<int>(i));
            params.push_back(paramOf(static_cast<int>(i)));
        }
    }
    params.push_back(Param::integer(*current_));
    std::string sql = d.update(*decl_, sets);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (st) {
        for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
        st->step(err);
        st->reset();
    }
    if (!err && c->changes() == 0) err = Error::of(guarded ? RecordChangedErr : NotFoundErr);
    if (guarded) {
        if (err) ctx_.rollback();
        else if (ctx_.commit()) err = ctx_.lastError();
    }
    invalidatePage();
    if (err) return fail(err);
    currentRaw_.clear();
    if (asRead_) *asRead_ = rec_;
    // What a later put is checked against: the row as it now reads in the database.
    if (guarded) watched_ = std::make_unique<Record>(storedForm(rec_));
    return okay();
}

int Table::remove() {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    if (!writable()) return fail(Error::driver("", "The table " + std::string(decl_->sqlName) + " is open for reading only"));
    if (!current_) return fail(Error::of(NotFoundErr));
    bool guarded = watched_ && watchedRow_ == current_;
    if (guarded) {
        if (int rc = ctx_.begin(2)) return rc;
        if (checkWatched()) {
            Error e = ctx_.lastError();
            ctx_.rollback();
            return fail(e);
        }
    }
    db::Connection* c = conn();
    std::string sql = c->dialect().remove(*decl_);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (st) {
        st->bind(1, Param::integer(*current_));
        st->step(err);
        st->reset();
    }
    if (!err && c->changes() == 0) err = Error::of(guarded ? RecordChangedErr : NotFoundErr);
    if (guarded) {
        if (err) ctx_.rollback();
        else if (ctx_.commit()) err = ctx_.lastError();
    }
    invalidatePage();
    if (err) return fail(err);
    current_.reset();
    watched_.reset();
    return okay();
}

bool Table::duplicate(Key key) {
    db::Connection* c = conn();
    if (!c || decl_->isView()) return false;
    const db::Dialect& d = c->dialect();
    std::vector<Param> params;
    std::string where = keyEquals(key.index, keyValues(key.index), params);
    // The current row is left out: a put keeps its own key. Not for the key of the row
    // identity itself, which a put never changes: there the buffer's value names an existing
    // row only when an added row would clash with it (the current row is then that row). A
    // server table without a row identity cannot tell its rows apart: every row with the key
    // counts; a row whose identity column is empty is another row.
    if (current_ && hasRowIdentity() && !ddl::keyIsRowKey(*decl_, key.index)) {
        where += " AND (" + rowIdentity() + " <> ? OR " + rowIdentity() + " IS NULL)";
        params.push_back(Param::integer(*current_));
    }
    std::string sql = d.limited("1", d.tableName(*decl_), "WHERE " + where, 1);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return false;
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    bool found = st->step(err);
    st->reset();
    return found;
}

int Table::duplicateKey() {
    int numbered = decl_->numberedColumn();
    for (size_t k = 0; k < decl_->keys.size(); ++k) {
        if (!decl_->keys[k].unique) continue;
        if (ddl::keyIsRowKey(*decl_, static_cast<int>(k)) && numbered >= 0 &&
            (decl_->columns[numbered].type == ColType::Decimal ? rec_.slot(numbered).dec.isZero() : rec_.slot(numbered).i == 0))
            continue;  // the database numbers it
        if (duplicate(Key{decl_->id, static_cast<uint16_t>(k)})) return static_cast<int>(k);
    }
    return -1;
}

// ---- pass-through -------------------------------------------------------------------------

int Table::setSql(std::string_view statement) {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    sql_ = std::string(statement);
    reading_ = false;
    sqlRows_.clear();
    sqlActive_ = true;
    db::ParameterizedSql p = db::parameterize(statement, c->dialect().kind());
    Error err;
    db::Statement* st = c->prepare(p.sql, err);
    if (!st) {
        sqlActive_ = false;
        return fail(err);
    }
    for (size_t i = 0; i < p.params.size(); ++i) st->bind(static_cast<int>(i + 1), p.params[i]);
    while (st->step(err)) {
        std::vector<Param> row;
        int n = st->columnCount();
        row.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) row.push_back(copyOf(*st, i));
        sqlRows_.push_back(std::move(row));
    }
    st->reset();
    if (err) {
        sqlActive_ = false;
        sqlRows_.clear();
        return fail(err);
    }
    return okay();
}

}  // namespace mg
