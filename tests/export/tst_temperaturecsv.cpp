#include "ExportTools.h"
#include "export/TemperatureCsv.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QtTest>

class TestTemperatureCsv : public QObject {
    Q_OBJECT
private slots:
    void text_data() {
        QTest::addColumn<float>("kelvinPerCount");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QByteArray>("expected");
        // Frame 3 x 2: 7500 7512 7499 / 0 16383 10.
        QTest::newRow("high gain, semicolon")
            << 0.04f << ";" << QByteArray("26.85;27.33;26.81;\n-273.15;382.17;-272.75;\n");
        QTest::newRow("low gain, comma")
            << 0.4f << "," << QByteArray("2726.85,2731.65,2726.45,\n-273.15,6280.05,-269.15,\n");
        QTest::newRow("no radiometry, tab")
            << 4.0f << "\t" << QByteArray("7500\t7512\t7499\t\n0\t16383\t10\t\n");
        QTest::newRow("empty delimiter") << 4.0f << "" << QByteArray("750075127499\n01638310\n");
        QTest::newRow("several characters, not ASCII")
            << 4.0f << " | °" << QByteArray("7500 | °7512 | °7499 | °\n0 | °16383 | °10 | °\n");
    }
    void text() {
        QFETCH(float, kelvinPerCount);
        QFETCH(QString, delimiter);
        const kx::DecodedFrame frame = exporttools::frameOf(3, 2, {7500, 7512, 7499, 0, 16383, 10});
        QTEST(kx::encodeTemperatureCsv(frame, kelvinPerCount, delimiter), "expected");
    }

    void wholeFrame() {
        const kx::DecodedFrame frame = exporttools::sceneFrame(640, 512);
        const QString name = testsupport::scratchDir() + QStringLiteral("/frame_0001.csv");
        QString error;
        QVERIFY(kx::writeTemperatureCsv(name, frame, 0.04f, QStringLiteral(";"), &error));
        const QList<QByteArray> lines = testsupport::fileBytes(name).split('\n');
        QCOMPARE(lines.size(), 513); // 512 lines, each ended
        QVERIFY(lines.last().isEmpty());
        for (int row = 0; row < 512; ++row)
            QCOMPARE(lines[row].count(';'), 640);
        struct Pixel {
            int column, row;
        };
        for (const Pixel p : {Pixel{0, 0}, Pixel{320, 200}, Pixel{639, 511}}) {
            const uint16_t raw = frame.raw[size_t(p.row) * 640 + p.column];
            const float celsius = float(double(float(raw) * 0.04f) - 273.15);
            QCOMPARE(lines[p.row].split(';').at(p.column),
                     QString::number(celsius, 'g', 6).toLatin1());
        }
    }

    void refusals() {
        QString error;
        QVERIFY(!kx::writeTemperatureCsv(testsupport::scratchDir() + "/none.csv",
                                         exporttools::frameOf(0, 0, {}), 0.04f, ";", &error));
        QCOMPARE(error, QStringLiteral("The frame holds no pixels"));
        const QString missing = testsupport::scratchDir() + "/no-such-folder/frame.csv";
        QVERIFY(
            !kx::writeTemperatureCsv(missing, exporttools::sceneFrame(2, 2), 0.04f, ";", &error));
        QVERIFY(error.startsWith("Cannot write " + missing + ": "));
        QVERIFY(!QFile::exists(testsupport::scratchDir() + "/none.csv"));
    }
};

QTEST_GUILESS_MAIN(TestTemperatureCsv)
#include "tst_temperaturecsv.moc"
