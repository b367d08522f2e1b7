#include "data/record.h"

#include <cassert>

#include "data/utf8.h"

namespace mg {

Record::Record(const TableDecl& decl) : decl_(&decl), slots_(decl.columns.size()) { clear(); }

Slot& Record::at(TableId t, int i) {
    assert(t == decl_->id && "column handle of another table");
    (void)t;
    return slots_[i];
}

const Slot& Record::at(TableId t, int i) const {
    assert(t == decl_->id && "column handle of another table");
    (void)t;
    return slots_[i];
}

void Record::clear() {
    for (size_t c = 0; c < slots_.size(); ++c) {
        Slot& s = slots_[c];
        const ColumnDecl& col = decl_->columns[c];
        if (col.type == ColType::Text)
            s.text.assign(static_cast<size_t>(col.size), ' ');
        else
            s.text.clear();
        s.dec = Decimal();
        s.i = 0;
        s.f = 0;
        s.date = 0;
        s.time = 0;
    }
}

std::string_view Record::trimmed(TextCol c) const {
    std::string_view v = get(c);
    size_t end = v.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string_view() : v.substr(0, end + 1);
}

void Record::set(TextCol c, std::string_view value) {
    at(c.table, c.index);
    setText(c.index, value);
}

void Record::setText(int column, std::string_view value) {
    const ColumnDecl& col = decl_->columns[column];
    std::string& t = slots_[column].text;
    // Sizes count characters: a text is never cut inside a UTF-8 sequence.
    if (col.type == ColType::Text) {
        t = utf8::padded(value, static_cast<size_t>(col.size));
    } else {
        size_t n = col.size > 0 ? static_cast<size_t>(col.size - 1) : 0;
        t.assign(utf8::cut(value, n));
    }
}

void Record::set(DecimalCol c, const Decimal& value) {
    at(c.table, c.index);
    setDecimal(c.index, value);
}

void Record::setDecimal(int column, const Decimal& value) {
    slots_[column].dec = value.roundTo(decl_->columns[column].scale);
}

bool Record::valuesFit(std::string* why) const {
    for (size_t c = 0; c < slots_.size(); ++c) {
        const ColumnDecl& col = decl_->columns[c];
        const Slot& s = slots_[c];
        int64_t lo = 0, hi = 0;
        bool isInt = true;
        switch (col.type) {
        case ColType::Int32: lo = INT32_MIN; hi = INT32_MAX; break;
        case ColType::Int16: lo = INT16_MIN; hi = INT16_MAX; break;
        case ColType::UInt16: lo = 0; hi = UINT16_MAX; break;
        case ColType::UInt8: lo = 0; hi = UINT8_MAX; break;
        default: isInt = false;
        }
        if (isInt && (s.i < lo || s.i > hi)) {
            if (why)
                *why = "The value " + std::to_string(s.i) + " does not fit the column " + decl_->columnLabel(static_cast<int>(c)) +
                       " (" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
            return false;
        }
        if (col.type == ColType::Decimal && !s.dec.fits(col.size, col.scale)) {
            if (why)
                *why = "The value " + s.dec.toString(col.scale) + " does not fit the column " + decl_->columnLabel(static_cast<int>(c)) +
                       " (decimal " + std::to_string(col.size) + "." + std::to_string(col.scale) + ")";
            return false;
        }
    }
    return true;
}

bool Record::sameValues(const Record& other) const {
    if (other.decl_ != decl_) return false;
    for (size_t c = 0; c < slots_.size(); ++c) {
        const Slot& a = slots_[c];
        const Slot& b = other.slots_[c];
        switch (decl_->columns[c].type) {
        case ColType::Text:
        case ColType::ZText:
            if (a.text != b.text) return false;
            break;
        case ColType::Decimal:
            if (!(a.dec == b.dec)) return false;
            break;
        case ColType::Float64:
            if (a.f != b.f) return false;
            break;
        case ColType::Date:
            if (a.date != b.date) return false;
            break;
        case ColType::Time:
            if (a.time != b.time) return false;
            break;
        case ColType::DateTime:
            if (a.date != b.date || a.time != b.time) return false;
            break;
        default:
            if (a.i != b.i) return false;
        }
    }
    return true;
}

}  // namespace mg
