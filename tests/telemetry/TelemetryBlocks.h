#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>

// Hand-made serial blocks for the telemetry tests.

// A serial block in a heap allocation of exactly its size, so that a parser
// reading one byte past it is caught by the address sanitizer.
struct ExactBlock {
    explicit ExactBlock(const QByteArray& bytes)
        : size(uint32_t(bytes.size()))
        , data(new char[size]) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    char* get() const { return data.get(); }
    QByteArray contents() const { return QByteArray(data.get(), int(size)); }
    uint32_t size;
    std::unique_ptr<char[]> data;
};

namespace blocks {

// printf formatting of the C library, which keeps the sign of -0.
inline QString format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return QString::fromLatin1(text);
}

// value as `bytes` little-endian bytes.
inline QByteArray le(uint64_t value, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(uint8_t(value >> (8 * i)));
    return out;
}

// CRC-16/MCRF4XX bit by bit, independent of the parser's byte-wise form.
inline uint16_t crcBitwise(const QByteArray& bytes) {
    uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0x8408) : uint16_t(crc >> 1);
    }
    return crc;
}

// A MAVLink 1 frame from system 1, component 1, with the CRC_EXTRA of the
// messages the tests build (HEARTBEAT otherwise).
inline QByteArray frame(uint8_t id, const QByteArray& payload, uint8_t seq = 0) {
    const int extra = id == 2 ? 137 : id == 24 ? 24 : id == 30 ? 39 : id == 33 ? 104 : 50;
    const QByteArray body =
        le(uint8_t(payload.size()), 1) + le(seq, 1) + "\x01\x01" + le(id, 1) + payload;
    return "\xFE" + body + le(crcBitwise(body + char(extra)), 2);
}

inline QByteArray globalPosition(uint32_t bootMs, int32_t lat, int32_t lon, int32_t alt,
                                 uint16_t hdg) {
    // relative_alt, vx, vy and vz between alt and hdg
    return le(bootMs, 4) + le(uint32_t(lat), 4) + le(uint32_t(lon), 4) + le(uint32_t(alt), 4) +
           le(12345, 4) + le(0xFFF0, 6) + le(hdg, 2);
}

inline QByteArray gpsRaw(uint64_t timeUsec, uint8_t satellites) {
    // lat, lon, alt, eph, epv, vel, cog and fix_type before satellites_visible
    return le(timeUsec, 8) + le(0x5566778811223344, 8) + le(1000, 4) + le(0xAAAABBBB, 8) + "\x03" +
           le(satellites, 1);
}

inline QByteArray systemTime(uint64_t unixUsec, uint32_t bootMs) {
    return le(unixUsec, 8) + le(bootMs, 4);
}

// A downlink record line with its checksum: 255 minus the 8-bit byte sum
// through the last comma.
inline QByteArray line(const QByteArray& upToLastComma) {
    unsigned sum = 0;
    for (const char c : upToLastComma)
        sum += uint8_t(c);
    return upToLastComma + QByteArray::number(255 - int(sum % 256));
}

} // namespace blocks
