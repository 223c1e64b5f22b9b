#include "export/ExportPlan.h"

#include <QtTest>

#include <vector>

using Frames = std::vector<uint32_t>;
Q_DECLARE_METATYPE(Frames)

class TestExportPlan : public QObject {
    Q_OBJECT
private slots:
    void names();
    void sequence_data();
    void sequence();
    void rangeChecks_data();
    void rangeChecks();
    void formatKeys();
};

void TestExportPlan::names() {
    QCOMPARE(kx::generate4DigitNumberString(0), QStringLiteral("0000"));
    QCOMPARE(kx::generate4DigitNumberString(9999), QStringLiteral("9999"));
    const kx::ExportNames names(QStringLiteral("/data/out"), QStringLiteral("run"));
    QCOMPARE(names.frameName(7), QStringLiteral("/data/out/run_0007"));
    QCOMPARE(names.frameName(12345), QStringLiteral("/data/out/run_12345"));
    QCOMPARE(names.kmlFile(), QStringLiteral("/data/out/run.kml"));
    QCOMPARE(names.allFramesMetaCsv(), QStringLiteral("/data/out/run_meta.csv"));
    QCOMPARE(names.aviFile(QStringLiteral("AVI")), QStringLiteral("/data/out/run.avi"));
    QCOMPARE(names.fffSequence(), QStringLiteral("/data/out/run.seq"));
    QCOMPARE(kx::ExportNames::aviFrameLabel(50), QStringLiteral("Frame_0050"));
    QCOMPARE(kx::ExportNames::daylightName(QStringLiteral("/data/run"), 7),
             QStringLiteral("/data/run_0007_DL.jpg"));
    // The input's position, padded to three digits and never cut.
    QCOMPARE(kx::prefixWithFileCounter(QStringLiteral("image"), 5), QStringLiteral("image_005"));
    QCOMPARE(kx::prefixWithFileCounter(QStringLiteral("scan"), 1234), QStringLiteral("scan_1234"));
}

void TestExportPlan::sequence_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<uint>("step");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<int>("maximum");
    QTest::newRow("10..10 step 1") << 10u << 10u << 1u << Frames{10} << 0;
    QTest::newRow("1..10 step 3") << 1u << 10u << 3u << Frames{1, 4, 7, 10} << 3;
    QTest::newRow("1..9 step 3") << 1u << 9u << 3u << Frames{1, 4, 7} << 2;
    QTest::newRow("step 0 taken as 1") << 3u << 6u << 0u << Frames{3, 4, 5, 6} << 3;
    // A command-line step of -1 arrives as 4294967295; frame + step must not
    // wrap around to a small frame number and loop for ever.
    QTest::newRow("step -1 as unsigned") << 1u << 100u << 4294967295u << Frames{1} << 0;
    QTest::newRow("end at the top of the range")
        << 4294967290u << 4294967295u << 3u << Frames{4294967290u, 4294967293u} << 1;
    QTest::newRow("end before start") << 6u << 5u << 1u << Frames{} << 0;
}

void TestExportPlan::sequence() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(uint, step);
    QTEST(kx::exportFrameSequence(start, end, step), "frames");
    QTEST(kx::exportProgressMaximum(start, end, step), "maximum");
}

void TestExportPlan::rangeChecks_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("warning");
    const QString startAfterEnd = QStringLiteral("Start frame must be lower than end frame");
    const QString startBeyond = QStringLiteral("Start frame is higher than frames in dataset");
    QTest::newRow("end before start") << 6u << 5u << 100 << startAfterEnd;
    QTest::newRow("start = end = frame count") << 100u << 100u << 100 << "";
    QTest::newRow("end beyond") << 1u << 101u << 100
                                << "End frame is higher than frames in dataset";
    QTest::newRow("start beyond") << 101u << 105u << 100 << startBeyond;
    // The checks run in order: end < start wins over the recording checks.
    QTest::newRow("both wrong") << 200u << 150u << 100 << startAfterEnd;
    QTest::newRow("start 0 of an empty recording") << 0u << 0u << 0 << "";
    QTest::newRow("huge start") << 4294967295u << 4294967295u << 100 << startBeyond;
}

void TestExportPlan::rangeChecks() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(int, frames);
    QTEST(kx::checkExportRange(start, end, frames), "warning");
}

void TestExportPlan::formatKeys() {
    // What the driver does per key; "+" when the picture writer encodes it.
    const char* const kinds[] = {"meta", "csv", "rjpg", "seq", "avi", "tiff", "picture"};
    QStringList got;
    for (const char* key :
         {"PNG", "jpg", "JPEG", "bmp", "", "Meta_only", "CSV", "RJPG", "seq", "AVI", "TIF", "tiff"})
        got << kinds[int(kx::exportKindForKey(key))] +
                   QString(kx::isEncodablePictureFormat(key) ? "+" : "");
    QCOMPARE(got.join(' '), "picture+ picture+ picture+ picture picture meta csv rjpg seq avi tiff "
                            "tiff+");
}

QTEST_GUILESS_MAIN(TestExportPlan)
#include "tst_exportplan.moc"
