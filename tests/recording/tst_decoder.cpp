#include "recording/FrameDecoder.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <vector>

using Words = std::vector<uint16_t>;
using Floats = std::vector<float>;
using Ints = std::vector<int32_t>;
Q_DECLARE_METATYPE(Words)
Q_DECLARE_METATYPE(Floats)
Q_DECLARE_METATYPE(Ints)

namespace {

constexpr uint16_t kBlank = 0x4000;

// Builds word streams and expected raw values piece by piece.
struct Seq {
    Words v;
    Seq& blank(int n = 2) {
        v.insert(v.end(), size_t(n), kBlank);
        return *this;
    }
    Seq& word(uint16_t w) {
        v.push_back(w);
        return *this;
    }
    Seq& pix(int n, uint16_t value) {
        v.insert(v.end(), size_t(n), uint16_t(0xC000 | value));
        return *this;
    }
    // Expected values (no flag bits).
    Seq& val(int n, uint16_t value) {
        v.insert(v.end(), size_t(n), value);
        return *this;
    }
    Seq& set(size_t index, uint16_t w) {
        v.at(index) = w;
        return *this;
    }
    size_t size() const { return v.size(); }
};

// A literal, word-by-word reading of the decoding rules, without any of the
// decoder's run handling: the decoder must produce exactly the same frame.
struct Reference {
    Words raw;
    uint32_t width = 0, height = 0, minRaw = 16384, maxRaw = 0, mean = 0;
    uint32_t hotCol = 0, hotRow = 0, hotVal = 0;
    QString console;

    void run(const Words& words, int frameIndex, const framedecoder::Corrections& c) {
        const size_t count = words.size();
        raw.assign(framedecoder::kFrameCapacity, 0);
        Words row(framedecoder::kRowCapacity, 0);
        int phase = 0;
        size_t col = 0, pos = 0, pixelIndex = 0;
        uint32_t rows = 0, rowsStarted = 0, rowWidth = UINT32_MAX;
        uint64_t sum = 0;
        int32_t drift = 0;
        if (c.driftOffsets && frameIndex >= 0 && size_t(frameIndex) < c.driftCount)
            drift = int32_t(std::floor(double(c.driftOffsets[frameIndex]) + 0.5));
        auto value = [&](uint16_t w) {
            int32_t v = (w & 0x3FFF) + drift;
            if (c.nucOffsets && pixelIndex < c.nucCount)
                v -= c.nucOffsets[pixelIndex];
            if (c.lensMap && pixelIndex < c.lensCount)
                v -= c.lensMap[pixelIndex];
            ++pixelIndex;
            return uint16_t(v);
        };
        auto account = [&](uint16_t v, size_t colPos) {
            sum += v;
            minRaw = std::min<uint32_t>(minRaw, v);
            maxRaw = std::max<uint32_t>(maxRaw, v);
            if (v > hotVal) {
                hotVal = v;
                hotCol = uint32_t(colPos);
                hotRow = rowsStarted;
            }
        };
        for (size_t i = 0; i <= count + 3; ++i) {
            const uint16_t w = i < count ? words[i] : (count ? words[count - 1] : 0);
            const bool pixel = w & 0x8000;
            const size_t limit =
                std::min(framedecoder::kRowCapacity, framedecoder::kFrameCapacity - pos);
            if (phase == 0) {
                if (!pixel)
                    phase = 1;
                continue;
            }
            if (phase == 1) {
                if (pixel) {
                    col = 0;
                    ++rowsStarted;
                    if (limit > 0) {
                        row[0] = value(w);
                        account(row[0], 1);
                        col = 1;
                    }
                    phase = 2;
                }
                continue;
            }
            const bool last = (rowWidth == 160 && rows == 127) ||
                              (rowWidth == 324 && rows == 255) ||
                              (rowWidth == 336 && rows == 255) || (rowWidth == 640 && rows == 511);
            bool end = false;
            if (last && col == rowWidth) {
                end = true;
            } else if (last && col >= rowWidth - 3 && col < limit) {
                row[col] = row[col - 1];
                account(row[col], col + 1);
                ++col;
            } else if (pixel) {
                if (col < limit) {
                    row[col] = value(w);
                    account(row[col], col + 1);
                    ++col;
                }
            } else {
                end = true;
            }
            if (!end)
                continue;
            if (rows == 0 && col >= 160)
                rowWidth = uint32_t(col);
            phase = 0;
            if (rowWidth != UINT32_MAX && col < rowWidth) {
                console += QStringLiteral("%1  LL: %2  /  %3  RLW:%4 \n")
                               .arg(i)
                               .arg(col)
                               .arg(rows)
                               .arg(rowWidth);
                continue;
            }
            std::copy(row.begin(), row.begin() + long(col), raw.begin() + long(pos));
            pos += col;
            ++rows;
            col = 0;
        }
        if (rowWidth == UINT32_MAX) {
            raw.clear();
            console += QStringLiteral("DataConverter::processDataChunk no row of at least 160 "
                                      "values in %1 words: frame not decodable\n")
                           .arg(count);
            return;
        }
        raw.resize(pos);
        width = rowWidth;
        height = rows;
        mean = uint32_t(sum / rows / rowWidth);
    }
};

// Rows of `value`, each after `blanks` blanking words; the last row is shaped
// by `variant`.
Seq geometryStream(int width, int height, const QString& variant) {
    Seq s;
    for (int r = 0; r + 1 < height; ++r)
        s.blank(3).pix(width, 1000);
    s.blank(2).pix(width - 4, 1000).pix(1, 1400);
    if (variant == QLatin1String("cut"))
        return s;
    s.pix(3, 9000);
    if (variant == QLatin1String("separator in tail"))
        s.set(s.size() - 2, kBlank);
    if (variant == QLatin1String("pixels after"))
        s.pix(20, 9000);
    else
        s.blank(2);
    return s;
}

// Every kernel this processor can run; each must give the same frame.
std::vector<framedecoder::Kernel> kernels() {
    std::vector<framedecoder::Kernel> out;
    for (auto k :
         {framedecoder::Kernel::Portable, framedecoder::Kernel::Sse2, framedecoder::Kernel::Avx2})
        if (framedecoder::kernelAvailable(k))
            out.push_back(k);
    return out;
}

const char* kernelName(framedecoder::Kernel k) {
    switch (k) {
    case framedecoder::Kernel::Portable:
        return "portable";
    case framedecoder::Kernel::Sse2:
        return "sse2";
    case framedecoder::Kernel::Avx2:
        return "avx2";
    default:
        return "best";
    }
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodesStream_data();
    void decodesStream();
    void endsLastRowByLength_data();
    void endsLastRowByLength();
    void appliesCorrections_data();
    void appliesCorrections();
    void repeatedTailDoesNotAdvancePixelIndex();
    void keepsHugeRowsWithinBounds();
    void matchesWordByWordReading_data();
    void matchesWordByWordReading();
};

void TestDecoder::decodesStream_data() {
    QTest::addColumn<Words>("words");
    QTest::addColumn<Words>("raw");
    QTest::addColumn<uint>("width");
    QTest::addColumn<uint>("height");
    QTest::addColumn<uint>("minRaw");
    QTest::addColumn<uint>("maxRaw");
    QTest::addColumn<uint>("mean");
    QTest::addColumn<uint>("hotCol");
    QTest::addColumn<uint>("hotRow");
    QTest::addColumn<uint>("hotVal");
    QTest::addColumn<QString>("console");
    const QString undecodable = QStringLiteral(
        "DataConverter::processDataChunk no row of at least 160 values in %1 words: frame not "
        "decodable\n");

    QTest::newRow("rows after runs of two blanking words")
        << Seq().blank(2).pix(160, 100).blank(2).pix(160, 200).blank(2).v
        << Seq().val(160, 100).val(160, 200).v << 160u << 2u << 100u << 200u << 150u << 1u << 2u
        << 200u << QString();
    // The single blanking word ends row A and is consumed: the 999 row is
    // skipped while the decoder waits for the next blanking word.
    QTest::newRow("single blanking word hides the next row")
        << Seq().blank(2).pix(160, 100).blank(1).pix(160, 999).blank(2).pix(160, 300).blank(2).v
        << Seq().val(160, 100).val(160, 300).v << 160u << 2u << 100u << 300u << 200u << 1u << 2u
        << 300u << QString();
    QTest::newRow("pixel words before the first blanking word are ignored")
        << Seq().pix(5, 900).blank(2).pix(160, 100).blank(2).v << Seq().val(160, 100).v << 160u
        << 1u << 100u << 100u << 100u << 1u << 1u << 100u << QString();
    QTest::newRow("the stream's last blanking word ends the row")
        << Seq().blank(2).pix(160, 7).blank(1).v << Seq().val(160, 7).v << 160u << 1u << 7u << 7u
        << 7u << 1u << 1u << 7u << QString();
    // Sum 16000 + 30000 + 48000 = 94000 over 2 rows of 160: 293 (293.75).
    // The dropped row counts as the second row started.
    QTest::newRow("short row dropped but counted")
        << Seq().blank(2).pix(160, 100).blank(2).pix(150, 200).blank(2).pix(160, 300).blank(2).v
        << Seq().val(160, 100).val(160, 300).v << 160u << 2u << 100u << 300u << 293u << 1u << 3u
        << 300u << QStringLiteral("314  LL: 150  /  1  RLW:160 \n");
    // 16000 + 33000 + 48000 = 97000 / 3 = 32333 / 160 = 202.
    QTest::newRow("long row stored whole")
        << Seq().blank(2).pix(160, 100).blank(2).pix(165, 200).blank(2).pix(160, 300).blank(2).v
        << Seq().val(160, 100).val(165, 200).val(160, 300).v << 160u << 3u << 100u << 300u << 202u
        << 1u << 3u << 300u << QString();
    QTest::newRow("first row of 159 values leaves the width unset")
        << Seq().blank(2).pix(159, 100).blank(2).pix(160, 200).blank(2).v << Words() << 0u << 0u
        << 100u << 200u << 0u << 1u << 2u << 200u << undecodable.arg(325);
    QTest::newRow("no blanking word at all")
        << Seq().pix(1000, 500).v << Words() << 0u << 0u << 16384u << 0u << 0u << 0u << 0u << 0u
        << undecodable.arg(1000);
    QTest::newRow("blanking words only") << Seq().blank(3).v << Words() << 0u << 0u << 16384u << 0u
                                         << 0u << 0u << 0u << 0u << undecodable.arg(3);
    QTest::newRow("empty stream") << Words() << Words() << 0u << 0u << 16384u << 0u << 0u << 0u
                                  << 0u << 0u << undecodable.arg(0);
    {
        // Row A holds 5000 at columns 51 and 121, row B at column 11.
        Seq words = Seq().blank(2).pix(160, 100).blank(2).pix(160, 100).blank(2);
        words.set(2 + 50, 0xC000 | 5000).set(2 + 120, 0xC000 | 5000).set(164 + 10, 0xC000 | 5000);
        Seq raw = Seq().val(320, 100).set(50, 5000).set(120, 5000).set(170, 5000);
        // (320 * 100 + 3 * 4900) / 2 / 160 = 46700 / 2 / 160 = 145
        QTest::newRow("first maximum in stream order")
            << words.v << raw.v << 160u << 2u << 100u << 5000u << 145u << 51u << 1u << 5000u
            << QString();
    }
    {
        Seq words = Seq().blank(2).pix(160, 100).blank(2).pix(160, 100).blank(2);
        words.set(2 + 50, 0xC000 | 5000).set(164 + 10, 0xC000 | 6000);
        Seq raw = Seq().val(320, 100).set(50, 5000).set(170, 6000);
        // (32000 + 4900 + 5900) / 2 / 160 = 133
        QTest::newRow("a later larger maximum moves the hot spot")
            << words.v << raw.v << 160u << 2u << 100u << 6000u << 133u << 11u << 2u << 6000u
            << QString();
    }
    {
        // 0x7FFF and 0x0000 are blanking words; 0xC123 -> 291, 0x8001 -> 1,
        // 0xFFFF -> 16383. Sum 291 + 1 + 16383 + 157 * 50 = 24525 -> 153.
        Seq words = Seq().word(0x7FFF).word(0x0000).pix(160, 50).word(0x7FFF).word(0x0000);
        words.set(2, 0xC123).set(3, 0x8001).set(4, 0xFFFF);
        Seq raw = Seq().val(160, 50).set(0, 291).set(1, 1).set(2, 16383);
        QTest::newRow("flag bits masked off") << words.v << raw.v << 160u << 1u << 1u << 16383u
                                              << 153u << 3u << 1u << 16383u << QString();
    }
    // The unfinished second row sees 200 words and then the last word four
    // more times: 16000 + 204 * 300 = 77200 -> 482 over the one stored row.
    QTest::newRow("four extra iterations repeat the last word")
        << Seq().blank(2).pix(160, 100).blank(2).pix(200, 300).v << Seq().val(160, 100).v << 160u
        << 1u << 100u << 300u << 482u << 1u << 2u << 300u << QString();
}

void TestDecoder::decodesStream() {
    QFETCH(Words, words);
    QFETCH(Words, raw);
    QFETCH(QString, console);
    QFETCH(uint, width);
    QFETCH(uint, height);
    QFETCH(uint, minRaw);
    QFETCH(uint, maxRaw);
    QFETCH(uint, mean);
    QFETCH(uint, hotCol);
    QFETCH(uint, hotRow);
    QFETCH(uint, hotVal);
    for (framedecoder::Kernel kernel : kernels()) {
        qInfo("kernel %s", kernelName(kernel));
        testsupport::Recorder rec;
        std::vector<uint16_t> out(7, 1);
        const framedecoder::Result r = framedecoder::decode(
            words.data(), words.size(), 0, framedecoder::Corrections(), out, kernel);
        QCOMPARE(rec.out, console);
        QCOMPARE(r.width, width);
        QCOMPARE(r.height, height);
        QCOMPARE(r.minRaw, minRaw);
        QCOMPARE(r.maxRaw, maxRaw);
        QCOMPARE(r.meanRaw, mean);
        QCOMPARE(r.hotspotColumn, hotCol);
        QCOMPARE(r.hotspotRow, hotRow);
        QCOMPARE(r.hotspotValue, hotVal);
        QCOMPARE(out.size(), raw.size());
        QVERIFY(out == raw);
        QVERIFY(rec.reports.empty());
    }
}

void TestDecoder::endsLastRowByLength_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<uint>("rows");
    QTest::addColumn<uint>("lastValue"); // the last three values of the frame
    QTest::addColumn<uint>("hotCol");
    QTest::addColumn<uint>("mean");

    // Known geometries: the words at the last three positions are not decoded,
    // the value before them (1400 at column W - 3) repeats; the mean is
    // 1000 + 1600 / (W * H) = 1000.
    const int geometries[4][2] = {{160, 128}, {324, 256}, {336, 256}, {640, 512}};
    for (const auto& g : geometries) {
        for (const char* variant : {"full", "cut", "separator in tail", "pixels after"}) {
            QTest::addRow("%dx%d %s", g[0], g[1], variant)
                << g[0] << g[1] << QString::fromLatin1(variant) << uint(g[1]) << 1400u
                << uint(g[0] - 3) << 1000u;
        }
    }
    // Not a known geometry: the last row decodes its words. 1000 * W * H +
    // 400 + 3 * 8000 over 170 * 128 = 21760 values: 1001.
    QTest::newRow("170x128 full") << 170 << 128 << QStringLiteral("full") << 128u << 9000u << 168u
                                  << 1001u;
    // ...and a last row cut short never ends: only the 4 extra iterations of
    // the 1400 word follow, so it is not stored. Its 166 * 1000 + 5 * 1400
    // still count: (21590000 + 173000) / 127 / 170 = 1008.
    QTest::newRow("170x128 cut") << 170 << 128 << QStringLiteral("cut") << 127u << 1000u << 167u
                                 << 1008u;
}

void TestDecoder::endsLastRowByLength() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, variant);
    QFETCH(uint, rows);
    QFETCH(uint, lastValue);
    QFETCH(uint, mean);
    QFETCH(uint, hotCol);
    const Words words = geometryStream(width, height, variant).v;
    testsupport::Recorder rec;
    std::vector<uint16_t> out;
    const framedecoder::Result r =
        framedecoder::decode(words.data(), words.size(), 0, framedecoder::Corrections(), out);
    QCOMPARE(rec.out, QString());
    QCOMPARE(r.width, uint(width));
    QCOMPARE(r.height, rows);
    QCOMPARE(out.size(), size_t(width) * rows);
    QCOMPARE(r.meanRaw, mean);
    QCOMPARE(r.hotspotColumn, hotCol);
    QCOMPARE(r.hotspotRow, uint(height));
    QCOMPARE(uint(out[out.size() - 1]), lastValue);
    QCOMPARE(uint(out[out.size() - 2]), lastValue);
    QCOMPARE(uint(out[out.size() - 3]), lastValue);
    // Everything before the tail of the last row is 1000 (1400 at W - 4 of the
    // last row when it was stored).
    const size_t tailStart = rows == uint(height) ? out.size() - 4 : out.size();
    QCOMPARE(size_t(std::count(out.begin(), out.begin() + long(tailStart), uint16_t(1000))),
             tailStart);
}

void TestDecoder::appliesCorrections_data() {
    QTest::addColumn<Words>("words"); // one row of 160 pixel words
    QTest::addColumn<Floats>("drift");
    QTest::addColumn<int>("frameIndex");
    QTest::addColumn<Ints>("nuc");
    QTest::addColumn<Ints>("lens");
    QTest::addColumn<Words>("raw");

    const Words row = Seq().blank(2).pix(160, 1000).blank(2).v;
    Words fullFF = row;
    fullFF[2] = 0xFFFF;
    QTest::newRow("mask before drift")
        << fullFF << Floats{1.0f} << 0 << Ints() << Ints() << Seq().val(160, 1001).set(0, 16384).v;
    QTest::newRow("drift rounds half up")
        << row << Floats{0.0f, 2.5f} << 1 << Ints() << Ints() << Seq().val(160, 1003).v;
    QTest::newRow("negative half rounds up")
        << row << Floats{-2.5f} << 0 << Ints() << Ints() << Seq().val(160, 998).v;
    QTest::newRow("drift below half rounds down")
        << row << Floats{1.49f} << 0 << Ints() << Ints() << Seq().val(160, 1001).v;
    QTest::newRow("frame outside the drift table")
        << row << Floats{5.0f} << 1 << Ints() << Ints() << Seq().val(160, 1000).v;
    QTest::newRow("short tables leave later pixels")
        << row << Floats() << 0 << Ints{5, -7} << Ints{-2}
        << Seq().val(160, 1000).set(0, 997).set(1, 1007).v;
    QTest::newRow("drift, offset and lens together")
        << row << Floats{2.5f} << 0 << Ints{5, -7} << Ints{-2}
        << Seq().val(160, 1003).set(0, 1000).set(1, 1010).v;
    Words one = row;
    one[2] = 0xC001;
    QTest::newRow("wraps to unsigned 16 bits")
        << one << Floats() << 0 << Ints{5} << Ints() << Seq().val(160, 1000).set(0, 65532).v;
    {
        // Tables ending inside a block of pixels: 40 offsets of 1, 17 lens
        // entries of 2.
        Seq raw = Seq().val(17, 997).val(23, 999).val(120, 1000);
        QTest::newRow("tables ending mid-row")
            << row << Floats() << 0 << Ints(40, 1) << Ints(17, 2) << raw.v;
    }
}

void TestDecoder::appliesCorrections() {
    QFETCH(Words, words);
    QFETCH(Floats, drift);
    QFETCH(Ints, nuc);
    QFETCH(Ints, lens);
    QFETCH(Words, raw);
    QFETCH(int, frameIndex);
    framedecoder::Corrections c;
    c.driftOffsets = drift.empty() ? nullptr : drift.data();
    c.driftCount = drift.size();
    c.nucOffsets = nuc.empty() ? nullptr : nuc.data();
    c.nucCount = nuc.size();
    c.lensMap = lens.empty() ? nullptr : lens.data();
    c.lensCount = lens.size();
    std::vector<uint16_t> out;
    const framedecoder::Result r =
        framedecoder::decode(words.data(), words.size(), frameIndex, c, out);
    QCOMPARE(r.height, 1u);
    QCOMPARE(out.size(), raw.size());
    for (size_t k = 0; k < raw.size(); ++k)
        QVERIFY2(
            out[k] == raw[k],
            qPrintable(QStringLiteral("value %1: %2, expected %3").arg(k).arg(out[k]).arg(raw[k])));
    QCOMPARE(r.minRaw, uint(*std::min_element(raw.begin(), raw.end())));
    QCOMPARE(r.maxRaw, uint(*std::max_element(raw.begin(), raw.end())));
}

void TestDecoder::repeatedTailDoesNotAdvancePixelIndex() {
    // 160 x 128 plus one more row. Pixel words before the first blanking word
    // are not decoded either. The repeated tail of row 128 takes no pixel
    // index, so the first value of row 129 is pixel 128 * 160 - 3 = 20477.
    Seq words = Seq().pix(4, 1000);
    for (int r = 0; r < 128; ++r)
        words.blank(2).pix(160, 1000);
    words.blank(2).pix(160, 1000).blank(2);
    Ints nuc(20478, 0);
    nuc[0] = 1;
    nuc[20477] = 10;
    framedecoder::Corrections c;
    c.nucOffsets = nuc.data();
    c.nucCount = nuc.size();
    std::vector<uint16_t> out;
    const framedecoder::Result r = framedecoder::decode(words.v.data(), words.size(), 0, c, out);
    QCOMPARE(r.height, 129u);
    QCOMPARE(out.size(), size_t(129 * 160));
    QCOMPARE(out[0], uint16_t(999));
    QCOMPARE(out[128 * 160], uint16_t(990));
    QCOMPARE(size_t(std::count(out.begin(), out.end(), uint16_t(1000))), size_t(129 * 160 - 2));
}

void TestDecoder::keepsHugeRowsWithinBounds() {
    // A 700,000-word row keeps its first 350,000 values; a second row of the
    // same length finds only 655,360 - 350,000 = 305,360 free values, stays
    // shorter than the first and is dropped.
    Seq words = Seq().blank(2).pix(700000, 20).blank(2).pix(700000, 30).blank(2);
    testsupport::Recorder rec;
    std::vector<uint16_t> out;
    const framedecoder::Result r =
        framedecoder::decode(words.v.data(), words.size(), 0, framedecoder::Corrections(), out);
    QCOMPARE(r.width, 350000u);
    QCOMPARE(r.height, 1u);
    QCOMPARE(out.size(), size_t(350000));
    QCOMPARE(size_t(std::count(out.begin(), out.end(), uint16_t(20))), size_t(350000));
    // 350000 * 20 + 305360 * 30 = 16160800 over one row of 350000: 46.
    QCOMPARE(r.meanRaw, 46u);
    QCOMPARE(r.maxRaw, 30u);
    QCOMPARE(r.hotspotRow, 2u);
    QCOMPARE(rec.out, QStringLiteral("1400004  LL: 305360  /  1  RLW:350000 \n"));
}

void TestDecoder::matchesWordByWordReading_data() {
    QTest::addColumn<uint>("seed");
    QTest::addColumn<int>("kernel");
    for (framedecoder::Kernel kernel : kernels())
        for (uint seed = 1; seed <= 60; ++seed)
            QTest::addRow("%s seed %u", kernelName(kernel), seed) << seed << int(kernel);
}

void TestDecoder::matchesWordByWordReading() {
    // Random streams around every geometry rule: irregular blanking, short,
    // long and broken rows, stray separators, streams cut anywhere, and
    // correction tables of random length.
    QFETCH(uint, seed);
    QFETCH(int, kernel);
    QRandomGenerator rng(seed);
    const int widths[] = {160, 161, 324, 336, 640, 200};
    const int heights[] = {128, 256, 256, 512};
    const int width = widths[rng.bounded(6)];
    const int height = width >= 640 ? 512 : (width > 200 ? 256 : heights[rng.bounded(1)]);
    const int rows = height + int(rng.bounded(3)) - 1;
    Words words;
    auto blank = [&] {
        const int n = int(rng.bounded(1, 5));
        for (int k = 0; k < n; ++k)
            words.push_back(uint16_t(rng.bounded(0x8000)));
    };
    if (rng.bounded(4) == 0)
        words.push_back(0xC000 | uint16_t(rng.bounded(16384)));
    for (int r = 0; r < rows; ++r) {
        blank();
        int len = width;
        const uint kind = rng.bounded(40);
        if (kind == 0)
            len -= int(rng.bounded(1, 20));
        else if (kind == 1)
            len += int(rng.bounded(1, 20));
        for (int k = 0; k < len; ++k) {
            uint16_t v = uint16_t(rng.bounded(16384));
            if (rng.bounded(200) == 0)
                v = 16383; // many ties for the hot spot
            words.push_back(uint16_t((rng.bounded(2) ? 0xC000 : 0x8000) | v));
        }
        if (rng.bounded(300) == 0)
            words[words.size() - size_t(rng.bounded(1, 100))] = 0x4000;
    }
    if (rng.bounded(3) == 0)
        words.resize(words.size() - rng.bounded(1, 8));
    else
        blank();

    Floats drift{float(rng.bounded(200)) / 10.0f - 10.0f};
    Ints nuc(rng.bounded(uint(width * height + 10)));
    for (int32_t& x : nuc)
        x = int32_t(rng.bounded(41)) - 20;
    Ints lens(rng.bounded(uint(width * height + 10)));
    for (int32_t& x : lens)
        x = -int32_t(rng.bounded(30));
    framedecoder::Corrections c;
    const uint mode = rng.bounded(3); // none, drift only, all three
    if (mode >= 1) {
        c.driftOffsets = drift.data();
        c.driftCount = drift.size();
    }
    if (mode == 2) {
        c.nucOffsets = nuc.data();
        c.nucCount = nuc.size();
        c.lensMap = lens.data();
        c.lensCount = lens.size();
    }

    Reference ref;
    {
        testsupport::Recorder quiet;
        ref.run(words, 0, c);
    }
    testsupport::Recorder rec;
    std::vector<uint16_t> out;
    const framedecoder::Result r =
        framedecoder::decode(words.data(), words.size(), 0, c, out, framedecoder::Kernel(kernel));
    QCOMPARE(rec.out, ref.console);
    QCOMPARE(r.width, ref.width);
    QCOMPARE(r.height, ref.height);
    QCOMPARE(r.minRaw, ref.minRaw);
    QCOMPARE(r.maxRaw, ref.maxRaw);
    QCOMPARE(r.meanRaw, ref.mean);
    QCOMPARE(r.hotspotColumn, ref.hotCol);
    QCOMPARE(r.hotspotRow, ref.hotRow);
    QCOMPARE(r.hotspotValue, ref.hotVal);
    QCOMPARE(out.size(), ref.raw.size());
    QVERIFY(out == ref.raw);
}

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
