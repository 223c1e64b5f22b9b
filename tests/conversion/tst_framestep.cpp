#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QtTest>

// The frame conversion step as the movie loader runs it: the window chosen per
// frame (manual, automatic, smoothed), written back into the caller's set, and
// the colours that follow from it.
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 128;

// Pixel i holds first + i mod count: every value of first..first+count-1
// appears at least twice, so the window is first+3 .. first+count-3.
std::vector<uint16_t> cycle(uint16_t first, uint16_t count) {
    std::vector<uint16_t> raw(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint16_t(first + i % count);
    return raw;
}

QString writeMovie(const QString& name, const std::vector<std::vector<uint16_t>>& frames) {
    QByteArray movie;
    uint16_t counter = 1;
    for (const std::vector<uint16_t>& raw : frames) {
        synth::HeaderOptions header;
        header.version = 6;
        header.partNumber = "4616009S R01234";
        header.frameCounter = counter++;
        synth::StreamOptions stream;
        stream.seed = counter;
        const QByteArray frame =
            synth::makeRawFrame(header, synth::makeWordStream(raw, kWidth, kHeight, stream));
        if (synth::containsSignature(frame, 6, 1))
            return QString();
        movie += frame;
    }
    const QString path = testsupport::scratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(movie) != movie.size())
        return QString();
    return path;
}

ThermalImageConversionSet ironSet(bool autoGain, bool smooth, float factor) {
    ThermalImageConversionSet set;
    set.lowerBound = 1200;
    set.upperBound = 1800;
    set.colorMode = 1;
    set.biColorModeEnabled = false;
    set.inverted = false;
    set.autoGainEnabled = autoGain;
    set.smoothAutoGain = smooth;
    set.percentageChange = factor;
    return set;
}

QRgb pixelAt(const QImage& image, int index) {
    return image.pixel(index % kWidth, index / kWidth);
}

} // namespace

class TestFrameStep : public QObject {
    Q_OBJECT
private slots:
    void smoothedPlayback();
    void smoothingOff();
    void manualWindow();
    void failedFrameWritesWindowBack();
};

void TestFrameStep::smoothedPlayback() {
    // Frame 1: window 1000..2000; frame 2: 1003..2004; frame 3 as frame 1.
    const QString path = writeMovie(QStringLiteral("smooth.THM"),
                                    {cycle(997, 1006), cycle(1000, 1007), cycle(997, 1006)});
    QVERIFY(!path.isEmpty());
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 3);
    QImage image(1, 1, QImage::Format_RGB888);
    ThermalImageConversionSet set = ironSet(true, true, 0.5f);

    bool ok = false;
    // The first frame after the reset state is not smoothed.
    converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1000u);
    QCOMPARE(set.upperBound, 2000u);
    QCOMPARE(image.size(), QSize(kWidth, kHeight));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(pixelAt(image, 503), qRgb(224, 74, 86)); // raw 1500

    // Halfway: 1000 + 3 * 0.5 = 1001.5 and 2000 + 4 * 0.5 = 2002, truncated.
    converter.getThermalImageFromVideoRawList(2, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1001u);
    QCOMPARE(set.upperBound, 2002u);
    QCOMPARE(converter.getLowerRawValueBound(), 1001u);
    QCOMPARE(converter.getUpperRawValueBound(), 2002u);
    // Raw 1500 over 1001..2002: s = 499 * 499 / 1001 = 248.
    QCOMPARE(pixelAt(image, 500), qRgb(224, 73, 87));
    // Raw 2001: s = 498.
    QCOMPARE(pixelAt(image, 1001), qRgb(255, 252, 249));
    // Raw 2006 lies above the window: the top colour.
    QCOMPARE(pixelAt(image, 1006), qRgb(255, 253, 251));

    // Back toward 1000..2000: 1001 - 0.5 = 1000.5 and 2002 - 1 = 2001.
    converter.getThermalImageFromVideoRawList(3, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1000u);
    QCOMPARE(set.upperBound, 2001u);
    QVERIFY(recorder.reports.empty());
}

void TestFrameStep::smoothingOff() {
    const QString path =
        writeMovie(QStringLiteral("nosmooth.THM"), {cycle(997, 1006), cycle(1000, 1007)});
    QVERIFY(!path.isEmpty());
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 2);
    QImage image;
    ThermalImageConversionSet set = ironSet(true, false, 0.5f);
    bool ok = false;
    converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    converter.getThermalImageFromVideoRawList(2, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1003u);
    QCOMPARE(set.upperBound, 2004u);
}

void TestFrameStep::manualWindow() {
    const QString path = writeMovie(QStringLiteral("manual.THM"), {cycle(997, 1006)});
    QVERIFY(!path.isEmpty());
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 1);
    QImage image(7, 3, QImage::Format_ARGB32);
    ThermalImageConversionSet set = ironSet(false, true, 0.5f);
    set.inverted = true;
    bool ok = false;
    converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1200u);
    QCOMPARE(set.upperBound, 1800u);
    QCOMPARE(image.size(), QSize(kWidth, kHeight));
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(converter.getInverted(), true);
    QCOMPARE(converter.getColorMode(), 1u);
    // Raw 1500 over 1200..1800: s = 300 * 499 / 600 = 249, inverted.
    QCOMPARE(pixelAt(image, 503), qRgb(31, 181, 169));
    // Raw 1100 is below the window: bottom colour, inverted to white.
    QCOMPARE(pixelAt(image, 103), qRgb(255, 255, 255));
}

void TestFrameStep::failedFrameWritesWindowBack() {
    // Frame 2 holds only zeros: no value qualifies for a window.
    const QString path = writeMovie(
        QStringLiteral("zeros.THM"),
        {cycle(997, 1006), std::vector<uint16_t>(kWidth * kHeight, 0), cycle(1000, 1007)});
    QVERIFY(!path.isEmpty());
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 3);
    QImage image;
    ThermalImageConversionSet set = ironSet(true, true, 0.5f);
    bool ok = false;
    converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    const QImage first = image;
    recorder.clear();

    converter.getThermalImageFromVideoRawList(2, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(!ok);
    // The empty histogram window (16383, 1) is still smoothed against 1000..2000:
    // 1000 + 15383 * 0.5 = 8691.5 and 2000 - 1999 * 0.5 = 1000.5. The window
    // written back is the reversed one that failed.
    QCOMPARE(set.lowerBound, 8691u);
    QCOMPARE(set.upperBound, 1000u);
    // The image keeps the previous frame's colours.
    QCOMPARE(image, first);
    const QString text = QStringLiteral("DataConverter::getImageFromVideoRawList2 call of "
                                        "DataConverter::processRawData returned false: "
                                        "RAWdata.size: 20480");
    QCOMPARE(recorder.outLines(), QStringList{text});
    QCOMPARE(recorder.reports.size(), size_t(1));
    QCOMPARE(recorder.reports[0].title, QStringLiteral("Error"));
    QCOMPARE(recorder.reports[0].text, text);

    // After the failed frame nothing is smoothed against its reversed window.
    converter.getThermalImageFromVideoRawList(3, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(set.lowerBound, 1003u);
    QCOMPARE(set.upperBound, 2004u);
}

QTEST_GUILESS_MAIN(TestFrameStep)
#include "tst_framestep.moc"
