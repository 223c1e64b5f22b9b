// The probe applies the corrections as the window does: a recording can be
// checked from a script.
#include "recording/Recordings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

using recordings::scratch;

QJsonObject probe(const QStringList& args, int& exitCode) {
    QProcess process;
    process.start(QStringLiteral(KALORIX_PROBE_PATH), args);
    exitCode = -1;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    exitCode = process.exitCode();
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

// 110 frames rising by 50 counts up to the FFC frame 101 (version 6: the
// file's own marks are not collected), with shading towards the corners.
QString driftingMovie() {
    synth::MovieOptions o;
    o.frames = 110;
    o.version = 6;
    o.scene = synth::uniformShadedScene(160, 128, 6000, 200);
    o.ffcFrames = {101};
    o.driftPerFrameRaw = 50.0 / 99.0;
    return scratch("drifting.THM", synth::makeMovie(o));
}

} // namespace

class TestProbeCorrections : public QObject {
    Q_OBJECT
private slots:
    // Mean of frame 100 and of frame 101 for each set of options.
    void correctedStatistics_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("jump"); // mean of frame 100 minus that of frame 101
        QTest::addColumn<QString>("corrections");
        QTest::newRow("uncorrected") << QStringList() << 50 << "";
        QTest::newRow("drift from a list file")
            << QStringList{"--drift", "--ffc-file", "%1"} << 1 << "drift lens=0 nuc=0";
        QTest::newRow("lens from frame 101")
            << QStringList{"--lens-reference", "101"} << 50 << "drift=0 lens nuc=0";
    }
    void correctedStatistics() {
        QFETCH(QStringList, options);
        QFETCH(int, jump);
        QFETCH(QString, corrections);
        const QString movie = driftingMovie();
        const QString list = scratch("ffc.txt", "abc\r\n 101 \r\n101\n");
        int means[2] = {0, 0};
        for (int i = 0; i < 2; ++i) {
            int exitCode = 0;
            QStringList args{movie, "--frame", QString::number(100 + i)};
            for (const QString& o : options)
                args << (o == "%1" ? list : o);
            const QJsonObject json = probe(args, exitCode);
            const QJsonObject frame = json["frame"].toObject();
            // A frame the lens map makes uniform leaves the automatic window
            // nothing to span: the program does not convert it, and the probe
            // says so.
            const bool flat = frame["min"].toInt() == frame["max"].toInt();
            QCOMPARE(exitCode, flat ? 1 : 0);
            means[i] = frame["mean"].toInt();
            const QJsonObject c = json["corrections"].toObject();
            QString seen;
            for (const QString& key : c.keys())
                seen += key + (c[key].toBool() ? "" : "=0") + ' ';
            QCOMPARE(seen.trimmed(), corrections.isEmpty() ? QString() : corrections);
            // The lens reference is uniform at its maximum afterwards.
            if (options.contains("--lens-reference") && i == 1)
                QCOMPARE(frame["min"].toInt(), frame["max"].toInt());
        }
        QCOMPARE(means[0] - means[1], jump);
    }

    void nucRangeRefused() {
        int exitCode = 0;
        const QJsonObject json = probe({driftingMovie(), "--nuc", "0", "3"}, exitCode);
        QCOMPARE(exitCode, 1);
        QCOMPARE(json["error"].toString(), QString("Frame numbers not valid"));
    }

    void bitLane() {
        synth::MovieOptions o;
        o.frames = 1;
        o.scene.width = 160;
        o.scene.height = 128;
        o.scene.backgroundRaw = 8192;
        o.scene.gradientRaw = 16000;
        o.scene.allEven = true;
        int exitCode = 0;
        const QJsonObject json =
            probe({scratch("even.THR", synth::makeSingleFrameFile(o)), "--bitlane"}, exitCode);
        QCOMPARE(exitCode, 0);
        const QJsonObject masks = json["bitLane"].toObject();
        QCOMPARE(masks["MaskZeros"].toString(), QString("0011111111111110"));
        QCOMPARE(masks["MaskOnes"].toString(), QString("1111111111111111"));
    }
};

QTEST_GUILESS_MAIN(TestProbeCorrections)
#include "tst_probecorrections.moc"
