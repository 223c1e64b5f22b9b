#include "export/PngWriter.h"

#include <QSaveFile>
#include <array>
#include <cstring>
#include <vector>

namespace kx {
namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320u; // reflected CRC-32 of PNG and zlib
constexpr size_t kStoredBlockMax = 65535;
constexpr uint32_t kAdlerModulus = 65521;
// Largest n for which 255 n (n + 1) / 2 + (n + 1)(65520) fits 32 bits: the
// sums may run that long before they must be reduced.
constexpr size_t kAdlerRun = 5552;

// Tables for slicing by 8: table[k][b] is the CRC of byte b followed by k
// zero bytes.
using CrcTables = std::array<std::array<uint32_t, 256>, 8>;

CrcTables makeCrcTables() {
    CrcTables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (c >> 1) ^ kCrcPolynomial : c >> 1;
        t[0][b] = c;
    }
    for (uint32_t b = 0; b < 256; ++b) {
        for (size_t k = 1; k < 8; ++k)
            t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFFu];
    }
    return t;
}

const CrcTables& crcTables() {
    static const CrcTables tables = makeCrcTables();
    return tables;
}

void putBigEndian(unsigned char* at, uint32_t value) {
    at[0] = uchar(value >> 24);
    at[1] = uchar(value >> 16);
    at[2] = uchar(value >> 8);
    at[3] = uchar(value);
}

// Appends one chunk: length, type, data, CRC over type and data.
void appendChunk(QByteArray& out, const char type[4], const unsigned char* data, size_t length) {
    const int start = out.size();
    out.resize(start + 12 + int(length));
    auto* p = reinterpret_cast<unsigned char*>(out.data()) + start;
    putBigEndian(p, uint32_t(length));
    std::memcpy(p + 4, type, 4);
    if (length > 0)
        std::memcpy(p + 8, data, length);
    putBigEndian(p + 8 + length, crc32(p + 4, length + 4));
}

} // namespace

uint32_t crc32(const unsigned char* data, size_t length, uint32_t crc) {
    const CrcTables& t = crcTables();
    uint32_t c = ~crc;
    while (length >= 8) {
        const uint32_t lo = c ^ (uint32_t(data[0]) | uint32_t(data[1]) << 8 |
                                 uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24);
        c = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^
            t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
        data += 8;
        length -= 8;
    }
    while (length-- > 0)
        c = (c >> 8) ^ t[0][(c ^ *data++) & 0xFFu];
    return ~c;
}

uint32_t adler32(const unsigned char* data, size_t length, uint32_t adler) {
    uint32_t a = adler & 0xFFFFu;
    uint32_t b = adler >> 16;
    while (length > 0) {
        const size_t run = length < kAdlerRun ? length : kAdlerRun;
        length -= run;
        for (size_t i = 0; i < run; ++i) {
            a += data[i];
            b += a;
        }
        data += run;
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return b << 16 | a;
}

bool canStorePng(const QImage& image) {
    return !image.isNull() &&
           (image.format() == QImage::Format_RGB888 || image.format() == QImage::Format_RGB32);
}

QByteArray encodeStoredPng(const QImage& image) {
    if (!canStorePng(image))
        return QByteArray();
    const size_t width = size_t(image.width());
    const size_t height = size_t(image.height());
    const size_t rowBytes = 1 + 3 * width;
    const size_t rawBytes = rowBytes * height;
    const size_t blocks = rawBytes == 0 ? 1 : (rawBytes + kStoredBlockMax - 1) / kStoredBlockMax;
    const size_t zlibBytes = 2 + 5 * blocks + rawBytes + 4;

    // The rows go straight into their stored blocks: the block headers are
    // written around them as the rows are copied.
    QByteArray zlib(int(zlibBytes), Qt::Uninitialized);
    auto* z = reinterpret_cast<unsigned char*>(zlib.data());
    z[0] = 0x78;
    z[1] = 0x01;
    unsigned char* out = z + 2;
    size_t blockLeft = 0;
    size_t rawLeft = rawBytes;
    uint32_t adler = 1;
    auto openBlockIfNeeded = [&]() {
        if (blockLeft > 0)
            return;
        blockLeft = rawLeft < kStoredBlockMax ? rawLeft : kStoredBlockMax;
        out[0] = blockLeft == rawLeft ? 0x01 : 0x00;
        out[1] = uchar(blockLeft);
        out[2] = uchar(blockLeft >> 8);
        out[3] = uchar(~blockLeft);
        out[4] = uchar(~blockLeft >> 8);
        out += 5;
    };
    auto put = [&](const unsigned char* bytes, size_t count) {
        adler = adler32(bytes, count, adler);
        while (count > 0) {
            openBlockIfNeeded();
            const size_t n = count < blockLeft ? count : blockLeft;
            std::memcpy(out, bytes, n);
            out += n;
            bytes += n;
            count -= n;
            blockLeft -= n;
            rawLeft -= n;
        }
    };

    std::vector<unsigned char> row(rowBytes);
    row[0] = 0; // filter: none
    for (size_t y = 0; y < height; ++y) {
        const uchar* line = image.constScanLine(int(y));
        if (image.format() == QImage::Format_RGB888) {
            std::memcpy(row.data() + 1, line, 3 * width);
        } else {
            const auto* pixels = reinterpret_cast<const QRgb*>(line);
            unsigned char* p = row.data() + 1;
            for (size_t x = 0; x < width; ++x) {
                *p++ = uchar(qRed(pixels[x]));
                *p++ = uchar(qGreen(pixels[x]));
                *p++ = uchar(qBlue(pixels[x]));
            }
        }
        put(row.data(), rowBytes);
    }
    putBigEndian(out, adler);

    QByteArray file;
    file.reserve(int(zlibBytes) + 8 + 25 + 21 + 12 + 12);
    file.append("\x89PNG\r\n\x1a\n", 8);
    unsigned char ihdr[13];
    putBigEndian(ihdr, uint32_t(width));
    putBigEndian(ihdr + 4, uint32_t(height));
    ihdr[8] = 8;  // bits per sample
    ihdr[9] = 2;  // colour type: RGB
    ihdr[10] = 0; // deflate
    ihdr[11] = 0; // adaptive filtering method (every row says "none")
    ihdr[12] = 0; // no interlace
    appendChunk(file, "IHDR", ihdr, sizeof ihdr);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        unsigned char phys[9];
        putBigEndian(phys, uint32_t(image.dotsPerMeterX()));
        putBigEndian(phys + 4, uint32_t(image.dotsPerMeterY()));
        phys[8] = 1; // unit: metre
        appendChunk(file, "pHYs", phys, sizeof phys);
    }
    appendChunk(file, "IDAT", z, zlibBytes);
    appendChunk(file, "IEND", nullptr, 0);
    return file;
}

bool writeStoredPng(const QImage& image, const QString& fileName) {
    const QByteArray bytes = encodeStoredPng(image);
    if (bytes.isEmpty())
        return false;
    // A failed write leaves no partial picture behind.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace kx
