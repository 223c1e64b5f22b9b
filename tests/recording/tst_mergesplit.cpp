// Merge and split: byte copies of whole recordings and of frame ranges, and
// every refusal leaves the files as they were.
#include "Recordings.h"
#include "recording/DataConverter.h"
#include "recording/FileManipulation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTemporaryDir>

using recordings::scratch;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray md5(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

QByteArray movieBytes(int frames, uint32_t seed) {
    synth::MovieOptions o = recordings::options(6, true, frames);
    o.scene.seed = seed;
    return synth::makeMovie(o);
}

// Files of the scratch folder other than the inputs: temporary files must
// not be left behind.
QStringList leftovers(const QStringList& inputs) {
    QStringList names = QDir(testsupport::scratchDir()).entryList(QDir::Files, QDir::Name);
    for (const QString& input : inputs)
        names.removeAll(QFileInfo(input).fileName());
    return names;
}

} // namespace

class TestMergeSplit : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QDir dir(testsupport::scratchDir());
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
    }
    void mergeConcatenates_data();
    void mergeConcatenates();
    void mergeRefusals_data();
    void mergeRefusals();
    void splitRanges_data();
    void splitRanges();
    void splitFusionTakesTheLastDaylightBlock();
    void splitRefusals_data();
    void splitRefusals();
};

// Two movies of 3 and 5 frames, with a missing entry between them. In the
// scratch folder the kernel copies between the files; into memory (another
// file system) it refuses, and the bytes go through the program.
void TestMergeSplit::mergeConcatenates_data() {
    QTest::addColumn<QString>("outDir");
    QTest::newRow("same file system") << testsupport::scratchDir();
    QTest::newRow("another file system") << QStringLiteral("/dev/shm");
}

void TestMergeSplit::mergeConcatenates() {
    QFETCH(QString, outDir);
    QTemporaryDir outFolder(outDir + "/kalorix-merge-XXXXXX");
    if (!outFolder.isValid())
        QSKIP("no writable folder there");
    const QByteArray a = movieBytes(3, 1), b = movieBytes(5, 2);
    const QString first = scratch("a.TMC", a), second = scratch("b.TMC", b);
    const QString out = outFolder.filePath("merged.TMC");
    testsupport::Recorder rec;
    QVector<int> percents;
    FileManipulation::MergeHooks hooks;
    hooks.progress = [&](int percent) { percents << percent; };
    QVERIFY(FileManipulation::merge({first, scratch("missing.TMC"), second}, out, hooks));
    QCOMPARE(md5(contents(out)), md5(a + b));
    QCOMPARE(percents, QVector<int>({0, 33, 66}));
    QCOMPARE(rec.outLines(),
             QStringList({"File: " + first, "File: " + scratch("missing.TMC"), "File: " + second}));
    QCOMPARE(rec.reports.size(), size_t(0));
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(out, true, false), 8);
}

void TestMergeSplit::mergeRefusals_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("report");
    recordings::row("output is an input", QStringLiteral("same"),
                    QStringLiteral("Merge: the output file \"%1\" is also a file to merge; "
                                   "nothing was written"));
    recordings::row("output reaches an input by another path", QStringLiteral("dotted"),
                    QStringLiteral("Merge: the output file \"%1\" is also a file to merge; "
                                   "nothing was written"));
    recordings::row("empty list", QStringLiteral("empty"),
                    QStringLiteral("Merge: the list of files to merge is empty; nothing was "
                                   "written"));
    recordings::row("only missing entries", QStringLiteral("missing"),
                    QStringLiteral("Merge: none of the files to merge exists; nothing was "
                                   "written"));
    recordings::row("output folder missing", QStringLiteral("nofolder"),
                    QStringLiteral("Merge failed: cannot write \"%1\": "));
}

void TestMergeSplit::mergeRefusals() {
    QFETCH(QString, kind);
    QFETCH(QString, report);
    const QByteArray a = movieBytes(3, 1), b = movieBytes(2, 2);
    const QString first = scratch("1.TMC", a), second = scratch("2.TMC", b);
    QStringList inputs = {first, second};
    QString out = scratch("out.TMC");
    if (kind == "same")
        out = first;
    else if (kind == "dotted")
        out = testsupport::scratchDir() + "/./" + "1.TMC";
    else if (kind == "empty")
        inputs.clear();
    else if (kind == "missing")
        inputs = QStringList{scratch("x.TMC")};
    else
        out = scratch("none/out.TMC");
    testsupport::Recorder rec;
    QVERIFY(!FileManipulation::merge(inputs, out));
    QCOMPARE(rec.reports.size(), size_t(1));
    QVERIFY2(rec.reports[0].text.startsWith(report.arg(out)), qPrintable(rec.reports[0].text));
    QCOMPARE(contents(first), a);
    QCOMPARE(contents(second), b);
    QCOMPARE(leftovers({first, second}), QStringList());
}

// Frames k..m are the bytes from the offset of k to the end of m, and read
// back as m - k + 1 frames.
void TestMergeSplit::splitRanges_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    recordings::row("1..1", 1, 1);
    recordings::row("2..4", 2, 4);
    recordings::row("whole", 1, 5);
    recordings::row("5..5", 5, 5);
}

void TestMergeSplit::splitRanges() {
    QFETCH(int, first);
    QFETCH(int, last);
    const QByteArray bytes = movieBytes(5, 3);
    const QString input = scratch("in.TMC", bytes), out = scratch("part.TMC");
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(input, true, false), 5);
    const int begin = int(converter.getFrameOffset(first));
    const int end = int(converter.getFrameOffset(last) + uint64_t(converter.getFrameSize(last)));
    testsupport::Recorder rec;
    QVERIFY(converter.splitFile(out, first - 1, last - 1));
    QCOMPARE(contents(out), bytes.mid(begin, end - begin));
    QCOMPARE(rec.reports.size(), size_t(0));
    DataConverter reader;
    QCOMPARE(reader.parseVideoFile(out, true, false), last - first + 1);
}

void TestMergeSplit::splitFusionTakesTheLastDaylightBlock() {
    synth::FusionOptions o;
    o.thermal = recordings::options(6, true, 4);
    o.daylightWidth = 32;
    o.daylightHeight = 24;
    const QByteArray bytes = synth::makeFusion(o);
    const QString input = scratch("in.TFC", bytes), out = scratch("part.TFC");
    DataConverter converter;
    QCOMPARE(converter.parseFusionFile(input), 4);
    QVERIFY(converter.splitFile(out, 1, 2));
    const int begin = int(converter.getFrameOffset(2));
    const int end = int(converter.getFrameOffset(4)); // frame 3's daylight block ends here
    QCOMPARE(contents(out), bytes.mid(begin, end - begin));
    DataConverter reader;
    QCOMPARE(reader.parseFusionFile(out), 2);
    QCOMPARE(reader.getNumberOfDaylightFrames(), 2);
}

// 0-based first and last frame as the window sends them.
void TestMergeSplit::splitRefusals_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QString>("state"); // what happened before the split
    QTest::addColumn<QString>("report");
    const QString range = QStringLiteral("Split: frames %1 to %2 are not a range within 1 to 5; "
                                         "nothing was written");
    recordings::row("start 0", -1, 2, QString(), range.arg(0).arg(3));
    recordings::row("end before start", 3, 2, QString(), range.arg(4).arg(3));
    recordings::row("end beyond the movie", 1, 5, QString(), range.arg(2).arg(6));
    recordings::row("a single frame opened since", 0, 1, QStringLiteral("thr"),
                    QStringLiteral("Split: no movie is open; nothing was written"));
    recordings::row("output is the movie", 0, 1, QStringLiteral("self"),
                    QStringLiteral("Split: the output file \"%1\" is the open recording; nothing "
                                   "was written"));
    recordings::row("movie cut short after indexing", 4, 4, QStringLiteral("short"),
                    QStringLiteral("Split failed: the recording ended after "));
}

void TestMergeSplit::splitRefusals() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QString, state);
    QFETCH(QString, report);
    QByteArray bytes = movieBytes(5, 4);
    const QString input = scratch("in.TMC", bytes);
    QString out = scratch("part.TMC");
    DataConverter converter;
    QCOMPARE(converter.parseVideoFile(input, true, false), 5);
    QStringList inputs = {input};
    if (state == "thr") {
        const QString single =
            scratch("one.THR", synth::makeSingleFrameFile(recordings::options(6)));
        inputs << single;
        QVERIFY(converter.loadFromRawFile(single, ksDefines::NoSerialData));
    } else if (state == "self") {
        out = input;
    } else if (state == "short") {
        bytes.chop(100);
        QFile file(input);
        QVERIFY(file.resize(bytes.size()));
    }
    testsupport::Recorder rec;
    QVERIFY(!converter.splitFile(out, first, last));
    QCOMPARE(rec.reports.size(), size_t(1));
    QVERIFY2(rec.reports[0].text.startsWith(report.arg(out)), qPrintable(rec.reports[0].text));
    QCOMPARE(contents(input), bytes);
    QCOMPARE(leftovers(inputs), QStringList());
}

QTEST_GUILESS_MAIN(TestMergeSplit)
#include "tst_mergesplit.moc"
