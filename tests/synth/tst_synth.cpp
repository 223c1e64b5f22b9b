// Tests of the recording simulator. Every expectation below was worked out by
// hand from the file formats; the compressed code is checked against a
// decoder written here, one bit at a time, independent of the encoder.

#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <cmath>
#include <cstring>

using Words = std::vector<uint16_t>;
Q_DECLARE_METATYPE(Words)

namespace {

constexpr uint16_t S = 0x4000; // blanking word as the simulator writes it

uint16_t px(int value) {
    return uint16_t(0xC000 | value);
}

uint16_t le16(const QByteArray& bytes, int offset) {
    return uint16_t(uint8_t(bytes[offset]) | (uint8_t(bytes[offset + 1]) << 8));
}
uint32_t le32(const QByteArray& bytes, int offset) {
    return uint32_t(le16(bytes, offset)) | (uint32_t(le16(bytes, offset + 2)) << 16);
}

Words rawRange(int count, int first) {
    Words raw;
    for (int i = 0; i < count; ++i)
        raw.push_back(uint16_t(first + i));
    return raw;
}

std::vector<int> signaturePositions(const QByteArray& bytes, int version) {
    const char sig[5] = {'V', 'E', 'L', 'M', char(version)};
    const QByteArray needle(sig, 5);
    std::vector<int> positions;
    for (int p = bytes.indexOf(needle); p >= 0; p = bytes.indexOf(needle, p + 1))
        positions.push_back(p);
    return positions;
}

// The 14-bit values of the pixel words of an uncompressed frame.
Words pixelValues(const QByteArray& frame, int wordsStart) {
    Words values;
    for (int i = wordsStart; i + 1 < frame.size(); i += 2) {
        const uint16_t w = le16(frame, i);
        if (w & 0x8000)
            values.push_back(uint16_t(w & 0x3FFF));
    }
    return values;
}

// Packs a string of '0'/'1' most significant bit first into little-endian
// 16-bit words, zero-padded.
QByteArray bitsToBytes(const QString& bits) {
    QByteArray out;
    for (int start = 0; start < bits.size(); start += 16) {
        uint16_t word = 0;
        for (int i = 0; i < 16; ++i) {
            word = uint16_t(word << 1);
            if (start + i < bits.size() && bits[start + i] == '1')
                word |= 1;
        }
        out.append(char(word & 0xFF));
        out.append(char(word >> 8));
    }
    return out;
}

// Reference expansion of the compressed code, one bit at a time.
struct Expansion {
    Words words;
    int sideValue = -1;
    int kinds[4] = {0, 0, 0, 0}; // codes of 16, 8, 6 and 5 bits
};

Expansion referenceExpand(const QByteArray& code) {
    Expansion e;
    const size_t totalBits = size_t(code.size() / 2) * 16;
    size_t pos = 0;
    auto read = [&](int n, int& value) {
        if (pos + size_t(n) > totalBits)
            return false;
        value = 0;
        for (int i = 0; i < n; ++i, ++pos) {
            const uint16_t word = le16(code, int(pos / 16) * 2);
            value = (value << 1) | ((word >> (15 - pos % 16)) & 1);
        }
        return true;
    };
    auto readCode = [&](int& prefix, int& payload) {
        if (!read(2, prefix))
            return false;
        const int length[4] = {14, 6, 4, 3};
        if (!read(length[prefix], payload))
            return false;
        if (prefix > 0 && payload >= (1 << (length[prefix] - 1)))
            payload -= 1 << length[prefix];
        return true;
    };
    int prefix = 0, payload = 0;
    while (readCode(prefix, payload)) {
        if (prefix == 0) {
            ++e.kinds[0];
            if (payload == 1) {
                int p2 = 0, v2 = 0;
                if (!readCode(p2, v2))
                    break;
                e.sideValue = v2;
                e.words.push_back(0x4000);
            } else if (payload == 0) {
                e.words.push_back(0x4000);
            } else {
                e.words.push_back(uint16_t(0xC000 | payload));
            }
            continue;
        }
        ++e.kinds[prefix];
        int d = payload;
        if (prefix == 1)
            d = d >= 0 ? d + 12 : d - 12;
        else if (prefix == 2)
            d = d >= 0 ? d + 4 : d - 4;
        if (e.words.empty())
            continue;
        e.words.push_back(uint16_t(uint16_t(e.words.back() + d) | 0xC000));
    }
    return e;
}

Words expectedExpansion(const Words& words) {
    Words out{0x4000};
    for (uint16_t w : words)
        out.push_back((w & 0x8000) ? uint16_t(0xC000 | (w & 0x3FFF)) : uint16_t(0x4000));
    return out;
}

synth::SceneOptions flatScene(int width, int height) {
    synth::SceneOptions s;
    s.width = width;
    s.height = height;
    s.gradientRaw = 0;
    s.objects = 0;
    s.vignettingRaw = 0;
    s.noiseRaw = 0;
    return s;
}

// Splits a CR LF text into its lines (without the line ends).
QList<QByteArray> crlfLines(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        l.chop(1); // the CR
    return lines;
}

} // namespace

class TestSynth : public QObject {
    Q_OBJECT

private slots:
    void headerLayout_data();
    void headerLayout();
    void headerCutsLongSerialBlock_data();
    void headerCutsLongSerialBlock();
    void headerTemperaturesAndPartNumber_data();
    void headerTemperaturesAndPartNumber();
    void rawFrameLayout_data();
    void rawFrameLayout();

    void wordStream_data();
    void wordStream();
    void wordStreamRefusesWrongSize();
    void blankingRunsStayInRange();

    void sceneIsDeterministic();
    void sceneFlatLevelDriftAndVignetting();
    void sceneClampsToCodableRange();
    void sceneObjectsMoveAndNoiseVaries();

    void encoderExactBytes_data();
    void encoderExactBytes();
    void encoderDifferenceRanges_data();
    void encoderDifferenceRanges();
    void encoderRefusesUnreachableZeroAndOne();
    void encoderRoundTripsFrames_data();
    void encoderRoundTripsFrames();
    void encoderRoundTripsRandomWalks();
    void compressedFrameLayout();
    void signatureSearch();

    void movieCountersAndFfcMarks_data();
    void movieCountersAndFfcMarks();
    void movieDriftSawTooth();
    void movieHasNoAccidentalSignature();
    void serialTextWithSignatureGivesNoFile();
    void unwritableOptionsGiveNoFile();
    void singleFileIsFrameOneOfAMovie();
    void writeFileRoundTrip();

    void flightFollowsLawnMowerPattern();
    void nmeaChecksumOfKnownSentence();
    void nmeaBlockFields_data();
    void nmeaBlockFields();
    void mavlinkCrc();
    void mavlinkBlockFields();
    void mavlinkSplitFrameContinuesInNextBlock();
    void mdRecordChecksums();
    void mdGpsTimeAndEcef();
    void mdDownlinkBlockFrame();
    void movieCarriesTelemetryInSerialBlock();
};

// ---- Headers ---------------------------------------------------------------

void TestSynth::headerLayout_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("blockOffset");
    QTest::addColumn<int>("blockLength");
    QTest::newRow("v0") << 0 << 23 << 0 << 0;
    QTest::newRow("v1") << 1 << 8200 << 6 << 8192;
    QTest::newRow("v2") << 2 << 8204 << 10 << 8192;
    QTest::newRow("v3 (refused by readers)") << 3 << 2048 << 10 << 2036;
    QTest::newRow("v4") << 4 << 2048 << 10 << 2036;
    QTest::newRow("v5") << 5 << 2048 << 40 << 2006;
    QTest::newRow("v6") << 6 << 2048 << 68 << 1978;
    QTest::newRow("v7 (refused by readers)") << 7 << 2048 << 0 << 0;
}

void TestSynth::headerLayout() {
    QFETCH(int, version);
    QFETCH(int, length);
    QFETCH(int, blockOffset);
    QFETCH(int, blockLength);
    QCOMPARE(int(synth::headerLength(version)), length);
    QCOMPARE(int(synth::serialOffset(version)), blockOffset);
    QCOMPARE(int(synth::serialLength(version)), blockLength);

    synth::HeaderOptions h;
    h.version = version;
    h.serial = "$GPRMC,1";
    h.frameCounter = 0x1234; // never part of the header itself
    const QByteArray header = synth::makeHeader(h);
    QCOMPARE(header.size(), length);
    QCOMPARE(header.left(4), QByteArray("VELM"));
    QCOMPARE(int(uint8_t(header[4])), version);
    if (blockLength > 0) {
        QCOMPARE(header.mid(blockOffset, 8), QByteArray("$GPRMC,1"));
        QCOMPARE(header[blockOffset - 1], '\0');
        // zero-padded to the end of the block and beyond
        QCOMPARE(header.mid(blockOffset + 8), QByteArray(length - blockOffset - 8, '\0'));
    } else {
        QCOMPARE(header.mid(5), QByteArray(length - 5, '\0'));
    }
}

void TestSynth::headerCutsLongSerialBlock_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("v1") << 1;
    QTest::newRow("v2") << 2;
    QTest::newRow("v4") << 4;
    QTest::newRow("v5") << 5;
    QTest::newRow("v6") << 6;
}

void TestSynth::headerCutsLongSerialBlock() {
    QFETCH(int, version);
    synth::HeaderOptions h;
    h.version = version;
    h.serial = QByteArray(9000, 'x');
    const QByteArray header = synth::makeHeader(h);
    const int offset = int(synth::serialOffset(version));
    const int length = int(synth::serialLength(version));
    QCOMPARE(header.count('x'), length);
    QCOMPARE(header.mid(offset, length), QByteArray(length, 'x'));
    // every block ends two bytes before the end of its header
    QCOMPARE(header.size() - (offset + length), 2);
    QCOMPARE(header.right(2), QByteArray(2, '\0'));
}

void TestSynth::headerTemperaturesAndPartNumber_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<double>("fpa");
    QTest::addColumn<double>("housing");
    QTest::addColumn<QByteArray>("partNumber");
    QTest::addColumn<QByteArray>("bytes10to15");
    QTest::addColumn<QByteArray>("partField");
    // 31.4 -> 314 = 0x013A; 29.87 -> 2987 = 0x0BAB
    QTest::newRow("v5") << 5 << 31.4 << 29.87 << QByteArray("4640019S R01234")
                        << QByteArray("\x3A\x01\0\0\xAB\x0B", 6)
                        << QByteArray("4640019S R01234\0", 16);
    // the v5 field holds 15 characters and the zero in front of offset 40
    QTest::newRow("v5 long part number")
        << 5 << 0.04 << 0.005 << QByteArray("ABCDEFGHIJKLMNOPQRS")
        << QByteArray("\0\0\0\0\x01\0", 6) << QByteArray("ABCDEFGHIJKLMNO\0", 16);
    // 0.05 rounds up to 1 tenth; -3 clamps to 0; 700 hundredths-scaled clamps to 65535
    QTest::newRow("v6 rounding and clamping")
        << 6 << 0.05 << 700.0 << QByteArray("46") << QByteArray("\x01\0\0\0\xFF\xFF", 6)
        << QByteArray("46\0\0", 4);
    QTest::newRow("v6 negative") << 6 << -3.0 << -0.2 << QByteArray("")
                                 << QByteArray("\0\0\0\0\0\0", 6) << QByteArray("\0", 1);
}

void TestSynth::headerTemperaturesAndPartNumber() {
    QFETCH(int, version);
    QFETCH(double, fpa);
    QFETCH(double, housing);
    QFETCH(QByteArray, partNumber);
    QFETCH(QByteArray, bytes10to15);
    QFETCH(QByteArray, partField);
    synth::HeaderOptions h;
    h.version = version;
    h.tempFPACelsius = fpa;
    h.tempHousingCelsius = housing;
    h.partNumber = partNumber;
    h.serial = "S";
    const QByteArray header = synth::makeHeader(h);
    QCOMPARE(header.mid(10, 6), bytes10to15);
    QCOMPARE(header.mid(24, partField.size()), partField);
    QCOMPARE(header[int(synth::serialOffset(version))], 'S');
    QCOMPARE(header.mid(16, 8), QByteArray(8, '\0'));
}

void TestSynth::rawFrameLayout_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("wordsStart");
    QTest::addColumn<bool>("hasCounter");
    QTest::newRow("v0") << 0 << 46 << false;
    QTest::newRow("v1") << 1 << 16400 << false;
    QTest::newRow("v2") << 2 << 16408 << false;
    QTest::newRow("v4") << 4 << 4096 << true;
    QTest::newRow("v5") << 5 << 4096 << true;
    QTest::newRow("v6") << 6 << 4096 << true;
}

void TestSynth::rawFrameLayout() {
    QFETCH(int, version);
    QFETCH(int, wordsStart);
    QFETCH(bool, hasCounter);
    synth::HeaderOptions h;
    h.version = version;
    h.frameCounter = 0x2005;
    const Words words{0x4000, 0xC123, 0x8001};
    const QByteArray frame = synth::makeRawFrame(h, words);
    QCOMPARE(frame.size(), wordsStart + 6);
    QCOMPARE(frame.left(wordsStart / 2), synth::makeHeader(h));
    QCOMPARE(frame.right(6), QByteArray("\x00\x40\x23\xC1\x01\x80", 6));
    const int h2 = wordsStart / 2;
    if (hasCounter) {
        QCOMPARE(le16(frame, 2050), uint16_t(0x2005));
        QCOMPARE(frame.mid(h2, 2050 - h2), QByteArray(2050 - h2, '\0'));
        QCOMPARE(frame.mid(2052, wordsStart - 2052), QByteArray(wordsStart - 2052, '\0'));
    } else {
        QCOMPARE(frame.mid(h2, h2), QByteArray(h2, '\0'));
    }
}

// ---- Word stream -------------------------------------------------------------

void TestSynth::wordStream_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("blankingMin");
    QTest::addColumn<int>("blankingMax");
    QTest::addColumn<bool>("cutLastRow");
    QTest::addColumn<int>("shortRow");
    QTest::addColumn<int>("longRow");
    QTest::addColumn<bool>("noBlanking");
    QTest::addColumn<int>("separator");
    QTest::addColumn<Words>("expected");

    QTest::newRow("rows between runs of two")
        << 4 << 3 << 2 << 2 << false << -1 << -1 << false << 0x4000
        << Words{S,      S,      px(10), px(11), px(12), px(13), S,      S,      px(14), px(15),
                 px(16), px(17), S,      S,      px(18), px(19), px(20), px(21), S,      S};
    QTest::newRow("last row cut three words early, no trailing run")
        << 4 << 3 << 1 << 1 << true << -1 << -1 << false << 0x4000
        << Words{S, px(10), px(11), px(12), px(13), S, px(14), px(15), px(16), px(17), S, px(18)};
    QTest::newRow("row 0 seven values shorter")
        << 10 << 2 << 1 << 1 << false << 0 << -1 << false << 0x4000
        << Words{S,      px(10), px(11), px(12), S,      px(20), px(21), px(22),
                 px(23), px(24), px(25), px(26), px(27), px(28), px(29), S};
    QTest::newRow("row 0 five values longer")
        << 4 << 2 << 1 << 1 << false << -1 << 0 << false << 0x4000
        << Words{S,      px(10), px(11), px(12), px(13), px(13), px(13), px(13),
                 px(13), px(13), S,      px(14), px(15), px(16), px(17), S};
    QTest::newRow("no blanking") << 4 << 2 << 2 << 5 << false << -1 << -1 << true << 0x4000
                                 << Words{px(10), px(11), px(12), px(13),
                                          px(14), px(15), px(16), px(17)};
    QTest::newRow("separator word without bit 15")
        << 2 << 1 << 1 << 1 << false << -1 << -1 << false << 0x9234
        << Words{0x1234, px(10), px(11), 0x1234};
    QTest::newRow("empty blanking runs") << 2 << 2 << 0 << 0 << false << -1 << -1 << false << 0x4000
                                         << Words{px(10), px(11), px(12), px(13)};
}

void TestSynth::wordStream() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, blankingMin);
    QFETCH(int, blankingMax);
    QFETCH(bool, cutLastRow);
    QFETCH(int, shortRow);
    QFETCH(int, longRow);
    QFETCH(bool, noBlanking);
    QFETCH(int, separator);
    QFETCH(Words, expected);
    synth::StreamOptions o;
    o.blankingMin = blankingMin;
    o.blankingMax = blankingMax;
    o.cutLastRow = cutLastRow;
    o.shortRow = shortRow;
    o.longRow = longRow;
    o.noBlanking = noBlanking;
    o.separatorWord = uint16_t(separator);
    const Words words = synth::makeWordStream(rawRange(width * height, 10), width, height, o);
    QCOMPARE(words.size(), expected.size());
    QCOMPARE(words, expected);
}

void TestSynth::wordStreamRefusesWrongSize() {
    QVERIFY(synth::makeWordStream(rawRange(11, 10), 4, 3, {}).empty());
    QVERIFY(synth::makeWordStream({}, 0, 0, {}).empty());
}

void TestSynth::blankingRunsStayInRange() {
    const Words raw(640 * 512, 7000);
    synth::StreamOptions o;
    int seen[6] = {0, 0, 0, 0, 0, 0};
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        o.seed = seed;
        const Words words = synth::makeWordStream(raw, 640, 512, o);
        std::vector<int> runs, rows;
        size_t i = 0;
        while (i < words.size()) {
            const bool pixel = words[i] & 0x8000;
            size_t j = i;
            while (j < words.size() && bool(words[j] & 0x8000) == pixel)
                ++j;
            (pixel ? rows : runs).push_back(int(j - i));
            i = j;
        }
        QCOMPARE(int(rows.size()), 512);
        QCOMPARE(int(runs.size()), 513); // before every row and after the last
        for (int r : rows)
            QCOMPARE(r, 640);
        for (int r : runs) {
            QVERIFY2(r >= 2 && r <= 5, qPrintable(QString::number(r)));
            ++seen[r];
        }
        QCOMPARE(words.front(), S);
    }
    for (int len = 2; len <= 5; ++len)
        QVERIFY(seen[len] > 0);
    o.seed = 1;
    synth::StreamOptions other = o;
    other.seed = 2;
    QVERIFY(synth::makeWordStream(raw, 640, 512, o) != synth::makeWordStream(raw, 640, 512, other));
}

// ---- Scene -------------------------------------------------------------------

void TestSynth::sceneIsDeterministic() {
    synth::SceneOptions s;
    s.width = 324;
    s.height = 256;
    s.seed = 42;
    const Words a = synth::renderScene(s, 5);
    QCOMPARE(int(a.size()), 324 * 256);
    QCOMPARE(synth::renderScene(s, 5), a);
    QVERIFY(synth::renderScene(s, 6) != a);
    s.seed = 43;
    QVERIFY(synth::renderScene(s, 5) != a);
    s.width = 0;
    QVERIFY(synth::renderScene(s, 0).empty());
}

void TestSynth::sceneFlatLevelDriftAndVignetting() {
    synth::SceneOptions s = flatScene(160, 128);
    s.driftRaw = 12.4;
    const Words flat = synth::renderScene(s, 3);
    QCOMPARE(flat, Words(160 * 128, 7412));

    s.driftRaw = 0;
    s.vignettingRaw = 250;
    const Words shaded = synth::renderScene(s, 0);
    // full shading in the four corners
    QCOMPARE(shaded[0], uint16_t(7150));
    QCOMPARE(shaded[159], uint16_t(7150));
    QCOMPARE(shaded[127 * 160], uint16_t(7150));
    QCOMPARE(shaded[127 * 160 + 159], uint16_t(7150));
    QCOMPARE(*std::max_element(shaded.begin(), shaded.end()), uint16_t(7400));

    s.vignettingRaw = 0;
    s.gradientRaw = 600;
    const Words graded = synth::renderScene(s, 0);
    // top row 300 below, bottom row 300 above the level, plus a gentle ripple
    long topSum = 0, bottomSum = 0;
    for (int x = 0; x < 160; ++x) {
        topSum += graded[size_t(x)];
        bottomSum += graded[size_t(127 * 160 + x)];
    }
    QCOMPARE(int(std::lround((bottomSum - topSum) / 160.0)), 600);
}

void TestSynth::sceneClampsToCodableRange() {
    synth::SceneOptions s;
    s.width = 160;
    s.height = 128;
    s.backgroundRaw = 20000;
    QCOMPARE(synth::renderScene(s, 0), Words(160 * 128, 16383));
    s.backgroundRaw = -2000;
    QCOMPARE(synth::renderScene(s, 0), Words(160 * 128, 2));
}

void TestSynth::sceneObjectsMoveAndNoiseVaries() {
    synth::SceneOptions s = flatScene(160, 128);
    s.objects = 1;
    const Words first = synth::renderScene(s, 0);
    const Words later = synth::renderScene(s, 10);
    QCOMPARE(*std::min_element(first.begin(), first.end()), uint16_t(7400));
    // the blob peaks at 0.6 to 1.0 of 900 counts
    QVERIFY(*std::max_element(first.begin(), first.end()) >= 7400 + 500);
    QVERIFY(std::max_element(first.begin(), first.end()) - first.begin() !=
            std::max_element(later.begin(), later.end()) - later.begin());

    // another noise variant changes nothing without noise
    s.noiseVariant = 7;
    QCOMPARE(synth::renderScene(s, 0), first);

    s = flatScene(160, 128);
    s.noiseRaw = 6;
    const Words noisy = synth::renderScene(s, 0);
    double sum = 0, sum2 = 0;
    for (uint16_t v : noisy) {
        sum += v;
        sum2 += double(v) * v;
    }
    const double mean = sum / noisy.size();
    const double sd = std::sqrt(sum2 / noisy.size() - mean * mean);
    QVERIFY2(std::fabs(mean - 7400) < 0.2, qPrintable(QString::number(mean)));
    QVERIFY2(sd > 5.7 && sd < 6.3, qPrintable(QString::number(sd)));
    s.noiseVariant = 1;
    QVERIFY(synth::renderScene(s, 0) != noisy);
}

// ---- Compressed code -------------------------------------------------------

void TestSynth::encoderExactBytes_data() {
    QTest::addColumn<Words>("words");
    QTest::addColumn<int>("side");
    QTest::addColumn<QByteArray>("expected");
    // escape 0x0001, side value as a 16-bit code, little-endian words
    QTest::newRow("escape and side value 3") << Words{} << 3 << QByteArray("\x01\x00\x03\x00", 4);
    QTest::newRow("side value with FFC mark")
        << Words{} << 0x2005 << QByteArray("\x01\x00\x05\x20", 4);
    QTest::newRow("side value keeps 14 bits")
        << Words{} << 0xC007 << QByteArray("\x01\x00\x07\x00", 4);
    // 100 is out of reach of the separator the escape wrote: 16-bit 0x0064
    QTest::newRow("absolute value")
        << Words{px(100)} << 0 << QByteArray("\x01\x00\x00\x00\x64\x00", 6);
    // +3 after the escape: 11 011, padded: 1101 1000 0000 0000 = 0xD800
    QTest::newRow("difference after escape")
        << Words{px(3)} << 0 << QByteArray("\x01\x00\x00\x00\x00\xD8", 6);
    // 5000 = 0x1388, then the separator 0x0000
    QTest::newRow("separator after a pixel")
        << Words{px(5000), 0x4000} << 1 << QByteArray("\x01\x00\x01\x00\x88\x13\x00\x00", 8);
    // a blanking word of any value is a separator
    QTest::newRow("any word without bit 15 is a separator")
        << Words{0x7FFF} << 1 << QByteArray("\x01\x00\x01\x00\x00\x00", 6);
    // 16383 is 5001 off 5000 (absolute 0x3FFF), then +3 wraps to 2: 11 011
    QTest::newRow("+3 wraps 16383 to 2")
        << Words{px(5000), px(16383), px(2)} << 0
        << QByteArray("\x01\x00\x00\x00\x88\x13\xFF\x3F\x00\xD8", 10);
    // 16383 right after the escape is -1: 11 111; then 2 is +3: 11 011
    // bits 11111 11011 000000 = 0xFEC0
    QTest::newRow("wrap both ways after a separator")
        << Words{px(16383), px(2)} << 0 << QByteArray("\x01\x00\x00\x00\xC0\xFE", 6);
    // 7 after a separator: 10 + (7 - 4 = 0011) -> 1000 1100 0000 0000 = 0x8C00
    QTest::newRow("difference right after a separator")
        << Words{px(5000), 0x4000, px(7)} << 0
        << QByteArray("\x01\x00\x00\x00\x88\x13\x00\x00\x00\x8C", 10);
    // 1 after the escape: 11 001 -> 0xC800; 0 next: 11 111 (-1)
    // bits 11001 11111 000000 = 1100 1111 1100 0000 = 0xCFC0
    QTest::newRow("values 1 and 0 by difference")
        << Words{px(1), px(0)} << 0 << QByteArray("\x01\x00\x00\x00\xC0\xCF", 6);
    // flag bits of a pixel word do not matter: 0x8000 | 3 codes like 0xC003
    QTest::newRow("pixel word without bit 14")
        << Words{0x8003} << 0 << QByteArray("\x01\x00\x00\x00\x00\xD8", 6);
}

void TestSynth::encoderExactBytes() {
    QFETCH(Words, words);
    QFETCH(int, side);
    QFETCH(QByteArray, expected);
    const QByteArray code = synth::compressWords(words, uint16_t(side));
    QCOMPARE(code.toHex(), expected.toHex());
}

void TestSynth::encoderDifferenceRanges_data() {
    QTest::addColumn<int>("difference");
    QTest::addColumn<QString>("bits");
    QTest::newRow("0") << 0 << "11000";
    QTest::newRow("+3") << 3 << "11011";
    QTest::newRow("-4") << -4 << "11100";
    QTest::newRow("+4") << 4 << "100000";
    QTest::newRow("-5") << -5 << "101111";
    QTest::newRow("+11") << 11 << "100111";
    QTest::newRow("-12") << -12 << "101000";
    QTest::newRow("+12") << 12 << "01000000";
    QTest::newRow("-13") << -13 << "01111111";
    QTest::newRow("+43") << 43 << "01011111";
    QTest::newRow("-44") << -44 << "01100000";
    QTest::newRow("+44 absolute 1044") << 44 << "0000010000010100";
    QTest::newRow("-45 absolute 955") << -45 << "0000001110111011";
}

void TestSynth::encoderDifferenceRanges() {
    QFETCH(int, difference);
    QFETCH(QString, bits);
    // escape, side 0, absolute 1000 (0x03E8), then the difference
    const QString prefix = "0000000000000001"
                           "0000000000000000"
                           "0000001111101000";
    const QByteArray code = synth::compressWords({px(1000), px(1000 + difference)}, 0);
    QCOMPARE(code.toHex(), bitsToBytes(prefix + bits).toHex());
}

void TestSynth::encoderRefusesUnreachableZeroAndOne() {
    QVERIFY(synth::compressWords({px(5000), px(0)}, 0).isEmpty());
    QVERIFY(synth::compressWords({px(5000), px(1)}, 0).isEmpty());
    QVERIFY(synth::compressWords({px(100), 0x4000, px(5000), px(1)}, 0).isEmpty());
    // near neighbours reach them
    QVERIFY(!synth::compressWords({px(44), px(0)}, 0).isEmpty());
    QVERIFY(!synth::compressWords({px(5000), 0x4000, px(1)}, 0).isEmpty());
    QVERIFY(!synth::compressWords({px(16350), px(1)}, 0).isEmpty()); // +35 across the wrap
    QVERIFY(synth::compressWords({px(16300), px(1)}, 0).isEmpty());  // +85 is too far
}

void TestSynth::encoderRoundTripsFrames_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<uint>("seed");
    QTest::addColumn<bool>("cutLastRow");
    QTest::newRow("160x128") << 160 << 128 << 11u << false;
    QTest::newRow("324x256") << 324 << 256 << 12u << false;
    QTest::newRow("336x256 cut") << 336 << 256 << 13u << true;
    QTest::newRow("640x512") << 640 << 512 << 14u << false;
}

void TestSynth::encoderRoundTripsFrames() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(uint, seed);
    QFETCH(bool, cutLastRow);
    synth::SceneOptions s;
    s.width = width;
    s.height = height;
    s.seed = seed;
    s.noiseRaw = 25; // spreads the differences over every code length
    synth::StreamOptions o;
    o.seed = seed;
    o.cutLastRow = cutLastRow;
    const Words words = synth::makeWordStream(synth::renderScene(s, 2), width, height, o);
    const QByteArray code = synth::compressWords(words, uint16_t(seed));
    QVERIFY(!code.isEmpty());
    QVERIFY(code.size() < int(words.size()) * 2);
    const Expansion e = referenceExpand(code);
    QCOMPARE(e.sideValue, int(seed));
    const Words expected = expectedExpansion(words);
    QCOMPARE(e.words.size(), expected.size());
    QCOMPARE(e.words, expected);
    for (int kind = 0; kind < 4; ++kind)
        QVERIFY2(e.kinds[kind] > 0, qPrintable(QString::number(kind)));
}

void TestSynth::encoderRoundTripsRandomWalks() {
    // Jumps of every size, wraps across 0/16383 and separators in between.
    uint64_t state = 20240607;
    auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t(state >> 33);
    };
    int coded = 0;
    for (int walk = 0; walk < 200; ++walk) {
        Words words;
        int value = 2 + int(next() % 16382);
        for (int i = 0; i < 300; ++i) {
            const uint32_t r = next() % 100;
            if (r < 5) {
                words.push_back(uint16_t(next() & 0x7FFF));
                continue;
            }
            const int spans[] = {4, 12, 44, 60, 9000};
            const int span = spans[next() % 5];
            value = (value + int(next() % uint32_t(2 * span + 1)) - span + 16384) % 16384;
            if (value < 2)
                value += 2;
            words.push_back(px(value));
        }
        const QByteArray code = synth::compressWords(words, uint16_t(walk));
        QVERIFY(!code.isEmpty());
        ++coded;
        const Expansion e = referenceExpand(code);
        QCOMPARE(e.sideValue, walk);
        QCOMPARE(e.words, expectedExpansion(words));
    }
    QCOMPARE(coded, 200);
}

void TestSynth::compressedFrameLayout() {
    synth::HeaderOptions h;
    h.version = 6;
    h.frameCounter = 0x2345;
    const Words words{S, px(100), px(103)};
    const QByteArray frame = synth::makeCompressedFrame(h, words);
    // escape at 2048, the side value at 2050, 0x0064 at 2052, then +3: 11011 -> 0xD800
    QCOMPARE(frame.size(), 2048 + 10);
    QCOMPARE(frame.mid(2048).toHex(), QByteArray("010045230000640000d8"));

    h.version = 0; // the code follows a 23-byte header
    const QByteArray v0 = synth::makeCompressedFrame(h, words);
    QCOMPARE(v0.size(), 23 + 10);
    QCOMPARE(le16(v0, 23), uint16_t(1));
    QCOMPARE(le16(v0, 25), uint16_t(0x2345));

    QVERIFY(synth::makeCompressedFrame(h, {px(9000), px(0)}).isEmpty());
}

void TestSynth::signatureSearch() {
    const QByteArray bytes("VELM\x06..VELM\x05", 13);
    QVERIFY(synth::containsSignature(bytes, 6, 0));
    QVERIFY(!synth::containsSignature(bytes, 6, 1));
    QVERIFY(synth::containsSignature(bytes, 5, 1));
    QVERIFY(!synth::containsSignature(bytes, 5, 9));
    QVERIFY(!synth::containsSignature(QByteArray("VELM", 4), 0, 0));
    QVERIFY(synth::containsSignature(QByteArray("xVELM\0", 6), 0, 1));
}

// ---- Movies ------------------------------------------------------------------

void TestSynth::movieCountersAndFfcMarks_data() {
    QTest::addColumn<bool>("compressed");
    QTest::newRow("THM") << false;
    QTest::newRow("TMC") << true;
}

void TestSynth::movieCountersAndFfcMarks() {
    QFETCH(bool, compressed);
    synth::MovieOptions o;
    o.frames = 8;
    o.version = 5;
    o.compressed = compressed;
    o.scene.width = 160;
    o.scene.height = 128;
    o.ffcFrames = {3, 7};
    o.counterGapsAfter = {5};
    o.firstCounter = 8190;
    const QByteArray movie = synth::makeMovie(o);
    const std::vector<int> starts = signaturePositions(movie, 5);
    QCOMPARE(int(starts.size()), 8);
    QCOMPARE(starts[0], 0);
    // 8190, 8191, wrap to 0 with the mark, 1, 2, skip 3, 5 with the mark, 6
    const uint16_t expected[8] = {8190, 8191, 0x2000, 1, 2, 4, 0x2005, 6};
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(le16(movie, starts[size_t(i)] + 2050), expected[i]);
        QCOMPARE(synth::frameCounterOf(o, i + 1), expected[i]);
        if (compressed)
            QCOMPARE(le16(movie, starts[size_t(i)] + 2048), uint16_t(1)); // escape
        QCOMPARE(le16(movie, starts[size_t(i)] + 10), uint16_t(314));
        QCOMPARE(le16(movie, starts[size_t(i)] + 14), uint16_t(2987));
    }
    if (!compressed) {
        // every uncompressed frame: 4,096 bytes, 20,480 pixels and 129 blanking runs
        for (int i = 0; i < 8; ++i) {
            const int end = i + 1 < 8 ? starts[size_t(i) + 1] : movie.size();
            const int words = (end - starts[size_t(i)] - 4096) / 2;
            QVERIFY(words >= 20480 + 129 * 2 && words <= 20480 + 129 * 5);
        }
    }
}

void TestSynth::movieDriftSawTooth() {
    synth::MovieOptions o;
    o.frames = 8;
    o.version = 4;
    o.scene = flatScene(160, 128);
    o.driftPerFrameRaw = 2;
    o.ffcFrames = {3, 7};
    const double drift[8] = {0, 2, 0, 2, 4, 6, 0, 2};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(synth::driftOf(o, i + 1), drift[i]);

    const QByteArray movie = synth::makeMovie(o);
    const std::vector<int> starts = signaturePositions(movie, 4);
    QCOMPARE(int(starts.size()), 8);
    for (int i = 0; i < 8; ++i) {
        const int end = i + 1 < 8 ? starts[size_t(i) + 1] : movie.size();
        const Words values =
            pixelValues(movie.mid(starts[size_t(i)], end - starts[size_t(i)]), 4096);
        QCOMPARE(values, Words(160 * 128, uint16_t(7400 + drift[i])));
    }
}

void TestSynth::movieHasNoAccidentalSignature() {
    synth::MovieOptions o;
    o.frames = 200;
    o.version = 6;
    o.compressed = true;
    o.scene.width = 324;
    o.scene.height = 256;
    o.telemetry = synth::Telemetry::MAVLink;
    const QByteArray movie = synth::makeMovie(o);
    const std::vector<int> starts = signaturePositions(movie, 6);
    QCOMPARE(int(starts.size()), 200);
    // frames follow one another: each ends where its code ends, on a word boundary
    for (size_t i = 1; i < starts.size(); ++i) {
        QVERIFY(starts[i] > starts[i - 1] + 2052);
        QCOMPARE((starts[i] - starts[i - 1]) % 2, 0);
        QCOMPARE(le16(movie, starts[i] + 2050), uint16_t(i + 1));
    }
    QCOMPARE(synth::makeMovie(o), movie); // deterministic
}

void TestSynth::serialTextWithSignatureGivesNoFile() {
    synth::MovieOptions o;
    o.scene.width = 160;
    o.scene.height = 128;
    o.serialText = QByteArray("abcVELM\x06", 8);
    o.version = 6;
    QVERIFY(synth::makeSingleFrameFile(o).isEmpty());
    // the same bytes are harmless in a version 5 file
    o.version = 5;
    const QByteArray file = synth::makeSingleFrameFile(o);
    QVERIFY(!file.isEmpty());
    QCOMPARE(file.mid(40, 8), o.serialText);
}

void TestSynth::unwritableOptionsGiveNoFile() {
    synth::MovieOptions o;
    o.scene.width = 160;
    o.scene.height = 128;
    o.frames = 0;
    QVERIFY(synth::makeMovie(o).isEmpty());
    o.frames = 2;
    o.compressed = true;
    o.version = 2; // compressed movie frames are read from byte 2048
    QVERIFY(synth::makeMovie(o).isEmpty());
    QVERIFY(!synth::makeSingleFrameFile(o).isEmpty()); // a .THC file may have any header
}

void TestSynth::singleFileIsFrameOneOfAMovie() {
    synth::MovieOptions o;
    o.scene.width = 160;
    o.scene.height = 128;
    o.frames = 1;
    o.telemetry = synth::Telemetry::Nmea;
    QCOMPARE(synth::makeSingleFrameFile(o), synth::makeMovie(o));
    o.compressed = true;
    QCOMPARE(synth::makeSingleFrameFile(o), synth::makeMovie(o));

    o.compressed = false;
    o.version = 0;
    const QByteArray v0 = synth::makeSingleFrameFile(o);
    QCOMPARE(v0.left(5), QByteArray("VELM\0", 5));
    QCOMPARE(v0.mid(5, 41), QByteArray(41, '\0'));
    QCOMPARE(le16(v0, 46), S); // the stream starts with blanking
    QCOMPARE(int(pixelValues(v0, 46).size()), 160 * 128);
}

void TestSynth::writeFileRoundTrip() {
    const QString path = QDir(testsupport::scratchDir()).filePath("frame.thr");
    const QByteArray bytes("VELM\x06\x01\x02", 7);
    QVERIFY(synth::writeFile(path, bytes));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
    QVERIFY(
        !synth::writeFile(QDir(testsupport::scratchDir()).filePath("no/such/dir/x.thr"), bytes));
}

// ---- Telemetry ---------------------------------------------------------------

void TestSynth::flightFollowsLawnMowerPattern() {
    synth::FlightOptions f;
    f.originLatitude = 47.0;
    f.originLongitude = 8.0;
    f.speedMS = 10;
    f.legLengthM = 100;
    f.legSpacingM = 20;
    // metres to degrees on the 6,378,137 m sphere: 50 m = 0.000449157642 deg
    const double degPerM = 0.000449157642059760 / 50;
    const double lonDegPerM = degPerM / std::cos(47.0 * 3.14159265358979323846 / 180);
    struct Case {
        double t, north, east, track;
    };
    const Case cases[] = {{0, 0, 0, 0},      {5, 50, 0, 0},   {11, 100, 10, 90},
                          {15, 70, 20, 180}, {23, 0, 30, 90}, {25, 10, 40, 0}};
    for (const Case& c : cases) {
        const synth::FlightState s = synth::flightStateAt(f, c.t);
        QVERIFY2(std::fabs(s.latitude - (47.0 + c.north * degPerM)) < 1e-10,
                 qPrintable(QString::number(c.t)));
        QVERIFY2(std::fabs(s.longitude - (8.0 + c.east * lonDegPerM)) < 1e-10,
                 qPrintable(QString::number(c.t)));
        QCOMPARE(s.trackDeg, c.track);
        QCOMPARE(s.magneticDeg, c.track == 0 ? 357.4 : c.track - 2.6);
        QCOMPARE(s.altitudeM, 480.0);
        QCOMPARE(s.speedMS, 10.0);
        QCOMPARE(s.satellites, 11);
        QVERIFY(std::fabs(s.rollDeg) <= 2.0 && s.pitchDeg >= 1.7 && s.pitchDeg <= 3.3);
        QVERIFY(s.yawDeg >= 0 && s.yawDeg < 360);
        QVERIFY(std::fabs(std::remainder(s.yawDeg - c.track, 360.0)) <= 1.5);
    }
    QCOMPARE(synth::flightStateAt(f, 2.5).utc,
             QDateTime(QDate(2016, 5, 31), QTime(14, 24, 25, 500), Qt::UTC));
}

void TestSynth::nmeaChecksumOfKnownSentence() {
    QCOMPARE(
        synth::nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W"),
        QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"));
}

void TestSynth::nmeaBlockFields_data() {
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QByteArray>("talker");
    QTest::addColumn<QByteArray>("position");
    QTest::newRow("north east") << 48.1173 << 11.516666666667 << QByteArray("GP")
                                << QByteArray("4807.0380,N,01131.0000,E");
    QTest::newRow("south west") << -33.5 << -70.25 << QByteArray("GN")
                                << QByteArray("3330.0000,S,07015.0000,W");
    // minutes that round up to 60 carry into the degrees
    QTest::newRow("carry") << 47.99999999 << 7.999999999 << QByteArray("GP")
                           << QByteArray("4800.0000,N,00800.0000,E");
}

void TestSynth::nmeaBlockFields() {
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QByteArray, talker);
    QFETCH(QByteArray, position);
    synth::FlightState s;
    s.latitude = latitude;
    s.longitude = longitude;
    s.altitudeM = 545.44;
    s.trackDeg = 84.4;
    s.magneticDeg = 81.8;
    s.speedMS = 11.52; // 22.39 knots, 41.47 km/h
    s.satellites = 8;
    s.utc = QDateTime(QDate(1994, 3, 23), QTime(12, 35, 19, 509), Qt::UTC);
    const QList<QByteArray> lines = crlfLines(synth::nmeaBlock(s, talker));
    QCOMPARE(lines.size(), 4);
    for (const QByteArray& line : lines) {
        QCOMPARE(line.left(3), "$" + talker);
        const int star = line.indexOf('*');
        QCOMPARE(star, line.size() - 3);
        uint8_t x = 0;
        for (int i = 1; i < star; ++i)
            x ^= uint8_t(line[i]);
        QCOMPARE(line.mid(star + 1), QByteArray::number(x, 16).rightJustified(2, '0').toUpper());
    }
    const QByteArray gga = lines[0].left(lines[0].indexOf('*'));
    QCOMPARE(gga, "$" + talker + "GGA,123519.50," + position + ",1,08,0.9,545.4,M,47.3,M,,");
    QCOMPARE(lines[1].left(10), "$" + talker + "GSA,A,3");
    QCOMPARE(lines[1].split(',').size(), 18);
    const QByteArray rmc = lines[2].left(lines[2].indexOf('*'));
    QCOMPARE(rmc, "$" + talker + "RMC,123519.50,A," + position + ",022.4,084.4,230394,002.6,E,A");
    const QByteArray vtg = lines[3].left(lines[3].indexOf('*'));
    QCOMPARE(vtg, "$" + talker + "VTG,084.4,T,081.8,M,022.4,N,041.5,K,A");
}

void TestSynth::mavlinkCrc() {
    // the published check value of CRC-16/MCRF4XX
    QCOMPARE(synth::x25Crc("123456789"), uint16_t(0x6F91));
    QCOMPARE(synth::x25Crc(""), uint16_t(0xFFFF));
    // HEARTBEAT, sequence 7, system 1, component 1; CRC over 09 07 01 01 00,
    // the payload and CRC_EXTRA 50 is 0xD5D0 (worked bit by bit)
    const QByteArray payload("\x04\0\0\0\x02\x03\xD9\x04\x03", 9);
    QCOMPARE(synth::mavlinkFrame(0, payload, 7).toHex(),
             QByteArray("fe0907010100040000000203d90403d0d5"));
    QCOMPARE(int(synth::mavlinkCrcExtra(0)), 50);
    QCOMPARE(int(synth::mavlinkCrcExtra(2)), 137);
    QCOMPARE(int(synth::mavlinkCrcExtra(24)), 24);
    QCOMPARE(int(synth::mavlinkCrcExtra(30)), 39);
    QCOMPARE(int(synth::mavlinkCrcExtra(33)), 104);
}

void TestSynth::mavlinkBlockFields() {
    synth::FlightState s;
    s.latitude = 48.1173;
    s.longitude = 11.5166667;
    s.altitudeM = 545.4;
    s.trackDeg = 90;
    s.yawDeg = 90;
    s.speedMS = 8;
    s.satellites = 9;
    s.utc = QDateTime(QDate(2016, 5, 31), QTime(14, 24, 23, 250), Qt::UTC);
    QByteArray carry;
    const QByteArray block = synth::mavlinkBlock(s, 5000, carry, false, 1978, 250);
    QVERIFY(carry.isEmpty());
    // five frames: 9+8, 12+8, 30+8, 28+8, 28+8 bytes
    QCOMPARE(block.size(), 17 + 20 + 38 + 36 + 36);
    const int ids[5] = {0, 2, 24, 30, 33};
    const int lengths[5] = {9, 12, 30, 28, 28};
    int p = 0;
    QByteArray payloads[5];
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(uint8_t(block[p]), uint8_t(0xFE));
        QCOMPARE(int(uint8_t(block[p + 1])), lengths[i]);
        QCOMPARE(int(uint8_t(block[p + 2])), (250 + i) % 256); // sequence wraps
        QCOMPARE(int(uint8_t(block[p + 5])), ids[i]);
        const QByteArray frame = block.mid(p, 8 + lengths[i]);
        const uint16_t crc = synth::x25Crc(frame.mid(1, 5 + lengths[i]) +
                                           char(synth::mavlinkCrcExtra(uint8_t(ids[i]))));
        QCOMPARE(le16(frame, 6 + lengths[i]), crc);
        payloads[i] = frame.mid(6, lengths[i]);
        p += 8 + lengths[i];
    }
    // SYSTEM_TIME: 1,464,704,663.25 s since the epoch in microseconds, boot ms
    const uint64_t unixUs = uint64_t(le32(payloads[1], 0)) | (uint64_t(le32(payloads[1], 4)) << 32);
    QCOMPARE(unixUs, uint64_t(1464704663250000ULL));
    QCOMPARE(le32(payloads[1], 8), uint32_t(5000));
    // GPS_RAW_INT: time_usec = boot ms x 1000, satellites at 29
    QCOMPARE(le32(payloads[2], 0), uint32_t(5000000));
    QCOMPARE(int(uint8_t(payloads[2][29])), 9);
    // GLOBAL_POSITION_INT
    const QByteArray& g = payloads[4];
    QCOMPARE(le32(g, 0), uint32_t(5000));
    QCOMPARE(int32_t(le32(g, 4)), 481173000);
    QCOMPARE(int32_t(le32(g, 8)), 115166667);
    QCOMPARE(int32_t(le32(g, 12)), 545400);
    QCOMPARE(le16(g, 26), uint16_t(9000));

    // a bound of 60 bytes leaves room for HEARTBEAT and SYSTEM_TIME only
    QCOMPARE(synth::mavlinkBlock(s, 5000, carry, false, 60, 0).size(), 37);
}

void TestSynth::mavlinkSplitFrameContinuesInNextBlock() {
    synth::FlightState s;
    s.latitude = 47.5;
    s.longitude = 8.5;
    s.utc = QDateTime(QDate(2016, 5, 31), QTime(14, 24, 23), Qt::UTC);
    QByteArray carry;
    const QByteArray first = synth::mavlinkBlock(s, 1000, carry, true, 400, 0);
    QCOMPARE(first.size(), 400);
    QCOMPARE(carry.size(), 18);
    // four whole frames, zeros, then the first 18 of the 36 bytes of message 33
    QCOMPARE(first.mid(111, 400 - 111 - 18), QByteArray(400 - 111 - 18, '\0'));
    const QByteArray head = first.right(18);
    QCOMPARE(uint8_t(head[0]), uint8_t(0xFE));
    QCOMPARE(int(uint8_t(head[5])), 33);

    const QByteArray second = synth::mavlinkBlock(s, 2000, carry, true, 400, 5);
    QCOMPARE(second.size(), 400);
    const QByteArray whole = head + second.left(18);
    QCOMPARE(le16(whole, 34), synth::x25Crc(whole.mid(1, 33) + char(104)));
    QCOMPARE(le32(whole, 6), uint32_t(1000));     // the position of the first block's time
    QCOMPARE(uint8_t(second[18]), uint8_t(0xFE)); // the second block's own frames follow
    QCOMPARE(int(uint8_t(second[18 + 2])), 5);

    // without room for the half frame nothing is split
    QByteArray none;
    QCOMPARE(synth::mavlinkBlock(s, 3000, none, true, 10, 0), QByteArray());
    QVERIFY(none.isEmpty());
}

void TestSynth::mdRecordChecksums() {
    QCOMPARE(synth::mdRecord(99, {}), QByteArray("#99,62\r\n"));
    QCOMPARE(synth::mdRecord(7, {"0.01", "-0.02", "1.57"}),
             QByteArray("#7,0.01,-0.02,1.57,126\r\n"));
    // "#1," sums to 35 + 49 + 44 = 128: 255 - 128 = 127
    QCOMPARE(synth::mdRecord(1, {}), QByteArray("#1,127\r\n"));
}

void TestSynth::mdGpsTimeAndEcef() {
    uint32_t week = 0, tow = 0;
    // week 1,900 and 345,600,000 ms give 1,465,430,385 = 2016-06-08 23:59:45 UTC
    synth::gpsWeekAndTowMs(QDateTime(QDate(2016, 6, 8), QTime(23, 59, 45), Qt::UTC), week, tow);
    QCOMPARE(week, uint32_t(1900));
    QCOMPARE(tow, uint32_t(345600000));
    synth::gpsWeekAndTowMs(QDateTime(QDate(2016, 6, 8), QTime(23, 59, 46, 125), Qt::UTC), week,
                           tow);
    QCOMPARE(tow, uint32_t(345601125));

    double x, y, z;
    synth::wgs84ToEcef(0, 0, 0, x, y, z);
    QCOMPARE(x, 6378137.0);
    QVERIFY(std::fabs(y) < 1e-9 && std::fabs(z) < 1e-9);
    synth::wgs84ToEcef(90, 0, 0, x, y, z);
    QVERIFY(std::fabs(z - 6356752.314245) < 1e-5); // the semi-minor axis
    QVERIFY(std::fabs(x) < 1e-6);
    synth::wgs84ToEcef(0, 90, 100, x, y, z);
    QVERIFY(std::fabs(y - 6378237.0) < 1e-6);
}

void TestSynth::mdDownlinkBlockFrame() {
    synth::FlightState s;
    s.latitude = 0;
    s.longitude = 0;
    s.altitudeM = 0;
    s.rollDeg = 0;
    s.pitchDeg = 28.64788975654116; // 0.5 rad
    s.yawDeg = 180;
    s.satellites = 11;
    s.utc = QDateTime(QDate(2016, 6, 8), QTime(23, 59, 45), Qt::UTC);
    const QByteArray block = synth::mdDownlinkBlock(s);
    QCOMPARE(block.count("#1,"), 2);
    QVERIFY(block.endsWith("\r\n"));
    const QList<QByteArray> lines = crlfLines(block);
    QCOMPARE(lines.size(), 9);
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        QCOMPARE(line.left(3), "#" + QByteArray::number(i < 8 ? i + 1 : 1) + ",");
        const int lastComma = line.lastIndexOf(',');
        uint32_t sum = 0;
        for (int k = 0; k <= lastComma; ++k)
            sum += uint8_t(line[k]);
        QCOMPARE(line.mid(lastComma + 1).toInt(), 255 - int(sum % 256));
    }
    QCOMPARE(lines[0].split(',').size(), 12); // number, ten fields, checksum
    QCOMPARE(lines[1].split(',').size(), 16);
    QCOMPARE(lines[2].split(',').size(), 6);
    QCOMPARE(lines[3].split(',').mid(0, 5),
             QList<QByteArray>({"#4", "3", "345600000", "1900", "11"}));
    QCOMPARE(lines[4].split(',').mid(0, 4), QList<QByteArray>({"#5", "637813700", "0", "0"}));
    QCOMPARE(lines[6].split(',').mid(0, 4),
             QList<QByteArray>({"#7", "0.000000", "0.500000", "3.141593"}));
    QCOMPARE(lines[8], lines[0]);
}

void TestSynth::movieCarriesTelemetryInSerialBlock() {
    synth::MovieOptions o;
    o.frames = 3;
    o.version = 4;
    o.scene.width = 160;
    o.scene.height = 128;
    o.telemetry = synth::Telemetry::Nmea;
    o.flight.nmeaTalker = "GN";
    o.frameIntervalS = 0.5;
    const QByteArray movie = synth::makeMovie(o);
    const std::vector<int> starts = signaturePositions(movie, 4);
    QCOMPARE(int(starts.size()), 3);
    const char* times[3] = {"142423.00", "142423.50", "142424.00"};
    for (int i = 0; i < 3; ++i) {
        const QByteArray block = movie.mid(starts[size_t(i)] + 10, 2036);
        QVERIFY(block.startsWith(QByteArray("$GNGGA,") + times[i] + ","));
        const int end = block.indexOf('\0');
        QVERIFY(end > 200);
        QCOMPARE(block.mid(end), QByteArray(2036 - end, '\0'));
    }

    // MAVLink blocks that end inside a frame fill the block to its last byte
    o.telemetry = synth::Telemetry::MAVLink;
    o.splitMavlinkFrames = true;
    o.version = 6;
    const QByteArray mav = synth::makeMovie(o);
    const std::vector<int> mavStarts = signaturePositions(mav, 6);
    QCOMPARE(int(mavStarts.size()), 3);
    const QByteArray block1 = mav.mid(mavStarts[0] + 68, 1978);
    const QByteArray block2 = mav.mid(mavStarts[1] + 68, 1978);
    QCOMPARE(int(uint8_t(block1[1978 - 18])), 0xFE);
    const QByteArray whole = block1.right(18) + block2.left(18);
    QCOMPARE(le16(whole, 34), synth::x25Crc(whole.mid(1, 33) + char(104)));
    QCOMPARE(le32(whole, 6), uint32_t(60000)); // frame 1 at boot time 60 s
}

QTEST_GUILESS_MAIN(TestSynth)
#include "tst_synth.moc"
