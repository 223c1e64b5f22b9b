#include "synth/Synth.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace synth {

namespace {

// A frame that holds the signature by accident would be split in two by a
// reader's scan; a handful of noise variants always clears it unless the
// bytes that hold it do not depend on the noise.
constexpr int kSignatureAttempts = 16;

QByteArray serialBlockFor(const MovieOptions& options, int frame, int attempt, QByteArray& carry) {
    const double seconds = (frame - 1) * options.frameIntervalS;
    const int blockLength = int(serialLength(options.version));
    switch (options.telemetry) {
    case Telemetry::None:
        return options.serialText;
    case Telemetry::Nmea:
        return nmeaBlock(flightStateAt(options.flight, seconds), options.flight.nmeaTalker);
    case Telemetry::MdDownlink:
        return mdDownlinkBlock(flightStateAt(options.flight, seconds));
    case Telemetry::MAVLink: {
        const uint32_t bootMs =
            options.bootMsAtStart + uint32_t(std::llround(std::max(0.0, seconds) * 1000.0));
        // Five frames per block; another attempt shifts the sequence numbers
        // so the block's bytes change too.
        const uint8_t sequence = uint8_t((frame - 1) * 5 + attempt * 101);
        return mavlinkBlock(flightStateAt(options.flight, seconds), bootMs, carry,
                            options.splitMavlinkFrames, blockLength, sequence);
    }
    }
    return {};
}

} // namespace

QByteArray makeMovieFrame(const MovieOptions& options, int frame, QByteArray& carry) {
    const QByteArray carryBefore = carry;
    for (int attempt = 0; attempt < kSignatureAttempts; ++attempt) {
        carry = carryBefore;
        SceneOptions scene = options.scene;
        scene.driftRaw += driftOf(options, frame);
        scene.noiseVariant += uint32_t(attempt);
        StreamOptions stream = options.stream;
        stream.seed += uint32_t(frame - 1);
        const std::vector<uint16_t> words =
            makeWordStream(renderScene(scene, frame - 1), scene.width, scene.height, stream);

        HeaderOptions header;
        header.version = options.version;
        header.serial = serialBlockFor(options, frame, attempt, carry);
        header.partNumber = partNumberOf(options);
        header.tempFPACelsius = options.tempFPACelsius;
        header.tempHousingCelsius = options.tempHousingCelsius;
        header.frameCounter = frameCounterOf(options, frame);
        const QByteArray bytes =
            options.compressed ? makeCompressedFrame(header, words) : makeRawFrame(header, words);
        if (bytes.isEmpty())
            return {};
        if (!containsSignature(bytes, options.version, 1))
            return bytes;
    }
    return {};
}

QByteArray defaultPartNumber(int width) {
    // Sensor code and the usual lens of each core.
    switch (width) {
    case 160:
        return "4616000900FR000";
    case 324:
        return "4632401300FR000";
    case 336:
        return "4633601300FR000";
    default:
        return "4664001900FR000";
    }
}

QByteArray partNumberOf(const MovieOptions& options) {
    return options.partNumber ? *options.partNumber : defaultPartNumber(options.scene.width);
}

uint16_t frameCounterOf(const MovieOptions& options, int frame) {
    int count = (options.firstCounter & 0x1FFF) + (frame - 1);
    for (int gap : options.counterGapsAfter)
        if (gap < frame)
            ++count;
    uint16_t counter = uint16_t(count & 0x1FFF);
    if (std::find(options.ffcFrames.begin(), options.ffcFrames.end(), frame) !=
        options.ffcFrames.end())
        counter |= 0x2000;
    return counter;
}

double driftOf(const MovieOptions& options, int frame) {
    int lastFfc = 1;
    for (int f : options.ffcFrames)
        if (f <= frame && f > lastFfc)
            lastFfc = f;
    return options.driftPerFrameRaw * (frame - lastFfc);
}

QByteArray makeSingleFrameFile(const MovieOptions& options) {
    QByteArray carry;
    return makeMovieFrame(options, 1, carry);
}

QByteArray makeMovie(const MovieOptions& options) {
    if (options.frames < 1)
        return {};
    // Compressed movie frames are read from byte 2048 whatever their header.
    if (options.compressed && headerLength(options.version) != 2048)
        return {};
    QByteArray movie;
    QByteArray carry;
    for (int frame = 1; frame <= options.frames; ++frame) {
        const QByteArray bytes = makeMovieFrame(options, frame, carry);
        if (bytes.isEmpty())
            return {};
        movie += bytes;
    }
    return movie;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace synth
