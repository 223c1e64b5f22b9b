// Runs the built kalorix-probe (KALORIX_PROBE_PATH): --legend widens the PNG by the strip of its
// palette, labelled as the window's addLegend labels it.
#include "conversion/Legend.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QProcess>
#include <QtTest>

class TestProbeLegend : public QObject {
    Q_OBJECT
private slots:
    // The probe's exit code, whether its usage went to standard error and the
    // size of "out.png", for a 160 x 128 frame of raw 1500 shown over 1000..2000.
    void run_data() {
        QTest::addColumn<QString>("outcome");
        // --tlinear labels need --legend, --legend needs --png and a known mode.
        QTest::newRow("--legend") << "2 1 0x0";
        QTest::newRow("--png out.png --legend --tlinear mid") << "2 1 0x0";
        QTest::newRow("--png out.png --tlinear low") << "2 1 0x0";
        QTest::newRow("--png out.png --palette gray") << "0 0 160x128";
        QTest::newRow("--png out.png --palette iron --invert --legend --tlinear low")
            << "0 0 221x128";
    }
    void run() {
        const QString dir = testsupport::scratchDir();
        QFile::remove(dir + "/out.png");
        const auto words = synth::makeWordStream(std::vector<uint16_t>(20480, 1500), 160, 128, {});
        QVERIFY(synth::writeFile(dir + "/flat.THR", synth::makeRawFrame({}, words)));
        QProcess process;
        process.setWorkingDirectory(dir);
        process.start(KALORIX_PROBE_PATH, QStringList{"flat.THR", "--range", "1000", "2000"} +
                                              QString(QTest::currentDataTag()).split(' '));
        QVERIFY(process.waitForFinished(120000));
        const QImage image(dir + "/out.png");
        QTEST(QString::asprintf("%d %d %dx%d", process.exitCode(),
                                process.readAllStandardError().contains("--tlinear <MODE>"),
                                image.width(), image.height()),
              "outcome");
        if (image.width() != 221)
            return;
        // Raw 1500 in 1000..2000 shows iron s = 249, inverted; the labels are
        // 2000 and 1000 x 0.4 K in Celsius.
        QCOMPARE(image.pixel(159, 127), qRgb(31, 181, 169));
        QImage expected = legend::loadLegendStrip(1, true).scaled(61, 128);
        legend::paintLabels(expected, "526.9", "126.9");
        QCOMPARE(image.copy(160, 0, 61, 128).convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
    }
};

QTEST_MAIN(TestProbeLegend)
#include "tst_probelegend.moc"
