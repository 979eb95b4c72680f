#include "number_syntax.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace records {

namespace {

// Length of the white-space character starting at p (0 if none). QChar::isSpace:
// U+0009..U+000D, U+0020, U+0085, U+00A0, U+1680, U+2000..U+200A, U+2028,
// U+2029, U+202F, U+205F, U+3000.
inline int spaceAt(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = p[0];
    if (c == ' ' || (c >= 0x09 && c <= 0x0d))
        return 1;
    if (c < 0xc2)
        return 0;
    const long left = end - p;
    if (c == 0xc2 && left >= 2)
        return (p[1] == 0x85 || p[1] == 0xa0) ? 2 : 0;
    if (left < 3)
        return 0;
    if (c == 0xe1)
        return (p[1] == 0x9a && p[2] == 0x80) ? 3 : 0;
    if (c == 0xe2) {
        if (p[1] == 0x80)
            return ((p[2] >= 0x80 && p[2] <= 0x8a) || p[2] == 0xa8 || p[2] == 0xa9 || p[2] == 0xaf) ? 3 : 0;
        if (p[1] == 0x81)
            return p[2] == 0x9f ? 3 : 0;
        return 0;
    }
    if (c == 0xe3)
        return (p[1] == 0x80 && p[2] == 0x80) ? 3 : 0;
    return 0;
}

inline int spaceBefore(const unsigned char *begin, const unsigned char *p)
{
    const unsigned char last = p[-1];
    if (last < 0x80)
        return (last == ' ' || (last >= 0x09 && last <= 0x0d)) ? 1 : 0;
    // White space ending at p (exclusive): try 1, 2 and 3 byte forms.
    for (int n = 1; n <= 3 && p - n >= begin; ++n) {
        if (spaceAt(p - n, p) == n)
            return n;
    }
    return 0;
}

inline bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }

} // namespace

bool parseFiniteNumber(const char *begin, const char *end, double &value)
{
    auto *b = reinterpret_cast<const unsigned char *>(begin);
    auto *e = reinterpret_cast<const unsigned char *>(end);
    while (b < e && (*b >= 0x80 || *b <= ' ')) {
        const int n = spaceAt(b, e);
        if (n == 0)
            break;
        b += n;
    }
    while (e > b) {
        const int n = spaceBefore(b, e);
        if (n == 0)
            break;
        e -= n;
    }
    if (b == e)
        return false;

    bool negative = false;
    if (*b == '+' || *b == '-') {
        negative = (*b == '-');
        ++b;
    }
    // A digit or a point must come first: from_chars would also take "inf",
    // "nan" and a second sign, which the format does not allow. Otherwise
    // its syntax (digits, optional point, optional exponent with a sign) is
    // the format's, and it must take every remaining byte.
    if (b == e || !(isDigit(*b) || *b == '.'))
        return false;
    double parsed = 0.0;
    const auto *first = reinterpret_cast<const char *>(b);
    const auto *last = reinterpret_cast<const char *>(e);
    const std::from_chars_result r = std::from_chars(first, last, parsed, std::chars_format::general);
    // Out of range (overflow, or underflow to zero from non-zero digits) is
    // refused; subnormal results come back as numbers.
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(parsed))
        return false;
    value = negative ? -parsed : parsed;
    return true;
}

} // namespace records
