#pragma once

#include "base/Telemetry.h"

#include <QString>
#include <cstdint>

// NMEA 0183 output of a GPS receiver, as the recorder stores it beside a frame:
// lines of sentences such as
//   $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A
// Only RMC (position, date, time), GGA (position, altitude, satellites) and VTG
// (track and magnetic heading) are read, from the GP and the GN talker alike.
// Everything else, the checksum suffix included, is ignored.
namespace nmea {

// The telemetry that NMEA sentences set; each sentence overwrites what an
// earlier one wrote, and leaves the fields NMEA does not carry (the attitude).
using NmeaFields = kx::Telemetry;

// The state a block starts from: zeros and "n/a" texts.
void resetFields(NmeaFields& fields);

// One sentence each. RMC and GGA return true when the name and the number of
// fields fit (and then write the fields); VTG returns whether its true track
// was a number. hourOffset shifts RMC date and time together.
bool parseRMC(const QString& sentence, int hourOffset, NmeaFields& fields);
bool parseGGA(const QString& sentence, NmeaFields& fields);
bool parseVTG(const QString& sentence, NmeaFields& fields);

// ddmm.mmmm (latitude) or dddmm.mmmm (longitude) to decimal degrees. Only seven
// characters of minutes are read; a part that is not a number gives 0.
double nmeaToDezimal(const QString& value, bool isLongitude);

// A decimal number as the sentences carry it; false for anything else,
// including "nan", "inf" and values that do not fit a double.
bool toDecimal(const QString& text, double& value);

// Walks a whole block of length bytes: the leading zero bytes are rewritten to
// line feeds in the block itself (the stored copy shows them), the fields are
// reset, and every line of at least seven characters up to the first zero byte
// is offered to the three sentence parsers. Returns the number of sentences
// that were taken.
int parseBlock(char* block, uint32_t length, int hourOffset, NmeaFields& fields);

} // namespace nmea
