#include "data/table.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "data/context.h"
#include "data/ddl.h"
#include "data/passthrough.h"
#include "data/dates.h"

namespace mg {
namespace {

using db::Param;
using db::ValueKind;

constexpr int kFirstPage = 4;
constexpr int kMaxPage = 256;
constexpr size_t kMaxPosition = 512;
constexpr int kOpenBusyMs = 1000;

std::string_view rtrim(std::string_view s) {
    size_t end = s.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : s.substr(0, end + 1);
}

bool eqNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The leading integer of a text ("12abc" is 12).
int64_t leadingInteger(const std::string& s) { return std::strtoll(s.c_str(), nullptr, 10); }

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
    case ColType::Date: return s.date == 0 ? Param::null() : Param::str(dates::toIsoDate(s.date));
    case ColType::Time: return s.time == 0 ? Param::null() : Param::str(dates::toIsoTime(s.time));
    case ColType::DateTime:
        if (s.date == 0) return Param::null();
        return Param::str(dates::toIsoDate(s.date) + " " + (s.time ? dates::toIsoTime(s.time) : std::string("00:00:00")));
    }
    return Param::null();
}

// Reads one stored value into a slot. A NULL reads as blank, zero or no date, and a value
// stored in another form than ours (a REAL or an INTEGER in a decimal column, "12.5",
// a text with trailing blanks) reads exactly.
void fromStored(Record& r, int c, const ColumnDecl& col, db::Statement& st, int sc) {
    ValueKind k = st.kind(sc);
    Slot& s = r.slot(c);
    switch (col.type) {
    case ColType::Text:
    case ColType::ZText:
        r.setText(c, k == ValueKind::Null ? std::string() : st.text(sc));
        break;
    case ColType::Int32:
    case ColType::Int16:
    case ColType::UInt16:
    case ColType::UInt8:
        s.i = k == ValueKind::Null ? 0 : k == ValueKind::Integer ? st.integer(sc)
            : k == ValueKind::Real ? static_cast<int64_t>(st.real(sc)) : leadingInteger(st.text(sc));
        break;
    case ColType::Float64:
        s.f = k == ValueKind::Null ? 0 : k == ValueKind::Text ? std::strtod(st.text(sc).c_str(), nullptr) : st.real(sc);
        break;
    case ColType::Decimal:
        if (k == ValueKind::Null) {
            s.dec = Decimal();
        } else if (k == ValueKind::Integer) {
            s.dec = Decimal(st.integer(sc));
        } else {
            auto d = Decimal::parse(st.text(sc));
            r.setDecimal(c, d ? *d : Decimal());
        }
        break;
    case ColType::Date:
        if (k == ValueKind::Null) s.date = 0;
        else if (k == ValueKind::Integer) s.date = static_cast<int32_t>(st.integer(sc));
        else s.date = dates::parseIsoDate(st.text(sc)).value_or(0);
        break;
    case ColType::Time:
        if (k == ValueKind::Null) s.time = 0;
        else if (k == ValueKind::Integer) s.time = static_cast<int32_t>(st.integer(sc));
        else s.time = dates::parseIsoTime(st.text(sc)).value_or(0);
        break;
    case ColType::DateTime:
        if (k == ValueKind::Null) {
            s.date = 0;
            s.time = 0;
        } else {
            std::string t = st.text(sc);
            s.date = dates::parseIsoDate(t).value_or(0);
            s.time = s.date ? dates::parseIsoTime(t).value_or(0) : 0;
        }
        break;
    }
}

Param copyOf(db::Statement& st, int sc) {
    switch (st.kind(sc)) {
    case ValueKind::Null: return Param::null();
    case ValueKind::Integer: return Param::integer(st.integer(sc));
    case ValueKind::Real: return Param::real(st.real(sc));
    default: return Param::str(st.text(sc));
    }
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
        case ValueKind::Real: kind = 'F'; v = std::to_string(p.f); break;
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
        default: return false;
        }
        if (i == pos.size()) break;
        ++i;  // the '|'
    }
    return true;
}

}  // namespace

Table::Table(Context& ctx, const TableDecl& decl) : ctx_(ctx), decl_(&decl), rec_(decl) {}
Table::~Table() = default;

int Table::fail(Error e) { return ctx_.setError(std::move(e)); }
int Table::okay() { return ctx_.ok(); }

db::Connection* Table::conn() { return ctx_.connection(); }

bool Table::writable() const { return (mode_ & 0x0F) != ReadOnly && !decl_->isView() && !decl_->isResultTable(); }

const std::string& Table::selectList() {
    if (selectList_.empty()) {
        db::Connection* c = conn();
        selectList_ = decl_->isView() || decl_->isResultTable() ? "0" : std::string(c->dialect().rowIdentity());
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
    c->setBusyTimeout(recoverSeconds_ > 0 ? recoverSeconds_ * 1000 : kOpenBusyMs);
    db::ObjectInfo info;
    Error err = c->describe(decl_->storageName(), info);
    if (!err && info.exists && !decl_->isView()) {
        for (size_t k = 0; k < decl_->keys.size() && !err; ++k) {
            if (ddl::keyIsRowKey(*decl_, static_cast<int>(k))) continue;
            bool exists = false;
            err = c->indexExists(decl_->indexName(static_cast<int>(k)), exists);
            if (!err && !exists) err = Error::of(BadKeyErr, "Invalid Key File: the index " + decl_->indexName(static_cast<int>(k)) + " is missing");
        }
    }
    c->setBusyTimeout(10000);
    recoverSeconds_ = 0;
    if (err) return fail(err);
    if (!info.exists) return fail(Error::of(NoFileError));
    for (const ColumnDecl& col : decl_->columns) {
        bool found = std::any_of(info.columns.begin(), info.columns.end(),
                                 [&](const std::string& n) { return eqNoCase(n, col.name); });
        if (!found)
            return fail(Error::of(BadFileErr, "Invalid File Declaration: " + std::string(decl_->storageName()) +
                                                  " has no column " + std::string(col.name)));
    }
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
    watched_.reset();
    quickScan_ = false;
    return okay();
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
    if (Error e = c->exec(ddl::createTable(*decl_, c->dialect().kind()))) return fail(e);
    for (const std::string& s : ddl::createIndexes(*decl_, c->dialect().kind()))
        if (Error e = c->exec(s)) return fail(e);
    return okay();
}

int Table::buildKeys() {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    for (std::string s : ddl::createIndexes(*decl_, c->dialect().kind())) {
        // CREATE [UNIQUE] INDEX name -> CREATE [UNIQUE] INDEX IF NOT EXISTS name
        size_t at = s.find("INDEX ") + 6;
        if (c->dialect().kind() == db::SqlDialect::Sqlite) s.insert(at, "IF NOT EXISTS ");
        if (Error e = c->exec(s)) return fail(e);
    }
    if (c->dialect().kind() == db::SqlDialect::Sqlite)
        if (Error e = c->exec("REINDEX " + c->dialect().quoteName(decl_->storageName()))) return fail(e);
    return okay();
}

// ---- reading ------------------------------------------------------------------------------

void Table::fillRecord(Record& r, db::Statement& st, int first) const {
    for (size_t c = 0; c < decl_->columns.size(); ++c) fromStored(r, static_cast<int>(c), decl_->columns[c], st, first + static_cast<int>(c));
}

Param Table::paramOf(int column) const { return toParam(decl_->columns[column], rec_.slot(column)); }

std::string Table::orderBy(int key, bool forward) const {
    const db::Dialect& d = ctx_.connection()->dialect();
    std::string s;
    if (key >= 0) {
        for (const KeyComponent& k : decl_->keys[key].components) {
            if (!s.empty()) s += ", ";
            s += d.quoteName(decl_->columns[k.column].name);
            if (k.descending == forward) s += " DESC";
        }
    }
    if (!decl_->isView()) {
        if (!s.empty()) s += ", ";
        s += d.rowIdentity();
        if (!forward) s += " DESC";
    }
    return s;
}

// The rows after the anchor in the read's direction (or at and after it when inclusive).
std::string Table::anchorCondition(int key, bool forward, std::vector<Param>& params) const {
    const db::Dialect& d = ctx_.connection()->dialect();
    struct Part {
        std::string name;
        bool down;  // the read runs toward smaller values in this component
        Param value;
    };
    std::vector<Part> parts;
    if (key >= 0) {
        const auto& comps = decl_->keys[key].components;
        for (size_t i = 0; i < comps.size() && i < anchorValues_.size(); ++i)
            parts.push_back({d.quoteName(decl_->columns[comps[i].column].name), comps[i].descending == forward, anchorValues_[i]});
    }
    if (anchor_ == Anchor::Row && !decl_->isView()) parts.push_back({std::string(d.rowIdentity()), !forward, Param::integer(anchorRow_)});
    bool inclusive = anchor_ == Anchor::Values || anchorInclusive_;
    if (parts.empty()) return {};

    bool sameWay = std::all_of(parts.begin(), parts.end(), [&](const Part& p) { return p.down == parts[0].down; });
    bool noNulls = std::none_of(parts.begin(), parts.end(), [](const Part& p) { return p.value.kind == ValueKind::Null; });
    if (sameWay && noNulls) {
        std::string l = "(", r = "(";
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i) {
                l += ", ";
                r += ", ";
            }
            l += parts[i].name;
            r += "?";
            params.push_back(parts[i].value);
        }
        return l + ") " + (parts[0].down ? "<" : ">") + (inclusive ? "=" : "") + " " + r + ")";
    }
    // Mixed directions or NULLs: spell the order out. NULL sorts below every value.
    auto eq = [&](const Part& p) {
        if (p.value.kind == ValueKind::Null) return p.name + " IS NULL";
        params.push_back(p.value);
        return p.name + " = ?";
    };
    auto after = [&](const Part& p) -> std::string {
        bool null = p.value.kind == ValueKind::Null;
        if (!p.down) {
            if (null) return p.name + " IS NOT NULL";
            params.push_back(p.value);
            return p.name + " > ?";
        }
        if (null) return "0";
        params.push_back(p.value);
        return "(" + p.name + " < ? OR " + p.name + " IS NULL)";
    };
    std::string s = "(";
    for (size_t i = 0; i <= parts.size(); ++i) {
        if (i == parts.size() && !inclusive) break;
        if (i) s += " OR ";
        s += "(";
        for (size_t j = 0; j < i; ++j) s += eq(parts[j]) + " AND ";
        s += i < parts.size() ? after(parts[i]) : "1";
        s += ")";
    }
    return s + ")";
}

int Table::fetchPage(bool forward) {
    db::Connection* c = conn();
    if (!c) return ctx_.errorCode();
    std::vector<Param> params;
    std::string where = anchor_ == Anchor::None ? std::string() : anchorCondition(key_, forward, params);
    if (!filter_.empty()) {
        where = where.empty() ? "(" + filter_ + ")" : where + " AND (" + filter_ + ")";
        params.insert(params.end(), filterParams_.begin(), filterParams_.end());
    }
    std::string rest = where.empty() ? std::string() : "WHERE " + where;
    rest += " ORDER BY " + orderBy(key_, forward);
    int n = quickScan_ ? kMaxPage : pageSize_;
    std::string sql = c->dialect().limited(selectList(), c->dialect().quoteName(decl_->storageName()), rest, n);
    db::trace(sql);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return fail(err);
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    page_.clear();
    const auto* comps = key_ >= 0 ? &decl_->keys[key_].components : nullptr;
    while (st->step(err)) {
        PageRow row{st->integer(0), {}, Record(*decl_)};
        fillRecord(row.rec, *st, 1);
        if (comps)
            for (const KeyComponent& k : *comps) row.keyRaw.push_back(copyOf(*st, k.column + 1));
        page_.push_back(std::move(row));
    }
    st->reset();
    if (err) return fail(err);
    pageForward_ = forward;
    pageFresh_ = true;
    pageEnd_ = static_cast<int>(page_.size()) < n;
    pageSize_ = std::min(pageSize_ * 4, kMaxPage);
    return okay();
}

int Table::deliver(PageRow&& row) {
    anchor_ = Anchor::Row;
    anchorInclusive_ = false;
    anchorValues_ = row.keyRaw;
    anchorRow_ = row.rowid;
    rec_ = std::move(row.rec);
    current_ = decl_->isView() ? std::nullopt : std::optional<int64_t>(row.rowid);
    if (watchNext_) {
        watched_ = std::make_unique<Record>(rec_);
        watchedRow_ = current_;
        watchNext_ = false;
    }
    return okay();
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
    snapshot_.clear();
    snapshotLoaded_ = false;
    snapshotPos_ = -1;
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
        for (size_t c = 0; c < decl_->columns.size() && c < row.size(); ++c) {
            const Param& p = row[c];
            Slot& s = rec_.slot(static_cast<int>(c));
            const ColumnDecl& col = decl_->columns[c];
            std::string text = p.kind == ValueKind::Integer ? std::to_string(p.i) : p.kind == ValueKind::Real ? std::string() : p.text;
            if (p.kind == ValueKind::Real) {
                char buf[64];
                snprintf(buf, sizeof buf, "%.17g", p.f);
                text = Decimal::fromDouble(p.f).toString();
            }
            switch (col.type) {
            case ColType::Text:
            case ColType::ZText: rec_.setText(static_cast<int>(c), text); break;
            case ColType::Decimal: rec_.setDecimal(static_cast<int>(c), Decimal::parse(text).value_or(Decimal())); break;
            case ColType::Float64: s.f = p.kind == ValueKind::Real ? p.f : std::strtod(text.c_str(), nullptr); break;
            case ColType::Date: s.date = p.kind == ValueKind::Integer ? static_cast<int32_t>(p.i) : dates::parseIsoDate(text).value_or(0); break;
            case ColType::Time: s.time = p.kind == ValueKind::Integer ? static_cast<int32_t>(p.i) : dates::parseIsoTime(text).value_or(0); break;
            case ColType::DateTime:
                s.date = dates::parseIsoDate(text).value_or(0);
                s.time = s.date ? dates::parseIsoTime(text).value_or(0) : 0;
                break;
            default: s.i = p.kind == ValueKind::Integer ? p.i : p.kind == ValueKind::Real ? static_cast<int64_t>(p.f) : leadingInteger(text);
            }
        }
        current_.reset();
        return okay();
    }
    if (!reading_) {
        if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
        setNatural();
    }
    if (decl_->isView()) {
        if (!snapshotLoaded_) {
            // A view has no row identity to page by: its rows are read in one go.
            anchor_ = anchor_ == Anchor::Values ? Anchor::Values : Anchor::None;
            int n = kMaxPage;
            snapshot_.clear();
            pageSize_ = 1 << 30;
            for (;;) {
                if (int rc = fetchPage(true)) return rc;
                for (auto& r : page_) snapshot_.push_back(std::move(r));
                page_.clear();
                break;
            }
            (void)n;
            pageSize_ = kFirstPage;
            snapshotLoaded_ = true;
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

int Table::previous() {
    if (sqlActive_) return fail(Error::of(NotFoundErr));
    if (!reading_) {
        if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
        setNatural();
    }
    if (decl_->isView()) {
        if (!snapshotLoaded_) {
            if (int rc = next()) return rc;  // loads the rows
            snapshotPos_ = static_cast<long>(snapshot_.size());
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
    std::string sql = c->dialect().limited(selectList(), c->dialect().quoteName(decl_->storageName()), rest, 1);
    db::trace(sql);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return fail(err);
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    if (!st->step(err)) {
        st->reset();
        return fail(err ? err : Error::of(NoRecErr));
    }
    PageRow row{st->integer(0), {}, Record(*decl_)};
    fillRecord(row.rec, *st, 1);
    st->reset();
    // A read by key does not move the sequential read, but it makes this row current.
    rec_ = std::move(row.rec);
    current_ = decl_->isView() ? std::nullopt : std::optional<int64_t>(row.rowid);
    if (watchNext_) {
        watched_ = std::make_unique<Record>(rec_);
        watchedRow_ = current_;
        watchNext_ = false;
    }
    return okay();
}

int Table::get(Key key) {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    db::Connection* c = conn();
    std::vector<Param> params;
    std::string where;
    for (const KeyComponent& k : decl_->keys[key.index].components) {
        if (!where.empty()) where += " AND ";
        Param p = paramOf(k.column);
        std::string name = c->dialect().quoteName(decl_->columns[k.column].name);
        if (p.kind == ValueKind::Null) {
            where += name + " IS NULL";
        } else {
            where += name + " = ?";
            params.push_back(std::move(p));
        }
    }
    return readWhere(where, params, orderBy(key.index, true).c_str());
}

std::string Table::position(Key key) const {
    std::vector<Param> values;
    for (const KeyComponent& k : decl_->keys[key.index].components) values.push_back(paramOf(k.column));
    return encodePosition(current_.value_or(0), values);
}

int Table::reget(Key key, std::string_view pos) {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    int64_t rowid = 0;
    std::vector<Param> values;
    if (!decodePosition(pos, rowid, values)) return fail(Error::of(NoRecErr));
    if (decl_->isView()) {
        const auto& comps = decl_->keys[key.index].components;
        for (size_t i = 0; i < comps.size() && i < values.size(); ++i) {
            Slot dummy;
            (void)dummy;
        }
        return get(key);
    }
    return readWhere(std::string(conn()->dialect().rowIdentity()) + " = ?", {Param::integer(rowid)}, nullptr);
}

int Table::reset(Key key, std::string_view pos) {
    int64_t rowid = 0;
    std::vector<Param> values;
    if (!decodePosition(pos, rowid, values)) return fail(Error::of(NoRecErr));
    if (int rc = startFiltered(key.index, {}, {})) return rc;
    anchor_ = Anchor::Row;
    anchorInclusive_ = true;
    anchorValues_ = std::move(values);
    anchorRow_ = rowid;
    return okay();
}

int64_t Table::records() {
    db::Connection* c = conn();
    if (!c) return 0;
    std::string sql = "SELECT count(*) FROM " + c->dialect().quoteName(decl_->storageName());
    db::trace(sql);
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
    Record now(*decl_);
    std::swap(now, rec_);
    std::optional<int64_t> keep = current_;
    int rc = readWhere(std::string(conn()->dialect().rowIdentity()) + " = ?", {Param::integer(*current_)}, nullptr);
    std::swap(now, rec_);
    current_ = keep;
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
    std::string cols, marks;
    std::vector<Param> params;
    for (size_t i = 0; i < decl_->columns.size(); ++i) {
        if (assign && static_cast<int>(i) == numbered) continue;
        if (!cols.empty()) {
            cols += ", ";
            marks += ", ";
        }
        cols += d.quoteName(decl_->columns[i].name);
        marks += "?";
        params.push_back(paramOf(static_cast<int>(i)));
    }
    std::string sql = "INSERT INTO " + d.quoteName(decl_->storageName()) + " (" + cols + ") VALUES (" + marks + ")";
    db::trace(sql);
    Error err;
    db::Statement* st = c->prepare(sql, err);
    if (!st) return fail(err);
    for (size_t i = 0; i < params.size(); ++i) st->bind(static_cast<int>(i + 1), params[i]);
    st->step(err);
    st->reset();
    if (err) return fail(err);
    int64_t id = c->lastInsertId();
    if (assign) {
        if (decl_->columns[numbered].type == ColType::Decimal) rec_.slot(numbered).dec = Decimal(id);
        else rec_.slot(numbered).i = id;
    }
    current_ = id;
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
        if (int rc = checkWatched()) {
            Error e = ctx_.lastError();
            ctx_.rollback();
            return fail(e);
        }
    }
    db::Connection* c = conn();
    const db::Dialect& d = c->dialect();
    std::string sets;
    std::vector<Param> params;
    for (size_t i = 0; i < decl_->columns.size(); ++i) {
        if (!sets.empty()) sets += ", ";
        sets += d.quoteName(decl_->columns[i].name) + " = ?";
        params.push_back(paramOf(static_cast<int>(i)));
    }
    params.push_back(Param::integer(*current_));
    std::string sql = "UPDATE " + d.quoteName(decl_->storageName()) + " SET " + sets + " WHERE " + std::string(d.rowIdentity()) + " = ?";
    db::trace(sql);
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
    if (guarded) watched_ = std::make_unique<Record>(rec_);
    return okay();
}

int Table::remove() {
    if (!open_) return fail(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    if (!writable()) return fail(Error::driver("", "The table " + std::string(decl_->sqlName) + " is open for reading only"));
    if (!current_) return fail(Error::of(NotFoundErr));
    bool guarded = watched_ && watchedRow_ == current_;
    if (guarded) {
        if (int rc = ctx_.begin(2)) return rc;
        if (int rc = checkWatched()) {
            Error e = ctx_.lastError();
            ctx_.rollback();
            return fail(e);
        }
    }
    db::Connection* c = conn();
    std::string sql = "DELETE FROM " + c->dialect().quoteName(decl_->storageName()) + " WHERE " +
                      std::string(c->dialect().rowIdentity()) + " = ?";
    db::trace(sql);
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
    std::string where;
    for (const KeyComponent& k : decl_->keys[key.index].components) {
        if (!where.empty()) where += " AND ";
        Param p = paramOf(k.column);
        std::string name = d.quoteName(decl_->columns[k.column].name);
        if (p.kind == ValueKind::Null) {
            where += name + " IS NULL";
        } else {
            where += name + " = ?";
            params.push_back(std::move(p));
        }
    }
    if (current_) {
        where += " AND " + std::string(d.rowIdentity()) + " <> ?";
        params.push_back(Param::integer(*current_));
    }
    std::string sql = d.limited("1", d.quoteName(decl_->storageName()), "WHERE " + where, 1);
    db::trace(sql);
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
    db::trace(statement);
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

// ---- views --------------------------------------------------------------------------------

View::View(Table& table, std::optional<Key> order) : table_(table), order_(order) {}

void View::bind(std::string_view name, const int32_t* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::integer(*value); });
}
void View::bind(std::string_view name, const int64_t* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::integer(*value); });
}
void View::bind(std::string_view name, const Decimal* value) {
    bound_.emplace_back(std::string(name), [value] {
        return value->scale() == 0 ? Param::integer(value->toInt64()) : Param::str(value->toString());
    });
}
void View::bind(std::string_view name, const std::string* value) {
    bound_.emplace_back(std::string(name), [value] { return Param::str(std::string(rtrim(*value))); });
}

int View::open() {
    Context& ctx = table_.ctx_;
    if (!table_.isOpen()) return ctx.setError(Error::of(NotFoundErr, "Record Not Available: the table is not open"));
    db::Connection* c = ctx.connection();
    if (!c) return ctx.errorCode();
    // Translate the filter: operands are column labels, bound names or literals.
    std::string sql;
    std::vector<Param> params;
    std::string_view f = filter_;
    size_t i = 0;
    auto skip = [&] { while (i < f.size() && std::isspace(static_cast<unsigned char>(f[i]))) ++i; };
    auto bad = [&](const std::string& why) { return ctx.setError(Error::driver("filter", "Bad filter \"" + filter_ + "\": " + why)); };
    while (true) {
        skip();
        if (i >= f.size()) break;
        // operand
        auto operand = [&]() -> int {
            skip();
            if (i >= f.size()) return bad("an operand is missing");
            if (f[i] == '\'') {
                std::string v;
                ++i;
                while (i < f.size()) {
                    if (f[i] == '\'') {
                        if (i + 1 < f.size() && f[i + 1] == '\'') { v += '\''; i += 2; continue; }
                        ++i;
                        break;
                    }
                    v += f[i++];
                }
                sql += "?";
                params.push_back(Param::str(v));
                return 0;
            }
            size_t start = i;
            while (i < f.size() && (std::isalnum(static_cast<unsigned char>(f[i])) || f[i] == ':' || f[i] == '_' || f[i] == '.' || f[i] == '-'))
                ++i;
            std::string tok(f.substr(start, i - start));
            if (tok.empty()) return bad("an operand is missing");
            if (std::isdigit(static_cast<unsigned char>(tok[0])) || tok[0] == '-') {
                sql += "?";
                params.push_back(tok.find('.') == std::string::npos ? Param::integer(std::strtoll(tok.c_str(), nullptr, 10)) : Param::str(tok));
                return 0;
            }
            for (auto& [name, value] : bound_) {
                if (eqNoCase(name, tok)) {
                    sql += "?";
                    params.push_back(value());
                    return 0;
                }
            }
            size_t colon = tok.find(':');
            if (colon != std::string::npos && eqNoCase(tok.substr(0, colon), table_.decl().prefix)) {
                int col = table_.decl().columnIndex(tok.substr(colon + 1));
                if (col >= 0) {
                    sql += c->dialect().quoteName(table_.decl().columns[col].name);
                    return 0;
                }
            }
            return bad("unknown name " + tok);
        };
        if (int rc = operand()) return rc;
        skip();
        static const char* ops[] = {"<>", "<=", ">=", "=", "<", ">"};
        std::string op;
        for (const char* o : ops)
            if (f.substr(i, std::char_traits<char>::length(o)) == o) { op = o; break; }
        if (op.empty()) return bad("a comparison is missing");
        i += op.size();
        sql += " " + op + " ";
        if (int rc = operand()) return rc;
        skip();
        if (i >= f.size()) break;
        if (f.substr(i, 3).size() == 3 && eqNoCase(f.substr(i, 3), "AND")) i += 3;
        else if (f.substr(i, 2) == "&&") i += 2;
        else if (f[i] == '&') i += 1;
        else return bad("expected AND");
        sql += " AND ";
    }
    int key = order_ ? order_->index : -1;
    if (int rc = table_.startFiltered(key, sql, params)) return rc;
    open_ = true;
    return ctx.ok();
}

int View::next() {
    if (!open_) return table_.ctx_.setError(Error::of(NotFoundErr));
    return table_.next();
}

int View::previous() {
    if (!open_) return table_.ctx_.setError(Error::of(NotFoundErr));
    return table_.previous();
}

int View::close() {
    open_ = false;
    table_.reading_ = false;
    table_.invalidatePage();
    return table_.ctx_.ok();
}

}  // namespace mg
