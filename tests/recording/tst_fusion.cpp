// Fusion recordings: both indexes, thermal frames as in a .TMC, the daylight
// picture of each frame, damaged files, and the overlay of the window.
#include "Recordings.h"
#include "conversion/FusionOverlay.h"
#include "recording/DataConverter.h"
#include "recording/FusionIndex.h"

using recordings::scratch;
using Offsets = std::vector<uint64_t>;
Q_DECLARE_METATYPE(Offsets)

namespace {

synth::FusionOptions fusionOptions(int version, int frames) {
    synth::FusionOptions o;
    o.thermal = recordings::options(version, true, frames);
    o.thermal.ffcFrames = {2};
    o.daylightWidth = 64;
    o.daylightHeight = 48;
    return o;
}

// "ok RRGGBB" of the daylight picture of frame n: its size and the colour at
// its centre, snapped to multiples of 8 so that JPEG's loss of a few counts
// on a flat picture does not matter.
QString pictureOf(DataConverter& converter, int n) {
    QImage image;
    bool ok = false;
    converter.getDaylightImageFromVideoRawList(n, image, ok);
    if (!ok)
        return QStringLiteral("none");
    const QRgb c = image.pixel(image.width() / 2, image.height() / 2);
    return QStringLiteral("%1x%2 %3,%4,%5")
        .arg(image.width())
        .arg(image.height())
        .arg((qRed(c) + 4) / 8)
        .arg((qGreen(c) + 4) / 8)
        .arg((qBlue(c) + 4) / 8);
}

QString colour(int frame) {
    const QRgb c = synth::daylightColourOf(frame);
    return QStringLiteral("64x48 %1,%2,%3")
        .arg((qRed(c) + 4) / 8)
        .arg((qGreen(c) + 4) / 8)
        .arg((qBlue(c) + 4) / 8);
}

} // namespace

class TestFusion : public QObject {
    Q_OBJECT
private slots:
    void partLengths_data();
    void partLengths();
    void framesAndPictures_data();
    void framesAndPictures();
    void damagedFiles_data();
    void damagedFiles();
    void overlay_data();
    void overlay();
};

// Each part ends at the next signature of either kind or at the end of the
// file (100 bytes), whatever the order of the kinds.
void TestFusion::partLengths_data() {
    QTest::addColumn<Offsets>("thermal");
    QTest::addColumn<Offsets>("daylight");
    QTest::addColumn<QString>("expected"); // thermal sizes | daylight sizes | pairs
    recordings::row("alternating", Offsets{0, 40}, Offsets{10, 70},
                    QStringLiteral("10 30 | 30 30 | 0 1"));
    recordings::row("dropped block", Offsets{0, 20, 50}, Offsets{10, 60},
                    QStringLiteral("10 30 10 | 10 40 | 0 -1 1"));
    recordings::row("trailing thermal", Offsets{0, 40}, Offsets{10},
                    QStringLiteral("10 60 | 30 | 0 -1"));
    recordings::row("two blocks in a row", Offsets{0}, Offsets{10, 30},
                    QStringLiteral("10 | 20 70 | 0"));
    recordings::row("no daylight", Offsets{0, 50}, Offsets{}, QStringLiteral("50 50 |  | -1 -1"));
}

void TestFusion::partLengths() {
    QFETCH(Offsets, thermal);
    QFETCH(Offsets, daylight);
    QFETCH(QString, expected);
    std::vector<int64_t> thermalSizes, daylightSizes;
    fusionindex::partSizes(thermal, daylight, 100, thermalSizes, daylightSizes);
    const auto join = [](const auto& values) {
        QStringList parts;
        for (auto v : values)
            parts << QString::number(v);
        return parts.join(' ');
    };
    QCOMPARE(join(thermalSizes) + " | " + join(daylightSizes) + " | " +
                 join(fusionindex::pairDaylight(thermal, daylight)),
             expected);
}

// Thermal frames decode exactly as the same frames of a .TMC; picture k has
// colour k; the FFC mark counts only in version 6.
void TestFusion::framesAndPictures_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("ffc");
    recordings::row("version 5", 5, QString());
    recordings::row("version 6", 6, QStringLiteral("2"));
}

void TestFusion::framesAndPictures() {
    QFETCH(int, version);
    QFETCH(QString, ffc);
    const int frames = 4;
    const synth::FusionOptions o = fusionOptions(version, frames);
    const QString fusionFile = scratch("flight.TFC", synth::makeFusion(o));
    const QString movieFile = scratch("flight.TMC", synth::makeMovie(o.thermal));
    DataConverter movie;
    QCOMPARE(movie.parseVideoFile(movieFile, true, false), frames);
    DataConverter fusion;
    testsupport::Recorder rec;
    QCOMPARE(fusion.parseFusionFile(fusionFile), frames);
    QCOMPARE(fusion.getNumberOfDaylightFrames(), frames);
    QStringList ffcFrames;
    for (int32_t n : fusion.getFFCFrames())
        ffcFrames << QString::number(n);
    QCOMPARE(ffcFrames.join(' '), ffc);
    for (int n = 1; n <= frames; ++n) {
        movie.readFromCompressedVideoFileAndParseRAW(n, ksDefines::NoSerialData);
        const std::vector<uint16_t> expected = movie.getRawBuffer();
        fusion.readFromCompressedVideoFileAndParseRAW(n, ksDefines::NoSerialData);
        QCOMPARE(fusion.getRawBuffer().size(), size_t(160 * 128));
        QVERIFY2(fusion.getRawBuffer() == expected, qPrintable(QString::number(n)));
        QCOMPARE(pictureOf(fusion, n), colour(n));
    }
    QCOMPARE(rec.reports.size(), size_t(0));
}

// Damaged recordings stay within the file and within the tables (the
// sanitizer build checks every read) and say what is missing.
void TestFusion::damagedFiles_data() {
    QTest::addColumn<int>("damage");
    QTest::addColumn<QString>("expected"); // frames/pictures | picture per frame | console
    recordings::row("trailing thermal frame", 0,
                    QStringLiteral("4/3 | 1 2 3 none | frame 4 has no daylight picture"));
    recordings::row("corrupt JPEG", 1, QStringLiteral("3/3 | 1 none 3 | "));
    recordings::row("dropped block", 2,
                    QStringLiteral("3/2 | 1 none 3 | frame 2 has no daylight picture"));
    // The first picture is decoded while the scan goes on: the block, not
    // the frame number, says whose picture it is.
    recordings::row("corrupt first JPEG", 3, QStringLiteral("3/3 | none 2 3 | "));
    recordings::row("first block dropped", 4,
                    QStringLiteral("3/2 | none 2 3 | frame 1 has no daylight picture"));
}

void TestFusion::damagedFiles() {
    QFETCH(int, damage);
    QFETCH(QString, expected);
    synth::FusionOptions o = fusionOptions(6, 3);
    if (damage == 0)
        o.trailingThermal = true;
    else if (damage == 1 || damage == 3)
        o.corruptJpeg = {damage == 1 ? 2 : 1};
    else
        o.droppedDaylight = {damage == 2 ? 2 : 1};
    const QByteArray bytes = synth::makeFusion(o);
    QVERIFY(!bytes.isEmpty());
    DataConverter converter;
    // A longer recording first: nothing of its index may survive.
    synth::FusionOptions longer = fusionOptions(6, 6);
    QCOMPARE(converter.parseFusionFile(scratch("long.TFC", synth::makeFusion(longer))), 6);
    testsupport::Recorder rec;
    const int frames = converter.parseFusionFile(scratch("damaged.TFC", bytes));
    QStringList pictures;
    for (int n = 1; n <= frames; ++n) {
        const QString shown = pictureOf(converter, n);
        pictures << (shown == colour(n) ? QString::number(n) : shown);
        // Every thermal frame ends at the next signature or the file's end.
        const int64_t end = int64_t(converter.getFrameOffset(n)) + converter.getFrameSize(n);
        QVERIFY(end <= bytes.size());
        QVERIFY(end == bytes.size() || bytes.mid(int(end), 4) == "VELM" ||
                bytes.mid(int(end), 4) == "JPEG");
        converter.readFromCompressedVideoFileAndParseRAW(n, ksDefines::NoSerialData);
        QCOMPARE(converter.getRawBuffer().size(), size_t(160 * 128));
    }
    QStringList console;
    for (const QString& line : rec.outLines())
        console << line.section(QStringLiteral("parseFusionFile "), 1);
    QCOMPARE(QStringLiteral("%1/%2 | ").arg(frames).arg(converter.getNumberOfDaylightFrames()) +
                 pictures.join(' ') + " | " + console.join(';'),
             expected);
    QCOMPARE(rec.reports.size(), size_t(0));
}

// The thermal picture (4 x 2, red) is drawn at 100 / scale times its size,
// centred on the daylight picture (20 x 10, blue) that the shifts move; the
// canvas point maps back to the thermal pixel under it.
void TestFusion::overlay_data() {
    QTest::addColumn<int>("opacity");
    QTest::addColumn<int>("shiftX");
    QTest::addColumn<int>("shiftY");
    QTest::addColumn<double>("scale");
    // scaled size, offset | canvas (0,0), (10,5) | thermal pixel of canvas (9,5)
    QTest::addColumn<QString>("expected");
    recordings::row("opaque, half size", 100, 0, 0, 50.0,
                    QStringLiteral("8x4 +6+3 | ff0000ff ffff0000 | 1,1"));
    recordings::row("transparent thermal", 0, 0, 0, 50.0,
                    QStringLiteral("8x4 +6+3 | ff0000ff ff0000ff | 1,1"));
    recordings::row("daylight shifted", 100, 3, 2, 50.0,
                    QStringLiteral("8x4 +6+3 | 00000000 ffff0000 | 1,1"));
    recordings::row("scale 100", 100, 0, 0, 100.0,
                    QStringLiteral("4x2 +8+4 | ff0000ff ffff0000 | 1,1"));
    recordings::row("scale 25, half opaque", 50, 1, 0, 25.0,
                    QStringLiteral("16x8 +2+1 | 00000000 ff7f0080 | 1,1"));
}

void TestFusion::overlay() {
    QFETCH(int, opacity);
    QFETCH(int, shiftX);
    QFETCH(int, shiftY);
    QFETCH(double, scale);
    QFETCH(QString, expected);
    QImage thermal(4, 2, QImage::Format_RGB32);
    thermal.fill(Qt::red);
    QImage daylightPicture(20, 10, QImage::Format_RGB32);
    daylightPicture.fill(Qt::blue);
    const kx::FusionOverlay o = kx::composeFusionOverlay(
        thermal, daylightPicture, kx::FusionOverlayControls{opacity, shiftX, shiftY, scale});
    const QPoint pixel = kx::fusionCanvasToThermal(QPoint(9, 5), o.thermalOffset, scale);
    const auto argb = [&](int x, int y) {
        return QString::number(o.canvas.pixel(x, y), 16).rightJustified(8, '0');
    };
    QCOMPARE(QStringLiteral("%1x%2 +%3+%4 | ")
                     .arg(o.thermalSize.width())
                     .arg(o.thermalSize.height())
                     .arg(o.thermalOffset.x())
                     .arg(o.thermalOffset.y()) +
                 argb(0, 0) + ' ' + argb(10, 5) +
                 QStringLiteral(" | %1,%2").arg(pixel.x()).arg(pixel.y()),
             expected);
}

QTEST_GUILESS_MAIN(TestFusion)
#include "tst_fusion.moc"
