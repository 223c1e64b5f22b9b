#include "conversion/ui/RawConvertConfig.h"
#include "support/TestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {
template <typename T = QWidget>
T* child(const QObject& dialog, const QString& name) {
    T* w = dialog.findChild<T*>(name);
    return w ? w : (qFatal("control %s is missing", qPrintable(name)), nullptr);
}

// Slider values (lower, upper, bi-colour low and high, "Gain mid"), the three
// fields and the two bi-colour value labels, as the user sees them.
QString state(const RawConvertConfig& d) {
    QStringList texts;
    for (const char* name :
         {"dsbGainLow", "dsbGainHigh", "dsbGainMid", "lblBiColorLowValue", "lblBiColorHighValue"})
        texts << child(d, name)->property("text").toString();
    return QString::asprintf("%d %d %d %d %d|", d.getLowerBound(), d.getUpperBound(), d.getBiLow(),
                             d.getBiHigh(), child<QSlider>(d, "slMiddleTemperature")->value()) +
           texts.mid(0, 3).join(' ') + '|' + texts.mid(3).join(' ');
}

// One user step "control=value": a control set to the value, a button
// clicked, or one of the dialog's setters with two values.
void act(RawConvertConfig& d, const QString& step) {
    const QString name = step.section('=', 0, 0), value = step.section('=', 1);
    const int a = value.section(',', 0, 0).toInt(), b = value.section(',', 1).toInt();
    QWidget* w = d.findChild<QWidget*>(name);
    if (name == "setSliderValues")
        d.setSliderValues(a, b);
    else if (name == "setThresholds")
        (d.setLowerTemperatureThreshold(a), d.setUpperTemperatureThreshold(b));
    else if (value == "click")
        child<QAbstractButton>(d, name)->click();
    else
        w->setProperty(w->inherits("QComboBox") ? "currentIndex" : "value", value.toDouble());
}

// The dialog's signals in arrival order, with their argument.
struct SignalLog {
    QStringList entries;
    template <typename... Args>
    void note(RawConvertConfig& d, void (RawConvertConfig::*signal)(Args...), const char* name) {
        QObject::connect(&d, signal, [this, name](Args... arg) {
            entries << (QString(name) + ... + ('(' + QVariant(arg).toString() + ')'));
        });
    }
    explicit SignalLog(RawConvertConfig& d) {
        note(d, &RawConvertConfig::orientationChanged, "orientationChanged");
        note(d, &RawConvertConfig::autoParametersClicked, "autoParametersClicked");
        note(d, &RawConvertConfig::autoGainToggled, "autoGainToggled");
        note(d, &RawConvertConfig::radiometryChanged, "radiometryChanged");
        note(d, &RawConvertConfig::legendChanged, "legendChanged");
        note(d, &RawConvertConfig::parametersChanged, "P");
    }
};

const QString kInitial = QStringLiteral("5400 9000 6500 7500 8000|5400.0 9000.0 8000.0|6500 7500");
} // namespace

class TestRawConvertConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void form() {
        RawConvertConfig d;
        QCOMPARE(d.windowTitle(), QStringLiteral("RAW Conversion Parameters"));
        QStringList shown;
        for (const QGroupBox* group : d.findChildren<QGroupBox*>())
            shown << group->title();
        for (const char* name : {"cbColorMode", "cbRadiometry"})
            for (int i = 0; i < child<QComboBox>(d, name)->count(); ++i)
                shown << child<QComboBox>(d, name)->itemText(i);
        for (const char* name : {"rbRotate0", "rbRotate90", "rbRotateMinus90", "rbRotate180",
                                 "lblBiColorLow", "lblBiColorHigh", "lblPercent",
                                 "lblRangeScaleMin", "lblRangeScaleMax", "sbPercentageChange"})
            shown << child(d, name)->property(name[0] == 's' ? "toolTip" : "text").toString();
        // minimum..maximum/step/page step/decimals of one control of each kind
        // (the four raw sliders share the first)
        for (const char* name :
             {"slBiColorHigh", "slMiddleTemperature", "sbPercentageChange", "dsbGainMid"}) {
            QStringList p;
            for (const char* property :
                 {"minimum", "maximum", "singleStep", "pageStep", "decimals"})
                p << child(d, name)->property(property).toString();
            shown << p[0] + ".." + p.mid(1).join('/');
        }
        QCOMPARE(
            shown.join('/'),
            QStringLiteral("Color adjustments/Range adjustments/Temperatures/Image rotation/"
                           "Grayscale/Iron/Arctic/Rainbow High Contrast/none/TLinear high gain/"
                           "TLinear low gain/0°/90°Clockwise/90° Counter Clockwise/180°/"
                           "     low:/     high:/Percent/0/16383/"
                           "Lower value results in less flickering video playback/"
                           "0..16383/1/10//0..16383/10/10//0..100/1///-400..16383/1//1"));
        QCOMPARE(state(d), kInitial);
        QCOMPARE(
            (QList<int>{d.getColorMode(), d.getInverted(), d.getBiColorModeEnabled(),
                        d.getAutoGainEnabled(), d.getPercentageChange(), d.getRadiometryOption(),
                        d.getLegendVisibility(), child<QRadioButton>(d, "rbRotate0")->isChecked()}),
            (QList<int>{0, false, false, true, 100, 0, false, true}));
    }

    // Temperatures are computed in single precision: in double precision raw 7405
    // would show 23.1 in high gain, and 742 23.7 and 16383 6280.1 in low gain.
    void conversions() {
        RawConvertConfig d;
        QCOMPARE(d.getSliderValueFromSpinBox(-3.7), -3);
        d.setRadiometryOption(1);
        QCOMPARE(d.getLabelText(7405), QStringLiteral("23.0"));
        d.setRadiometryOption(2);
        QCOMPARE(d.getLabelText(742), QStringLiteral("23.6"));
        QCOMPARE(d.getLabelText(16383), QStringLiteral("6280.0"));
    }

    // Steps from the initial state (the row name, separated by ';'), the state
    // they leave and the signals of the last step ("P": parametersChanged).
    void interactions_data() {
        QTest::addColumn<QString>("after");
        auto row = [](const char* steps, const char* after) {
            QTest::newRow(steps) << QString(after).replace("same|", kInitial + '|');
        };
        // The ordering pulls the other sliders (and their labels) along.
        row("slLowerBound=9500", "9000 9000 9000 9000 9000|9000.0 9000.0 9000.0|9000 9000|P P");
        row("slUpperBound=6000", "5400 6000 6000 6000 5700|5400.0 6000.0 5700.0|6000 6000|P P");
        row("slBiColorLow=8000", "5400 9000 7500 7500 8000|5400.0 9000.0 8000.0|7500 7500|P");
        row("slBiColorLow=100", "5400 9000 5400 7500 8000|5400.0 9000.0 8000.0|5400 7500|P");
        row("slBiColorHigh=200", "5400 9000 5400 5400 8000|5400.0 9000.0 8000.0|5400 5400|P");
        row("slBiColorHigh=12000", "5400 9000 6500 9000 8000|5400.0 9000.0 8000.0|6500 9000|P");
        // "Gain mid" moves the window silently, with one report for the shift.
        row("slMiddleTemperature=8100",
            "5500 9100 6500 7500 8100|5500.0 9100.0 8100.0|6500 7500|P");
        row("slMiddleTemperature=13000",
            "10400 14000 10400 10400 13000|10400.0 14000.0 13000.0|10400 10400|P");
        row("dsbGainHigh=12345.6", "5400 12345 6500 7500 8872|5400.0 12345.0 8872.0|6500 7500|P P");
        row("setSliderValues=200,100", "same|");
        row("setSliderValues=1000,12000",
            "1000 12000 6500 7500 6500|1000.0 12000.0 6500.0|6500 7500|P");
        // 1001 + 10999 / 2, halved toward zero
        row("setThresholds=1001,12000",
            "1001 12000 6500 7500 6500|1001.0 12000.0 6500.0|6500 7500|P P P P");
        // 5400 shows as -57.2, which stands for 5398; in low gain 5400 shows as
        // 1886.8 (5399), which shows as 1886.4 (5398): two settling steps.
        row("cbRadiometry=1",
            "5398 9000 6500 7500 7199|-57.2 86.8 14.8|-13.1 26.9|P P radiometryChanged(1)");
        row("cbRadiometry=2", "5398 9000 6500 7500 7199|1886.1 3326.9 2606.4|2326.9 2726.9|P P P "
                              "radiometryChanged(2)");
        row("cbRadiometry=1;cbRadiometry=2;cbRadiometry=0",
            "5398 9000 6500 7500 7199|5398.0 9000.0 7199.0|6500 7500|radiometryChanged(0)");
        // Controls that leave the window alone report on their own signals.
        row("btnAutoParameters=click", "same|autoParametersClicked");
        row("cbAutoGain=click", "same|autoGainToggled(false)");
        row("cbShowLegend=click", "same|legendChanged(true)");
        row("cbColorMode=1", "same|P");
        row("cbInvert=click", "same|P");
        row("cbBiColorEnabled=click", "same|P");
        row("rbRotate90=click", "same|orientationChanged orientationChanged");
        row("sbPercentageChange=40", "same|");
    }
    void interactions() {
        RawConvertConfig d;
        SignalLog log(d);
        for (const QString& step : QString(QTest::currentDataTag()).split(';')) {
            log.entries.clear();
            act(d, step);
        }
        QTEST(state(d) + '|' + log.entries.join(' '), "after");
    }

    void typedGainLowInHighGain() {
        RawConvertConfig d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.setRadiometryOption(1);
        QDoubleSpinBox* field = child<QDoubleSpinBox>(d, "dsbGainLow");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("30.0"));
        QCOMPARE(d.getLowerBound(), 5398); // nothing applied before Return
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(state(d), QStringLiteral("7578 9000 7578 7578 8289|30.0 86.8 58.4|30.0 30.0"));
        QVERIFY(d.isVisible()); // Return confirmed the value, it did not close the window
    }

    void biColorEnable() {
        RawConvertConfig d;
        for (bool on : {false, true, false}) {
            child<QAbstractButton>(d, "cbBiColorEnabled")->setChecked(on);
            for (const char* name : {"slBiColorLow", "slBiColorHigh", "lblBiColorLow",
                                     "lblBiColorHigh", "lblBiColorLowValue", "lblBiColorHighValue"})
                QVERIFY2(child(d, name)->isEnabled() == on, name);
        }
    }

    // The checked button, getRotation and the console after each setRotation;
    // getRotation's -90 comes back from the settings store.
    void rotation() {
        RawConvertConfig d;
        QString shown;
        for (int angle : {90, 180, 0, 270, -90, 45}) {
            testsupport::Recorder recorder;
            d.setRotation(angle);
            for (const QRadioButton* b : d.findChildren<QRadioButton*>())
                shown += b->isChecked() ? b->objectName() + ' ' : QString();
            shown += QString::number(d.getRotation()) + ' ' + recorder.out + '/';
        }
        QCOMPARE(
            shown,
            QStringLiteral(
                "rbRotate90 90 /rbRotate180 180 /rbRotate0 0 /rbRotateMinus90 -90 /"
                "rbRotateMinus90 -90 /rbRotate0 0 Not supported angle given, setting to 0\n/"));
    }
};

QTEST_MAIN(TestRawConvertConfig)
#include "tst_rawconvertconfig.moc"
