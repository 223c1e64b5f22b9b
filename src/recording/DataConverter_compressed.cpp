// Compressed frames: the converter's bit reader over frameBytes, the expansion
// into the pixel word stream, and the single compressed frame file (.THC).
#include "base/Report.h"
#include "recording/CompressedStream.h"
#include "recording/DataConverter.h"

#include <algorithm>

namespace {

QString quotedName(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

} // namespace

int64_t DataConverter::availableCodeWords() const {
    // frameWordCount never lets the reader past the bytes actually held.
    const int64_t held = int64_t(frameBytes.size() / 2);
    return std::max<int64_t>(0, std::min(frameWordCount, held));
}

bool DataConverter::getNextValueFromCompressed(short& value, unsigned char& kind) {
    compressed::BitPosition position{bitWordIndex, bitPos};
    int16_t v = value;
    uint8_t k = kind;
    const bool complete =
        compressed::readCodeBitwise(frameBytes.data(), availableCodeWords(), position, v, k);
    value = v;
    kind = k;
    bitWordIndex = position.wordIndex;
    bitPos = position.bitPos;
    return complete;
}

void DataConverter::processCompressedDataChunk(unsigned short* out, unsigned int& count) {
    const compressed::ExpansionResult result =
        compressed::expand(frameBytes.data(), availableCodeWords(), {bitWordIndex, bitPos}, out);
    decodedCount = int32_t(result.count);
    count = result.count;
    streamFrameNumberSeen = result.sideValueSeen;
    if (result.sideValueSeen)
        currentFrameNumber = result.sideValue;
    bitWordIndex = result.end.wordIndex;
    bitPos = result.end.bitPos;
}

bool DataConverter::loadFromCompressedRawFile(const QString& fileName,
                                              ksDefines::serialContent serial) {
    return keptUnlessLoaded([&] { return readCompressedFrameFile(fileName, serial); });
}

bool DataConverter::readCompressedFrameFile(const QString& fileName,
                                            ksDefines::serialContent serial) {
    bitWordIndex = 0;
    bitPos = 0;
    uint32_t headerLength = 0;
    if (!readSingleFrameHeader(fileName, serial, headerLength))
        return false;

    // The code starts right after the header; frameBytes holds only the code.
    QFile& file = *recording->file;
    const qint64 codeBytes = std::max<qint64>(0, file.size() - qint64(headerLength));
    qint64 got = 0;
    if (file.seek(qint64(headerLength)))
        got = file.read(reinterpret_cast<char*>(frameBytes.data()),
                        std::min<qint64>(codeBytes, qint64(frameBytes.size())));
    frameWordCount = std::max<qint64>(got, 0) / 2;

    std::vector<uint16_t>& words = readScratch.words;
    words.resize(compressed::kMaxExpandedWords);
    unsigned int count = 0;
    processCompressedDataChunk(words.data(), count);
    processDataChunk(words.data(), int64_t(count), 0);

    if (imageWidth == 0 || imageHeight == 0) {
        kx::console(QStringLiteral("DataConverter::loadFromRawFile no frame decoded from: ") +
                    quotedName(fileName));
        return false;
    }
    return true;
}

void DataConverter::getImageFromCompressedRAW(const QString& fileName, QImage& image, bool* ok,
                                              ksDefines::serialContent serial,
                                              ThermalImageConversionSet& set) {
    loadAndConvertSingleFrame(fileName, image, serial, ok, set, true);
}
