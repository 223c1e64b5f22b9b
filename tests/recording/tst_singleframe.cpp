#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QImage>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

namespace {

QString scratchPath(const QString& name) {
    return testsupport::scratchDir() + '/' + name;
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = scratchPath(name);
    if (!synth::writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

synth::MovieOptions frameOptions(int version, int width, int height, uint32_t seed = 1) {
    synth::MovieOptions o;
    o.frames = 1;
    o.version = version;
    o.scene.width = width;
    o.scene.height = height;
    o.scene.seed = seed;
    o.stream.seed = seed;
    return o;
}

// 8192 characters: the alphabet over and over, ending in "END".
QByteArray longSerialText() {
    QByteArray text(8192, 'x');
    for (int k = 0; k < text.size(); ++k)
        text[k] = char('a' + k % 26);
    text.replace(8189, 3, "END");
    return text;
}

// The scene as the decoder gives it back: the last three values of a frame of
// a known geometry are never decoded, they repeat the value before them.
std::vector<uint16_t> decodedScene(const synth::SceneOptions& scene) {
    std::vector<uint16_t> raw = synth::renderScene(scene, 0);
    std::fill(raw.end() - 3, raw.end(), raw[raw.size() - 4]);
    return raw;
}

QStringList withPath(QStringList lines, const QString& path) {
    for (QString& line : lines)
        line.replace(QStringLiteral("%P"), path);
    return lines;
}

} // namespace

class TestSingleFrame : public QObject {
    Q_OBJECT
private slots:
    void loaderFailures_data();
    void loaderFailures();
    void roundTrip_data();
    void roundTrip();
    void streamFaultsThroughFile();
    void fullSizeFileWithLongHeader();
    void headerFieldsOfEachFrame();
    void recordCopySemantics();
    void imageFromRaw();
    void imageFromMissingFile();
    void imageConversionFailureIsReported();
    void versionAndOpen();
    void binaryImage();
    void randomBytes();
};

void TestSingleFrame::loaderFailures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: the file does not exist
    QTest::addColumn<QStringList>("lines");

    const QString opening = QStringLiteral("Opening: %P");
    const QString signature =
        QStringLiteral("DataConverter::loadFromRawFile Error reading signature: \"%P\"");
    const QString header =
        QStringLiteral("DataConverter::loadFromRawFile Error reading header: \"%P\"");
    const QByteArray v6 = synth::makeSingleFrameFile(frameOptions(6, 160, 128));
    const QByteArray v2 = synth::makeSingleFrameFile(frameOptions(2, 160, 128));
    const QByteArray v0 = synth::makeSingleFrameFile(frameOptions(0, 160, 128));

    QTest::newRow("missing") << "missing.THR" << QByteArray()
                             << QStringList{opening,
                                            QStringLiteral("DataConverter::loadFromRawFile "
                                                           "opening of file: \"%P\" "
                                                           "failed")};
    QTest::newRow("empty") << "empty.THR" << QByteArray("") << QStringList{opening, signature};
    QTest::newRow("3 bytes") << "three.THR" << QByteArray("VEL") << QStringList{opening, signature};
    QTest::newRow("4 bytes") << "four.THR" << QByteArray("VELM") << QStringList{opening, signature};
    for (int version : {3, 7, 255}) {
        QTest::addRow("version %d", version)
            << QStringLiteral("v%1.THR").arg(version)
            << synth::makeSingleFrameFile(frameOptions(version, 160, 128))
            << QStringList{opening, header};
    }
    QTest::newRow("version 6 cut at 2047 bytes")
        << "cut6.THR" << v6.left(2047) << QStringList{opening, header};
    QTest::newRow("version 2 cut at 8203 bytes")
        << "cut2.THR" << v2.left(8203) << QStringList{opening, header};
    // Version 0 reads 35 bytes although its header has 23.
    QTest::newRow("version 0 cut at 34 bytes")
        << "cut0.THR" << v0.left(34) << QStringList{opening, header};
    QTest::newRow("one byte over 2 MiB")
        << "big.THR" << (v6 + QByteArray(2097153 - v6.size(), '\0'))
        << QStringList{opening, QStringLiteral("DataConverter::loadFromRawFile file too large: "
                                               "\"%P\" has 2097153 bytes, a single frame at "
                                               "most 2097152")};
    // 4096 header bytes + 160 * 128 words: 22528 words, none a blanking word.
    synth::MovieOptions noBlanking = frameOptions(6, 160, 128);
    noBlanking.stream.noBlanking = true;
    QTest::newRow("no blanking")
        << "noblank.THR" << synth::makeSingleFrameFile(noBlanking)
        << QStringList{opening,
                       QStringLiteral("DataConverter::processDataChunk no row of at least 160 "
                                      "values in 22528 words: frame not decodable"),
                       QStringLiteral("DataConverter::loadFromRawFile no frame decoded from: "
                                      "\"%P\"")};
    // Header and undecoded area only: 2048 words past 2H, all zero.
    QTest::newRow("header only")
        << "headeronly.THR" << v6.left(4096)
        << QStringList{opening,
                       QStringLiteral("DataConverter::processDataChunk no row of at least 160 "
                                      "values in 2048 words: frame not decodable"),
                       QStringLiteral("DataConverter::loadFromRawFile no frame decoded from: "
                                      "\"%P\"")};
}

void TestSingleFrame::loaderFailures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    const QString path = bytes.isNull() ? scratchPath(name) : writeScratch(name, bytes);
    DataConverter converter;
    testsupport::Recorder rec;
    QVERIFY(!converter.loadFromRawFile(path, ksDefines::NoSerialData));
    QCOMPARE(rec.outLines(), withPath(lines, path));
    QVERIFY(rec.reports.empty());
}

void TestSingleFrame::roundTrip_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<uint>("serialBytes");
    const int geometries[4][2] = {{160, 128}, {324, 256}, {336, 256}, {640, 512}};
    const uint serialBytes[7] = {0, 8192, 8192, 0, 2036, 2006, 1978};
    for (int version : {0, 1, 2, 4, 5, 6})
        for (const auto& g : geometries)
            QTest::addRow("v%d %dx%d", version, g[0], g[1])
                << version << g[0] << g[1] << serialBytes[version];
}

void TestSingleFrame::roundTrip() {
    QFETCH(int, version);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(uint, serialBytes);
    synth::MovieOptions o = frameOptions(version, width, height, uint32_t(version * 10 + width));
    o.serialText = longSerialText();
    const QString path = writeScratch(QStringLiteral("rt.THR"), synth::makeSingleFrameFile(o));
    const std::vector<uint16_t> scene = decodedScene(o.scene);
    QCOMPARE(scene.size(), size_t(width) * size_t(height));

    DataConverter converter;
    QSignalSpy hotspot(&converter, &DataConverter::hotspotAt);
    testsupport::Recorder rec;
    QVERIFY(converter.loadFromRawFile(path, ksDefines::NoSerialData));
    QCOMPARE(rec.outLines(), QStringList{QStringLiteral("Opening: ") + path});
    QCOMPARE(converter.getFileVersion(), version);
    QCOMPARE(converter.getImageWidth(), uint(width));
    QCOMPARE(converter.getImageHeight(), uint(height));
    const std::vector<uint16_t>& raw = converter.getRawBuffer();
    QCOMPARE(raw.size(), scene.size());
    QVERIFY(raw == scene);

    // Statistics and hot spot, from the scene itself.
    const auto maxIt = std::max_element(scene.begin(), scene.end()); // first maximum
    uint64_t sum = 0;
    for (uint16_t v : scene)
        sum += v;
    const size_t hotIndex = size_t(maxIt - scene.begin());
    QCOMPARE(converter.getFrameMinRaw(), uint(*std::min_element(scene.begin(), scene.end())));
    QCOMPARE(converter.getFrameMaxRaw(), uint(*maxIt));
    QCOMPARE(converter.getMeanRaw(), uint(sum / uint64_t(height) / uint64_t(width)));
    QCOMPARE(converter.getHotspotColumn(), uint(hotIndex % size_t(width) + 1));
    QCOMPARE(converter.getHotspotRow(), uint(hotIndex / size_t(width) + 1));
    QCOMPARE(converter.getHotspotValue(), uint(*maxIt));
    QCOMPARE(hotspot.count(), 1);
    QCOMPARE(hotspot[0][0].toUInt(), uint(hotIndex % size_t(width) + 1));
    QCOMPARE(hotspot[0][1].toUInt(), uint(hotIndex / size_t(width) + 1));
    QCOMPARE(hotspot[0][2].toUInt(), uint(*maxIt));

    const bool camera = version >= 5;
    QCOMPARE(converter.getPartNumber(), camera ? QStringLiteral("4640019S R01234") : QString());
    QCOMPARE(converter.getTempFPA(), camera ? 31.4 : 0.0);
    QCOMPARE(converter.getTempHousing(), camera ? 29.87 : 0.0);
    // Versions 1 and 2 keep their 8192-byte blocks whole, "END" included.
    QCOMPARE(converter.getSerialDataSize(), serialBytes);
    QCOMPARE(converter.getSerialDataString(),
             QString::fromLatin1(longSerialText().left(int(serialBytes))));
}

void TestSingleFrame::streamFaultsThroughFile() {
    DataConverter converter;
    const std::vector<uint16_t> original = synth::renderScene(frameOptions(6, 160, 128).scene, 0);
    const std::vector<uint16_t> scene = decodedScene(frameOptions(6, 160, 128).scene);
    const std::vector<uint16_t>& expected = scene;

    // Last row three words short: 128 rows, its last value repeated.
    synth::MovieOptions cut = frameOptions(6, 160, 128);
    cut.stream.cutLastRow = true;
    {
        testsupport::Recorder rec;
        QVERIFY(converter.loadFromRawFile(writeScratch("cut.THR", synth::makeSingleFrameFile(cut)),
                                          ksDefines::NoSerialData));
        QCOMPARE(converter.getImageHeight(), 128u);
        QCOMPARE(converter.getRawBuffer().size(), expected.size());
        QVERIFY(converter.getRawBuffer() == expected);
        QCOMPARE(rec.outLines().size(), 1);
    }
    // Row 5 seven values short: dropped and reported, 127 rows. With one row
    // fewer the last row is no longer the 128th, so it decodes all its words.
    synth::MovieOptions shortRow = frameOptions(6, 160, 128);
    shortRow.stream.shortRow = 5;
    {
        testsupport::Recorder rec;
        QVERIFY(converter.loadFromRawFile(
            writeScratch("short.THR", synth::makeSingleFrameFile(shortRow)),
            ksDefines::NoSerialData));
        std::vector<uint16_t> expected = original;
        expected.erase(expected.begin() + 5 * 160, expected.begin() + 6 * 160);
        QCOMPARE(converter.getImageHeight(), 127u);
        QVERIFY(converter.getRawBuffer() == expected);
        const QStringList lines = rec.outLines();
        QCOMPARE(lines.size(), 2);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+  LL: 153  /  5  RLW:160 $"))
                     .match(lines[1])
                     .hasMatch(),
                 qPrintable(lines[1]));
    }
    // Row 3 five values longer (its last value five more times): kept whole.
    synth::MovieOptions longRow = frameOptions(6, 160, 128);
    longRow.stream.longRow = 3;
    {
        QVERIFY(
            converter.loadFromRawFile(writeScratch("long.THR", synth::makeSingleFrameFile(longRow)),
                                      ksDefines::NoSerialData));
        std::vector<uint16_t> expected = scene;
        expected.insert(expected.begin() + 4 * 160, 5, scene[4 * 160 - 1]);
        QCOMPARE(converter.getImageWidth(), 160u);
        QCOMPARE(converter.getImageHeight(), 128u);
        QCOMPARE(converter.getRawBuffer().size(), expected.size());
        QVERIFY(converter.getRawBuffer() == expected);
    }
}

void TestSingleFrame::fullSizeFileWithLongHeader() {
    // A version 2 file padded with zero bytes to exactly 2 MiB: the stream
    // starts at 16408 and would run past the frame buffer if all of the
    // file's 1,048,576 words were decoded from there.
    synth::MovieOptions o = frameOptions(2, 160, 128);
    QByteArray bytes = synth::makeSingleFrameFile(o);
    bytes.append(QByteArray(2097152 - bytes.size(), '\0'));
    DataConverter converter;
    testsupport::Recorder rec;
    QVERIFY(converter.loadFromRawFile(writeScratch("full.THR", bytes), ksDefines::NoSerialData));
    QCOMPARE(converter.getImageWidth(), 160u);
    QCOMPARE(converter.getImageHeight(), 128u);
    QVERIFY(converter.getRawBuffer() == decodedScene(o.scene));
}

void TestSingleFrame::headerFieldsOfEachFrame() {
    DataConverter converter;
    testsupport::Recorder rec;
    synth::MovieOptions v6 = frameOptions(6, 160, 128);
    v6.serialText = "first block";
    v6.tempFPACelsius = 45.6;
    v6.tempHousingCelsius = 12.34;
    QVERIFY(converter.loadFromRawFile(writeScratch("h6.THR", synth::makeSingleFrameFile(v6)),
                                      ksDefines::NoSerialData));
    QCOMPARE(converter.getTempFPA(), 45.6);
    QCOMPARE(converter.getTempHousing(), 12.34);

    // Version 4 has no camera fields: cleared, not left from the frame before.
    QVERIFY(converter.loadFromRawFile(
        writeScratch("h4.THR", synth::makeSingleFrameFile(frameOptions(4, 160, 128))),
        ksDefines::NoSerialData));
    QCOMPARE(converter.getTempFPA(), 0.0);
    QCOMPARE(converter.getTempHousing(), 0.0);
    QCOMPARE(converter.getPartNumber(), QString());
    QCOMPARE(converter.getSerialDataSize(), 2036u);

    // Version 0 has no serial block: the last one stays.
    QVERIFY(converter.loadFromRawFile(writeScratch("h6b.THR", synth::makeSingleFrameFile(v6)),
                                      ksDefines::NoSerialData));
    QVERIFY(converter.loadFromRawFile(
        writeScratch("h0.THR", synth::makeSingleFrameFile(frameOptions(0, 160, 128))),
        ksDefines::NoSerialData));
    QCOMPARE(converter.getSerialDataSize(), 1978u);
    QCOMPARE(converter.getSerialDataString(), QStringLiteral("first block"));
    QCOMPARE(converter.getFileVersion(), 0);
}

void TestSingleFrame::recordCopySemantics() {
    synth::MovieOptions a = frameOptions(6, 160, 128, 1);
    a.serialText = "AAAA";
    synth::MovieOptions b = frameOptions(6, 160, 128, 2);
    b.serialText = "BBBB";
    const std::vector<uint16_t> sceneA = decodedScene(a.scene);
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    QImage image;
    bool ok = false;

    converter.getImageFromRAW(writeScratch("a.THR", synth::makeSingleFrameFile(a)), image,
                              ksDefines::NoSerialData, &ok, set);
    QVERIFY(ok);
    rawVideoChunk first;
    QVERIFY(converter.getCurrentRawVideoChunk(first));
    QCOMPARE(first.chunkTag, 120u);
    QCOMPARE(first.width, 160u);
    QCOMPARE(first.height, 128u);
    QCOMPARE(first.serialDataSize, 1978u);
    QCOMPARE(QByteArray(first.serialData, 5), QByteArray("AAAA\0", 5));
    QVERIFY(first.rawData == sceneA);

    converter.getImageFromRAW(writeScratch("b.THR", synth::makeSingleFrameFile(b)), image,
                              ksDefines::NoSerialData, &ok, set);
    QVERIFY(ok);
    rawVideoChunk second;
    QVERIFY(converter.getCurrentRawVideoChunk(second));
    // Raw values were copied; the serial block is the converter's, now B's.
    QVERIFY(first.rawData == sceneA);
    QVERIFY(second.rawData == decodedScene(b.scene));
    QVERIFY(first.serialData == second.serialData);
    QCOMPARE(QByteArray(first.serialData, 4), QByteArray("BBBB"));
    QVERIFY(rec.reports.empty());
}

void TestSingleFrame::imageFromRaw() {
    synth::MovieOptions o = frameOptions(5, 336, 256);
    const QString path = writeScratch("img.THR", synth::makeSingleFrameFile(o));
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    QImage image(10, 10, QImage::Format_RGB888);
    bool ok = false;
    converter.getImageFromRAW(path, image, ksDefines::NoSerialData, &ok, set);
    QVERIFY(ok);
    QCOMPARE(image.size(), QSize(336, 256));
    QCOMPARE(converter.getCurrentFileName(), path);
    QCOMPARE(rec.outLines(), QStringList{QStringLiteral("Opening: ") + path});
    QVERIFY(rec.reports.empty());
    // The window actually used is written back into the set.
    QVERIFY(set.lowerBound < set.upperBound);
    QCOMPARE(set.lowerBound, converter.getLowerRawValueBound());
}

void TestSingleFrame::imageFromMissingFile() {
    const QString path = scratchPath("absent.THR");
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    QImage image(10, 10, QImage::Format_RGB888);
    bool ok = true;
    converter.getImageFromRAW(path, image, ksDefines::NoSerialData, &ok, set);
    QVERIFY(!ok);
    QCOMPARE(rec.outLines(),
             withPath({QStringLiteral("Opening: %P"),
                       QStringLiteral("DataConverter::loadFromRawFile opening of file: \"%P\" "
                                      "failed"),
                       QStringLiteral("DataConverter::getImageFromRAW call of "
                                      "DataConverter::loadFromRawFile returned false: \"%P\"")},
                      path));
    QVERIFY(rec.reports.empty());
    // An empty 1 x 1 frame, the reset window written back.
    QCOMPARE(image.size(), QSize(1, 1));
    rawVideoChunk record;
    converter.getCurrentRawVideoChunk(record);
    QCOMPARE(record.width, 1u);
    QCOMPARE(record.height, 1u);
    QCOMPARE(record.chunkTag, 120u);
    QVERIFY(record.rawData.empty());
    QCOMPARE(set.lowerBound, 16383u);
    QCOMPARE(set.upperBound, 1u);
    QCOMPARE(converter.getCurrentFileName(), path);
}

void TestSingleFrame::imageConversionFailureIsReported() {
    const QString path =
        writeScratch("bad.THR", synth::makeSingleFrameFile(frameOptions(6, 160, 128)));
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    set.autoGainEnabled = false;
    set.lowerBound = 5000; // a manual window with its bounds the wrong way round
    set.upperBound = 100;
    QImage image;
    bool ok = true;
    converter.getImageFromRAW(path, image, ksDefines::NoSerialData, &ok, set);
    QVERIFY(!ok);
    const QString text = QStringLiteral("DataConverter::getImageFromRAW call of "
                                        "DataConverter::processRawData returned false: \"") +
                         path + QStringLiteral("\", RAWdata.size: 20480");
    QCOMPARE(rec.outLines(), QStringList({QStringLiteral("Opening: ") + path, text}));
    QCOMPARE(rec.reports.size(), size_t(1));
    QCOMPARE(rec.reports[0].kind, kx::ReportKind::Error);
    QCOMPARE(rec.reports[0].title, QStringLiteral("Error"));
    QCOMPARE(rec.reports[0].text, text);
}

void TestSingleFrame::versionAndOpen() {
    DataConverter converter;
    int version = -1;
    QVERIFY(!converter.determineFileVersion(0, version)); // nothing open
    QVERIFY(!converter.openFileForReading(scratchPath("none.THR")));
    QVERIFY(!converter.determineFileVersion(0, version));
    QCOMPARE(version, -1);

    const QString path = writeScratch("sig.bin", QByteArray("xxxxxVELM\x06", 10));
    QVERIFY(converter.openFileForReading(path));
    QVERIFY(converter.determineFileVersion(5, version));
    QCOMPARE(version, 6);
    QVERIFY(converter.determineFileVersion(0, version));
    QCOMPARE(version, int('x'));
    QVERIFY(!converter.determineFileVersion(6, version)); // 4 bytes left
    QVERIFY(!converter.determineFileVersion(20, version));
    QCOMPARE(version, int('x'));
}

void TestSingleFrame::binaryImage() {
    const QString png = scratchPath("pic.png");
    QImage(7, 5, QImage::Format_RGB32).save(png);
    DataConverter converter;
    QImage image;
    QVERIFY(converter.loadBinaryImageFromFile(png, &image));
    QCOMPARE(image.size(), QSize(7, 5));
    QCOMPARE(converter.getImageWidth(), 7u);
    QCOMPARE(converter.getImageHeight(), 5u);
    QVERIFY(!converter.loadBinaryImageFromFile(writeScratch("junk.png", "not a picture"), &image));
    QVERIFY(!converter.loadBinaryImageFromFile(scratchPath("nothing.png"), &image));
    QCOMPARE(converter.getImageWidth(), 7u);
}

void TestSingleFrame::randomBytes() {
    DataConverter converter;
    testsupport::Recorder rec;
    QRandomGenerator rng(2024);

    QByteArray big(10 * 1024 * 1024, '\0');
    for (char& c : big)
        c = char(rng.bounded(256));
    const QString bigPath = writeScratch("random.THR", big);
    QVERIFY(!converter.loadFromRawFile(bigPath, ksDefines::NMEA));
    QCOMPARE(rec.outLines().last(), QStringLiteral("DataConverter::loadFromRawFile file too large: "
                                                   "\"") +
                                        bigPath +
                                        QStringLiteral("\" has 10485760 bytes, a single frame "
                                                       "at most 2097152"));

    // Garbage behind every supported version byte, parsed as every kind of
    // telemetry: either refused or a frame within the buffer's bounds.
    const int versions[] = {0, 1, 2, 4, 5, 6};
    int decoded = 0;
    for (int round = 0; round < 24; ++round) {
        const int size = round % 6 == 0 ? 2097152 : int(rng.bounded(20, 300000));
        QByteArray bytes = big.mid(int(rng.bounded(1000)), size);
        bytes[4] = char(versions[round % 6]);
        // Some pixel-heavy garbage from the stream's start on: runs of 397
        // pixel words between three random words.
        const int streamStart = int(2 * synth::headerLength(versions[round % 6]));
        if (round % 2)
            for (int k = streamStart; k + 1 < bytes.size(); k += 2)
                bytes[k + 1] = char(bytes[k + 1] | ((k / 2) % 400 < 3 ? 0x00 : 0x80));
        const QString path = writeScratch(QStringLiteral("garbage.THR"), bytes);
        const auto kind = ksDefines::serialContent(round % 4);
        rec.clear();
        const bool loaded = converter.loadFromRawFile(path, kind);
        const size_t values = converter.getRawBuffer().size();
        if (loaded) {
            ++decoded;
            QVERIFY(converter.getImageWidth() >= 160);
            QVERIFY(values >= size_t(converter.getImageWidth()) * converter.getImageHeight());
        }
        QVERIFY(values <= 655360);
        QVERIFY(rec.reports.empty());
    }
    // The pixel-heavy rounds do decode: the bounds above were put to work.
    QVERIFY2(decoded >= 6, qPrintable(QString::number(decoded)));
}

QTEST_MAIN(TestSingleFrame)
#include "tst_singleframe.moc"
