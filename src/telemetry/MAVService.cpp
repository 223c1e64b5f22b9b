#include "telemetry/MAVService.h"

#include "base/ByteReader.h"

#include <cstring>

// MAVLink 1 frame on the wire (multi-byte values little-endian):
//   0xFE | LEN | SEQ | SYS | COMP | MSGID | payload (LEN bytes) | CRC low | CRC high
// The checksum runs over LEN .. end of payload and then over one more byte, the
// CRC_EXTRA of the message id, which is derived from the message's field list;
// a frame whose sender and reader disagree on the layout thus fails its check.
//
// The framing consumes the whole claimed length of a candidate before it tests
// the checksum, as the autopilot's own parser does. A false start byte inside
// other data therefore swallows up to 263 bytes; the one recovery is that a
// candidate ended by a 0xFE byte restarts the search at that byte.
//
// Payloads may be shorter than the message defines (senders truncate trailing
// zero bytes): fields beyond the received payload read as 0.

namespace {

constexpr uint8_t kStartMarker = 0xFE;

constexpr uint8_t kSystemTime = 2;
constexpr uint8_t kGpsRawInt = 24;
constexpr uint8_t kGlobalPositionInt = 33;

// SYSTEM_TIME
constexpr size_t kTimeUnixUsec = 0; // u64, microseconds since 1970
constexpr size_t kSystemTimeBootMs = 8;
// GPS_RAW_INT
constexpr size_t kGpsTimeUsec = 0;
constexpr size_t kSatellitesVisible = 29;
// GLOBAL_POSITION_INT
constexpr size_t kPositionBootMs = 0;
constexpr size_t kLat = 4; // degrees * 1e7
constexpr size_t kLon = 8;
constexpr size_t kAlt = 12; // millimetres above mean sea level
constexpr size_t kHdg = 26; // centidegrees, 65535 when unknown

// CRC_EXTRA of the MAVLink common message set, by message id; -1 where the set
// defines no message (MAVLink 1 carries ids 0 to 255 only).
constexpr int16_t kCrcExtra[256] = {
    50,  124, 137, -1,  237, 217, 104, 119, 117, -1,  -1,  89,  -1,  -1,  -1,  -1,  // 0
    -1,  -1,  -1,  137, 214, 159, 220, 168, 24,  23,  170, 144, 67,  115, 39,  246, // 16
    185, 104, 237, 244, 222, 212, 9,   254, 230, 28,  28,  132, 221, 232, 11,  153, // 32
    41,  39,  78,  196, -1,  -1,  15,  3,   -1,  -1,  -1,  -1,  -1,  167, 183, 119, // 48
    191, 118, 148, 21,  -1,  243, 124, -1,  -1,  38,  20,  158, 152, 143, -1,  -1,  // 64
    14,  106, 49,  22,  143, 140, 5,   150, -1,  231, 183, 63,  54,  47,  -1,  -1,  // 80
    -1,  -1,  -1,  -1,  175, 102, 158, 208, 56,  93,  138, 108, 32,  185, 84,  34,  // 96
    174, 124, 237, 4,   76,  128, 56,  116, 134, 237, 203, 250, 87,  203, 220, 25,  // 112
    226, 46,  29,  223, 85,  6,   229, 203, 1,   195, 109, 168, 181, 47,  72,  131, // 128
    127, -1,  103, 154, 178, 200, -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  // 144
    -1,  -1,  189, -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  // 160
    -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  // 176
    36,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  // 192
    -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  -1,  // 208
    -1,  208, -1,  -1,  -1,  -1,  163, 105, 151, 35,  150, 179, -1,  -1,  -1,  -1,  // 224
    -1,  90,  104, 85,  95,  130, 184, 81,  8,   204, 49,  170, 44,  83,  46,  -1,  // 240
};

} // namespace

MAVFramingState& MAVService::programFramingState() {
    static MAVFramingState state;
    return state;
}

uint16_t MAVService::accumulateChecksum(uint8_t byte, uint16_t checksum) {
    uint8_t t = uint8_t(byte ^ uint8_t(checksum & 0xFF));
    t = uint8_t(t ^ uint8_t(t << 4));
    return uint16_t((checksum >> 8) ^ (uint16_t(t) << 8) ^ (uint16_t(t) << 3) ^ (t >> 4));
}

bool MAVService::crcExtra(uint8_t messageId, uint8_t& extra) {
    const int16_t value = kCrcExtra[messageId];
    if (value < 0)
        return false;
    extra = uint8_t(value);
    return true;
}

MAVService::MAVService(unsigned char* data, unsigned long length) {
    decode(data, length, programFramingState(), FrameObserver());
}

MAVService::MAVService(const unsigned char* data, unsigned long length, MAVFramingState& state,
                       const FrameObserver& observer) {
    decode(data, length, state, observer);
}

void MAVService::decode(const unsigned char* data, unsigned long length, MAVFramingState& s,
                        const FrameObserver& observer) {
    using Step = MAVFramingState::Step;
    if (!data)
        length = 0;
    unsigned long i = 0;
    while (i < length) {
        // Between frames and inside a payload whole runs of bytes are taken
        // at once; every other step takes one byte.
        if (s.step == Step::Idle) {
            const void* start = std::memchr(data + i, kStartMarker, length - i);
            if (!start)
                break;
            i = static_cast<unsigned long>(static_cast<const unsigned char*>(start) - data) + 1;
            s.checksum = 0xFFFF;
            s.step = Step::Length;
            continue;
        }
        if (s.step == Step::Payload) {
            const unsigned long wanted = s.length - s.received;
            const unsigned long run = wanted < length - i ? wanted : length - i;
            uint16_t checksum = s.checksum;
            uint8_t* out = s.payload.data() + s.received;
            for (unsigned long k = 0; k < run; ++k) {
                out[k] = data[i + k];
                checksum = accumulateChecksum(data[i + k], checksum);
            }
            s.checksum = checksum;
            s.received = uint16_t(s.received + run);
            i += run;
            if (s.received == s.length)
                s.step = Step::ChecksumLow;
            continue;
        }
        const uint8_t c = data[i++];
        switch (s.step) {
        case Step::Idle:
        case Step::Payload:
            break;
        case Step::Length:
            s.length = c;
            s.received = 0;
            s.checksum = accumulateChecksum(c, s.checksum);
            s.step = Step::Sequence;
            break;
        case Step::Sequence:
            s.sequence = c;
            s.checksum = accumulateChecksum(c, s.checksum);
            s.step = Step::SystemId;
            break;
        case Step::SystemId:
            s.systemId = c;
            s.checksum = accumulateChecksum(c, s.checksum);
            s.step = Step::ComponentId;
            break;
        case Step::ComponentId:
            s.componentId = c;
            s.checksum = accumulateChecksum(c, s.checksum);
            s.step = Step::MessageId;
            break;
        case Step::MessageId:
            s.messageId = c;
            s.checksum = accumulateChecksum(c, s.checksum);
            s.step = s.length == 0 ? Step::ChecksumLow : Step::Payload;
            break;
        case Step::ChecksumLow:
            s.checksumLow = c;
            s.step = Step::ChecksumHigh;
            break;
        case Step::ChecksumHigh: {
            // An id outside the common set has no CRC_EXTRA, so its frame
            // cannot be verified: it is treated like a checksum failure.
            uint8_t extra = 0;
            const bool known = crcExtra(s.messageId, extra);
            const uint16_t expected = accumulateChecksum(extra, s.checksum);
            const bool good =
                known && s.checksumLow == uint8_t(expected & 0xFF) && c == uint8_t(expected >> 8);
            if (good) {
                std::memset(s.payload.data() + s.length, 0, s.payload.size() - s.length);
                if (observer)
                    observer(s);
                handleFrame(s);
                s.step = Step::Idle;
            } else if (c == kStartMarker) {
                s.checksum = 0xFFFF;
                s.step = Step::Length;
            } else {
                s.step = Step::Idle;
            }
            break;
        }
        }
    }
}

void MAVService::handleFrame(const MAVFramingState& frame) {
    // The whole 255-byte payload buffer is read; bytes past LEN are zero.
    const ByteReader payload(frame.payload.data(), frame.payload.size());
    switch (frame.messageId) {
    case kGlobalPositionInt: {
        const uint32_t key = payload.u32At(kPositionBootMs);
        if (key > positionKeyMs) {
            positionKeyMs = key;
            latitude = double(int32_t(payload.u32At(kLat))) / 10000000.0;
            longitude = double(int32_t(payload.u32At(kLon))) / 10000000.0;
            altitude = double(int32_t(payload.u32At(kAlt))) / 1000.0;
            hdg = double(payload.u16At(kHdg)) / 100.0;
            valid = true;
        }
        break;
    }
    case kGpsRawInt: {
        const uint64_t key = payload.u64At(kGpsTimeUsec);
        if (key > gpsKeyUs) {
            gpsKeyUs = key;
            visibleSatellites = payload.u8At(kSatellitesVisible);
        }
        break;
    }
    case kSystemTime: {
        const uint32_t key = payload.u32At(kSystemTimeBootMs);
        if (key > systemTimeKeyMs) {
            systemTimeKeyMs = key;
            unixTimestamp = payload.u64At(kTimeUnixUsec) / 1000000u;
        }
        break;
    }
    default:
        break;
    }
}
