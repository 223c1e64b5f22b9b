#include "app/ui/Kalorix.h"

#include "app/KalorixController.h"
#include "app/SettingsStore.h"
#include "app/ui/KX_InfoDialog.h"
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
#include <QFileSystemModel>
#include <QGraphicsScene>
#include <QHeaderView>
#include <QIntValidator>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

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
    displayImage = QImage(1, 1, QImage::Format_RGB888);
    daylightImage = QImage(1, 1, QImage::Format_RGB888);
    tLinearResolution = 0.04f;
    scene = new QGraphicsScene(this);
    ui->gvImage->setScene(scene);
    ui->gvImage->viewport()->installEventFilter(this);
    ui->gvImage->viewport()->setMouseTracking(true);

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
    ui->leStartFrame->setValidator(new QIntValidator(0, 100000, ui->leStartFrame));
    ui->leEndFrame->setValidator(new QIntValidator(0, 100000, ui->leEndFrame));
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
    setupFrameNavigation();
    setupViewerTools();
    setupAdaptiveLayout();
    // The overlay's number fields move their sliders; the sliders' handlers
    // move the fields back without a loop.
    connect(ui->sbThermoOpacity, QOverload<int>::of(&QSpinBox::valueChanged), ui->slThermoOpacity,
            &QSlider::setValue);
    connect(ui->sbShiftX, QOverload<int>::of(&QSpinBox::valueChanged), ui->slShiftX,
            &QSlider::setValue);
    connect(ui->sbShiftY, QOverload<int>::of(&QSpinBox::valueChanged), ui->slShiftY,
            &QSlider::setValue);

    // 11. Optional logo of the operator.
    insertCustomLogo();

    // 12. Command line. When it ends the program, nothing else starts: main
    //     returns the exit code without showing the window.
    processCommandLineParameters(argc, argv);
    if (commandLineExitCode())
        return;

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
    ui->actionParse_NMEA_Data->setChecked(telemetry.serialKind == ksDefines::NMEA);
    ui->actionParse_md_downlink_data->setChecked(telemetry.serialKind == ksDefines::MdDownlink);
    ui->actionParse_MAVLink_data->setChecked(telemetry.serialKind == ksDefines::MAVLink);
    videoExportSettings->setMetaCsvSelection(exporting.metaCsv);
    ui->actionMark_Hotspot->setChecked(exporting.markHotspot);
    ui->actionToogle_mouse_dragging->setChecked(display.mouseDragging);
    on_actionToogle_mouse_dragging_triggered();
    videoExportSettings->setMetaRAWSelection(exporting.metaRaw);
    videoExportSettings->setCSVDelimiter(exporting.csvDelimiter);
    ui->actionCheck_frame_counter_on_open->setChecked(telemetry.checkFrameCounter);
    dateTimeSettings->setHourOffset(telemetry.hourOffset);
    ui->actionDrift_compensation->setChecked(display.driftCompensationEnabled);
    ui->sbScale->setValue(display.fusionScaleFactor);
    ui->slShiftX->setValue(display.fusionShiftX);
    ui->slShiftY->setValue(display.fusionShiftY);
    ui->slThermoOpacity->setValue(display.fusionOpacity);

    legendVisible = rawConvertConfig->getLegendVisibility();
    ui->actionShow_legend->setChecked(legendVisible);
    // An option the dialog does not know leaves the dialog, and so the step, as
    // the command line or the form set them: the legend and the pixel read-out
    // then agree on whether temperatures are shown.
    radiometryChanged(rawConvertConfig->getRadiometryOption());
    automaticUpdatesDisabled = display.automaticUpdates;
    ui->actionAutomatic_Updates->setChecked(automaticUpdatesDisabled);
    settingsLoaded = true;
}

void Kalorix::saveSettings() {
    // What the dialogs and actions hold, plus the window's own choices.
    kx::Settings current = currentSettings();
    current.display.mouseDragging = ui->actionToogle_mouse_dragging->isChecked();
    current.display.driftCompensationEnabled = ui->actionDrift_compensation->isChecked();
    current.display.fusionScaleFactor = ui->sbScale->value();
    current.display.fusionShiftX = ui->slShiftX->value();
    current.display.fusionShiftY = ui->slShiftY->value();
    current.display.fusionOpacity = ui->slThermoOpacity->value();
    current.display.automaticUpdates = automaticUpdatesDisabled;
    current.display.lastBrowserFolder = fileModel->rootPath();
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
    dirModel = new QFileSystemModel(this);
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setRootPath(QString());
    ui->tvFolders->setModel(dirModel);
    // The tree is read in the background: keep the current folder in sight
    // while the folders above it arrive.
    // The rows of a folder arrive just after its directoryLoaded signal.
    connect(dirModel, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        const QString currentPath = dirModel->filePath(ui->tvFolders->currentIndex());
        if (!currentPath.startsWith(path))
            return;
        QTimer::singleShot(50, this, [this]() { keepCurrentFolderInSight(); });
    });
    for (int column = 1; column < dirModel->columnCount(); ++column)
        ui->tvFolders->hideColumn(column);
    // A folder nested deeper than the pane is wide would be cut off by a
    // column stretched to the pane; a column as wide as its names scrolls.
    ui->tvFolders->header()->setStretchLastSection(false);
    ui->tvFolders->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    fileModel = new QFileSystemModel(this);
    fileModel->setFilter(QDir::Files | QDir::NoSymLinks);
    // Single compressed frames and pictures are listed beside the recordings
    // because selecting one opens it; the model compares the patterns without
    // regard to case.
    fileModel->setNameFilters({QStringLiteral("*.TMC"), QStringLiteral("*.THM"),
                               QStringLiteral("*.THR"), QStringLiteral("*.TFC"),
                               QStringLiteral("*.THC"), QStringLiteral("*.JPG"),
                               QStringLiteral("*.JPEG"), QStringLiteral("*.PNG")});
    fileModel->setNameFilterDisables(false);
    ui->lvFiles->setModel(fileModel);
    connect(ui->lvFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Kalorix::handleSelectionChanged);
    // A file opened before its folder was read is selected once it is.
    const auto retrySelection = [this]() {
        if (!pendingBrowserSelection.isEmpty())
            selectFileInBrowser(pendingBrowserSelection);
    };
    connect(fileModel, &QFileSystemModel::directoryLoaded, this, retrySelection);
    connect(fileModel, &QFileSystemModel::rowsInserted, this, retrySelection, Qt::QueuedConnection);

    QString start = kx::SettingsStore().load().display.lastBrowserFolder;
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    showFolder(start);
}

void Kalorix::showFolder(const QString& path) {
    const QModelIndex dirIndex = dirModel->index(path);
    ui->tvFolders->setCurrentIndex(dirIndex);
    ui->tvFolders->expand(dirIndex);
    keepCurrentFolderInSight();
    fileModel->setRootPath(path);
    ui->lvFiles->setRootIndex(fileModel->index(path));
}

void Kalorix::keepCurrentFolderInSight() {
    QTreeView* tree = ui->tvFolders;
    const QModelIndex current = tree->currentIndex();
    if (!current.isValid())
        return;
    tree->scrollTo(current, QAbstractItemView::PositionAtCenter);
    // The view scrolls rows into sight but not the indentation of deep ones:
    // bring the folder's name in, with its parent's level beside it.
    const int left = tree->visualRect(current).left() - tree->indentation();
    QScrollBar* bar = tree->horizontalScrollBar();
    if (left < 0 || left > tree->viewport()->width() / 2)
        bar->setValue(bar->value() + left);
}

// The folder is written as soon as the user moves to it, so that it survives
// "Quit". Files opened by the command line (before the stored settings are
// loaded) move the browser too, but a command-line run leaves the store as it
// found it: scripts must not change what the next interactive start shows.
void Kalorix::rememberBrowserFolder(const QString& path) {
    if (settingsLoaded)
        kx::SettingsStore().saveBrowserFolder(path);
}
