#pragma once

// Simulated recordings for the recording tests: files in the scratch folder
// and the frames the decoder must make of them.

#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QtTest>
#include <algorithm>
#include <numeric>

namespace recordings {

// A row of a data table: its name, then its columns.
template <class... T>
void row(const char* name, const T&... columns) {
    (QTest::newRow(name) << ... << columns);
}

// The path of name in the scratch folder, holding bytes (no file for a null array).
inline QString scratch(const QString& name, const QByteArray& bytes = QByteArray()) {
    const QString path = testsupport::scratchDir() + QLatin1Char('/') + name;
    QFile::remove(path);
    if (!bytes.isNull() && !synth::writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Frames of width x height without drift; frame n has the counter 41 + n.
inline synth::MovieOptions options(int version, bool compressed = false, int frames = 1,
                                   int width = 160, int height = 128) {
    synth::MovieOptions o;
    o.frames = frames;
    o.version = version;
    o.compressed = compressed;
    o.scene.width = width;
    o.scene.height = height;
    o.scene.seed = uint32_t(version * 1000 + width);
    o.driftPerFrameRaw = 0.0;
    o.firstCounter = 42;
    return o;
}

// Frame n (1-based) as the decoder gives it back: the last three values of a
// frame of a known geometry repeat the value before them.
inline std::vector<uint16_t> decoded(const synth::MovieOptions& o, int frame = 1) {
    std::vector<uint16_t> raw = synth::renderScene(o.scene, frame - 1);
    std::fill(raw.end() - 3, raw.end(), raw[raw.size() - 4]);
    return raw;
}

// The statistics of frame n of a recording as the probe writes them: the
// minimum, maximum and mean, and the hot spot, the first maximum in stream
// order.
inline QString stats(const synth::MovieOptions& o, int frame = 1) {
    const std::vector<uint16_t> raw = decoded(o, frame);
    const auto [low, hot] = std::minmax_element(raw.begin(), raw.end());
    const long at = long(std::find(raw.begin(), raw.end(), *hot) - raw.begin());
    const uint64_t sum = std::accumulate(raw.begin(), raw.end(), uint64_t(0));
    return QString::asprintf("min=%u max=%u mean=%u hotspot={ column=%ld row=%ld value=%u",
                             uint(*low), uint(*hot), uint(sum / raw.size()), at % o.scene.width + 1,
                             at / o.scene.width + 1, uint(*hot));
}

} // namespace recordings
