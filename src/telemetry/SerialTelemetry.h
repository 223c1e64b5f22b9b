#pragma once

#include "base/Telemetry.h"
#include "base/ksDefines.h"

#include <cstdint>

// The serial data block of one frame, read by the parser of the chosen kind.
// Every parser works on the block in place (NMEA rewrites leading zero bytes,
// and the stored copy shows that) and never reads past length bytes, whether
// or not the block holds a zero byte. A parser sets the fields its data
// carries and leaves the others as they came in, so a field the block does
// not state keeps the value of the frame before.
namespace serialtelemetry {

// NMEA starts from zeros and "n/a" texts; MAVLink uses the program's one
// framing state, so a message split across two consecutive blocks is found;
// hourOffset shifts NMEA date and time.
void parse(char* block, uint32_t length, ksDefines::serialContent kind, int hourOffset,
           kx::Telemetry& telemetry);
// False when the block carries no usable message; telemetry is then unchanged.
bool parseMAVLink(char* block, uint32_t length, kx::Telemetry& telemetry);
bool parseMdDownlink(const char* block, uint32_t length, kx::Telemetry& telemetry);

} // namespace serialtelemetry
