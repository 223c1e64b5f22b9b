#include "support/TestSupport.h"
#include "telemetry/MAVService.h"
#include "telemetry/TelemetryBlocks.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <vector>

using namespace blocks;

namespace {

MAVService parse(const QByteArray& bytes) {
    MAVFramingState state;
    return MAVService(reinterpret_cast<const unsigned char*>(bytes.constData()),
                      (unsigned long)bytes.size(), state);
}

struct FoundFrame {
    int msgid;
    int seq;
    int sysid;
    int compid;
    int length;
    bool operator==(const FoundFrame& o) const {
        return msgid == o.msgid && seq == o.seq && sysid == o.sysid && compid == o.compid &&
               length == o.length;
    }
};

QString describe(const std::vector<FoundFrame>& frames) {
    QStringList parts;
    for (const FoundFrame& f : frames)
        parts << QStringLiteral("%1/%2/%3/%4/%5")
                     .arg(f.msgid)
                     .arg(f.seq)
                     .arg(f.sysid)
                     .arg(f.compid)
                     .arg(f.length);
    return parts.join(QLatin1Char(' '));
}

FoundFrame fromJson(const QJsonObject& o) {
    return {o.value("msgid").toInt(), o.value("seq").toInt(), o.value("sysid").toInt(),
            o.value("compid").toInt(), o.value("payload_length").toInt()};
}

} // namespace

class TestMavlink : public QObject {
    Q_OBJECT
private slots:
    void checksum();
    void crcExtraTable_data();
    void crcExtraTable();
    void positionScaling_data();
    void positionScaling();
    void positionOrdering_data();
    void positionOrdering();
    void satellitesAndClock();
    void badChecksumThenGoodFrame();
    void mavlink2Skipped();
    void splitFrameAcrossBlocks();
    void programWideState();
    void shortPayloadReadsZero();
    void unknownIdAndRestartAtEndingByte();
    void falseStartSwallowsClaimedLength();
    void longFrameCutAnywhere();
    void randomBytes();
    void realBlocks();
    void realSplitPair();
};

void TestMavlink::checksum() {
    uint16_t crc = 0xFFFF;
    for (const char c : QByteArray("123456789"))
        crc = MAVService::accumulateChecksum(uint8_t(c), crc);
    QCOMPARE(crc, uint16_t(0x6F91)); // the published check value of CRC-16/MCRF4XX

    // A HEARTBEAT written by a MAVLink library: the checksum bytes 70 89.
    const QByteArray heartbeat = QByteArray::fromHex("fe0900010100050000000203d904037089");
    crc = 0xFFFF;
    for (int i = 1; i < heartbeat.size() - 2; ++i)
        crc = MAVService::accumulateChecksum(uint8_t(heartbeat[i]), crc);
    crc = MAVService::accumulateChecksum(50, crc);
    QCOMPARE(crc, uint16_t(0x8970));
}

void TestMavlink::crcExtraTable_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("extra");
    QTest::newRow("HEARTBEAT") << 0 << true << 50;
    QTest::newRow("SYS_STATUS") << 1 << true << 124;
    QTest::newRow("SYSTEM_TIME") << 2 << true << 137;
    QTest::newRow("GPS_RAW_INT") << 24 << true << 24;
    QTest::newRow("ATTITUDE") << 30 << true << 39;
    QTest::newRow("GLOBAL_POSITION_INT") << 33 << true << 104;
    QTest::newRow("VFR_HUD") << 74 << true << 20;
    QTest::newRow("STATUSTEXT") << 253 << true << 83;
    QTest::newRow("no message 3") << 3 << false << 0;
    QTest::newRow("dialect id 150") << 150 << false << 0;
    QTest::newRow("no message 255") << 255 << false << 0;
}

void TestMavlink::crcExtraTable() {
    QFETCH(int, id);
    QFETCH(bool, known);
    QFETCH(int, extra);
    uint8_t got = 0;
    QCOMPARE(MAVService::crcExtra(uint8_t(id), got), known);
    if (known)
        QCOMPARE(int(got), extra);
}

void TestMavlink::positionScaling_data() {
    QTest::addColumn<int>("lat");
    QTest::addColumn<int>("lon");
    QTest::addColumn<int>("alt");
    QTest::addColumn<int>("hdg");
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<double>("altitude");
    QTest::addColumn<double>("heading");
    QTest::newRow("worked example")
        << 481173000 << 115166667 << 545400 << 9000 << 48.1173 << 11.5166667 << 545.4 << 90.0;
    QTest::newRow("no heading") << 481173000 << 115166667 << 545400 << 65535 << 48.1173
                                << 11.5166667 << 545.4 << 655.35;
    QTest::newRow("south west below sea level")
        << -337000000 << -1512000000 << -430000 << 0 << -33.7 << -151.2 << -430.0 << 0.0;
    QTest::newRow("extremes") << 900000000 << -1800000000 << int(INT32_MIN) << 35999 << 90.0
                              << -180.0 << -2147483.648 << 359.99;
}

void TestMavlink::positionScaling() {
    QFETCH(int, lat);
    QFETCH(int, lon);
    QFETCH(int, alt);
    QFETCH(int, hdg);
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(double, altitude);
    QFETCH(double, heading);
    const MAVService s = parse(frame(33, globalPosition(1000, lat, lon, alt, uint16_t(hdg))));
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), latitude);
    QCOMPARE(s.getLongitude(), longitude);
    QCOMPARE(s.getAltitude(), altitude);
    QCOMPARE(s.getHdg(), heading);
    QCOMPARE(s.getVisibleSatellites(), 0u);
    QCOMPARE(s.getUnixTimestamp(), 0ull);
}

void TestMavlink::positionOrdering_data() {
    QTest::addColumn<QList<uint>>("keys");
    QTest::addColumn<int>("taken"); // index of the frame whose values win, -1: none
    QTest::newRow("5000 then 4000") << QList<uint>{5000, 4000} << 0;
    QTest::newRow("4000 then 5000") << QList<uint>{4000, 5000} << 1;
    QTest::newRow("equal keys: the first") << QList<uint>{7, 7} << 0;
    QTest::newRow("key 0 never") << QList<uint>{0} << -1;
    QTest::newRow("key 0 then 1") << QList<uint>{0, 1} << 1;
    QTest::newRow("greatest unsigned key") << QList<uint>{4294967295u, 5, 4294967294u} << 0;
}

void TestMavlink::positionOrdering() {
    QFETCH(QList<uint>, keys);
    QFETCH(int, taken);
    QByteArray block;
    for (int i = 0; i < keys.size(); ++i)
        block += frame(33, globalPosition(keys[i], (i + 1) * 10000000, 0, 0, 0), uint8_t(i));
    const MAVService s = parse(block);
    QCOMPARE(s.isValid(), taken >= 0);
    QCOMPARE(s.getLatitude(), taken >= 0 ? double(taken + 1) : 0.0);
}

void TestMavlink::satellitesAndClock() {
    QByteArray block;
    // time_usec compared in all 64 bits: 2^32 beats 4294967295 and 5.
    block += frame(24, gpsRaw(5, 7));
    block += frame(24, gpsRaw(uint64_t(1) << 32, 9));
    block += frame(24, gpsRaw(4294967295ull, 11));
    block += frame(2, systemTime(1465430385999999ull, 10));
    block += frame(2, systemTime(1000000ull, 5));
    MAVService withoutPosition = parse(block);
    QVERIFY(!withoutPosition.isValid());
    QCOMPARE(withoutPosition.getVisibleSatellites(), 9u);
    QCOMPARE(withoutPosition.getUnixTimestamp(), 1465430385ull);

    const MAVService zeroKey = parse(frame(24, gpsRaw(0, 12)) + frame(2, systemTime(5000000, 0)));
    QCOMPARE(zeroKey.getVisibleSatellites(), 0u);
    QCOMPARE(zeroKey.getUnixTimestamp(), 0ull);
}

void TestMavlink::badChecksumThenGoodFrame() {
    QByteArray bad = frame(33, globalPosition(9000, 10000000, 0, 0, 0));
    bad[bad.size() - 2] = char(bad[bad.size() - 2] ^ 0x01);
    QByteArray flipped = frame(33, globalPosition(8000, 30000000, 0, 0, 0));
    flipped[10] = char(flipped[10] ^ 0x40); // a payload bit
    const QByteArray good = frame(33, globalPosition(1000, 20000000, 0, 0, 0));
    const MAVService s = parse(bad + flipped + good);
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), 2.0);
    QVERIFY(!parse(bad).isValid());
}

void TestMavlink::mavlink2Skipped() {
    // A MAVLink 2 frame carrying a GLOBAL_POSITION_INT payload (no 0xFE in it).
    QByteArray v2;
    v2 += char(0xFD);
    v2 += char(28);
    v2 += char(0); // incompatible flags
    v2 += char(0); // compatible flags
    v2 += char(4); // seq
    v2 += char(1);
    v2 += char(1);
    putLE(v2, 33, 3);
    v2 += globalPosition(9000, 10000000, 0, 0, 0);
    putLE(v2, crcBitwise(v2.mid(1) + char(104)), 2);
    QVERIFY(!v2.contains(char(0xFE)));
    QVERIFY(!parse(v2).isValid());
    const MAVService s = parse(v2 + frame(33, globalPosition(1, 20000000, 0, 0, 0)));
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), 2.0);
}

void TestMavlink::splitFrameAcrossBlocks() {
    const QByteArray whole = frame(33, globalPosition(1101000, 474030300, 85510600, 536050, 13600));
    const QByteArray first = frame(24, gpsRaw(10, 8)) + whole.left(15);
    const QByteArray second = whole.mid(15) + frame(30, QByteArray(28, '\x01'));
    MAVFramingState state;
    const MAVService a(reinterpret_cast<const unsigned char*>(first.constData()),
                       (unsigned long)first.size(), state);
    QVERIFY(!a.isValid());
    QCOMPARE(a.getVisibleSatellites(), 8u);
    const MAVService b(reinterpret_cast<const unsigned char*>(second.constData()),
                       (unsigned long)second.size(), state);
    QVERIFY(b.isValid());
    QCOMPARE(b.getLatitude(), 47.40303);
    QCOMPARE(b.getLongitude(), 8.55106);
    QCOMPARE(b.getAltitude(), 536.05);
    QCOMPARE(b.getHdg(), 136.0);
    QCOMPARE(b.getVisibleSatellites(), 0u); // keys start again for every block

    // Without the first part, the tail alone yields nothing.
    QVERIFY(!parse(second).isValid());
}

void TestMavlink::programWideState() {
    MAVService::programFramingState() = MAVFramingState();
    QByteArray whole = frame(33, globalPosition(5, 10000000, 0, 0, 0));
    QByteArray first = whole.left(20);
    QByteArray second = whole.mid(20);
    QVERIFY(!MAVService(reinterpret_cast<unsigned char*>(first.data()), (unsigned long)first.size())
                 .isValid());
    // Another parser's state in between does not disturb the program's.
    MAVFramingState other;
    MAVService(reinterpret_cast<const unsigned char*>(whole.constData()), 3, other);
    const MAVService s(reinterpret_cast<unsigned char*>(second.data()),
                       (unsigned long)second.size());
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), 1.0);
    QCOMPARE(int(MAVService::programFramingState().step), int(MAVFramingState::Step::Idle));
}

void TestMavlink::shortPayloadReadsZero() {
    // A full frame first leaves non-zero bytes in the assembly buffer.
    const QByteArray full = frame(33, globalPosition(1, 10000000, 20000000, 3000, 4000));
    const QByteArray eight = frame(33, globalPosition(2, 50000000, 20000000, 3000, 4000).left(8));
    const MAVService s = parse(full + eight);
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), 5.0);
    QCOMPARE(s.getLongitude(), 0.0);
    QCOMPARE(s.getAltitude(), 0.0);
    QCOMPARE(s.getHdg(), 0.0);

    // Six bytes: the key and half of the latitude (0x0000C350 = 50000).
    const QByteArray six = frame(33, globalPosition(3, 0x1234C350, 0, 0, 0).left(6));
    QCOMPARE(parse(six).getLatitude(), 0.005);
    // No payload at all: the key is 0 and the frame is never taken.
    QVERIFY(!parse(frame(33, QByteArray())).isValid());
}

void TestMavlink::unknownIdAndRestartAtEndingByte() {
    const QByteArray good = frame(33, globalPosition(1, 10000000, 0, 0, 0));
    // Message 3 has no CRC_EXTRA, so its candidate cannot be verified and is
    // dropped. Its two checksum bytes are 00 and the 0xFE of the good frame:
    // that ending byte starts the good frame again.
    const QByteArray unknownHeader = QByteArray::fromHex("fe0000010103");
    const MAVService restarted = parse(unknownHeader + QByteArray(1, '\0') + good);
    QVERIFY(restarted.isValid());
    QCOMPARE(restarted.getLatitude(), 1.0);
    // Without the 00, the good frame's start byte is taken as the low checksum
    // byte and its length byte ends the candidate: the good frame is lost.
    QVERIFY(!parse(unknownHeader + good).isValid());

    // An unknown id is skipped whole, whatever checksum it carries.
    const QByteArray body = QByteArray::fromHex("02000101034142");
    const uint16_t crc = crcBitwise(body);
    QVERIFY(uint8_t(crc >> 8) != 0xFE);
    QByteArray unknownFrame = QByteArray(1, char(0xFE)) + body;
    putLE(unknownFrame, crc, 2);
    QVERIFY(parse(unknownFrame + good).isValid());
}

void TestMavlink::falseStartSwallowsClaimedLength() {
    // A stray 0xFE claiming 32 payload bytes consumes the next 38 bytes: the
    // 36-byte frame behind it and two more. Only the second copy is found.
    const QByteArray lost = frame(33, globalPosition(1000, 10000000, 0, 0, 0));
    const QByteArray found = frame(33, globalPosition(500, 20000000, 0, 0, 0));
    QCOMPARE(lost.size(), 36);
    const QByteArray block = QByteArray::fromHex("fe20") + lost + QByteArray(2, '\0') + found;
    const MAVService s = parse(block);
    QVERIFY(s.isValid());
    QCOMPARE(s.getLatitude(), 2.0);
}

void TestMavlink::longFrameCutAnywhere() {
    QByteArray payload = globalPosition(77, -10000000, 0, 0, 0);
    payload += QByteArray(255 - payload.size(), char(0xFE));
    const QByteArray whole = frame(33, payload);
    QCOMPARE(whole.size(), 263);
    for (int cut = 0; cut <= whole.size(); ++cut) {
        MAVFramingState state;
        std::vector<unsigned char> head(whole.begin(), whole.begin() + cut);
        std::vector<unsigned char> tail(whole.begin() + cut, whole.end());
        const MAVService a(head.data(), head.size(), state);
        QCOMPARE(a.isValid(), cut == whole.size());
        const MAVService b(tail.data(), tail.size(), state);
        QCOMPARE(b.isValid(), cut < whole.size());
        QCOMPARE(a.isValid() ? a.getLatitude() : b.getLatitude(), -1.0);
    }
}

void TestMavlink::randomBytes() {
    QRandomGenerator rng(11);
    MAVFramingState state;
    for (int round = 0; round < 300; ++round) {
        std::vector<unsigned char> bytes(rng.bounded(1, 4000));
        for (unsigned char& b : bytes)
            b = rng.bounded(8u) == 0 ? 0xFE : uint8_t(rng.bounded(256u));
        const MAVService s(bytes.data(), bytes.size(), state);
        QVERIFY(std::fabs(s.getLatitude()) <= 214.7483648);
    }
    // A null block with a length reads nothing.
    MAVFramingState fresh;
    QVERIFY(!MAVService(nullptr, 100, fresh).isValid());
    QCOMPARE(int(fresh.step), int(MAVFramingState::Step::Idle));
}

namespace {

QJsonObject loadExpected(const QString& dir) {
    QFile f(dir + QStringLiteral("/expected.json"));
    if (!f.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(f.readAll()).object();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Expected {
    bool valid = false;
    double latitude = 0, longitude = 0, altitude = 0, hdg = 0;
    uint32_t satellites = 0;
    uint64_t unixTimestamp = 0;
};

// The ordering rule applied to the library's decoded fields.
Expected pick(const std::vector<QJsonObject>& frames) {
    Expected e;
    uint32_t posKey = 0, timeKey = 0;
    uint64_t gpsKey = 0;
    for (const QJsonObject& f : frames) {
        const QJsonObject v = f.value("fields").toObject();
        const int id = f.value("msgid").toInt();
        if (id == 33) {
            const uint32_t key = uint32_t(v.value("time_boot_ms").toDouble());
            if (key > posKey) {
                posKey = key;
                e.valid = true;
                e.latitude = v.value("lat").toDouble() / 10000000.0;
                e.longitude = v.value("lon").toDouble() / 10000000.0;
                e.altitude = v.value("alt").toDouble() / 1000.0;
                e.hdg = v.value("hdg").toDouble() / 100.0;
            }
        } else if (id == 24) {
            const uint64_t key = v.value("time_usec").toString().toULongLong();
            if (key > gpsKey) {
                gpsKey = key;
                e.satellites = uint32_t(v.value("satellites_visible").toInt());
            }
        } else if (id == 2) {
            const uint32_t key = uint32_t(v.value("time_boot_ms").toDouble());
            if (key > timeKey) {
                timeKey = key;
                e.unixTimestamp = v.value("time_unix_usec").toString().toULongLong() / 1000000u;
            }
        }
    }
    return e;
}

void feed(const QByteArray& bytes, MAVFramingState& state, MAVService*& out,
          std::vector<FoundFrame>& found) {
    out = new MAVService(
        reinterpret_cast<const unsigned char*>(bytes.constData()), (unsigned long)bytes.size(),
        state, [&found](const MAVFramingState& f) {
            found.push_back({f.messageId, f.sequence, f.systemId, f.componentId, f.length});
        });
}

} // namespace

void TestMavlink::realBlocks() {
    const QString dir = testsupport::sharedTestData(QStringLiteral("mavlink"));
    if (dir.isEmpty())
        QSKIP("shared/testdata/mavlink is absent: the library-made MAVLink blocks were not parsed");
    const QJsonArray blocks = loadExpected(dir).value("blocks").toArray();
    QCOMPARE(blocks.size(), 9);
    int lostFlagged = 0;
    for (const QJsonValue& bv : blocks) {
        const QJsonObject block = bv.toObject();
        const QString name = block.value("file").toString();
        const QByteArray bytes = readFile(dir + QLatin1Char('/') + name);
        QCOMPARE(bytes.size(), block.value("size").toInt());

        std::vector<FoundFrame> want;
        std::vector<QJsonObject> wantObjects;
        for (const QJsonValue& fv : block.value("frames").toArray()) {
            const QJsonObject f = fv.toObject();
            if (f.value("lost_by_length_skipping_parser").toBool()) {
                ++lostFlagged;
                continue;
            }
            want.push_back(fromJson(f));
            wantObjects.push_back(f);
        }
        MAVFramingState state;
        std::vector<FoundFrame> found;
        MAVService* service = nullptr;
        feed(bytes, state, service, found);
        std::unique_ptr<MAVService> owner(service);
        QVERIFY2(found == want, qPrintable(name + QStringLiteral("\n found: ") + describe(found) +
                                           QStringLiteral("\n want:  ") + describe(want)));

        const Expected e = pick(wantObjects);
        QVERIFY2(service->isValid() == e.valid, qPrintable(name));
        QCOMPARE(service->getLatitude(), e.latitude);
        QCOMPARE(service->getLongitude(), e.longitude);
        QCOMPARE(service->getAltitude(), e.altitude);
        QCOMPARE(service->getHdg(), e.hdg);
        QCOMPARE(service->getVisibleSatellites(), e.satellites);
        QCOMPARE(service->getUnixTimestamp(), e.unixTimestamp);
    }
    QCOMPARE(lostFlagged, 9);
}

void TestMavlink::realSplitPair() {
    const QString dir = testsupport::sharedTestData(QStringLiteral("mavlink"));
    if (dir.isEmpty())
        QSKIP("shared/testdata/mavlink is absent: the split b08a/b08b pair was not parsed");
    const QJsonObject expected = loadExpected(dir);
    const QJsonObject pair = expected.value("pairs").toArray().at(0).toObject();
    const QJsonArray files = pair.value("files").toArray();
    QCOMPARE(files.size(), 2);

    std::vector<FoundFrame> want;
    for (const QJsonValue& bv : expected.value("blocks").toArray()) {
        const QJsonObject block = bv.toObject();
        if (block.value("file") == files.at(0)) {
            for (const QJsonValue& fv : block.value("frames").toArray())
                want.push_back(fromJson(fv.toObject()));
            want.push_back(fromJson(pair.value("split_frame").toObject()));
        }
    }
    for (const QJsonValue& bv : expected.value("blocks").toArray()) {
        const QJsonObject block = bv.toObject();
        if (block.value("file") == files.at(1))
            for (const QJsonValue& fv : block.value("frames").toArray())
                want.push_back(fromJson(fv.toObject()));
    }
    QCOMPARE(int(want.size()), pair.value("frames_when_concatenated").toInt());

    MAVFramingState state;
    std::vector<FoundFrame> found;
    MAVService* first = nullptr;
    MAVService* second = nullptr;
    feed(readFile(dir + QLatin1Char('/') + files.at(0).toString()), state, first, found);
    std::unique_ptr<MAVService> ownFirst(first);
    const size_t afterFirst = found.size();
    feed(readFile(dir + QLatin1Char('/') + files.at(1).toString()), state, second, found);
    std::unique_ptr<MAVService> ownSecond(second);
    QVERIFY2(found == want, qPrintable(QStringLiteral("found: ") + describe(found) +
                                       QStringLiteral("\nwant:  ") + describe(want)));
    // The split frame is completed by the second block.
    QCOMPARE(found[afterFirst].msgid, 33);
    // Its values are then ranked with those of the second block.
    std::vector<QJsonObject> secondFrames{pair.value("split_frame").toObject()};
    for (const QJsonValue& bv : expected.value("blocks").toArray())
        if (bv.toObject().value("file") == files.at(1))
            for (const QJsonValue& fv : bv.toObject().value("frames").toArray())
                secondFrames.push_back(fv.toObject());
    const Expected e = pick(secondFrames);
    QVERIFY(e.valid);
    QVERIFY(second->isValid());
    QCOMPARE(second->getLatitude(), e.latitude);
    QCOMPARE(second->getLongitude(), e.longitude);
    QCOMPARE(second->getAltitude(), e.altitude);
    QCOMPARE(second->getHdg(), e.hdg);
}

QTEST_GUILESS_MAIN(TestMavlink)
#include "tst_mavlink.moc"
