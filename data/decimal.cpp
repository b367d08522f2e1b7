#include "data/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <utility>

namespace mg {
namespace {

using i128 = __int128;
using u128 = unsigned __int128;

constexpr std::array<u128, 39> kPow10 = [] {
    std::array<u128, 39> table{};
    u128 value = 1;
    for (auto& entry : table) {
        entry = value;
        value *= 10;  // the last step wraps harmlessly (unsigned) and is never stored
    }
    return table;
}();

// Every mantissa stays within kMaxDigits digits, so negation never overflows.
constexpr u128 kMaxMagnitude = kPow10[Decimal::kMaxDigits] - 1;

u128 magnitude(i128 v) { return v < 0 ? u128(0) - u128(v) : u128(v); }

// An unsigned 256-bit integer, just wide enough for the exact product of two mantissas
// and for the operands of a division, so that nothing is lost before the final rounding.
struct U256 {
    u128 hi = 0;
    u128 lo = 0;
};

U256 multiply(u128 a, u128 b) {
    constexpr u128 kMask = 0xFFFFFFFFFFFFFFFFull;
    const u128 a0 = a & kMask, a1 = a >> 64, b0 = b & kMask, b1 = b >> 64;
    const u128 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const u128 middle = (p00 >> 64) + (p01 & kMask) + (p10 & kMask);
    return {p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64), (p00 & kMask) | (middle << 64)};
}

bool less(const U256& a, const U256& b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }

U256 subtract(const U256& a, const U256& b) {
    return {a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo};
}

// n / d rounded half away from zero; d is not zero.
U256 divideRounded(const U256& n, const U256& d) {
    U256 q, r;
    if (n.hi == 0 && d.hi == 0) {
        q.lo = n.lo / d.lo;
        r.lo = n.lo % d.lo;
    } else {
        for (int i = 255; i >= 0; --i) {
            const u128 bit = i >= 128 ? (n.hi >> (i - 128)) & 1 : (n.lo >> i) & 1;
            r.hi = (r.hi << 1) | (r.lo >> 127);
            r.lo = (r.lo << 1) | bit;
            if (!less(r, d)) {
                r = subtract(r, d);
                if (i >= 128)
                    q.hi |= u128(1) << (i - 128);
                else
                    q.lo |= u128(1) << i;
            }
        }
    }
    if (!less(r, subtract(d, r))) {  // 2r >= d
        if (++q.lo == 0) ++q.hi;
    }
    return q;
}

// A magnitude and sign back to a mantissa, saturated at kMaxDigits nines.
i128 toMantissa(const U256& mag, bool negative) {
    const u128 m = (mag.hi != 0 || mag.lo > kMaxMagnitude) ? kMaxMagnitude : mag.lo;
    const i128 v = static_cast<i128>(m);
    return negative ? -v : v;
}

// The mantissa m of scale `from` expressed at scale `to`, rounded half away from zero
// when places are dropped.
i128 rescale(i128 m, int from, int to) {
    const bool negative = m < 0;
    const u128 mag = magnitude(m);
    const long long k = static_cast<long long>(to) - from;
    constexpr long long kTable = static_cast<long long>(kPow10.size());
    if (k >= 0) {
        if (mag == 0) return 0;
        if (k >= kTable) return toMantissa({1, 0}, negative);
        return toMantissa(multiply(mag, kPow10[k]), negative);
    }
    if (-k >= kTable) return 0;  // below half a unit whatever the mantissa
    return toMantissa(divideRounded({0, mag}, {0, kPow10[-k]}), negative);
}

std::string format(i128 m, int scale) {
    u128 mag = magnitude(m);
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(mag % 10)));
        mag /= 10;
    } while (mag != 0);
    while (static_cast<int>(digits.size()) <= scale) digits.push_back('0');
    std::reverse(digits.begin(), digits.end());
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    if (m < 0) digits.insert(digits.begin(), '-');
    return digits;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Decimal::Decimal(long long whole) : m_(whole), scale_(0) {}

Decimal Decimal::fromMantissa(__int128 mantissa, int scale) {
    Decimal d;
    const int target = std::clamp(scale, 0, kMaxScale);
    d.m_ = rescale(mantissa, scale, target);
    d.scale_ = target;
    return d;
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return Decimal{};

    size_t i = 0;
    const size_t n = text.size();
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';

    std::string digits;  // integer and fraction digits together
    long long fractionDigits = 0;
    while (i < n && isDigit(text[i])) digits.push_back(text[i++]);
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            digits.push_back(text[i++]);
            ++fractionDigits;
        }
    }
    if (digits.empty()) return std::nullopt;

    long long exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        if (i >= n || !isDigit(text[i])) return std::nullopt;
        while (i < n && isDigit(text[i])) {
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (i != n) return std::nullopt;

    // value = digits x 10^power
    const long long power = exponent - fractionDigits;
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return fromMantissa(0, static_cast<int>(std::clamp<long long>(-power, 0, kMaxScale)));
    digits.erase(0, first);

    bool roundUp = false;
    int scale = 0;
    if (power < 0) {
        long long places = -power;
        if (places > kMaxScale) {
            // More places than a decimal holds: drop the excess, rounding half away from zero.
            const long long drop = places - kMaxScale;
            const long long length = static_cast<long long>(digits.size());
            if (drop > length) {
                digits.clear();
            } else {
                roundUp = digits[static_cast<size_t>(length - drop)] >= '5';
                digits.resize(static_cast<size_t>(length - drop));
            }
            places = kMaxScale;
        }
        scale = static_cast<int>(places);
    } else {
        if (static_cast<long long>(digits.size()) + power > kMaxDigits) return std::nullopt;
        digits.append(static_cast<size_t>(power), '0');
    }
    if (static_cast<int>(digits.size()) > kMaxDigits) return std::nullopt;

    u128 mag = 0;
    for (char c : digits) mag = mag * 10 + static_cast<u128>(c - '0');
    if (roundUp) ++mag;
    if (mag > kMaxMagnitude) return std::nullopt;
    Decimal d;
    d.m_ = negative ? -static_cast<i128>(mag) : static_cast<i128>(mag);
    d.scale_ = scale;
    return d;
}

Decimal Decimal::fromDouble(double value) {
    if (!std::isfinite(value)) return Decimal{};
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc{}) return Decimal{};
    if (auto d = parse(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)))) return *d;
    // Beyond kMaxDigits digits: the largest value of the right sign.
    const i128 largest = static_cast<i128>(kMaxMagnitude);
    return fromMantissa(value < 0 ? -largest : largest, 0);
}

Decimal Decimal::roundTo(int places) const {
    const int target = std::clamp(places, 0, kMaxScale);
    Decimal d;
    d.m_ = rescale(m_, scale_, target);
    d.scale_ = target;
    return d;
}

long long Decimal::toInt64() const {
    const i128 whole = m_ / static_cast<i128>(kPow10[scale_]);
    if (whole > std::numeric_limits<long long>::max()) return std::numeric_limits<long long>::max();
    if (whole < std::numeric_limits<long long>::min()) return std::numeric_limits<long long>::min();
    return static_cast<long long>(whole);
}

double Decimal::toDouble() const {
    // from_chars, unlike strtod, does not depend on the C locale's decimal point.
    const std::string text = toString();
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool Decimal::fits(int precision, int scale) const {
    const Decimal rounded = roundTo(scale);
    if (precision <= 0) return rounded.m_ == 0;
    if (precision >= kMaxDigits) return true;
    return magnitude(rounded.m_) < kPow10[precision];
}

std::string Decimal::toString(int places) const {
    const Decimal rounded = roundTo(places);
    return format(rounded.m_, rounded.scale_);
}

std::string Decimal::toString() const {
    std::string text = format(m_, scale_);
    if (scale_ > 0) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return text;
}

Decimal operator+(const Decimal& a, const Decimal& b) {
    const int scale = std::max(a.scale_, b.scale_);
    // Both terms are within kMaxDigits digits, so their sum cannot overflow 128 bits.
    const i128 sum = rescale(a.m_, a.scale_, scale) + rescale(b.m_, b.scale_, scale);
    Decimal d;
    d.m_ = toMantissa({0, magnitude(sum)}, sum < 0);
    d.scale_ = scale;
    return d;
}

Decimal operator-(const Decimal& a, const Decimal& b) { return a + (-b); }

Decimal operator*(const Decimal& a, const Decimal& b) {
    const bool negative = (a.m_ < 0) != (b.m_ < 0);
    U256 product = multiply(magnitude(a.m_), magnitude(b.m_));
    int scale = a.scale_ + b.scale_;
    if (scale > Decimal::kMaxScale) {
        product = divideRounded(product, {0, kPow10[scale - Decimal::kMaxScale]});
        scale = Decimal::kMaxScale;
    }
    Decimal d;
    d.m_ = toMantissa(product, negative);
    d.scale_ = scale;
    return d;
}

Decimal Decimal::operator-() const {
    Decimal d;
    d.m_ = -m_;
    d.scale_ = scale_;
    return d;
}

Decimal Decimal::divide(const Decimal& a, const Decimal& b, int places) {
    const int target = std::clamp(places, 0, kMaxScale);
    Decimal d;
    d.scale_ = target;
    if (b.m_ == 0) return d;
    // a / b x 10^target = (ma x 10^(target + sb - sa)) / mb, the power moved to the side
    // where it is not negative; both sides stay below 10^72.
    const int power = target + b.scale_ - a.scale_;
    const U256 numerator = multiply(magnitude(a.m_), kPow10[std::max(power, 0)]);
    const U256 denominator = multiply(magnitude(b.m_), kPow10[std::max(-power, 0)]);
    d.m_ = toMantissa(divideRounded(numerator, denominator), (a.m_ < 0) != (b.m_ < 0));
    return d;
}

bool operator==(const Decimal& a, const Decimal& b) { return (a <=> b) == 0; }

std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) {
    if (a.scale_ == b.scale_) return a.m_ < b.m_ ? std::strong_ordering::less
                                     : b.m_ < a.m_ ? std::strong_ordering::greater
                                                   : std::strong_ordering::equal;
    const bool aNegative = a.m_ < 0, bNegative = b.m_ < 0;
    if (aNegative != bNegative) return aNegative ? std::strong_ordering::less : std::strong_ordering::greater;
    // Same sign: compare the magnitudes at the larger scale, where they are exact.
    const int scale = std::max(a.scale_, b.scale_);
    U256 x = multiply(magnitude(a.m_), kPow10[scale - a.scale_]);
    U256 y = multiply(magnitude(b.m_), kPow10[scale - b.scale_]);
    if (aNegative) std::swap(x, y);
    return less(x, y) ? std::strong_ordering::less
         : less(y, x) ? std::strong_ordering::greater
                      : std::strong_ordering::equal;
}

}  // namespace mg
