// Runs the built kalorix-probe with --legend: the PNG widened by the strip of
// its palette, labelled as the window's addLegend labels it.
#include "conversion/Legend.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QImage>
#include <QProcess>
#include <QtTest>

#ifndef KALORIX_PROBE_PATH
#error "KALORIX_PROBE_PATH must name the kalorix-probe executable"
#endif

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runProbe(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QString scratchPath(const QString& name) {
    return testsupport::scratchDir() + '/' + name;
}

// A 160 x 128 .THR frame of raw 1500 everywhere.
QString writeFrame() {
    synth::HeaderOptions header;
    header.version = 6;
    header.partNumber = "4616009S R01234";
    synth::StreamOptions stream;
    const std::vector<uint16_t> raw(160 * 128, 1500);
    const QString path = scratchPath(QStringLiteral("flat.THR"));
    return synth::writeFile(
               path, synth::makeRawFrame(header, synth::makeWordStream(raw, 160, 128, stream)))
               ? path
               : QString();
}

} // namespace

class TestProbeLegend : public QObject {
    Q_OBJECT
private slots:
    void legend_data();
    void legend();
    void withoutLegend();
    void refusals_data();
    void refusals();
};

void TestProbeLegend::legend_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("bottom");
    QTest::addColumn<QRgb>("frame"); // raw 1500 in the window 1000..2000
    // 2000 x 0.04 = 80 K and 1000 x 0.04 = 40 K.
    QTest::newRow("iron, high gain")
        << QStringList{"--palette", "iron", "--tlinear", "high"} << 1u << false
        << QStringLiteral("-193.1") << QStringLiteral("-233.1") << qRgb(224, 74, 86);
    QTest::newRow("high gain is the default")
        << QStringList{"--palette", "iron"} << 1u << false << QStringLiteral("-193.1")
        << QStringLiteral("-233.1") << qRgb(224, 74, 86);
    QTest::newRow("iron inverted, low gain")
        << QStringList{"--palette", "iron", "--invert", "--tlinear", "low"} << 1u << true
        << QStringLiteral("526.9") << QStringLiteral("126.9") << qRgb(31, 181, 169);
    QTest::newRow("gray, no radiometry")
        << QStringList{"--palette", "gray", "--tlinear", "none"} << 0u << false
        << QStringLiteral("high") << QStringLiteral("low") << qRgb(127, 127, 127);
}

void TestProbeLegend::legend() {
    QFETCH(QStringList, args);
    QFETCH(uint, mode);
    QFETCH(bool, inverted);
    QFETCH(QString, top);
    QFETCH(QString, bottom);
    QFETCH(QRgb, frame);
    const QString file = writeFrame();
    QVERIFY(!file.isEmpty());
    const QString png = scratchPath(QStringLiteral("legend.png"));
    QFile::remove(png);
    const Run run =
        runProbe(QStringList{file, "--png", png, "--range", "1000", "2000", "--legend"} + args);
    QCOMPARE(run.exitCode, 0);
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), QSize(221, 128));
    QCOMPARE(image.pixel(0, 0), frame);
    QCOMPARE(image.pixel(159, 127), frame);

    // The legend is the strip squeezed to 128 rows with the two labels.
    QImage expected = legend::loadLegendStrip(mode, inverted)
                          .scaled(61, 128, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    legend::paintLabels(expected, top, bottom);
    QCOMPARE(image.copy(160, 0, 61, 128).convertToFormat(QImage::Format_RGB32),
             expected.convertToFormat(QImage::Format_RGB32));
}

void TestProbeLegend::withoutLegend() {
    const QString file = writeFrame();
    QVERIFY(!file.isEmpty());
    const QString png = scratchPath(QStringLiteral("plain.png"));
    QFile::remove(png);
    const Run run = runProbe({file, "--png", png, "--palette", "iron", "--range", "1000", "2000"});
    QCOMPARE(run.exitCode, 0);
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), QSize(160, 128));
}

void TestProbeLegend::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("legend without png") << QStringList{"--legend"};
    QTest::newRow("unknown T-linear mode")
        << QStringList{"--png", scratchPath("r.png"), "--legend", "--tlinear", "medium"};
    QTest::newRow("T-linear mode without legend")
        << QStringList{"--png", scratchPath("r.png"), "--tlinear", "low"};
}

void TestProbeLegend::refusals() {
    QFETCH(QStringList, args);
    const QString file = writeFrame();
    QVERIFY(!file.isEmpty());
    QFile::remove(scratchPath("r.png"));
    const Run run = runProbe(QStringList{file} + args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("--tlinear <MODE>"));
    QVERIFY(!QFile::exists(scratchPath("r.png")));
}

QTEST_MAIN(TestProbeLegend)
#include "tst_probelegend.moc"
