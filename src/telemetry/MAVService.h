#pragma once

#include <array>
#include <cstdint>
#include <functional>

// Assembly state of the MAVLink 1 frame being read. An autopilot's stream is
// cut into blocks at arbitrary points (one block per camera frame), so a frame
// begun at the end of one block is finished by the next block parsed; the
// state therefore outlives a single MAVService.
struct MAVFramingState {
    enum class Step : uint8_t {
        Idle,
        Length,
        Sequence,
        SystemId,
        ComponentId,
        MessageId,
        Payload,
        ChecksumLow,
        ChecksumHigh,
    };
    Step step = Step::Idle;
    uint8_t length = 0;
    uint8_t sequence = 0;
    uint8_t systemId = 0;
    uint8_t componentId = 0;
    uint8_t messageId = 0;
    uint16_t checksum = 0xFFFF;
    uint16_t received = 0; // payload bytes stored so far
    uint8_t checksumLow = 0;
    std::array<uint8_t, 255> payload{};
};

// Decodes the MAVLink 1 frames of one serial block and keeps, of each message
// used, the one with the greatest ordering key: GLOBAL_POSITION_INT (position,
// altitude, heading), GPS_RAW_INT (visible satellites), SYSTEM_TIME (clock).
class MAVService {
public:
    // Uses the one framing state of the program, so that a frame split across
    // the blocks of two consecutive frames is still found.
    MAVService(unsigned char* data, unsigned long length);
    // Called for every frame whose checksum is good, whatever its id, before
    // the frame is used; the frame's payload is zero beyond its length.
    using FrameObserver = std::function<void(const MAVFramingState& frame)>;
    // Uses the caller's framing state (tests, benchmarks, independent streams).
    MAVService(const unsigned char* data, unsigned long length, MAVFramingState& state,
               const FrameObserver& observer = FrameObserver());

    bool isValid() const { return valid; }
    uint64_t getUnixTimestamp() const { return unixTimestamp; }
    double getLatitude() const { return latitude; }
    double getLongitude() const { return longitude; }
    double getAltitude() const { return altitude; }
    double getHdg() const { return hdg; }
    uint32_t getVisibleSatellites() const { return visibleSatellites; }

    static MAVFramingState& programFramingState();
    // One byte of the X.25 checksum (CRC-16/MCRF4XX) that MAVLink uses.
    static uint16_t accumulateChecksum(uint8_t byte, uint16_t checksum);
    // The CRC_EXTRA seed of a common-set message; false for an id that the
    // common set does not define below 256.
    static bool crcExtra(uint8_t messageId, uint8_t& extra);

private:
    void decode(const unsigned char* data, unsigned long length, MAVFramingState& state,
                const FrameObserver& observer);
    void handleFrame(const MAVFramingState& frame);

    bool valid = false;
    uint64_t unixTimestamp = 0; // seconds
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double altitude = 0.0;      // metres
    double hdg = 0.0;           // degrees
    uint32_t visibleSatellites = 0;

    // Ordering keys: the message with the greatest key wins, a key of 0 never.
    uint32_t positionKeyMs = 0;
    uint64_t gpsKeyUs = 0;
    uint32_t systemTimeKeyMs = 0;
};
