#include "corrections/BitLaneTest.h"
#include "corrections/Drift.h"
#include "corrections/Nuc.h"
#include "recording/DataConverter.h"
#include "recording/Recordings.h"

#include <QBuffer>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <numeric>

using Raw = std::vector<uint16_t>;
using Ints = std::vector<int32_t>;
using Floats = std::vector<float>;
Q_DECLARE_METATYPE(Ints)
Q_DECLARE_METATYPE(Floats)
Q_DECLARE_METATYPE(Raw)

namespace {

using recordings::scratch;

// A flight over a textured, moving scene: shading 270 counts towards the
// corners, a fixed pattern of +-17 counts, temporal noise, no FFC drift.
synth::MovieOptions flight(int frames) {
    synth::MovieOptions o;
    o.frames = frames;
    o.version = 6;
    o.driftPerFrameRaw = 0.0;
    o.scene.gradientRaw = 0.0;
    o.scene.vignettingRaw = 270.0;
    o.scene.fixedPatternRaw = 17.0;
    o.scene.noiseRaw = 6.0;
    o.scene.textureRaw = 400.0;
    o.scene.objects = 0;
    o.scene.seed = 7;
    return o;
}

// Mean of the size x size block at (x, y) over frames first ... last.
struct Blocks {
    double centre = 0;
    double corners = 0;
};
Blocks meanBlocks(DataConverter& dc, const QString& file, int first, int last) {
    Blocks b;
    const int size = 20;
    for (int f = first; f <= last; ++f) {
        kx::DecodedFrame frame;
        if (!dc.decodeFrame(file, f, ksDefines::NoSerialData, frame))
            qFatal("frame %d not decoded", f);
        const int w = int(frame.width), h = int(frame.height);
        auto block = [&](int x0, int y0) {
            double sum = 0;
            for (int y = y0; y < y0 + size; ++y)
                for (int x = x0; x < x0 + size; ++x)
                    sum += frame.raw[size_t(y * w + x)];
            return sum / (size * size);
        };
        b.centre += block(w / 2 - 10, h / 2 - 10);
        b.corners += (block(0, 0) + block(w - size, 0) + block(0, h - size - 1) +
                      block(w - size, h - size - 1)) /
                     4;
    }
    const int n = last - first + 1;
    b.centre /= n;
    b.corners /= n;
    return b;
}

Raw ramp(size_t count, uint16_t orMask = 0, uint16_t andMask = 0xFFFF) {
    Raw raw(count);
    for (size_t k = 0; k < count; ++k)
        raw[k] = uint16_t(((k % 16384) | orMask) & andMask);
    return raw;
}

} // namespace

class TestCorrections : public QObject {
    Q_OBJECT
private slots:
    void nucRemovesShadingButNotThePattern_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<double>("minReduction");
        QTest::newRow("60 frames") << 60 << 0.85;
        QTest::newRow("10 frames") << 10 << 0.5;
    }
    void nucRemovesShadingButNotThePattern() {
        QFETCH(int, frames);
        QFETCH(double, minReduction);
        const QString file = scratch("flight.THM", synth::makeMovie(flight(frames)));
        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(file, false, false), frames);
        const Blocks before = meanBlocks(dc, file, 1, frames);
        kx::DecodedFrame shownBefore;
        QVERIFY(dc.decodeFrame(file, 2, ksDefines::NoSerialData, shownBefore));

        QVERIFY(dc.executeNUC(1, frames, 50));
        QVERIFY(dc.isNucActive());
        // The working frame is again the one decoded before, now corrected.
        const Raw working = dc.getRawBuffer();
        kx::DecodedFrame shownAfter;
        QVERIFY(dc.decodeFrame(file, 2, ksDefines::NoSerialData, shownAfter));
        QVERIFY(working == shownAfter.raw);
        QVERIFY(working != shownBefore.raw);
        const Blocks after = meanBlocks(dc, file, 1, frames);
        const double shading = before.centre - before.corners;
        QVERIFY2(shading > 200, qPrintable(QString::number(shading)));
        const double left = std::abs(after.centre - after.corners);
        QVERIFY2(left <= (1 - minReduction) * shading,
                 qPrintable(QString("%1 of %2 left").arg(left).arg(shading)));
        QVERIFY2(std::abs(after.centre - before.centre) <= 2,
                 qPrintable(QString::number(after.centre - before.centre)));

        // The fixed pattern alone, around a level of 5000: a map that learnt
        // it would regress onto it with a coefficient near 1.
        synth::SceneOptions patternOnly = synth::uniformShadedScene(640, 512, 5000, 0);
        patternOnly.fixedPatternRaw = flight(1).scene.fixedPatternRaw;
        patternOnly.seed = flight(1).scene.seed;
        const Raw pattern = synth::renderScene(patternOnly, 0);
        const Ints& map = dc.getNucOffsets();
        QCOMPARE(map.size(), pattern.size());
        double along = 0, norm = 0;
        for (size_t k = 0; k < map.size(); ++k) {
            const double p = double(pattern[k]) - 5000;
            along += p * map[k];
            norm += p * p;
        }
        QVERIFY2(std::abs(along / norm) < 0.02, qPrintable(QString::number(along / norm)));
    }

    void nucOfAFlatSceneIsZero() {
        synth::MovieOptions o = flight(3);
        o.scene = synth::uniformShadedScene(160, 128, 5000, 0);
        const QString file = scratch("flat.THM", synth::makeMovie(o));
        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(file, false, false), 3);
        QVERIFY(dc.executeNUC(1, 3, 50));
        const Ints& map = dc.getNucOffsets();
        QCOMPARE(map.size(), size_t(160 * 128));
        QVERIFY(std::all_of(map.begin(), map.end(), [](int32_t e) { return e == 0; }));
    }

    void nucRefusesFramesOfAnotherSize() {
        testsupport::Recorder rec;
        NUC nuc(160, 120);
        QVERIFY(nuc.addToNucOffsetMap(Raw(160 * 120, 100)));
        QVERIFY(!nuc.addToNucOffsetMap(Raw(160 * 128, 9000)));
        QCOMPARE(rec.out, QString("NUC: Vector size mismatch\n"));
        // The refused frame does not count: the mean is that of the one frame.
        QCOMPARE(nuc.framesAdded(), 1);
        nuc.calcMean(nuc.framesAdded());
        QVERIFY(std::all_of(nuc.map().begin(), nuc.map().end(), [](int64_t e) { return e == 0; }));
    }

    void nucRefusesRanges_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<bool>("singleFrameAfter");
        QTest::newRow("first frame 0") << 0 << 3 << false;
        QTest::newRow("last before first") << 3 << 2 << false;
        QTest::newRow("beyond the movie") << 1 << 5 << false;
        QTest::newRow("a single frame opened after the movie") << 1 << 2 << true;
    }
    void nucRefusesRanges() {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(bool, singleFrameAfter);
        synth::MovieOptions o = flight(4);
        o.scene = synth::uniformShadedScene(160, 128, 5000, 100);
        const QString file = scratch("range.THM", synth::makeMovie(o));
        const QString single = scratch("single.THR", synth::makeSingleFrameFile(o));
        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(file, false, false), 4);
        if (singleFrameAfter)
            QVERIFY(dc.loadFromRawFile(single, ksDefines::NoSerialData));
        testsupport::Recorder rec;
        QVERIFY(!dc.executeNUC(first, last, 50));
        QCOMPARE(rec.out, QString("Frame numbers not valid\n"));
        QVERIFY(!dc.isNucActive());
    }

    void secondNucWhileOneRunsIsRefused() {
        const QString file = scratch("busy.THM", synth::makeMovie(flight(4)));
        DataConverter alone;
        QCOMPARE(alone.parseVideoFile(file, false, false), 4);
        QVERIFY(alone.executeNUC(1, 4, 50));

        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(file, false, false), 4);
        QSignalSpy hidden(&dc, &DataConverter::disableProgressBar);
        testsupport::Recorder rec;
        int hiddenDuringSecond = -1;
        // Runs from the events the first computation lets through.
        QMetaObject::invokeMethod(
            &dc,
            [&] {
                dc.executeMotionBasedNUC(1, 2);
                hiddenDuringSecond = hidden.count();
            },
            Qt::QueuedConnection);
        dc.executeMotionBasedNUC(1, 4);
        QCOMPARE(rec.out, QString("DataConverter::executeNUC busy, refused\n"));
        // The first run's progress bar stayed up until it ended.
        QCOMPARE(hiddenDuringSecond, 0);
        QCOMPARE(hidden.count(), 1);
        QVERIFY(dc.isNucActive());
        QVERIFY(dc.getNucOffsets() == alone.getNucOffsets());
    }

    void driftOffsets_data() {
        QTest::addColumn<int>("frames");
        QTest::addColumn<Ints>("ffc");
        QTest::addColumn<Floats>("expected"); // offsets at 0, 1, 2, 99, 100, 299
        // Means: 1000 everywhere, 50 lower from frame 101 on and 80 higher
        // from frame 300 on.
        const float s101 = -50.0f / 101, s300 = 80.0f / 300;
        QTest::newRow("one FFC frame at 101")
            << 400 << Ints{101} << Floats{0, s101, 2 * s101, 99 * s101, 0, 0};
        QTest::newRow("listed out of order: the second adds nothing")
            << 400 << Ints{300, 101} << Floats{0, s300, 2 * s300, 99 * s300, 100 * s300, 0};
        QTest::newRow("a duplicate mark adds nothing")
            << 400 << Ints{101, 101} << Floats{0, s101, 2 * s101, 99 * s101, 0, 0};
        QTest::newRow("marks at the first and the last frame are ignored")
            << 400 << Ints{1, 400, 0, -3} << Floats{0, 0, 0, 0, 0, 0};
        QTest::newRow("no marks") << 400 << Ints{} << Floats{0, 0, 0, 0, 0, 0};
    }
    void driftOffsets() {
        QFETCH(int, frames);
        QFETCH(Ints, ffc);
        QFETCH(Floats, expected);
        const Floats offsets = drift::computeOffsets(frames, ffc, [](int f) {
            return std::optional<int64_t>(1000 - (f >= 101 ? 50 : 0) + (f >= 300 ? 80 : 0));
        });
        QCOMPARE(offsets.size(), size_t(frames));
        const size_t at[] = {0, 1, 2, 99, 100, 299};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(offsets[at[i]], expected[size_t(i)]);
    }

    // The worked example on a recording: frames 1 ... 100 rise by 50 counts,
    // frame 101 drops back. Version 5 movies and version 6 fusion copies
    // compute the offsets when opened; a version 6 movie from the list.
    void driftRemovesTheJump_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("version");
        QTest::newRow("version 5 movie") << "THM" << 5;
        QTest::newRow("version 6 movie, marked by hand") << "THM" << 6;
        QTest::newRow("version 6 fusion copy") << "TFC" << 6;
    }
    void driftRemovesTheJump() {
        QFETCH(QString, type);
        QFETCH(int, version);
        synth::MovieOptions o = flight(110);
        o.version = version;
        o.scene = synth::uniformShadedScene(160, 128, 6000, 200);
        o.ffcFrames = {101};
        o.driftPerFrameRaw = 50.0 / 99.0;
        QByteArray bytes;
        if (type == "TFC") {
            synth::FusionOptions f;
            f.thermal = o;
            f.daylightWidth = 32;
            f.daylightHeight = 24;
            bytes = synth::makeFusion(f);
        } else {
            bytes = synth::makeMovie(o);
        }
        const QString file = scratch("drift." + type, bytes);
        DataConverter dc;
        QCOMPARE(type == "TFC" ? dc.parseFusionFile(file) : dc.parseVideoFile(file, false, false),
                 110);
        if (version == 6 && type == "THM") {
            QVERIFY(!dc.isDriftComputed());
            dc.addFFCFrame(101);
            QVERIFY(dc.calcFrameTempDifferenceMap());
        }
        QCOMPARE(dc.getFFCFrames(), Ints{101});
        QVERIFY(dc.isDriftComputed());
        const Floats& offsets = dc.getDriftOffsets();
        QCOMPARE(offsets.size(), size_t(110));
        QCOMPARE(offsets[1], -50.0f / 101);
        QCOMPARE(offsets[99], 99 * (-50.0f / 101));

        auto mean = [&](int frame) {
            kx::DecodedFrame decoded;
            if (!dc.decodeFrame(file, frame, ksDefines::NoSerialData, decoded))
                qFatal("frame %d not decoded", frame);
            return int(decoded.meanRaw);
        };
        QCOMPARE(mean(100) - mean(101), 50);
        dc.changedDriftCompensation(true);
        // Frame 100 rose by 50 counts and receives -49.
        QCOMPARE(mean(100) - mean(101), 1);
        QCOMPARE(mean(102) - mean(101), 0);
    }

    void driftIsClearedByAnotherFile() {
        synth::MovieOptions o = flight(20);
        o.version = 5;
        o.scene = synth::uniformShadedScene(160, 128, 6000, 0);
        o.ffcFrames = {11};
        o.driftPerFrameRaw = 5;
        const QString movie = scratch("drifting.THM", synth::makeMovie(o));
        // A fusion copy below version 6 computes no offsets of its own.
        synth::FusionOptions f;
        f.thermal = o;
        f.daylightWidth = 32;
        f.daylightHeight = 24;
        const QString other = scratch("older.TFC", synth::makeFusion(f));
        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(movie, false, false), 20);
        QVERIFY(dc.isDriftComputed());
        QCOMPARE(dc.getDriftOffsets().size(), size_t(20));
        QCOMPARE(dc.parseFusionFile(other), 20);
        QVERIFY(!dc.isDriftComputed());
        QVERIFY(dc.getDriftOffsets().empty());
    }

    void ffcListFile_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Ints>("frames");
        QTest::newRow("line ends of both kinds") << QByteArray("12\r\n340\n7") << Ints{12, 340, 7};
        QTest::newRow("blanks around") << QByteArray(" 101 \t\n") << Ints{101};
        QTest::newRow("text, sign, beyond 32 bits")
            << QByteArray("FFC at 5\n-5\n4294967296\n2147483648\n2147483647\n")
            << Ints{0, 0, 0, 0, 2147483647};
        QTest::newRow("empty line in between") << QByteArray("3\n\n4\n") << Ints{3, 0, 4};
        QTest::newRow("empty file") << QByteArray() << Ints{};
        // A zero byte ended the number: "12" and a stray byte read as frame 12.
        QTest::newRow("zero byte in a line") << QByteArray("12\0x\n+7", 7) << Ints{0, 7};
    }
    void ffcListFile() {
        QFETCH(QByteArray, text);
        QFETCH(Ints, frames);
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(drift::readFfcList(buffer), frames);
    }

    void longFfcListFile() {
        QByteArray text;
        for (int i = 0; i < 100000; ++i)
            text += QByteArray::number(i % 500 + 2) + '\n';
        QBuffer buffer(&text);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const Ints frames = drift::readFfcList(buffer);
        QCOMPARE(frames.size(), size_t(100000));
        QCOMPARE(frames.back(), 99999 % 500 + 2);
        QCOMPARE(drift::ffcListText({12, 340}), QString("12, 340, "));
        // Marks far beyond a short movie add nothing and read nothing.
        const Floats offsets =
            drift::computeOffsets(20, frames, [](int) { return std::optional<int64_t>(7); });
        QCOMPARE(offsets.size(), size_t(20));
    }

    void lensFlattensTheShading() {
        synth::MovieOptions o = flight(3);
        o.scene = synth::uniformShadedScene(160, 128, 8000, 300);
        o.driftPerFrameRaw = 100; // frame 2 is frame 1 raised by 100 counts
        const QString file = scratch("lens.THM", synth::makeMovie(o));
        o.scene = synth::uniformShadedScene(640, 512, 8000, 300);
        const QString larger = scratch("larger.THM", synth::makeMovie(o));
        DataConverter dc;
        QCOMPARE(dc.parseVideoFile(file, false, false), 3);
        kx::DecodedFrame reference, frame;
        QVERIFY(dc.decodeFrame(file, 1, ksDefines::NoSerialData, reference));
        QVERIFY(reference.maxRaw - reference.minRaw > 250);
        dc.lensCorrection();
        QVERIFY(dc.decodeFrame(file, 1, ksDefines::NoSerialData, frame));
        QCOMPARE(frame.raw, Raw(frame.raw.size(), uint16_t(reference.maxRaw)));
        QVERIFY(dc.decodeFrame(file, 2, ksDefines::NoSerialData, frame));
        QCOMPARE(frame.raw, Raw(frame.raw.size(), uint16_t(reference.maxRaw + 100)));

        // The map of the small frame covers only the first pixels of a larger one.
        QCOMPARE(dc.parseVideoFile(larger, false, false), 3);
        QVERIFY(dc.decodeFrame(larger, 1, ksDefines::NoSerialData, frame));
        const Raw plain = synth::renderScene(o.scene, 0);
        const size_t covered = size_t(160) * 128;
        QCOMPARE(int(frame.raw[covered + 5]), int(plain[covered + 5]));
        QCOMPARE(int(frame.raw[0]), int(plain[0]) - dc.getLensMap()[0]);
        dc.resetLensCorrection();
        QVERIFY(dc.decodeFrame(larger, 1, ksDefines::NoSerialData, frame));
        QCOMPARE(int(frame.raw[0]), int(plain[0]));
    }

    void bitLaneMasks_data() {
        QTest::addColumn<Raw>("raw");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("ramp over 0 ... 16383")
            << ramp(160 * 120)
            << QStringList{"MaskZeros: 0011111111111111", "MaskOnes:  1111111111111111"};
        QTest::newRow("bit 3 stuck at one")
            << ramp(160 * 120, 8)
            << QStringList{"MaskZeros: 0011111111111111", "MaskOnes:  1111111111110111"};
        QTest::newRow("all even") << ramp(160 * 120, 0, 0xFFFE)
                                  << QStringList{"MaskZeros: 0011111111111110",
                                                 "MaskOnes:  1111111111111111"};
        QTest::newRow("160 x 100") << ramp(160 * 100) << QStringList{"No current frame available"};
    }
    void bitLaneMasks() {
        QFETCH(Raw, raw);
        QFETCH(QStringList, lines);
        QCOMPARE(bitlane::reportLines(raw), lines);
    }

    // The simulator's faulty frames, through the window's worker.
    void bitLaneTestOfSimulatedFrames() {
        synth::MovieOptions o = flight(1);
        o.scene.width = 160;
        o.scene.height = 128;
        // Values over the whole range, so that every other bit changes.
        o.scene.backgroundRaw = 8192;
        o.scene.gradientRaw = 16000;
        o.scene.forcedOneBit = 13;
        o.scene.allEven = true;
        const QString file = scratch("lanes.THR", synth::makeSingleFrameFile(o));
        DataConverter dc;
        kx::DecodedFrame frame;
        QVERIFY(dc.decodeFrame(file, 1, ksDefines::NoSerialData, frame));
        BitLaneTest test(&dc);
        QTest::ignoreMessage(QtDebugMsg, "MaskZeros: 0011111111111110");
        QTest::ignoreMessage(QtDebugMsg, "MaskOnes:  1101111111111111");
        test.testFrame();
    }
};

QTEST_GUILESS_MAIN(TestCorrections)
#include "tst_corrections.moc"
