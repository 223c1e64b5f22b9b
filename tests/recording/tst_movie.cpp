#include "recording/DataConverter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <vector>

Q_DECLARE_METATYPE(std::vector<uint16_t>)
Q_DECLARE_METATYPE(std::vector<int32_t>)

namespace {

// A frame as the index sees it: signature, zeros up to the counter word at
// offset 2050, then filler bytes that never form a signature.
QByteArray indexFrame(int version, uint16_t counter, int totalSize = 2100) {
    QByteArray bytes(totalSize, char(0xAA));
    bytes.replace(0, 5, QByteArray("VELM") + char(version));
    for (int i = 5; i < 2050 && i < totalSize; ++i)
        bytes[i] = '\0';
    if (totalSize >= 2052) {
        bytes[2050] = char(counter & 0xFF);
        bytes[2051] = char(counter >> 8);
    }
    return bytes;
}

QByteArray movieWithCounters(int version, const std::vector<uint16_t>& counters) {
    QByteArray bytes;
    for (uint16_t c : counters)
        bytes += indexFrame(version, c);
    return bytes;
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = testsupport::scratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace

class TestMovie : public QObject {
    Q_OBJECT
private slots:
    void counterCheckConsole_data();
    void counterCheckConsole();
    void ffcFramesOfVersion5();
    void noFfcFramesInVersion6();
    void indexTablesAndProgress();
    void missingFileIsRefused();
    void emptyAndSignatureFreeFiles();
    void secondScanDuringAScanIsRefused();
    void sixtyThousandFramesOpenWhole();
};

void TestMovie::counterCheckConsole_data() {
    QTest::addColumn<std::vector<uint16_t>>("counters");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<std::vector<int32_t>>("gaps");

    QTest::newRow("steady") << std::vector<uint16_t>{1, 2, 3} << true << QStringList{}
                            << std::vector<int32_t>{};
    QTest::newRow("8191 -> 0 while the FFC mark clears")
        << std::vector<uint16_t>{16382, 16383, 0, 1} << true << QStringList{}
        << std::vector<int32_t>{};
    QTest::newRow("5 -> 7") << std::vector<uint16_t>{4, 5, 7, 8} << true
                            << QStringList{"Bad FC: 2", "Framecounter jump"}
                            << std::vector<int32_t>{2};
    QTest::newRow("two jumps") << std::vector<uint16_t>{1, 3, 4, 4} << true
                               << QStringList{"Bad FC: 1", "Bad FC: 3", "Framecounter jump"}
                               << std::vector<int32_t>{1, 3};
    QTest::newRow("check off") << std::vector<uint16_t>{4, 5, 7, 8} << false << QStringList{}
                               << std::vector<int32_t>{};
}

void TestMovie::counterCheckConsole() {
    QFETCH(std::vector<uint16_t>, counters);
    QFETCH(bool, check);
    QFETCH(QStringList, lines);
    QFETCH(std::vector<int32_t>, gaps);
    const QString path =
        writeScratch(QStringLiteral("counters.TMC"), movieWithCounters(6, counters));
    QVERIFY(!path.isEmpty());
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, check), int(counters.size()));
    QCOMPARE(recorder.outLines(), lines);
    QCOMPARE(converter.getFrameCounterGaps(), gaps);
    QVERIFY(recorder.reports.empty());
}

void TestMovie::ffcFramesOfVersion5() {
    // Frames 2 and 3 carry the mark (counter 11 and 12 with bit 13).
    const QString path =
        writeScratch(QStringLiteral("ffc5.TMC"),
                     movieWithCounters(5, {10, uint16_t(0x2000 | 11), uint16_t(0x2000 | 12), 13}));
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, true), 4);
    QCOMPARE(recorder.outLines(),
             (QStringList{"FFC => 2: 11, 0010000000001011", "FFC => 3: 12, 0010000000001100"}));
    QCOMPARE(converter.getFFCFrames(), (std::vector<int32_t>{2, 3}));
    QCOMPARE(converter.getFileVersion(), 5);
    QVERIFY(converter.isCompressed());
}

void TestMovie::noFfcFramesInVersion6() {
    const QString path =
        writeScratch(QStringLiteral("ffc6.THM"),
                     movieWithCounters(6, {10, uint16_t(0x2000 | 11), uint16_t(0x2000 | 12), 13}));
    testsupport::Recorder recorder;
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, false, false), 4);
    QVERIFY(converter.getFFCFrames().empty());
    QVERIFY(recorder.outLines().isEmpty());
    QVERIFY(!converter.isCompressed());
}

void TestMovie::indexTablesAndProgress() {
    // Frame 2 straddles the first 1 MiB read: it starts 3 bytes before its end.
    QByteArray bytes = indexFrame(6, 1, 1048573) + indexFrame(6, 2, 4000) + indexFrame(6, 3, 2052);
    const QString path = writeScratch(QStringLiteral("tables.TMC"), bytes);
    DataConverter converter;
    QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
    bool busyDuringScan = true;
    connect(&converter, &DataConverter::filePercentageChanged, this,
            [&] { busyDuringScan = busyDuringScan && converter.getProcessingState(); });
    QCOMPARE(converter.parseVideoFile(path, true, true), 3);
    QCOMPARE(converter.getNumberOfVideoFrames(), 3);
    QCOMPARE(converter.getFrameOffset(1), quint64(0));
    QCOMPARE(converter.getFrameOffset(2), quint64(1048573));
    QCOMPARE(converter.getFrameOffset(3), quint64(1052573));
    QCOMPARE(converter.getFrameSize(1), qint64(1048573));
    QCOMPARE(converter.getFrameSize(2), qint64(4000));
    QCOMPARE(converter.getFrameSize(3), qint64(2052));
    QCOMPARE(converter.getFrameOffset(4), quint64(0));
    // 1,054,625 bytes: reads at 0 and 1048576, then the empty read at the end.
    // (1048576 / 10) / (1054625 / 1000) = 99.42 -> 99.
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toInt(), 0);
    QCOMPARE(spy.at(1).at(0).toInt(), 99);
    QCOMPARE(spy.at(2).at(0).toInt(), 100);
    QVERIFY(busyDuringScan);
    QVERIFY(!converter.getProcessingState());
}

void TestMovie::missingFileIsRefused() {
    testsupport::Recorder recorder;
    DataConverter converter;
    const QString path = testsupport::scratchDir() + QStringLiteral("/absent/none.TMC");
    QCOMPARE(converter.parseVideoFile(path, true, true), 0);
    QCOMPARE(recorder.outLines(),
             QStringList{"DataConverter::parseVideoFile opening of file: \"" + path + "\" failed"});
    QVERIFY(!converter.getProcessingState());
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
}

void TestMovie::emptyAndSignatureFreeFiles() {
    DataConverter converter;
    // A movie first, so that the refusals below visibly clear its index.
    QCOMPARE(
        converter.parseVideoFile(
            writeScratch(QStringLiteral("three.TMC"), movieWithCounters(6, {1, 2, 3})), true, true),
        3);
    testsupport::Recorder recorder;
    QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
    QCOMPARE(converter.parseVideoFile(writeScratch(QStringLiteral("empty.TMC"), QByteArray()), true,
                                      true),
             0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 100);

    // The fifth byte is 'x', so "VELM" + 6 inside the file is no signature.
    QByteArray text(5000, 'x');
    text.replace(100, 5, "VELM\x06");
    QCOMPARE(converter.parseVideoFile(writeScratch(QStringLiteral("text.TMC"), text), true, true),
             0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 0);
    QVERIFY(recorder.outLines().isEmpty());
    QVERIFY(!converter.getProcessingState());
}

void TestMovie::secondScanDuringAScanIsRefused() {
    const QString first = writeScratch(QStringLiteral("outer.TMC"), movieWithCounters(6, {1, 2}));
    const QString second =
        writeScratch(QStringLiteral("inner.TMC"), movieWithCounters(6, {1, 2, 3, 4}));
    testsupport::Recorder recorder;
    DataConverter converter;
    int innerResult = -1;
    connect(&converter, &DataConverter::filePercentageChanged, this, [&](int percent) {
        if (percent == 0 && innerResult == -1)
            innerResult = converter.parseVideoFile(second, true, true);
    });
    QCOMPARE(converter.parseVideoFile(first, true, true), 2);
    QCOMPARE(innerResult, 0);
    QCOMPARE(converter.getNumberOfVideoFrames(), 2);
    QCOMPARE(
        recorder.outLines(),
        QStringList{"DataConverter::parseVideoFile already indexing, refused: \"" + second + "\""});
}

void TestMovie::sixtyThousandFramesOpenWhole() {
    // 60,000 frames of 64 bytes: beyond the 50,500 entries a fixed index held.
    QByteArray bytes;
    bytes.reserve(60000 * 64);
    for (int i = 0; i < 60000; ++i)
        bytes += indexFrame(6, 0, 64);
    const QString path = writeScratch(QStringLiteral("long.TMC"), bytes);
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(path, true, false), 60000);
    QCOMPARE(converter.getNumberOfVideoFrames(), 60000);
    QCOMPARE(converter.getFrameOffset(50501), quint64(50500 * 64));
    QCOMPARE(converter.getFrameOffset(60000), quint64(59999 * 64));
    QCOMPARE(converter.getFrameSize(60000), qint64(64));
}

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
