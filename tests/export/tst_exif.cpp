#include "MappingSupport.h"
#include "export/ExifAccess.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>
#include <cmath>

using mapping::flightFrame;

Q_DECLARE_METATYPE(kx::DecodedFrame)

namespace {

QByteArray plainJpeg(QSize size) {
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 255, (y * 3) & 255, (x + y) & 255));
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

// exiv2's plain values by key.
QMap<QString, QString> exiv2(const QString& file) {
    const exporttools::ToolResult run =
        exporttools::runTool(QStringLiteral("exiv2"), {"-Pkv", file});
    if (!run.started)
        qFatal("exiv2 is missing (scripts/install-deps installs it)");
    QMap<QString, QString> values;
    for (const QString& line : QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts)) {
        const int space = line.indexOf(QLatin1Char(' '));
        values[line.left(space)] = line.mid(space + 1).trimmed();
    }
    return values;
}

double rational(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    return parts.value(0).toDouble() / parts.value(1).toDouble();
}

double exiv2Degrees(const QString& text) {
    const QStringList v = text.split(QLatin1Char(' '));
    return rational(v.value(0)) + rational(v.value(1)) / 60 + rational(v.value(2)) / 3600;
}

} // namespace

class TestExif : public QObject {
    Q_OBJECT
private slots:
    void toolsAgree_data() {
        QTest::addColumn<kx::DecodedFrame>("frame");
        QTest::addColumn<bool>("daylight");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<double>("focal");
        QTest::addColumn<int>("focal35");
        QTest::addColumn<QString>("dateTime");
        const kx::DecodedFrame f = flightFrame(5);
        const QSize size(640, 512);
        const QString when = QStringLiteral("2016:05:31 14:24:23");
        QTest::newRow("NMEA date") << f << false << size << 19.0 << 58 << when;
        QTest::newRow("downlink date") << flightFrame(5, 640, 512, synth::Telemetry::MdDownlink)
                                       << false << size << 19.0 << 58 << when;
        kx::DecodedFrame low = f;
        low.telemetry.altitude = -430.5;
        low.telemetry.latitude = -33.8688197;
        low.telemetry.longitude = -151.2092955;
        QTest::newRow("below sea level, south west") << low << false << size << 19.0 << 58 << when;
        kx::DecodedFrame high = f;
        high.telemetry.altitude = 8848.86;
        QTest::newRow("above 6553.6 m") << high << false << size << 19.0 << 58 << when;
        kx::DecodedFrame noPart = f;
        noPart.partNumber.clear();
        noPart.telemetry.date.clear();
        QTest::newRow("no part number, no date")
            << noPart << false << size << 13.0 << 40 << QString();
        QTest::newRow("daylight, turned picture")
            << f << true << QSize(512, 640) << 19.0 << 58 << when;
        for (const auto& [name, kind] :
             {std::pair("NMEA flight", synth::Telemetry::Nmea),
              std::pair("MAVLink flight", synth::Telemetry::MAVLink),
              std::pair("downlink flight", synth::Telemetry::MdDownlink)}) {
            const std::vector<kx::DecodedFrame> flight = mapping::decodedFlight(kind, 3);
            QVERIFY(flight.size() == 3);
            QVERIFY(!flight[2].telemetry.date.isEmpty());
            QTest::newRow(name) << flight[2] << false << size << 19.0 << 58 << when;
        }
        QTest::newRow("1 x 1 frame")
            << flightFrame(2, 1, 1) << false << QSize(1, 1) << 19.0 << 0 << when;
    }

    void toolsAgree() {
        QFETCH(kx::DecodedFrame, frame);
        QFETCH(bool, daylight);
        QFETCH(QSize, picture);
        const QByteArray plain = plainJpeg(picture);
        const QString file = mapping::scratchFile(QStringLiteral("exif.jpg"));
        QVERIFY(synth::writeFile(file, plain));
        QString messages;
        QVERIFY2(kx::addExifToJpg(file, frame, daylight, &messages), qPrintable(messages));
        QCOMPARE(messages, QString());

        const QJsonObject tool = exporttools::exiftool(
            file,
            {"Composite:GPSLatitude", "Composite:GPSLongitude", "Composite:GPSAltitude",
             "GPSAltitudeRef", "GPSVersionID", "ExifVersion", "Make", "Model", "FocalLength",
             "FocalLengthIn35mmFormat", "ExifImageWidth", "ExifImageHeight", "DateTimeOriginal"});
        const QMap<QString, QString> ex2 = exiv2(file);
        const kx::Telemetry& t = frame.telemetry;
        const double sign = ex2["Exif.GPSInfo.GPSAltitudeRef"] == "1" ? -1.0 : 1.0;
        const double ex2Latitude = (ex2["Exif.GPSInfo.GPSLatitudeRef"] == "S" ? -1 : 1) *
                                   exiv2Degrees(ex2["Exif.GPSInfo.GPSLatitude"]);
        const double ex2Longitude = (ex2["Exif.GPSInfo.GPSLongitudeRef"] == "W" ? -1 : 1) *
                                    exiv2Degrees(ex2["Exif.GPSInfo.GPSLongitude"]);
        QVERIFY(std::fabs(tool["GPSLatitude"].toDouble() - t.latitude) < 2e-6);
        QVERIFY(std::fabs(tool["GPSLongitude"].toDouble() - t.longitude) < 2e-6);
        QVERIFY(std::fabs(ex2Latitude - tool["GPSLatitude"].toDouble()) < 1e-9);
        QVERIFY(std::fabs(ex2Longitude - tool["GPSLongitude"].toDouble()) < 1e-9);
        QVERIFY(std::fabs(tool["GPSAltitude"].toDouble() - t.altitude) <= 0.1);
        QCOMPARE(sign * rational(ex2["Exif.GPSInfo.GPSAltitude"]), tool["GPSAltitude"].toDouble());
        QCOMPARE(tool["GPSAltitudeRef"].toInt(-1), t.altitude < 0 ? 1 : 0);
        QCOMPARE(tool["GPSVersionID"].toString(), QStringLiteral("2 2 0 0"));
        QCOMPARE(tool["ExifVersion"].toString(), QStringLiteral("0220"));
        QCOMPARE(tool["Make"].toString(), QStringLiteral("Velmora Technology"));
        QCOMPARE(ex2["Exif.Image.Make"], QStringLiteral("Velmora Technology"));
        const QString model = daylight ? "Kestrum_Daylight" : "Kestrum";
        QCOMPARE(tool["Model"].toString(), model);
        QCOMPARE(ex2["Exif.Image.Model"], model);
        QTEST(tool["FocalLength"].toDouble(), "focal");
        QTEST(rational(ex2["Exif.Photo.FocalLength"]), "focal");
        QTEST(tool["FocalLengthIn35mmFormat"].toInt(-1), "focal35");
        QTEST(ex2["Exif.Photo.FocalLengthIn35mmFilm"].toInt(), "focal35");
        QCOMPARE(tool["ExifImageWidth"].toInt(), picture.width());
        QCOMPARE(tool["ExifImageHeight"].toInt(), picture.height());
        QCOMPARE(ex2["Exif.Photo.PixelXDimension"].toInt(), picture.width());
        QCOMPARE(ex2["Exif.Photo.PixelYDimension"].toInt(), picture.height());
        QTEST(tool["DateTimeOriginal"].toString(), "dateTime");
        QTEST(ex2["Exif.Photo.DateTimeOriginal"], "dateTime");

        // The picture itself is untouched.
        const QImage before = QImage::fromData(plain, "JPG");
        const QImage after = QImage::fromData(testsupport::fileBytes(file), "JPG");
        QVERIFY(!after.isNull());
        QCOMPARE(after, before);
    }

    void unusablePositionWritesNoPosition_data() {
        QTest::addColumn<double>("latitude");
        QTest::addColumn<double>("longitude");
        QTest::newRow("NaN latitude") << std::nan("") << 8.5;
        QTest::newRow("infinite longitude") << 47.0 << -HUGE_VAL;
        QTest::newRow("latitude beyond -90") << -90.5 << 8.5;
    }

    void unusablePositionWritesNoPosition() {
        QFETCH(double, latitude);
        QFETCH(double, longitude);
        kx::DecodedFrame f = flightFrame(1, 160, 128);
        f.telemetry.latitude = latitude;
        f.telemetry.longitude = longitude;
        const QString file = mapping::scratchFile(QStringLiteral("nogps.jpg"));
        QVERIFY(synth::writeFile(file, plainJpeg(QSize(160, 128))));
        QVERIFY(kx::addExifToJpg(file, f, false));
        const QJsonObject tool = exporttools::exiftool(
            file, {"GPSLatitude", "GPSLongitude", "Make", "DateTimeOriginal"});
        QVERIFY(!tool.contains("GPSLatitude"));
        QVERIFY(!tool.contains("GPSLongitude"));
        QCOMPARE(tool["DateTimeOriginal"].toString(), QStringLiteral("2016:05:31 14:24:23"));
    }

    void insertion_data() {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<QString>("messages"); // empty: inserted
        const QByteArray jpeg = plainJpeg(QSize(32, 16));
        const QString file = testsupport::scratchDir() + QStringLiteral("/insert.jpg");
        const QString written = QStringLiteral("ERROR writing Exif block to file\n");
        QTest::newRow("19 bytes") << jpeg.left(19) << "Error reading header\n" + written;
        QTest::newRow("no start marker")
            << QByteArray("GIF89a").append(40, 'x')
            << "(insertDataIntoJpgFile) Not a JPEG file: " + file + "\n" + written;
        QTest::newRow("cut JFIF segment")
            << QByteArray::fromHex("ffd8ffe0ffff").append(30, '\0')
            << "(insertDataIntoJpgFile) Not a JPEG file: " + file + "\n" + written;
        // Without JFIF header the segment follows the start marker.
        QTest::newRow("no JFIF header") << jpeg.left(2) + jpeg.mid(20) << QString();
    }

    void insertion() {
        QFETCH(QByteArray, jpeg);
        QFETCH(QString, messages);
        const QString file = mapping::scratchFile(QStringLiteral("insert.jpg"));
        QVERIFY(synth::writeFile(file, jpeg));
        kx::ExifAccess access;
        QString lines;
        const bool ok = access.writeDataToFile(
            kx::exifDataForFrame(flightFrame(1, 32, 16), false, QSize(32, 16)), file, &lines);
        QCOMPARE(lines, messages);
        QCOMPARE(ok, messages.isEmpty());
        const QByteArray after = testsupport::fileBytes(file);
        if (!ok) {
            QCOMPARE(after, jpeg); // the plain file stays
            return;
        }
        QCOMPARE(after.left(4), QByteArray::fromHex("ffd8ffe1"));
        QCOMPARE(after.size(), jpeg.size() + access.exifBlock().size() + 4);
        QCOMPARE(QImage::fromData(after, "JPG"), QImage::fromData(jpeg, "JPG"));
        QVERIFY(exporttools::exiftool(file, {"GPSLatitude"}).contains("GPSLatitude"));
    }

    void inMemory() {
        const QByteArray jpeg = plainJpeg(QSize(32, 16));
        const kx::DecodedFrame f = flightFrame(1, 32, 16);
        QString message;
        const QByteArray tagged = kx::jpegWithExif(jpeg, f, QSize(32, 16), false, &message);
        const QByteArray segment = kx::exifApp1Segment(
            kx::compileExifBlock(kx::exifDataForFrame(f, false, QSize(32, 16))));
        QCOMPARE(tagged, jpeg.left(20) + segment + jpeg.mid(20));
        QCOMPARE(message, QString());
    }

    void missingFile() {
        const QString file = mapping::scratchFile(QStringLiteral("absent.jpg"));
        QString lines;
        QVERIFY(!kx::addExifToJpg(file, flightFrame(1, 8, 8), false, &lines));
        QCOMPARE(lines, "(insertDataIntoJpgFile) Error opening input file: " + file +
                            "\nERROR writing Exif block to file\n");
        QVERIFY(!QFile::exists(file));
    }

    void insertIntoFile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("position");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("middle") << QByteArray("0123") << qint64(2) << QByteArray("01abc23")
                                << QString();
        QTest::newRow("beyond the end") << QByteArray("0123") << qint64(5) << QByteArray("0123")
                                        << "FileManipulation::insertIntoFile: readHeader failed\n";
        QTest::newRow("empty file") << QByteArray("") << qint64(0) << QByteArray("")
                                    << "FileManipulation::insertIntoFile: FileSize <= 0\n";
    }

    void insertIntoFile() {
        QFETCH(QByteArray, content);
        QFETCH(qint64, position);
        const QString file = mapping::scratchFile(QStringLiteral("insert.bin"));
        QVERIFY(synth::writeFile(file, content));
        QString lines;
        kx::FileManipulation::insertIntoFile(file, "abc", position, &lines);
        QTEST(lines, "message");
        QTEST(testsupport::fileBytes(file), "result");
    }
};

QTEST_MAIN(TestExif)
#include "tst_exif.moc"
