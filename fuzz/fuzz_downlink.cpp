// "md downlink" text: never more lines accepted than the text has CR LF
// ends, the zero-terminated and the counted entry points agree, the last
// frame found lies inside the text, and no field or time text is written
// past the buffer it was given.
//
// Input: field buffer size (u8), time buffer size (u8), then the text.
#include "FuzzTarget.h"

#include "telemetry/Downlink.h"

#include <cmath>
#include <memory>

namespace {

bool sameDecoder(const _DLDEC& a, const _DLDEC& b) {
    // NaN fields compare unequal to themselves, so compare the bytes. Both
    // were initialised whole by DLDInitShadow, padding included.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

KALORIX_FUZZ_TARGET(downlink) {
    static const bool quiet = (fuzzing::silenceConsole(), true);
    (void)quiet;
    fuzzing::Params params(data, size);
    const size_t fieldSize = params.u8() % 64;
    const int timeSize = params.u8() % 24;
    const std::vector<uint8_t> bytes = params.rest();
    const char* text = reinterpret_cast<const char*>(bytes.data());
    const size_t length = bytes.size();

    _DLDEC counted;
    DLDInitShadow(&counted);
    int accepted = -1;
    const int all = decodeDownlinkText(text, length, &counted, &accepted);
    const char* zero = fuzzing::firstZero(text, length);
    const size_t textLength = zero ? size_t(zero - text) : length;
    int lineEnds = 0;
    for (size_t i = 0; i + 1 < textLength; ++i)
        if (text[i] == '\r' && text[i + 1] == '\n') {
            ++lineEnds;
            ++i;
        }
    FUZZ_CHECK(all == 0 || all == 1);
    FUZZ_CHECK(accepted >= 0 && accepted <= lineEnds);
    FUZZ_CHECK(all == 0 || accepted == lineEnds);

    // The zero-terminated entry point reads the same text.
    std::vector<char> terminated(text, text + textLength);
    terminated.push_back(0);
    _DLDEC fromString;
    DLDInitShadow(&fromString);
    FUZZ_CHECK(decodeDownlink(terminated.data(), &fromString) == all);
    FUZZ_CHECK(sameDecoder(counted, fromString));

    size_t begin = 0;
    size_t end = 0;
    if (findLastDownlinkFrame(text, length, begin, end)) {
        FUZZ_CHECK(begin < end && end + 3 <= textLength && end - begin < 4095);
        FUZZ_CHECK(std::memcmp(text + begin, "#1,", 3) == 0);
        FUZZ_CHECK(std::memcmp(text + end, "#1,", 3) == 0);
    }

    // One line on its own and the helpers, into buffers of exactly their size.
    _DLDEC single;
    DLDInitShadow(&single);
    const int analysed = AnalyzeDownlinkDecoder(terminated.data(), &single);
    FUZZ_CHECK(analysed == 0 || analysed == 2);
    std::unique_ptr<char[]> field(new char[fieldSize ? fieldSize : 1]);
    char* next = ScanNextString(terminated.data(), fieldSize ? field.get() : nullptr, fieldSize);
    if (fieldSize)
        FUZZ_CHECK(std::strlen(field.get()) < fieldSize);
    FUZZ_CHECK(next == nullptr ||
               (next > terminated.data() && next <= terminated.data() + textLength));
    std::unique_ptr<char[]> when(new char[timeSize ? timeSize : 1]);
    GPS_TIME_to_Date_String(&single, when.get(), timeSize);
    GPS_TIME_to_Time_String(&counted, when.get(), timeSize);
    double latitude = 0.0;
    double longitude = 0.0;
    ECEF_to_WGS84(&counted, &latitude, &longitude);
    FUZZ_CHECK(std::fabs(longitude) <= 180.0 && std::fabs(latitude) <= 180.0);
    return 0;
}
