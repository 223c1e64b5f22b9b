#include "Recordings.h"
#include "recording/DataConverter.h"
#include "recording/MovieIndex.h"
#include "recording/Recording.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <random>
#include <tuple>

using Counters = std::vector<uint16_t>;
Q_DECLARE_METATYPE(Counters)
Q_DECLARE_METATYPE(movieindex::ScanKernel)
using recordings::scratch;

// Version, frame counters, whether they are checked, the console lines and
// then the FFC frames.
using CounterCase = std::tuple<int, Counters, bool, QString>;
Q_DECLARE_METATYPE(CounterCase)

namespace {

// A frame as the index sees it: signature, zeros, the counter word at offset
// 2050 (when the frame is long enough), then filler bytes that never form a
// signature.
QByteArray indexFrame(int version, uint16_t counter, int size = 2100) {
    const QByteArray head = QByteArray("VELM") + char(version) + QByteArray(2045, '\0') +
                            char(counter & 0xFF) + char(counter >> 8);
    return head.left(size) + QByteArray(std::max(0, size - head.size()), char(0xAA));
}

// The last frame ends with its counter word.
QByteArray indexMovie(int version, const Counters& counters) {
    QByteArray bytes;
    for (size_t i = 0; i < counters.size(); ++i)
        bytes += indexFrame(version, counters[i], i + 1 < counters.size() ? 2100 : 2052);
    return bytes;
}

// Decodes and converts frame n with the automatic window; ok starts as
// preset. Returns ok and the window the set holds afterwards ("1 6800 8100").
QString frame(DataConverter& converter, int n, bool preset = false) {
    ThermalImageConversionSet set{1, 2, 0, false, 0, 0, false, true, 1.0f, false};
    QImage image;
    converter.getThermalImageFromVideoRawList(n, image, &preset, ksDefines::NoSerialData, set);
    return QStringLiteral("%1 %2 %3").arg(preset).arg(set.lowerBound).arg(set.upperBound);
}

// One row per search kernel; a kernel the processor lacks skips its row.
void kernelRows() {
    QTest::addColumn<movieindex::ScanKernel>("kernel");
    using K = movieindex::ScanKernel;
    for (K k : {K::Portable, K::Sse2, K::Avx2, K::Avx512})
        QTest::newRow(movieindex::scanKernelName(k)) << k;
}

// "offset+size" of every frame in the index, then the FFC frames.
QString index(const DataConverter& converter) {
    QString text;
    for (int n = 1; n <= converter.getNumberOfVideoFrames(); ++n)
        text += QString::number(converter.getFrameOffset(n)) + '+' +
                QString::number(converter.getFrameSize(n)) + ' ';
    text += QLatin1String("FFC:");
    for (int32_t n : converter.getFFCFrames())
        text += QLatin1Char(' ') + QString::number(n);
    return text;
}

// Everything of a decoded frame but its raw values and serial block.
QString summary(const kx::DecodedFrame& f) {
    const kx::Telemetry& t = f.telemetry;
    return QString::asprintf(
        "#%d %ux%u min=%u max=%u mean=%u hot=%u,%u,%u %s %.9g %.9g %u%d "
        "%d %.9g %.9g | %.12g %.12g %.9g %d %.9g %.9g %.9g %.9g %.9g %s %s",
        f.frameNumber, f.width, f.height, f.minRaw, f.maxRaw, f.meanRaw, f.hotspotColumn,
        f.hotspotRow, f.hotspotValue, qPrintable(f.partNumber), f.tempFPACelsius,
        f.tempHousingCelsius, f.streamFrameNumber, f.streamFrameNumberSeen, f.focalLengthMM,
        double(f.sensorWidthMM), double(f.sensorHeightMM), t.latitude, t.longitude, t.altitude,
        t.satellites, double(t.magneticHeading), double(t.trackHeading), t.roll, t.pitch, t.yaw,
        qPrintable(t.date), qPrintable(t.time));
}

} // namespace

class TestMovie : public QObject {
    Q_OBJECT
private slots:
    void counterCheck_data() {
        QTest::addColumn<CounterCase>("c");
        const QString bad1 = "Bad FC: 1\nFramecounter jump\n";
        QTest::newRow("one up") << CounterCase(6, Counters{5, 6}, true, "");
        QTest::newRow("wrap 8191 -> 0") << CounterCase(6, Counters{8191, 0}, true, "");
        QTest::newRow("wrap to 1") << CounterCase(6, Counters{8191, 1}, true, bad1);
        QTest::newRow("wrap while the mark clears")
            << CounterCase(6, Counters{16382, 16383, 0, 1}, true, "");
        QTest::newRow("mark set with a step") << CounterCase(6, Counters{100, 8293}, true, "");
        QTest::newRow("mark set without a step") << CounterCase(6, Counters{100, 8292}, true, bad1);
        QTest::newRow("two jumps") << CounterCase(6, Counters{1, 3, 4, 4}, true,
                                                  "Bad FC: 1\nBad FC: 3\nFramecounter jump\n");
        QTest::newRow("check off") << CounterCase(6, Counters{4, 5, 7, 8}, false, "");
        // Frames 2, 3 and 5 carry the mark; frame 5's counter ends exactly at
        // the end of the file, so it is checked (no gap) but not listed.
        const Counters marks{10, 0x2000 | 11, 0x2000 | 12, 13, 0x2000 | 14};
        // Opening a version 5 movie measures the drift at its FFC frames, which
        // decodes frames 2, 1, 3 and 2 (here frames without a row).
        const QString undecodable = "DataConverter::processDataChunk no row of at least 160 "
                                    "values in 66 words: frame not decodable\n";
        QTest::newRow("FFC marks of version 5")
            << CounterCase(5, marks, true,
                           "FFC => 2: 11, 0010000000001011\nFFC => 3: 12, 0010000000001100\n" +
                               undecodable.repeated(4) + " 2 3");
        QTest::newRow("version 6 has none") << CounterCase(6, marks, true, "");
    }

    void counterCheck() {
        QFETCH(CounterCase, c);
        auto [version, counters, check, lines] = c;
        testsupport::Recorder rec;
        DataConverter converter;
        QCOMPARE(
            converter.parseVideoFile(scratch("c.TMC", indexMovie(version, counters)), true, check),
            int(counters.size()));
        QCOMPARE(rec.out + index(converter).section(':', 1), lines);
        QCOMPARE(int(converter.getFrameCounterGaps().size()), lines.count("Bad FC"));
    }

    void scanAcrossBlocks() {
        // Counter words at 2050, 5051, 8004 and 10104; the last frame is too
        // short for one. A decoy with the wrong version sits at 2060. Reads of 1,
        // 2 or 3 bytes split every signature and counter word; 2,051-byte reads
        // split the first counter word (2050 | 2051).
        QByteArray bytes = indexFrame(6, 0x0101, 3001) + indexFrame(6, 0x2A02, 2953) +
                           indexFrame(6, 0x1234, 2100) + indexFrame(6, 0xFFFF, 2052) +
                           indexFrame(6, 9, 2051);
        bytes.replace(2060, 5, "VELM\x05");
        for (uint32_t block : {1u, 2u, 3u, 1001u, 2051u, 1048576u}) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            const movieindex::ScanResult r = movieindex::scanMovie(buffer, bytes.size(), block);
            QVERIFY(r.offsets == (std::vector<uint64_t>{0, 3001, 5954, 8054, 10106}));
            QVERIFY(r.counters == (std::vector<int32_t>{0x0101, 0x2A02, 0x1234, 0xFFFF,
                                                        movieindex::kCounterBeyondEnd}));
        }
    }

    void kernelsFindEveryPosition_data() { kernelRows(); }
    void kernelsFindEveryPosition() {
        // Decoys of the wrong version everywhere, one signature at each position
        // in turn: every lane of a vector step, the step's last byte and the
        // byte-by-byte rest of the block.
        QFETCH(movieindex::ScanKernel, kernel);
        if (!movieindex::scanKernelAvailable(kernel))
            QSKIP("the processor lacks this kernel");
        const QByteArray decoys = QByteArray("VELM\x07").repeated(60);
        for (int at = 0; at + 5 <= decoys.size(); ++at) {
            const QByteArray block = QByteArray(decoys).replace(at, 5, "VELM\x06");
            std::vector<uint64_t> offsets;
            movieindex::SignatureScanner scanner(movieindex::frameSignature(6), kernel);
            scanner.feed(reinterpret_cast<const uint8_t*>(block.constData()), size_t(block.size()),
                         offsets);
            QVERIFY2(offsets == std::vector<uint64_t>{uint64_t(at)},
                     qPrintable(QString::number(at)));
        }
    }

    void kernelsFindTwoSignatures_data() { kernelRows(); }
    void kernelsFindTwoSignatures() {
        // A fusion recording's two signatures in one pass: a daylight
        // signature at each position in turn, a frame signature where it
        // does not overlap it, among decoys of both kinds.
        QFETCH(movieindex::ScanKernel, kernel);
        if (!movieindex::scanKernelAvailable(kernel))
            QSKIP("the processor lacks this kernel");
        const QByteArray decoys = QByteArray("VELM\x07JPEG\x07").repeated(30);
        const int last = decoys.size() - 5;
        for (int at = 0; at <= last; ++at) {
            QByteArray block = QByteArray(decoys).replace(at, 5, "JPEG\x06");
            std::vector<uint64_t> frames;
            if (std::abs(last - 2 * at) >= 5) {
                block.replace(last - at, 5, "VELM\x06");
                frames.push_back(uint64_t(last - at));
            }
            std::vector<uint64_t> thermal, daylight;
            movieindex::SignatureScanner scanner(movieindex::frameSignature(6),
                                                 {'J', 'P', 'E', 'G', 6}, kernel);
            scanner.feed(reinterpret_cast<const uint8_t*>(block.constData()), size_t(block.size()),
                         thermal, daylight);
            QVERIFY2(thermal == frames && daylight == std::vector<uint64_t>{uint64_t(at)},
                     qPrintable(QString::number(at)));
        }
    }

    void signatureSplitAcrossBlocks_data() { kernelRows(); }
    void signatureSplitAcrossBlocks() {
        // The second frame's signature has `inFirst` of its bytes at the end of
        // the first read (0: it starts the second read, 5: it ends the first).
        QFETCH(movieindex::ScanKernel, kernel);
        if (!movieindex::scanKernelAvailable(kernel))
            QSKIP("the processor lacks this kernel");
        for (uint32_t block = 3001; block <= 3006; ++block) {
            for (int inFirst = 0; inFirst <= 5; ++inFirst) {
                const int first = int(block) - inFirst;
                const QString path = scratch("split.TMC", indexFrame(6, 0x0FFE, first) +
                                                              indexFrame(6, 0x0FFF, 2100));
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadOnly));
                const movieindex::ScanResult r =
                    movieindex::scanMovie(file, file.size(), block, {}, kernel);
                QVERIFY2(r.offsets == (std::vector<uint64_t>{0, uint64_t(first)}) &&
                             r.counters == (std::vector<int32_t>{0x0FFE, 0x0FFF}),
                         qPrintable(QStringLiteral("block %1, %2 bytes in the first read")
                                        .arg(block)
                                        .arg(inFirst)));
            }
        }
    }

    void twoHalvesGiveOnePass() {
        // 10,000 bytes in 1,000-byte reads split at 5,000. Frame 2 starts so
        // that its counter word (2947 to 2951) or its signature (4994 to 5001)
        // lies across the split.
        for (int second :
             {2947, 2948, 2949, 2950, 2951, 4994, 4995, 4996, 4997, 4998, 4999, 5000, 5001}) {
            const QString path = scratch("halves.TMC", indexFrame(6, 0x0100, second) +
                                                           indexFrame(6, 0x0101, 6000 - second) +
                                                           indexFrame(6, 0x0102, 4000));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QList<int> percents;
            movieindex::ScanHooks hooks;
            hooks.progress = [&](int percent) { percents << percent; };
            const movieindex::ScanResult one =
                movieindex::scanMovie(file, file.size(), 1000, {}, movieindex::ScanKernel::Best,
                                      std::numeric_limits<int64_t>::max());
            const movieindex::ScanResult two = movieindex::scanMovie(
                file, file.size(), 1000, hooks, movieindex::ScanKernel::Best, 0);
            const QString at = QStringLiteral("frame 2 at %1").arg(second);
            QVERIFY2(one.offsets == (std::vector<uint64_t>{0, uint64_t(second), 6000}),
                     qPrintable(at));
            // A frame 2 shorter than 2,052 bytes has its word inside frame 3's zeros.
            const int32_t secondCounter = second + 2052 <= 6000 ? 0x0101 : 0;
            QVERIFY2(one.counters == (std::vector<int32_t>{0x0100, secondCounter, 0x0102}),
                     qPrintable(at));
            QVERIFY2(two.offsets == one.offsets && two.sizes == one.sizes &&
                         two.counters == one.counters && two.bytesScanned == 10000 &&
                         two.version == 6,
                     qPrintable(at));
            QVERIFY2(!percents.isEmpty() && percents.last() == 100 &&
                         std::is_sorted(percents.begin(), percents.end()),
                     qPrintable(at));
        }
    }

    void indexTablesAndProgress() {
        // Frame 2 starts 3 bytes before the end of the first 1 MiB read.
        const QString path =
            scratch("tables.TMC",
                    indexFrame(6, 1, 1048573) + indexFrame(6, 2, 4000) + indexFrame(6, 3, 2052));
        const QString second = scratch("inner.TMC", indexMovie(6, {1, 2}));
        testsupport::Recorder rec;
        DataConverter converter;
        QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
        // While the scan runs, events are processed, the converter is busy and
        // refuses a second scan.
        bool busy = true, eventsRan = false;
        int inner = -1, calls = 0;
        connect(&converter, &DataConverter::filePercentageChanged, this, [&](int percent) {
            busy = busy && converter.getProcessingState();
            if (percent == 0 && calls++ == 0)
                inner = converter.parseVideoFile(second, true, true);
        });
        QTimer::singleShot(0, this, [&] { eventsRan = converter.getProcessingState(); });
        QCOMPARE(converter.parseVideoFile(path, true, true), 3);
        QCOMPARE(index(converter), QStringLiteral("0+1048573 1048573+4000 1052573+2052 FFC:"));
        // 1,054,625 bytes: reads at 0 and 1048576, then the empty read at the end.
        // (1048576 / 10) / (1054625 / 1000) = 99.42 -> 99.
        QCOMPARE(QList<QVariantList>(spy), (QList<QVariantList>{{0}, {99}, {100}}));
        QVERIFY(busy && eventsRan && inner == 0 && !converter.getProcessingState());
        QCOMPARE(rec.out,
                 "DataConverter::parseVideoFile already indexing, refused: \"" + second + "\"\n");
    }

    void refusedFiles() {
        // A movie on show first: before, every refusal below emptied its index
        // and left the refused file as the open one.
        synth::MovieOptions o = recordings::options(6, true, 3);
        o.telemetry = synth::Telemetry::Nmea;
        const QString movie = scratch("shown.TMC", synth::makeMovie(o));
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(movie, true, true), 3);
        kx::DecodedFrame shown;
        QVERIFY(converter.decodeFrame(movie, 2, ksDefines::NMEA, shown));
        QVERIFY(shown.telemetry.latitude != 0.0 && !shown.telemetry.time.isEmpty());
        const QString shownIndex = index(converter);
        const std::vector<int32_t> shownCounters = converter.getFrameCounters();
        QCOMPARE(shownCounters.size(), size_t(3));

        testsupport::Recorder rec;
        const QString missing = scratch("absent.TMC");
        // The progress bar shown for the scan is hidden again when it fails.
        QSignalSpy shownBar(&converter, &DataConverter::enableProgressBar);
        QSignalSpy hidden(&converter, &DataConverter::disableProgressBar);
        QCOMPARE(converter.parseVideoFile(missing, true, true), 0);
        QCOMPARE(shownBar.size() + 10 * hidden.size(), 11);
        QCOMPARE(rec.out,
                 "DataConverter::parseVideoFile opening of file: \"" + missing + "\" failed\n");
        QSignalSpy spy(&converter, &DataConverter::filePercentageChanged);
        QCOMPARE(converter.parseVideoFile(scratch("empty.TMC", ""), true, true), 0);
        QCOMPARE(QList<QVariantList>(spy), QList<QVariantList>{{100}});
        // The fifth byte is 'x', so "VELM" + 6 inside the file is no signature.
        const QByteArray text = QByteArray(5000, 'x').replace(100, 5, "VELM\x06");
        QCOMPARE(converter.parseVideoFile(scratch("text.TMC", text), true, true), 0);
        QCOMPARE(rec.outLines().size(), 1);
        QCOMPARE(converter.parseFusionFile(scratch("text.TFC", text)), 0);
        QVERIFY(!converter.loadFromRawFile(scratch("text.THR", text), ksDefines::NMEA));
        QVERIFY(!converter.loadFromCompressedRawFile(scratch("absent.THC"), ksDefines::NMEA));

        QCOMPARE(index(converter) + ' ' + converter.getCurrentFileName() +
                     QString::number(converter.getProcessingState()),
                 shownIndex + ' ' + movie + '0');
        QVERIFY(converter.getFrameCounters() == shownCounters);
        // The frame decoded last and its telemetry are still those of the movie.
        const kx::DecodedFrame kept = converter.currentDecodedFrame(2);
        QVERIFY(kept.raw == shown.raw && kept.width == shown.width);
        QCOMPARE(kept.telemetry.latitude, shown.telemetry.latitude);
        QCOMPARE(kept.telemetry.time + kept.partNumber, shown.telemetry.time + shown.partNumber);
        QCOMPARE(kept.serialBlock, shown.serialBlock);
        kx::DecodedFrame again;
        QVERIFY(converter.decodeFrame(movie, 2, ksDefines::NMEA, again));
        QVERIFY(again.raw == shown.raw);
        QCOMPARE(again.telemetry.date, shown.telemetry.date);
    }

    void recordingReadsFrames_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("compressed");
        recordings::row("compressed, version 6", 6, true);
        recordings::row("uncompressed, version 6", 6, false);
        recordings::row("uncompressed, version 4", 4, false);
    }

    void recordingReadsFrames() {
        QFETCH(int, version);
        QFETCH(bool, compressed);
        synth::MovieOptions o = recordings::options(version, compressed, 3);
        o.telemetry = synth::Telemetry::Nmea;
        const QString path = scratch(compressed ? "read.TMC" : "read.THM", synth::makeMovie(o));
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(path, compressed, false), 3);
        converter.changedHourOffset(2);
        Recording recording(path);
        recording.version = version;
        recording.compressed = compressed;
        for (int n = 1; n <= 3; ++n) {
            recording.frameOffsets.push_back(converter.getFrameOffset(n));
            recording.frameSizes.push_back(converter.getFrameSize(n));
        }
        FrameReadOptions options;
        options.serial = ksDefines::NMEA;
        options.hourOffset = 2;
        for (int n : {2, 3, 1}) {
            const kx::DecodedFrame frame = recording.read(n, options);
            kx::DecodedFrame expected;
            QVERIFY(converter.decodeFrame(path, n, ksDefines::NMEA, expected));
            QVERIFY(frame.raw == recordings::decoded(o, n) && frame.raw == expected.raw);
            QCOMPARE(summary(frame), summary(expected));
            QCOMPARE(frame.serialBlock, expected.serialBlock);
            const synth::FlightState state = synth::flightStateAt(o.flight, (n - 1) / 9.0);
            QVERIFY(std::abs(frame.telemetry.latitude - state.latitude) < 2e-6);
            QCOMPARE(frame.telemetry.date + ' ' + frame.telemetry.time, "31.05.2016 16:24:23");
        }
        // A frame cut inside its pixels, read after a whole one into the same
        // scratch, decodes as it does alone: nothing of the frame before
        // stands in for the words past its end.
        FrameReadScratch shared;
        kx::DecodedFrame whole, cut;
        QVERIFY(recording.read(1, options, shared, whole));
        recording.frameSizes[1] -= 3001;
        QVERIFY(recording.read(2, options, shared, cut));
        const kx::DecodedFrame alone = recording.read(2, options);
        QVERIFY(!cut.raw.empty() && cut.raw == alone.raw && cut.height == alone.height);
        // Outside the index, larger than a frame may be, cut inside its header
        // although the file holds the rest: refused; the frame before stays
        // but for its values, and for its position after a cut header.
        recording.frameSizes[0] = Recording::kLargestFrameBytes + 1;
        recording.frameSizes[1] = 2047;
        FrameReadScratch scratch;
        kx::DecodedFrame frame;
        QVERIFY(recording.read(3, options, scratch, frame) && frame.isValid());
        const double latitude = frame.telemetry.latitude;
        for (int n : {0, 4, 1, 2}) {
            QVERIFY2(!recording.read(n, options, scratch, frame), qPrintable(QString::number(n)));
            QVERIFY(frame.raw.empty() && !frame.isValid());
            QCOMPARE(frame.telemetry.latitude, n == 2 ? 0.0 : latitude);
        }
    }

    void sixtyThousandFramesOpenWhole() {
        // 60,000 frames of 64 bytes: beyond the 50,500 entries a fixed index held.
        const QString path = scratch("long.TMC", indexFrame(6, 0, 64).repeated(60000));
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(path, true, false), 60000);
        QCOMPARE(index(converter).section(' ', 59999), QStringLiteral("3839936+64 FFC:"));
    }

    void framesAndRefusedFrames() {
        // The recorder stopped after writing the header of frame 3.
        const synth::MovieOptions o = recordings::options(6, true, 2);
        const QByteArray movie = synth::makeMovie(o);
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(scratch("bare.TMC", movie + synth::makeHeader({})), true,
                                          false),
                 3);
        QCOMPARE(index(converter).section(' ', 2),
                 QStringLiteral("%1+2048 FFC:").arg(movie.size()));
        // Frames read out of order: nothing of one frame leaks into another.
        QVERIFY(frame(converter, 2).startsWith('1') && frame(converter, 1).startsWith('1'));
        const QString window = frame(converter, 2).mid(1);
        QVERIFY(window != QLatin1String(" 1 2"));
        // The bare header decodes to nothing: ok is false, the window not written
        // back. Frames outside the index leave ok as it was and write the
        // converter's window back.
        QCOMPARE(frame(converter, 3, true), QStringLiteral("0 1 2"));
        for (int n : {0, 4, -1})
            for (bool preset : {true, false})
                QCOMPARE(frame(converter, n, preset), QString::number(preset) + window);
        rawVideoChunk chunk;
        converter.getCurrentRawVideoChunk(chunk);
        QVERIFY(chunk.rawData == recordings::decoded(o, 2));
        // A compressed frame carries its counter as the side value.
        QCOMPARE(QString::asprintf("%u %u %u %.10g %.10g %u", chunk.chunkTag, chunk.width,
                                   chunk.height, chunk.tempFPA, chunk.tempHousing,
                                   chunk.currentFrameNumber),
                 QStringLiteral("120 160 128 31.4 29.87 43"));
    }

    void frameLongerThanOneMiBIsReadWhole() {
        // A 640-wide frame of 900 rows: some 1.16 MB, cut at 1 MiB it would give
        // about 815 rows.
        synth::MovieOptions big = recordings::options(6, false, 1, 640, 900);
        const QString path =
            scratch("big.THM", synth::makeMovie(big) + synth::makeMovie(recordings::options(6)));
        DataConverter converter;
        QCOMPARE(converter.parseVideoFile(path, false, false), 2);
        converter.readFromCompressedVideoFileAndParseRAW(1, ksDefines::NoSerialData);
        // Row 512 is the last row of a 640 x 512 frame to the decoder: its last
        // three values repeat the one before them.
        std::vector<uint16_t> expected = synth::renderScene(big.scene, 0);
        std::fill_n(expected.begin() + 511 * 640 + 637, 3, expected[511 * 640 + 636]);
        QVERIFY(converter.getRawBuffer() == expected);
    }

    void damagedFramesStayWithinBounds() {
        // Frame 3 cut at every tenth of its code: the rows that arrived whole are
        // its first rows. Then a .THR file renamed to .TMC (pixel words read as
        // code) and random bits as code: decoded within the buffers or refused.
        const synth::MovieOptions o = recordings::options(6, true, 3);
        const QByteArray whole = synth::makeMovie(o);
        const int start = whole.lastIndexOf(QByteArray("VELM\x06", 5)) + 2048;
        const std::vector<uint16_t> scene = synth::renderScene(o.scene, 2);
        std::mt19937 rng(5);
        for (int round = 1; round < 30; ++round) {
            QByteArray bytes = round < 10 ? whole.left(start + (whole.size() - start) * round / 10)
                               : round == 10 ? synth::makeSingleFrameFile(recordings::options(6))
                                             : QByteArray(20000 + int(rng() % 300000), '\0');
            for (int i = round > 10 ? 0 : bytes.size(); i < bytes.size(); ++i)
                bytes[i] = char(rng() & 0xFF);
            if (round > 10)
                bytes = synth::makeHeader({}) + bytes.replace("VELM", "XELM");
            DataConverter converter;
            testsupport::Recorder rec;
            const int frames = converter.parseVideoFile(scratch("damaged.TMC", bytes), true, true);
            const bool ok = frame(converter, frames, true).startsWith('1');
            const std::vector<uint16_t>& raw = converter.getRawBuffer();
            const uint32_t rows = converter.getImageHeight(), width = converter.getImageWidth();
            QCOMPARE(ok, rows >= 10 && width >= 10);
            QVERIFY(raw.size() <= 655360 && (!ok || raw.size() == width * rows) &&
                    rec.reports.empty());
            if (round < 10)
                QVERIFY2(frames == 3 && rows < 128 && rows * 10 >= uint32_t(128 * (round - 1)) &&
                             raw ==
                                 std::vector<uint16_t>(scene.begin(), scene.begin() + rows * 160),
                         qPrintable(QString::number(rows)));
        }
    }
};

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
