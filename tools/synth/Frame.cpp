#include "synth/Synth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace synth {

namespace {

// Frame layout of versions 3-6: the 2,048 header bytes are followed by 2,048
// bytes that readers skip, and the recorder's frame counter sits two bytes
// into them.
constexpr uint32_t kCounterOffset = 2050;
constexpr int kFpaOffset = 10;
constexpr int kHousingOffset = 14;
constexpr int kPartNumberOffset = 24;

void putLe16(QByteArray& bytes, int offset, uint16_t value) {
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void appendWords(QByteArray& bytes, const std::vector<uint16_t>& words) {
    const int start = bytes.size();
    bytes.resize(start + int(words.size()) * 2);
    char* out = bytes.data() + start;
    for (uint16_t w : words) {
        *out++ = char(w & 0xFF);
        *out++ = char(w >> 8);
    }
}

uint16_t scaledTemperature(double celsius, double factor) {
    const double v = std::floor(celsius * factor + 0.5);
    return uint16_t(std::clamp(v, 0.0, 65535.0));
}

// Collects codes most significant bit first into 16-bit words that are
// stored little-endian, the order in which the recorder's reader takes them.
class BitWriter {
public:
    explicit BitWriter(size_t expectedBits) { m_bytes.reserve(int(expectedBits / 8 + 4)); }
    void put(uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            m_word = uint16_t((m_word << 1) | ((bits >> i) & 1));
            if (++m_used == 16)
                flushWord();
        }
    }
    QByteArray finish() {
        if (m_used > 0) {
            m_word = uint16_t(m_word << (16 - m_used));
            flushWord();
        }
        return m_bytes;
    }

private:
    void flushWord() {
        m_bytes.append(char(m_word & 0xFF));
        m_bytes.append(char(m_word >> 8));
        m_word = 0;
        m_used = 0;
    }
    QByteArray m_bytes;
    uint16_t m_word = 0;
    int m_used = 0;
};

} // namespace

uint32_t headerLength(int version) {
    switch (version) {
    case 0:
        return 23;
    case 1:
        return 8200;
    case 2:
        return 8204;
    default:
        return 2048;
    }
}

uint32_t serialOffset(int version) {
    switch (version) {
    case 1:
        return 6;
    case 2:
    case 3:
    case 4:
        return 10;
    case 5:
        return 40;
    case 6:
        return 68;
    default:
        return 0;
    }
}

uint32_t serialLength(int version) {
    switch (version) {
    case 1:
    case 2:
        return 8192;
    case 3:
    case 4:
        return 2036;
    case 5:
        return 2006;
    case 6:
        return 1978;
    default:
        return 0;
    }
}

QByteArray makeHeader(const HeaderOptions& options) {
    const int version = options.version;
    QByteArray header(int(headerLength(version)), '\0');
    std::memcpy(header.data(), "VELM", 4);
    header[4] = char(uint8_t(version));

    const int blockOffset = int(serialOffset(version));
    const int blockLength = int(serialLength(version));
    std::memcpy(header.data() + blockOffset, options.serial.constData(),
                size_t(std::min(blockLength, int(options.serial.size()))));

    if (version == 5 || version == 6) {
        putLe16(header, kFpaOffset, scaledTemperature(options.tempFPACelsius, 10));
        putLe16(header, kHousingOffset, scaledTemperature(options.tempHousingCelsius, 100));
        // The part number runs up to the serial block; its zero must fit in front of it.
        const int room = blockOffset - kPartNumberOffset - 1;
        std::memcpy(header.data() + kPartNumberOffset, options.partNumber.constData(),
                    size_t(std::min(room, int(options.partNumber.size()))));
    }
    return header;
}

QByteArray makeRawFrame(const HeaderOptions& header, const std::vector<uint16_t>& words) {
    QByteArray frame = makeHeader(header);
    const int h = frame.size();
    frame.append(QByteArray(h, '\0'));
    // Only the 2,048-byte headers leave the counter's place free; the longer
    // headers of versions 1 and 2 hold their serial block there.
    if (uint32_t(h) == 2048)
        putLe16(frame, int(kCounterOffset), header.frameCounter);
    appendWords(frame, words);
    return frame;
}

QByteArray makeCompressedFrame(const HeaderOptions& header, const std::vector<uint16_t>& words) {
    const QByteArray code = compressWords(words, header.frameCounter);
    if (code.isEmpty())
        return {};
    return makeHeader(header) + code;
}

QByteArray compressWords(const std::vector<uint16_t>& words, uint16_t sideValue) {
    BitWriter out(32 + words.size() * 6);
    out.put(0x0001, 16); // escape
    out.put(sideValue & 0x3FFF, 16);
    // The reader adds a difference to the word written last; the escape has
    // just written a separator, which contributes 0.
    int previous = 0;
    for (uint16_t w : words) {
        if ((w & 0x8000) == 0) {
            out.put(0, 16);
            previous = 0;
            continue;
        }
        const int value = w & 0x3FFF;
        // Sums wrap within 14 bits, so the nearest difference may go the other way round.
        int d = value - previous;
        if (d > 8191)
            d -= 16384;
        else if (d < -8192)
            d += 16384;
        if (d >= -4 && d <= 3) {
            out.put(0x3, 2);
            out.put(uint32_t(d) & 0x7, 3);
        } else if (d >= -12 && d <= 11) {
            out.put(0x2, 2);
            out.put(uint32_t(d >= 0 ? d - 4 : d + 4) & 0xF, 4);
        } else if (d >= -44 && d <= 43) {
            out.put(0x1, 2);
            out.put(uint32_t(d >= 0 ? d - 12 : d + 12) & 0x3F, 6);
        } else if (value >= 2) {
            out.put(uint32_t(value), 16);
        } else {
            return {}; // 0 and 1 are the separator and the escape
        }
        previous = value;
    }
    return out.finish();
}

bool containsSignature(const QByteArray& bytes, int version, int from) {
    const char signature[5] = {'V', 'E', 'L', 'M', char(uint8_t(version))};
    return bytes.indexOf(QByteArray(signature, 5), std::max(0, from)) >= 0;
}

} // namespace synth
