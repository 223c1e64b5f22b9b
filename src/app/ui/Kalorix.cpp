#include "app/ui/Kalorix.h"

#include "app/KalorixController.h"
#include "app/SettingsStore.h"
#include "app/ui/FileBrowserPane.h"
#include "app/ui/ImageViewPane.h"
#include "app/ui/KX_InfoDialog.h"
#include "app/ui/PlaybackControl.h"
#include "app/ui/TelemetryPanel.h"
#include "conversion/ui/RadiometricConfig.h"
#include "conversion/ui/RawConvertConfig.h"
#include "corrections/BitLaneTest.h"
#include "corrections/ui/NucConfiguration.h"
#include "export/ui/VideoExportSettings.h"
#include "recording/DataConverter.h"
#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"
#include "ui_Kalorix.h"

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>

namespace {

// Keeps a scroll area as wide as the panel inside it would like to be, with room for
// the vertical scroll bar, whenever the panel's layout changes.
class PanelWidthFollower : public QObject {
public:
    PanelWidthFollower(QScrollArea* area, QWidget* panel)
        : QObject(panel)
        , area(area) {}
    static void follow(QScrollArea* area, QWidget* panel) {
        area->setMinimumWidth(panel->sizeHint().width() +
                              area->verticalScrollBar()->sizeHint().width());
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest)
            follow(area, static_cast<QWidget*>(watched));
        return false;
    }

private:
    QScrollArea* area;
};

} // namespace

Kalorix::Kalorix(int argc, char** argv, QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::Kalorix>()) {
    // 1. Window, form, working images, T-linear step. The icons live in a
    //    static library, so their registration is asked for by name.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    connectActions();
    displayImage = QImage(1, 1, QImage::Format_RGB888);
    daylightImage = QImage(1, 1, QImage::Format_RGB888);
    tLinearResolution = 0.04f;
    telemetryPanel = new TelemetryPanel({ui->lblCamera, ui->lblDate, ui->lblTime, ui->lblLatitude,
                                         ui->lblLongitude, ui->lblAltitude, ui->lblSatellites,
                                         ui->lblTrackHeading, ui->lblMagHeading, ui->lblTempFPA,
                                         ui->lblTempHousing, ui->lblFrameNumber},
                                        ui->detailsForm, this);
    imageView = new ImageViewPane(ui->gvImage, ui->actionToogle_mouse_dragging, this);
    connect(imageView, &ImageViewPane::pointerMoved, this, &Kalorix::pointerMoved);
    connect(ui->actionZoom_in, &QAction::triggered, imageView, &ImageViewPane::zoomIn);
    connect(ui->actionZoom_out, &QAction::triggered, imageView, &ImageViewPane::zoomOut);
    connect(ui->actionZoom_fit, &QAction::triggered, imageView, &ImageViewPane::zoomFit);
    connect(ui->actionZoom_to_original_size, &QAction::triggered, imageView,
            &ImageViewPane::zoomToOriginalSize);
    imageView->attachOverlayControls(
        {ui->slThermoOpacity,
         ui->sbThermoOpacity,
         ui->slShiftX,
         ui->sbShiftX,
         ui->slShiftY,
         ui->sbShiftY,
         ui->sbScale,
         {ui->slThermoOpacity, ui->sbThermoOpacity, ui->slShiftX, ui->sbShiftX, ui->slShiftY,
          ui->sbShiftY, ui->sbScale, ui->lblThermoOpacity, ui->lblShiftX, ui->lblShiftY,
          ui->lblScale, ui->wgDualCam}});
    connect(imageView, &ImageViewPane::overlayOpacityChanged, this, [this]() {
        if (!playback->isPlaying())
            repaintDisplayImage();
    });
    connect(imageView, &ImageViewPane::overlayPlacementChanged, this,
            &Kalorix::repaintDisplayImage);

    // 2. Long-lived objects, in their fixed order. The TIFF exporter takes
    //    its place between these as it is built.
    dataConverter = new DataConverter(this);
    controller = new KalorixController(dataConverter, this);
    setupMergeSplit();
    serialDataExplorer = new SerialDataExplorer(this);
    bitLaneTest = std::make_unique<BitLaneTest>(dataConverter);
    dateTimeSettings = new DateTimeSettings(this);
    nucConfiguration = new NucConfiguration(this);

    // 3. Wiring of those objects.
    connect(dateTimeSettings, &DateTimeSettings::timeOffsetChanged, dataConverter,
            &DataConverter::changedHourOffset);
    connect(ui->actionTest_TMC_file, &QAction::triggered, controller,
            &KalorixController::checkCurrentTMC);
    // The file test converts every frame through the converter's working
    // frame; show the frame the slider points at again afterwards, so the
    // read-out and the labels describe the picture on screen.
    connect(ui->actionTest_TMC_file, &QAction::triggered, this, &Kalorix::reloadCurrentImage);
    connect(serialDataExplorer, &QDialog::finished, this,
            [this]() { ui->actionDisplay_Serial_Data->setChecked(false); });
    connectCorrections();

    // 4. Hidden until they are needed.
    dateTimeSettings->hide();
    ui->wgVideoControls->hide();
    ui->progressBar->hide();
    ui->btnBitLaneTest->hide();
    setDualCamControlsVisible(false);

    // 5. Title.
    setWindowTitle(windowTitle() + QStringLiteral(" ") + QLatin1String(kVersion) +
                   QStringLiteral(" - Velmora Technology"));

    // 6. Radiometric constants and the export settings.
    radiometricConfig = new RadiometricConfig(this);
    videoExportSettings = new VideoExportSettings(this);
    connect(radiometricConfig, &RadiometricConfig::planckBChanged, this,
            &Kalorix::planckBValueChanged);
    connect(radiometricConfig, &RadiometricConfig::planckOChanged, this,
            &Kalorix::planckOValueChanged);
    connect(radiometricConfig, &RadiometricConfig::planckR1Changed, this,
            &Kalorix::planckR1ValueChanged);
    connect(radiometricConfig, &RadiometricConfig::planckR2Changed, this,
            &Kalorix::planckR2ValueChanged);
    connect(videoExportSettings, &VideoExportSettings::executeExport, this,
            &Kalorix::executeFrameExport);
    radiometricConfig->getRadioConstants(planckB, planckO, planckR1, planckR2);

    // 7. The controller reports to the window only through its signals.
    connectController();

    // 8. Range and palette settings, about dialog.
    rawConvertConfig = new RawConvertConfig(this);
    infoDialog = new KX_InfoDialog(this);
    connect(rawConvertConfig, &RawConvertConfig::orientationChanged, this,
            &Kalorix::orientationChanged);
    connect(rawConvertConfig, &RawConvertConfig::autoParametersClicked, this,
            &Kalorix::autoHistogramClicked);
    connect(rawConvertConfig, &RawConvertConfig::autoGainToggled, this, &Kalorix::autoGainToggled);
    connect(dataConverter, &DataConverter::filePercentageChanged, this,
            &Kalorix::progressBarPercentageChanged);
    connect(rawConvertConfig, &RawConvertConfig::radiometryChanged, this,
            &Kalorix::radiometryChanged);
    connect(rawConvertConfig, &RawConvertConfig::legendChanged, this,
            &Kalorix::displayLegendChanged);
    connect(rawConvertConfig, &RawConvertConfig::parametersChanged, this,
            &Kalorix::rawParametersChanged);
    autoGain = rawConvertConfig->getAutoGainEnabled();
    legendVisible = rawConvertConfig->getLegendVisibility();
    ui->actionShow_legend->setChecked(legendVisible);

    // 9. File browser.
    setupFileBrowser();

    // 10. Frame range fields, drops, pane proportions, progress.
    setAcceptDrops(true);
    // The details panel scrolls on a short screen instead of squeezing its
    // labels and the correction tools below them; it is never narrower than
    // its contents need, however long a camera description gets.
    if (QWidget* panel = ui->splitter->widget(2)) {
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("saDetails"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        ui->splitter->insertWidget(2, scroll);
        scroll->setWidget(panel);
        panel->installEventFilter(new PanelWidthFollower(scroll, panel));
        PanelWidthFollower::follow(scroll, panel);
    }
    ui->splitter->setStretchFactor(0, 1);
    ui->splitter->setStretchFactor(1, 4);
    ui->splitter->setStretchFactor(2, 1);
    ui->splitter->setSizes({240, 800, 240});
    ui->progressBar->setValue(0);
    playback = new PlaybackControl(
        {ui->wgVideoControls, ui->videoLayout, ui->buttonRow, ui->slMovieFiles, ui->lblCurrentFrame,
         ui->btnFrameDown, ui->btnFrameUp, ui->btnPlayVideo, ui->btnPlayDoubleSpeed,
         ui->btnPlayTrippleSpeed, ui->lblStartFrame, ui->leStartFrame, ui->btnSetBegin,
         ui->lblEndFrame, ui->leEndFrame, ui->btnSetEnd},
        this, dataConverter,
        [this]() {
            return currentFileType == ksDefines::RawRecording && isMovieFile(currentFileName);
        },
        this);
    connect(playback, &PlaybackControl::frameChosen, this, &Kalorix::showMovieFrame);
    connect(ui->actionStart_playing_movie, &QAction::triggered, playback,
            &PlaybackControl::togglePlaying);
    setupFrameNote();
    setupViewerTools();

    // 11. Optional logo of the operator.
    insertCustomLogo();

    // 12. Command line: the inputs it names are opened and exported.
    processCommandLineParameters(argc, argv);

    // 13. Stored settings replace what the options set for the window.
    loadSettings();
    // 14. Update check: the action holds the choice that is saved; switching
    //     the check back on starts it.
    connect(ui->actionAutomatic_Updates, &QAction::toggled, this,
            &Kalorix::disableAutomaticUpdates);
    connect(ui->actionAutomatic_Updates, &QAction::toggled, this, &Kalorix::checkUpdates);
    if (!automaticUpdatesDisabled)
        checkUpdates(false);
    // 15. Drift compensation as stored, compensation progress.
    finishCorrectionsSetup();
}

Kalorix::~Kalorix() {
    if (settingsLoaded)
        saveSettings();
}

void Kalorix::loadSettings() {
    const kx::Settings stored = kx::SettingsStore().load();
    const kx::ConversionSettings& conversion = stored.conversion;
    const kx::ExportSettings& exporting = stored.exportSettings;
    const kx::TelemetrySettings& telemetry = stored.telemetry;
    const kx::DisplaySettings& display = stored.display;
    const bool knownRadiometry = conversion.radiometryOption >= kx::radiometry::NoRadiometry &&
                                 conversion.radiometryOption <= kx::radiometry::LowGain;

    rawConvertConfig->setLegendVisibility(conversion.legendVisible);
    if (knownRadiometry)
        rawConvertConfig->setRadiometryOption(conversion.radiometryOption);
    rawConvertConfig->setColorMode(conversion.colorMode);
    rawConvertConfig->setInverted(conversion.inverted);
    rawConvertConfig->setAutoGainEnabled(conversion.autoGainEnabled);
    rawConvertConfig->setSliderValues(int(conversion.lowerRawBound), int(conversion.upperRawBound));
    rawConvertConfig->setPercetageChange(conversion.percentageChange);
    rawConvertConfig->setRotation(conversion.rotation);
    const ksDefines::serialContent shownSerial = currentSerialContent();
    ui->actionParse_NMEA_Data->setChecked(telemetry.serialKind == ksDefines::NMEA);
    ui->actionParse_md_downlink_data->setChecked(telemetry.serialKind == ksDefines::MdDownlink);
    ui->actionParse_MAVLink_data->setChecked(telemetry.serialKind == ksDefines::MAVLink);
    videoExportSettings->setMetaCsvSelection(exporting.metaCsv);
    ui->actionMark_Hotspot->setChecked(exporting.markHotspot);
    ui->actionToogle_mouse_dragging->setChecked(display.mouseDragging);
    imageView->applyDragging();
    videoExportSettings->setMetaRAWSelection(exporting.metaRaw);
    videoExportSettings->setCSVDelimiter(exporting.csvDelimiter);
    ui->actionCheck_frame_counter_on_open->setChecked(telemetry.checkFrameCounter);
    dateTimeSettings->setHourOffset(telemetry.hourOffset);
    ui->actionDrift_compensation->setChecked(display.driftCompensationEnabled);
    kx::FusionOverlayControls overlay;
    overlay.scalePercent = display.fusionScaleFactor;
    overlay.shiftX = display.fusionShiftX;
    overlay.shiftY = display.fusionShiftY;
    overlay.opacityPercent = display.fusionOpacity;
    imageView->setOverlayControls(overlay);

    legendVisible = rawConvertConfig->getLegendVisibility();
    ui->actionShow_legend->setChecked(legendVisible);
    // An option the dialog does not know leaves the dialog, and so the step, as
    // the command line or the form set them: the legend and the pixel read-out
    // then agree on whether temperatures are shown.
    radiometryChanged(rawConvertConfig->getRadiometryOption());
    automaticUpdatesDisabled = display.automaticUpdates;
    ui->actionAutomatic_Updates->setChecked(automaticUpdatesDisabled);
    // A stored parse choice that replaces the one an option opened the file
    // with must also replace what is shown: otherwise the details keep the
    // first frame's position while later frames go unparsed.
    if (currentSerialContent() != shownSerial)
        showParseChoice();
    settingsLoaded = true;
}

void Kalorix::saveSettings() {
    // What the dialogs and actions hold, plus the window's own choices.
    kx::Settings current = currentSettings();
    current.display.mouseDragging = ui->actionToogle_mouse_dragging->isChecked();
    current.display.driftCompensationEnabled = ui->actionDrift_compensation->isChecked();
    const kx::FusionOverlayControls overlay = imageView->overlayControls();
    current.display.fusionScaleFactor = overlay.scalePercent;
    current.display.fusionShiftX = overlay.shiftX;
    current.display.fusionShiftY = overlay.shiftY;
    current.display.fusionOpacity = overlay.opacityPercent;
    current.display.automaticUpdates = automaticUpdatesDisabled;
    current.display.lastBrowserFolder = fileBrowser->folder();
    kx::SettingsStore().save(current);
}

void Kalorix::insertCustomLogo() {
    const QFileInfo logo(QStringLiteral("logo.png"));
    if (!logo.exists() || !logo.isFile())
        return;
    QPixmap pixmap;
    if (pixmap.load(logo.filePath()))
        ui->lblLogo->setPixmap(pixmap);
}

void Kalorix::connectController() {
    KalorixController* c = controller;
    connect(c, &KalorixController::updateFileNameLabel, this, &Kalorix::updateFileNameLabel);
    connect(c, &KalorixController::updateImageZoom, this, &Kalorix::updateImageZoom);
    connect(c, &KalorixController::requestDisplayImageResize, this, &Kalorix::repaintDisplayImage);
    connect(c, &KalorixController::requestUILabelUpdate, this, &Kalorix::setLables);
    connect(c, &KalorixController::updateCurrentFileType, this, &Kalorix::updateCurrentFileType);
    connect(c, &KalorixController::setVideoControlVisibility, this,
            &Kalorix::setVideoControlVisibility);
    connect(c, &KalorixController::updateImageLoadOkFlag, this, &Kalorix::setImageLoadOK);
    connect(c, &KalorixController::updateMinMaxRAWSliders, this, &Kalorix::updateMinMaxRAWSliders);
    connect(c, &KalorixController::updateLastImageWidth, this, &Kalorix::updateLastImageWidth);
    connect(c, &KalorixController::setFilenameLableVisibility, ui->lblFilename,
            &QLabel::setVisible);
    connect(c, &KalorixController::setProgressBarVisibility, ui->progressBar,
            &QProgressBar::setVisible);
    connect(c, &KalorixController::initUIVideoControls, this, &Kalorix::initUIVideoControls);
    connect(dataConverter, &DataConverter::hotspotAt, this, &Kalorix::updateMarkerPosition);
    connect(dataConverter, &DataConverter::enableProgressBar, this, &Kalorix::enableProgressBar);
    connect(dataConverter, &DataConverter::disableProgressBar, this, &Kalorix::disableProgressBar);
}

void Kalorix::setupFileBrowser() {
    fileBrowser = new FileBrowserPane(ui->tvFolders, ui->lvFiles, this);
    connect(fileBrowser, &FileBrowserPane::fileChosen, this, &Kalorix::openChosenFile);
    connect(fileBrowser, &FileBrowserPane::folderShown, this, &Kalorix::rememberBrowserFolder);
    QString start = kx::SettingsStore().load().display.lastBrowserFolder;
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    fileBrowser->showFolder(start);
}

// The folder is written as soon as the user moves to it, so that it survives
// "Quit". Files opened by the command line (before the stored settings are
// loaded) move the browser too, but a command-line run leaves the store as it
// found it: scripts must not change what the next interactive start shows.
void Kalorix::rememberBrowserFolder(const QString& path) {
    if (settingsLoaded)
        kx::SettingsStore().saveBrowserFolder(path);
}
