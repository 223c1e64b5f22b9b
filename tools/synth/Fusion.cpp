// Fusion recordings: a compressed thermal frame and a daylight block per
// moment. The daylight picture is a real JPEG, a plain colour per frame, so
// that a reader's pairing of pictures and frames can be checked by colour.
#include "synth/Synth.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>

namespace synth {

namespace {

constexpr int kDaylightHeaderBytes = 2048;

bool listed(const std::vector<int>& frames, int frame) {
    return std::find(frames.begin(), frames.end(), frame) != frames.end();
}

QByteArray signatureOf(const char* tag, int version) {
    return QByteArray(tag, 4) + char(uint8_t(version));
}

// A part that holds either signature after its own start would be split by a
// reader's scan.
bool holdsSignature(const QByteArray& bytes, int version) {
    return bytes.indexOf(signatureOf("VELM", version), 1) >= 0 ||
           bytes.indexOf(signatureOf("JPEG", version), 1) >= 0;
}

} // namespace

QRgb daylightColourOf(int frame) {
    // Steps of 97, 53 and 151 (mod 256) keep neighbouring frames at least 50
    // apart in some channel, far more than JPEG loses on a flat picture.
    return qRgb((40 + frame * 97) % 256, (200 + frame * 53) % 256, (90 + frame * 151) % 256);
}

QByteArray makeDaylightJpeg(const FusionOptions& options, int frame) {
    QImage picture(options.daylightWidth, options.daylightHeight, QImage::Format_RGB32);
    picture.fill(daylightColourOf(frame));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "JPG", options.jpegQuality))
        return {};
    if (listed(options.corruptJpeg, frame)) {
        // No start-of-image marker: no decoder takes it for a JPEG.
        std::fill(jpeg.begin(), jpeg.begin() + std::min(64, jpeg.size()), '\0');
    }
    return jpeg;
}

QByteArray makeDaylightBlock(int version, const QByteArray& jpeg) {
    QByteArray block = signatureOf("JPEG", version);
    block += QByteArray(kDaylightHeaderBytes - block.size(), '\0');
    return block + jpeg;
}

QByteArray makeFusion(const FusionOptions& options) {
    MovieOptions thermal = options.thermal;
    thermal.compressed = true;
    if (thermal.frames < 1 || headerLength(thermal.version) != 2048)
        return {};
    const int frames = thermal.frames + (options.trailingThermal ? 1 : 0);
    thermal.frames = frames;
    QByteArray file;
    QByteArray carry;
    for (int frame = 1; frame <= frames; ++frame) {
        const QByteArray thermalFrame = makeMovieFrame(thermal, frame, carry);
        if (thermalFrame.isEmpty() || holdsSignature(thermalFrame, thermal.version))
            return {};
        file += thermalFrame;
        if ((options.trailingThermal && frame == frames) || listed(options.droppedDaylight, frame))
            continue;
        const QByteArray block =
            makeDaylightBlock(thermal.version, makeDaylightJpeg(options, frame));
        if (block.size() <= kDaylightHeaderBytes || holdsSignature(block, thermal.version))
            return {};
        file += block;
    }
    return file;
}

} // namespace synth
