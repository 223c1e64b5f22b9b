#include "ExportTools.h"
#include "base/Radiometry.h"
#include "export/FffSequence.h"
#include "export/RadiometricWriter.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

using exporttools::le16;
using exporttools::le32;
using exporttools::runTool;
using testsupport::scratchPath;

namespace {

float leFloat(const QByteArray& bytes, int at) {
    const uint32_t bits = le32(bytes, at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The 16-bit samples of the single-strip TIFF that exiftool makes of the raw
// thermal image.
bool readTiff16(const QByteArray& tiff, int& width, int& height, std::vector<uint16_t>& samples) {
    if (tiff.size() < 8)
        return false;
    const bool big = tiff.startsWith("MM");
    auto u16 = [&](int at) {
        return big ? qFromBigEndian<quint16>(tiff.constData() + at)
                   : qFromLittleEndian<quint16>(tiff.constData() + at);
    };
    auto u32 = [&](int at) {
        return big ? qFromBigEndian<quint32>(tiff.constData() + at)
                   : qFromLittleEndian<quint32>(tiff.constData() + at);
    };
    const int ifd = int(u32(4));
    const int entries = u16(ifd);
    int offset = -1;
    int bits = 0;
    for (int i = 0; i < entries; ++i) {
        const int at = ifd + 2 + 12 * i;
        const int type = u16(at + 2);
        const int value = type == 3 ? u16(at + 8) : int(u32(at + 8));
        switch (u16(at)) {
        case 256:
            width = value;
            break;
        case 257:
            height = value;
            break;
        case 258:
            bits = value;
            break;
        case 273:
            offset = value;
            break;
        }
    }
    if (bits != 16 || offset < 0 || offset + 2 * width * height > tiff.size())
        return false;
    samples.resize(size_t(width) * height);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = u16(offset + int(2 * i));
    return true;
}

unsigned fileMode(const QString& file) {
    struct stat info {};
    return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_mode & 0777u : 0u;
}

} // namespace

class TestRadiometric : public QObject {
    Q_OBJECT
private slots:
    void signalCurve_data() {
        QTest::addColumn<float>("celsius");
        QTest::addColumn<int>("signal");
        // 342 + 366545 / (exp(1428 / 300) - 1) = 3508.8, worked out by hand.
        QTest::newRow("300 K") << 26.85f << 3508;
        // 800 K gives 74242: it used to wrap to 8706, a cold reading.
        QTest::newRow("800 K saturates") << 526.85f << 65535;
        // Absolute zero: the exponential overflows, the curve's floor O remains.
        QTest::newRow("0 K") << -273.15f << 342;
    }
    void signalCurve() {
        QFETCH(float, celsius);
        QTEST(int(kx::RadiometricWriter::TauToSignal(celsius, 366545, 1428, 1, 342)), "signal");
    }

    void blockLayout() {
        const kx::DecodedFrame frame =
            exporttools::frameOf(3, 2, {7500, 7500, 7500, 7500, 7500, 7500});
        QString error;
        const QByteArray fff = kx::fffBlock(frame, 0.04f, 0, &error);
        QCOMPARE(fff.size(), 1308 + 12);
        QCOMPARE(fff.left(13), QByteArray("FFF\0ATAU_RBFO", 13));
        QCOMPARE(le32(fff, 20), 100u);
        QCOMPARE(le32(fff, 24), 64u);
        QCOMPARE(le32(fff, 28), 2u);
        // The camera information entry comes first: readers walking a
        // sequence found only its first frame when the raw data entry did.
        QCOMPARE(fff.mid(64, 20).toHex(), QByteArray("200000006600000001000000800000007c040000"));
        QCOMPARE(fff.mid(96, 20).toHex(), QByteArray("010002006400000002000000fc0400002c000000"));
        QCOMPARE(leFloat(fff, 128 + 88), 366545.0f);
        QCOMPARE(int32_t(le32(fff, 128 + 776)), -342);
        QCOMPARE(le32(fff, 128 + 824), 3508u); // median
        QCOMPARE(le32(fff, 128 + 828), 1u);    // range
        QCOMPARE(le16(fff, 1308), uint16_t(3508));
    }

    void turns_data() {
        QTest::addColumn<int>("degrees");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("order");
        // The frame  a b c  turned clockwise by 90 reads  d a / e b / f c.
        //            d e f
        QTest::newRow("0") << 0 << 3 << "abcdef";
        QTest::newRow("90") << 90 << 2 << "daebfc";
        QTest::newRow("180") << 180 << 3 << "fedcba";
        QTest::newRow("-90") << -90 << 2 << "cfbead";
    }
    void turns() {
        QFETCH(int, degrees);
        QFETCH(int, width);
        QFETCH(QString, order);
        const std::vector<uint16_t> raws{7000, 7100, 7200, 7300, 7400, 7500};
        const kx::DecodedFrame frame = exporttools::frameOf(3, 2, raws);
        QString error;
        const QByteArray fff = kx::fffBlock(frame, 0.04f, degrees, &error);
        QCOMPARE(fff.size(), 1308 + 12);
        const int height = 6 / width;
        for (int record : {128, 1276}) { // both geometry headers
            QCOMPARE(int(le16(fff, record + 2)), width);
            QCOMPARE(int(le16(fff, record + 4)), height);
            QCOMPARE(int(le16(fff, record + 12)), width - 1);
            QCOMPARE(int(le16(fff, record + 16)), height - 1);
        }
        // The visible picture turns the same way as the signals.
        QImage picture(3, 2, QImage::Format_RGB888);
        for (int i = 0; i < 6; ++i)
            picture.setPixel(i % 3, i / 3, qRgb(i * 40, 0, 0));
        const QImage turned = kx::turnPicture(picture, degrees);
        QCOMPARE(turned.width(), width);
        for (int i = 0; i < 6; ++i) {
            const int source = order.at(i).toLatin1() - 'a';
            const float celsius = float(kx::radiometry::celsiusFromRaw(raws[source], 0.04f));
            QCOMPARE(le16(fff, 1308 + 2 * i), kx::tauToSignal(celsius, 366545, 1428, 1, 342));
            QCOMPARE(qRed(turned.pixel(i % width, i / width)), source * 40);
        }
    }

    void radiometricJpegReadByExiftool_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("degrees");
        QTest::newRow("640 x 512") << 640 << 512 << 0;
        QTest::newRow("640 x 512 turned 90") << 640 << 512 << 90;
        QTest::newRow("1 x 1") << 1 << 1 << 0;
    }
    void radiometricJpegReadByExiftool() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, degrees);
        kx::DecodedFrame frame = exporttools::sceneFrame(width, height);
        frame.raw[0] = 16383; // a hot pixel: 382 °C
        const QString file =
            scratchPath(QStringLiteral("frame_%1x%2_%3.jpg").arg(width).arg(height).arg(degrees));
        QImage picture = exporttools::pictureOf(frame);
        kx::RadiometricWriter writer;
        QVERIFY(writer.saveRJpeg(file, frame, picture, 0.04f, degrees));

        const QJsonObject tags = exporttools::exiftool(file, {});
        QVERIFY2(!tags.isEmpty(), "exiftool read nothing");
        QVERIFY2(!tags.contains(QStringLiteral("Warning")),
                 qPrintable(tags.value(QStringLiteral("Warning")).toString()));
        const bool sideways = degrees == 90 || degrees == -90;
        const int outWidth = sideways ? height : width;
        const int outHeight = sideways ? width : height;
        QCOMPARE(tags.value(QStringLiteral("RawThermalImageWidth")).toInt(), outWidth);
        QCOMPARE(tags.value(QStringLiteral("RawThermalImageHeight")).toInt(), outHeight);
        QCOMPARE(tags.value(QStringLiteral("RawThermalImageType")).toString(),
                 QStringLiteral("TIFF"));
        QCOMPARE(tags.value(QStringLiteral("ImageWidth")).toInt(), outWidth);
        const double R1 = tags.value(QStringLiteral("PlanckR1")).toDouble();
        const double R2 = tags.value(QStringLiteral("PlanckR2")).toDouble();
        const double B = tags.value(QStringLiteral("PlanckB")).toDouble();
        const double F = tags.value(QStringLiteral("PlanckF")).toDouble();
        const double O = tags.value(QStringLiteral("PlanckO")).toDouble();
        QCOMPARE(R1, 366545.0);
        QCOMPARE(B, 1428.0);
        QCOMPARE(F, 1.0);
        QCOMPARE(O, -342.0);
        QCOMPARE(R2, 1.0);

        // The signals give the frame's temperatures back with the file's own
        // constants: T = B / ln(R1 / (R2 (S + O)) + F).
        const auto raw = runTool(QStringLiteral("exiftool"),
                                 {QStringLiteral("-b"), QStringLiteral("-RawThermalImage"), file});
        int tiffWidth = 0;
        int tiffHeight = 0;
        std::vector<uint16_t> signalValues;
        QVERIFY(readTiff16(raw.out, tiffWidth, tiffHeight, signalValues));
        QCOMPARE(tiffWidth, outWidth);
        QCOMPARE(tiffHeight, outHeight);
        for (int y = 0; y < outHeight; ++y) {
            for (int x = 0; x < outWidth; ++x) {
                // The pixel of the unturned frame that (x, y) shows.
                const int sx = degrees == 90 ? y : x;
                const int sy = degrees == 90 ? height - 1 - x : y;
                const double expected =
                    kx::radiometry::celsiusFromRaw(frame.raw[size_t(sy) * width + sx], 0.04f);
                const double S = signalValues[size_t(y) * outWidth + x];
                const double celsius = B / std::log(R1 / (R2 * (S + O)) + F) - 273.15;
                if (std::abs(celsius - expected) > 0.05)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 instead of %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(celsius)
                                         .arg(expected)));
            }
        }

        // The visible picture: what was exported, through a JPEG at quality 95.
        QCOMPARE(picture.width(), outWidth); // turned in place for the caller
        const QByteArray decoded = exporttools::ffmpegFrame(file, 0);
        QVERIFY(exporttools::meanDifference(decoded, picture) < 2.0);
    }

    // Rows go straight into their segments (320 x 256: rows cross segment
    // boundaries), and each thread reuses its segment buffer, but never one
    // that a caller still holds.
    void segmentsMatchTheBlockAndSurviveTheNextFrame() {
        const kx::DecodedFrame first = exporttools::sceneFrame(320, 256, 1);
        const kx::DecodedFrame second = exporttools::sceneFrame(320, 256, 2);
        kx::RadiometricJpegParts held, next;
        QVERIFY(kx::encodeRadiometricJpegParts(first, exporttools::pictureOf(first), 0.04f, 0, held,
                                               nullptr));
        const QByteArray before(held.segments.constData(), held.segments.size());
        QVERIFY(kx::encodeRadiometricJpegParts(second, exporttools::pictureOf(second), 0.04f, 0,
                                               next, nullptr));
        QVERIFY(next.segments != before);
        QCOMPARE(held.segments, before);
        QCOMPARE(held.segments, kx::flirApp1Segments(kx::fffBlock(first, 0.04f, 0, nullptr)));
    }

    void sequenceReadByExiftool() {
        const QString file = scratchPath(QStringLiteral("flight.seq"));
        QFile::remove(file);
        kx::FffSequenceWriter sequence;
        QVERIFY(sequence.open(file));
        for (int n = 0; n < 10; ++n)
            QVERIFY(sequence.addFrame(exporttools::sceneFrame(160, 128, n), 0.04f, 0));
        QVERIFY(sequence.close());
        QCOMPARE(QFileInfo(file).size(), 10 * (1308 + 2 * 160 * 128));
        // The mode of any new file, not the hidden part file's 0600.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        QCOMPARE(fileMode(file), 0666u & ~unsigned(mask));

        // Level 2 of -ee also extracts the raw data of the frames after the
        // first; with the raw data entry first, exiftool found one frame.
        const auto result =
            runTool(QStringLiteral("exiftool"),
                    {QStringLiteral("-ee2"), QStringLiteral("-G3"), QStringLiteral("-j"),
                     QStringLiteral("-RawThermalImageWidth"),
                     QStringLiteral("-RawThermalImageHeight"), QStringLiteral("-Warning"), file});
        QCOMPARE(result.exitCode, 0);
        const QJsonObject tags = QJsonDocument::fromJson(result.out).array().at(0).toObject();
        QStringList widths;
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            QVERIFY2(!it.key().endsWith(QLatin1String("Warning")),
                     qPrintable(it.value().toString()));
            if (it.key().endsWith(QLatin1String(":RawThermalImageWidth"))) {
                QCOMPARE(it.value().toInt(), 160);
                const QString height =
                    QString(it.key()).replace(QLatin1String("Width"), QLatin1String("Height"));
                QCOMPARE(tags.value(height).toInt(), 128);
                widths << it.key();
            }
        }
        QCOMPARE(widths.size(), 10);

        // Plain -ee walks every block too and reads each frame's camera
        // information; exiftool reads the raw data record, the only one with
        // the raw image size, of the frames after the first only at level 2.
        const auto walk = runTool(QStringLiteral("exiftool"),
                                  {QStringLiteral("-ee"), QStringLiteral("-G3"),
                                   QStringLiteral("-j"), QStringLiteral("-n"),
                                   QStringLiteral("-PlanckR1"), QStringLiteral("-PlanckO"), file});
        const QJsonObject frames = QJsonDocument::fromJson(walk.out).array().at(0).toObject();
        int walked = 0;
        for (auto it = frames.begin(); it != frames.end(); ++it) {
            if (it.key().endsWith(QLatin1String(":PlanckR1"))) {
                QCOMPARE(it.value().toDouble(), 366545.0);
                QCOMPARE(
                    frames.value(QString(it.key()).replace(QLatin1String("R1"), QLatin1String("O")))
                        .toInt(),
                    -342);
                ++walked;
            }
        }
        QCOMPARE(walked, 10);

        // A second export to the same name extends the file; a run that
        // stops half-way leaves it as it was.
        QVERIFY(sequence.open(file));
        QVERIFY(sequence.addFrame(exporttools::sceneFrame(160, 128, 0), 0.04f, 0));
        sequence.discard();
        QCOMPARE(QFileInfo(file).size(), 10 * (1308 + 2 * 160 * 128));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
        QVERIFY(sequence.open(file));
        QVERIFY(sequence.addFrame(exporttools::sceneFrame(160, 128, 0), 0.04f, 0));
        QVERIFY(sequence.close());
        QCOMPARE(QFileInfo(file).size(), 11 * (1308 + 2 * 160 * 128));
        QCOMPARE(fileMode(file), 0640u); // an extended sequence keeps its mode
        // The window's per-frame call appends, as earlier versions did.
        const QString appended = scratchPath(QStringLiteral("appended.seq"));
        QFile::remove(appended);
        kx::RadiometricWriter writer;
        const kx::DecodedFrame frame = exporttools::sceneFrame(16, 8);
        QVERIFY(writer.storeFFF(appended, frame, 0.04f, 180));
        QVERIFY(writer.storeFFF(appended, frame, 0.04f, 180));
        QCOMPARE(testsupport::fileBytes(appended), writer.fffData() + writer.fffData());
        QCOMPARE(QDir(testsupport::scratchDir())
                     .entryList({QStringLiteral("*flight*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("flight.seq")});
    }

    void refusals_data() {
        QTest::addColumn<QString>("partNumber");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("degrees");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a Tau 2")
            << "9920019" << 4 << 0 << "The camera core 9920019 delivers no temperatures";
        QTest::newRow("no pixels") << "4640019" << 0 << 0 << "The frame holds no pixels";
        QTest::newRow("45 degrees")
            << "4640019" << 4 << 45 << "Rotation by 45 degrees is not supported";
    }
    void refusals() {
        QFETCH(QString, partNumber);
        QFETCH(int, width);
        QFETCH(int, degrees);
        kx::DecodedFrame frame =
            exporttools::frameOf(uint32_t(width), 1, std::vector<uint16_t>(size_t(width), 7500));
        frame.partNumber = partNumber;
        testsupport::Recorder recorder;
        const QString file = scratchPath(QStringLiteral("refused.jpg"));
        QImage picture(4, 1, QImage::Format_RGB888);
        kx::RadiometricWriter writer;
        QVERIFY(!writer.saveRJpeg(file, frame, picture, 0.04f, degrees));
        QVERIFY(
            !writer.storeFFF(scratchPath(QStringLiteral("refused.seq")), frame, 0.04f, degrees));
        QCOMPARE(int(recorder.reports.size()), 2);
        QTEST(recorder.reports[0].text, "message");
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QFile::exists(scratchPath(QStringLiteral("refused.seq"))));
    }

    void unwritableTargets() {
        const kx::DecodedFrame frame = exporttools::sceneFrame(16, 8);
        QImage picture = exporttools::pictureOf(frame);
        const QString readOnly = scratchPath(QStringLiteral("readonly.jpg"));
        QFile::remove(readOnly);
        QFile existing(readOnly);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        QVERIFY(existing.setPermissions(QFileDevice::ReadOwner));
        const QString missingFolder = scratchPath(QStringLiteral("no-such-folder/frame.jpg"));

        testsupport::Recorder recorder;
        kx::RadiometricWriter writer;
        QVERIFY(!writer.saveRJpeg(readOnly, frame, picture, 0.04f, 0));
        QVERIFY(!writer.saveRJpeg(missingFolder, frame, picture, 0.04f, 0));
        kx::FffSequenceWriter sequence;
        QVERIFY(!sequence.open(scratchPath(QStringLiteral("no-such-folder/flight.seq"))));
        QCOMPARE(int(recorder.reports.size()), 2);
        QCOMPARE(recorder.reports[0].text, "Cannot write " + readOnly + ": the file is read-only");
        QVERIFY(recorder.reports[1].text.startsWith("Cannot write " + missingFolder + ": "));
        QVERIFY(sequence.errorString().startsWith(QStringLiteral("Cannot write ")));
        QCOMPARE(testsupport::fileBytes(readOnly), QByteArray("keep"));
        existing.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
};

QTEST_GUILESS_MAIN(TestRadiometric)
#include "tst_radiometric.moc"
