#include "export/PngWriter.h"

#include <QFile>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <wmmintrin.h>
#endif
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

} // namespace

namespace {

// The table CRC on the bit-reversed register (no inversions).
uint32_t crcTableUpdate(uint32_t c, const unsigned char* data, size_t length) {
    const CrcTables& t = crcTables();
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
    return c;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Carry-less multiplication folds 64 bytes per step (Intel's "Fast CRC
// Computation for Generic Polynomials Using PCLMULQDQ", reflected form). The
// constants are x^k mod P for the CRC-32 polynomial, bit-reflected:
// R1 = x^(4*128+32), R2 = x^(4*128-32), R3 = x^(128+32), R4 = x^(128-32),
// R5 = x^64, and the Barrett pair P' and u' = floor(x^64 / P).
__attribute__((target("pclmul,sse2"))) inline __m128i load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Takes at least 64 bytes, a multiple of 16; returns the register.
__attribute__((target("pclmul,sse2"))) uint32_t crcFold(uint32_t c, const unsigned char* data,
                                                        size_t length) {
    const __m128i r2r1 = _mm_set_epi64x(0x1C6E41596LL, 0x154442BD4LL);
    const __m128i r4r3 = _mm_set_epi64x(0x0CCAA009ELL, 0x1751997D0LL);
    const __m128i r5 = _mm_set_epi64x(0, 0x163CD6124LL);
    const __m128i poly = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x1 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(int(c)));
    __m128i x2 = load(data + 16);
    __m128i x3 = load(data + 32);
    __m128i x4 = load(data + 48);
    data += 64;
    length -= 64;
    while (length >= 64) {
        x1 = fold(x1, r2r1, load(data));
        x2 = fold(x2, r2r1, load(data + 16));
        x3 = fold(x3, r2r1, load(data + 32));
        x4 = fold(x4, r2r1, load(data + 48));
        data += 64;
        length -= 64;
    }
    x1 = fold(x1, r4r3, x2);
    x1 = fold(x1, r4r3, x3);
    x1 = fold(x1, r4r3, x4);
    while (length >= 16) {
        x1 = fold(x1, r4r3, load(data));
        data += 16;
        length -= 16;
    }
    // 128 to 64 bits (R4 times the low half, plus the high half), then 64 to
    // 32 (R5), then Barrett reduction to the 32-bit remainder.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(r4r3, x1, 0x01), _mm_srli_si128(x1, 8));
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), r5, 0x00),
                       _mm_srli_si128(x1, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(x1, 4)));
}

bool haveCarrylessMultiply() {
    static const bool have = __builtin_cpu_supports("pclmul");
    return have;
}
#endif

} // namespace

uint32_t crc32(const unsigned char* data, size_t length, uint32_t crc) {
    uint32_t c = ~crc;
#if defined(__x86_64__) && defined(__GNUC__)
    if (length >= 64 && haveCarrylessMultiply()) {
        const size_t folded = length & ~size_t(15);
        c = crcFold(c, data, folded);
        data += folded;
        length -= folded;
    }
#endif
    return ~crcTableUpdate(c, data, length);
}

uint32_t crc32Portable(const unsigned char* data, size_t length, uint32_t crc) {
    return ~crcTableUpdate(~crc, data, length);
}

uint32_t adler32(const unsigned char* data, size_t length, uint32_t adler) {
    uint32_t a = adler & 0xFFFFu;
    uint32_t b = adler >> 16;
#if defined(__SSE2__)
    // Sixteen bytes per step. Over k steps from (a, b):
    //   a' = a + S, b' = b + 16 k a + 16 P + W,
    // where S sums all bytes, P sums, before each step, the bytes of the
    // steps before it, and W weights byte i of a step by 16 - i. The runs are
    // short enough that no 32-bit lane overflows; b' is formed in 64 bits.
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsLow = _mm_set_epi16(9, 10, 11, 12, 13, 14, 15, 16);
    const __m128i weightsHigh = _mm_set_epi16(1, 2, 3, 4, 5, 6, 7, 8);
    while (length >= 16) {
        const size_t steps = (length < kAdlerRun ? length : kAdlerRun) / 16;
        __m128i sum = zero;      // S, in the two 64-bit halves
        __m128i previous = zero; // P, likewise
        __m128i weighted = zero; // W, in four 32-bit lanes
        for (size_t k = 0; k < steps; ++k) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
            previous = _mm_add_epi64(previous, sum);
            sum = _mm_add_epi64(sum, _mm_sad_epu8(bytes, zero));
            weighted =
                _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsLow));
            weighted = _mm_add_epi32(weighted,
                                     _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsHigh));
            data += 16;
        }
        length -= steps * 16;
        alignas(16) uint64_t s64[2];
        alignas(16) uint64_t p64[2];
        alignas(16) uint32_t w32[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(s64), sum);
        _mm_store_si128(reinterpret_cast<__m128i*>(p64), previous);
        _mm_store_si128(reinterpret_cast<__m128i*>(w32), weighted);
        const uint64_t s = s64[0] + s64[1];
        const uint64_t p = p64[0] + p64[1];
        const uint64_t w = uint64_t(w32[0]) + w32[1] + w32[2] + w32[3];
        const uint64_t bNew = b + 16 * uint64_t(steps) * a + 16 * p + w;
        a = uint32_t((a + s) % kAdlerModulus);
        b = uint32_t(bNew % kAdlerModulus);
    }
#endif
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

namespace {

// The whole file into out (resized to fit).
void encodeInto(const QImage& image, std::vector<unsigned char>& out) {
    const size_t width = size_t(image.width());
    const size_t height = size_t(image.height());
    const size_t rowBytes = 1 + 3 * width;
    const size_t rawBytes = rowBytes * height;
    const size_t blocks = (rawBytes + kStoredBlockMax - 1) / kStoredBlockMax;
    const size_t zlibBytes = 2 + 5 * blocks + rawBytes + 4;
    const bool withPhys = image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0;
    const size_t headBytes = 8 + 25 + (withPhys ? 21 : 0);
    const size_t fileBytes = headBytes + 12 + zlibBytes + 12;

    // The file is laid out once; the rows are copied straight into their
    // stored blocks, so every pixel byte is read twice (copy and Adler-32)
    // and the IDAT bytes once more for the CRC.
    out.resize(fileBytes);
    unsigned char* p = out.data();
    std::memcpy(p, "\x89PNG\r\n\x1a\n", 8);
    p += 8;
    auto chunk = [&](const char type[4], size_t length, auto&& fill) {
        putBigEndian(p, uint32_t(length));
        std::memcpy(p + 4, type, 4);
        fill(p + 8);
        putBigEndian(p + 8 + length, crc32(p + 4, length + 4));
        p += 12 + length;
    };
    chunk("IHDR", 13, [&](unsigned char* d) {
        putBigEndian(d, uint32_t(width));
        putBigEndian(d + 4, uint32_t(height));
        d[8] = 8;  // bits per sample
        d[9] = 2;  // colour type: RGB
        d[10] = 0; // deflate
        d[11] = 0; // adaptive filtering method (every row says "none")
        d[12] = 0; // no interlace
    });
    if (withPhys) {
        chunk("pHYs", 9, [&](unsigned char* d) {
            putBigEndian(d, uint32_t(image.dotsPerMeterX()));
            putBigEndian(d + 4, uint32_t(image.dotsPerMeterY()));
            d[8] = 1; // unit: metre
        });
    }
    chunk("IDAT", zlibBytes, [&](unsigned char* z) {
        z[0] = 0x78;
        z[1] = 0x01;
        unsigned char* at = z + 2;
        size_t blockLeft = 0;
        size_t rawLeft = rawBytes;
        uint32_t adler = 1;
        auto put = [&](const unsigned char* bytes, size_t count) {
            adler = adler32(bytes, count, adler);
            while (count > 0) {
                if (blockLeft == 0) {
                    blockLeft = rawLeft < kStoredBlockMax ? rawLeft : kStoredBlockMax;
                    at[0] = blockLeft == rawLeft ? 0x01 : 0x00;
                    at[1] = uchar(blockLeft);
                    at[2] = uchar(blockLeft >> 8);
                    at[3] = uchar(~blockLeft);
                    at[4] = uchar(~blockLeft >> 8);
                    at += 5;
                }
                const size_t n = count < blockLeft ? count : blockLeft;
                std::memcpy(at, bytes, n);
                at += n;
                bytes += n;
                count -= n;
                blockLeft -= n;
                rawLeft -= n;
            }
        };
        const unsigned char filterNone = 0;
        std::vector<unsigned char> row;
        if (image.format() != QImage::Format_RGB888)
            row.resize(3 * width);
        for (size_t y = 0; y < height; ++y) {
            put(&filterNone, 1);
            const uchar* line = image.constScanLine(int(y));
            if (image.format() == QImage::Format_RGB888) {
                put(line, 3 * width);
                continue;
            }
            const auto* pixels = reinterpret_cast<const QRgb*>(line);
            unsigned char* rgb = row.data();
            for (size_t x = 0; x < width; ++x) {
                *rgb++ = uchar(qRed(pixels[x]));
                *rgb++ = uchar(qGreen(pixels[x]));
                *rgb++ = uchar(qBlue(pixels[x]));
            }
            put(row.data(), row.size());
        }
        putBigEndian(at, adler);
    });
    chunk("IEND", 0, [](unsigned char*) {});
}

} // namespace

QByteArray encodeStoredPng(const QImage& image) {
    if (!canStorePng(image))
        return QByteArray();
    std::vector<unsigned char> bytes;
    encodeInto(image, bytes);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
}

bool writeStoredPng(const QImage& image, const QString& fileName) {
    if (!canStorePng(image))
        return false;
    // One buffer per thread, reused from frame to frame of an export.
    thread_local std::vector<unsigned char> bytes;
    encodeInto(image, bytes);
    // A failed write leaves no partial picture behind. (No save-and-rename:
    // its flush to disk per file would cost more than the encoding.)
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 size = qint64(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size || !file.flush()) {
        file.close();
        file.remove();
        return false;
    }
    file.close();
    return file.error() == QFileDevice::NoError;
}

} // namespace kx
