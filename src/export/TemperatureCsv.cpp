#include "export/TemperatureCsv.h"

#include "base/Radiometry.h"
#include "export/ExportTarget.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kx {
namespace {

// Longest text of one value: six significant digits in exponent notation
// with sign ("-1.23457e+06", 12 characters), or a 16-bit count.
constexpr int kSlotBytes = 16;

} // namespace

QByteArray encodeTemperatureCsv(const DecodedFrame& frame, float kelvinPerCount,
                                const QString& delimiter) {
    if (!frame.isValid())
        return QByteArray();
    const bool temperatures = radiometry::showsTemperatures(kelvinPerCount);
    const QByteArray separator = delimiter.toUtf8();

    // A value's text depends on the count alone; a frame holds at most a few
    // thousand distinct counts, so each is formatted once. Slot byte 0 holds
    // the text's length, 0 while it is not made yet.
    const uint16_t largest = *std::max_element(frame.raw.begin(), frame.raw.end());
    std::vector<char> texts(size_t(largest + 1) * kSlotBytes, '\0');
    auto textOf = [&](uint16_t raw) -> const char* {
        char* slot = texts.data() + size_t(raw) * kSlotBytes;
        if (slot[0] == 0) {
            const QByteArray text =
                temperatures
                    ? QByteArray::number(
                          double(float(radiometry::celsiusFromRaw(raw, kelvinPerCount))), 'g', 6)
                    : QByteArray::number(raw);
            slot[0] = char(text.size());
            std::memcpy(slot + 1, text.constData(), size_t(text.size()));
        }
        return slot;
    };

    QByteArray out;
    out.reserve(int(frame.raw.size() * size_t(8 + separator.size()) + frame.height));
    const uint16_t* pixel = frame.raw.data();
    for (uint32_t row = 0; row < frame.height; ++row) {
        for (uint32_t column = 0; column < frame.width; ++column) {
            const char* slot = textOf(*pixel++);
            out.append(slot + 1, slot[0]);
            out.append(separator);
        }
        out.append('\n');
    }
    return out;
}

bool writeTemperatureCsv(const QString& fileName, const DecodedFrame& frame, float kelvinPerCount,
                         const QString& delimiter, QString* error) {
    const QByteArray bytes = encodeTemperatureCsv(frame, kelvinPerCount, delimiter);
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("The frame holds no pixels");
        return false;
    }
    return writeExportFile(fileName, bytes, error);
}

} // namespace kx
