#include "support/TestSupport.h"
#include "telemetry/MAVService.h"
#include "telemetry/TelemetryBlocks.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace blocks;

namespace {

// valid latitude longitude altitude heading satellites unix-seconds
QString show(bool valid, double lat, double lon, double alt, double hdg, qulonglong sats,
             qulonglong unix) {
    return blocks::format("%d %.12g %.12g %.12g %.12g %llu %llu", valid, lat, lon, alt, hdg, sats,
                          unix);
}

// Parses bytes with the given framing state; found collects every frame with a
// good checksum as "msgid/seq/sysid/compid/length".
QString parse(const QByteArray& bytes, MAVFramingState& state, QStringList* found = nullptr) {
    const MAVService s(reinterpret_cast<const unsigned char*>(bytes.constData()),
                       (unsigned long)bytes.size(), state, [found](const MAVFramingState& f) {
                           if (found)
                               *found << blocks::format("%d/%d/%d/%d/%d", f.messageId, f.sequence,
                                                        f.systemId, f.componentId, f.length);
                       });
    return show(s.isValid(), s.getLatitude(), s.getLongitude(), s.getAltitude(), s.getHdg(),
                s.getVisibleSatellites(), s.getUnixTimestamp());
}

QByteArray position(uint32_t key, int32_t lat) {
    return frame(33, globalPosition(key, lat, 0, 0, 0));
}

QByteArray flipped(QByteArray bytes, int at) {
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
}

} // namespace

class TestMavlink : public QObject {
    Q_OBJECT
private slots:
    void checksum();
    void blocks_data();
    void blocks();
    void longFrameCutAnywhere();
    void realBlocks();
};

void TestMavlink::checksum() {
    uint16_t crc = 0xFFFF;
    for (const char c : QByteArray("123456789"))
        crc = MAVService::accumulateChecksum(uint8_t(c), crc);
    QCOMPARE(crc, uint16_t(0x6F91)); // the published check value of CRC-16/MCRF4XX
    // Seeds of the common set beyond the messages of the real blocks:
    // SYS_STATUS, VFR_HUD, STATUSTEXT; no message 3 or 150.
    uint8_t a = 0, b = 0, c = 0, none = 0;
    QVERIFY(MAVService::crcExtra(1, a) && MAVService::crcExtra(74, b) &&
            MAVService::crcExtra(253, c));
    QCOMPARE(blocks::format("%d %d %d", a, b, c), QStringLiteral("124 20 83"));
    QVERIFY(!MAVService::crcExtra(3, none) && !MAVService::crcExtra(150, none));
}

void TestMavlink::blocks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("want");
    QTest::newRow("worked example")
        << frame(33, globalPosition(1000, 481173000, 115166667, 545400, 9000))
        << "1 48.1173 11.5166667 545.4 90 0 0";
    QTest::newRow("no heading, south, west, below sea level")
        << frame(33, globalPosition(1000, -337000000, -1512000000, -430000, 65535))
        << "1 -33.7 -151.2 -430 655.35 0 0";
    QTest::newRow("5000 then 4000: the first")
        << position(5000, 10000000) + position(4000, 20000000) << "1 1 0 0 0 0 0";
    QTest::newRow("equal keys: the first")
        << position(7, 10000000) + position(7, 20000000) << "1 1 0 0 0 0 0";
    QTest::newRow("greatest unsigned key")
        << position(5, 10000000) + position(4294967295u, 20000000) + position(4294967294u, 30000000)
        << "1 2 0 0 0 0 0";
    // time_usec in all 64 bits: 2^32 beats 4294967295 and 5; seconds are
    // whole microseconds / 1,000,000.
    QTest::newRow("satellites and clock without position")
        << frame(24, gpsRaw(5, 7)) + frame(24, gpsRaw(uint64_t(1) << 32, 9)) +
               frame(24, gpsRaw(4294967295u, 11)) + frame(2, systemTime(1465430385999999, 10)) +
               frame(2, systemTime(1000000, 5))
        << "0 0 0 0 0 9 1465430385";
    QTest::newRow("key 0 never taken")
        << position(0, 10000000) + frame(24, gpsRaw(0, 12)) + frame(2, systemTime(5000000, 0))
        << "0 0 0 0 0 0 0";
    QTest::newRow("bad checksum, flipped payload bit, then a good frame")
        << flipped(position(9000, 10000000), 34) + flipped(position(8000, 30000000), 10) +
               position(1000, 20000000)
        << "1 2 0 0 0 0 0";
    // A MAVLink 2 frame with a position payload (and no 0xFE in it).
    const QByteArray v2 =
        QByteArray::fromHex("fd1c0000040101210000") + globalPosition(9000, 10000000, 0, 0, 0);
    QTest::newRow("MAVLink 2 skipped")
        << v2 + le(crcBitwise(v2.mid(1) + 'h'), 2) + position(1, 20000000) << "1 2 0 0 0 0 0";
    // A full frame leaves bytes in the assembly buffer; the shorter payload
    // after it reads zeros beyond its length.
    QTest::newRow("short payload reads zero")
        << frame(33, globalPosition(1, 10000000, 20000000, 3000, 4000)) +
               frame(33, globalPosition(2, 50000000, 20000000, 3000, 4000).left(8))
        << "1 5 0 0 0 0 0";
    // Message 3 has no CRC_EXTRA: its candidate is dropped, and the byte that
    // ends it (0xFE of the next frame) starts a frame again.
    QTest::newRow("unknown id ended by a start byte")
        << QByteArray::fromHex("fe000001010300") + position(1, 10000000) << "1 1 0 0 0 0 0";
    // Without the 00 the next frame's length byte ends the candidate.
    QTest::newRow("unknown id swallows the next start")
        << QByteArray::fromHex("fe0000010103") + position(1, 10000000) << "0 0 0 0 0 0 0";
    // A stray 0xFE claiming 32 payload bytes consumes the next 38 bytes: the
    // 36-byte frame behind it and two more.
    QTest::newRow("false start swallows its claimed length")
        << QByteArray::fromHex("fe20") + position(1000, 10000000) + QByteArray(2, '\0') +
               position(500, 20000000)
        << "1 2 0 0 0 0 0";
}

void TestMavlink::blocks() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, want);
    MAVFramingState state;
    QCOMPARE(parse(bytes, state), want);
}

// A frame of 255 payload bytes (0xFE after the position fields) cut at every
// place: the part before the cut yields nothing, the second part completes it.
void TestMavlink::longFrameCutAnywhere() {
    const QByteArray payload = globalPosition(77, -10000000, 0, 0, 0);
    const QByteArray whole = frame(33, payload + QByteArray(255 - payload.size(), char(0xFE)));
    for (int cut = 0; cut <= whole.size(); ++cut) {
        MAVFramingState state;
        const QString head = parse(whole.left(cut), state);
        const QString tail = parse(whole.mid(cut), state);
        QCOMPARE(cut == whole.size() ? head : tail, QStringLiteral("1 -1 0 0 0 0 0"));
        QCOMPARE(cut == whole.size() ? tail : head, QStringLiteral("0 0 0 0 0 0 0"));
    }
}

namespace {

// The values the ordering rule takes from frames decoded by the library.
QString pick(const QJsonArray& frames) {
    double lat = 0, lon = 0, alt = 0, hdg = 0;
    qulonglong posKey = 0, gpsKey = 0, timeKey = 0, sats = 0, unix = 0;
    for (const QJsonValue& f : frames) {
        const QJsonValue v = f["fields"];
        const int id = f["msgid"].toInt();
        const qulonglong key = id == 24 ? v["time_usec"].toString().toULongLong()
                                        : qulonglong(v["time_boot_ms"].toDouble());
        if (id == 33 && key > posKey) {
            posKey = key;
            lat = v["lat"].toDouble() / 1e7;
            lon = v["lon"].toDouble() / 1e7;
            alt = v["alt"].toDouble() / 1e3;
            hdg = v["hdg"].toDouble() / 1e2;
        } else if (id == 24 && key > gpsKey) {
            gpsKey = key;
            sats = qulonglong(v["satellites_visible"].toInt());
        } else if (id == 2 && key > timeKey) {
            timeKey = key;
            unix = v["time_unix_usec"].toString().toULongLong() / 1000000u;
        }
    }
    return show(posKey > 0, lat, lon, alt, hdg, sats, unix);
}

QStringList described(const QJsonArray& frames) {
    QStringList out;
    for (const QJsonValue& f : frames)
        out << blocks::format("%d/%d/%d/%d/%d", f["msgid"].toInt(), f["seq"].toInt(),
                              f["sysid"].toInt(), f["compid"].toInt(), f["payload_length"].toInt());
    return out;
}

} // namespace

// Blocks written by a MAVLink library: every frame it lists must be found,
// except those that a parser skipping a rejected candidate's claimed length
// loses, and the b08a/b08b pair fed in order must yield the split frame.
void TestMavlink::realBlocks() {
    const QString dir = testsupport::sharedTestData(QStringLiteral("mavlink"));
    if (dir.isEmpty())
        QSKIP("shared/testdata/mavlink is absent: the library-made MAVLink blocks were not parsed");
    QFile file(dir + QStringLiteral("/expected.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object();
    const auto read = [&dir](const QString& name) {
        QFile f(dir + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QMap<QString, QJsonArray> framesOf;
    int lost = 0;
    for (const QJsonValue& block : expected["blocks"].toArray()) {
        QJsonArray& kept = framesOf[block["file"].toString()];
        for (const QJsonValue& f : block["frames"].toArray())
            f["lost_by_length_skipping_parser"].toBool() ? void(++lost) : kept.append(f);
        const QByteArray bytes = read(block["file"].toString());
        QCOMPARE(bytes.size(), block["size"].toInt());
        MAVFramingState state;
        QStringList found;
        QCOMPARE(parse(bytes, state, &found), pick(kept));
        QCOMPARE(found, described(kept));
    }
    QCOMPARE(framesOf.size(), 9);
    QCOMPARE(lost, 9);

    const QJsonValue pair = expected["pairs"][0];
    QJsonArray second{pair["split_frame"]}; // completed by the second block
    for (const QJsonValue& f : framesOf[pair["files"][1].toString()])
        second.append(f);
    MAVFramingState state;
    QStringList found;
    parse(read(pair["files"][0].toString()), state, &found);
    QCOMPARE(parse(read(pair["files"][1].toString()), state, &found), pick(second));
    QCOMPARE(found, described(framesOf[pair["files"][0].toString()]) + described(second));
    QCOMPARE(found.size(), pair["frames_when_concatenated"].toInt());
    QVERIFY(pick(second).startsWith('1'));
}

QTEST_GUILESS_MAIN(TestMavlink)
#include "tst_mavlink.moc"
