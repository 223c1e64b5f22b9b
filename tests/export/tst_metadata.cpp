#include "MappingSupport.h"
#include "export/MetaDataWriter.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>
#include <cmath>

namespace {

// The frame worked out by hand in the line below.
kx::DecodedFrame knownFrame() {
    kx::DecodedFrame f = mapping::flightFrame(2, 16, 8);
    kx::Telemetry& t = f.telemetry;
    t.date = QStringLiteral("31.05.2016");
    t.time = QStringLiteral("14:24:23");
    t.latitude = 48.1173;
    t.longitude = 11.516667;
    t.roll = t.pitch = t.yaw = 0.0;
    t.altitude = 545.4;
    t.satellites = 9;
    t.trackHeading = 84.4f;
    t.magneticHeading = 80.0f;
    f.tempHousingCelsius = 35.5;
    f.tempFPACelsius = 30.3;
    return f;
}
const char* const kKnownLine = "31.05.2016;14:24:23;48.1173000000;11.5166670000;0.0000000000;"
                               "0.0000000000;0.0000000000;545.4000000000;9;84.4000015259;"
                               "80.0000000000;35.5000000000;30.2999992371\n";
const char* const kHeader = "Date;Time;Latitude;Longitude;Pitch;Roll;Yaw;Altitude;Satellites;"
                            "TrackHeading;MagneticHeading;TempHousing;TempFPA\n";

QStringList lines(const QString& name) {
    return QString::fromUtf8(testsupport::fileBytes(name)).split(QLatin1Char('\n'));
}

// Frames 1 to 3 of a flight, the second the known frame, through one writer.
QString exportThree(const QString& prefix, kx::MetaDataOptions options,
                    const QString& extension = QStringLiteral("tif")) {
    const QString dir = testsupport::freshDir(QStringLiteral("meta"));
    const kx::ExportNames names(dir, prefix);
    kx::MetaDataWriter writer(names, options);
    writer.start();
    for (int n = 1; n <= 3; ++n) {
        const kx::DecodedFrame f = n == 2 ? knownFrame() : mapping::flightFrame(n, 16, 8);
        if (!writer.writeMetaData(names.frameName(n), extension, f))
            qWarning("frame %d: %s", n, qPrintable(writer.lastError()));
    }
    return dir;
}

} // namespace

class TestMetaData : public QObject {
    Q_OBJECT
private slots:
    void csvLines() {
        QCOMPARE(kx::generateCsvHeader(), QString(kHeader));
        QCOMPARE(kx::generateCsvHeader().size(), 113);
        QCOMPARE(kx::generateCsvDataLineFromDataConverter(knownFrame()), QString(kKnownLine));
        // Without telemetry the line starts with two empty texts.
        kx::DecodedFrame empty;
        QVERIFY(kx::generateCsvDataLineFromDataConverter(empty).startsWith(";;0.0000000000;"));
    }

    void oneCsvForAllFrames() {
        const QString dir = exportThree("scan", {true, kx::MetaType::OneCsvForAllFrames, false});
        const QStringList l = lines(dir + "/scan_meta.csv");
        QCOMPARE(l.size(), 5); // header, three lines, nothing after the last line feed
        QCOMPARE(l[0] + '\n', QString(kHeader));
        QCOMPARE(l[2] + '\n', QString(kKnownLine));
        QCOMPARE(l[4], QString());
        // A second export starts the file afresh.
        exportThree("scan", {true, kx::MetaType::OneCsvForAllFrames, false});
        QCOMPARE(lines(dir + "/scan_meta.csv").size(), 5);
    }

    void oneCsvPerFrame() {
        const QString dir = exportThree("scan", {true, kx::MetaType::OneCsvPerFrame, true});
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 3);
        for (int n = 1; n <= 3; ++n)
            QCOMPARE(lines(dir + QStringLiteral("/scan_000%1_meta.csv").arg(n)).size(), 3);
        QCOMPARE(lines(dir + "/scan_0002_meta.csv"),
                 QString(QString(kHeader) + kKnownLine).split(QLatin1Char('\n')));
    }

    void pix4dList() {
        testsupport::Recorder recorder;
        const QString dir = exportThree("scan", {true, kx::MetaType::Pix4D, false});
        const QStringList l = lines(dir + "/scan_meta.csv");
        QCOMPARE(l.size(), 4);
        QVERIFY(l[1].startsWith("scan_0002.tif,48.1173000000,11.5166670000,545.4000000000,"));
        const QRegularExpression orientation(QStringLiteral("^-?0\\.\\d\\d$"));
        for (int i = 0; i < 3; ++i) {
            const QStringList values = l[i].split(QLatin1Char(','));
            QCOMPARE(values.size(), 7);
            QCOMPARE(values[0], QStringLiteral("scan_000%1.tif").arg(i + 1));
            for (int k = 4; k < 7; ++k) {
                QVERIFY2(orientation.match(values[k]).hasMatch(), qPrintable(values[k]));
                QVERIFY(std::fabs(values[k].toDouble()) <= 0.2);
            }
        }
        QCOMPARE(recorder.outLines(),
                 QStringList({"IFN: " + dir + "/scan_0001.tif", "IFN: " + dir + "/scan_0002.tif",
                              "IFN: " + dir + "/scan_0003.tif"}));
    }

    void kmlReadByXmlParser() {
        const QString prefix = QStringLiteral("a&b<c>\"d");
        const QString dir = testsupport::freshDir(QStringLiteral("kml"));
        const kx::ExportNames names(dir, prefix);
        std::vector<kx::DecodedFrame> frames;
        {
            kx::MetaDataWriter writer(names, {true, kx::MetaType::Kml, false});
            writer.start();
            for (int n = 1; n <= 4; ++n) {
                kx::DecodedFrame f = n == 2 ? knownFrame() : mapping::flightFrame(n, 16, 8);
                if (n == 4)
                    f.telemetry.latitude = std::nan(""); // left out, the file stays readable
                QCOMPARE(writer.writeMetaData(names.frameName(n), "jpg", f), n != 4);
                frames.push_back(f);
            }
            QCOMPARE(writer.failures(), 1);
            // The footer comes with the end of the writer.
        }
        QCOMPARE(lines(names.kmlFile()).size(), 3 + 3 * 9 + 2 + 1);
        const char* script = "import sys, xml.etree.ElementTree as ET\n"
                             "ns = {'k': 'http://www.opengis.net/kml/2.2'}\n"
                             "for p in ET.parse(sys.argv[1]).getroot().iter('{%s}Placemark' % "
                             "ns['k']):\n"
                             "    print(p.find('k:name', ns).text + '|' + "
                             "p.find('k:Point/k:coordinates', ns).text.strip())\n";
        const exporttools::ToolResult run =
            exporttools::runTool(QStringLiteral("python3"), {"-c", script, names.kmlFile()});
        QVERIFY2(run.started, "python3 is missing (scripts/install-deps installs it)");
        QCOMPARE(run.err, QByteArray());
        const QStringList placemarks = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(placemarks.size(), 3);
        QCOMPARE(placemarks[1], names.frameName(2) + "|11.516667,48.117300,545.400024");
        for (int i = 0; i < 3; ++i) {
            const QStringList c = placemarks[i].section('|', 1).split(',');
            QCOMPARE(placemarks[i].section('|', 0, 0), names.frameName(i + 1));
            QVERIFY(std::fabs(c[0].toDouble() - frames[size_t(i)].telemetry.longitude) < 1e-6);
            QVERIFY(std::fabs(c[1].toDouble() - frames[size_t(i)].telemetry.latitude) < 1e-6);
        }
    }

    void rawDumps() {
        kx::DecodedFrame f = knownFrame();
        f.serialBlock = QByteArray(2036, '\0');
        for (int i = 0; i < f.serialBlock.size(); ++i)
            f.serialBlock[i] = char(i * 31);
        const QString dir = testsupport::scratchDir();
        kx::MetaDataWriter writer(kx::ExportNames(dir, "raw"), {false, kx::MetaType::Kml, true});
        QVERIFY(writer.writeMetaData(dir + "/raw_0001", "tif", f));
        QCOMPARE(testsupport::fileBytes(dir + "/raw_0001_metaRAW.dat"), f.serialBlock);

        testsupport::Recorder recorder;
        QVERIFY(!writer.writeMetaData(dir + "/missing/raw_0001", "tif", f));
        QCOMPARE(recorder.out, "Could not open file: " + dir + "/missing/raw_0001_metaRAW.dat\n");
    }

    void failures_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("console");
        QTest::addColumn<QString>("error");
        const QString base = testsupport::scratchDir() + "/missing/x";
        QTest::newRow("all-frames CSV in a missing folder")
            << int(kx::MetaType::OneCsvForAllFrames) << QString()
            << "Cannot write " + base + "_meta.csv: No such file or directory";
        QTest::newRow("per-frame CSV in a missing folder")
            << int(kx::MetaType::OneCsvPerFrame) << QString()
            << "Cannot write " + base + "_0001_meta.csv: No such file or directory";
        QTest::newRow("KML in a missing folder")
            << int(kx::MetaType::Kml) << QString()
            << "Cannot write " + base + ".kml: No such file or directory";
        QTest::newRow("unknown type")
            << int(kx::MetaType::Unknown)
            << "Not known output format for meta data! Please contact support!\n"
            << "Not known output format for meta data";
    }

    void failures() {
        QFETCH(int, type);
        const kx::ExportNames names(testsupport::scratchDir() + "/missing", "x");
        testsupport::Recorder recorder;
        kx::MetaDataWriter writer(names, {true, kx::MetaType(type), false});
        writer.start();
        QVERIFY(!writer.writeMetaData(names.frameName(1), "tif", knownFrame()));
        QTEST(recorder.out, "console");
        QTEST(writer.lastError(), "error");
        QCOMPARE(writer.failures(), 1);
        QCOMPARE(kx::metaTypeFromText("one CSV for all frames (Pix4D)"), kx::MetaType::Pix4D);
        kx::ExportSettings settings;
        settings.metaType = 4; // beyond the list
        QCOMPARE(kx::metaDataOptions(settings).type, kx::MetaType::Unknown);
    }
};

QTEST_MAIN(TestMetaData)
#include "tst_metadata.moc"
