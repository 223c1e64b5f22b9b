#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RadiometricConfig.h"
#include "conversion/ui/RawConvertConfig.h"
#include "recording/DataConverter.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>

using namespace windowtest;

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    QString dir;
    std::unique_ptr<Kalorix> window;
    std::unique_ptr<testsupport::Recorder> recorder;

    QString path(const QString& name) const { return dir + QLatin1Char('/') + name; }
    QString label(const char* name) const { return child<QLabel>(*window, name)->text(); }

private slots:
    void initTestCase() {
        dir = testsupport::scratchDir() + QStringLiteral("/mainwindow");
        QDir().mkpath(dir);
        synth::MovieOptions nmea = smallMovie(3, false);
        nmea.telemetry = synth::Telemetry::Nmea;
        nmea.partNumber = "4664001900SR123";
        QVERIFY(synth::writeFile(path("nmea.THM"), synth::makeMovie(nmea)));
        // Version 5 compressed: frame 1 carries the FFC mark on counter 1.
        synth::MovieOptions ffc = smallMovie(2, true);
        ffc.version = 5;
        ffc.ffcFrames = {1};
        QVERIFY(synth::writeFile(path("ffc.TMC"), synth::makeMovie(ffc)));
        // Version 4 headers carry no part number: the camera is told by width.
        for (const QSize& size : {QSize(160, 128), QSize(336, 256), QSize(324, 256)}) {
            synth::MovieOptions single = smallMovie(1, false);
            single.version = 4;
            single.scene.width = size.width();
            single.scene.height = size.height();
            QVERIFY(synth::writeFile(path(QStringLiteral("w%1.THR").arg(size.width())),
                                     synth::makeSingleFrameFile(single)));
        }
    }

    void init() {
        recorder = std::make_unique<testsupport::Recorder>();
        window = makeWindow();
    }

    void cleanup() {
        window.reset();
        recorder.reset();
    }

    void startUpState() {
        // The dialog starts in "none": raw values, and "high"/"low" on the legend.
        QCOMPARE(window->getTLinearResolution(), 4.0f);
        QVERIFY(!window->isImageLoadOk());
        QVERIFY(!window->isDualCamera());
        window->show();
        QVERIFY(!child<QWidget>(*window, "wgVideoControls")->isVisible());
        QVERIFY(!child<QProgressBar>(*window, "progressBar")->isVisible());
        QCOMPARE(child<QProgressBar>(*window, "progressBar")->value(), 0);
        QVERIFY(child<QLabel>(*window, "lblFilename")->isVisible());
        for (const char* name :
             {"slThermoOpacity", "sbThermoOpacity", "slShiftX", "sbShiftX", "slShiftY", "sbShiftY",
              "sbScale", "lblThermoOpacity", "lblShiftX", "lblShiftY", "lblScale"})
            QVERIFY2(!child<QWidget>(*window, name)->isVisible(), name);
        QCOMPARE(child<QPushButton>(*window, "btnQuickExport")->toolTip(),
                 QStringLiteral("Exports the current frame using settings from export dialog"));
        QVERIFY(!child<QAction>(*window, "actionExport_frames")->isEnabled());
        auto* splitter = child<QSplitter>(*window, "splitter");
        QCOMPARE(splitter->count(), 3);
        QCOMPARE(splitter->widget(0)->sizePolicy().horizontalStretch(), 1);
        QCOMPARE(splitter->widget(1)->sizePolicy().horizontalStretch(), 4);
        QCOMPARE(splitter->widget(2)->sizePolicy().horizontalStretch(), 1);
        QVERIFY(window->acceptDrops());
        // Planck constants start at the dialog's defaults.
        QCOMPARE(window->getPlanckB(), 1600.0);
        QCOMPARE(window->getPlanckO(), -5030.0);
        QCOMPARE(window->getPlanckR1(), 16030.0);
        QCOMPARE(window->getPlanckR2(), 0.0953);
    }

    void frameFieldsTakeWholeNumbersUpTo100000_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("state");
        QTest::newRow("0") << "0" << int(QValidator::Acceptable);
        QTest::newRow("100000") << "100000" << int(QValidator::Acceptable);
        // Six digits may still be edited into range; seven may not.
        QTest::newRow("100001") << "100001" << int(QValidator::Intermediate);
        QTest::newRow("1000000") << "1000000" << int(QValidator::Invalid);
        QTest::newRow("-1") << "-1" << int(QValidator::Invalid);
        QTest::newRow("1.5") << "1.5" << int(QValidator::Invalid);
    }

    void frameFieldsTakeWholeNumbersUpTo100000() {
        QFETCH(QString, input);
        QFETCH(int, state);
        for (const char* name : {"leStartFrame", "leEndFrame"}) {
            const QValidator* validator = child<QLineEdit>(*window, name)->validator();
            QVERIFY(validator != nullptr);
            int pos = 0;
            QString text = input;
            QCOMPARE(int(validator->validate(text, pos)), state);
        }
    }

    void overlayControls() {
        auto* opacity = child<QSlider>(*window, "slThermoOpacity");
        auto* shiftX = child<QSlider>(*window, "slShiftX");
        auto* shiftY = child<QSlider>(*window, "slShiftY");
        auto* scale = child<QDoubleSpinBox>(*window, "sbScale");
        QCOMPARE(opacity->minimum(), 0);
        QCOMPARE(opacity->maximum(), 100);
        QCOMPARE(opacity->value(), 50);
        QCOMPARE(shiftX->minimum(), -200);
        QCOMPARE(shiftX->maximum(), 200);
        QCOMPARE(shiftX->value(), -36);
        QCOMPARE(shiftY->minimum(), -200);
        QCOMPARE(shiftY->maximum(), 200);
        QCOMPARE(shiftY->value(), -20);
        QCOMPARE(scale->decimals(), 2);
        QCOMPARE(scale->maximum(), 99.99);
        QCOMPARE(scale->value(), 49.0);
        // Slider and number field move together.
        shiftX->setValue(17);
        QCOMPARE(child<QSpinBox>(*window, "sbShiftX")->value(), 17);
        child<QSpinBox>(*window, "sbShiftY")->setValue(-150);
        QCOMPARE(shiftY->value(), -150);
        child<QSpinBox>(*window, "sbThermoOpacity")->setValue(80);
        QCOMPARE(opacity->value(), 80);
        window->setDualCamControlsVisible(true);
        window->show();
        QVERIFY(window->isDualCamera());
        QVERIFY(scale->isVisible());
        QVERIFY(child<QLabel>(*window, "lblShiftY")->isVisible());
    }

    void radiometrySetsTheResolution_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<float>("resolution");
        QTest::newRow("none") << 0 << 4.0f;
        QTest::newRow("high gain") << 1 << 0.04f;
        QTest::newRow("low gain") << 2 << 0.4f;
    }

    void radiometrySetsTheResolution() {
        QFETCH(int, option);
        QFETCH(float, resolution);
        window->radiometryChanged(2);
        window->radiometryChanged(option);
        QCOMPARE(window->getTLinearResolution(), resolution);
        // Any other option leaves it as it is.
        window->radiometryChanged(7);
        QCOMPARE(window->getTLinearResolution(), resolution);
    }

    void planckSlots() {
        window->planckBValueChanged(1410);
        window->planckOValueChanged(-6990);
        window->planckR1ValueChanged(15001);
        window->planckR2ValueChanged(999);
        QCOMPARE(window->getPlanckB(), 1410.0);
        QCOMPARE(window->getPlanckO(), -6990.0);
        QCOMPARE(window->getPlanckR1(), 15001.0);
        QCOMPARE(window->getPlanckR2(), 0.0999);
    }

    void partNumbers_data() {
        QTest::addColumn<QString>("partNumber");
        QTest::addColumn<QString>("description");
        QTest::newRow("640, 19 mm") << "4664001900SR123"
                                    << "KS 640, 19mm\nslow video\nradiometric";
        QTest::newRow("lower case s and r") << "4632402500sr000"
                                            << "KS 324, 25mm\nslow video\nradiometric";
        QTest::newRow("fast, non radiometric") << "4833600900FN000"
                                               << "KS 336, 9mm\nfast video\nnon radiometric";
        QTest::newRow("trailing blank") << "4664001900SR12 "
                                        << "KS 640, 19mm\nslow video\nradiometric";
        QTest::newRow("letters in the focal length") << "46640A1900SR123"
                                                     << "KS 640, 0mm\nslow video\nradiometric";
        QTest::newRow("14 characters") << "4664001900SR12"
                                       << "";
        QTest::newRow("16 characters") << "4664001900SR1234"
                                       << "";
        QTest::newRow("empty") << ""
                               << "";
    }

    void partNumbers() {
        QFETCH(QString, partNumber);
        QFETCH(QString, description);
        QCOMPARE(window->parse_Tau_Partnumber(partNumber), description);
    }

    void telemetryLabels() {
        QVERIFY(child<QAction>(*window, "actionParse_NMEA_Data")->isChecked());
        QVERIFY(window->openInputFile(path("nmea.THM")));
        // The flight starts at 47.3977 N, 8.5456 E, 480 m, 11 satellites,
        // 31.05.2016 14:24:23 UTC.
        QCOMPARE(label("lblLatitude"), QStringLiteral("47.39770"));
        QCOMPARE(label("lblLongitude"), QStringLiteral("8.54560"));
        QCOMPARE(label("lblAltitude"), QStringLiteral("480.0"));
        QCOMPARE(label("lblSatellites"), QStringLiteral("11"));
        QCOMPARE(label("lblDate"), QStringLiteral("31.05.2016"));
        QCOMPARE(label("lblTime"), QStringLiteral("14:24:23"));
        QCOMPARE(label("lblTempFPA"), QStringLiteral("31.4"));
        QCOMPARE(label("lblTempHousing"), QStringLiteral("29.87"));
        QCOMPARE(label("lblCamera"), QStringLiteral("KS 640, 19mm\nslow video\nradiometric"));
        QVERIFY(!label("lblTrackHeading").isEmpty());
        QVERIFY(!label("lblMagHeading").isEmpty());

        // Unchecking blanks the eight telemetry labels; the header's values stay.
        child<QAction>(*window, "actionParse_NMEA_Data")->trigger();
        for (const char* name : {"lblDate", "lblTime", "lblLatitude", "lblLongitude", "lblAltitude",
                                 "lblSatellites", "lblTrackHeading", "lblMagHeading"})
            QVERIFY2(label(name).isEmpty(), name);
        QCOMPARE(label("lblTempFPA"), QStringLiteral("31.4"));
        QCOMPARE(label("lblCamera"), QStringLiteral("KS 640, 19mm\nslow video\nradiometric"));
        // Stepping on without parsing leaves them blank.
        child<QSlider>(*window, "slMovieFiles")->setValue(2);
        QCOMPARE(label("lblLatitude"), QString());

        // Checking again reloads the frame with parsing.
        child<QAction>(*window, "actionParse_NMEA_Data")->trigger();
        QCOMPARE(child<QSlider>(*window, "slMovieFiles")->value(), 2);
        QVERIFY(label("lblLatitude").startsWith(QLatin1String("47.39")));
        QCOMPARE(label("lblDate"), QStringLiteral("31.05.2016"));
    }

    void frameNumberDropsTheFfcMark() {
        QVERIFY(window->openInputFile(path("ffc.TMC")));
        QCOMPARE(window->converter()->getCurrentFrameNumber(), 8193u);
        QCOMPARE(label("lblFrameNumber"), QStringLiteral("1"));
        child<QSlider>(*window, "slMovieFiles")->setValue(2);
        QCOMPARE(window->converter()->getCurrentFrameNumber(), 2u);
        QCOMPARE(label("lblFrameNumber"), QStringLiteral("2"));
    }

    void cameraFromWidth_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("camera");
        QTest::newRow("160") << "w160.THR"
                             << "KS 160";
        QTest::newRow("336") << "w336.THR"
                             << "KS 336";
        QTest::newRow("324") << "w324.THR"
                             << "KS 324";
    }

    void cameraFromWidth() {
        QFETCH(QString, file);
        QFETCH(QString, camera);
        QVERIFY(window->openInputFile(path(file)));
        QCOMPARE(label("lblCamera"), camera);
    }

    void customLogo() {
        const QString logo = QDir::currentPath() + QStringLiteral("/logo.png");
        QFile::remove(logo);
        QVERIFY(child<QLabel>(*window, "lblLogo")->pixmap(Qt::ReturnByValue).isNull());
        QImage picture(30, 12, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(logo));
        window = makeWindow();
        QCOMPARE(child<QLabel>(*window, "lblLogo")->pixmap(Qt::ReturnByValue).size(),
                 QSize(30, 12));
        QVERIFY(QFile::remove(logo));
    }
};

int main(int argc, char** argv) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
