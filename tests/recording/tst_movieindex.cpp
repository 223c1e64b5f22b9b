#include "recording/MovieIndex.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

#include <vector>

using movieindex::ScanResult;

Q_DECLARE_METATYPE(std::vector<uint64_t>)
Q_DECLARE_METATYPE(std::vector<int32_t>)

namespace {

// A frame as the index sees it: signature, zeros, the counter word at offset
// 2050, then filler bytes that never form a signature.
QByteArray frame(int version, uint16_t counter, int totalSize) {
    QByteArray bytes(totalSize, char(0xAA));
    bytes.replace(0, 5, QByteArray("VELM") + char(version));
    if (totalSize >= 2052) {
        for (int i = 5; i < 2050; ++i)
            bytes[i] = '\0';
        bytes[2050] = char(counter & 0xFF);
        bytes[2051] = char(counter >> 8);
    }
    return bytes;
}

ScanResult scanBytes(const QByteArray& bytes, uint32_t blockSize, std::vector<int>* percents) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    movieindex::ScanHooks hooks;
    if (percents)
        hooks.progress = [percents](int p) { percents->push_back(p); };
    return movieindex::scanMovie(buffer, copy.size(), blockSize, hooks);
}

ScanResult scanFile(const QByteArray& bytes, uint32_t blockSize, int* blocks) {
    const QString path = testsupport::scratchDir() + QStringLiteral("/index.TMC");
    QFile out(path);
    out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    out.write(bytes);
    out.close();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    movieindex::ScanHooks hooks;
    if (blocks)
        hooks.beforeBlock = [blocks] { ++*blocks; };
    return movieindex::scanMovie(file, file.size(), blockSize, hooks);
}

} // namespace

class TestMovieIndex : public QObject {
    Q_OBJECT
private slots:
    void signatureAcrossEverySplit();
    void signatureAcrossTheMiBBoundary();
    void emptyAndSignatureFreeFiles();
    void progressPerBlock();
    void counterStep_data();
    void counterStep();
    void counterCheck_data();
    void counterCheck();
    void countersStraddlingBlocks();
    void ffcFrames();
    void ffcConsoleLine_data();
    void ffcConsoleLine();
};

void TestMovieIndex::signatureAcrossEverySplit() {
    // Signatures at 0, 7 and 20, a decoy with the wrong version at 13 and a
    // signature cut off by the end of the data at 26.
    QByteArray bytes(30, 'x');
    bytes.replace(0, 5, "VELM\x06");
    bytes.replace(7, 5, "VELM\x06");
    bytes.replace(13, 5, "VELM\x05");
    bytes.replace(20, 5, "VELM\x06");
    bytes.replace(26, 4, "VELM");
    const std::vector<uint64_t> expected{0, 7, 20};
    for (size_t blockSize = 1; blockSize <= 31; ++blockSize) {
        movieindex::SignatureScanner scanner(movieindex::frameSignature(6));
        std::vector<uint64_t> offsets;
        for (int at = 0; at < bytes.size(); at += int(blockSize)) {
            const int n = std::min(int(blockSize), bytes.size() - at);
            scanner.feed(reinterpret_cast<const uint8_t*>(bytes.constData()) + at, size_t(n),
                         offsets);
        }
        QVERIFY2(offsets == expected, qPrintable(QStringLiteral("block size %1").arg(blockSize)));
    }
}

void TestMovieIndex::signatureAcrossTheMiBBoundary() {
    // Frame 2 starts 2 bytes before the end of the first 1 MiB read: "VE" in
    // the first block, "LM\x06" in the second.
    const int first = 1048574;
    QByteArray bytes = frame(6, 1, first) + frame(6, 2, 5000) + frame(6, 3, 3000);
    QCOMPARE(bytes.size(), 1056574);
    const std::vector<uint64_t> offsets{0, 1048574, 1053574};
    const std::vector<int64_t> sizes{1048574, 5000, 3000};
    const std::vector<int32_t> counters{1, 2, 3};

    const ScanResult fromBuffer = scanBytes(bytes, 1048576, nullptr);
    int blocks = 0;
    const ScanResult fromFile = scanFile(bytes, 1048576, &blocks);
    for (const ScanResult* r : {&fromBuffer, &fromFile}) {
        QVERIFY(r->versionRead);
        QCOMPARE(int(r->version), 6);
        QVERIFY(r->offsets == offsets);
        QVERIFY(r->sizes == sizes);
        QVERIFY(r->counters == counters);
    }
    // Two blocks with data and the read that finds the end.
    QCOMPARE(blocks, 3);
}

void TestMovieIndex::emptyAndSignatureFreeFiles() {
    std::vector<int> percents;
    const ScanResult empty = scanBytes(QByteArray(), 1048576, &percents);
    QVERIFY(!empty.versionRead);
    QVERIFY(empty.offsets.empty());
    QVERIFY(empty.sizes.empty());
    // One read that finds nothing; an empty file counts as scanned (no 0/0).
    QCOMPARE(percents, std::vector<int>{100});

    int blocks = 0;
    const ScanResult emptyFile = scanFile(QByteArray(), 1048576, &blocks);
    QVERIFY(emptyFile.offsets.empty());
    QCOMPARE(blocks, 1);

    // "VELM" with other version bytes and a bare "VELM" at the end.
    QByteArray noSignature(4000, 'z');
    noSignature.replace(0, 5, "VELM\x06");
    noSignature.replace(100, 5, "VELM\x05");
    noSignature.replace(3996, 4, "VELM");
    noSignature[0] = 'W'; // the first frame's signature is damaged too
    const ScanResult none = scanBytes(noSignature, 1048576, nullptr);
    QVERIFY(none.versionRead);
    QVERIFY(none.offsets.empty());
    QCOMPARE(scanFile(noSignature, 1048576, nullptr).offsets.size(), size_t(0));
}

void TestMovieIndex::progressPerBlock() {
    // 3,000,000 bytes in 1 MiB reads: positions 0, 1048576, 2097152, 3000000.
    // (1048576 / 10) / (3000000 / 1000) = 34.95 -> 34; 2097152 -> 69.9 -> 69.
    std::vector<int> percents;
    const ScanResult r = scanBytes(frame(6, 1, 3000000), 1048576, &percents);
    QCOMPARE(percents, (std::vector<int>{0, 34, 69, 100}));
    QCOMPARE(r.offsets.size(), size_t(1));
    QCOMPARE(r.sizes.front(), int64_t(3000000));
    QCOMPARE(movieindex::scanPercent(1, 3), 33);
    QCOMPARE(movieindex::scanPercent(0, 0), 100);
}

void TestMovieIndex::counterStep_data() {
    QTest::addColumn<uint>("previous");
    QTest::addColumn<uint>("current");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("one up") << 5u << 6u << true;
    QTest::newRow("one skipped") << 5u << 7u << false;
    QTest::newRow("same") << 5u << 5u << false;
    QTest::newRow("one down") << 6u << 5u << false;
    QTest::newRow("wrap 8191 -> 0") << 8191u << 0u << true;
    QTest::newRow("wrap with mark cleared 16383 -> 0") << 16383u << 0u << true;
    QTest::newRow("wrap with mark kept 16383 -> 8192") << 16383u << 8192u << true;
    QTest::newRow("wrap with mark set 8191 -> 8192") << 8191u << 8192u << true;
    QTest::newRow("mark set 100 -> 0x2000|101") << 100u << 8293u << true;
    QTest::newRow("mark cleared 0x2000|100 -> 101") << 8292u << 101u << true;
    QTest::newRow("mark set without a step") << 100u << 8292u << false;
    QTest::newRow("mark set, two steps") << 100u << 8294u << false;
    QTest::newRow("mark cleared, no step") << 8292u << 100u << false;
    QTest::newRow("wrap to 1") << 8191u << 1u << false;
}

void TestMovieIndex::counterStep() {
    QFETCH(uint, previous);
    QFETCH(uint, current);
    QFETCH(bool, accepted);
    QCOMPARE(movieindex::counterStepAccepted(uint16_t(previous), uint16_t(current)), accepted);
}

void TestMovieIndex::counterCheck_data() {
    QTest::addColumn<std::vector<int32_t>>("counters");
    QTest::addColumn<std::vector<int32_t>>("bad");
    QTest::addColumn<bool>("failed");
    const int32_t beyond = movieindex::kCounterBeyondEnd;
    const int32_t unread = movieindex::kCounterUnread;
    QTest::newRow("steady") << std::vector<int32_t>{1, 2, 3, 4} << std::vector<int32_t>{} << false;
    QTest::newRow("8191 -> 0 across an FFC")
        << std::vector<int32_t>{16382, 16383, 0, 1} << std::vector<int32_t>{} << false;
    // 5 -> 7 at index 2; then 7 -> 8 is fine again.
    QTest::newRow("gap") << std::vector<int32_t>{4, 5, 7, 8} << std::vector<int32_t>{2} << true;
    QTest::newRow("two gaps") << std::vector<int32_t>{1, 3, 4, 9} << std::vector<int32_t>{1, 3}
                              << true;
    QTest::newRow("last frame too short to hold a counter")
        << std::vector<int32_t>{1, 2, beyond} << std::vector<int32_t>{} << false;
    QTest::newRow("unreadable counter fails without a line")
        << std::vector<int32_t>{1, unread, 2} << std::vector<int32_t>{} << true;
    QTest::newRow("first frame has no predecessor")
        << std::vector<int32_t>{77} << std::vector<int32_t>{} << false;
}

void TestMovieIndex::counterCheck() {
    QFETCH(std::vector<int32_t>, counters);
    QFETCH(std::vector<int32_t>, bad);
    QFETCH(bool, failed);
    const movieindex::CounterCheck check = movieindex::checkFrameCounters(counters);
    QCOMPARE(check.badFrames, bad);
    QCOMPARE(check.failed, failed);
}

void TestMovieIndex::countersStraddlingBlocks() {
    // Counter words at file positions 2050, 5051, 8004 and 10104; the last
    // frame is too short for one. Reads of 1 and 2 bytes split the words at odd
    // positions, 2,051-byte reads split the first one (2050 | 2051).
    QByteArray bytes = frame(6, 0x0101, 3001) + frame(6, 0x2A02, 2953) + frame(6, 0x1234, 2100) +
                       frame(6, 0xFFFF, 2052) + frame(6, 9, 2051);
    const std::vector<int32_t> expected{0x0101, 0x2A02, 0x1234, 0xFFFF,
                                        movieindex::kCounterBeyondEnd};
    for (uint32_t block : {1u, 2u, 1001u, 2051u, 4096u, 1048576u}) {
        const ScanResult r = scanBytes(bytes, block, nullptr);
        QVERIFY2(r.counters == expected, qPrintable(QStringLiteral("block %1").arg(block)));
        QCOMPARE(r.offsets.size(), size_t(5));
    }
    // A frame that ends exactly with its counter word still has it read.
    QCOMPARE(scanBytes(frame(6, 1, 2052), 1048576, nullptr).counters, std::vector<int32_t>{1});
}

void TestMovieIndex::ffcFrames() {
    // Marks on frames 2 and 4 (1-based); frame 5's counter ends exactly at the
    // end of the file, so it is checked but not listed.
    auto movie = [](int version) {
        return frame(version, 10, 2100) + frame(version, 0x2000 | 11, 2100) +
               frame(version, 12, 2100) + frame(version, 0x2000 | 13, 2100) +
               frame(version, 0x2000 | 14, 2052);
    };
    const ScanResult v5 = scanBytes(movie(5), 1048576, nullptr);
    QCOMPARE(v5.offsets.size(), size_t(5));
    QCOMPARE(movieindex::findFfcFrames(v5), (std::vector<int32_t>{1, 3}));
    // The counter check still reads the last frame's word.
    QCOMPARE(v5.counters.back(), int32_t(0x2000 | 14));

    const ScanResult v6 = scanBytes(movie(6), 1048576, nullptr);
    QCOMPARE(v6.offsets.size(), size_t(5));
    QVERIFY(movieindex::findFfcFrames(v6).empty());
}

void TestMovieIndex::ffcConsoleLine_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("counter");
    QTest::addColumn<QString>("line");
    QTest::newRow("frame 5") << 4 << 0x2005u << "FFC => 5: 5, 0010000000000101";
    QTest::newRow("top of the count") << 0 << 0x3FFFu << "FFC => 1: 8191, 0011111111111111";
    QTest::newRow("count 0") << 99 << 0x2000u << "FFC => 100: 0, 0010000000000000";
    QTest::newRow("all bits") << 1 << 0xFFFFu << "FFC => 2: 57343, 1111111111111111";
}

void TestMovieIndex::ffcConsoleLine() {
    QFETCH(int, index);
    QFETCH(uint, counter);
    QFETCH(QString, line);
    QCOMPARE(movieindex::ffcConsoleLine(index, uint16_t(counter)), line);
}

QTEST_GUILESS_MAIN(TestMovieIndex)
#include "tst_movieindex.moc"
