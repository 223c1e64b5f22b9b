#include "conversion/ui/RawConvertConfig.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>
#include <functional>

namespace {

// Records the dialog's six signals in the order they arrive, with arguments.
class SignalLog {
public:
    explicit SignalLog(RawConvertConfig& dialog) {
        QObject::connect(&dialog, &RawConvertConfig::orientationChanged,
                         [this] { entries << QStringLiteral("orientationChanged"); });
        QObject::connect(&dialog, &RawConvertConfig::autoParametersClicked,
                         [this] { entries << QStringLiteral("autoParametersClicked"); });
        QObject::connect(&dialog, &RawConvertConfig::autoGainToggled, [this](bool on) {
            entries << QStringLiteral("autoGainToggled(%1)").arg(on ? "true" : "false");
        });
        QObject::connect(&dialog, &RawConvertConfig::radiometryChanged, [this](int option) {
            entries << QStringLiteral("radiometryChanged(%1)").arg(option);
        });
        QObject::connect(&dialog, &RawConvertConfig::legendChanged, [this](bool on) {
            entries << QStringLiteral("legendChanged(%1)").arg(on ? "true" : "false");
        });
        QObject::connect(&dialog, &RawConvertConfig::parametersChanged,
                         [this] { entries << QStringLiteral("parametersChanged"); });
    }
    QStringList entries;
};

template <typename T>
T* child(const RawConvertConfig& dialog, const char* name) {
    T* w = dialog.findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("control %s is missing", name);
    return w;
}

QSlider* slider(const RawConvertConfig& d, const char* name) {
    return child<QSlider>(d, name);
}
QString fieldText(const RawConvertConfig& d, const char* name) {
    return child<QDoubleSpinBox>(d, name)->text();
}
QString labelText(const RawConvertConfig& d, const char* name) {
    return child<QLabel>(d, name)->text();
}

const QStringList P{QStringLiteral("parametersChanged")};

} // namespace

class TestRawConvertConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void windowAndGroups() {
        RawConvertConfig dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("RAW Conversion Parameters"));
        QCOMPARE(dialog.styleSheet(), QStringLiteral("QGroupBox { font-weight: bold; }"));
        QStringList titles;
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
            titles << group->title();
        titles.sort();
        QCOMPARE(titles, (QStringList{"Color adjustments", "Image rotation", "Range adjustments",
                                      "Temperatures"}));
        QCOMPARE(child<QComboBox>(dialog, "cbColorMode")->count(), 4);
        QCOMPARE(child<QComboBox>(dialog, "cbColorMode")->itemText(3),
                 QStringLiteral("Rainbow High Contrast"));
        const QComboBox* radiometry = child<QComboBox>(dialog, "cbRadiometry");
        QCOMPARE(radiometry->count(), 3);
        QCOMPARE(radiometry->itemText(0), QStringLiteral("none"));
        QCOMPARE(radiometry->itemText(1), QStringLiteral("TLinear high gain"));
        QCOMPARE(radiometry->itemText(2), QStringLiteral("TLinear low gain"));
        QCOMPARE(labelText(dialog, "lblBiColorLow"), QStringLiteral("     low:"));
        QCOMPARE(labelText(dialog, "lblBiColorHigh"), QStringLiteral("     high:"));
        QCOMPARE(child<QRadioButton>(dialog, "rbRotate90")->text(), QStringLiteral("90°Clockwise"));
        QCOMPARE(child<QRadioButton>(dialog, "rbRotateMinus90")->text(),
                 QStringLiteral("90° Counter Clockwise"));
        const QSpinBox* percent = child<QSpinBox>(dialog, "sbPercentageChange");
        QCOMPARE(percent->toolTip(),
                 QStringLiteral("Lower value results in less flickering video playback"));
        QCOMPARE(percent->minimum(), 0);
        QCOMPARE(percent->maximum(), 100);
        QCOMPARE(labelText(dialog, "lblPercent"), QStringLiteral("Percent"));
        QStringList marks;
        for (const QLabel* l : dialog.findChildren<QLabel*>())
            if (l->objectName().contains(QLatin1String("Scale")))
                marks << l->text();
        marks.sort();
        QCOMPARE(marks, (QStringList{"0", "0", "16383", "16383"}));
        for (const char* name : {"dsbGainLow", "dsbGainHigh", "dsbGainMid"}) {
            const QDoubleSpinBox* field = child<QDoubleSpinBox>(dialog, name);
            QCOMPARE(field->decimals(), 1);
            QCOMPARE(field->minimum(), -400.0);
            QCOMPARE(field->maximum(), 16383.0);
        }
    }

    void sliderRanges_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("singleStep");
        QTest::addColumn<int>("pageStep");
        QTest::addColumn<int>("value");
        QTest::newRow("bi-colour low") << "slBiColorLow" << 0 << 16383 << 1 << 10 << 6500;
        QTest::newRow("bi-colour high") << "slBiColorHigh" << 0 << 16383 << 1 << 10 << 7500;
        QTest::newRow("lower") << "slLowerBound" << 0 << 16383 << 1 << 10 << 5400;
        QTest::newRow("upper") << "slUpperBound" << 0 << 16383 << 1 << 10 << 9000;
        QTest::newRow("gain mid") << "slMiddleTemperature" << 0 << 16383 << 10 << 10 << 8000;
    }
    void sliderRanges() {
        QFETCH(QString, name);
        RawConvertConfig dialog;
        const QSlider* s = slider(dialog, name.toLatin1().constData());
        QTEST(s->minimum(), "minimum");
        QTEST(s->maximum(), "maximum");
        QTEST(s->singleStep(), "singleStep");
        QTEST(s->pageStep(), "pageStep");
        QTEST(s->value(), "value");
    }

    void initialState() {
        RawConvertConfig dialog;
        QCOMPARE(dialog.getLowerBound(), 5400);
        QCOMPARE(dialog.getUpperBound(), 9000);
        QCOMPARE(dialog.getColorMode(), 0);
        QCOMPARE(dialog.getInverted(), false);
        QCOMPARE(dialog.getBiColorModeEnabled(), false);
        QCOMPARE(dialog.getBiLow(), 6500);
        QCOMPARE(dialog.getBiHigh(), 7500);
        QCOMPARE(dialog.getAutoGainEnabled(), true);
        QCOMPARE(dialog.getPercentageChange(), 100);
        QCOMPARE(dialog.getRadiometryOption(), 0);
        QCOMPARE(dialog.getLegendVisibility(), false);
        QCOMPARE(dialog.getRotation(), 0);
        QVERIFY(child<QRadioButton>(dialog, "rbRotate0")->isChecked());
        QCOMPARE(fieldText(dialog, "dsbGainLow"), QStringLiteral("5400.0"));
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QStringLiteral("9000.0"));
        QCOMPARE(fieldText(dialog, "dsbGainMid"), QStringLiteral("8000.0"));
        QCOMPARE(labelText(dialog, "lblBiColorLowValue"), QStringLiteral("6500"));
        QCOMPARE(labelText(dialog, "lblBiColorHighValue"), QStringLiteral("7500"));
        QCOMPARE(dialog.calcDeltaT(), 3600);
    }

    // Temperatures are computed in single precision; a double-only version
    // shows 23.1 for raw 7405 in high gain, 23.7 for raw 742 and 6280.1 for
    // raw 16383 in low gain.
    void displayConversions_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("raw");
        QTest::addColumn<float>("field");
        QTest::addColumn<QString>("label");
        QTest::newRow("none 5400") << 0 << 5400 << 5400.0f << "5400";
        QTest::newRow("none 0") << 0 << 0 << 0.0f << "0";
        QTest::newRow("high 7500") << 1 << 7500 << 26.85f << "26.9";
        QTest::newRow("high 7405") << 1 << 7405 << 23.05f << "23.0";
        QTest::newRow("high 6500") << 1 << 6500 << -13.15f << "-13.1";
        QTest::newRow("high 0") << 1 << 0 << -273.15f << "-273.1";
        QTest::newRow("low 7500") << 2 << 7500 << 2726.85f << "2726.9";
        QTest::newRow("low 742") << 2 << 742 << 23.65f << "23.6";
        QTest::newRow("low 16383") << 2 << 16383 << 6280.05f << "6280.0";
    }
    void displayConversions() {
        QFETCH(int, option);
        QFETCH(int, raw);
        QFETCH(float, field);
        RawConvertConfig dialog;
        dialog.setRadiometryOption(option);
        const double value = dialog.getDSBValue(raw);
        QCOMPARE(value, double(field)); // exactly a single-precision number
        QTEST(dialog.getLabelText(raw), "label");
    }

    void reverseConversion_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("raw");
        QTest::newRow("none truncates") << 0 << 5400.9 << 5400;
        QTest::newRow("none toward zero") << 0 << -3.7 << -3;
        QTest::newRow("high 30.0") << 1 << 30.0 << 7578;
        QTest::newRow("high -57.2") << 1 << -57.2 << 5398;
        QTest::newRow("high 86.8") << 1 << 86.8 << 8998;
        QTest::newRow("low 30.0") << 2 << 30.0 << 757;
        QTest::newRow("low 1886.1") << 2 << 1886.1 << 5398;
        QTest::newRow("low 1886.8") << 2 << 1886.8 << 5399;
    }
    void reverseConversion() {
        QFETCH(int, option);
        QFETCH(double, value);
        RawConvertConfig dialog;
        dialog.setRadiometryOption(option);
        QTEST(dialog.getSliderValueFromSpinBox(value), "raw");
    }

    void lowerDraggedAboveUpper() {
        RawConvertConfig dialog;
        SignalLog log(dialog);
        slider(dialog, "slLowerBound")->setSliderPosition(9500);
        QCOMPARE(dialog.getLowerBound(), 9000);
        QCOMPARE(dialog.getUpperBound(), 9000);
        QCOMPARE(dialog.getBiLow(), 9000);
        QCOMPARE(dialog.getBiHigh(), 9000);
        // Regression: the labels of the pulled bi-colour sliders kept their old values.
        QCOMPARE(labelText(dialog, "lblBiColorLowValue"), QStringLiteral("9000"));
        QCOMPARE(labelText(dialog, "lblBiColorHighValue"), QStringLiteral("9000"));
        QCOMPARE(fieldText(dialog, "dsbGainLow"), QStringLiteral("9000.0"));
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 9000);
        QCOMPARE(fieldText(dialog, "dsbGainMid"), QStringLiteral("9000.0"));
        QCOMPARE(log.entries, P + P); // from the "Gain mid" handler, then from the slider
    }

    // Regression: pulling the upper bound under the bi-colour low slider used to
    // leave bi-colour low above bi-colour high.
    void upperDraggedBelowBiColor() {
        RawConvertConfig dialog;
        slider(dialog, "slUpperBound")->setSliderPosition(6000);
        QCOMPARE(dialog.getLowerBound(), 5400);
        QCOMPARE(dialog.getUpperBound(), 6000);
        QCOMPARE(dialog.getBiLow(), 6000);
        QCOMPARE(dialog.getBiHigh(), 6000);
        QCOMPARE(labelText(dialog, "lblBiColorLowValue"), QStringLiteral("6000"));
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QStringLiteral("6000.0"));
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 5700);
    }

    void biColorOrdering_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("biLow");
        QTest::addColumn<int>("biHigh");
        QTest::addColumn<QString>("lowLabel");
        QTest::addColumn<QString>("highLabel");
        QTest::newRow("low inside") << "slBiColorLow" << 7000 << 7000 << 7500 << "7000"
                                    << "7500";
        QTest::newRow("low above high") << "slBiColorLow" << 8000 << 7500 << 7500 << "7500"
                                        << "7500";
        QTest::newRow("low under lower") << "slBiColorLow" << 100 << 5400 << 7500 << "5400"
                                         << "7500";
        QTest::newRow("high under lower") << "slBiColorHigh" << 200 << 5400 << 5400 << "5400"
                                          << "5400";
        QTest::newRow("high above upper") << "slBiColorHigh" << 12000 << 6500 << 9000 << "6500"
                                          << "9000";
    }
    void biColorOrdering() {
        QFETCH(QString, name);
        QFETCH(int, value);
        RawConvertConfig dialog;
        SignalLog log(dialog);
        slider(dialog, name.toLatin1().constData())->setSliderPosition(value);
        QTEST(dialog.getBiLow(), "biLow");
        QTEST(dialog.getBiHigh(), "biHigh");
        QTEST(labelText(dialog, "lblBiColorLowValue"), "lowLabel");
        QTEST(labelText(dialog, "lblBiColorHighValue"), "highLabel");
        QCOMPARE(dialog.getLowerBound(), 5400);
        QCOMPARE(dialog.getUpperBound(), 9000);
        QCOMPARE(log.entries, P);
    }

    void typedGainLowInHighGain() {
        RawConvertConfig dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.setRadiometryOption(1);
        QDoubleSpinBox* field = child<QDoubleSpinBox>(dialog, "dsbGainLow");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("30.0"));
        QCOMPARE(dialog.getLowerBound(), 5398); // nothing applied before Return
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(dialog.getLowerBound(), 7578);
        QCOMPARE(field->text(), QStringLiteral("30.0"));
        QCOMPARE(dialog.getBiLow(), 7578);
        QCOMPARE(dialog.getBiHigh(), 7578);
        QCOMPARE(labelText(dialog, "lblBiColorLowValue"), QStringLiteral("30.0"));
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 8289);
        QCOMPARE(fieldText(dialog, "dsbGainMid"), QStringLiteral("58.4"));
        QVERIFY(dialog.isVisible()); // Return confirmed the value, it did not close the window
    }

    void typedGainHighInNone() {
        RawConvertConfig dialog;
        child<QDoubleSpinBox>(dialog, "dsbGainHigh")->setValue(12345.6);
        QCOMPARE(dialog.getUpperBound(), 12345);
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QStringLiteral("12345.0"));
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 8872);
    }

    void gainMidMovesWindow_data() {
        QTest::addColumn<int>("middle");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("biLow");
        QTest::addColumn<int>("biHigh");
        QTest::addColumn<QString>("midText");
        QTest::newRow("+100") << 8100 << 5500 << 9100 << 6500 << 7500 << "8100.0";
        QTest::newRow("-1000") << 7000 << 4400 << 8000 << 6500 << 7500 << "7000.0";
        // The window leaves the bi-colour sliders behind; they are pulled inside it.
        QTest::newRow("+5000") << 13000 << 10400 << 14000 << 10400 << 10400 << "13000.0";
    }
    void gainMidMovesWindow() {
        QFETCH(int, middle);
        QFETCH(int, lower);
        QFETCH(int, upper);
        RawConvertConfig dialog;
        SignalLog log(dialog);
        slider(dialog, "slMiddleTemperature")->setSliderPosition(middle);
        QCOMPARE(dialog.getLowerBound(), lower);
        QCOMPARE(dialog.getUpperBound(), upper);
        QCOMPARE(dialog.calcDeltaT(), 3600);
        QTEST(dialog.getBiLow(), "biLow");
        QTEST(dialog.getBiHigh(), "biHigh");
        QCOMPARE(fieldText(dialog, "dsbGainLow"), QString::number(lower) + QStringLiteral(".0"));
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QString::number(upper) + QStringLiteral(".0"));
        QTEST(fieldText(dialog, "dsbGainMid"), "midText");
        QCOMPARE(log.entries, P); // the bounds move silently; one report for the whole shift
    }

    void gainMidKeyboardStep() {
        RawConvertConfig dialog;
        QTest::keyClick(slider(dialog, "slMiddleTemperature"), Qt::Key_Right);
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 8010);
        QCOMPARE(dialog.getLowerBound(), 5410);
        QCOMPARE(dialog.getUpperBound(), 9010);
    }

    void setSliderValues_data() {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("expectedLower");
        QTest::addColumn<int>("expectedUpper");
        QTest::addColumn<int>("middle");
        QTest::addColumn<QStringList>("signalList");
        QTest::newRow("reversed") << 200 << 100 << 5400 << 9000 << 8000 << QStringList();
        QTest::newRow("equal") << 3000 << 3000 << 5400 << 9000 << 8000 << QStringList();
        QTest::newRow("wider") << 1000 << 12000 << 1000 << 12000 << 6500 << P;
        QTest::newRow("same centre") << 4000 << 12000 << 4000 << 12000 << 8000 << QStringList();
    }
    void setSliderValues() {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, expectedLower);
        QFETCH(int, expectedUpper);
        RawConvertConfig dialog;
        SignalLog log(dialog);
        dialog.setSliderValues(lower, upper);
        QCOMPARE(dialog.getLowerBound(), expectedLower);
        QCOMPARE(dialog.getUpperBound(), expectedUpper);
        QCOMPARE(fieldText(dialog, "dsbGainLow"), QString::number(expectedLower) + ".0");
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QString::number(expectedUpper) + ".0");
        QTEST(slider(dialog, "slMiddleTemperature")->value(), "middle");
        QCOMPARE(dialog.getBiLow(), 6500);
        QCOMPARE(dialog.getBiHigh(), 7500);
        QTEST(log.entries, "signalList");
    }

    void setSliderValuesWithDialogBlocked() {
        RawConvertConfig dialog;
        QSignalSpy spy(&dialog, &RawConvertConfig::parametersChanged);
        dialog.blockSignals(true);
        dialog.setSliderValues(1000, 12000);
        dialog.blockSignals(false);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(dialog.getLowerBound(), 1000);
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 6500);
    }

    void tLinearSwitch_data() {
        QTest::addColumn<QList<int>>("options");
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("middle");
        QTest::addColumn<QStringList>("texts"); // low, high, mid field; bi low, bi high label
        QTest::addColumn<QStringList>("lastSignals");
        const QStringList P3 = P + P + P;
        QTest::newRow("high gain") << QList<int>{1} << 5398 << 7199
                                   << QStringList{"-57.2", "86.8", "14.8", "-13.1", "26.9"}
                                   << (P + P + QStringList{"radiometryChanged(1)"});
        QTest::newRow("high then low")
            << QList<int>{1, 2} << 5398 << 7199
            << QStringList{"1886.1", "3326.9", "2606.4", "2326.9", "2726.9"}
            << QStringList{"radiometryChanged(2)"};
        QTest::newRow("high, low, none")
            << QList<int>{1, 2, 0} << 5398 << 7199
            << QStringList{"5398.0", "9000.0", "7199.0", "6500", "7500"}
            << QStringList{"radiometryChanged(0)"};
        // 5400 shows as 1886.8, which stands for 5399, which shows as 1886.4, which
        // stands for 5398: two settling steps.
        QTest::newRow("low gain") << QList<int>{2} << 5398 << 7199
                                  << QStringList{"1886.1", "3326.9", "2606.4", "2326.9", "2726.9"}
                                  << (P3 + QStringList{"radiometryChanged(2)"});
    }
    void tLinearSwitch() {
        QFETCH(QList<int>, options);
        QFETCH(QStringList, texts);
        RawConvertConfig dialog;
        SignalLog log(dialog);
        for (int option : options) {
            log.entries.clear();
            child<QComboBox>(dialog, "cbRadiometry")->setCurrentIndex(option);
        }
        QCOMPARE(dialog.getRadiometryOption(), options.last());
        QTEST(dialog.getLowerBound(), "lower");
        QCOMPARE(dialog.getUpperBound(), 9000);
        QTEST(slider(dialog, "slMiddleTemperature")->value(), "middle");
        QCOMPARE(dialog.getBiLow(), 6500);
        QCOMPARE(dialog.getBiHigh(), 7500);
        const QStringList shown{fieldText(dialog, "dsbGainLow"), fieldText(dialog, "dsbGainHigh"),
                                fieldText(dialog, "dsbGainMid"),
                                labelText(dialog, "lblBiColorLowValue"),
                                labelText(dialog, "lblBiColorHighValue")};
        QCOMPARE(shown, texts);
        QTEST(log.entries, "lastSignals");
    }

    void rotation_data() {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("reported");
        QTest::addColumn<QString>("console");
        const QString message = QStringLiteral("Not supported angle given, setting to 0\n");
        QTest::newRow("0") << 180 << 0 << "rbRotate0" << 0 << "";
        QTest::newRow("90") << 0 << 90 << "rbRotate90" << 90 << "";
        QTest::newRow("180") << 0 << 180 << "rbRotate180" << 180 << "";
        QTest::newRow("270") << 0 << 270 << "rbRotateMinus90" << -90 << "";
        // getRotation reports -90; the settings store hands that value back.
        QTest::newRow("-90") << 0 << -90 << "rbRotateMinus90" << -90 << "";
        QTest::newRow("45") << 0 << 45 << "rbRotate0" << 0 << message;
        QTest::newRow("45 after 90") << 90 << 45 << "rbRotate0" << 0 << message;
        QTest::newRow("360") << 180 << 360 << "rbRotate0" << 0 << message;
    }
    void rotation() {
        QFETCH(int, before);
        QFETCH(int, angle);
        QFETCH(QString, checked);
        RawConvertConfig dialog;
        dialog.setRotation(before);
        testsupport::Recorder recorder;
        dialog.setRotation(angle);
        QTEST(recorder.out, "console");
        QCOMPARE(recorder.err, QString());
        QTEST(dialog.getRotation(), "reported");
        QStringList on;
        for (const QRadioButton* b : dialog.findChildren<QRadioButton*>())
            if (b->isChecked())
                on << b->objectName();
        QCOMPARE(on, QStringList{checked});
    }

    // Several checked buttons cannot happen through the form; the order decides.
    void rotationTestOrder_data() {
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<int>("reported");
        QTest::newRow("none") << QStringList() << 0;
        QTest::newRow("0 and 180") << QStringList{"rbRotate0", "rbRotate180"} << 0;
        QTest::newRow("180 and ccw") << QStringList{"rbRotate180", "rbRotateMinus90"} << 180;
        QTest::newRow("ccw and cw") << QStringList{"rbRotateMinus90", "rbRotate90"} << -90;
        QTest::newRow("cw") << QStringList{"rbRotate90"} << 90;
    }
    void rotationTestOrder() {
        QFETCH(QStringList, checked);
        RawConvertConfig dialog;
        for (QRadioButton* b : dialog.findChildren<QRadioButton*>()) {
            b->setAutoExclusive(false);
            b->setChecked(checked.contains(b->objectName()));
        }
        QTEST(dialog.getRotation(), "reported");
    }

    void signalDeclarationOrder() {
        const QMetaObject& mo = RawConvertConfig::staticMetaObject;
        QStringList signalNames;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            if (mo.method(i).methodType() == QMetaMethod::Signal)
                signalNames << QString::fromLatin1(mo.method(i).methodSignature());
        QCOMPARE(signalNames, (QStringList{"orientationChanged()", "autoParametersClicked()",
                                           "autoGainToggled(bool)", "radiometryChanged(int)",
                                           "legendChanged(bool)", "parametersChanged()"}));
    }

    void signalsOfActions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("automatic button") << "auto button" << QStringList{"autoParametersClicked"};
        QTest::newRow("automatic gain off") << "auto gain" << QStringList{"autoGainToggled(false)"};
        QTest::newRow("legend on") << "legend" << QStringList{"legendChanged(true)"};
        QTest::newRow("palette") << "palette" << P;
        QTest::newRow("invert") << "invert" << P;
        QTest::newRow("bi-colour enable") << "bicolor" << P;
        QTest::newRow("rotate clockwise")
            << "rotate" << QStringList{"orientationChanged", "orientationChanged"};
        QTest::newRow("upper bound") << "upper" << P + P;
        QTest::newRow("percentage") << "percent" << QStringList();
        QTest::newRow("same palette again") << "palette same" << QStringList();
    }
    void signalsOfActions() {
        QFETCH(QString, action);
        RawConvertConfig dialog;
        const QHash<QString, std::function<void()>> actions{
            {"auto button", [&] { child<QPushButton>(dialog, "btnAutoParameters")->click(); }},
            {"auto gain", [&] { child<QCheckBox>(dialog, "cbAutoGain")->click(); }},
            {"legend", [&] { child<QCheckBox>(dialog, "cbShowLegend")->click(); }},
            {"palette", [&] { dialog.setColorMode(1); }},
            {"palette same", [&] { dialog.setColorMode(0); }},
            {"invert", [&] { child<QCheckBox>(dialog, "cbInvert")->click(); }},
            {"bicolor", [&] { child<QCheckBox>(dialog, "cbBiColorEnabled")->click(); }},
            {"rotate", [&] { child<QRadioButton>(dialog, "rbRotate90")->click(); }},
            {"upper", [&] { dialog.setUpperTemperatureThreshold(9500); }},
            {"percent", [&] { dialog.setPercetageChange(40); }},
        };
        QSignalSpy orientation(&dialog, &RawConvertConfig::orientationChanged);
        SignalLog log(dialog);
        QVERIFY(actions.contains(action));
        actions.value(action)();
        QTEST(log.entries, "expected");
        QCOMPARE(orientation.count(), log.entries.count(QStringLiteral("orientationChanged")));
    }

    void biColorEnableToggles() {
        RawConvertConfig dialog;
        const char* names[] = {"slBiColorLow",   "slBiColorHigh",      "lblBiColorLow",
                               "lblBiColorHigh", "lblBiColorLowValue", "lblBiColorHighValue"};
        for (const char* name : names)
            QVERIFY2(!child<QWidget>(dialog, name)->isEnabled(), name);
        child<QCheckBox>(dialog, "cbBiColorEnabled")->click();
        QVERIFY(dialog.getBiColorModeEnabled());
        for (const char* name : names)
            QVERIFY2(child<QWidget>(dialog, name)->isEnabled(), name);
        child<QCheckBox>(dialog, "cbBiColorEnabled")->click();
        for (const char* name : names)
            QVERIFY2(!child<QWidget>(dialog, name)->isEnabled(), name);
        QVERIFY(child<QComboBox>(dialog, "cbColorMode")->isEnabled());
    }

    // The threshold setters move the sliders, so the fields and "Gain mid" follow.
    void thresholdSetters() {
        RawConvertConfig dialog;
        dialog.setLowerTemperatureThreshold(1001);
        dialog.setUpperTemperatureThreshold(12000);
        QCOMPARE(dialog.getLowerBound(), 1001);
        QCOMPARE(dialog.getUpperBound(), 12000);
        QCOMPARE(fieldText(dialog, "dsbGainLow"), QStringLiteral("1001.0"));
        QCOMPARE(fieldText(dialog, "dsbGainHigh"), QStringLiteral("12000.0"));
        QCOMPARE(dialog.calcDeltaT(), 10999);
        QCOMPARE(dialog.calcMiddleTemp(), 6500); // 1001 + 10999 / 2, halved toward zero
        QCOMPARE(slider(dialog, "slMiddleTemperature")->value(), 6500);
    }
};

QTEST_MAIN(TestRawConvertConfig)
#include "tst_rawconvertconfig.moc"
