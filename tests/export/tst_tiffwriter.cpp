#include "MappingSupport.h"
#include "export/TiffExporter.h"

#include <QFile>
#include <QtTest>
#include <cmath>
#include <tiffio.h>

using exporttools::runTool;
using mapping::flightFrame;

Q_DECLARE_METATYPE(kx::DecodedFrame)

namespace {

kx::DecodedFrame withPosition(kx::DecodedFrame f, double lat, double lon, double alt) {
    f.telemetry.latitude = lat;
    f.telemetry.longitude = lon;
    f.telemetry.altitude = alt;
    return f;
}

std::vector<uint16_t> readPixels(const QString& file) {
    std::vector<uint16_t> pixels;
    TIFF* tif = TIFFOpen(QFile::encodeName(file).constData(), "r");
    if (!tif)
        return pixels;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    std::vector<uint16_t> row(width);
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), y, 0) != 1)
            break;
        pixels.insert(pixels.end(), row.begin(), row.end());
    }
    TIFFClose(tif);
    return pixels;
}

} // namespace

class TestTiffWriter : public QObject {
    Q_OBJECT
private slots:
    void smallFileByteForByte() {
        kx::DecodedFrame f = withPosition(flightFrame(1, 2, 1), -48.5, 11.25, 100.25);
        f.raw = {0x1234, 0x0ABC};
        f.telemetry.date.clear(); // undated: the layout without the two date tags
        // Worked out by hand: pixels at 8, IFD0 at 12, GPS IFD at 198, Exif IFD
        // at 276, Make at 342 (19 counted, 20 written), Model at 362, then the
        // rationals: 48/1 30/1 0/1e6 S, 11/1 15/1 0/1e6 E, 10025/100 m, 19000/1000
        // mm, 2 x 10 / 10.88 and 1 x 10 / 8.704 pixels per cm.
        const QByteArray expected = QByteArray::fromHex("49492a000c000000"
                                                        "3412bc0a"
                                                        "0f00"
                                                        "000103000100000002000000"
                                                        "010103000100000001000000"
                                                        "020103000100000010000000"
                                                        "030103000100000001000000"
                                                        "060103000100000001000000"
                                                        "0f0102001300000056010000"
                                                        "10010200080000006a010000"
                                                        "110103000100000008000000"
                                                        "120103000100000001000000"
                                                        "150103000100000001000000"
                                                        "160103000100000001000000"
                                                        "170104000100000004000000"
                                                        "1c0103000100000001000000"
                                                        "698704000100000014010000"
                                                        "2588040001000000c6000000"
                                                        "00000000"
                                                        "0600"
                                                        "000001000400000002020000"
                                                        "010002000200000053000000"
                                                        "020005000300000072010000"
                                                        "030002000200000045000000"
                                                        "04000500030000008a010000"
                                                        "0600050001000000a2010000"
                                                        "00000000"
                                                        "0500"
                                                        "0a92050001000000aa010000"
                                                        "0ea2050001000000b2010000"
                                                        "0fa2050001000000ba010000"
                                                        "10a203000100000003000000"
                                                        "05a403000100000000000000"
                                                        "00000000"
                                                        "56656c6d6f726120546563686e6f6c6f67790000"
                                                        "4b65737472756d00"
                                                        "3000000001000000"
                                                        "1e00000001000000"
                                                        "0000000040420f00"
                                                        "0b00000001000000"
                                                        "0f00000001000000"
                                                        "0000000040420f00"
                                                        "2927000064000000"
                                                        "384a0000e8030000"
                                                        "204e0000802a0000"
                                                        "1027000000220000");
        QCOMPARE(kx::encodeTiff(f).toHex(), expected.toHex());
    }

    void toolsReadTags_data() {
        QTest::addColumn<kx::DecodedFrame>("frame");
        QTest::addColumn<int>("focal35");
        const kx::DecodedFrame f = flightFrame(5);
        QTest::newRow("flight frame") << f << 58;
        QTest::newRow("south west") << withPosition(f, -33.8688197, -151.2092955, 58.2) << 58;
        // Below sea level: the magnitude with reference 1 instead of a wrapped number.
        QTest::newRow("below sea level") << withPosition(f, 31.5590, 35.4732, -430.5) << 58;
        QTest::newRow("above 6553.6 m") << withPosition(f, 27.9881, 86.9250, 8848.86) << 58;
        kx::DecodedFrame small = flightFrame(2, 324, 256);
        small.focalLengthMM = 9;
        small.sensorWidthMM = 8.1f;
        small.sensorHeightMM = 6.4f;
        QTest::newRow("324 sensor") << small << 37;
        QTest::newRow("1 x 1") << flightFrame(3, 1, 1) << 0;
        // Frames the three parsers filled: tst_exif, through the date and
        // position code both writers share.
        kx::DecodedFrame none = f;
        none.telemetry = kx::Telemetry();
        none.serialBlock.clear();
        QTest::newRow("no telemetry") << none << 58;
    }

    void toolsReadTags() {
        QFETCH(kx::DecodedFrame, frame);
        QFETCH(int, focal35);
        const QString file = mapping::scratchFile(QStringLiteral("tags.tif"));
        QString error;
        QVERIFY2(kx::TiffExporter::writeToFile(file, frame, &error), qPrintable(error));

        const exporttools::ToolResult info = runTool(QStringLiteral("tiffinfo"), {file});
        QVERIFY2(info.started, "tiffinfo is missing (scripts/install-deps installs it)");
        QCOMPARE(info.exitCode, 0);
        QCOMPARE(info.err, QByteArray());
        QVERIFY(
            !QString::fromUtf8(info.out).contains(QLatin1String("Warning"), Qt::CaseInsensitive));

        const QJsonObject tags = exporttools::exiftool(
            file, {"Composite:GPSLatitude", "Composite:GPSLongitude", "EXIF:GPSAltitude",
                   "EXIF:GPSAltitudeRef", "Make", "Model", "FocalLength", "FocalLengthIn35mmFormat",
                   "FocalPlaneXResolution", "FocalPlaneYResolution", "FocalPlaneResolutionUnit",
                   "ImageWidth", "ImageHeight", "IFD0:ModifyDate", "ExifIFD:DateTimeOriginal",
                   "Warning"});
        const kx::Telemetry& t = frame.telemetry;
        QVERIFY(std::fabs(tags["GPSLatitude"].toDouble() - t.latitude) < 2e-6);
        QVERIFY(std::fabs(tags["GPSLongitude"].toDouble() - t.longitude) < 2e-6);
        // Above sea level the file keeps its layout without a reference (read as 0).
        QCOMPARE(tags.contains("GPSAltitudeRef"), t.altitude < 0);
        const double sign = tags["GPSAltitudeRef"].toInt() == 1 ? -1.0 : 1.0;
        QVERIFY(std::fabs(sign * tags["GPSAltitude"].toDouble() - t.altitude) <= 0.01);
        QCOMPARE(tags["Make"].toString(), QStringLiteral("Velmora Technology"));
        QCOMPARE(tags["Model"].toString(), QStringLiteral("Kestrum"));
        QCOMPARE(tags["FocalLength"].toDouble(), double(frame.focalLengthMM));
        QCOMPARE(tags["FocalLengthIn35mmFormat"].toInt(-1), focal35);
        QCOMPARE(tags["FocalPlaneResolutionUnit"].toInt(), 3);
        QVERIFY(std::fabs(tags["FocalPlaneXResolution"].toDouble() -
                          frame.width * 10.0 / double(frame.sensorWidthMM)) < 1e-3);
        QVERIFY(std::fabs(tags["FocalPlaneYResolution"].toDouble() -
                          frame.height * 10.0 / double(frame.sensorHeightMM)) < 1e-3);
        QVERIFY2(!tags.contains("Warning"), qPrintable(tags["Warning"].toString()));
        // The telemetry's moment in both date tags; none without telemetry.
        const QString moment = t.date.isEmpty() ? QString() : "2016:05:31 " + t.time;
        QCOMPARE(tags["ModifyDate"].toString(), moment);
        QCOMPARE(tags["DateTimeOriginal"].toString(), moment);
        QCOMPARE(tags["ImageWidth"].toInt(), int(frame.width));
        QCOMPARE(tags["ImageHeight"].toInt(), int(frame.height));

        const std::vector<uint16_t> pixels = readPixels(file);
        QCOMPARE(pixels.size(), frame.raw.size());
        QVERIFY(pixels == frame.raw);
    }

    void unusablePositionLeavesGpsOut_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::newRow("NaN latitude") << std::nan("") << 8.5;
        QTest::newRow("infinite longitude") << 47.0 << HUGE_VAL;
        QTest::newRow("latitude beyond 90") << 91.0 << 8.5;
    }

    void unusablePositionLeavesGpsOut() {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        const kx::DecodedFrame f = withPosition(flightFrame(1, 160, 128), latitude, longitude, 5);
        const QString file = mapping::scratchFile(QStringLiteral("nogps.tif"));
        QVERIFY(kx::TiffExporter::writeToFile(file, f));
        // Two more entries and the date twice: 20 bytes with its NUL.
        QCOMPARE(QFileInfo(file).size(), 8 + 160 * 128 * 2 + 186 + 78 + 28 + 40 + 24);
        QCOMPARE(runTool(QStringLiteral("tiffinfo"), {file}).err, QByteArray());
        const QJsonObject tags = exporttools::exiftool(file, {"GPSLatitude", "Make"});
        QVERIFY(!tags.contains("GPSLatitude"));
        QCOMPARE(tags["Make"].toString(), QStringLiteral("Velmora Technology"));
        QVERIFY(readPixels(file) == f.raw);
    }

    void refusals_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("missingValues");
        QTest::addColumn<QString>("error");
        const QString dir = testsupport::scratchDir();
        QTest::newRow("folder missing")
            << dir + "/no/such/f.tif" << 16 << 8 << 0
            << "Cannot write " + dir + "/no/such/f.tif: No such file or directory";
        QTest::newRow("target is a folder")
            << dir << 16 << 8 << 0 << "Cannot write " + dir + ": Is a directory";
        QTest::newRow("raw values missing")
            << dir + "/short.tif" << 16 << 8 << 1 << "The frame holds fewer values than its size";
        QTest::newRow("wider than 65535")
            << dir + "/wide.tif" << 70000 << 1 << 0
            << "A TIFF frame cannot be wider or higher than 65535 pixels";
    }

    void refusals() {
        QFETCH(QString, target);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, missingValues);
        QFETCH(QString, error);
        kx::DecodedFrame f = flightFrame(1, 16, 8);
        f.width = uint32_t(width);
        f.height = uint32_t(height);
        f.raw.assign(size_t(width) * height - size_t(missingValues), 100);
        // An earlier file under the name stays as it was.
        const bool earlier = !QFileInfo(target).isDir() && QFileInfo(target).dir().exists();
        if (earlier)
            QVERIFY(synth::writeFile(target, "earlier"));
        QString message;
        QVERIFY(!kx::TiffExporter::writeToFile(target, f, &message));
        QCOMPARE(message, error);
        if (earlier)
            QCOMPARE(testsupport::fileBytes(target), QByteArray("earlier"));
        // No temporary file is left behind.
        const QStringList rest =
            QDir(testsupport::scratchDir()).entryList({".*.tmp"}, QDir::Files | QDir::Hidden);
        QCOMPARE(rest, QStringList());
    }

    void libtiffWriterAndDiagnostic() {
        const kx::DecodedFrame f = flightFrame(4, 64, 48);
        const QString file = mapping::scratchFile(QStringLiteral("libtiff.tif"));
        QVERIFY(kx::TiffExporter::writeToFilelibTiff(file, f));
        QVERIFY(readPixels(file) == f.raw);
        testsupport::Recorder recorder;
        QVERIFY(kx::TiffExporter::testFile(file));
        QCOMPARE(recorder.out, QStringLiteral("Open\n"));
    }
};

QTEST_MAIN(TestTiffWriter)
#include "tst_tiffwriter.moc"
