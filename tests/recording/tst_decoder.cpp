#include "Recordings.h"
#include "recording/FrameDecoder.h"

#include <tuple>

using Words = std::vector<uint16_t>;
using Floats = std::vector<float>;
using Ints = std::vector<int32_t>;
// Words, drift table, frame index, offset and lens tables, expected raw values.
using Correction = std::tuple<Words, Floats, int, Ints, Ints, Words>;
Q_DECLARE_METATYPE(Words)
Q_DECLARE_METATYPE(Correction)
// Width, height, how the last row ends, the statistics, the last three values.
using LastRow = std::tuple<int, int, QString, QString, uint16_t>;
Q_DECLARE_METATYPE(LastRow)

namespace {

using framedecoder::Kernel;
using recordings::row;
constexpr Kernel kKernels[] = {Kernel::Portable, Kernel::Sse2, Kernel::Avx2};

// Word streams (b: blanking words, p: pixel words) and expected raw values
// (r), built piece by piece; at() replaces one entry.
struct Seq {
    Words v;
    Seq& b(int n) { return add(n, 0x4000); }
    Seq& p(int n, uint16_t value) { return add(n, uint16_t(0xC000 | value)); }
    Seq& r(int n, uint16_t value) { return add(n, value); }
    Seq& at(size_t index, uint16_t w) { return v.at(index) = w, *this; }
    Seq& add(int n, uint16_t w) { return v.insert(v.end(), size_t(n), w), *this; }
};

// "width height min max mean column row value" (the last three: the hot spot).
QString stats(const framedecoder::Result& r) {
    return QString::asprintf("%u %u %u %u %u %u %u %u", r.width, r.height, r.minRaw, r.maxRaw,
                             r.meanRaw, r.hotspotColumn, r.hotspotRow, r.hotspotValue);
}

framedecoder::Result decode(const Words& words, Words& out, const framedecoder::Corrections& c = {},
                            Kernel kernel = Kernel::Best, int frameIndex = 0) {
    return framedecoder::decode(words.data(), words.size(), frameIndex, c, out, kernel);
}

} // namespace

class TestDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodesStream_data() {
        QTest::addColumn<Words>("words");
        QTest::addColumn<Words>("raw");
        QTest::addColumn<QString>("stats"); // then the console output, if any
        const auto add = [](const char* name, const Seq& words, const Seq& raw, QString stats) {
            QTest::newRow(name) << words.v << raw.v << stats;
        };
        const QString undecodable = "\nDataConverter::processDataChunk no row of at least 160 "
                                    "values in %1 words: frame not decodable\n";
        add("rows after runs of two blanking words", Seq().b(2).p(160, 100).b(2).p(160, 200).b(2),
            Seq().r(160, 100).r(160, 200), "160 2 100 200 150 1 2 200");
        // The single blanking word ends the first row and is consumed: the 999 row
        // is skipped while the decoder waits for the next blanking word.
        add("single blanking word hides the next row",
            Seq().b(2).p(160, 100).b(1).p(160, 999).b(2).p(160, 300).b(2),
            Seq().r(160, 100).r(160, 300), "160 2 100 300 200 1 2 300");
        add("pixel words before the first blanking word are ignored",
            Seq().p(5, 900).b(2).p(160, 100).b(2), Seq().r(160, 100), "160 1 100 100 100 1 1 100");
        add("the stream's last blanking word ends the row", Seq().b(2).p(160, 7).b(1),
            Seq().r(160, 7), "160 1 7 7 7 1 1 7");
        // (16000 + 30000 + 48000) / 2 / 160 = 293; the dropped row is the second started.
        add("short row dropped but counted",
            Seq().b(2).p(160, 100).b(2).p(150, 200).b(2).p(160, 300).b(2),
            Seq().r(160, 100).r(160, 300),
            "160 2 100 300 293 1 3 300\n314  LL: 150  /  1  RLW:160 \n");
        // (16000 + 33000 + 48000) / 3 / 160 = 202.
        add("long row stored whole", Seq().b(2).p(160, 100).b(2).p(165, 200).b(2).p(160, 300).b(2),
            Seq().r(160, 100).r(165, 200).r(160, 300), "160 3 100 300 202 1 3 300");
        add("first row of 159 values leaves the width unset",
            Seq().b(2).p(159, 100).b(2).p(160, 200).b(2), Seq(),
            "0 0 100 200 0 1 2 200" + undecodable.arg(325));
        add("no blanking word at all", Seq().p(1000, 500), Seq(),
            "0 0 16384 0 0 0 0 0" + undecodable.arg(1000));
        add("empty stream", Seq(), Seq(), "0 0 16384 0 0 0 0 0" + undecodable.arg(0));
        // 5000 at columns 51 and 121 of row 1 and column 11 of row 2:
        // (32000 + 3 * 4900) / 2 / 160 = 145.
        const uint16_t hot = 0xC000 | 5000;
        add("first maximum in stream order",
            Seq().b(2).p(160, 100).b(2).p(160, 100).b(2).at(52, hot).at(122, hot).at(174, hot),
            Seq().r(320, 100).at(50, 5000).at(120, 5000).at(170, 5000),
            "160 2 100 5000 145 51 1 5000");
        // 0x7FFF and 0 are blanking words; 0xC123 -> 291, 0x8001 -> 1, 0xFFFF ->
        // 16383: (291 + 1 + 16383 + 157 * 50) / 160 = 153.
        const Seq masked = Seq().add(1, 0x7FFF).add(1, 0).p(160, 50).add(1, 0x7FFF).add(1, 0);
        add("flag bits masked off", Seq(masked).at(2, 0xC123).at(3, 0x8001).at(4, 0xFFFF),
            Seq().r(160, 50).at(0, 291).at(1, 1).at(2, 16383), "160 1 1 16383 153 3 1 16383");
        // A 700,000-word row keeps its first 350,000 values; a second one finds
        // only 655,360 - 350,000 = 305,360 free values, stays shorter than the
        // first and is dropped. (350000 * 20 + 305360 * 30) / 350000 = 46.
        add("huge rows stay within the buffers", Seq().b(2).p(700000, 20).b(2).p(700000, 30).b(2),
            Seq().r(350000, 20),
            "350000 1 20 30 46 1 2 30\n1400004  LL: 305360  /  1  RLW:350000 \n");
        // The unfinished second row sees 200 words and the last word four more
        // times: (16000 + 204 * 300) / 160 = 482 over the one stored row.
        add("four extra iterations repeat the last word", Seq().b(2).p(160, 100).b(2).p(200, 300),
            Seq().r(160, 100), "160 1 100 300 482 1 2 300");
    }

    void decodesStream() {
        QFETCH(Words, words);
        QFETCH(Words, raw);
        for (Kernel kernel : kKernels) {
            testsupport::Recorder rec;
            Words out(7, 1);
            const framedecoder::Result r = decode(words, out, {}, kernel);
            QTEST(stats(r) + (rec.out.isEmpty() ? "" : "\n" + rec.out), "stats");
            QVERIFY(out == raw);
        }
    }

    void endsLastRowByLength_data() {
        QTest::addColumn<LastRow>("c");

        // Rows of 1000; the last row ends in 1400 then three words of 9000 (cut:
        // no more words). In a known geometry the last three positions are not
        // decoded: 1400 repeats, and the mean is 1000 + 1600 / (W * H) = 1000.
        const int geometries[4][2] = {{160, 128}, {324, 256}, {336, 256}, {640, 512}};
        for (const auto& g : geometries)
            for (const char* variant : {"full", "cut", "separator in tail", "pixels after"})
                QTest::addRow("%dx%d %s", g[0], g[1], variant)
                    << LastRow(g[0], g[1], variant,
                               QString::asprintf("%d %d 1000 1400 1000 %d %d 1400", g[0], g[1],
                                                 g[0] - 3, g[1]),
                               1400);
        // Not a known geometry: the last row decodes its words, (1000 * 21760 +
        // 400 + 3 * 8000) / 21760 = 1001.
        row("170x128 full", LastRow(170, 128, "full", "170 128 1000 9000 1001 168 128 9000", 9000));
        // A cut last row never ends: only the four extra iterations of the 1400
        // word follow. Its 166 * 1000 + 5 * 1400 still count: 1008 over 127 rows.
        row("170x128 cut", LastRow(170, 128, "cut", "170 127 1000 1400 1008 167 128 1400", 1000));
    }

    void endsLastRowByLength() {
        QFETCH(LastRow, c);
        const auto& [width, height, variant, stats, tail] = c;
        Seq s;
        for (int r = 0; r + 1 < height; ++r)
            s.b(3).p(width, 1000);
        s.b(2).p(width - 4, 1000).p(1, 1400);
        if (variant != QLatin1String("cut")) {
            s.p(3, 9000);
            if (variant == QLatin1String("separator in tail"))
                s.at(s.v.size() - 2, 0x4000);
            if (variant == QLatin1String("pixels after"))
                s.p(20, 9000);
            else
                s.b(2);
        }
        testsupport::Recorder rec;
        Words out;
        const framedecoder::Result r = decode(s.v, out);
        QCOMPARE(::stats(r) + rec.out, stats);
        // Everything before the last row's tail is 1000.
        Words expected(size_t(r.width) * r.height, 1000);
        if (r.height == uint(height))
            expected[expected.size() - 4] = 1400;
        std::fill(expected.end() - 3, expected.end(), tail);
        QVERIFY(out == expected);
    }

    void appliesCorrections_data() {
        QTest::addColumn<Correction>("c");
        const auto add = [](const char* name, const Seq& words, const Floats& drift, int frame,
                            const Ints& nuc, const Ints& lens, const Seq& raw) {
            QTest::newRow(name) << Correction(words.v, drift, frame, nuc, lens, raw.v);
        };
        const Seq row = Seq().b(2).p(160, 1000).b(2);
        add("mask before drift", Seq(row).at(2, 0xFFFF), {1.0f}, 0, {}, {},
            Seq().r(160, 1001).at(0, 16383));
        add("drift of the frame, half rounds up", row, {0.0f, 2.5f}, 1, {}, {}, Seq().r(160, 1003));
        add("negative half rounds up", row, {-2.5f}, 0, {}, {}, Seq().r(160, 998));
        add("frame outside the drift table", row, {5.0f}, 1, {}, {}, Seq().r(160, 1000));
        add("drift, offset and lens; short tables leave later pixels", row, {2.5f}, 0, {5, -7},
            {-2}, Seq().r(160, 1003).at(0, 1000).at(1, 1010));
        add("offset below zero saturates at 0", Seq(row).at(2, 0xC001), {}, 0, {5}, {},
            Seq().r(160, 1000).at(0, 0));
        add("lens above the range saturates at 16383", Seq(row).at(2, 0xFFFE), {}, 0, {}, {-3},
            Seq().r(160, 1000).at(0, 16383));
        add("negative drift saturates at 0", row, {-1000.7f}, 0, {}, {}, Seq().r(160, 0));
        add("drift beyond the range saturates", row, {1e9f}, 0, {}, {}, Seq().r(160, 16383));
        // Lengths that leave a tail after the vector blocks of every kernel.
        add("drift in the tail of a run", Seq().b(2).p(173, 16380).b(2), {5.0f}, 0, {}, {},
            Seq().r(173, 16383));
        add("table entries beyond the range saturate", Seq().b(2).p(161, 16000).b(2), {9000.0f}, 0,
            {-40000, 40000}, {40000, -40000, 100}, Seq().r(2, 16383).r(1, 16383).r(158, 16383));
        add("drift, offset and lens clamp once at the end", Seq().b(2).p(161, 100).b(2), {-150.0f},
            0, {-100}, {-30}, Seq().r(1, 80).r(160, 0));
        // 129 rows of 160 after pixel words that are not decoded either. The
        // repeated tail of row 128 takes no pixel index, so the first value of
        // row 129 is pixel 128 * 160 - 3 = 20477.
        Seq tall = Seq().p(4, 1000);
        for (int r = 0; r < 129; ++r)
            tall.b(2).p(160, 1000);
        Ints nuc(20478, 0);
        nuc[0] = 1;
        nuc[20477] = 10;
        add("repeated tail takes no pixel index", tall.b(2), {}, 0, nuc, {},
            Seq().r(129 * 160, 1000).at(0, 999).at(128 * 160, 990));
        add("tables ending mid-row", row, {}, 0, Ints(40, 1), Ints(17, 2),
            Seq().r(17, 997).r(23, 999).r(120, 1000));
    }

    void appliesCorrections() {
        QFETCH(Correction, c);
        const auto& [words, drift, frameIndex, nuc, lens, raw] = c;
        // Empty tables cover no pixel and no frame: they switch nothing on.
        // Each case runs with the two tables and with their combined table.
        const std::vector<int16_t> shifts =
            framedecoder::combinedShifts(nuc.data(), nuc.size(), lens.data(), lens.size());
        for (int combined = 0; combined < 2; ++combined)
            for (Kernel kernel : kKernels) {
                Words out;
                framedecoder::Corrections c{drift.data(), drift.size(), nuc.data(),
                                            nuc.size(),   lens.data(),  lens.size()};
                if (combined && !shifts.empty()) {
                    c.nucOffsets = nullptr;
                    c.lensMap = nullptr;
                    c.pixelShifts = shifts.data();
                    c.pixelShiftCount = shifts.size();
                }
                const framedecoder::Result r = decode(words, out, c, kernel, frameIndex);
                QVERIFY2(out == raw, QByteArray::number(int(kernel) + 10 * combined).constData());
                const uint64_t sum = std::accumulate(raw.begin(), raw.end(), uint64_t(0));
                QCOMPARE(r.maxRaw, uint32_t(*std::max_element(raw.begin(), raw.end())));
                QCOMPARE(r.minRaw, uint32_t(*std::min_element(raw.begin(), raw.end())));
                QCOMPARE(r.sum, sum);
            }
    }

    void kernelsAgreeOnSimulatedFrames() {
        // Whole frames with irregular blanking, a short and a long row and a cut
        // last row: the vector kernels give the portable loop's frame.
        for (int width : {324, 640}) {
            const int height = width == 640 ? 512 : 256;
            const synth::SceneOptions scene = recordings::options(6, false, 1, width, height).scene;
            // Blanking of 2 to 5 words, a cut last row, row 7 short, row 100 long.
            const Words words = synth::makeWordStream(synth::renderScene(scene, 0), width, height,
                                                      {2, 5, 1, true, 7, 100, false, 0x1234});
            // Without corrections, with a drift that pushes some values past
            // either end, and with drift, offsets and lens map together.
            const Floats drift = {-7000.0f, 9000.4f};
            Ints nuc(size_t(width) * height), lens(size_t(width) * height);
            for (size_t k = 0; k < nuc.size(); ++k) {
                nuc[k] = int32_t(k % 37) - 18;
                lens[k] = -int32_t(k % 11);
            }
            const std::vector<int16_t> shifts =
                framedecoder::combinedShifts(nuc.data(), nuc.size(), lens.data(), lens.size());
            const framedecoder::Corrections cases[] = {
                {},
                {drift.data(), 2, nullptr, 0, nullptr, 0},
                {drift.data(), 2, nuc.data(), nuc.size(), lens.data(), lens.size()},
                {drift.data(), 2, nullptr, 0, nullptr, 0, shifts.data(), shifts.size()}};
            for (const framedecoder::Corrections& c : cases) {
                for (int frameIndex : {0, 1}) {
                    Words portable, out;
                    testsupport::Recorder rec;
                    const QString expected =
                        stats(decode(words, portable, c, Kernel::Portable, frameIndex)) + rec.out;
                    for (Kernel kernel : {Kernel::Sse2, Kernel::Avx2}) {
                        rec.clear();
                        QCOMPARE(stats(decode(words, out, c, kernel, frameIndex)) + rec.out,
                                 expected);
                        QVERIFY(out == portable);
                    }
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
