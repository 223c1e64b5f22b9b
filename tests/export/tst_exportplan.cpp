#include "export/ExportPlan.h"

#include <QtTest>

#include <vector>

using Frames = std::vector<uint32_t>;
Q_DECLARE_METATYPE(Frames)

class TestExportPlan : public QObject {
    Q_OBJECT
private slots:
    void numberStrings_data();
    void numberStrings();
    void derivedNames();
    void fileCounter_data();
    void fileCounter();
    void sequence_data();
    void sequence();
    void rangeChecks_data();
    void rangeChecks();
    void formatKeys_data();
    void formatKeys();
};

void TestExportPlan::numberStrings_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("one digit") << 7 << "0007";
    QTest::newRow("zero") << 0 << "0000";
    QTest::newRow("four digits") << 9999 << "9999";
    QTest::newRow("past 9999") << 10000 << "10000";
    QTest::newRow("five digits, not cut") << 12345 << "12345";
    QTest::newRow("largest index") << 50500 << "50500";
}

void TestExportPlan::numberStrings() {
    QFETCH(int, number);
    QTEST(kx::generate4DigitNumberString(number), "text");
}

void TestExportPlan::derivedNames() {
    const kx::ExportNames names(QStringLiteral("/data/out"), QStringLiteral("run"));
    QCOMPARE(names.base, QStringLiteral("/data/out/run"));
    QCOMPARE(names.frameName(7), QStringLiteral("/data/out/run_0007"));
    QCOMPARE(names.frameName(12345), QStringLiteral("/data/out/run_12345"));
    QCOMPARE(names.kmlFile(), QStringLiteral("/data/out/run.kml"));
    QCOMPARE(names.allFramesMetaCsv(), QStringLiteral("/data/out/run_meta.csv"));
    QCOMPARE(names.aviFile(QStringLiteral("AVI")), QStringLiteral("/data/out/run.avi"));
    QCOMPARE(names.fffSequence(), QStringLiteral("/data/out/run.seq"));
    QCOMPARE(kx::ExportNames::aviFrameLabel(1), QStringLiteral("Frame_0001"));
    QCOMPARE(kx::ExportNames::aviFrameLabel(50), QStringLiteral("Frame_0050"));
    QCOMPARE(kx::ExportNames::daylightName(QStringLiteral("/data/run"), 7),
             QStringLiteral("/data/run_0007_DL.jpg"));
    QCOMPARE(kx::ExportNames::daylightName(QStringLiteral("/data/run"), 12345),
             QStringLiteral("/data/run_12345_DL.jpg"));
}

void TestExportPlan::fileCounter_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<uint>("counter");
    QTest::addColumn<QString>("result");
    QTest::newRow("first input") << "scan" << 0u << "scan_000";
    QTest::newRow("counter 2") << "scan" << 2u << "scan_002";
    QTest::newRow("counter 5") << "image" << 5u << "image_005";
    QTest::newRow("past 999, not cut") << "scan" << 1234u << "scan_1234";
}

void TestExportPlan::fileCounter() {
    QFETCH(QString, prefix);
    QFETCH(uint, counter);
    const QString withCounter = kx::prefixWithFileCounter(prefix, counter);
    QTEST(withCounter, "result");
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
    QTest::newRow("step past the end") << 2u << 9u << 50u << Frames{2} << 0;
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
    QTest::newRow("end before start")
        << 6u << 5u << 100 << "Start frame must be lower than end frame";
    QTest::newRow("start equal to end") << 10u << 10u << 100 << "";
    QTest::newRow("whole recording") << 1u << 100u << 100 << "";
    QTest::newRow("end beyond") << 1u << 101u << 100
                                << "End frame is higher than frames in dataset";
    QTest::newRow("start beyond") << 101u << 105u << 100
                                  << "Start frame is higher than frames in dataset";
    // The checks run in order: end < start wins over the recording checks.
    QTest::newRow("both wrong") << 200u << 150u << 100
                                << "Start frame must be lower than end frame";
    QTest::newRow("start 0 of an empty recording") << 0u << 0u << 0 << "";
    QTest::newRow("huge start") << 4294967295u << 4294967295u << 100
                                << "Start frame is higher than frames in dataset";
}

void TestExportPlan::rangeChecks() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(int, frames);
    QTEST(kx::checkExportRange(start, end, frames), "warning");
}

void TestExportPlan::formatKeys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("encodable");
    QTest::newRow("png") << "png" << int(kx::ExportKind::Picture) << true;
    QTest::newRow("PNG") << "PNG" << int(kx::ExportKind::Picture) << true;
    QTest::newRow("jpg") << "jpg" << int(kx::ExportKind::Picture) << true;
    QTest::newRow("JPEG") << "JPEG" << int(kx::ExportKind::Picture) << true;
    QTest::newRow("bmp") << "bmp" << int(kx::ExportKind::Picture) << false;
    QTest::newRow("empty") << "" << int(kx::ExportKind::Picture) << false;
    QTest::newRow("Meta_only") << "Meta_only" << int(kx::ExportKind::MetaOnly) << false;
    QTest::newRow("csv") << "CSV" << int(kx::ExportKind::TemperatureCsv) << false;
    QTest::newRow("rjpg") << "RJPG" << int(kx::ExportKind::RadiometricJpeg) << false;
    QTest::newRow("seq") << "seq" << int(kx::ExportKind::FffSequence) << false;
    QTest::newRow("avi") << "AVI" << int(kx::ExportKind::Avi) << false;
    QTest::newRow("tif") << "TIF" << int(kx::ExportKind::Tiff) << false;
    QTest::newRow("tiff") << "tiff" << int(kx::ExportKind::Tiff) << true;
}

void TestExportPlan::formatKeys() {
    QFETCH(QString, key);
    QTEST(int(kx::exportKindForKey(key)), "kind");
    QTEST(kx::isEncodablePictureFormat(key), "encodable");
}

QTEST_GUILESS_MAIN(TestExportPlan)
#include "tst_exportplan.moc"
