// MAVLink stream fed as a sequence of blocks with one carried framing state:
// the frames found do not depend on where the blocks are cut, no more frames
// are found than the bytes can hold, and the values kept stay in their
// fields' ranges.
//
// Input: block-size seed (u32), largest block (u16), then the stream.
#include "FuzzTarget.h"

#include "telemetry/MAVService.h"

#include <cmath>

namespace {

struct Frame {
    uint8_t messageId;
    uint8_t sequence;
    uint8_t systemId;
    uint8_t componentId;
    std::vector<uint8_t> payload;
    bool operator==(const Frame& o) const {
        return messageId == o.messageId && sequence == o.sequence && systemId == o.systemId &&
               componentId == o.componentId && payload == o.payload;
    }
};

MAVService::FrameObserver recorder(std::vector<Frame>& frames) {
    return [&frames](const MAVFramingState& s) {
        // The payload buffer is zero past the frame's length.
        for (size_t k = s.length; k < s.payload.size(); ++k)
            FUZZ_CHECK(s.payload[k] == 0);
        uint8_t extra = 0;
        FUZZ_CHECK(MAVService::crcExtra(s.messageId, extra));
        frames.push_back({s.messageId, s.sequence, s.systemId, s.componentId,
                          std::vector<uint8_t>(s.payload.begin(), s.payload.begin() + s.length)});
    };
}

void checkRanges(const MAVService& service) {
    FUZZ_CHECK(std::fabs(service.getLatitude()) <= 214.7483648);
    FUZZ_CHECK(std::fabs(service.getLongitude()) <= 214.7483648);
    FUZZ_CHECK(std::fabs(service.getAltitude()) <= 2147483.648);
    FUZZ_CHECK(service.getHdg() >= 0.0 && service.getHdg() <= 655.35);
    FUZZ_CHECK(service.getVisibleSatellites() <= 255);
    FUZZ_CHECK(service.isValid() || (service.getLatitude() == 0.0 && service.getHdg() == 0.0));
}

} // namespace

KALORIX_FUZZ_TARGET(mavlink) {
    const fuzzing::BlockedInput input(data, size, 1024);
    const std::vector<uint8_t>& stream = input.bytes;

    std::vector<Frame> whole;
    MAVFramingState wholeState;
    const MAVService once(stream.data(), stream.size(), wholeState, recorder(whole));
    checkRanges(once);
    // A frame has at least the start byte, five header bytes and the checksum.
    FUZZ_CHECK(whole.size() * 8 <= stream.size());

    std::vector<Frame> pieces;
    MAVFramingState state;
    input.feed([&](size_t, const std::vector<uint8_t>& block) {
        const MAVService service(block.data(), block.size(), state, recorder(pieces));
        checkRanges(service);
    });
    FUZZ_CHECK(pieces == whole);
    FUZZ_CHECK(state.step == wholeState.step && state.received == wholeState.received);
    return 0;
}
