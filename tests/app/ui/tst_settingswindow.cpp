// The window with the settings store: what a start shows, and what a close
// or "Quit" leaves for the next start.
#include "app/SettingsStore.h"
#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/ui/VideoExportSettings.h"
#include "telemetry/ui/DateTimeSettings.h"

using namespace windowtest;

namespace {

QSettings rawStore() {
    return QSettings(QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"));
}

// The 25 keys holding something other than their default, as text (as the
// store's file holds them).
QVariantMap changedKeys() {
    const char* const pairs[][2] = {{"displayLegend", "false"},
                                    {"radiometryOption", "2"},
                                    {"colorMode", "1"},
                                    {"colorInverted", "true"},
                                    {"autoGainEnabled", "false"},
                                    {"lowRawValue", "1200"},
                                    {"highRawValue", "9000"},
                                    {"percentageChange", "35"},
                                    {"rotation", "-90"},
                                    {"parseNMEA", "false"},
                                    {"parseMdDownlink", "true"},
                                    {"parseMAVLink", "false"},
                                    {"metaCSV", "true"},
                                    {"showHotSpot", "true"},
                                    {"mouseDragging", "true"},
                                    {"metaRAW", "true"},
                                    {"CSVDelimiter", ","},
                                    {"CheckFrameCounter", "true"},
                                    {"HourOffset", "-7"},
                                    {"driftCompensationEnabled", "false"},
                                    {"fusionScaleFactor", "62.25"},
                                    {"fusionShiftX", "-36"},
                                    {"fusionShiftY", "17"},
                                    {"fusionOpacity", "80"},
                                    {"automaticUpdates", "true"}};
    QVariantMap map;
    for (const auto& pair : pairs)
        map.insert(QLatin1String(pair[0]), QLatin1String(pair[1]));
    return map;
}

} // namespace

class TestSettingsWindow : public QObject, Fixture {
    Q_OBJECT

    bool checked(const char* action) const { return get<QAction>(action)->isChecked(); }

    // What the window shows of the 25 keys, in their order.
    QString shown() const {
        RawConvertConfig* raw = window->rawConfig();
        VideoExportSettings* exporting = window->exportSettings();
        QStringList list;
        for (const QVariant& v :
             QVariantList{raw->getLegendVisibility(),
                          raw->getRadiometryOption(),
                          raw->getColorMode(),
                          raw->getInverted(),
                          raw->getAutoGainEnabled(),
                          raw->getLowerBound(),
                          raw->getUpperBound(),
                          raw->getPercentageChange(),
                          raw->getRotation(),
                          checked("actionParse_NMEA_Data"),
                          checked("actionParse_md_downlink_data"),
                          checked("actionParse_MAVLink_data"),
                          exporting->getMetaCsvSelection(),
                          checked("actionMark_Hotspot"),
                          checked("actionToogle_mouse_dragging"),
                          exporting->getMetaRAWSelection(),
                          exporting->getCSVDelimiter(),
                          checked("actionCheck_frame_counter_on_open"),
                          window->findChild<DateTimeSettings*>()->getHourOffset(),
                          checked("actionDrift_compensation"),
                          get<QDoubleSpinBox>("sbScale")->value(),
                          get<QSlider>("slShiftX")->value(),
                          get<QSlider>("slShiftY")->value(),
                          get<QSlider>("slThermoOpacity")->value(),
                          checked("actionAutomatic_Updates"),
                          window->areAutomaticUpdatesDisabled()})
            list << v.toString();
        return list.join(' ');
    }

private slots:
    void initTestCase() { dir = testsupport::scratchDir(); }

    void firstStart() {
        start(false);
        QCOMPARE(shown(), QStringLiteral("true 0 0 false true 0 16383 100 0 false false false "
                                         "false false false false ; false 0 true 49 0 0 50 "
                                         "false false"));
        QCOMPARE(window->getTLinearResolution(), 4.0f);
        QVERIFY(checked("actionShow_legend"));
        QCOMPARE(get<QGraphicsView>("gvImage")->dragMode(), QGraphicsView::NoDrag);
    }

    // Every key shown by its control, and written back from it on close.
    void storedChoicesSurviveARestart() {
        start(false, changedKeys());
        QCOMPARE(shown(), QStringLiteral("false 2 1 true false 1200 9000 35 -90 false true false "
                                         "true true true true , true -7 false 62.25 -36 17 80 "
                                         "true true"));
        QCOMPARE(window->getTLinearResolution(), 0.4f);
        QVERIFY(!checked("actionShow_legend"));
        // The dragging handler ran once.
        QCOMPARE(get<QGraphicsView>("gvImage")->dragMode(), QGraphicsView::ScrollHandDrag);
        window.reset();
        QSettings store = rawStore();
        const QVariantMap stored = changedKeys();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QCOMPARE(it.key() + '=' + store.value(it.key()).toString(),
                     it.key() + '=' + it.value().toString());
        QCOMPARE(store.allKeys().size(), 26); // and the browser's folder
    }

    void radiometryOptionSetsTheStep_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<float>("kelvinPerCount");
        QTest::newRow("high gain") << "1" << 0.04f;
        // An option the dialog lacks leaves both at the form's "none".
        QTest::newRow("unknown") << "7" << 4.0f;
    }
    void radiometryOptionSetsTheStep() {
        QFETCH(QString, option);
        QFETCH(float, kelvinPerCount);
        start(false, {{QStringLiteral("radiometryOption"), option}});
        QCOMPARE(window->getTLinearResolution(), kelvinPerCount);
        QCOMPARE(window->rawConfig()->getRadiometryOption(),
                 kelvinPerCount == 4.0f ? 0 : option.toInt());
    }

    // "-serial nmea" opens the flight parsed; the stored "no parser" then
    // replaces the option, and the details must not keep frame 1's position
    // while later frames go unparsed.
    void storedParseChoiceReplacesTheOptionsOnScreen() {
        synth::MovieOptions options;
        options.frames = 4;
        options.scene.width = 160;
        options.scene.height = 120;
        options.telemetry = synth::Telemetry::Nmea;
        const QString movie = path(QStringLiteral("serial.THM"));
        QVERIFY(synth::writeFile(movie, synth::makeMovie(options)));
        start(false);
        window.reset();
        QByteArray args[] = {"kalorix", "-i", QFile::encodeName(movie), "-serial", "nmea"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(),
                        args[3].data(), args[4].data(), nullptr};
        window = std::make_unique<Kalorix>(5, argv, nullptr);
        QVERIFY(!checked("actionParse_NMEA_Data"));
        for (int frame : {1, 3}) {
            slider()->setValue(frame);
            QCOMPARE(label("lblLatitude") + label("lblTime") + label("lblDate"), QString());
        }
    }

    void updateChoiceFollowsItsAction() {
        start(false, {{QStringLiteral("automaticUpdates"), QStringLiteral("true")}});
        trigger("actionAutomatic_Updates");
        QVERIFY(!window->areAutomaticUpdatesDisabled());
        window.reset();
        QCOMPARE(rawStore().value(QStringLiteral("automaticUpdates")).toString(),
                 QStringLiteral("false"));
    }

    // A palette chosen just before "Quit" is lost; closing the window keeps it.
    void quitDoesNotSaveButClosingDoes() {
        start(false);
        window.reset();
        const QString fileName = kx::SettingsStore().fileName();
        const QByteArray before = testsupport::fileBytes(fileName);
        QVERIFY(!before.isEmpty());
        QCOMPARE(runQuitChild(), QByteArray("before quit\n0"));
        QCOMPARE(testsupport::fileBytes(fileName), before);

        window = makeWindow();
        window->rawConfig()->setColorMode(2);
        window.reset();
        rawStore().sync();
        QCOMPARE(kx::SettingsStore().load().conversion.colorMode, 2);
    }
};

int main(int argc, char** argv) {
    return windowTestMain<TestSettingsWindow>(
        argc, argv, [](Kalorix& window) { window.rawConfig()->setColorMode(2); });
}

#include "tst_settingswindow.moc"
