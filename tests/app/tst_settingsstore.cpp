// The settings store on its own, in a private per-user configuration folder.
#include "app/SettingsStore.h"
#include "support/TestSupport.h"

#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

namespace {

QSettings rawStore() {
    return QSettings(QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"));
}

// Every stored field, named, so that two value sets compare whole and a
// difference names the field.
QStringList fields(const kx::Settings& s) {
    const auto& c = s.conversion;
    const auto& e = s.exportSettings;
    const auto& t = s.telemetry;
    const auto& d = s.display;
    QStringList list;
    const auto add = [&list](const char* name, const QVariant& value) {
        list << QLatin1String(name) + '=' + value.toString();
    };
    add("legend", c.legendVisible);
    add("radiometry", c.radiometryOption);
    add("palette", c.colorMode);
    add("inverted", c.inverted);
    add("autoGain", c.autoGainEnabled);
    add("low", c.lowerRawBound);
    add("high", c.upperRawBound);
    add("percentage", c.percentageChange);
    add("rotation", c.rotation);
    add("serial", int(t.serialKind));
    add("metaCsv", e.metaCsv);
    add("hotspot", e.markHotspot);
    add("dragging", d.mouseDragging);
    add("metaRaw", e.metaRaw);
    add("delimiter", e.csvDelimiter);
    add("frameCounter", t.checkFrameCounter);
    add("hourOffset", t.hourOffset);
    add("drift", d.driftCompensationEnabled);
    add("scale", d.fusionScaleFactor);
    add("shiftX", d.fusionShiftX);
    add("shiftY", d.fusionShiftY);
    add("opacity", d.fusionOpacity);
    add("noUpdates", d.automaticUpdates);
    add("folder", d.lastBrowserFolder);
    return list;
}

// A value differing from its default in every field.
kx::Settings changedEverywhere() {
    kx::Settings s;
    s.conversion.legendVisible = false;
    s.conversion.radiometryOption = 2;
    s.conversion.colorMode = 3;
    s.conversion.inverted = true;
    s.conversion.autoGainEnabled = false;
    s.conversion.lowerRawBound = 1200;
    s.conversion.upperRawBound = 9000;
    s.conversion.percentageChange = 35;
    s.conversion.rotation = -90;
    s.telemetry.serialKind = ksDefines::MAVLink;
    s.exportSettings.metaCsv = true;
    s.exportSettings.markHotspot = true;
    s.display.mouseDragging = true;
    s.exportSettings.metaRaw = true;
    s.exportSettings.csvDelimiter = QStringLiteral(",");
    s.telemetry.checkFrameCounter = true;
    s.telemetry.hourOffset = -7;
    s.display.driftCompensationEnabled = false;
    s.display.fusionScaleFactor = 62.25;
    s.display.fusionShiftX = -36;
    s.display.fusionShiftY = 17;
    s.display.fusionOpacity = 80;
    s.display.automaticUpdates = true;
    s.display.lastBrowserFolder = QStringLiteral("/data/flights, day 2");
    return s;
}

QStringList defaultsWith(const QString& changedField) {
    QStringList expected = fields(kx::Settings());
    if (!changedField.isEmpty()) {
        const QString name = changedField.section('=', 0, 0) + '=';
        for (QString& field : expected) {
            if (field.startsWith(name))
                field = changedField;
        }
    }
    return expected;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QFile::remove(kx::SettingsStore().fileName());
        rawStore().sync(); // drop what the process cached of the removed file
    }

    void firstStartGivesTheDefaults() {
        const kx::Settings s = kx::SettingsStore().load();
        QCOMPARE(fields(s).mid(0, 10),
                 QString("legend=true radiometry=0 palette=0 inverted=false autoGain=true low=0 "
                         "high=16383 percentage=100 rotation=0 serial=0")
                     .split(' '));
        QCOMPARE(fields(s).mid(17),
                 QString("drift=true scale=49 shiftX=0 shiftY=0 opacity=50 noUpdates=false folder=")
                     .split(' '));
        // Reading does not create the store.
        QVERIFY(!QFile::exists(kx::SettingsStore().fileName()));
    }

    void restartRestoresEveryKey() {
        kx::SettingsStore().save(changedEverywhere());
        // Written under the names earlier versions read, as text in the
        // native file of this platform.
        QSettings raw = rawStore();
        QCOMPARE(raw.allKeys().size(), 26);
        QCOMPARE(raw.value("CSVDelimiter").toString(), QStringLiteral(","));
        QCOMPARE(raw.value("parseMAVLink").toString() + raw.value("parseNMEA").toString() +
                     raw.value("showHotSpot").toString() + raw.value("HourOffset").toString(),
                 QStringLiteral("truefalsetrue-7"));
        QCOMPARE(fields(kx::SettingsStore().load()), fields(changedEverywhere()));
        // And back to the defaults, which a store with everything set must give too.
        kx::SettingsStore().save(kx::Settings());
        QCOMPARE(fields(kx::SettingsStore().load()), fields(kx::Settings()));
    }

    void parseKeysChooseOneKind_data() {
        QTest::addColumn<QString>("checked"); // NMEA, md downlink, MAVLink
        QTest::addColumn<int>("kind");
        QTest::newRow("none") << "---" << int(ksDefines::NoSerialData);
        QTest::newRow("all: NMEA wins") << "xxx" << int(ksDefines::NMEA);
        QTest::newRow("NMEA and MAVLink") << "x-x" << int(ksDefines::NMEA);
        QTest::newRow("md and MAVLink") << "-xx" << int(ksDefines::MdDownlink);
        QTest::newRow("MAVLink") << "--x" << int(ksDefines::MAVLink);
    }
    void parseKeysChooseOneKind() {
        QFETCH(QString, checked);
        QFETCH(int, kind);
        QSettings raw = rawStore();
        raw.setValue("parseNMEA", checked[0] == 'x');
        raw.setValue("parseMdDownlink", checked[1] == 'x');
        raw.setValue("parseMAVLink", checked[2] == 'x');
        raw.sync();
        QCOMPARE(int(kx::SettingsStore().load().telemetry.serialKind), kind);
    }

    // A value the program cannot use falls back to the key's default; the
    // other keys are read as stored.
    void unusableValuesGiveTheDefault_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("loaded"); // the field as loaded; empty: all defaults
        const auto row = [](const char* name, const char* key, QVariant stored, const char* as) {
            QTest::newRow(name) << key << stored << as;
        };
        row("int holding text", "colorMode", "abc", "");
        row("int with trailing text", "lowRawValue", "12abc", "");
        row("int holding a bool", "percentageChange", true, "");
        row("palette beyond the list", "colorMode", 4, "");
        row("raw bound above 14 bits", "highRawValue", 16384, "");
        row("raw bound negative", "lowRawValue", -1, "");
        row("lower bound above upper", "lowRawValue", 16383, "");
        row("percentage above 100", "percentageChange", 101, "");
        row("hour offset beyond 12", "HourOffset", 13, "");
        row("bool holding a number", "displayLegend", "2", "");
        row("bool holding text", "autoGainEnabled", "maybe", "");
        row("double holding text", "fusionScaleFactor", "wide", "");
        row("double not finite", "fusionScaleFactor", "nan", "");
        row("empty delimiter", "CSVDelimiter", "", "");
        row("delimiter as a list", "CSVDelimiter", QStringList({"a", "b"}), "");
        row("angle the dialog lacks", "rotation", 45, "");
        row("270 is counter-clockwise", "rotation", 270, "rotation=-90");
        row("unknown radiometry kept", "radiometryOption", 7, "radiometry=7");
        row("bool in capitals", "colorInverted", "TRUE", "inverted=true");
        row("folder not text", "lastBrowserFolder", QStringList({"a", "b"}), "");
    }
    void unusableValuesGiveTheDefault() {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, loaded);
        QSettings raw = rawStore();
        raw.setValue(key, stored);
        raw.sync();
        QCOMPARE(fields(kx::SettingsStore().load()), defaultsWith(loaded));
    }

    void garbageStoreStartsLikeAFirstStart() {
        const QString fileName = kx::SettingsStore().fileName();
        QVERIFY(QDir().mkpath(QFileInfo(fileName).path()));
        QByteArray junk(8192, '\0');
        QRandomGenerator generator(11);
        for (char& c : junk)
            c = char(generator.bounded(256));
        // Lines that look like keys but hold nothing usable, among the bytes.
        junk += "\n[General]\ncolorMode=\"\ndisplayLegend=\\x\xff\nrotation=9,9\n[\n";
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(junk) == junk.size());
        file.close();
        rawStore().sync();
        QCOMPARE(fields(kx::SettingsStore().load()), fields(kx::Settings()));
        // The next save leaves a store that reads back whole.
        kx::SettingsStore().save(changedEverywhere());
        QCOMPARE(fields(kx::SettingsStore().load()), fields(changedEverywhere()));
    }
};

int main(int argc, char** argv) {
    // The user's own store is never read or written by a test.
    const QString config = testsupport::scratchDir() + QStringLiteral("/config");
    QDir().mkpath(config);
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
