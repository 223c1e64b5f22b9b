#include "Recordings.h"
#include "recording/DataConverter.h"

#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using recordings::scratch;
using recordings::withPath;

namespace {

// 8192 characters: the alphabet over and over, ending in "END".
QByteArray longSerialText() {
    QByteArray text = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(316).left(8189);
    return text + "END";
}

bool load(DataConverter& converter, const QString& path) {
    return path.endsWith(QLatin1String(".THC"))
               ? converter.loadFromCompressedRawFile(path, ksDefines::NoSerialData)
               : converter.loadFromRawFile(path, ksDefines::NoSerialData);
}

} // namespace

class TestSingleFrame : public QObject {
    Q_OBJECT
private slots:
    void loaderFailures_data();
    void loaderFailures();
    void roundTrip_data();
    void roundTrip();
    void headerFieldsOfEachFrame();
    void recordCopySemantics();
    void imageFromFile_data();
    void imageFromFile();
    void versionOpenAndPictures();
    void garbageStaysWithinBounds();
};

void TestSingleFrame::loaderFailures_data() {
    QTest::addColumn<QString>("name");     // .THC: the compressed loader
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<QString>("lines");    // after "Opening: "
    const QString signature = "DataConverter::loadFromRawFile Error reading signature: \"%P\"\n";
    const QString header = "DataConverter::loadFromRawFile Error reading header: \"%P\"\n";
    const QString undecodable = "DataConverter::processDataChunk no row of at least 160 values in "
                                "%1 words: frame not decodable\n"
                                "DataConverter::loadFromRawFile no frame decoded from: \"%P\"\n";
    const QByteArray v6 = synth::makeSingleFrameFile(recordings::options(6));
    QTest::newRow("missing") << "missing.THR" << QByteArray()
                             << "DataConverter::loadFromRawFile opening of file: \"%P\" failed\n";
    QTest::newRow("empty") << "empty.THR" << QByteArray("") << signature;
    QTest::newRow("3 bytes") << "three.THR" << QByteArray("VEL") << signature;
    for (int version : {3, 7, 255})
        QTest::addRow("version %d", version)
            << "v.THR" << synth::makeSingleFrameFile(recordings::options(version)) << header;
    QByteArray v3 = synth::makeSingleFrameFile(recordings::options(6, true));
    v3[4] = 3;
    QTest::newRow("compressed version 3") << "v3.THC" << v3 << header;
    QTest::newRow("version 6 cut at 2047 bytes") << "cut6.THR" << v6.left(2047) << header;
    // Version 0 reads 35 bytes although its header has 23.
    QTest::newRow("version 0 cut at 34 bytes")
        << "cut0.THR" << synth::makeSingleFrameFile(recordings::options(0)).left(34) << header;
    QTest::newRow("one byte over 2 MiB")
        << "big.THR" << v6 + QByteArray(2097153 - v6.size(), '\0')
        << "DataConverter::loadFromRawFile file too large: \"%P\" has 2097153 bytes, a single "
           "frame at most 2097152\n";
    // 4096 header bytes + 160 * 128 words: 22528 words, none a blanking word.
    synth::MovieOptions noBlanking = recordings::options(6);
    noBlanking.stream.noBlanking = true;
    QTest::newRow("no blanking") << "noblank.THR" << synth::makeSingleFrameFile(noBlanking)
                                 << undecodable.arg(22528);
    // Header and undecoded area only: 2048 words past 2H, all zero.
    QTest::newRow("header only") << "headeronly.THR" << v6.left(4096) << undecodable.arg(2048);
}

void TestSingleFrame::loaderFailures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, lines);
    const QString path = scratch(name, bytes);
    DataConverter converter;
    testsupport::Recorder rec;
    QVERIFY(!load(converter, path));
    QCOMPARE(rec.out, withPath("Opening: %P\n" + lines, path));
    QVERIFY(rec.reports.empty());
}

void TestSingleFrame::roundTrip_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("fault");
    const int geometries[4][2] = {{160, 128}, {324, 256}, {336, 256}, {640, 512}};
    for (int version : {0, 1, 2, 4, 5, 6})
        for (const auto& g : geometries)
            QTest::addRow("THR v%d %dx%d", version, g[0], g[1])
                << version << false << g[0] << g[1] << QString();
    // Versions 1 and 2: the code starts after the 8,200- or 8,204-byte header.
    for (int version : {1, 2, 4, 5, 6})
        QTest::addRow("THC v%d", version) << version << true << 160 << 128 << QString();
    // The three missing values repeat the last one.
    QTest::newRow("last row three words short") << 6 << false << 160 << 128 << "cut";
    // The stream starts at 16408 and would run past the frame buffer if all
    // of the file's 1,048,576 words were decoded from there.
    QTest::newRow("version 2 padded to 2 MiB") << 2 << false << 160 << 128 << "pad";
}

void TestSingleFrame::roundTrip() {
    QFETCH(int, version);
    QFETCH(bool, compressed);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, fault);
    synth::MovieOptions o = recordings::options(version, compressed, 1, width, height);
    o.serialText = longSerialText();
    o.stream.cutLastRow = fault == QLatin1String("cut");
    QByteArray bytes = synth::makeSingleFrameFile(o);
    if (fault == QLatin1String("pad"))
        bytes.append(QByteArray(2097152 - bytes.size(), '\0'));
    const QString path = scratch(compressed ? "rt.THC" : "rt.THR", bytes);
    DataConverter converter;
    QSignalSpy hotspot(&converter, &DataConverter::hotspotAt);
    testsupport::Recorder rec;
    QVERIFY(load(converter, path));
    QCOMPARE(rec.out, "Opening: " + path + '\n');
    QCOMPARE(converter.getFileVersion(), version);
    QCOMPARE(converter.getImageWidth(), uint(width));
    QCOMPARE(converter.getImageHeight(), uint(height));
    QVERIFY(converter.getRawBuffer() == recordings::decoded(o));
    QCOMPARE(recordings::frameStats(converter),
             QString::asprintf("%d %d ", width, height) +
                 recordings::stats(recordings::decoded(o), width));
    QCOMPARE(hotspot.count(), 1);
    QCOMPARE(hotspot[0], (QVariantList{converter.getHotspotColumn(), converter.getHotspotRow(),
                                       converter.getHotspotValue()}));
    QCOMPARE(QStringLiteral("%1 %2 %3")
                 .arg(converter.getPartNumber())
                 .arg(converter.getTempFPA())
                 .arg(converter.getTempHousing()),
             version >= 5 ? QStringLiteral("4640019S R01234 31.4 29.87") : QStringLiteral(" 0 0"));
    // Versions 1 and 2 keep their 8192-byte blocks whole, "END" included.
    const int serialBytes[7] = {0, 8192, 8192, 0, 2036, 2006, 1978};
    QCOMPARE(converter.getSerialDataSize(), uint(serialBytes[version]));
    QCOMPARE(converter.getSerialDataString(),
             QString::fromLatin1(longSerialText().left(serialBytes[version])));
    // A compressed frame carries its counter as the side value.
    QCOMPARE(converter.getStreamFrameNumberSeen(), compressed);
    QCOMPARE(converter.getCurrentFrameNumber(), compressed ? 42u : 0u);
}

void TestSingleFrame::headerFieldsOfEachFrame() {
    DataConverter converter;
    testsupport::Recorder rec;
    auto load = [&](int version) {
        synth::MovieOptions o = recordings::options(version);
        o.serialText = "block of v" + QByteArray::number(version);
        return converter.loadFromRawFile(scratch("h.THR", synth::makeSingleFrameFile(o)),
                                         ksDefines::NoSerialData);
    };
    // Version 4 has no camera fields: cleared, not left from the frame before.
    QVERIFY(load(6) && load(4));
    QCOMPARE(converter.getTempFPA(), 0.0);
    QCOMPARE(converter.getTempHousing(), 0.0);
    QCOMPARE(converter.getPartNumber(), QString());
    // Version 0 has no serial block: the last one stays.
    QVERIFY(load(6) && load(0));
    QCOMPARE(converter.getSerialDataSize(), 1978u);
    QCOMPARE(converter.getSerialDataString(), QStringLiteral("block of v6"));
}

void TestSingleFrame::recordCopySemantics() {
    synth::MovieOptions a = recordings::options(6), b = recordings::options(6);
    a.serialText = "AAAA";
    b.serialText = "BBBB";
    b.scene.seed = 2;
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    QImage image;
    bool ok = false;
    converter.getImageFromRAW(scratch("a.THR", synth::makeSingleFrameFile(a)), image,
                              ksDefines::NoSerialData, &ok, set);
    rawVideoChunk first, second;
    QVERIFY(ok && converter.getCurrentRawVideoChunk(first));
    QCOMPARE(QString::asprintf("%u %u %u %u", first.chunkTag, first.width, first.height,
                               first.serialDataSize),
             QStringLiteral("120 160 128 1978"));
    QCOMPARE(QByteArray(first.serialData, 5), QByteArray("AAAA\0", 5));
    converter.getImageFromRAW(scratch("b.THR", synth::makeSingleFrameFile(b)), image,
                              ksDefines::NoSerialData, &ok, set);
    QVERIFY(ok && converter.getCurrentRawVideoChunk(second));
    // Raw values were copied; the serial block is the converter's, now B's.
    QVERIFY(first.rawData == recordings::decoded(a));
    QVERIFY(second.rawData == recordings::decoded(b));
    QVERIFY(first.serialData == second.serialData);
    QCOMPARE(QByteArray(first.serialData, 4), QByteArray("BBBB"));
}

void TestSingleFrame::imageFromFile_data() {
    QTest::addColumn<QString>("name");     // .THC: the compressed loader
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<bool>("reversed");    // a manual window with its bounds the wrong way round
    QTest::addColumn<QString>("lines");    // after "Opening: "
    QTest::addColumn<QString>("report");   // a message box titled "Error"
    QTest::addColumn<QSize>("size");
    const QString missing = "DataConverter::loadFromRawFile opening of file: \"%P\" failed\n"
                            "DataConverter::%1 call of DataConverter::loadFromRawFile returned "
                            "false: \"%P\"\n";
    const QString failed =
        "DataConverter::%1 call of DataConverter::processRawData returned false: "
        "\"%P\", RAWdata.size: %2";
    QTest::newRow("THR") << "img.THR" << synth::makeSingleFrameFile(recordings::options(5)) << false
                         << QString() << QString() << QSize(160, 128);
    QTest::newRow("THR missing") << "none.THR" << QByteArray() << false
                                 << missing.arg("getImageFromRAW") << QString() << QSize(1, 1);
    QTest::newRow("THC missing") << "none.THC" << QByteArray() << false
                                 << missing.arg("getImageFromCompressedRAW") << QString()
                                 << QSize(1, 1);
    const QString thr = failed.arg("getImageFromRAW").arg(20480);
    QTest::newRow("THR not converted")
        << "bad.THR" << synth::makeSingleFrameFile(recordings::options(6)) << true << thr + '\n'
        << thr << QSize(160, 128);
    // Five rows of 160 decode, but a frame needs ten rows to be converted.
    synth::SceneOptions scene;
    scene.width = 160;
    scene.height = 5;
    const QByteArray five = synth::makeCompressedFrame(
        synth::HeaderOptions(),
        synth::makeWordStream(synth::renderScene(scene, 0), 160, 5, synth::StreamOptions()));
    const QString thc = failed.arg("getImageFromCompressedRAW").arg(800);
    QTest::newRow("THC of five rows") << "five.THC" << five << false << thc + '\n'
                                      << thc << QSize(160, 5);
}

void TestSingleFrame::imageFromFile() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reversed);
    QFETCH(QString, lines);
    QFETCH(QString, report);
    const QString path = scratch(name, bytes);
    DataConverter converter;
    testsupport::Recorder rec;
    ThermalImageConversionSet set;
    set.autoGainEnabled = !reversed;
    set.lowerBound = 5000;
    set.upperBound = 100;
    QImage image(10, 10, QImage::Format_RGB888);
    bool ok = !lines.isEmpty();
    if (name.endsWith(QLatin1String(".THC")))
        converter.getImageFromCompressedRAW(path, image, &ok, ksDefines::NoSerialData, set);
    else
        converter.getImageFromRAW(path, image, ksDefines::NoSerialData, &ok, set);
    QCOMPARE(ok, lines.isEmpty());
    QCOMPARE(rec.out, withPath("Opening: %P\n" + lines, path));
    QCOMPARE(rec.reports.size(), size_t(report.isEmpty() ? 0 : 1));
    for (const testsupport::Report& r : rec.reports)
        QCOMPARE(r.title + ": " + r.text, "Error: " + withPath(report, path));
    QTEST(image.size(), "size");
    QCOMPARE(converter.getCurrentFileName(), path);
    // The window used is written back: the reset one (16383 over 1) when the
    // file did not load.
    QCOMPARE(set.lowerBound, bytes.isNull() ? 16383u : converter.getLowerRawValueBound());
    QCOMPARE(set.upperBound, bytes.isNull() ? 1u : converter.getUpperRawValueBound());
    if (ok)
        QVERIFY(set.lowerBound < set.upperBound);
}

void TestSingleFrame::versionOpenAndPictures() {
    DataConverter converter;
    int version = -1;
    QVERIFY(!converter.determineFileVersion(0, version)); // nothing open
    QVERIFY(!converter.openFileForReading(scratch("none.THR")));
    QVERIFY(converter.openFileForReading(scratch("sig.bin", QByteArray("xxxxxVELM\x06", 10))));
    QVERIFY(converter.determineFileVersion(5, version) && version == 6);
    QVERIFY(converter.determineFileVersion(0, version) && version == 'x');
    QVERIFY(!converter.determineFileVersion(6, version)); // 4 bytes left
    QCOMPARE(version, int('x'));

    QImage image;
    const QString png = scratch("pic.png");
    QImage(7, 5, QImage::Format_RGB32).save(png);
    QVERIFY(converter.loadBinaryImageFromFile(png, &image));
    QCOMPARE(image.size(), QSize(7, 5));
    QVERIFY(!converter.loadBinaryImageFromFile(scratch("junk.png", "not a picture"), &image));
    QCOMPARE(QSize(int(converter.getImageWidth()), int(converter.getImageHeight())), QSize(7, 5));
}

void TestSingleFrame::garbageStaysWithinBounds() {
    // Random bytes behind every supported version byte, parsed as every kind
    // of telemetry: refused, or a frame within the buffer's bounds.
    DataConverter converter;
    testsupport::Recorder rec;
    QRandomGenerator rng(2024);
    const int versions[] = {0, 1, 2, 4, 5, 6};
    int decoded = 0;
    for (int round = 0; round < 24; ++round) {
        QByteArray bytes(round % 6 == 0 ? 2097152 : int(rng.bounded(5, 75000)) * 4, '\0');
        rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        bytes[4] = char(versions[round % 6]);
        // Every other round runs of 397 pixel words between three random words.
        for (int k = 2 * int(synth::headerLength(versions[round % 6]));
             round % 2 && k < bytes.size(); k += 2)
            bytes[k + 1] = char(bytes[k + 1] | ((k / 2) % 400 < 3 ? 0x00 : 0x80));
        if (converter.loadFromRawFile(scratch("garbage.THR", bytes),
                                      ksDefines::serialContent(round % 4))) {
            ++decoded;
            QVERIFY(converter.getImageWidth() >= 160);
            QVERIFY(converter.getRawBuffer().size() >=
                    size_t(converter.getImageWidth()) * converter.getImageHeight());
        }
        QVERIFY(converter.getRawBuffer().size() <= 655360);
    }
    QVERIFY(rec.reports.empty());
    // The pixel-heavy rounds do decode: the bounds above were put to work.
    QVERIFY2(decoded >= 6, qPrintable(QString::number(decoded)));
}

QTEST_MAIN(TestSingleFrame)
#include "tst_singleframe.moc"
