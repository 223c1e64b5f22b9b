#pragma once

#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <memory>

// Hand-made serial blocks for the telemetry tests.

// A serial block in a heap allocation of exactly its size, so that a parser
// reading one byte past it is caught by the address sanitizer.
struct ExactBlock {
    explicit ExactBlock(const QByteArray& bytes)
        : size(uint32_t(bytes.size()))
        , data(new char[size_t(bytes.size()) + (bytes.isEmpty() ? 1 : 0)]) {
        if (size)
            std::memcpy(data.get(), bytes.constData(), size);
    }
    char* get() const { return data.get(); }
    unsigned char* bytes() const { return reinterpret_cast<unsigned char*>(data.get()); }
    QByteArray contents() const { return QByteArray(data.get(), int(size)); }
    uint32_t size;
    std::unique_ptr<char[]> data;
};

namespace blocks {

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

// CRC_EXTRA of the messages the tests build.
inline uint8_t extraOf(uint8_t id) {
    switch (id) {
    case 0:
        return 50;
    case 2:
        return 137;
    case 24:
        return 24;
    case 30:
        return 39;
    case 33:
        return 104;
    default:
        return 0;
    }
}

inline void putLE(QByteArray& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char(uint8_t(value >> (8 * i)));
}

// A MAVLink 1 frame from system 1, component 1.
inline QByteArray frame(uint8_t id, const QByteArray& payload, uint8_t seq = 0) {
    QByteArray body;
    body += char(uint8_t(payload.size()));
    body += char(seq);
    body += char(1);
    body += char(1);
    body += char(id);
    body += payload;
    const uint16_t crc = crcBitwise(body + char(extraOf(id)));
    QByteArray out(1, char(0xFE));
    out += body;
    putLE(out, crc, 2);
    return out;
}

inline QByteArray globalPosition(uint32_t bootMs, int32_t lat, int32_t lon, int32_t alt,
                                 uint16_t hdg) {
    QByteArray p;
    putLE(p, bootMs, 4);
    putLE(p, uint32_t(lat), 4);
    putLE(p, uint32_t(lon), 4);
    putLE(p, uint32_t(alt), 4);
    putLE(p, 12345, 4);  // relative_alt
    putLE(p, 0xFFF0, 6); // vx, vy, vz
    putLE(p, hdg, 2);
    return p;
}

inline QByteArray gpsRaw(uint64_t timeUsec, uint8_t satellites) {
    QByteArray p;
    putLE(p, timeUsec, 8);
    putLE(p, 0x11223344, 4); // lat
    putLE(p, 0x55667788, 4); // lon
    putLE(p, 1000, 4);       // alt
    putLE(p, 0xAAAABBBB, 8); // eph, epv, vel, cog
    p += char(3);            // fix_type
    p += char(satellites);
    return p;
}

inline QByteArray systemTime(uint64_t unixUsec, uint32_t bootMs) {
    QByteArray p;
    putLE(p, unixUsec, 8);
    putLE(p, bootMs, 4);
    return p;
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
