// Runs the built kalorix-probe (KALORIX_PROBE_PATH): --legend widens the PNG by the strip of its
// palette, labelled as the window's addLegend labels it.
#include "conversion/Legend.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QProcess>
#include <QtTest>

class TestProbeLegend : public QObject {
    Q_OBJECT
    // The probe's exit code and standard error for a 160 x 128 frame of raw 1500;
    // "out.png" is written into the scratch folder.
    QString run(const QStringList& args) {
        const QString dir = testsupport::scratchDir();
        const std::vector<uint16_t> raw(160 * 128, 1500);
        QFile::remove(dir + "/out.png");
        if (!synth::writeFile(dir + "/flat.THR",
                              synth::makeRawFrame({}, synth::makeWordStream(raw, 160, 128, {}))))
            return QString();
        QProcess process;
        process.setWorkingDirectory(dir);
        process.start(KALORIX_PROBE_PATH,
                      QStringList{"flat.THR", "--range", "1000", "2000"} + args);
        process.waitForFinished(120000);
        return QString::number(process.exitCode()) + ' ' + process.readAllStandardError();
    }

private slots:
    // Raw 1500 in 1000..2000 shows iron s = 249, inverted; the labels are
    // 2000 and 1000 x 0.4 K in Celsius.
    void legend() {
        QVERIFY(run({"--png", "out.png", "--palette", "iron", "--invert", "--legend", "--tlinear",
                     "low"})
                    .startsWith("0 "));
        QImage image(testsupport::scratchDir() + "/out.png");
        QCOMPARE(image.size(), QSize(221, 128));
        QCOMPARE(image.pixel(159, 127), qRgb(31, 181, 169));
        QImage expected = legend::loadLegendStrip(1, true).scaled(61, 128);
        legend::paintLabels(expected, "526.9", "126.9");
        QCOMPARE(image.copy(160, 0, 61, 128).convertToFormat(QImage::Format_RGB32),
                 expected.convertToFormat(QImage::Format_RGB32));
        // Without --legend the picture keeps its size.
        QVERIFY(run({"--png", "out.png", "--palette", "gray"}).startsWith("0 "));
        QCOMPARE(QImage(testsupport::scratchDir() + "/out.png").size(), QSize(160, 128));
    }

    void refusals() {
        for (const QStringList& args :
             {QStringList{"--legend"},
              QStringList{"--png", "out.png", "--legend", "--tlinear", "mid"},
              QStringList{"--png", "out.png", "--tlinear", "low"}}) {
            const QString result = run(args);
            QVERIFY2(result.startsWith("2 ") && result.contains("--tlinear <MODE>"),
                     qPrintable(result));
            QVERIFY(!QFile::exists(testsupport::scratchDir() + "/out.png"));
        }
    }
};

QTEST_MAIN(TestProbeLegend)
#include "tst_probelegend.moc"
