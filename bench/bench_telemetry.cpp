// Parsing one frame's serial block, for each of the three telemetry kinds, on
// blocks of 2,006 bytes (the block of a version 4-6 frame header). Reported as
// items_per_second = blocks per second, beside a plain byte sum over the same
// block as the baseline.

#include "base/Report.h"
#include "recording/DataConverter.h"
#include "telemetry/MAVService.h"
#include "telemetry/Nmea.h"

#include <QByteArray>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <vector>

namespace {

constexpr int kBlockSize = 2006;

std::vector<char> fillTo(const QByteArray& pattern) {
    QByteArray bytes;
    while (bytes.size() < kBlockSize)
        bytes += pattern;
    bytes.truncate(kBlockSize);
    return std::vector<char>(bytes.begin(), bytes.end());
}

std::vector<char> nmeaBlock() {
    return fillTo(
        "$GPRMC,123519.00,A,4807.038247,N,01131.000123,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPGGA,123519.00,4807.038247,N,01131.000123,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
        "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n"
        "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n"
        "$GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n");
}

void putLE(QByteArray& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char(uint8_t(value >> (8 * i)));
}

QByteArray mavFrame(uint8_t id, uint8_t extra, const QByteArray& payload) {
    QByteArray body;
    body += char(uint8_t(payload.size()));
    body += char(7);
    body += char(1);
    body += char(1);
    body += char(id);
    body += payload;
    uint16_t crc = 0xFFFF;
    for (const char c : body)
        crc = MAVService::accumulateChecksum(uint8_t(c), crc);
    crc = MAVService::accumulateChecksum(extra, crc);
    QByteArray out(1, char(0xFE));
    out += body;
    putLE(out, crc, 2);
    return out;
}

std::vector<char> mavlinkBlock() {
    QByteArray cycle;
    QByteArray heartbeat;
    putLE(heartbeat, 5, 4);
    heartbeat += QByteArray::fromHex("0203d90403");
    cycle += mavFrame(0, 50, heartbeat);
    QByteArray time;
    putLE(time, 1465430385000000ull, 8);
    putLE(time, 123456, 4);
    cycle += mavFrame(2, 137, time);
    QByteArray gps(30, '\x11');
    cycle += mavFrame(24, 24, gps);
    cycle += mavFrame(30, 39, QByteArray(28, '\x22'));
    QByteArray position;
    putLE(position, 123456, 4);
    putLE(position, 481173000, 4);
    putLE(position, 115166667, 4);
    putLE(position, 545400, 4);
    putLE(position, 0, 14);
    putLE(position, 9000, 2);
    cycle += mavFrame(33, 104, position);
    return fillTo(cycle);
}

QByteArray downlinkLine(const QByteArray& upToLastComma) {
    unsigned sum = 0;
    for (const char c : upToLastComma)
        sum += uint8_t(c);
    return upToLastComma + QByteArray::number(255 - int(sum % 256)) + "\r\n";
}

std::vector<char> downlinkBlock() {
    QByteArray frame;
    frame += downlinkLine("#1,1,2,3,4,5,6,7,8,9,10,");
    frame += downlinkLine("#2,1,2,3,4,5,6,7,8,9,10,11,12,13,14,");
    frame += downlinkLine("#3,1.5,2.5,3.5,4.5,");
    frame += downlinkLine("#4,0,345600000,1900,0,");
    frame += downlinkLine("#5,418048389,85179553,472599977,1.25,6,");
    frame += downlinkLine("#6,0.1,0.2,0.3,0.4,");
    frame += downlinkLine("#7,0.01,-0.02,1.57,");
    frame += downlinkLine("#8,10,20,300,");
    frame += downlinkLine("#9,1,2,3,");
    frame += downlinkLine("#10,1,2,3,");
    frame += downlinkLine("#11,5,6,70000,");
    frame += downlinkLine("#99,");
    return fillTo(frame);
}

// The parsers' diagnostics would measure the terminal, not the parser.
struct QuietConsole {
    QuietConsole()
        : old(kx::setConsoleHook([](kx::Stream, const QString&) {})) {}
    ~QuietConsole() { kx::setConsoleHook(old); }
    kx::ConsoleHook old;
};

void BM_Baseline_ByteSum(benchmark::State& state) {
    std::vector<char> block = nmeaBlock();
    for (auto _ : state) {
        unsigned sum = 0;
        for (const char c : block)
            sum += uint8_t(c);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockSize);
}

void BM_Nmea_Block(benchmark::State& state) {
    std::vector<char> block = nmeaBlock();
    nmea::NmeaFields fields;
    for (auto _ : state) {
        benchmark::DoNotOptimize(nmea::parseBlock(block.data(), kBlockSize, 2, fields));
        benchmark::DoNotOptimize(fields.latitude);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockSize);
}

void BM_MAVLink_Block(benchmark::State& state) {
    std::vector<char> block = mavlinkBlock();
    MAVFramingState framing;
    for (auto _ : state) {
        const MAVService service(reinterpret_cast<const unsigned char*>(block.data()), kBlockSize,
                                 framing);
        benchmark::DoNotOptimize(service.getLatitude());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockSize);
}

// The three kinds through the converter's dispatch, which also keeps the copy.
void dispatch(benchmark::State& state, std::vector<char> block, ksDefines::serialContent kind) {
    QuietConsole quiet;
    DataConverter converter;
    for (auto _ : state) {
        converter.invokeSerialDataParsing(block.data(), kBlockSize, kind);
        benchmark::DoNotOptimize(converter.getCurrentLatitude());
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kBlockSize);
}

void BM_Dispatch_NMEA(benchmark::State& state) {
    dispatch(state, nmeaBlock(), ksDefines::NMEA);
}
void BM_Dispatch_MAVLink(benchmark::State& state) {
    dispatch(state, mavlinkBlock(), ksDefines::MAVLink);
}
void BM_Dispatch_MdDownlink(benchmark::State& state) {
    dispatch(state, downlinkBlock(), ksDefines::MdDownlink);
}
void BM_Dispatch_None(benchmark::State& state) {
    dispatch(state, nmeaBlock(), ksDefines::NoSerialData);
}

} // namespace

BENCHMARK(BM_Baseline_ByteSum);
BENCHMARK(BM_Nmea_Block);
BENCHMARK(BM_MAVLink_Block);
BENCHMARK(BM_Dispatch_None);
BENCHMARK(BM_Dispatch_NMEA);
BENCHMARK(BM_Dispatch_MAVLink);
BENCHMARK(BM_Dispatch_MdDownlink);

BENCHMARK_MAIN();
