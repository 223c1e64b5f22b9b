#include "Recordings.h"
#include "recording/CompressedStream.h"

#include <random>
#include <tuple>

using compressed::BitPosition;
using recordings::row;
using Words = std::vector<uint16_t>;
Q_DECLARE_METATYPE(Words)
// The code, the input words given to the readers, the bit reading starts at,
// the output capacity.
using LongInput = std::tuple<QByteArray, int, int, int>;
Q_DECLARE_METATYPE(LongInput)

namespace {

// Little-endian words from a string of bits, most significant bit of each
// word first; spaces are for reading only. Zero bits pad the last word, which
// always makes a cut-off 00 code.
QByteArray wordsFromBits(QString bits) {
    bits.remove(QLatin1Char(' '));
    bits += QString((16 - bits.size() % 16) % 16, QLatin1Char('0'));
    QByteArray bytes;
    for (int i = 0; i < bits.size(); i += 16) {
        const uint word = bits.mid(i, 16).toUInt(nullptr, 2);
        bytes.append(char(word & 0xFF)).append(char(word >> 8));
    }
    return bytes;
}

const uint8_t* data(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

// Reader 0 takes one bit at a time, reader 1 is the fast one. Every code
// word up to the first failed read as kind:value@word.bit, the position after
// the read (99 and -777: left unchanged).
QString readAll(int reader, const QByteArray& bytes, int64_t words, BitPosition start = {}) {
    compressed::BitwiseCodeReader bitwise(data(bytes), words, start);
    compressed::FastCodeReader fast(data(bytes), words, start);
    QString text;
    for (bool ok = true; ok;) {
        int16_t value = -777;
        uint8_t kind = 99;
        ok = reader == 0 ? bitwise.next(value, kind) : fast.next(value, kind);
        const BitPosition p = reader == 0 ? bitwise.position() : fast.position();
        text += QStringLiteral("%1:%2@%3.%4 ").arg(kind).arg(value).arg(p.wordIndex).arg(p.bitPos);
    }
    return text;
}

// Expands words of the input (-1: all of it) into the whole of out.
compressed::ExpansionResult expand(int reader, const QByteArray& bytes, Words& out,
                                   BitPosition start = {}, int64_t words = -1) {
    const auto run = reader == 0 ? compressed::expandBitwise : compressed::expand;
    return run(data(bytes), words < 0 ? bytes.size() / 2 : words, start, out.data(),
               uint32_t(out.size()));
}

// "count side@word.bit", side -1 when no escape was seen.
QString summary(const compressed::ExpansionResult& r) {
    return QString::asprintf("%u %d@%u.%u", r.count, r.sideValueSeen ? int(r.sideValue) : -1,
                             r.end.wordIndex, r.end.bitPos);
}

QByteArray syntheticFrameCode(uint32_t seed) {
    const synth::SceneOptions scene = recordings::options(6, true, 1, 320, 256).scene;
    return synth::compressWords(
        synth::makeWordStream(synth::renderScene(scene, int(seed)), 320, 256, {2, 5, seed}),
        uint16_t(seed));
}

// Random code words, absolute ones (one in eight an escape) with the given
// weight out of 64, so that the reader from the middle starts inside all kinds.
QByteArray randomCode(uint32_t seed, int words, uint32_t absoluteWeight) {
    std::mt19937 rng(seed);
    QString bits;
    while (bits.size() < words * 16) {
        const uint32_t roll = rng() % 64, prefix = roll < absoluteWeight ? 0 : 1 + roll % 3;
        const int length = prefix == 0 ? 16 : prefix == 1 ? 8 : prefix == 2 ? 6 : 5;
        const uint32_t payload = prefix == 0 && rng() % 8 == 0 ? 1 : rng() % (1u << (length - 2));
        bits += QString::number(prefix << (length - 2) | payload, 2).rightJustified(length, '0');
    }
    bits.truncate(words * 16);
    return wordsFromBits(bits);
}

} // namespace

class TestCompressedStream : public QObject {
    Q_OBJECT
private slots:
    void cutOffCodes_data() {
        QTest::addColumn<QString>("bits"); // one word
        QTest::addColumn<QString>("reads");
        // Every bit of the word is taken; the failed read steps to the next word.
        row("prefix cut", "11000 11000 11000 1", "5:0@0.5 5:0@0.10 5:0@0.15 99:-777@1.0 ");
        row("16-bit payload cut", "11000 11000 00 0001", "5:0@0.5 5:0@0.10 16:1@1.0 ");
        // The bits so far are reported as they stand, not as a difference.
        row("8-bit payload cut", "11111 11011 01 1111", "5:-1@0.5 5:3@0.10 8:15@1.0 ");
        row("6-bit prefix only", "100000 01000000 10", "6:4@0.6 8:12@0.14 6:0@1.0 ");
        row("code ending with the input", "00 00000000000101", "16:5@0.16 99:-777@1.0 ");
    }

    void cutOffCodes() {
        QFETCH(QString, bits);
        QTEST(readAll(0, wordsFromBits(bits), 1), "reads");
        QTEST(readAll(1, wordsFromBits(bits), 1), "reads");
    }

    void startPastTheEndReadsNothing() {
        // A movie frame that is a bare 2048-byte header: the code would start at
        // word 1024, one past the last word. The buffer is exactly that long, so a
        // sanitizer build catches any read of the word at the start position.
        const QByteArray frame(2048, char(0xAB));
        for (int reader = 0; reader < 2; ++reader) {
            QCOMPARE(readAll(reader, frame, 1024, {1024, 0}), QStringLiteral("99:-777@1024.0 "));
            Words out(16, 0x1234);
            QCOMPARE(summary(expand(reader, frame, out, {1024, 0})), QStringLiteral("0 -1@1024.0"));
            QCOMPARE(out[0], uint16_t(0x1234));
        }
    }

    void expansion_data() {
        QTest::addColumn<QString>("bits");
        QTest::addColumn<Words>("words");
        QTest::addColumn<int>("sideValue"); // -1: none seen
        row("difference first is dropped", "11 011  00 00000000000010", Words{0xC002}, -1);
        row("escape then 11 011: side value 3, one separator", "00 00000000000001  11 011",
            Words{0x4000}, 3);
        row("16383 then +3 wraps to 2", "00 11111111111111  11 011", Words{0xFFFF, 0xC002}, -1);
        // 2, +3 -> 5, +5 -> 10, then an 8-bit code with 3 of its 6 payload bits.
        row("cut-off code not written", "00 00000000000010  11011 100001 01010",
            Words{0xC002, 0xC005, 0xC00A}, -1);
        // 0x4000 - 1 = 0x3FFF, OR 0xC000 = 0xFFFF: the value 16383.
        row("difference after separator absolute", "00 00000000000000  11 111",
            Words{0x4000, 0xFFFF}, -1);
        // 0xC002 - 44 = 0xBFD6, OR 0xC000 = 0xFFD6 (16342 = 2 - 44 + 16384).
        row("2 - 44 wraps below zero", "00 00000000000010  01 100000", Words{0xC002, 0xFFD6}, -1);
        // Both ends of every range: 100 + 12 - 13 + 43 - 44 + 4 - 5 + 11 - 12 + 3 - 4 = 95.
        row("every kind of difference",
            "00 00000001100100  01 000000  01 111111  01 011111  01 100000  10 0000  10 1111  "
            "10 0111  10 1000  11 011  11 100",
            Words{0xC064, 0xC070, 0xC063, 0xC08E, 0xC062, 0xC066, 0xC061, 0xC06C, 0xC060, 0xC063,
                  0xC05F},
            -1);
        row("last escape decides the side value",
            "00 00000000000001  00 00000000000111  00 00000000000001  00 00000000001001",
            Words{0x4000, 0x4000}, 9);
        // A dropped difference, the escape at bit 5 and 9 of the side value's 14
        // payload bits.
        row("side value cut in its payload", "11000  00 00000000000001  00 000000000", Words(), -1);
        row("side value with FFC mark", "00 00000000000001  00 10000000000101  11 001",
            Words{0x4000, 0xC001}, 0x2005);
        row("empty input", "", Words(), -1);
    }

    void expansion() {
        QFETCH(QString, bits);
        QFETCH(Words, words);
        QFETCH(int, sideValue);
        for (int reader = 0; reader < 2; ++reader) {
            Words out(compressed::kMaxExpandedWords, 0);
            const compressed::ExpansionResult r = expand(reader, wordsFromBits(bits), out);
            QVERIFY(Words(out.begin(), out.begin() + r.count) == words);
            QCOMPARE(r.sideValueSeen ? int(r.sideValue) : -1, sideValue);
        }
    }

    void expansionStopsAt524288Words() {
        // One absolute value and 524,299 codes "11 000" (difference 0).
        QString bits = QStringLiteral("0000000001100100");
        bits += QStringLiteral("11000").repeated(int(compressed::kMaxExpandedWords) + 11);
        const QByteArray bytes = wordsFromBits(bits);
        for (int reader = 0; reader < 2; ++reader) {
            // Exactly the limit long: the sanitizer build catches a word past it.
            // The code after the last one acted on is read, so 524,289 codes were
            // read (16 + 524,288 x 5 = 2,621,456 bits, the end of word 163,840).
            Words out(compressed::kMaxExpandedWords);
            QCOMPARE(summary(expand(reader, bytes, out)), QStringLiteral("524288 -1@163840.16"));
            QCOMPARE(out.back(), uint16_t(0xC064));
        }
    }

    void readersAgree() {
        // One stream cut after every word and read from every bit of its first
        // words: the end of the input falls inside every kind of code word.
        std::mt19937 rng(7);
        QByteArray bytes(96, '\0');
        for (int i = 0; i < bytes.size(); ++i) // more 00 prefixes: long codes and escapes
            bytes[i] = char(rng() & (i % 2 && rng() % 3 == 0 ? 0x3F : 0xFF));
        for (int words = 0; words <= 48; ++words)
            for (uint32_t bit = 0; bit < 40; ++bit)
                QCOMPARE(readAll(1, bytes, words, {bit / 16, bit % 16}),
                         readAll(0, bytes, words, {bit / 16, bit % 16}));
    }

    void longInputsMatchTheBitwiseReading_data() {
        QTest::addColumn<LongInput>("c");

        // Whole input, no start bit, no limit unless given.
        const auto add = [](const QString& name, const QByteArray& code, int words = -1,
                            int startBit = 0, int capacity = int(compressed::kMaxExpandedWords)) {
            QTest::newRow(qPrintable(name))
                << LongInput(code, words < 0 ? int(code.size() / 2) : words, startBit, capacity);
        };
        for (uint32_t seed = 1; seed <= 3; ++seed) {
            const QByteArray frame = syntheticFrameCode(seed);
            const int n = frame.size() / 2;
            const QString name = QStringLiteral("frame %1 ").arg(seed);
            add(name + "whole", frame);
            add(name + "cut in a code word", frame, n - 7);
            add(name + "from bit 37", frame, n, 37);
            add(name + "shortest long input", frame, 8192);
            add(name + "just too short for two readers", frame, 8191);
        }
        // Output limits around the frame's word count (in the frame of seed 1):
        // the sequential reading stops at the limit and reads one more code word.
        const QByteArray frame = syntheticFrameCode(1);
        Words out(compressed::kMaxExpandedWords);
        const int count = int(expand(0, frame, out).count);
        for (int capacity : {count - 1, count, count + 1, count / 2, 8192})
            add(QStringLiteral("limit %1").arg(capacity), frame, -1, 0, capacity);
        for (uint32_t seed = 10; seed < 20; ++seed)
            add(QStringLiteral("random code %1").arg(seed),
                randomCode(seed, 9000 + int(seed) * 37, seed % 5 * 4 + 1), -1, int(seed));
        // No absolute value after the first: the words after the middle all
        // depend on the value before it (the second run is too long for the
        // second reader to look for an absolute value to the end).
        for (int groups : {9000, 12000})
            add(QStringLiteral("differences only, %1 groups").arg(groups),
                wordsFromBits("0000000001100100" +
                              QStringLiteral("11001 10 0001 01 000011").repeated(groups)));
        // Differences dropped past the middle word before the first value.
        add("first value after the middle",
            wordsFromBits(QStringLiteral("11001").repeated(30000) + "0000000001100100" +
                          QStringLiteral("10 0001").repeated(2000)));
        // The reader from the middle word (5002 of 10000) starts two bits into
        // "01 000000", so it takes an escape that is not one; the side value
        // stays the true escape's 7.
        add("false escape at the middle",
            wordsFromBits("00 00000000000001  00 00000000000111  00 00000001100100" +
                          QStringLiteral("11000").repeated(15994) +
                          QStringLiteral("100001").repeated(2) + "01 000000  00 00000001000011" +
                          QStringLiteral("100001").repeated(13324)),
            10000);
        // Escapes with their side values on both sides of the middle word.
        QString escapes = QStringLiteral("0000000001100100");
        for (int i = 0; i < 9000; ++i)
            escapes += i % 97 == 0 ? "00 00000000000001 00 00000001000001" : "11001 10 0001 11111";
        add("escapes", wordsFromBits(escapes));
    }

    void longInputsMatchTheBitwiseReading() {
        QFETCH(LongInput, c);
        const auto& [code, words, startBit, capacity] = c;
        const BitPosition start{uint32_t(startBit / 16), uint32_t(startBit % 16)};
        // The fast output is exactly the capacity long, so a sanitizer build
        // catches a write past it; a word written past the count shows too.
        Words expected(size_t(capacity), 0), actual(size_t(capacity), 0);
        const compressed::ExpansionResult e = expand(0, code, expected, start, words);
        QCOMPARE(summary(expand(1, code, actual, start, words)), summary(e));
        QVERIFY(e.count > 1000 && actual == expected);
    }
};

QTEST_GUILESS_MAIN(TestCompressedStream)
#include "tst_compressed.moc"
