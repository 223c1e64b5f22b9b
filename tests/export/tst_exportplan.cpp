#include "export/ExportPlan.h"

#include <QtTest>

#include <vector>

using Frames = std::vector<uint32_t>;
Q_DECLARE_METATYPE(Frames)

class TestExportPlan : public QObject {
    Q_OBJECT
private slots:
    // Frame numbers padded to four digits and never cut; the input's position
    // padded to three.
    void names() {
        const kx::ExportNames n("/data/out", "run");
        QStringList names;
        names << kx::generate4DigitNumberString(0) << n.frameName(7) << n.frameName(12345)
              << n.kmlFile() << n.allFramesMetaCsv() << n.aviFile("AVI") << n.fffSequence()
              << kx::ExportNames::aviFrameLabel(50) << kx::ExportNames::daylightName("/data/run", 7)
              << kx::prefixWithFileCounter("image", 5) << kx::prefixWithFileCounter("scan", 1234);
        QCOMPARE(names.join(' '), "0000 /data/out/run_0007 /data/out/run_12345 /data/out/run.kml "
                                  "/data/out/run_meta.csv /data/out/run.avi /data/out/run.seq "
                                  "Frame_0050 /data/run_0007_DL.jpg image_005 scan_1234");
    }

    // Start, end, step: the frames written and the progress bar's maximum.
    void sequence_data() {
        QTest::addColumn<QList<uint>>("range");
        QTest::addColumn<Frames>("frames");
        QTest::addColumn<int>("maximum");
        QTest::newRow("10..10 step 1") << QList<uint>{10, 10, 1} << Frames{10} << 0;
        QTest::newRow("1..10 step 3") << QList<uint>{1, 10, 3} << Frames{1, 4, 7, 10} << 3;
        QTest::newRow("1..9 step 3") << QList<uint>{1, 9, 3} << Frames{1, 4, 7} << 2;
        QTest::newRow("step 0 taken as 1") << QList<uint>{3, 6, 0} << Frames{3, 4, 5, 6} << 3;
        // A command-line step of -1 arrives as 4294967295; frame + step must not
        // wrap around to a small frame number and loop for ever.
        QTest::newRow("step -1 as unsigned") << QList<uint>{1, 100, 4294967295u} << Frames{1} << 0;
        QTest::newRow("end at the top of the range")
            << QList<uint>{4294967290u, 4294967295u, 3} << Frames{4294967290u, 4294967293u} << 1;
        QTest::newRow("end before start") << QList<uint>{6, 5, 1} << Frames{} << 0;
    }
    void sequence() {
        QFETCH(QList<uint>, range);
        QTEST(kx::exportFrameSequence(range[0], range[1], range[2]), "frames");
        QTEST(kx::exportProgressMaximum(range[0], range[1], range[2]), "maximum");
    }

    // Start, end, frames of the recording: the warning of the first failing check.
    void rangeChecks_data() {
        QTest::addColumn<QList<uint>>("range");
        QTest::addColumn<QString>("warning");
        const QString startAfterEnd = QStringLiteral("Start frame must be lower than end frame");
        const QString startBeyond = QStringLiteral("Start frame is higher than frames in dataset");
        QTest::newRow("end before start") << QList<uint>{6, 5, 100} << startAfterEnd;
        QTest::newRow("start = end = frame count") << QList<uint>{100, 100, 100} << "";
        QTest::newRow("end beyond")
            << QList<uint>{1, 101, 100} << "End frame is higher than frames in dataset";
        QTest::newRow("start beyond") << QList<uint>{101, 105, 100} << startBeyond;
        // The checks run in order: end < start wins over the recording checks.
        QTest::newRow("both wrong") << QList<uint>{200, 150, 100} << startAfterEnd;
        QTest::newRow("start 0 of an empty recording") << QList<uint>{0, 0, 0} << "";
        QTest::newRow("huge start") << QList<uint>{4294967295u, 4294967295u, 100} << startBeyond;
    }
    void rangeChecks() {
        QFETCH(QList<uint>, range);
        QTEST(kx::checkExportRange(range[0], range[1], int(range[2])), "warning");
    }

    void formatKeys() {
        // What the driver does per key; "+" when the picture writer encodes it.
        const char* const kinds[] = {"meta", "csv", "rjpg", "seq", "avi", "tiff", "picture"};
        QStringList got;
        for (const char* key : {"PNG", "jpg", "JPEG", "bmp", "", "Meta_only", "CSV", "RJPG", "seq",
                                "AVI", "TIF", "tiff"})
            got << kinds[int(kx::exportKindForKey(key))] +
                       QString(kx::isEncodablePictureFormat(key) ? "+" : "");
        QCOMPARE(got.join(' '),
                 "picture+ picture+ picture+ picture picture meta csv rjpg seq avi tiff tiff+");
    }
};

QTEST_GUILESS_MAIN(TestExportPlan)
#include "tst_exportplan.moc"
