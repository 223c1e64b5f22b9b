#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>

// PNG files for the picture export at quality 95. The image library's PNG
// writer maps quality q to the zlib level (100 - q) * 9 / 91, which is 0 for
// 95: the pixels are stored, not compressed. It still runs libpng's adaptive
// row filters, which cost more than everything else of an exported frame
// while they cannot make a stored stream any smaller. This writer stores the
// rows unfiltered in deflate's stored blocks: the same pixels, the same size
// class, several times faster.
//
// File layout: the 8-byte signature; IHDR (width, height, bit depth 8, colour
// type 2 = RGB, no interlace); pHYs with the image's dots per metre when it
// has them; one IDAT holding the zlib stream (header 78 01, stored blocks of
// at most 65535 bytes, each 0x00 or 0x01 for the last, LEN, ~LEN, the bytes;
// then the Adler-32 of the uncompressed rows, big-endian); IEND. Every row is
// the filter byte 0 followed by R, G, B per pixel. Chunk lengths and CRC-32s
// are big-endian.
namespace kx {

// CRC-32 of PNG and zlib; carry-less multiplication where the processor has
// it, tables elsewhere. crc32Portable always takes the tables.
uint32_t crc32(const unsigned char* data, size_t length, uint32_t crc = 0);
uint32_t crc32Portable(const unsigned char* data, size_t length, uint32_t crc = 0);
uint32_t adler32(const unsigned char* data, size_t length, uint32_t adler = 1);

// True for the image formats this writer takes (24-bit RGB and 32-bit
// RGB without alpha); others go to the image library's writer.
bool canStorePng(const QImage& image);
// The whole file, or an empty array for an image it does not take.
QByteArray encodeStoredPng(const QImage& image);
// Writes the file; false when the image is not taken or the file cannot be
// written completely.
bool writeStoredPng(const QImage& image, const QString& fileName);

} // namespace kx
