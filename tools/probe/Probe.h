#pragma once

#include "JsonWriter.h"
#include "recording/ksDefines.h"

#include <QString>
#include <cstdint>
#include <vector>

// kalorix-probe: loads a recorder file through the converter, as the viewer
// does, and describes the frame it decoded as one JSON object.
namespace probe {

struct Options {
    QString file;
    int frame = 1;  // 1-based
    QString rawOut; // binary 16-bit PGM of the frame's raw values, when set
    ksDefines::serialContent serial = ksDefines::NoSerialData;
};

struct Result {
    JsonObject json;
    bool ok = false;
};

// "THR", "THC", "THM", "TMC" or "TFC" from the last three characters of the
// name, whatever their case; empty for any other name.
QString fileTypeOf(const QString& fileName);

// The converter's console lines are forwarded to standard error, so that only
// the JSON object reaches standard output. A file that does not load gives
// {"file": ..., "error": <the last line the loader printed>}.
Result probeFile(const Options& options);

// P5, maxval 65535, big-endian samples: the first width x height values (raw
// holds more after a row longer than the first).
bool writeRawPgm(const QString& path, uint32_t width, uint32_t height,
                 const std::vector<uint16_t>& raw);

} // namespace probe
