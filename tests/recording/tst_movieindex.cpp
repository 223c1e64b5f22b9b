#include "recording/MovieIndex.h"

#include <QBuffer>
#include <QtTest>

#include <vector>

using movieindex::ScanResult;

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

} // namespace

class TestMovieIndex : public QObject {
    Q_OBJECT
private slots:
    void signatureAcrossEverySplit();
    void progressPerBlock();
    void counterStep_data();
    void counterStep();
    void countersStraddlingBlocks();
    void ffcFrames();
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

QTEST_GUILESS_MAIN(TestMovieIndex)
#include "tst_movieindex.moc"
