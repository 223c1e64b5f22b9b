#include "Recordings.h"
#include "recording/FlightTrack.h"
#include "recording/FusionIndex.h"
#include "recording/MovieIndex.h"

#include <QBuffer>

Q_DECLARE_METATYPE(synth::Telemetry)

namespace {

struct Movie {
    synth::MovieOptions options;
    QByteArray bytes;
    movieindex::ScanResult scan;
};

// A fusion recording is read through its thermal index: the daylight blocks
// between the frames must not shift a frame's serial block.
Movie flight(synth::Telemetry telemetry, bool compressed, bool split = false, int frames = 24,
             bool fusion = false) {
    Movie movie;
    movie.options = recordings::options(6, compressed, frames);
    movie.options.telemetry = telemetry;
    movie.options.splitMavlinkFrames = split;
    // Fast enough that neighbouring frames lie metres apart.
    movie.options.flight.speedMS = 40.0;
    movie.options.frameIntervalS = 0.5;
    synth::FusionOptions fusionOptions;
    fusionOptions.thermal = movie.options;
    fusionOptions.daylightWidth = 64;
    fusionOptions.daylightHeight = 48;
    movie.bytes = fusion ? synth::makeFusion(fusionOptions) : synth::makeMovie(movie.options);
    QBuffer buffer(&movie.bytes);
    buffer.open(QIODevice::ReadOnly);
    if (!fusion) {
        movie.scan = movieindex::scanMovie(buffer, movie.bytes.size(), 1 << 16);
        return movie;
    }
    const fusionindex::FusionScan scan =
        fusionindex::scanFusion(buffer, movie.bytes.size(), 1 << 16);
    movie.scan.offsets = scan.thermalOffsets;
    movie.scan.sizes = scan.thermalSizes;
    movie.scan.version = scan.version;
    return movie;
}

bool readTrack(Movie& movie, ksDefines::serialContent kind,
               std::vector<flighttrack::Position>& track,
               const std::atomic<bool>* cancel = nullptr) {
    QBuffer buffer(&movie.bytes);
    buffer.open(QIODevice::ReadOnly);
    return flighttrack::readTrack(buffer, movie.scan.offsets, movie.scan.sizes, movie.scan.version,
                                  kind, track, cancel);
}

} // namespace

class TestFlightTrack : public QObject {
    Q_OBJECT
private slots:
    void everyFrameHasItsPosition_data();
    void everyFrameHasItsPosition();
    void refusals();
    void nearestFrame();
};

void TestFlightTrack::everyFrameHasItsPosition_data() {
    QTest::addColumn<synth::Telemetry>("telemetry");
    QTest::addColumn<ksDefines::serialContent>("kind");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("fusion");
    QTest::addColumn<double>("toleranceDeg");
    // NMEA carries four decimals of minutes, the downlink whole metres.
    QTest::newRow("nmea") << synth::Telemetry::Nmea << ksDefines::NMEA << false << false << false
                          << 2e-6;
    QTest::newRow("nmea compressed")
        << synth::Telemetry::Nmea << ksDefines::NMEA << true << false << false << 2e-6;
    QTest::newRow("nmea fusion") << synth::Telemetry::Nmea << ksDefines::NMEA << true << false
                                 << true << 2e-6;
    QTest::newRow("mavlink") << synth::Telemetry::MAVLink << ksDefines::MAVLink << true << false
                             << false << 1e-7;
    QTest::newRow("mavlink split")
        << synth::Telemetry::MAVLink << ksDefines::MAVLink << false << true << false << 1e-7;
    QTest::newRow("md downlink") << synth::Telemetry::MdDownlink << ksDefines::MdDownlink << false
                                 << false << false << 2e-5;
}

void TestFlightTrack::everyFrameHasItsPosition() {
    QFETCH(synth::Telemetry, telemetry);
    QFETCH(ksDefines::serialContent, kind);
    QFETCH(bool, compressed);
    QFETCH(bool, split);
    QFETCH(bool, fusion);
    QFETCH(double, toleranceDeg);
    Movie movie = flight(telemetry, compressed, split, 24, fusion);
    QCOMPARE(movie.scan.offsets.size(), size_t(24));
    testsupport::Recorder recorder;
    std::vector<flighttrack::Position> track;
    QVERIFY(readTrack(movie, kind, track));
    QCOMPARE(track.size(), size_t(24));
    for (int n = 1; n <= 24; ++n) {
        // A split block finishes its position message in the next frame's
        // block, so frame n shows the position written with frame n - 1.
        const int written = split ? n - 1 : n;
        const flighttrack::Position& p = track[size_t(n - 1)];
        QVERIFY2(p.valid == (written >= 1), qPrintable(QString::number(n)));
        if (!p.valid)
            continue;
        const synth::FlightState state = synth::flightStateAt(
            movie.options.flight, (written - 1) * movie.options.frameIntervalS);
        QVERIFY2(std::abs(p.latitude - state.latitude) < toleranceDeg &&
                     std::abs(p.longitude - state.longitude) < toleranceDeg,
                 qPrintable(QStringLiteral("frame %1: %2 %3 instead of %4 %5")
                                .arg(n)
                                .arg(p.latitude, 0, 'f', 8)
                                .arg(p.longitude, 0, 'f', 8)
                                .arg(state.latitude, 0, 'f', 8)
                                .arg(state.longitude, 0, 'f', 8)));
    }
    // The background reader prints nothing (the downlink decoder would
    // print a line per frame otherwise).
    QCOMPARE(recorder.out, QString());
    QCOMPARE(recorder.err, QString());
}

void TestFlightTrack::refusals() {
    Movie movie = flight(synth::Telemetry::Nmea, false);
    std::vector<flighttrack::Position> track(3);
    const std::atomic<bool> cancelled{true};
    QVERIFY(!readTrack(movie, ksDefines::NMEA, track, &cancelled));
    QVERIFY(track.empty());
    QVERIFY(!readTrack(movie, ksDefines::NoSerialData, track));
    // The wrong parser finds no position but reads every frame.
    QVERIFY(readTrack(movie, ksDefines::MAVLink, track));
    QCOMPARE(track.size(), size_t(24));
    QVERIFY(std::none_of(track.begin(), track.end(), [](const auto& p) { return p.valid; }));
    // A movie cut inside the serial block of its last frame.
    movie.bytes.truncate(int(movie.scan.offsets.back()) + 100);
    movie.scan.sizes.back() = 100;
    QVERIFY(readTrack(movie, ksDefines::NMEA, track));
    QVERIFY(track[22].valid);
    QVERIFY(!track[23].valid);
}

void TestFlightTrack::nearestFrame() {
    std::vector<flighttrack::Position> track(4);
    const double lat[] = {47.0, 47.001, 47.002, 47.001};
    const double lon[] = {8.0, 8.0, 8.0, 8.001};
    for (size_t i = 0; i < 4; ++i)
        track[i] = {lat[i], lon[i], 0.0, i != 2};
    // Frame 3 would be nearest, but has no position: frame 2 lies 100 m away,
    // frame 4 125 m (a thousandth of a degree of longitude is 76 m at 47
    // degrees). 8.0006 E lies 46 m from frame 2 and 30 m from frame 4.
    QCOMPARE(flighttrack::nearestFrame(track, 47.0019, 8.0), 2);
    QCOMPARE(flighttrack::nearestFrame(track, 47.0010, 8.0006), 4);
    QCOMPARE(flighttrack::nearestFrame(track, 46.9, 7.9), 1);
    QCOMPARE(flighttrack::nearestFrame({}, 47.0, 8.0), 0);
    const flighttrack::LocalPoint p = flighttrack::toLocal(47.001, 8.001, 47.0, 8.0);
    QVERIFY(std::abs(p.north - 111.195) < 0.01 && std::abs(p.east - 75.84) < 0.01);
}

QTEST_GUILESS_MAIN(TestFlightTrack)
#include "tst_flighttrack.moc"
