#include "conversion/ui/RadiometricConfig.h"

#include <QtTest>
#include <QtWidgets>

class TestRadiometricConfig : public QObject {
    Q_OBJECT
private slots:
    void form() {
        RadiometricConfig dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Parameter Config"));
        QStringList shown;
        for (const QLabel* l : dialog.findChildren<QLabel*>())
            shown << l->text();
        shown.sort(); // the captions, the formula and the sliders' values
        QCOMPARE(shown.join('|'), QStringLiteral("-5030|1600|16030|953|B|O|R1|R2|R2 = R2 / 10000|"
                                                 "T = B / ( log(R1/(R2 * (RAW-O) + 1) )"));
    }

    // Range, steps and default of each slider; a move reports once on the
    // slider's own signal with the slider value, and the constants and the value
    // label follow (the other three keep their defaults).
    void sliders_data() {
        QTest::addColumn<QList<int>>("slider"); // minimum, maximum, step, page step, value
        QTest::addColumn<int>("moveTo");
        QTest::addColumn<QList<double>>("constants"); // B, O, R1, R2 after the move
        QTest::newRow("R1") << QList<int>{15000, 17000, 1, 10, 16030} << 15500
                            << QList<double>{1600, -5030, 15500, 0.0953};
        QTest::newRow("B") << QList<int>{1400, 1800, 10, 10, 1600} << 1420
                           << QList<double>{1420, -5030, 16030, 0.0953};
        QTest::newRow("O") << QList<int>{-7000, -3000, 10, 10, -5030} << -6990
                           << QList<double>{1600, -6990, 16030, 0.0953};
        QTest::newRow("R2") << QList<int>{800, 1000, 1, 10, 953} << 1000
                            << QList<double>{1600, -5030, 16030, 0.1};
    }
    void sliders() {
        QFETCH(int, moveTo);
        const QString name = QTest::currentDataTag();
        RadiometricConfig dialog;
        QSlider* s = dialog.findChild<QSlider*>("sl" + name);
        QTEST((QList<int>{s->minimum(), s->maximum(), s->singleStep(), s->pageStep(), s->value()}),
              "slider");
        using Changed = void (RadiometricConfig::*)(int);
        const QMap<QString, Changed> changed{{"B", &RadiometricConfig::planckBChanged},
                                             {"O", &RadiometricConfig::planckOChanged},
                                             {"R1", &RadiometricConfig::planckR1Changed},
                                             {"R2", &RadiometricConfig::planckR2Changed}};
        QSignalSpy spy(&dialog, changed.value(name));
        s->setSliderPosition(moveTo);
        QCOMPARE(spy, QList<QList<QVariant>>{{moveTo}});
        double B = 0, O = 0, R1 = 0, R2 = 0;
        dialog.getRadioConstants(B, O, R1, R2);
        QTEST((QList<double>{B, O, R1, R2}), "constants");
        QCOMPARE(dialog.findChild<QLabel*>("lbl" + name + "Value")->text(),
                 QString::number(moveTo));
    }
};

QTEST_MAIN(TestRadiometricConfig)
#include "tst_radiometricconfig.moc"
