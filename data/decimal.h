#pragma once
// Exact fixed-point decimal: every money amount and every decimal column of the
// database is held in this one type. Never binary floating point.
//
// A value is an integer mantissa and a scale (places after the point), so 12.50
// is mantissa 1250, scale 2. Arithmetic is exact; rounding happens only where a
// value is stored to fewer places (roundTo), and then half away from zero.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mg {

class Decimal {
public:
    static constexpr int kMaxScale = 18;
    static constexpr int kMaxDigits = 36;  // mantissa limit, well beyond decimal 19.2 products

    constexpr Decimal() = default;
    Decimal(long long whole);                       // NOLINT: implicit from integers is intended
    static Decimal fromMantissa(__int128 mantissa, int scale);

    // Parses plain decimal text: optional blanks, optional sign, digits, optional point and
    // digits ("12.5", "-0.01", "  7 ", ".5", "5."). Exponent forms ("1.5e3") are accepted too,
    // because other programs may store a REAL that SQLite renders that way. Empty or blank
    // text is zero. Anything else gives nullopt.
    static std::optional<Decimal> parse(std::string_view text);
    // A double converted through its shortest round-trip decimal text (12.5 stays 12.5).
    static Decimal fromDouble(double value);

    __int128 mantissa() const { return m_; }
    int scale() const { return scale_; }

    // Rounded to `places` places after the point, half away from zero (2.345 -> 2.35,
    // -2.345 -> -2.35). Places above the current scale only extend the scale.
    Decimal roundTo(int places) const;
    // The whole-number part, truncated toward zero (what "taken as a whole number" means).
    long long toInt64() const;
    double toDouble() const;
    // True when the value fits decimal(precision, scale) once rounded to `scale` places.
    bool fits(int precision, int scale) const;

    // Plain text with exactly `places` places (rounded half away from zero): "12.50", "-0.01", "0".
    std::string toString(int places) const;
    // Plain text with the value's own scale, trailing zeros after the point removed: "12.5", "3".
    std::string toString() const;

    bool isZero() const { return m_ == 0; }
    bool isNegative() const { return m_ < 0; }

    friend Decimal operator+(const Decimal& a, const Decimal& b);
    friend Decimal operator-(const Decimal& a, const Decimal& b);
    friend Decimal operator*(const Decimal& a, const Decimal& b);  // exact: scales add (capped at kMaxScale, rounded)
    Decimal operator-() const;
    // Quotient to `places` places, rounded half away from zero. Division by zero gives 0.
    static Decimal divide(const Decimal& a, const Decimal& b, int places);

    friend bool operator==(const Decimal& a, const Decimal& b);
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b);

private:
    __int128 m_ = 0;
    int scale_ = 0;
};

}  // namespace mg
