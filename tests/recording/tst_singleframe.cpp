#include "Recordings.h"
#include "recording/DataConverter.h"
#include "recording/FrameHeader.h"

#include <QImage>
#include <QSignalSpy>
#include <QtTest>
#include <tuple>

using recordings::scratch;

// Version; bytes 10 to 15 (FPA temperature in tenths of a degree, two
// bytes, housing temperature in hundredths); text at offset 24 (version 6's
// serial block starts at 68); part number, FPA and housing temperature.
using HeaderCase = std::tuple<int, QByteArray, QByteArray, QString>;
Q_DECLARE_METATYPE(HeaderCase)

// File name (.THC: the compressed loader), bytes (null: no file), console
// lines after "Opening: " (%F: the converting operation).
using Failure = std::tuple<QString, QByteArray, QString>;
Q_DECLARE_METATYPE(Failure)

class TestSingleFrame : public QObject {
    Q_OBJECT
private slots:
    void cameraData_data() {
        QTest::addColumn<HeaderCase>("c");
        QTest::newRow("v6") << HeaderCase(6, QByteArray::fromHex("3a010000ab0b"),
                                          QByteArray("4640019S R01234\0junk", 20),
                                          "4640019S R01234 31.4 29.87");
        QTest::newRow("v5 largest temperatures")
            << HeaderCase(5, QByteArray::fromHex("ffff0000ffff"), QByteArray(), " 6553.5 655.35");
        // Without a terminator the part number runs up to the serial block and
        // not into it: 44 characters for version 6.
        QTest::newRow("v6 unterminated") << HeaderCase(
            6, QByteArray(6, '\0'), QByteArray(44, 'B') + "$GP", QString(44, 'B') + " 0 0");
        // Version 4 has its serial block at 10: nothing there is a temperature.
        QTest::newRow("v4 has none")
            << HeaderCase(4, QByteArray::fromHex("3a010000ab0b"), QByteArray(), " 0 0");
    }

    void cameraData() {
        QFETCH(HeaderCase, c);
        auto [version, temperatures, text, fields] = c;
        QByteArray b = QByteArray("VELM") + char(version) + QByteArray(2043, '\0');
        b.replace(10, 6, temperatures).replace(24, text.size(), text);
        FrameHeader h;
        QVERIFY(frameheader::parse(version, reinterpret_cast<const uint8_t*>(b.constData()),
                                   size_t(b.size()), h));
        QCOMPARE(QString::asprintf("%s %.10g %.10g", h.partNumber.constData(), h.tempFPACelsius,
                                   h.tempHousingCelsius),
                 fields);
    }

    void failures_data() {
        QTest::addColumn<Failure>("c");
        const QString signature =
            "DataConverter::loadFromRawFile Error reading signature: \"%P\"\n";
        const QString header = "DataConverter::loadFromRawFile Error reading header: \"%P\"\n";
        const QString undecodable =
            "DataConverter::processDataChunk no row of at least 160 values in "
            "%1 words: frame not decodable\n"
            "DataConverter::loadFromRawFile no frame decoded from: \"%P\"\n";
        const QByteArray v6 = synth::makeSingleFrameFile(recordings::options(6));
        QTest::newRow("missing") << Failure(
            "missing.THR", QByteArray(),
            "DataConverter::loadFromRawFile opening of file: \"%P\" failed\n");
        QTest::newRow("3 bytes") << Failure("three.THR", QByteArray("VEL"), signature);
        for (int version : {3, 7, 255})
            QTest::addRow("version %d", version) << Failure(
                "v.THR", synth::makeSingleFrameFile(recordings::options(version)), header);
        QTest::newRow("compressed version 3")
            << Failure("v3.THC", QByteArray(v6).replace(4, 1, "\x03"), header);
        QTest::newRow("version 6 cut at 2047 bytes") << Failure("cut6.THR", v6.left(2047), header);
        // Version 0 reads 35 bytes although its header has 23.
        QTest::newRow("version 0 cut at 34 bytes") << Failure(
            "cut0.THR", synth::makeSingleFrameFile(recordings::options(0)).left(34), header);
        // One byte more than the largest single frame (2 MiB loads: the probe's
        // padded file).
        QTest::newRow("2 MiB and one byte") << Failure(
            "large.THR", QByteArray(2097153, 'x'),
            "DataConverter::loadFromRawFile file too large: \"%P\" has 2097153 bytes, a single "
            "frame at most 2097152\n");
        // Header and undecoded area only: 2048 words past 2H, all zero.
        QTest::newRow("header only")
            << Failure("headeronly.THR", v6.left(4096), undecodable.arg(2048));
        const QString failed = "DataConverter::%F call of DataConverter::processRawData returned "
                               "false: \"%P\", RAWdata.size: %1\n";
        QTest::newRow("manual window") << Failure("manual.THR", v6, failed.arg(20480));
        // Five rows of 160 decode, but a frame needs ten rows to be converted.
        const QByteArray five = synth::makeCompressedFrame(
            {}, synth::makeWordStream(std::vector<uint16_t>(800, 1000), 160, 5, {}));
        // Stopped by the size check before the conversion: the message says so.
        QTest::newRow("compressed, five rows")
            << Failure("five.THC", five,
                       "DataConverter::%F frame of 160 x 5 pixels is too small to convert (at "
                       "least 10 x 10): \"%P\"\n");
    }

    void failures() {
        QFETCH(Failure, c);
        auto [name, bytes, lines] = c;
        // The file loaded and then the conversion failed (also reported in a box).
        const bool loaded = lines.contains("processRawData") || lines.contains("too small");
        const QString path = scratch(name, bytes);
        DataConverter converter;
        // A frame on show first, which the refused file must leave open.
        const synth::MovieOptions shown = recordings::options(6);
        const QString before = scratch("shown.THR", synth::makeSingleFrameFile(shown));
        QVERIFY(converter.loadFromRawFile(before, ksDefines::NoSerialData));
        testsupport::Recorder rec;
        // An automatic window, or for "manual" one with its bounds the wrong way round.
        ThermalImageConversionSet set{5000, 100,  0, false, 0, 0, false, !name.startsWith("manual"),
                                      1.0f, false};
        QImage image(10, 10, QImage::Format_RGB888);
        bool ok = true;
        const bool compressed = name.endsWith(QLatin1String(".THC"));
        if (compressed)
            converter.getImageFromCompressedRAW(path, image, &ok, ksDefines::NoSerialData, set);
        else
            converter.getImageFromRAW(path, image, ksDefines::NoSerialData, &ok, set);
        QVERIFY(!ok && (!bytes.isNull() || image.size() == QSize(1, 1)));
        if (!loaded)
            lines += "DataConverter::%F call of DataConverter::loadFromRawFile returned false: "
                     "\"%P\"\n";
        QCOMPARE(rec.out,
                 QString("Opening: %P\n" + lines)
                     .replace("%P", path)
                     .replace("%F", compressed ? "getImageFromCompressedRAW" : "getImageFromRAW"));
        // Only a failed conversion is also reported, in a box titled "Error".
        QCOMPARE(rec.reports.size(), size_t(loaded));
        for (const testsupport::Report& r : rec.reports)
            QCOMPARE(r.title + ": " + r.text, "Error: " + rec.outLines().last());
        // The window is written back: the reset one (16383 over 1) when the
        // file did not load. Before, the refused file became the open one.
        QCOMPARE(converter.getCurrentFileName() +
                     QString::asprintf(" %u %u", set.lowerBound, set.upperBound),
                 before + (loaded ? QString::asprintf(" %u %u", converter.getLowerRawValueBound(),
                                                      converter.getUpperRawValueBound())
                                  : " 16383 1"));
        QVERIFY(converter.getRawBuffer() == recordings::decoded(shown));
    }

    void headerFieldsOfEachFrame() {
        DataConverter converter;
        testsupport::Recorder rec;
        // Loads a frame; the header fields the converter then holds.
        const auto load = [&](int version, const QByteArray& serial) {
            synth::MovieOptions o = recordings::options(version);
            o.serialText = serial;
            const bool ok = converter.loadFromRawFile(
                scratch("h.THR", synth::makeSingleFrameFile(o)), ksDefines::NoSerialData);
            return QStringLiteral("%1 %2 %3 %4 %5 %6")
                .arg(ok)
                .arg(converter.getPartNumber())
                .arg(converter.getTempFPA())
                .arg(converter.getTempHousing())
                .arg(converter.getSerialDataSize())
                .arg(converter.getSerialDataString());
        };
        // Versions 1 and 2 keep their 8192-byte blocks whole, "END" included.
        const QByteArray text = QByteArray("abcdefghijklmnopqrstuvwxyz").repeated(316).left(8189);
        for (int version : {1, 2})
            QCOMPARE(load(version, text + "END"), "1  0 0 8192 " + text + "END");
        // Version 4 has no camera fields: cleared, not left from the frame before.
        QCOMPARE(load(6, "block of v6"), "1 4616000900FR000 31.4 29.87 1978 block of v6");
        QCOMPARE(load(4, "block of v4"), "1  0 0 2036 block of v4");
        // Version 0 has no serial block: the last one stays.
        load(6, "block of v6");
        QCOMPARE(load(0, "none"), "1  0 0 1978 block of v6");
    }

    void recordCopySemantics() {
        synth::MovieOptions a = recordings::options(6), b = recordings::options(6);
        a.serialText = "AAAA";
        b.serialText = "BBBB";
        b.scene.seed = 2;
        DataConverter converter;
        QSignalSpy hotspot(&converter, &DataConverter::hotspotAt);
        testsupport::Recorder rec;
        ThermalImageConversionSet set;
        QImage image(10, 10, QImage::Format_RGB888);
        bool ok = false;
        converter.getImageFromRAW(scratch("a.THR", synth::makeSingleFrameFile(a)), image,
                                  ksDefines::NoSerialData, &ok, set);
        rawVideoChunk first, second;
        QVERIFY(ok && converter.getCurrentRawVideoChunk(first) && image.size() == QSize(160, 128));
        // The first maximum in stream order, emitted once.
        QCOMPARE(QList<QVariantList>(hotspot).size(), 1);
        QCOMPARE(QString::asprintf("hotspot={ column=%u row=%u value=%u", hotspot[0][0].toUInt(),
                                   hotspot[0][1].toUInt(), hotspot[0][2].toUInt()),
                 recordings::stats(a).section(' ', 3));
        QCOMPARE(QString::asprintf("%u %u %u %u %.5s", first.chunkTag, first.width, first.height,
                                   first.serialDataSize, first.serialData),
                 QStringLiteral("120 160 128 1978 AAAA"));
        converter.getImageFromRAW(scratch("b.THR", synth::makeSingleFrameFile(b)), image,
                                  ksDefines::NoSerialData, &ok, set);
        QVERIFY(ok && converter.getCurrentRawVideoChunk(second));
        // Raw values were copied; the serial block is the converter's, now B's.
        QVERIFY(first.rawData == recordings::decoded(a) &&
                second.rawData == recordings::decoded(b));
        QCOMPARE(QByteArray(first.serialData, 5), QByteArray("BBBB\0", 5));
    }

    void determineFileVersion() {
        DataConverter converter;
        int version = -1;
        QVERIFY(!converter.determineFileVersion(0, version)); // nothing open
        QVERIFY(!converter.openFileForReading(scratch("none.THR")));
        QVERIFY(converter.openFileForReading(scratch("sig.bin", QByteArray("xxxxxVELM\x06", 10))));
        QVERIFY(converter.determineFileVersion(5, version) && version == 6);
        QVERIFY(converter.determineFileVersion(0, version) && version == 'x');
        QVERIFY(!converter.determineFileVersion(6, version) && version == 'x'); // 4 bytes left
    }
};

QTEST_GUILESS_MAIN(TestSingleFrame)
#include "tst_singleframe.moc"
