#pragma once

#include <cstddef>

// Number texts of the telemetry, read the same whatever locale the process
// runs in: QCoreApplication sets the user's locale for the C library, and a
// decimal comma there must not turn "0.5" into 0.
namespace numbertext {

// The whole span is one decimal number (white space around it allowed):
// [sign] digits [. digits] [e [sign] digits], at least one mantissa digit.
// False for anything else, for "nan" and "inf", and for values beyond the
// range of a double.
bool parseDecimal(const char* begin, const char* end, double& value);

// C atof in the "C" locale over a zero-terminated text: white space, then the
// longest prefix that is a number ("inf", "infinity" and "nan" included);
// 0 when there is none, an infinity when the value overflows.
double atofC(const char* text);

} // namespace numbertext
