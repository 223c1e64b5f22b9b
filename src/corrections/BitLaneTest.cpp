#include "corrections/BitLaneTest.h"

#include "recording/DataConverter.h"

#include <QDebug>

namespace bitlane {

QStringList reportLines(const std::vector<uint16_t>& raw) {
    if (raw.size() < kMinValues)
        return {QStringLiteral("No current frame available")};
    uint16_t ones = 0;
    uint16_t zeros = 0;
    for (const uint16_t v : raw) {
        ones |= v;
        zeros |= uint16_t(~v);
    }
    const auto digits = [](uint16_t mask) {
        return QStringLiteral("%1").arg(uint(mask), 16, 2, QLatin1Char('0'));
    };
    return {QStringLiteral("MaskZeros: ") + digits(ones),
            QStringLiteral("MaskOnes:  ") + digits(zeros)};
}

} // namespace bitlane

BitLaneTest::BitLaneTest(DataConverter* converter)
    : QObject(nullptr)
    , m_converter(converter) {}

void BitLaneTest::testFrame() {
    rawVideoChunk chunk;
    if (m_converter)
        m_converter->getCurrentRawVideoChunk(chunk);
    for (const QString& line : bitlane::reportLines(chunk.rawData))
        qDebug().noquote() << line;
}
