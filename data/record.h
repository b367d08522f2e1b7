#pragma once
// The record buffer of a table: the one record that reads fill and writes take their
// values from, with the declared semantics of each column:
//  - text n holds exactly n characters: a longer value is cut, a shorter one blank-padded;
//  - ztext n holds at most n - 1 characters;
//    (characters, not bytes: a UTF-8 text is never cut inside a character);
//  - integers hold any 64-bit value, so that a value outside the column's range is not
//    silently changed: the write that would store it fails with a clear text instead;
//  - decimal p.s holds an exact decimal rounded to s places, half away from zero;
//  - dates are day numbers and times are time values (0 = none).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/decimal.h"
#include "data/schema.h"

namespace mg {

struct Slot {
    std::string text;
    Decimal dec;
    int64_t i = 0;
    double f = 0;
    int32_t date = 0;
    int32_t time = 0;
};

class Record {
public:
    explicit Record(const TableDecl& decl);

    const TableDecl& decl() const { return *decl_; }

    // Blanks every text, zeroes every number, date and time.
    void clear();

    // Text columns: text n comes back blank-padded to n characters, ztext as stored.
    const std::string& get(TextCol c) const { return at(c.table, c.index).text; }
    // The value without its trailing blanks.
    std::string_view trimmed(TextCol c) const;
    void set(TextCol c, std::string_view value);

    int64_t get(IntCol c) const { return at(c.table, c.index).i; }
    void set(IntCol c, int64_t value) { at(c.table, c.index).i = value; }

    double get(FloatCol c) const { return at(c.table, c.index).f; }
    void set(FloatCol c, double value) { at(c.table, c.index).f = value; }

    const Decimal& get(DecimalCol c) const { return at(c.table, c.index).dec; }
    void set(DecimalCol c, const Decimal& value);

    int32_t get(DateCol c) const { return at(c.table, c.index).date; }
    void set(DateCol c, int32_t dayNumber) { at(c.table, c.index).date = dayNumber; }

    int32_t get(TimeCol c) const { return at(c.table, c.index).time; }
    void set(TimeCol c, int32_t timeValue) { at(c.table, c.index).time = timeValue; }

    // Untyped access by column position, for the data layer itself.
    Slot& slot(int column) { return slots_[column]; }
    const Slot& slot(int column) const { return slots_[column]; }
    // Sets a text column by position with the column's cut-and-pad rule.
    void setText(int column, std::string_view value);
    // Sets a decimal column by position, rounded to the column's scale.
    void setDecimal(int column, const Decimal& value);

    // Whether every value fits its column (integer ranges, decimal precision). When one
    // does not, `why` names the first such column and its value.
    bool valuesFit(std::string* why) const;

    // Column-by-column equality of the stored values.
    bool sameValues(const Record& other) const;

private:
    Slot& at(TableId t, int i);
    const Slot& at(TableId t, int i) const;

    const TableDecl* decl_;
    std::vector<Slot> slots_;
};

}  // namespace mg
