#pragma once

#include <QString>
#include <cstddef>

// How the serial data window shows a block. NMEA and md downlink blocks are
// text followed by zero padding and are shown as text; a MAVLink block holds
// binary frames with zero bytes anywhere, of which text would show nothing
// past the first zero, so it is shown as a hex and character dump.
namespace serialdump {

// True when every byte before the first zero byte is printable ASCII, tab, CR
// or LF, and every byte from the first zero on is zero (an empty or all-zero
// block is text).
bool isText(const char* data, size_t length);

// Sixteen bytes a line: the offset in eight hex digits, two spaces, the bytes
// in two hex digits each (an extra space after the eighth), two spaces, and
// the bytes as characters between bars ('.' for anything not printable):
//   "00000000  fe 1c 00 01 01 21 ...  |.....!..|"
// Zero bytes after the last non-zero byte are not dumped; a line
// "(N zero bytes follow)" says how many there are.
QString hexDump(const char* data, size_t length);

// The text up to the first zero byte for a text block, the dump otherwise.
QString displayText(const char* data, size_t length);

} // namespace serialdump
