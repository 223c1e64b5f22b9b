// Tests of the recording simulator. Every expectation below was worked out by
// hand from the file formats; beyond the exact codes, long compressed streams
// are expanded by the converter's bit-at-a-time reader.

#include "recording/CompressedStream.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QtTest>
#include <numeric>

using Words = std::vector<uint16_t>;
Q_DECLARE_METATYPE(Words)

class TestSynth : public QObject {
    Q_OBJECT
    static constexpr uint16_t S = 0x4000; // blanking word as the simulator writes it
    static uint16_t px(int value) { return uint16_t(0xC000 | value); }
    static int le16(const QByteArray& b, int i) { return uint8_t(b[i]) | uint8_t(b[i + 1]) << 8; }
    static synth::MovieOptions movie(int frames, int version) {
        synth::MovieOptions o;
        o.frames = frames;
        o.version = version;
        o.scene = {160, 128, 1, 7400, 0, 0, 900, 0, 0}; // a flat level
        return o;
    }

    // Words as text: "S" for 0x4000, the value of a pixel word, else the word in hex.
    static QString describe(const Words& words) {
        QStringList out;
        for (uint16_t w : words)
            out << (w == S                   ? QStringLiteral("S")
                    : (w & 0xC000) == 0xC000 ? QString::number(w & 0x3FFF)
                                             : QString::number(w, 16));
        return out.join(' ');
    }

    // The frames of a movie: "VELM" + version up to the next signature.
    static QList<QByteArray> frames(const QByteArray& movie, int version) {
        QList<QByteArray> out;
        const QByteArray signature = "VELM" + QByteArray(1, char(version));
        for (int p = movie.indexOf(signature), next = 0; p >= 0; p = next) {
            next = movie.indexOf(signature, p + 1);
            out << movie.mid(p, next < 0 ? -1 : next - p);
        }
        return out;
    }

    // The 14-bit values of the pixel words of an uncompressed frame.
    static Words pixelValues(const QByteArray& frame, int wordsStart) {
        Words values;
        for (int i = wordsStart; i + 1 < frame.size(); i += 2)
            if (le16(frame, i) & 0x8000)
                values.push_back(le16(frame, i) & 0x3FFF);
        return values;
    }

private slots:
    // ---- Headers, frames, word streams and scenes ---------------------------

    void layout_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QList<int>>("sizes"); // header length, serial block offset and length
        QTest::newRow("v0") << 0 << QList<int>{23, 0, 0};
        QTest::newRow("v1") << 1 << QList<int>{8200, 6, 8192};
        QTest::newRow("v2") << 2 << QList<int>{8204, 10, 8192};
        QTest::newRow("v3 (refused by readers)") << 3 << QList<int>{2048, 10, 2036};
        QTest::newRow("v4") << 4 << QList<int>{2048, 10, 2036};
        QTest::newRow("v5") << 5 << QList<int>{2048, 40, 2006};
        QTest::newRow("v6") << 6 << QList<int>{2048, 68, 1978};
        QTest::newRow("v7 (refused by readers)") << 7 << QList<int>{2048, 0, 0};
    }
    // A long serial text is cut to the block, which ends two bytes before the
    // end of the header; H undecoded bytes follow, holding the frame counter at
    // offset 2050 when H is 2,048, then the words.
    void layout() {
        QFETCH(int, version);
        QFETCH(QList<int>, sizes);
        QCOMPARE((QList<int>{int(synth::headerLength(version)), int(synth::serialOffset(version)),
                             int(synth::serialLength(version))}),
                 sizes);
        const synth::HeaderOptions h{version, QByteArray(9000, 'x'), {}, 0, 0, 0x2005};
        QByteArray header = "VELM" + QByteArray(1, char(version)) + QByteArray(sizes[0] - 5, 0);
        header.replace(sizes[1], sizes[2], QByteArray(sizes[2], 'x'));
        const QByteArray gap = sizes[0] == 2048
                                   ? QByteArray::fromHex("00000520") + QByteArray(2044, 0)
                                   : QByteArray(sizes[0], 0);
        QCOMPARE(synth::makeRawFrame(h, {S, 0xC123, 0x8001}),
                 header + gap + QByteArray::fromHex("004023c10180"));
    }

    // Bytes 10 to 39: FPA temperature in tenths, housing in hundredths (rounded,
    // clamped to 16 bits), eight zeros, the part number with its zero, cut so that
    // the zero stays in front of the serial block.
    void temperaturesAndPartNumber() {
        auto bytes = [](int version, double fpa, double housing, const QByteArray& part) {
            return synth::makeHeader({version, {}, part, fpa, housing, 0}).mid(10, 30).toHex();
        };
        const QByteArray zeros(16, '0');
        // 31.4 -> 314 = 0x013A; 29.87 -> 2987 = 0x0BAB
        QCOMPARE(bytes(5, 31.4, 29.87, "4640019S R01234"),
                 "3a010000ab0b" + zeros + QByteArray("4640019S R01234").toHex() + "00");
        QCOMPARE(bytes(5, 0.04, 0.005, "ABCDEFGHIJKLMNOPQRS"),
                 "000000000100" + zeros + QByteArray("ABCDEFGHIJKLMNO").toHex() + "00");
        // 0.05 rounds up to 1 tenth, 700 clamps to 65535 hundredths; negatives give 0
        QCOMPARE(bytes(6, 0.05, 700, "46") + bytes(6, -3, -0.2, {}),
                 "01000000ffff" + zeros + "3436" + QByteArray(88, '0'));
    }

    // Options: width, height, blanking min and max, cut last row, short row, long
    // row, no blanking, separator word; for the raw values 10, 11, ...
    void wordStream_data() {
        QTest::addColumn<QList<int>>("o");
        QTest::addColumn<QString>("words");
        QTest::newRow("runs of two") << QList<int>{4, 3, 2, 2, 0, -1, -1, 0, 0x4000}
                                     << "S S 10 11 12 13 S S 14 15 16 17 S S 18 19 20 21 S S";
        // the last row ends three words early, with no blanking after it
        QTest::newRow("last row cut")
            << QList<int>{4, 3, 1, 1, 1, -1, -1, 0, 0x4000} << "S 10 11 12 13 S 14 15 16 17 S 18";
        QTest::newRow("row 0 shorter by 7") << QList<int>{10, 2, 1, 1, 0, 0, -1, 0, 0x4000}
                                            << "S 10 11 12 S 20 21 22 23 24 25 26 27 28 29 S";
        // the row's last value five more times
        QTest::newRow("row 0 longer by 5") << QList<int>{4, 2, 1, 1, 0, -1, 0, 0, 0x4000}
                                           << "S 10 11 12 13 13 13 13 13 13 S 14 15 16 17 S";
        QTest::newRow("no blanking")
            << QList<int>{4, 2, 2, 5, 0, -1, -1, 1, 0x4000} << "10 11 12 13 14 15 16 17";
        QTest::newRow("separator without bit 15")
            << QList<int>{2, 1, 1, 1, 0, -1, -1, 0, 0x9234} << "1234 10 11 1234";
    }
    void wordStream() {
        QFETCH(QList<int>, o);
        const synth::StreamOptions options{o[2], o[3], 1,          bool(o[4]),
                                           o[5], o[6], bool(o[7]), uint16_t(o[8])};
        Words raw(size_t(o[0] * o[1]));
        std::iota(raw.begin(), raw.end(), uint16_t(10));
        QTEST(describe(synth::makeWordStream(raw, o[0], o[1], options)), "words");
        raw.pop_back(); // one value short of the geometry
        QVERIFY(synth::makeWordStream(raw, o[0], o[1], options).empty());
    }

    // Blanking runs of 2 to 5 words, all four lengths, before every row and after
    // the last; the seed chooses them.
    void blankingRuns() {
        const Words raw(640 * 512, 7000), words = synth::makeWordStream(raw, 640, 512, {2, 5, 1});
        const QStringList runs = describe(words).split(QRegularExpression(" ?7000( 7000)* ?"));
        QStringList lengths = QSet<QString>(runs.begin(), runs.end()).values();
        lengths.sort();
        QCOMPARE(runs.size(), 513);
        QCOMPARE(lengths.join('|'), QStringLiteral("S S|S S S|S S S S|S S S S S"));
        QVERIFY(synth::makeWordStream(raw, 640, 512, {2, 5, 2}) != words);
        // Scenes stay in the codable range 2..16383.
        QCOMPARE(synth::renderScene({160, 128, 1, 20000}, 0), Words(160 * 128, 16383));
        QCOMPARE(synth::renderScene({160, 128, 1, -2000}, 0), Words(160 * 128, 2));
    }

    // ---- Compressed code ---------------------------------------------------

    // The escape 0x0001, the side value as a 16-bit code (14 bits kept), then the
    // words, little-endian.
    void encoderExactBytes_data() {
        QTest::addColumn<Words>("words");
        QTest::addColumn<int>("side");
        QTest::addColumn<QString>("code");
        QTest::newRow("FFC mark, 14 bits") << Words{} << 0xE005 << "01000520";
        // +3 after the escape: 11 011, padded: 1101 1000 0000 0000 = 0xD800; the flag
        // bits of a pixel word do not matter: 0x8000 | 3 codes like 0xC003
        QTest::newRow("after escape") << Words{0x8003} << 0 << "0100000000d8";
        // 5000 = 0x1388, then any word without bit 15 is the separator 0x0000
        QTest::newRow("separator") << Words{px(5000), 0x7FFF} << 1 << "0100010088130000";
        // 16383 after the escape is -1 (11 111), then 2 is +3 (11 011): 0xFEC0
        QTest::newRow("both ways") << Words{px(16383), px(2)} << 0 << "01000000c0fe";
        // 7 after a separator: 10 + (7 - 4 = 0011) -> 1000 1100 0000 0000 = 0x8C00
        QTest::newRow("after S") << Words{px(5000), S, px(7)} << 0 << "0100000088130000008c";
        // 1 after the escape: 11 001; 0 next: 11 111: 1100 1111 1100 0000 = 0xCFC0
        QTest::newRow("1 and 0") << Words{px(1), px(0)} << 0 << "01000000c0cf";
        // 0 and 1 have no absolute code: only a difference reaches them, or nothing
        QTest::newRow("0 after 5000") << Words{px(5000), px(0)} << 0 << "";
        QTest::newRow("+85 too far") << Words{px(16300), px(1)} << 0 << "";
        // 16350 is -34 on the escape's 0x4000 (01 101010), then +35 wraps to 1
        // (01 010111): 0110 1010 0101 0111 = 0x6A57
        QTest::newRow("+35 wraps to 1") << Words{px(16350), px(1)} << 0 << "01000000576a";
    }
    void encoderExactBytes() {
        QFETCH(Words, words);
        QFETCH(int, side);
        QTEST(QString(synth::compressWords(words, uint16_t(side)).toHex()), "code");
    }

    // The shortest code for each difference from 1000 (difference:bits): 3, 4 and
    // 6 bits of payload, else the absolute value; after escape, side 0 and 0x03E8.
    void encoderDifferenceRanges() {
        for (const QString& c : QString("0:11000 3:11011 -4:11100 4:100000 -5:101111 11:100111 "
                                        "-12:101000 12:01000000 -13:01111111 43:01011111 "
                                        "-44:01100000 44:0000010000010100 -45:0000001110111011")
                                    .split(' ')) {
            const ushort word = (c.section(':', 1) + QString(16, '0')).left(16).toUShort(0, 2);
            const Words words{px(1000), px(1000 + c.section(':', 0, 0).toInt())};
            QCOMPARE(QString(synth::compressWords(words, 0).toHex()),
                     QString::asprintf("01000000e803%02x%02x", word & 0xFF, word >> 8));
        }
    }

    // A 640 x 512 scene with strong noise, coded shorter than its words, expands
    // to the escape's separator, then the words, and gives back the side value.
    // (Wraps, separators and range limits are pinned bit by bit above.)
    void encoderRoundTrip() {
        const synth::SceneOptions s{640, 512, 14, 7400, 600, 3, 900, 250, 25};
        const Words w = synth::makeWordStream(synth::renderScene(s, 2), 640, 512, {2, 5, 14, true});
        const QByteArray code = synth::compressWords(w, 0x1234);
        QVERIFY(code.size() < int(w.size()) * 2);
        Words expected{S}, out(w.size() + 1);
        expected.insert(expected.end(), w.begin(), w.end());
        const auto r =
            compressed::expandBitwise(reinterpret_cast<const uint8_t*>(code.data()),
                                      code.size() / 2, {}, out.data(), uint32_t(out.size()));
        QCOMPARE(Words(out.begin(), out.begin() + r.count), expected);
        QCOMPARE((QList<int>{r.sideValueSeen, r.sideValue}), (QList<int>{true, 0x1234}));
    }

    // The code follows the header: escape at H, the side value (the frame
    // counter) at H + 2, which is 2050 for versions 3 to 6.
    void compressedFrameLayout() {
        for (int version : {6, 0}) {
            const synth::HeaderOptions h{version, {}, {}, 0, 0, 0x2345};
            QCOMPARE(synth::makeCompressedFrame(h, {S, px(100), px(103)}),
                     synth::makeHeader(h) + QByteArray::fromHex("010045230000640000d8"));
        }
        QVERIFY(synth::makeCompressedFrame({}, {px(9000), px(0)}).isEmpty());
        const QByteArray bytes("VELM\x06..VELM\x05", 13);
        QCOMPARE((QList<bool>{
                     synth::containsSignature(bytes, 6, 0), synth::containsSignature(bytes, 6, 1),
                     synth::containsSignature(bytes, 5, 1), synth::containsSignature(bytes, 5, 9)}),
                 (QList<bool>{true, false, true, false}));
    }

    // ---- Movies and files --------------------------------------------------

    // Counters from 8190 wrap at 8192, skip one after frame 5 and carry the FFC
    // mark (bit 13) on frames 3 and 7 (for compressed frames as the side value
    // after the escape); headers hold 31.4 and 29.87 degrees by default. The
    // drift grows by 2 per frame since the last FFC frame and drops to 0 on one.
    void movieCountersFfcMarksAndDrift() {
        synth::MovieOptions o = movie(8, 5);
        o.ffcFrames = {3, 7};
        o.counterGapsAfter = {5};
        o.firstCounter = 8190;
        o.driftPerFrameRaw = 2;
        QByteArray bytes;
        for (bool compressed : {true, false}) {
            o.compressed = compressed;
            bytes = synth::makeMovie(o);
            QVERIFY(bytes.mid(10, 6).toHex() == "3a010000ab0b" && synth::makeMovie(o) == bytes);
            QString fields; // counter, escape (or 0)
            for (const QByteArray& f : frames(bytes, 5))
                fields += QString::asprintf("%x %d ", le16(f, 2050), le16(f, 2048));
            QCOMPARE(
                fields,
                QString("1ffe %1 1fff %1 2000 %1 1 %1 2 %1 4 %1 2005 %1 6 %1 ").arg(compressed));
        }
        const QList<QByteArray> f = frames(bytes, 5); // the uncompressed movie
        const int drift[8] = {0, 2, 0, 2, 4, 6, 0, 2};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(pixelValues(f[i], 4096), Words(160 * 128, uint16_t(7400 + drift[i])));
    }

    // Frame 1's SYSTEM_TIME ends in the boot time "VELM" and, at sequence 1, the
    // checksum's low byte 06 (checksum 0x5B06, worked out apart from the
    // simulator): the frame is built again with the sequence numbers moved on by
    // 101, so the signature only starts frames.
    void accidentalSignatureIsAvoided() {
        synth::MovieOptions o = movie(2, 6);
        o.telemetry = synth::Telemetry::MAVLink;
        o.bootMsAtStart = 0x4D4C4556;
        o.flight.startUtc = QDateTime(QDate(2016, 5, 31), QTime(14, 24, 23, 24), Qt::UTC);
        const QList<QByteArray> f = frames(synth::makeMovie(o), 6);
        QCOMPARE(f.size(), 2);
        QCOMPARE(f[0].mid(68 + 17, 3).toHex() + f[1].mid(68 + 17, 3).toHex(), "fe0c66fe0c06");
    }

    void wholeFiles() {
        synth::MovieOptions o = movie(2, 6);
        o.serialText = QByteArray("abcVELM\x06", 8); // harmless in version 5 only
        QVERIFY(synth::makeSingleFrameFile(o).isEmpty() && synth::makeMovie(movie(0, 5)).isEmpty());
        o.version = 5;
        QCOMPARE(synth::makeSingleFrameFile(o).mid(40, 8), o.serialText);
        // compressed movie frames are read from byte 2048; a .THC may have any header
        o = movie(1, 2);
        o.compressed = true;
        QVERIFY(synth::makeMovie(o).isEmpty() && !synth::makeSingleFrameFile(o).isEmpty());
        // A single frame file is frame 1 of a movie.
        o.version = 4;
        QCOMPARE(synth::makeSingleFrameFile(o), synth::makeMovie(o));
        QVERIFY(!synth::writeFile(testsupport::scratchDir() + "/no/such/dir/x.thr", "VELM"));
    }

    // ---- Telemetry ---------------------------------------------------------

    // GGA, GSA, RMC and VTG, each with its XOR checksum; minutes that round up to
    // 60 carry into the degrees.
    void nmea_data() {
        QTest::addColumn<QList<double>>("position");
        QTest::addColumn<QString>("expected"); // talker, position
        QTest::newRow("north east")
            << QList<double>{48.1173, 11.516666666667} << "GP 4807.0380,N,01131.0000,E";
        QTest::newRow("south west")
            << QList<double>{-33.5, -70.25} << "GN 3330.0000,S,07015.0000,W";
        QTest::newRow("carry") << QList<double>{47.99999999, 7.999999999}
                               << "GP 4800.0000,N,00800.0000,E";
    }
    void nmea() {
        QCOMPARE(synth::nmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,"
                                     "003.1,W"),
                 QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A"
                            "\r\n"));
        QFETCH(QList<double>, position);
        QFETCH(QString, expected);
        const QByteArray t = expected.left(2).toLatin1(), at = expected.mid(3).toLatin1();
        // 11.52 m/s are 22.39 knots and 41.47 km/h; eight satellites fill eight of
        // the twelve GSA slots.
        const QDateTime time(QDate(1994, 3, 23), QTime(12, 35, 19, 509), Qt::UTC);
        const synth::FlightState s{position[0], position[1], 545.44, 84.4, 81.8, 11.52,
                                   0,           0,           0,      8,    time};
        QCOMPARE(
            synth::nmeaBlock(s, t),
            synth::nmeaSentence(t + "GGA,123519.50," + at + ",1,08,0.9,545.4,M,47.3,M,,") +
                synth::nmeaSentence(t + "GSA,A,3,02,05,08,11,14,17,20,23,,,,,1.8,0.9,1.6") +
                synth::nmeaSentence(t + "RMC,123519.50,A," + at + ",022.4,084.4,230394,002.6,E,A") +
                synth::nmeaSentence(t + "VTG,084.4,T,081.8,M,022.4,N,041.5,K,A"));
    }

    void mavlink() {
        // the published check value of CRC-16/MCRF4XX
        QCOMPARE(synth::x25Crc("123456789"), 0x6F91);
        // HEARTBEAT, sequence 7, system 1, component 1; the CRC over 09 07 01 01 00,
        // the payload and CRC_EXTRA 50 is 0xD5D0 (worked bit by bit)
        QCOMPARE(synth::mavlinkFrame(0, QByteArray::fromHex("040000000203d90403"), 7).toHex(),
                 QByteArray("fe0907010100040000000203d90403d0d5"));
        // HEARTBEAT, SYSTEM_TIME, GPS_RAW_INT, ATTITUDE and GLOBAL_POSITION_INT with
        // sequence numbers from 250 and their CRC_EXTRA 50, 137, 24, 39 and 104.
        const QDateTime time(QDate(2016, 5, 31), QTime(14, 24, 23, 250), Qt::UTC);
        const synth::FlightState s{48.1173, 11.5166667, 545.4, 90, 0, 8, 0, 0, 90, 9, time};
        QByteArray carry, none;
        const QByteArray block = synth::mavlinkBlock(s, 5000, carry, false, 1978, 250);
        QString heads; // frames of 17, 20, 38, 36 and 36 bytes
        for (int p : {0, 17, 37, 75, 111})
            heads += block.mid(p, 6).toHex() + " ";
        QCOMPARE(heads, "fe09fa010100 fe0cfb010102 fe1efc010118 fe1cfd01011e fe1cfe010121 ");
        QVERIFY(block.size() == 147 && carry.isEmpty());
        // (The checksums of these frames are checked where the telemetry tests
        // decode frames built here.)
        QCOMPARE(QList<int>({synth::mavlinkCrcExtra(0), synth::mavlinkCrcExtra(2),
                             synth::mavlinkCrcExtra(24), synth::mavlinkCrcExtra(30),
                             synth::mavlinkCrcExtra(33)}),
                 QList<int>({50, 137, 24, 39, 104}));
        // SYSTEM_TIME: 1,464,704,663.25 s since the epoch in microseconds, boot ms
        // 5000; GPS_RAW_INT: boot ms x 1000, satellites (at 29) 9; GLOBAL_POSITION_INT:
        // boot ms, latitude and longitude x 1e7, altitude in mm, heading 9000 (at 26).
        QCOMPARE(block.mid(23, 12).toHex() + " " + block.mid(43, 8).toHex() +
                     block.mid(72, 1).toHex() + " " + block.mid(117, 16).toHex() +
                     block.mid(143, 2).toHex(),
                 QByteArray("506427212434050088130000 404b4c000000000009 "
                            "88130000081eae1ccb4ddd06785208002823"));
        // a bound of 60 bytes leaves room for HEARTBEAT and SYSTEM_TIME only
        QCOMPARE(synth::mavlinkBlock(s, 5000, carry, false, 60, 0).size(), 37);
        // A block that ends inside GLOBAL_POSITION_INT: zeros, then the frame's first
        // 18 bytes; the next block starts with the other 18, then its own frames.
        const QByteArray first = synth::mavlinkBlock(s, 1000, carry, true, 400, 0);
        QCOMPARE(carry.size(), 18);
        const QByteArray second = synth::mavlinkBlock(s, 2000, carry, true, 400, 5);
        QCOMPARE(first.mid(111) + second.mid(18, 3),
                 QByteArray(271, 0) + first.right(18) + QByteArray::fromHex("fe0905"));
        // the two halves are the whole frame, with the first block's time
        QCOMPARE(first.right(18) + second.left(18),
                 synth::mavlinkBlock(s, 1000, none, false, 400, 0).right(36));
        // without room for the half frame nothing is split
        QVERIFY(synth::mavlinkBlock(s, 3000, none, true, 10, 0).isEmpty() && none.isEmpty());
    }

    // Records #1 to #8 of one frame, each with the fields it requires and its
    // checksum (255 minus the byte sum from "#" through the last comma), then the
    // next frame's #1. GPS week 1,900 and 345,600,000 ms give 2016-06-08 23:59:45
    // UTC; the ECEF position of 0 N 0 E is 6,378,137 m on the x axis; pitch 0.5 rad.
    void mdDownlink() {
        // "#99," sums to 193; "#7,0.01,-0.02,1.57," to 897, 129 mod 256
        QCOMPARE(synth::mdRecord(99, {}) + synth::mdRecord(7, {"0.01", "-0.02", "1.57"}),
                 QByteArray("#99,62\r\n#7,0.01,-0.02,1.57,126\r\n"));
        const QDateTime time(QDate(2016, 6, 8), QTime(23, 59, 45), Qt::UTC);
        const synth::FlightState s{0, 0, 0, 0, 0, 0, 0, 28.64788975654116, 180, 11, time};
        QList<QByteArray> lines = synth::mdDownlinkBlock(s).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QString counts; // fields per record, each line as mdRecord writes it
        for (int i = 0; i < lines.size(); ++i) {
            const QList<QByteArray> f = lines[i].chopped(1).split(',');
            QCOMPARE(lines[i] + '\n', synth::mdRecord(i % 8 + 1, {f.begin() + 1, f.end() - 1}));
            counts += QString::number(f.size() - 2) + ' ';
        }
        QCOMPARE(counts + lines[3].left(23) + lines[4].left(17) + lines[6].left(30),
                 "10 14 4 4 5 4 3 3 10 #4,3,345600000,1900,11,#5,637813700,0,0,"
                 "#7,0.000000,0.500000,3.141593,");
        QCOMPARE(lines[8], lines[0]);
    }
};

QTEST_GUILESS_MAIN(TestSynth)
#include "tst_synth.moc"
