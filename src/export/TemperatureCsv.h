#pragma once

#include "base/DecodedFrame.h"

#include <QByteArray>
#include <QString>

// The frame's pixels as a table: one line per pixel row, every value
// followed by the delimiter (the last of a line too), then a line feed; no
// header, no quoting. With a T-linear step (below 1 K per count) the values
// are degrees Celsius, the product raw x step in single precision, less
// 273.15 in double, narrowed to single and written with at most six
// significant digits (26.85, 27.33, -273.15); otherwise the raw counts.
namespace kx {

// The file's bytes (UTF-8); empty for a frame without pixels. Thread-safe.
QByteArray encodeTemperatureCsv(const DecodedFrame& frame, float kelvinPerCount,
                                const QString& delimiter);
// Writes fileName; false with *error set when the frame holds no pixels or
// the file cannot be written.
bool writeTemperatureCsv(const QString& fileName, const DecodedFrame& frame, float kelvinPerCount,
                         const QString& delimiter, QString* error);

} // namespace kx
