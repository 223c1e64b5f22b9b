#include "recording/CompressedStream.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <random>
#include <vector>

Q_DECLARE_METATYPE(std::vector<uint16_t>)
Q_DECLARE_METATYPE(std::vector<int32_t>)

namespace {

// A frame as the index sees it: signature, zeros up to the counter word at
// offset 2050, then filler bytes that never form a signature.
QByteArray indexFrame(int version, uint16_t counter, int totalSize = 2100) {
    QByteArray bytes(totalSize, char(0xAA));
    bytes.replace(0, 5, QByteArray("VELM") + char(version));
    for (int i = 5; i < 2050 && i < totalSize; ++i)
        bytes[i] = '\0';
    if (totalSize >= 2052) {
        bytes[2050] = char(counter & 0xFF);
        bytes[2051] = char(counter >> 8);
    }
    return bytes;
}

QByteArray movieWithCounters(int version, const std::vector<uint16_t>& counters) {
    QByteArray bytes;
    for (uint16_t c : counters)
        bytes += indexFrame(version, c);
    return bytes;
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = testsupport::scratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// The raw values a frame of the scene decodes to: the decoder takes the last
// three values of a 160 x 128 frame's last row as repeats of the value before
// them (they end the frame by length, not by their words).
std::vector<uint16_t> expectedRaw(std::vector<uint16_t> scene) {
    const size_t last = scene.size();
    for (size_t i = last - 3; i < last; ++i)
        scene[i] = scene[last - 4];
    return scene;
}

synth::SceneOptions smallScene(uint32_t seed) {
    synth::SceneOptions scene;
    scene.width = 160;
    scene.height = 128;
    scene.seed = seed;
    return scene;
}

synth::HeaderOptions headerFor(int version, uint16_t counter) {
    synth::HeaderOptions header;
    header.version = version;
    header.partNumber = "4640019S R01234";
    header.tempFPACelsius = 31.4;
    header.tempHousingCelsius = 29.87;
    header.frameCounter = counter;
    return header;
}

// Frame i (0-based) shows renderScene(smallScene(7), i) with counter 100 + i.
QByteArray smallMovie(int frames, bool compressed, int version = 6) {
    QByteArray movie;
    for (int i = 0; i < frames; ++i) {
        synth::StreamOptions stream;
        stream.seed = uint32_t(i + 1);
        const std::vector<uint16_t> words =
            synth::makeWordStream(synth::renderScene(smallScene(7), i), 160, 128, stream);
        const synth::HeaderOptions header = headerFor(version, uint16_t(100 + i));
        const QByteArray frame = compressed ? synth::makeCompressedFrame(header, words)
                                            : synth::makeRawFrame(header, words);
        if (synth::containsSignature(frame, version, 1))
            return QByteArray(); // the test fails on the frame count
        movie += frame;
    }
    return movie;
}

ThermalImageConversionSet autoSet() {
    ThermalImageConversionSet set;
    set.autoGainEnabled = true;
    set.colorMode = 0;
    return set;
}

} // namespace

class TestMovie : public QObject {
    Q_OBJECT
private slots:
    void counterCheckConsole_data();
    void counterCheckConsole();
    void ffcFramesOfVersion5();
    void noFfcFramesInVersion6();
    void indexTablesAndProgress();
    void missingFileIsRefused();
    void emptyAndSignatureFreeFiles();
    void secondScanDuringAScanIsRefused();
    void eventsRunDuringTheScan();
    void sixtyThousandFramesOpenWhole();
    void framesDecodeExactly_data();
    void framesDecodeExactly();
    void framesOutsideTheIndexAreRefused();
    void frameLongerThanOneMiBIsReadWhole();
    void bareHeaderLastFrameIsRefused();
    void truncatedMovie();
    void frameCutInsideACodeWord();
    void randomBitsDecodeWithinBounds();
    void rawFileRenamedToCompressed();
};

void TestMovie::counterCheckConsole_data() {
    QTest::addColumn<std::vector<uint16_t>>("counters");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<std::vector<int32_t>>("gaps");

    QTest::newRow("steady") << std::vector<uint16_t>{1, 2, 3} << true << QStringList{}
                            << std::vector<int32_t>{};
    QTest::newRow("8191 -> 0 while the FFC mark clears")
        << std::vector<uint16_t>{16382, 16383, 0, 1} << true << QStringList{}
        << std::vector<int32_t>{};
    QTest::newRow("5 -> 7") << std::vector<uint16_t>{4, 5, 7, 8} << true
                            << QStringList{"Bad FC: 2", "Framecounter jump"}
                            << std::vector<int32_t>{2};
    QTest::newRow("two jumps") << std::vector<uint16_t>{1, 3, 4, 4} << true
                               << QStringList{"Bad FC: 1", "Bad FC: 3", "Framecounter jump"}
                               << std::vector<int32_t>{1, 3};
    QTest::newRow("check off") << std::vector<uint16_t>{4, 5, 7, 8} << false << QStringList{}
                               << std::vector<int32_t>{};
}

void TestMovie::counterCheckConsole() {
    QFETCH(std::vector<uint16_t>, counters);
    QFETCH(bool, check);
    QFETCH(QStringList, lines);
    QFETCH(std::vector<int32_t>, gaps);
    const QString path =
        writeScratch(QStringLiteral("counters.TMC"), movieWithCounters(6, counters));
    QVERIFY(!path.isEmpty());
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, check), int(counters.size()));
    QCOMPARE(recorder.outLines(), lines);
    QCOMPARE(converter.getFrameCounterGaps(), gaps);
    QVERIFY(recorder.reports.empty());
}

void TestMovie::ffcFramesOfVersion5() {
    // Frames 2 and 3 carry the mark (counter 11 and 12 with bit 13).
    const QString path =
        writeScratch(QStringLiteral("ffc5.TMC"),
                     movieWithCounters(5, {10, uint16_t(0x2000 | 11), uint16_t(0x2000 | 12), 13}));
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, true), 4);
    QCOMPARE(recorder.outLines(),
             (QStringList{"FFC => 2: 11, 0010000000001011", "FFC => 3: 12, 0010000000001100"}));
    QCOMPARE(converter.getFFCFrames(), (std::vector<int32_t>{2, 3}));
    QCOMPARE(converter.getFileVersion(), 5);
    QVERIFY(converter.isCompressed());
}

void TestMovie::noFfcFramesInVersion6() {
    const QString path =
        writeScratch(QStringLiteral("ffc6.THM"),
                     movieWithCounters(6, {10, uint16_t(0x2000 | 11), uint16_t(0x2000 | 12), 13}));
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 4);
    QVERIFY(converter.getFFCFrames().empty());
    QVERIFY(recorder.outLines().isEmpty());
    QVERIFY(!converter.isCompressed());
}

void TestMovie::indexTablesAndProgress() {
    // Frame 2 straddles the first 1 MiB read: it starts 3 bytes before its end.
    QByteArray bytes = indexFrame(6, 1, 1048573) + indexFrame(6, 2, 4000) + indexFrame(6, 3, 2052);
    const QString path = writeScratch(QStringLiteral("tables.TMC"), bytes);
    DataConverter converter;
    QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
    bool busyDuringScan = true;
    connect(&converter, &DataConverter::filePercentageChanged, this,
            [&] { busyDuringScan = busyDuringScan && converter.getProcessingState(); });
    QCOMPARE(converter.parseVideoFile(path, true, true), 3);
    QCOMPARE(converter.getNumberOfVideoFrames(), 3);
    QCOMPARE(converter.getFrameOffset(1), quint64(0));
    QCOMPARE(converter.getFrameOffset(2), quint64(1048573));
    QCOMPARE(converter.getFrameOffset(3), quint64(1052573));
    QCOMPARE(converter.getFrameSize(1), qint64(1048573));
    QCOMPARE(converter.getFrameSize(2), qint64(4000));
    QCOMPARE(converter.getFrameSize(3), qint64(2052));
    QCOMPARE(converter.getFrameOffset(4), quint64(0));
    // 1,054,625 bytes: reads at 0 and 1048576, then the empty read at the end.
    // (1048576 / 10) / (1054625 / 1000) = 99.42 -> 99.
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
    QCOMPARE(spy.at(1).at(0).toInt(), 99);
    QCOMPARE(spy.at(2).at(0).toInt(), 100);
    QVERIFY(busyDuringScan);
    QVERIFY(!converter.getProcessingState());
}

void TestMovie::missingFileIsRefused() {
    testsupport::Recorder recorder;
    DataConverter converter;
    const QString path = testsupport::scratchDir() + QStringLiteral("/absent/none.TMC");
    QCOMPARE(converter.parseVideoFile(path, true, true), 0);
    QCOMPARE(recorder.outLines(),
             QStringList{"DataConverter::parseVideoFile opening of file: \"" + path + "\" failed"});
    QVERIFY(!converter.getProcessingState());
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
}

void TestMovie::emptyAndSignatureFreeFiles() {
    DataConverter converter;
    // A movie first, so that the refusals below visibly clear its index.
    QCOMPARE(
        converter.parseVideoFile(
            writeScratch(QStringLiteral("three.TMC"), movieWithCounters(6, {1, 2, 3})), true, true),
        3);
    testsupport::Recorder recorder;
    QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
    QCOMPARE(converter.parseVideoFile(writeScratch(QStringLiteral("empty.TMC"), QByteArray()), true,
                                      true),
             0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 100);

    // The fifth byte is 'x', so "VELM" + 6 inside the file is no signature.
    QByteArray text(5000, 'x');
    text.replace(100, 5, "VELM\x06");
    QCOMPARE(converter.parseVideoFile(writeScratch(QStringLiteral("text.TMC"), text), true, true),
             0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
    QVERIFY(recorder.outLines().isEmpty());
    QVERIFY(!converter.getProcessingState());
}

void TestMovie::secondScanDuringAScanIsRefused() {
    const QString first = writeScratch(QStringLiteral("outer.TMC"), movieWithCounters(6, {1, 2}));
    const QString second =
        writeScratch(QStringLiteral("inner.TMC"), movieWithCounters(6, {1, 2, 3, 4}));
    testsupport::Recorder recorder;
    DataConverter converter;
    int innerResult = -1;
    connect(&converter, &DataConverter::filePercentageChanged, this, [&](int percent) {
        if (percent == 0 && innerResult == -1)
            innerResult = converter.parseVideoFile(second, true, true);
    });
    QCOMPARE(converter.parseVideoFile(first, true, true), 2);
    QCOMPARE(innerResult, 0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 2);
    QCOMPARE(
        recorder.outLines(),
        QStringList{"DataConverter::parseVideoFile already indexing, refused: \"" + second + "\""});
}

void TestMovie::eventsRunDuringTheScan() {
    const QString path = writeScratch(QStringLiteral("events.TMC"), movieWithCounters(6, {1, 2}));
    DataConverter converter;
    bool fired = false;
    QTimer::singleShot(0, this, [&] { fired = converter.getProcessingState(); });
    QCOMPARE(converter.parseVideoFile(path, true, true), 2);
    // The timer ran inside the scan, not after it.
    QVERIFY(fired);
}

void TestMovie::sixtyThousandFramesOpenWhole() {
    // 60,000 frames of 64 bytes: beyond the 50,500 entries a fixed index held.
    QByteArray bytes;
    bytes.reserve(60000 * 64);
    for (int i = 0; i < 60000; ++i)
        bytes += indexFrame(6, 0, 64);
    const QString path = writeScratch(QStringLiteral("long.TMC"), bytes);
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, false), 60000);
    QCOMPARE(converter.getNumberOfVideoFrames(), 60000);
    QCOMPARE(converter.getFrameOffset(50501), quint64(50500 * 64));
    QCOMPARE(converter.getFrameOffset(60000), quint64(59999 * 64));
    QCOMPARE(converter.getFrameSize(60000), qint64(64));
}

void TestMovie::framesDecodeExactly_data() {
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("version");
    QTest::addColumn<double>("fpa");     // version 4 headers carry no temperatures
    QTest::addColumn<double>("housing"); //
    QTest::newRow("TMC v6") << true << 6 << 31.4 << 29.87;
    QTest::newRow("TMC v5") << true << 5 << 31.4 << 29.87;
    QTest::newRow("TMC v4") << true << 4 << 0.0 << 0.0;
    QTest::newRow("THM v6") << false << 6 << 31.4 << 29.87;
    QTest::newRow("THM v4") << false << 4 << 0.0 << 0.0;
}

void TestMovie::framesDecodeExactly() {
    QFETCH(bool, compressed);
    QFETCH(int, version);
    QFETCH(double, fpa);
    QFETCH(double, housing);
    const QString path =
        writeScratch(compressed ? QStringLiteral("exact.TMC") : QStringLiteral("exact.THM"),
                     smallMovie(3, compressed, version));
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, compressed, true), 3);
    // Frames read out of order: nothing of one frame leaks into another.
    for (int n : {3, 1, 2}) {
        QImage image;
        bool ok = false;
        ThermalImageConversionSet set = autoSet();
        converter.getThermalImageFromVideoRawList(n, image, &ok, ksDefines::NoSerialData, set);
        QVERIFY(ok);
        rawVideoChunk chunk;
        QVERIFY(converter.getCurrentRawVideoChunk(chunk));
        QCOMPARE(chunk.width, 160u);
        QCOMPARE(chunk.height, 128u);
        const std::vector<uint16_t> expected =
            expectedRaw(synth::renderScene(smallScene(7), n - 1));
        QCOMPARE(chunk.rawData.size(), expected.size());
        QVERIFY(chunk.rawData == expected);
        QCOMPARE(chunk.chunkTag, 120u);
        QVERIFY(qAbs(chunk.tempFPA - fpa) < 1e-9);
        QVERIFY(qAbs(chunk.tempHousing - housing) < 1e-9);
        QCOMPARE(image.width(), 160);
        QCOMPARE(image.height(), 128);
        // Compressed frames carry their counter as the side value.
        QCOMPARE(converter.getStreamFrameNumberSeen(), compressed);
        if (compressed)
            QCOMPARE(chunk.currentFrameNumber, uint32_t(100 + n - 1));
        QVERIFY(set.lowerBound < set.upperBound);
    }
    QVERIFY(recorder.reports.empty());
}

void TestMovie::framesOutsideTheIndexAreRefused() {
    const QString path = writeScratch(QStringLiteral("range.TMC"), smallMovie(2, true));
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, false), 2);
    QImage image;
    bool ok = false;
    ThermalImageConversionSet set = autoSet();
    converter.getThermalImageFromVideoRawList(2, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    rawVideoChunk before;
    converter.getCurrentRawVideoChunk(before);
    const uint32_t lower = converter.getLowerRawValueBound();
    const uint32_t upper = converter.getUpperRawValueBound();

    for (int n : {0, 3, -1}) {
        for (bool preset : {true, false}) {
            bool flag = preset;
            ThermalImageConversionSet other = autoSet();
            other.lowerBound = 1;
            other.upperBound = 2;
            converter.getThermalImageFromVideoRawList(n, image, &flag, ksDefines::NoSerialData,
                                                      other);
            QCOMPARE(flag, preset);
            // The converter's window is written back into the set.
            QCOMPARE(other.lowerBound, lower);
            QCOMPARE(other.upperBound, upper);
        }
    }
    rawVideoChunk after;
    converter.getCurrentRawVideoChunk(after);
    QVERIFY(after.rawData == before.rawData);
    QCOMPARE(after.currentFrameNumber, 101u);
}

void TestMovie::frameLongerThanOneMiBIsReadWhole() {
    // An uncompressed 640-wide frame of 900 rows: 2 x 2048 header bytes and
    // about 1.16 MB of words. Cut at 1 MiB it would give some 815 rows.
    synth::SceneOptions scene;
    scene.width = 640;
    scene.height = 900;
    synth::StreamOptions stream;
    const std::vector<uint16_t> words =
        synth::makeWordStream(synth::renderScene(scene, 0), 640, 900, stream);
    const QByteArray big = synth::makeRawFrame(headerFor(6, 1), words);
    QVERIFY(big.size() > 1048576 + 100000);
    const QString path = writeScratch(QStringLiteral("big.THM"), big + smallMovie(1, false));
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 2);
    converter.readFromCompressedVideoFileAndParseRAW(1, ksDefines::NoSerialData);
    QCOMPARE(converter.getImageWidth(), 640u);
    QCOMPARE(converter.getImageHeight(), 900u);
    // Row 512 (0-based 511) is the last row of a 640 x 512 frame to the
    // decoder: its last three values repeat the one before them.
    std::vector<uint16_t> expected = synth::renderScene(scene, 0);
    for (size_t col = 637; col < 640; ++col)
        expected[511 * 640 + col] = expected[511 * 640 + 636];
    QVERIFY(converter.getRawBuffer() == expected);
}

void TestMovie::bareHeaderLastFrameIsRefused() {
    // The recorder stopped after writing the header of frame 3.
    const QByteArray movie = smallMovie(2, true) + synth::makeHeader(headerFor(6, 102));
    const QString path = writeScratch(QStringLiteral("bare.TMC"), movie);
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, true), 3);
    QCOMPARE(converter.getFrameSize(3), qint64(2048));
    QImage image;
    bool ok = true;
    ThermalImageConversionSet set = autoSet();
    converter.getThermalImageFromVideoRawList(2, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    converter.getThermalImageFromVideoRawList(3, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(!ok);
    rawVideoChunk chunk;
    converter.getCurrentRawVideoChunk(chunk);
    QCOMPARE(chunk.currentFrameNumber, 101u); // still frame 2's record
    QVERIFY(chunk.rawData == expectedRaw(synth::renderScene(smallScene(7), 1)));
    QVERIFY(recorder.reports.empty());
}

void TestMovie::truncatedMovie() {
    // The file ends inside the code of frame 3, at every tenth of it.
    const QByteArray whole = smallMovie(3, true);
    const int start = whole.lastIndexOf(QByteArray("VELM\x06", 5));
    QVERIFY(start > 0);
    for (int tenth = 1; tenth < 10; ++tenth) {
        const int cut = start + 2048 + (whole.size() - start - 2048) * tenth / 10;
        const QString path = writeScratch(QStringLiteral("cut.TMC"), whole.left(cut));
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(path, true, true), 3);
        QImage image;
        bool ok = true;
        ThermalImageConversionSet set = autoSet();
        converter.getThermalImageFromVideoRawList(3, image, &ok, ksDefines::NoSerialData, set);
        // The rows that arrived whole are frame 3's first rows.
        const uint32_t rows = converter.getImageHeight();
        QVERIFY2(rows < 128, qPrintable(QString::number(rows)));
        QVERIFY(rows * 10 >= uint32_t(128 * (tenth - 1)));
        QCOMPARE(ok, rows >= 10);
        if (rows > 0) {
            QCOMPARE(converter.getImageWidth(), 160u);
            const std::vector<uint16_t> scene = synth::renderScene(smallScene(7), 2);
            QVERIFY(converter.getRawBuffer() ==
                    std::vector<uint16_t>(scene.begin(), scene.begin() + rows * 160));
        }
    }
}

void TestMovie::frameCutInsideACodeWord() {
    synth::StreamOptions stream;
    stream.seed = 1;
    std::vector<uint16_t> words =
        synth::makeWordStream(synth::renderScene(smallScene(7), 0), 160, 128, stream);
    // Without the trailing blanking the code ends with the last row's values.
    while (!words.empty() && (words.back() & 0x8000) == 0)
        words.pop_back();
    const QByteArray whole = synth::makeCompressedFrame(headerFor(6, 5), words);
    // Cut at least 20 bytes (some 30 values) off, at the first word boundary
    // that falls inside a code word: the reference reader's last read then
    // fails after its prefix.
    QByteArray frame;
    for (int chop = 20; chop < 40 && frame.isEmpty(); chop += 2) {
        const QByteArray candidate = whole.left(whole.size() - chop);
        const auto* code = reinterpret_cast<const uint8_t*>(candidate.constData()) + 2048;
        const int64_t codeWords = (candidate.size() - 2048) / 2;
        compressed::BitPosition position;
        int16_t value = 0;
        uint8_t kind = 0;
        while (compressed::readCodeBitwise(code, codeWords, position, value, kind))
            kind = 0;
        if (kind != 0)
            frame = candidate;
    }
    QVERIFY(!frame.isEmpty());
    const QString path = writeScratch(QStringLiteral("cutcode.TMC"), frame);
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, false), 1);
    converter.readFromCompressedVideoFileAndParseRAW(1, ksDefines::NoSerialData);
    // The last row lost some 30 values and has no separator after it, so only
    // the 127 complete rows remain.
    QCOMPARE(converter.getImageHeight(), 127u);
    QCOMPARE(converter.getImageWidth(), 160u);
    const std::vector<uint16_t> scene = synth::renderScene(smallScene(7), 0);
    QVERIFY(converter.getRawBuffer() ==
            std::vector<uint16_t>(scene.begin(), scene.begin() + 127 * 160));
    QCOMPARE(converter.getCurrentFrameNumber(), 5u);
}

void TestMovie::randomBitsDecodeWithinBounds() {
    std::mt19937 rng(5);
    for (int round = 0; round < 20; ++round) {
        QByteArray frame = synth::makeHeader(headerFor(6, 1));
        QByteArray noise(20000 + int(rng() % 300000), '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char(rng() & 0xFF);
        noise.replace("VELM", "XELM");
        frame += noise;
        const QString path = writeScratch(QStringLiteral("noise.TMC"), frame);
        DataConverter converter;
        testsupport::Recorder recorder;
        QCOMPARE(converter.parseVideoFile(path, true, false), 1);
        QImage image;
        bool ok = true;
        ThermalImageConversionSet set = autoSet();
        converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
        const size_t values = converter.getRawBuffer().size();
        QVERIFY(values <= 655360);
        if (ok) {
            QCOMPARE(values, size_t(converter.getImageWidth()) * converter.getImageHeight());
            QCOMPARE(image.width(), int(converter.getImageWidth()));
        }
        QVERIFY(recorder.reports.empty());
    }
}

void TestMovie::rawFileRenamedToCompressed() {
    synth::MovieOptions options;
    options.scene = smallScene(3);
    const QByteArray thr = synth::makeSingleFrameFile(options);
    QVERIFY(!thr.isEmpty());
    const QString path = writeScratch(QStringLiteral("renamed.TMC"), thr);
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, true), 1);
    QImage image;
    bool ok = true;
    ThermalImageConversionSet set = autoSet();
    converter.getThermalImageFromVideoRawList(1, image, &ok, ksDefines::NoSerialData, set);
    // Pixel words read as code: whatever comes out stays inside the buffers.
    QVERIFY(converter.getRawBuffer().size() <= 655360);
    if (ok)
        QCOMPARE(converter.getRawBuffer().size(),
                 size_t(converter.getImageWidth()) * converter.getImageHeight());
}

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
