// Runs the built kalorix-probe on simulated files and reads its JSON and PGM.
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

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
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QStringList keysInOrder(const QByteArray& json) {
    QStringList keys;
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("\"(\\w+)\": ")).globalMatch(QString::fromUtf8(json));
    while (it.hasNext())
        keys << it.next().captured(1);
    return keys;
}

QString scratchPath(const QString& name) {
    return testsupport::scratchDir() + '/' + name;
}

} // namespace

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void describesFrame_data();
    void describesFrame();
    void reportsLoaderMessage_data();
    void reportsLoaderMessage();
    void refusesUsage();
};

void TestProbe::describesFrame_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("partNumber");
    QTest::addColumn<double>("fpa");
    QTest::addColumn<double>("housing");
    QTest::addColumn<int>("serialBytes");
    QTest::newRow("v0 160x128") << 0 << 160 << 128 << QString() << 0.0 << 0.0 << 0;
    QTest::newRow("v1 324x256") << 1 << 324 << 256 << QString() << 0.0 << 0.0 << 8192;
    QTest::newRow("v2 160x128") << 2 << 160 << 128 << QString() << 0.0 << 0.0 << 8192;
    QTest::newRow("v4 336x256") << 4 << 336 << 256 << QString() << 0.0 << 0.0 << 2036;
    QTest::newRow("v5 336x256") << 5 << 336 << 256 << QStringLiteral("4640019S R01234") << 31.4
                                << 29.87 << 2006;
    QTest::newRow("v6 640x512") << 6 << 640 << 512 << QStringLiteral("4640019S R01234") << 31.4
                                << 29.87 << 1978;
}

void TestProbe::describesFrame() {
    QFETCH(int, version);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, partNumber);
    QFETCH(double, fpa);
    QFETCH(double, housing);
    QFETCH(int, serialBytes);
    synth::MovieOptions o;
    o.frames = 1;
    o.version = version;
    o.scene.width = width;
    o.scene.height = height;
    o.scene.seed = uint32_t(7 + version);
    const QString file = scratchPath(QStringLiteral("probe.thr")); // any case
    QVERIFY(synth::writeFile(file, synth::makeSingleFrameFile(o)));
    const QString pgm = scratchPath(QStringLiteral("probe.pgm"));
    QFile::remove(pgm);

    const Run run = runProbe({file, QStringLiteral("--raw"), pgm});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(keysInOrder(run.out), QStringList({"file",
                                                "type",
                                                "headerVersion",
                                                "frames",
                                                "ffcFrames",
                                                "frameCounterGaps",
                                                "frame",
                                                "number",
                                                "ok",
                                                "width",
                                                "height",
                                                "min",
                                                "max",
                                                "mean",
                                                "hotspot",
                                                "column",
                                                "row",
                                                "value",
                                                "partNumber",
                                                "tempFPA",
                                                "tempHousing",
                                                "serialBytes",
                                                "streamFrameNumber"}));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError); // nothing else on standard output
    // The loader's console line went to standard error.
    QCOMPARE(run.err, QByteArray("Opening: ") + file.toUtf8() + '\n');

    // What the decoder must give back: the scene, with the last three values
    // of the frame repeating the one before them.
    std::vector<uint16_t> raw = synth::renderScene(o.scene, 0);
    std::fill(raw.end() - 3, raw.end(), raw[raw.size() - 4]);
    const auto maxIt = std::max_element(raw.begin(), raw.end());
    const int hot = int(maxIt - raw.begin());
    uint64_t sum = 0;
    for (uint16_t v : raw)
        sum += v;

    QCOMPARE(root.value("file").toString(), file);
    QCOMPARE(root.value("type").toString(), QStringLiteral("THR"));
    QCOMPARE(root.value("headerVersion").toInt(), version);
    QCOMPARE(root.value("frames").toInt(), 1);
    const QJsonObject frame = root.value("frame").toObject();
    QCOMPARE(frame.value("number").toInt(), 1);
    QCOMPARE(frame.value("ok").toBool(), true);
    QCOMPARE(frame.value("width").toInt(), width);
    QCOMPARE(frame.value("height").toInt(), height);
    QCOMPARE(frame.value("min").toInt(), int(*std::min_element(raw.begin(), raw.end())));
    QCOMPARE(frame.value("max").toInt(), int(*maxIt));
    QCOMPARE(frame.value("mean").toInt(), int(sum / uint64_t(width) / uint64_t(height)));
    const QJsonObject hotspot = frame.value("hotspot").toObject();
    QCOMPARE(hotspot.value("column").toInt(), hot % width + 1);
    QCOMPARE(hotspot.value("row").toInt(), hot / width + 1);
    QCOMPARE(hotspot.value("value").toInt(), int(*maxIt));
    QCOMPARE(frame.value("partNumber").toString(), partNumber);
    QCOMPARE(frame.value("tempFPA").toDouble(), fpa);
    QCOMPARE(frame.value("tempHousing").toDouble(), housing);
    QCOMPARE(frame.value("serialBytes").toInt(), serialBytes);
    if (version >= 5) // the shortest text of the temperatures
        QVERIFY(run.out.contains("\"tempFPA\": 31.4,\n"));

    QFile in(pgm);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    const QByteArray header =
        "P5\n" + QByteArray::number(width) + ' ' + QByteArray::number(height) + "\n65535\n";
    QCOMPARE(bytes.size(), header.size() + 2 * width * height);
    QCOMPARE(bytes.left(header.size()), header);
    for (size_t k = 0; k < raw.size(); ++k) {
        const auto hi = uint8_t(bytes[header.size() + int(2 * k)]);
        const auto lo = uint8_t(bytes[header.size() + int(2 * k) + 1]);
        if (uint16_t(hi << 8 | lo) != raw[k])
            QFAIL(qPrintable(QStringLiteral("sample %1").arg(k)));
    }
}

void TestProbe::reportsLoaderMessage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: no file
    QTest::addColumn<QStringList>("extraArgs");
    QTest::addColumn<QString>("error"); // %P stands for the path
    QTest::newRow("missing") << "gone.THR" << QByteArray() << QStringList()
                             << "DataConverter::loadFromRawFile opening of file: \"%P\" failed";
    synth::MovieOptions v3;
    v3.frames = 1;
    v3.version = 3;
    v3.scene.width = 160;
    v3.scene.height = 128;
    QTest::newRow("version 3") << "v3.THR" << synth::makeSingleFrameFile(v3) << QStringList()
                               << "DataConverter::loadFromRawFile Error reading header: \"%P\"";
    v3.version = 6;
    QTest::newRow("frame 2 of a single frame")
        << "one.THR" << synth::makeSingleFrameFile(v3) << QStringList{"--frame", "2"}
        << "kalorix-probe: frame 2 is not in the file (frames 1 to 1)";
    QTest::newRow("not a recorder file")
        << "picture.png" << QByteArray("png") << QStringList()
        << "kalorix-probe: not a recorder file (.THR, .THC, .THM, .TMC, .TFC): %P";
}

void TestProbe::reportsLoaderMessage() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, extraArgs);
    QFETCH(QString, error);
    const QString file = scratchPath(name);
    QFile::remove(file);
    if (!bytes.isNull())
        QVERIFY(synth::writeFile(file, bytes));
    const Run run = runProbe(QStringList{file} + extraArgs);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(keysInOrder(run.out), QStringList({"file", "error"}));
    const QJsonObject root = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(root.value("file").toString(), file);
    QCOMPARE(root.value("error").toString(), QString(error).replace(QStringLiteral("%P"), file));
}

void TestProbe::refusesUsage() {
    const Run none = runProbe({});
    QCOMPARE(none.exitCode, 2);
    QVERIFY(none.out.isEmpty());
    QVERIFY(none.err.contains("--raw"));
    const Run badFrame = runProbe({scratchPath("x.THR"), "--frame", "0"});
    QCOMPARE(badFrame.exitCode, 2);
    QVERIFY(badFrame.out.isEmpty());
}

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
