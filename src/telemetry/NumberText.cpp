#include "telemetry/NumberText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace numbertext {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Length of the decimal number at p (without sign): mantissa and exponent;
// 0 when there is no mantissa digit.
size_t scanUnsigned(const char* p, const char* end) {
    const char* q = p;
    size_t digits = 0;
    while (q < end && isDigit(*q)) {
        ++q;
        ++digits;
    }
    if (q < end && *q == '.') {
        ++q;
        while (q < end && isDigit(*q)) {
            ++q;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* e = q + 1;
        if (e < end && (*e == '+' || *e == '-'))
            ++e;
        if (e < end && isDigit(*e)) {
            while (e < end && isDigit(*e))
                ++e;
            q = e;
        }
    }
    return size_t(q - p);
}

// Converts [p, p + n), a sign-less number as scanUnsigned found it.
double convert(const char* p, size_t n, bool& overflow) {
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(p, p + n, value, std::chars_format::general);
    overflow = false;
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small: decided by the sign of the exponent.
        const char* e = p;
        while (e < p + n && *e != 'e' && *e != 'E')
            ++e;
        const bool tiny = e + 1 < p + n && e[1] == '-';
        overflow = !tiny;
        return tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return value;
}

bool startsWithWord(const char* p, const char* word) {
    for (; *word; ++p, ++word) {
        if (std::tolower(static_cast<unsigned char>(*p)) != *word)
            return false;
    }
    return true;
}

} // namespace

bool parseDecimal(const char* begin, const char* end, double& value) {
    const char* p = begin;
    while (p < end && isSpace(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    const size_t n = scanUnsigned(p, end);
    if (n == 0)
        return false;
    const char* rest = p + n;
    while (rest < end && isSpace(*rest))
        ++rest;
    if (rest != end)
        return false;
    bool overflow = false;
    const double magnitude = convert(p, n, overflow);
    if (overflow)
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

double atofC(const char* text) {
    if (!text)
        return 0.0;
    const char* p = text;
    while (*p && isSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    double magnitude = 0.0;
    if (startsWithWord(p, "inf")) {
        magnitude = std::numeric_limits<double>::infinity();
    } else if (startsWithWord(p, "nan")) {
        magnitude = std::numeric_limits<double>::quiet_NaN();
    } else {
        const char* end = p;
        while (*end)
            ++end;
        const size_t n = scanUnsigned(p, end);
        if (n == 0)
            return 0.0;
        bool overflow = false;
        magnitude = convert(p, n, overflow);
    }
    return negative ? -magnitude : magnitude;
}

} // namespace numbertext
