#pragma once

#include "JsonWriter.h"
#include "base/ksDefines.h"

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
    bool all = false; // add "frameList", one entry per frame
    // The converted frame as PNG, when set: palette 0 gray, 1 iron, 2 arctic,
    // 3 rainbow; the automatic window unless a range is given.
    QString pngOut;
    int palette = 0;
    bool rangeGiven = false;
    uint32_t rangeLow = 0;
    uint32_t rangeHigh = 0;
    bool invert = false;
    // Widen the PNG by the legend strip; its labels show temperatures at this
    // T-linear resolution (kelvin per count) when it is below 1, else the
    // words "high" and "low".
    bool legend = false;
    double resolution = 0.04;
    // Corrections as the window applies them, before the frame is decoded:
    // drift compensation on (with the FFC frames of ffcFile instead of the
    // file's own), the offset map over nucFirst ... nucLast, frame
    // lensReference as lens reference (0: none).
    bool drift = false;
    QString ffcFile;
    int nucFirst = 0;
    int nucLast = 0;
    int lensReference = 0;
    bool bitLane = false; // add "bitLane": the two masks of the frame
};

// The palette number for "gray", "iron", "arctic" or "rainbow"; -1 otherwise.
int paletteFromName(const QString& name);

// The serial kind for "nmea", "mavlink" or "md"; false for any other name.
bool serialFromName(const QString& name, ksDefines::serialContent& serial);

// The T-linear resolution for "none" (4.0), "high" (0.04) or "low" (0.4);
// a negative number otherwise.
double resolutionFromName(const QString& name);

struct Result {
    JsonObject json;
    bool ok = false;
};

// "THR", "THC", "THM", "TMC" or "TFC" from the last three characters of the
// name, whatever their case; empty for any other name.
QString fileTypeOf(const QString& fileName);

// The converter's console lines are forwarded to standard error, so that only
// the JSON object reaches standard output. A file that does not load gives
// {"file": ..., "error": <the last line the loader printed>}. A frame that
// loads but that the program refuses to convert (shown, exported) gives the
// whole object with "ok": false in the frame and an "error"; ok is false too.
Result probeFile(const Options& options);

// P5, maxval 65535, big-endian samples: the first width x height values (raw
// holds more after a row longer than the first).
bool writeRawPgm(const QString& path, uint32_t width, uint32_t height,
                 const std::vector<uint16_t>& raw);

} // namespace probe
