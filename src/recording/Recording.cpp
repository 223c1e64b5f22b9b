#include "recording/Recording.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"
#include "recording/CompressedStream.h"
#include "recording/FrameHeader.h"
#include "telemetry/SerialTelemetry.h"

#include <QtEndian>
#include <algorithm>
#include <climits>

namespace {

// Compressed code starts after the 2,048-byte header of versions 4 to 6. The
// longer headers of versions 1 and 2 hold serial data where byte 2048 falls,
// so there the code is taken to start right after the header.
constexpr uint32_t kCompressedCodeStart = 2048;

} // namespace

Recording::Recording(const QString& fileName)
    : fileName(fileName)
    , file(std::make_unique<QFile>(fileName)) {
    file->open(QIODevice::ReadOnly);
}

int Recording::frameCount() const {
    return int(std::min<size_t>(frameOffsets.size(), size_t(INT32_MAX)));
}

bool Recording::isMovie() const {
    return frameCount() > 0 && isOpen() && kx::isMovieKind(kx::fileKindOf(fileName));
}

uint64_t Recording::frameOffset(int n) const {
    return (n >= 1 && n <= frameCount()) ? frameOffsets[size_t(n - 1)] : 0;
}

int64_t Recording::frameSize(int n) const {
    return (n >= 1 && n <= frameCount()) ? frameSizes[size_t(n - 1)] : 0;
}

qint64 Recording::readFrame(int n, std::vector<uint16_t>& buffer) const {
    if (n < 1 || n > frameCount() || !isOpen())
        return -1;
    const size_t wanted = size_t(std::max<int64_t>(frameSize(n), 0));
    if (buffer.size() * 2 < wanted)
        buffer.resize((wanted + 1) / 2);
    if (!file->seek(qint64(frameOffset(n))))
        return -1;
    return file->read(reinterpret_cast<char*>(buffer.data()), qint64(wanted));
}

bool Recording::read(int n, const FrameReadOptions& options, FrameReadScratch& scratch,
                     kx::DecodedFrame& frame) const {
    const auto refuse = [&frame] {
        frame.raw.clear();
        frame.width = 0;
        frame.height = 0;
        return false;
    };
    const qint64 got = frameSize(n) > kLargestFrameBytes ? -1 : readFrame(n, scratch.frame);
    if (got < 1)
        return refuse();
    // What the header and its serial block state is cleared before they are
    // read, so a frame whose header is cut shows no position of another.
    kx::Telemetry& telemetry = frame.telemetry;
    telemetry.latitude = 0.0;
    telemetry.longitude = 0.0;
    telemetry.date.clear();
    telemetry.time.clear();
    telemetry.pitch = 0.0;
    telemetry.roll = 0.0;
    telemetry.yaw = 0.0;
    frame.tempFPACelsius = 0.0;
    frame.tempHousingCelsius = 0.0;
    uint8_t* const bytes = reinterpret_cast<uint8_t*>(scratch.frame.data());
    FrameHeader header;
    if (!frameheader::parse(version, bytes, size_t(got), header))
        return refuse();
    const FrameHeaderLayout& layout = header.layout;

    // The parsers rewrite the block in place; it lies in the header, before
    // any word that is decoded, and the stored copy is taken after them.
    if (layout.serialLength > 0) {
        char* block = reinterpret_cast<char*>(bytes) + layout.serialOffset;
        serialtelemetry::parse(block, layout.serialLength, options.serial, options.hourOffset,
                               telemetry);
        frame.serialBlock = QByteArray(block, int(layout.serialLength));
    }
    if (layout.hasCameraData) {
        frame.partNumber = QString::fromLatin1(header.partNumber);
        frame.tempFPACelsius = header.tempFPACelsius;
        frame.tempHousingCelsius = header.tempHousingCelsius;
    }
    frame.focalLengthMM = kx::partnumber::focalLengthMM(frame.partNumber);
    frame.sensorWidthMM = 0.0f;
    frame.sensorHeightMM = 0.0f;
    kx::partnumber::sensorSizeMM(frame.partNumber, frame.sensorWidthMM, frame.sensorHeightMM);

    const size_t frameWords = size_t(got) / 2;
    size_t count = 0;
    const uint16_t* stream = nullptr; // the word stream the decoder takes
    if (compressed) {
        const uint32_t codeStart = std::max(kCompressedCodeStart, layout.headerLength);
        scratch.words.resize(compressed::kMaxExpandedWords);
        const compressed::ExpansionResult expansion = compressed::expand(
            bytes, int64_t(frameWords), {codeStart / 2, 0}, scratch.words.data());
        count = expansion.count;
        stream = scratch.words.data();
        frame.streamFrameNumberSeen = expansion.sideValueSeen;
        if (expansion.sideValueSeen)
            frame.streamFrameNumber = expansion.sideValue;
    } else {
        // The stream starts 2H bytes into the frame and is decoded for as many
        // words as the whole frame holds, so its last 2H bytes' worth of words
        // lie past the frame: they read as 0, separators that close an open
        // last row.
        const size_t start = size_t(2) * layout.headerLength;
        const size_t heldBytes = size_t(got) > start ? size_t(got) - start : 0;
        const size_t heldWords = std::min(heldBytes / 2, frameWords);
        count = frameWords;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        // The words are decoded where they lie; only the zeros past the frame
        // are written (the buffer keeps its size from frame to frame).
        const size_t first = start / 2;
        if (scratch.frame.size() < first + count)
            scratch.frame.resize(first + count);
        std::fill(scratch.frame.begin() + qsizetype(first + heldWords),
                  scratch.frame.begin() + qsizetype(first + count), uint16_t(0));
        stream = scratch.frame.data() + first;
#else
        scratch.words.resize(count);
        if (heldWords > 0)
            qFromLittleEndian<quint16>(bytes + start, qsizetype(heldWords), scratch.words.data());
        std::fill(scratch.words.begin() + qsizetype(heldWords), scratch.words.end(), uint16_t(0));
        stream = scratch.words.data();
#endif
        frame.streamFrameNumberSeen = false;
    }

    const framedecoder::Result r =
        framedecoder::decode(stream, count, n - 1, options.corrections, frame.raw);
    frame.frameNumber = n;
    frame.width = r.width;
    frame.height = r.height;
    frame.minRaw = r.minRaw;
    frame.maxRaw = r.maxRaw;
    if (r.decodable())
        frame.meanRaw = r.meanRaw;
    frame.hotspotColumn = r.hotspotColumn;
    frame.hotspotRow = r.hotspotRow;
    frame.hotspotValue = r.hotspotValue;
    return true;
}

kx::DecodedFrame Recording::read(int n, const FrameReadOptions& options) const {
    FrameReadScratch scratch;
    kx::DecodedFrame frame;
    read(n, options, scratch, frame);
    return frame;
}
