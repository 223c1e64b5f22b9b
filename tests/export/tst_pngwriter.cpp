#include "export/PictureWriter.h"
#include "export/PngWriter.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtTest>

class TestPngWriter : public QObject {
    Q_OBJECT
private slots:
    void checksums_data() {
        // Check values: the CRC-32 catalogue value for "123456789", Adler-32 of
        // "Wikipedia" from its definition, the rest from Python's zlib.
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<uint>("crc");
        QTest::addColumn<uint>("adler");
        QTest::newRow("empty") << QByteArray() << 0u << 1u;
        QTest::newRow("123456789") << QByteArray("123456789") << 0xCBF43926u << 0x091E01DEu;
        QTest::newRow("Wikipedia") << QByteArray("Wikipedia") << 0xADAAC02Eu << 0x11E60398u;
        // 100000 bytes of 0xFF: the Adler sums must be reduced before they
        // overflow (every 5552 bytes); the CRC runs through the 8-byte slices.
        QTest::newRow("100000 x FF")
            << QByteArray(100000, char(0xFF)) << 0x68C6CEC4u << 0x149A302Cu;
        // 70001 bytes: several runs of 5552, then a tail shorter than 16.
        QByteArray pattern;
        for (int i = 0; i < 70001; ++i)
            pattern.append(char((i * 37 + 11) & 0xFF));
        QTest::newRow("70001 patterned bytes") << pattern << 0x64BBF292u << 0x20E036ECu;
    }

    void checksums() {
        QFETCH(QByteArray, data);
        const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
        const size_t n = size_t(data.size());
        QTEST(uint(kx::crc32(p, n)), "crc");
        QTEST(uint(kx::crc32Portable(p, n)), "crc");
        QTEST(uint(kx::adler32(p, n)), "adler");
        // Both sums continue across pieces, as the writer feeds them row by row.
        const size_t h = n / 3;
        QTEST(uint(kx::crc32(p + h, n - h, kx::crc32(p, h))), "crc");
        QTEST(uint(kx::adler32(p + h, n - h, kx::adler32(p, h))), "adler");
    }

    void tinyFileBytes() {
        QImage image(2, 1, QImage::Format_RGB888);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 0, 255));
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        // Signature; IHDR 2 x 1, 8-bit RGB; pHYs 2835 per metre; IDAT of 18 bytes
        // (zlib header 78 01, one last stored block of 7 bytes: filter 0, red,
        // blue; Adler-32 070001ff worked out by hand); IEND. The CRCs of the
        // chunks are from Python's zlib.
        const QByteArray expected =
            QByteArray::fromHex("89504e470d0a1a0a"
                                "0000000d49484452000000020000000108020000007b40e8dd"
                                "000000097048597300000b1300000b1301009a9c18"
                                "00000012494441547801010700f8ff00ff00000000ff070001ff5536bac7"
                                "0000000049454e44ae426082");
        QCOMPARE(kx::encodeStoredPng(image).toHex(), expected.toHex());
    }

    void roundTrip_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("idatLength");
        // 640 x 512: rows of 1 + 1920 bytes, 983552 in all, in 16 stored blocks
        // (15 of 65535 and one of 533): 2 + 16 * 5 + 983552 + 4.
        QTest::newRow("640 x 512 RGB32") << QSize(640, 512) << int(QImage::Format_RGB32) << 983638;
        // 573 x 640 (a turned frame with its legend): 1720 * 640 = 1100800 bytes,
        // 17 blocks: 2 + 85 + 1100800 + 4.
        QTest::newRow("573 x 640") << QSize(573, 640) << int(QImage::Format_RGB888) << 1100891;
        // A row of 21844 pixels is 65533 bytes: still one block (at most 65535).
        QTest::newRow("one block") << QSize(21844, 1) << int(QImage::Format_RGB888) << 65544;
    }

    void roundTrip() {
        QFETCH(QSize, size);
        QFETCH(int, format);
        QFETCH(int, idatLength);
        QImage image(size, QImage::Format(format));
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, qRgb((x * 7 + y) & 255, (x ^ y) & 255, (x * y + 3) & 255));
        const QString file = testsupport::scratchPath(QStringLiteral("roundtrip.png"));
        QVERIFY(kx::writeStoredPng(image, file));
        const QByteArray bytes = testsupport::fileBytes(file);
        // IDAT follows the signature, IHDR (25 bytes) and pHYs (21 bytes); IEND
        // (12 bytes) follows it.
        QCOMPARE(bytes.mid(54, 8).toHex() + ' ' + QByteArray::number(bytes.size()),
                 QByteArray::number(idatLength, 16).rightJustified(8, '0') + "49444154 " +
                     QByteArray::number(8 + 25 + 21 + 12 + idatLength + 12));
        QCOMPARE(QImage(file).convertToFormat(QImage::Format_RGB32),
                 image.convertToFormat(QImage::Format_RGB32));
    }

    // The window's and the batch's single pictures: the file as the image
    // library reads it back; refused or failed writes leave no file.
    void pictureFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("report");     // "DIR" for the target folder
        QTest::addColumn<QByteArray>("written"); // format of the file on disk, empty: none
        const auto row = [](const char* name, const char* format, const char* report,
                            const char* written) {
            QTest::newRow(name) << QString(name) << QString(format) << QString(report)
                                << QByteArray(written);
        };
        row("a.png", "png", "", "png");
        row("b.JPG", "JPG", "", "jpeg");
        row("c.tiff", "tiff", "", "tiff");
        row("d.csv", "csv", "", "");
        row("e.bmp", "bmp", "Unsupported image format selected. Available are .png, .jpg, .jpeg",
            "");
        row("", "png", "", "");
        row("missing/f.png", "png",
            "Error while writing image \"DIR/missing/f.png\" with format png", "");
    }
    void pictureFiles() {
        QFETCH(QString, name);
        QFETCH(QString, format);
        QFETCH(QString, report);
        QFETCH(QByteArray, written);
        const QString dir = testsupport::freshDir(QStringLiteral("pictures"));
        const QString file = name.isEmpty() ? QString() : dir + QLatin1Char('/') + name;
        QImage image(40, 30, QImage::Format_RGB888);
        image.fill(QColor(10, 200, 30));
        testsupport::Recorder recorder;
        QCOMPARE(kx::writePictureFile(file, format, image), !written.isEmpty());
        QStringList reports;
        for (const testsupport::Report& r : recorder.reports)
            reports << r.title + '|' + r.text;
        QCOMPARE(reports, report.isEmpty() ? QStringList()
                                           : QStringList("Error|" + report.replace("DIR", dir)));
        QCOMPARE(testsupport::filesIn(dir).size(), written.isEmpty() ? 0 : 1);
        QCOMPARE(QImageReader(file).format(), written);
        QCOMPARE(QImageReader(file).size(), written.isEmpty() ? QSize() : QSize(40, 30));
    }

    void refusals() {
        QVERIFY(kx::encodeStoredPng(QImage()).isEmpty());
        const QImage alpha(4, 4, QImage::Format_ARGB32);
        QVERIFY(!kx::canStorePng(alpha));
        QVERIFY(kx::encodeStoredPng(alpha).isEmpty());
        QImage rgb(4, 4, QImage::Format_RGB888);
        rgb.fill(Qt::red);
        const QString missing = testsupport::scratchDir() + QStringLiteral("/no-such-dir/a.png");
        QVERIFY(!kx::writeStoredPng(rgb, missing));
    }
};

QTEST_GUILESS_MAIN(TestPngWriter)
#include "tst_pngwriter.moc"
