#include "recording/CompressedStream.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtTest>

#include <random>
#include <vector>

using compressed::BitPosition;

Q_DECLARE_METATYPE(QVector<quint16>)

namespace {

// Little-endian words from a string of bits, most significant bit of each
// word first; spaces are for reading only. A string that does not fill its
// last word is padded with zeros, which always form a cut-off 00 code.
QByteArray wordsFromBits(const QString& text) {
    QString bits = text;
    bits.remove(QLatin1Char(' '));
    while (bits.size() % 16 != 0)
        bits += QLatin1Char('0');
    QByteArray bytes;
    for (int i = 0; i < bits.size(); i += 16) {
        bool ok = false;
        const uint word = bits.mid(i, 16).toUInt(&ok, 2);
        Q_ASSERT(ok);
        bytes.append(char(word & 0xFF));
        bytes.append(char(word >> 8));
    }
    return bytes;
}

const uint8_t* data(const QByteArray& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}

struct ReadResult {
    bool ok;
    int16_t value;
    uint8_t kind;
    BitPosition position;
};

// Every code of a stream through one reader, with sentinels in value and kind
// so that "left unchanged" is visible.
template <class Reader>
std::vector<ReadResult> readAll(Reader reader, int maxCodes) {
    std::vector<ReadResult> results;
    for (int i = 0; i < maxCodes; ++i) {
        ReadResult r{false, int16_t(-777), uint8_t(99), {}};
        r.ok = reader.next(r.value, r.kind);
        r.position = reader.position();
        results.push_back(r);
        if (!r.ok)
            break;
    }
    return results;
}

} // namespace

class TestCompressedStream : public QObject {
    Q_OBJECT
private slots:
    void singleCode_data();
    void singleCode();
    void cutOffCodes_data();
    void cutOffCodes();
    void startPastTheEndReadsNothing();
    void expansion_data();
    void expansion();
    void expansionStopsAt524288Words();
    void readersAgreeOnRandomBits();
    void readersAgreeAtEveryCut();
    void expansionsAgreeOnRandomBits();
    void expansionGivesBackTheSimulatorsWords();
    void singleCompressedFile_data();
    void singleCompressedFile();
    void singleCompressedFileFailures();
    void conversionFailureIsReported();
};

void TestCompressedStream::singleCode_data() {
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    QTest::addColumn<uint>("endBitPos");

    QTest::newRow("absolute 2") << "00 00000000000010" << 16 << 2 << 16u;
    QTest::newRow("absolute 16383") << "00 11111111111111" << 16 << 16383 << 16u;
    QTest::newRow("separator") << "00 00000000000000" << 16 << 0 << 16u;
    QTest::newRow("escape") << "00 00000000000001" << 16 << 1 << 16u;
    QTest::newRow("8-bit d=0 -> +12") << "01 000000" << 8 << 12 << 8u;
    QTest::newRow("8-bit d=31 -> +43") << "01 011111" << 8 << 43 << 8u;
    QTest::newRow("8-bit d=-1 -> -13") << "01 111111" << 8 << -13 << 8u;
    QTest::newRow("8-bit d=-32 -> -44") << "01 100000" << 8 << -44 << 8u;
    QTest::newRow("6-bit d=0 -> +4") << "10 0000" << 6 << 4 << 6u;
    QTest::newRow("6-bit d=7 -> +11") << "10 0111" << 6 << 11 << 6u;
    QTest::newRow("6-bit d=-1 -> -5") << "10 1111" << 6 << -5 << 6u;
    QTest::newRow("6-bit d=-8 -> -12") << "10 1000" << 6 << -12 << 6u;
    QTest::newRow("5-bit 0") << "11 000" << 5 << 0 << 5u;
    QTest::newRow("5-bit 3") << "11 011" << 5 << 3 << 5u;
    QTest::newRow("5-bit -1") << "11 111" << 5 << -1 << 5u;
    QTest::newRow("5-bit -4") << "11 100" << 5 << -4 << 5u;
}

void TestCompressedStream::singleCode() {
    QFETCH(QString, bits);
    QFETCH(int, kind);
    QFETCH(int, value);
    QFETCH(uint, endBitPos);
    // A word of zeros follows, so the fast reader takes its full-width path
    // for one word and its careful path for the other variant below.
    for (int trailingWords : {0, 4}) {
        QByteArray bytes = wordsFromBits(bits);
        bytes.append(QByteArray(trailingWords * 2, '\0'));
        const int64_t words = bytes.size() / 2;

        BitPosition position;
        int16_t v = 0;
        uint8_t k = 0;
        QVERIFY(compressed::readCodeBitwise(data(bytes), words, position, v, k));
        QCOMPARE(int(k), kind);
        QCOMPARE(int(v), value);
        QCOMPARE(position.wordIndex, 0u);
        QCOMPARE(position.bitPos, endBitPos);

        compressed::FastCodeReader fast(data(bytes), words, BitPosition{});
        v = 0;
        k = 0;
        QVERIFY(fast.next(v, k));
        QCOMPARE(int(k), kind);
        QCOMPARE(int(v), value);
        QCOMPARE(fast.position().wordIndex, 0u);
        QCOMPARE(fast.position().bitPos, endBitPos);
    }
}

void TestCompressedStream::cutOffCodes_data() {
    QTest::addColumn<QString>("bits");
    QTest::addColumn<int>("completeCodes");
    QTest::addColumn<int>("kindAfter");  // 99: left unchanged
    QTest::addColumn<int>("valueAfter"); // -777: left unchanged

    // Three 5-bit codes and one bit of a prefix.
    QTest::newRow("prefix cut") << "11000 11000 11000 1" << 3 << 99 << -777;
    // Two 5-bit codes, then prefix 00 and four of its fourteen payload bits.
    QTest::newRow("16-bit payload cut") << "11000 11000 00 0001" << 2 << 16 << 1;
    // The bits so far are reported as they stand, not as a difference.
    QTest::newRow("8-bit payload cut") << "11000 11000 01 1111" << 2 << 8 << 15;
    // Two codes of 6 and 8 bits, then the prefix 10 alone.
    QTest::newRow("6-bit prefix only") << "100000 01000000 10" << 2 << 6 << 0;
    // A code that ends exactly with the input is complete.
    QTest::newRow("exact end") << "00 00000000000101" << 1 << 99 << -777;
}

void TestCompressedStream::cutOffCodes() {
    QFETCH(QString, bits);
    QFETCH(int, completeCodes);
    QFETCH(int, kindAfter);
    QFETCH(int, valueAfter);
    const QByteArray bytes = wordsFromBits(bits);
    QCOMPARE(bytes.size(), 2);

    for (int reader = 0; reader < 2; ++reader) {
        const std::vector<ReadResult> results =
            reader == 0 ? readAll(compressed::BitwiseCodeReader(data(bytes), 1, {}), 10)
                        : readAll(compressed::FastCodeReader(data(bytes), 1, {}), 10);
        QCOMPARE(int(results.size()), completeCodes + 1);
        for (int i = 0; i < completeCodes; ++i)
            QVERIFY(results[size_t(i)].ok);
        const ReadResult& last = results.back();
        QVERIFY(!last.ok);
        QCOMPARE(int(last.kind), kindAfter);
        QCOMPARE(int(last.value), valueAfter);
        // Every bit of the word was taken; the reader stepped to the next word.
        QCOMPARE(last.position.wordIndex, 1u);
        QCOMPARE(last.position.bitPos, 0u);
    }
}

void TestCompressedStream::startPastTheEndReadsNothing() {
    // A movie frame that is a bare 2048-byte header: the code would start at
    // word 1024, one past the last word. The buffer is exactly that long, so a
    // sanitizer build catches any read of the word at the start position.
    std::vector<uint8_t> frame(2048, 0xAB);
    for (int reader = 0; reader < 2; ++reader) {
        int16_t value = -777;
        uint8_t kind = 99;
        BitPosition position{1024, 0};
        bool ok = true;
        if (reader == 0) {
            ok = compressed::readCodeBitwise(frame.data(), 1024, position, value, kind);
        } else {
            compressed::FastCodeReader fast(frame.data(), 1024, position);
            ok = fast.next(value, kind);
            position = fast.position();
        }
        QVERIFY(!ok);
        QCOMPARE(int(kind), 99);
        QCOMPARE(int(value), -777);
        QCOMPARE(position.wordIndex, 1024u);
        QCOMPARE(position.bitPos, 0u);
    }
    std::vector<uint16_t> out(16, 0x1234);
    const compressed::ExpansionResult r =
        compressed::expand(frame.data(), 1024, BitPosition{1024, 0}, out.data(), 16);
    QCOMPARE(r.count, 0u);
    QVERIFY(!r.sideValueSeen);
    QCOMPARE(out[0], quint16(0x1234));
}

void TestCompressedStream::expansion_data() {
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QVector<quint16>>("words");
    QTest::addColumn<bool>("sideValueSeen");
    QTest::addColumn<int>("sideValue");

    QTest::newRow("difference first is dropped")
        << "11 011  00 00000000000010" << QVector<quint16>{0xC002} << false << 0;
    QTest::newRow("escape then 11 011: side value 3, one separator")
        << "00 00000000000001  11 011" << QVector<quint16>{0x4000} << true << 3;
    QTest::newRow("payload 2") << "00 00000000000010" << QVector<quint16>{0xC002} << false << 0;
    QTest::newRow("payload 0") << "00 00000000000000" << QVector<quint16>{0x4000} << false << 0;
    QTest::newRow("16383 then +3 wraps to 2")
        << "00 11111111111111  11 011" << QVector<quint16>{0xFFFF, 0xC002} << false << 0;
    // 2, +3 -> 5, 10 0001 is +5 -> 10, then an 8-bit code with 3 of 6 payload
    // bits ends the input: it is not written.
    QTest::newRow("cut-off code not written")
        << "00 00000000000010  11011 100001 01010" << QVector<quint16>{0xC002, 0xC005, 0xC00A}
        << false << 0;
    // 0x4000 - 1 = 0x3FFF, OR 0xC000 = 0xFFFF: the value 16383.
    QTest::newRow("difference after separator is absolute")
        << "00 00000000000000  11 111" << QVector<quint16>{0x4000, 0xFFFF} << false << 0;
    // 0xC002 - 44 = 0xBFD6, OR 0xC000 = 0xFFD6 (16342 = 2 - 44 + 16384).
    QTest::newRow("2 - 44 wraps below zero")
        << "00 00000000000010  01 100000" << QVector<quint16>{0xC002, 0xFFD6} << false << 0;
    // 100 + 43 + 11 - 12 - 4 = 138 (0x8A).
    QTest::newRow("chain of differences")
        << "00 00000001100100  01 011111  10 0111  10 1000  11 100  00 00"
        << QVector<quint16>{0xC064, 0xC08F, 0xC09A, 0xC08E, 0xC08A} << false << 0;
    QTest::newRow("last escape decides the side value")
        << "00 00000000000001  00 00000000000111  00 00000000000001  00 00000000001001"
        << QVector<quint16>{0x4000, 0x4000} << true << 9;
    QTest::newRow("escape whose side value is cut off")
        << "00 00000000000010  00 00000000000001" << QVector<quint16>{0xC002} << false << 0;
    // A dropped difference, the escape at bit 5, and a side value with 9 of
    // its 14 payload bits when the input ends.
    QTest::newRow("escape with the side value cut inside its payload")
        << "11000  00 00000000000001  00 000000000" << QVector<quint16>{} << false << 0;
    // A frame counter with the FFC mark as a 16-bit side value.
    QTest::newRow("side value with FFC mark") << "00 00000000000001  00 10000000000101  11 001"
                                              << QVector<quint16>{0x4000, 0xC001} << true << 0x2005;
    QTest::newRow("empty input") << "" << QVector<quint16>{} << false << 0;
}

void TestCompressedStream::expansion() {
    QFETCH(QString, bits);
    QFETCH(QVector<quint16>, words);
    QFETCH(bool, sideValueSeen);
    QFETCH(int, sideValue);
    const QByteArray bytes = wordsFromBits(bits);
    for (int reader = 0; reader < 2; ++reader) {
        std::vector<uint16_t> out(compressed::kMaxExpandedWords, 0);
        const compressed::ExpansionResult r =
            reader == 0 ? compressed::expandBitwise(data(bytes), bytes.size() / 2, {}, out.data())
                        : compressed::expand(data(bytes), bytes.size() / 2, {}, out.data());
        QCOMPARE(int(r.count), words.size());
        for (int i = 0; i < words.size(); ++i)
            QCOMPARE(quint16(out[size_t(i)]), words[i]);
        QCOMPARE(r.sideValueSeen, sideValueSeen);
        if (sideValueSeen)
            QCOMPARE(int(r.sideValue), sideValue);
    }
}

void TestCompressedStream::expansionStopsAt524288Words() {
    // One absolute value and 524,300 codes "11 000" (difference 0).
    const uint32_t extra = 12;
    QString bits = QStringLiteral("0000000001100100");
    bits.reserve(int(16 + (compressed::kMaxExpandedWords + extra) * 5));
    for (uint32_t i = 0; i + 1 < compressed::kMaxExpandedWords + extra; ++i)
        bits += QStringLiteral("11000");
    const QByteArray bytes = wordsFromBits(bits);

    for (int reader = 0; reader < 2; ++reader) {
        // The buffer is exactly the limit long; the sanitizer build catches a
        // word written past it.
        std::vector<uint16_t> out(compressed::kMaxExpandedWords);
        const compressed::ExpansionResult r =
            reader == 0 ? compressed::expandBitwise(data(bytes), bytes.size() / 2, {}, out.data())
                        : compressed::expand(data(bytes), bytes.size() / 2, {}, out.data());
        QCOMPARE(r.count, 524288u);
        QCOMPARE(out.front(), quint16(0xC064));
        QCOMPARE(out.back(), quint16(0xC064));
        // The loop reads the code after the one it acted on, so 524,289 codes
        // were read (16 + 524,288 x 5 = 2,621,456 bits, the end of word
        // 163,840) and the rest of the input was not touched.
        QCOMPARE(r.end.wordIndex, 163840u);
        QCOMPARE(r.end.bitPos, 16u);
    }
    // A smaller output buffer bounds the expansion too.
    std::vector<uint16_t> small(3);
    QCOMPARE(compressed::expand(data(bytes), bytes.size() / 2, {}, small.data(), 3).count, 3u);
}

namespace {

QByteArray randomWords(std::mt19937& rng, int words, bool biased) {
    QByteArray bytes(words * 2, '\0');
    for (int i = 0; i < words * 2; ++i) {
        uint32_t b = rng();
        // Biased input: more 00 prefixes, so long codes and escapes occur often.
        if (biased && (i % 2 == 1))
            b &= (rng() % 3 == 0) ? 0x3F : 0xFF;
        bytes[i] = char(b & 0xFF);
    }
    return bytes;
}

bool sameResults(const std::vector<ReadResult>& a, const std::vector<ReadResult>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].ok != b[i].ok || a[i].value != b[i].value || a[i].kind != b[i].kind ||
            !(a[i].position == b[i].position))
            return false;
    }
    return true;
}

} // namespace

void TestCompressedStream::readersAgreeOnRandomBits() {
    std::mt19937 rng(20240607);
    for (int round = 0; round < 3000; ++round) {
        const int words = int(rng() % 40);
        const QByteArray bytes = randomWords(rng, words, round % 2 == 1);
        const BitPosition start{uint32_t(rng() % uint32_t(words + 2)), uint32_t(rng() % 17)};
        const auto reference =
            readAll(compressed::BitwiseCodeReader(data(bytes), words, start), 1000);
        const auto fast = readAll(compressed::FastCodeReader(data(bytes), words, start), 1000);
        QVERIFY2(sameResults(reference, fast),
                 qPrintable(QStringLiteral("round %1, %2 words, start %3/%4")
                                .arg(round)
                                .arg(words)
                                .arg(start.wordIndex)
                                .arg(start.bitPos)));
    }
}

void TestCompressedStream::readersAgreeAtEveryCut() {
    // One stream cut after every word and read from every bit of its first
    // words: the end of the input falls at every offset inside every kind of
    // code word.
    std::mt19937 rng(7);
    const QByteArray bytes = randomWords(rng, 48, true);
    for (int words = 0; words <= 48; ++words) {
        for (uint32_t startBit = 0; startBit < 40; ++startBit) {
            const BitPosition start{startBit / 16, startBit % 16};
            const auto reference =
                readAll(compressed::BitwiseCodeReader(data(bytes), words, start), 1000);
            const auto fast = readAll(compressed::FastCodeReader(data(bytes), words, start), 1000);
            QVERIFY2(sameResults(reference, fast),
                     qPrintable(QStringLiteral("%1 words, start bit %2").arg(words).arg(startBit)));
        }
    }
}

void TestCompressedStream::expansionsAgreeOnRandomBits() {
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        const int words = int(rng() % 3000);
        const QByteArray bytes = randomWords(rng, words, round % 2 == 0);
        const BitPosition start{uint32_t(rng() % 4), uint32_t(rng() % 17)};
        std::vector<uint16_t> a(compressed::kMaxExpandedWords, 0);
        std::vector<uint16_t> b(compressed::kMaxExpandedWords, 0);
        const auto ra = compressed::expandBitwise(data(bytes), words, start, a.data());
        const auto rb = compressed::expand(data(bytes), words, start, b.data());
        QCOMPARE(rb.count, ra.count);
        QCOMPARE(rb.sideValueSeen, ra.sideValueSeen);
        QCOMPARE(rb.sideValue, ra.sideValue);
        QVERIFY(rb.end == ra.end);
        QVERIFY(std::equal(a.begin(), a.begin() + ra.count, b.begin()));
    }
}

void TestCompressedStream::expansionGivesBackTheSimulatorsWords() {
    // A realistic frame: the expansion returns one separator for the escape,
    // then every word, separators as 0x4000; both readers agree.
    synth::SceneOptions scene;
    scene.width = 336;
    scene.height = 256;
    synth::StreamOptions stream;
    stream.separatorWord = 0x0123;
    const std::vector<uint16_t> words =
        synth::makeWordStream(synth::renderScene(scene, 3), 336, 256, stream);
    const QByteArray code = synth::compressWords(words, 0x2ABC);
    QVERIFY(!code.isEmpty());
    std::vector<uint16_t> expected{0x4000};
    for (uint16_t w : words)
        expected.push_back((w & 0x8000) ? uint16_t(w | 0xC000) : uint16_t(0x4000));
    for (int reader = 0; reader < 2; ++reader) {
        std::vector<uint16_t> out(compressed::kMaxExpandedWords);
        const compressed::ExpansionResult r =
            reader == 0 ? compressed::expandBitwise(data(code), code.size() / 2, {}, out.data())
                        : compressed::expand(data(code), code.size() / 2, {}, out.data());
        QCOMPARE(size_t(r.count), expected.size());
        QVERIFY(std::equal(expected.begin(), expected.end(), out.begin()));
        QVERIFY(r.sideValueSeen);
        QCOMPARE(r.sideValue, quint16(0x2ABC));
    }
}

namespace {

synth::MovieOptions singleFrameOptions(int version) {
    synth::MovieOptions options;
    options.compressed = true;
    options.version = version;
    options.scene.width = 160;
    options.scene.height = 128;
    options.scene.seed = 11;
    options.firstCounter = 42;
    return options;
}

QString writeScratch(const QString& name, const QByteArray& bytes) {
    const QString path = testsupport::scratchDir() + QLatin1Char('/') + name;
    return synth::writeFile(path, bytes) ? path : QString();
}

} // namespace

void TestCompressedStream::singleCompressedFile_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("v6") << 6;
    QTest::newRow("v5") << 5;
    QTest::newRow("v4") << 4;
    QTest::newRow("v2: code after the 8,204-byte header") << 2;
    QTest::newRow("v1: code after the 8,200-byte header") << 1;
}

void TestCompressedStream::singleCompressedFile() {
    QFETCH(int, version);
    const synth::MovieOptions options = singleFrameOptions(version);
    const QString path =
        writeScratch(QStringLiteral("single.THC"), synth::makeSingleFrameFile(options));
    QVERIFY(!path.isEmpty());
    testsupport::Recorder recorder;
    DataConverter converter;
    QImage image;
    bool ok = false;
    ThermalImageConversionSet set;
    converter.getImageFromCompressedRAW(path, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(ok);
    QCOMPARE(recorder.outLines(), QStringList{QStringLiteral("Opening: ") + path});
    QVERIFY(recorder.reports.empty());

    // The scene, with the last three values of the last row repeating the
    // one before them (the decoder ends a 160 x 128 frame by length).
    std::vector<uint16_t> expected = synth::renderScene(options.scene, 0);
    for (size_t i = expected.size() - 3; i < expected.size(); ++i)
        expected[i] = expected[expected.size() - 4];
    rawVideoChunk chunk;
    converter.getCurrentRawVideoChunk(chunk);
    QCOMPARE(chunk.width, 160u);
    QCOMPARE(chunk.height, 128u);
    QVERIFY(chunk.rawData == expected);
    QCOMPARE(chunk.currentFrameNumber, 42u);
    QVERIFY(converter.getStreamFrameNumberSeen());
    QCOMPARE(image.size(), QSize(160, 128));
    QCOMPARE(converter.getCurrentFileName(), path);
    // The expansion ended at the zero bits that pad the code's last word: the
    // reader stands at the end, where not even a prefix can be read.
    short value = 7;
    unsigned char kind = 99;
    QVERIFY(!converter.getNextValueFromCompressed(value, kind));
    QCOMPARE(int(kind), 99);
    QCOMPARE(int(value), 7);
    QVERIFY(set.lowerBound < set.upperBound);
}

void TestCompressedStream::singleCompressedFileFailures() {
    DataConverter converter;
    QImage image;
    ThermalImageConversionSet set;
    {
        testsupport::Recorder recorder;
        const QString path = testsupport::scratchDir() + QStringLiteral("/missing.THC");
        bool ok = true;
        converter.getImageFromCompressedRAW(path, image, &ok, ksDefines::NoSerialData, set);
        QVERIFY(!ok);
        const QString quoted = QLatin1Char('"') + path + QLatin1Char('"');
        QCOMPARE(
            recorder.outLines(),
            (QStringList{"Opening: " + path,
                         "DataConverter::loadFromRawFile opening of file: " + quoted + " failed",
                         "DataConverter::getImageFromCompressedRAW call of "
                         "DataConverter::loadFromRawFile returned false: " +
                             quoted}));
        QVERIFY(recorder.reports.empty());
    }
    {
        // Version 3 is not supported.
        QByteArray bytes = synth::makeSingleFrameFile(singleFrameOptions(6));
        bytes[4] = 3;
        const QString path = writeScratch(QStringLiteral("v3.THC"), bytes);
        testsupport::Recorder recorder;
        QVERIFY(!converter.loadFromCompressedRawFile(path, ksDefines::NoSerialData));
        QCOMPARE(
            recorder.outLines(),
            (QStringList{"Opening: " + path,
                         "DataConverter::loadFromRawFile Error reading header: \"" + path + "\""}));
    }
}

void TestCompressedStream::conversionFailureIsReported() {
    // Five rows of 160 decode, but a frame needs ten rows to be converted.
    synth::SceneOptions scene;
    scene.width = 160;
    scene.height = 5;
    synth::HeaderOptions header;
    header.version = 6;
    synth::StreamOptions stream;
    const QByteArray frame = synth::makeCompressedFrame(
        header, synth::makeWordStream(synth::renderScene(scene, 0), 160, 5, stream));
    const QString path = writeScratch(QStringLiteral("five.THC"), frame);
    testsupport::Recorder recorder;
    DataConverter converter;
    QImage image;
    bool ok = true;
    ThermalImageConversionSet set;
    converter.getImageFromCompressedRAW(path, image, &ok, ksDefines::NoSerialData, set);
    QVERIFY(!ok);
    const QString text = "DataConverter::getImageFromCompressedRAW call of "
                         "DataConverter::processRawData returned false: \"" +
                         path + "\", RAWdata.size: 800";
    QCOMPARE(recorder.outLines(), (QStringList{"Opening: " + path, text}));
    QCOMPARE(int(recorder.reports.size()), 1);
    QCOMPARE(recorder.reports[0].title, QStringLiteral("Error"));
    QCOMPARE(recorder.reports[0].text, text);
}

QTEST_GUILESS_MAIN(TestCompressedStream)
#include "tst_compressed.moc"
