#include "conversion/ui/RadiometricConfig.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QtTest>

class TestRadiometricConfig : public QObject {
    Q_OBJECT
private slots:
    void texts() {
        RadiometricConfig dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Parameter Config"));
        QStringList shown;
        for (const QLabel* l : dialog.findChildren<QLabel*>())
            shown << l->text();
        for (const char* text :
             {"R1", "B", "O", "R2", "R2 = R2 / 10000", "T = B / ( log(R1/(R2 * (RAW-O) + 1) )"})
            QVERIFY2(shown.contains(QLatin1String(text)), text);
    }

    void sliders_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("singleStep");
        QTest::addColumn<int>("pageStep");
        QTest::addColumn<int>("value");
        QTest::newRow("R1") << "R1" << 15000 << 17000 << 1 << 10 << 16030;
        QTest::newRow("B") << "B" << 1400 << 1800 << 10 << 10 << 1600;
        QTest::newRow("O") << "O" << -7000 << -3000 << 10 << 10 << -5030;
        QTest::newRow("R2") << "R2" << 800 << 1000 << 1 << 10 << 953;
    }
    void sliders() {
        QFETCH(QString, name);
        RadiometricConfig dialog;
        const QSlider* s = dialog.findChild<QSlider*>(QStringLiteral("sl") + name);
        QVERIFY(s);
        QTEST(s->minimum(), "minimum");
        QTEST(s->maximum(), "maximum");
        QTEST(s->singleStep(), "singleStep");
        QTEST(s->pageStep(), "pageStep");
        QTEST(s->value(), "value");
        const QLabel* value = dialog.findChild<QLabel*>(QStringLiteral("lbl") + name + "Value");
        QVERIFY(value);
        QCOMPARE(value->text(), QString::number(s->value()));
    }

    void defaultConstants() {
        RadiometricConfig dialog;
        double B = 0, O = 0, R1 = 0, R2 = 0;
        dialog.getRadioConstants(B, O, R1, R2);
        QCOMPARE(B, 1600.0);
        QCOMPARE(O, -5030.0);
        QCOMPARE(R1, 16030.0);
        QCOMPARE(R2, 0.0953);
    }

    // Each slider reports on its own signal with the slider value (R2 undivided),
    // and getRadioConstants follows; the value beside the slider follows too.
    void signalsAndConstants_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<double>>("constants"); // B, O, R1, R2
        QTest::newRow("R1") << "R1" << 15500 << QList<double>{1600, -5030, 15500, 0.0953};
        QTest::newRow("B") << "B" << 1420 << QList<double>{1420, -5030, 16030, 0.0953};
        QTest::newRow("O") << "O" << -6990 << QList<double>{1600, -6990, 16030, 0.0953};
        QTest::newRow("R2") << "R2" << 1000 << QList<double>{1600, -5030, 16030, 0.1};
        QTest::newRow("R2 low end") << "R2" << 800 << QList<double>{1600, -5030, 16030, 0.08};
    }
    void signalsAndConstants() {
        QFETCH(QString, name);
        QFETCH(int, value);
        QFETCH(QList<double>, constants);
        RadiometricConfig dialog;
        QSignalSpy b(&dialog, &RadiometricConfig::planckBChanged);
        QSignalSpy o(&dialog, &RadiometricConfig::planckOChanged);
        QSignalSpy r1(&dialog, &RadiometricConfig::planckR1Changed);
        QSignalSpy r2(&dialog, &RadiometricConfig::planckR2Changed);
        const QHash<QString, QSignalSpy*> spies{{"B", &b}, {"O", &o}, {"R1", &r1}, {"R2", &r2}};

        dialog.findChild<QSlider*>(QStringLiteral("sl") + name)->setSliderPosition(value);
        for (auto it = spies.cbegin(); it != spies.cend(); ++it) {
            QCOMPARE(it.value()->count(), it.key() == name ? 1 : 0);
            if (it.key() == name)
                QCOMPARE(it.value()->at(0).at(0).toInt(), value);
        }
        double B = 0, O = 0, R1 = 0, R2 = 0;
        dialog.getRadioConstants(B, O, R1, R2);
        QCOMPARE((QList<double>{B, O, R1, R2}), constants);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lbl") + name + "Value")->text(),
                 QString::number(value));
    }

    void unchangedValueIsSilent() {
        RadiometricConfig dialog;
        QSignalSpy b(&dialog, &RadiometricConfig::planckBChanged);
        dialog.findChild<QSlider*>(QStringLiteral("slB"))->setValue(1600);
        dialog.findChild<QSlider*>(QStringLiteral("slB"))->setValue(99999); // clamped to 1800
        QCOMPARE(b.count(), 1);
        QCOMPARE(b.at(0).at(0).toInt(), 1800);
    }
};

QTEST_MAIN(TestRadiometricConfig)
#include "tst_radiometricconfig.moc"
