// The display side of the main window: opening files, composing the frame
// for the image view (the export's renderer marks, turns and labels it; the
// fusion overlay and the measurements are the view's own), the
// pointer read-out, and what the panes ask for. The view and its zoom, the
// file browser, the frame navigation and the image details are panes of
// their own (ImageViewPane, FileBrowserPane, PlaybackControl, TelemetryPanel).

#include "app/ui/Kalorix.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"
#include "base/Radiometry.h"

#include "app/KalorixController.h"
#include "app/ui/FileBrowserPane.h"
#include "app/ui/ImageViewPane.h"
#include "app/ui/PlaybackControl.h"
#include "app/ui/TelemetryPanel.h"
#include "conversion/FusionOverlay.h"
#include "conversion/HotspotMarker.h"
#include "conversion/Legend.h"
#include "conversion/ui/RawConvertConfig.h"
#include "corrections/ui/NucConfiguration.h"
#include "recording/DataConverter.h"
#include "telemetry/ui/SerialDataExplorer.h"
#include "ui_Kalorix.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QWheelEvent>
#include <cmath>

namespace {

QString extensionOf(const QString& fileName) {
    return kx::fileSuffixKey(fileName);
}

bool isPictureName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") ||
           suffix == QLatin1String("png");
}

bool isRecorderName(const QString& fileName) {
    const QString ext = extensionOf(fileName);
    return ext == QLatin1String("thr") || ext == QLatin1String("thm") ||
           ext == QLatin1String("thc") || ext == QLatin1String("tmc") ||
           ext == QLatin1String("tfc");
}

} // namespace

// ---- Opening files ----------------------------------------------------------

ksDefines::serialContent Kalorix::currentSerialContent() const {
    if (ui->actionParse_NMEA_Data->isChecked())
        return ksDefines::NMEA;
    if (ui->actionParse_md_downlink_data->isChecked())
        return ksDefines::MdDownlink;
    if (ui->actionParse_MAVLink_data->isChecked())
        return ksDefines::MAVLink;
    return ksDefines::NoSerialData;
}

ThermalImageConversionSet Kalorix::conversionSetFromConfig() const {
    const kx::ConversionSettings conversion = currentSettings().conversion;
    ThermalImageConversionSet set = conversion.conversionSet();
    set.percentageChange = float(conversion.percentageChange / 100.0);
    return set;
}

bool Kalorix::isMovieFile(const QString& fileName) const {
    const QString ext = extensionOf(fileName);
    return ext == QLatin1String("thm") || ext == QLatin1String("tmc") ||
           ext == QLatin1String("tfc");
}

bool Kalorix::openInputFile(const QString& fileName) {
    // A file opened from an event handled during playback ends the playback.
    playback->stop();

    // The controller sets the frame row and the raw window up for the new
    // file while it loads. A file that fails to open leaves the converter on
    // the recording before it, so only these need to be put back.
    const ksDefines::FileTypes previousType = currentFileType;
    const QImage previousImage = displayImage;
    const bool previousLoadOk = imageLoadOk;
    const bool previousControls = playback->isShown();
    const int previousFrames = playback->frameCount();
    const int previousFrame = playback->frame();
    const QString previousStart = playback->startText();
    const QString previousEnd = playback->endText();
    const QString previousLabel = ui->lblFilename->text();
    const int previousLower = rawConvertConfig->getLowerBound();
    const int previousUpper = rawConvertConfig->getUpperBound();

    currentFileType = ksDefines::RawRecording;
    resetDisplayAfterUncheckingParsing();

    ThermalImageConversionSet set = conversionSetFromConfig();
    QImage daylight;
    openingFile = true;
    const bool ok = controller->loadRawDataFile(
        fileName, lastImageWidth, currentSerialContent(), set,
        ui->actionCheck_frame_counter_on_open->isChecked(), displayImage, daylight);
    openingFile = false;

    if (ok) {
        // A daylight picture that does not decode must not leave the previous
        // recording's picture under the new frames.
        daylightImage = daylight;
        const bool fusion = extensionOf(fileName) == QLatin1String("tfc");
        const bool wasFusion = dualCamera;
        daylightPixmap =
            fusion && !daylightImage.isNull() ? QPixmap::fromImage(daylightImage) : QPixmap();
        setDualCamControlsVisible(fusion);
        // The controller had the frame painted before the overlay of this
        // file (or of the one before) was known.
        if (fusion || wasFusion)
            repaintDisplayImage();
        currentFileName = fileName;
        // The controller labels a movie by its frame count; the frame row
        // shows that, so this label names the file.
        ui->lblFilename->setText(QFileInfo(fileName).fileName());
        ui->lblFilename->setToolTip(QDir::toNativeSeparators(fileName));
        fileBrowser->selectFile(fileName);
        // The controller asked for the labels while the previous file was
        // still the current one; a single frame's labels depend on which it is.
        setLables();
        movieRows = isMovieFile(fileName) ? dataConverter->getImageHeight() : 0;
        showFrameCompleteness();
        // Every file opens fitted to the pane, whatever the zoom before.
        imageView->zoomFit();
        processPixel(int(pixelX), int(pixelY), nullptr);
        showViewerToolsForFile();
        ui->actionExport_frames->setEnabled(true);
        ui->btnQuickExport->setEnabled(true);
        return true;
    }

    currentFileType = previousType;
    displayImage = previousImage;
    imageLoadOk = previousLoadOk;
    updateMinMaxRAWSliders(uint(previousLower), uint(previousUpper));
    initUIVideoControls(previousFrames, previousFrame);
    // The NUC range starts over with every movie, as it did when the movie
    // was opened.
    if (previousControls)
        nucConfiguration->setClipMinMaxFrameNumbers(1, previousFrames);
    playback->setRangeTexts(previousStart, previousEnd);
    setVideoControlVisibility(previousControls);
    ui->lblFilename->setText(previousLabel);
    repaintDisplayImage();
    setLables();
    return false;
}

bool Kalorix::openPicture(const QString& fileName) {
    playback->stop();
    QImage picture;
    if (!controller->loadImage(fileName, picture))
        return false;
    displayImage = picture;
    // The image loader does not report success through the load flag; set it
    // here so that a picture opened after a failed load is painted.
    imageLoadOk = true;
    currentFileType = ksDefines::Image;
    currentFileName = fileName;
    movieRows = 0;
    frameNote->clear();
    setDualCamControlsVisible(false);
    setVideoControlVisibility(false);
    ui->lblFilename->setToolTip(QDir::toNativeSeparators(fileName));
    imageView->followPane(imageView->zoomFactor());
    repaintDisplayImage();
    setLables();
    showViewerToolsForFile();
    return true;
}

bool Kalorix::openDroppedOrSelected(const QString& fileName) {
    if (isRecorderName(fileName))
        return openInputFile(fileName);
    if (isPictureName(fileName))
        return openPicture(fileName);
    return false;
}

void Kalorix::openChosenFile(const QString& fileName) {
    // The model re-announces a selection when rows arrive or move (new files
    // written by an export, a folder read in the background); only a file other
    // than the one on show is a request to open something.
    if (fileName == currentFileName || exportRunning)
        return;
    if (!openDroppedOrSelected(fileName))
        fileBrowser->showShownFile(currentFileName);
    // The NUC dialog's frame range follows here once it is built.
    repaintDisplayImage();
}

// ---- Composing the display ------------------------------------------------------

kx::ConversionSettings Kalorix::shownConversion() const {
    // The converter made the picture on show: its palette, inversion and
    // bi-colour window are the ones the legend must describe, even while the
    // dialog already holds values it has not been converted with.
    kx::ConversionSettings shown = currentSettings().conversion;
    shown.colorMode = int(dataConverter->getColorMode());
    shown.inverted = dataConverter->getInverted();
    shown.biColorLow = dataConverter->getLowerBiColorRawValueBound();
    shown.biColorHigh = dataConverter->getUpperBiColorRawValueBound();
    return shown;
}

autorange::RawWindow Kalorix::shownWindow() const {
    return autorange::RawWindow{dataConverter->getLowerRawValueBound(),
                                dataConverter->getUpperRawValueBound()};
}

void Kalorix::repaintDisplayImage() {
    if (!imageLoadOk)
        return;
    // The hot spot and the legend belong to a recording; a picture is only
    // turned.
    const bool recording = currentFileType == ksDefines::RawRecording;
    kx::ConversionSettings shown = shownConversion();
    shown.legendVisible = legendVisible && recording;
    std::optional<QPoint> marker;
    if (recording && ui->actionMark_Hotspot->isChecked())
        marker = kx::FrameRenderer::hotspotCentre(markerX, markerY);
    const QImage thermal = frameRenderer.finish(displayImage, shown, shownWindow(), marker);

    QPixmap canvas;
    if (dualCamera && !daylightPixmap.isNull()) {
        const QImage daylight = kx::FrameRenderer::turned(daylightPixmap.toImage(), shown.rotation);
        const kx::FusionOverlay overlay =
            kx::composeFusionOverlay(thermal, daylight, imageView->overlayControls());
        fusionOffsetX = overlay.thermalOffset.x();
        fusionOffsetY = overlay.thermalOffset.y();
        canvas = QPixmap::fromImage(overlay.canvas);
    } else {
        canvas = QPixmap(thermal.size());
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.drawImage(0, 0, thermal);
    }

    MeasurementTools::View measured;
    imageView->showCanvas(canvas, measurementView(measured) ? &measured : nullptr);

    processPixel(int(pixelX), int(pixelY), nullptr);

    if (ui->actionDisplay_Serial_Data->isChecked())
        serialDataExplorer->setDisplayBlock(dataConverter->getSerialDataBytes());
}

void Kalorix::paintMarker(QPixmap& pixmap) const {
    const QPoint centre = kx::FrameRenderer::hotspotCentre(markerX, markerY);
    kx::paintHotspotMarker(pixmap, centre.x(), centre.y());
}

void Kalorix::addLegend(QImage& image) {
    image = legend::appendLegend(
        image, frameRenderer.legendFor(image.height(), shownConversion(), shownWindow()));
}

void Kalorix::addLegend(QPixmap& pixmap) {
    QImage image = pixmap.toImage();
    addLegend(image);
    pixmap = QPixmap::fromImage(image);
}

void Kalorix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    repaintDisplayImage();
}

// ---- Pointer read-out ----------------------------------------------------------

QPoint Kalorix::canvasToPixel(const QPointF& canvasPoint) const {
    if (!imageLoadOk || currentFileType == ksDefines::Image)
        return QPoint(0, 0);
    int x = int(canvasPoint.x());
    int y = int(canvasPoint.y());
    if (dualCamera && !daylightPixmap.isNull()) {
        const QPoint thermal =
            kx::fusionCanvasToThermal(QPoint(x, y), QPoint(fusionOffsetX, fusionOffsetY),
                                      imageView->overlayControls().scalePercent);
        x = thermal.x();
        y = thermal.y();
    }
    const int w = displayImage.width();
    const int h = displayImage.height();
    switch (rawConvertConfig->getRotation()) {
    case 90:
        return QPoint(y, h - 1 - x);
    case 180:
        return QPoint(w - 1 - x, h - 1 - y);
    case -90:
        return QPoint(w - 1 - y, x);
    default:
        return QPoint(x, y);
    }
}

void Kalorix::processPixel(int x, int y, double* temperature) {
    if (currentFileType == ksDefines::Image) {
        // An ordinary picture has no raw values; the converter still holds
        // the last recording, whose values would be wrong here.
        statusBar()->clearMessage();
        return;
    }
    // While a file is being opened (and its error box is up) the converter
    // may hold nothing or another file: the read-out of the picture still on
    // screen stays.
    if (openingFile)
        return;
    if (x < 0 || y < 0 || x >= displayImage.width() || y >= displayImage.height())
        return;
    QString text = QStringLiteral("X: %1, Y: %2")
                       .arg(x, 3, 10, QLatin1Char('0'))
                       .arg(y, 3, 10, QLatin1Char('0'));
    if (rawConvertConfig->getRadiometryOption() == 0) {
        text += QStringLiteral(" RAW: ") +
                QString::number(dataConverter->getRawForPixel(unsigned(x), unsigned(y)));
    } else {
        const double celsius =
            dataConverter->getTemperatureForPixel(unsigned(x), unsigned(y), tLinearResolution);
        text += QStringLiteral(" Temp: ") + QString::number(celsius, 'f', 2);
        if (temperature != nullptr)
            *temperature = celsius;
    }
    statusBar()->showMessage(text);
}

void Kalorix::pointerMoved(const QPointF& canvasPoint) {
    const QPoint pixel = canvasToPixel(canvasPoint);
    pixelX = uint32_t(pixel.x());
    pixelY = uint32_t(pixel.y());
    processPixel(pixel.x(), pixel.y(), nullptr);
}

void Kalorix::wheelEvent(QWheelEvent* event) {
    event->accept();
}

// ---- Hot spot and fusion overlay ----------------------------------------------------

void Kalorix::updateMarkerPosition(uint x, uint y, uint value) {
    markerX = x;
    markerY = y;
    markerValue = value;
}

void Kalorix::markHotspotChanged() {
    repaintDisplayImage();
}

void Kalorix::setDualCamControlsVisible(bool visible) {
    dualCamera = visible;
    imageView->setOverlayControlsVisible(visible);
}

// ---- Movie navigation and playback ---------------------------------------------------

void Kalorix::getImageFromVideoRawdata(int frame, bool& ok, bool forceAutomatic) {
    ThermalImageConversionSet set = conversionSetFromConfig();
    set.autoGainEnabled = autoGain || forceAutomatic;
    set.smoothAutoGain = playback->isPlaying();
    dataConverter->getThermalImageFromVideoRawList(frame, displayImage, &ok, currentSerialContent(),
                                                   set);
    {
        const QSignalBlocker block(rawConvertConfig);
        rawConvertConfig->setSliderValues(int(set.lowerBound), int(set.upperBound));
    }
    if (dualCamera)
        fetchDaylightPicture(frame);
    // The flag is stored before painting so that the first good frame after a
    // failed one is shown, and a failed frame is not.
    imageLoadOk = ok;
    repaintDisplayImage();
    setLables();
    showFrameCompleteness();
}

double Kalorix::getZoomFactor() const {
    return imageView->zoomFactor();
}

bool Kalorix::isPlaying() const {
    return playback->isPlaying();
}

unsigned Kalorix::getPlaySpeed() const {
    return playback->speed();
}

void Kalorix::showMovieFrame(int frame) {
    bool ok = false;
    getImageFromVideoRawdata(frame, ok, false);
    showFramePosition();
}

void Kalorix::setupFrameNote() {
    // A label of its own: the pointer read-out replaces the status message.
    frameNote = new QLabel(this);
    frameNote->setObjectName(QStringLiteral("lblFrameNote"));
    statusBar()->addPermanentWidget(frameNote);
}

void Kalorix::showFrameCompleteness() {
    const uint32_t rows = dataConverter->getImageHeight();
    if (movieRows > 0 && imageLoadOk && rows > 0 && rows < movieRows)
        frameNote->setText(
            QStringLiteral("frame cut short: %1 of %2 rows").arg(rows).arg(movieRows));
    else
        frameNote->clear();
}

void Kalorix::initUIVideoControls(int frameCount, int frame) {
    playback->setFrames(frameCount, frame);
}

void Kalorix::setVideoControlVisibility(bool visible) {
    playback->setVisible(visible);
}

// ---- Settings dialog ----------------------------------------------------------------

void Kalorix::autoGainToggled(bool enabled) {
    autoGain = enabled;
}

void Kalorix::orientationChanged() {
    repaintDisplayImage();
}

void Kalorix::autoHistogramClicked() {
    if (currentFileType != ksDefines::RawRecording)
        return;
    int lower = 0;
    int upper = 0;
    dataConverter->autoGenerateImageParameters(displayImage, lower, upper);
    repaintDisplayImage();
    setLables();
    const QSignalBlocker block(rawConvertConfig);
    rawConvertConfig->setSliderValues(lower, upper);
}

void Kalorix::rawParametersChanged() {
    if (currentFileType != ksDefines::RawRecording)
        return;
    dataConverter->changeImageParameters(
        unsigned(rawConvertConfig->getLowerBound()), unsigned(rawConvertConfig->getUpperBound()),
        rawConvertConfig->getColorMode(), rawConvertConfig->getBiColorModeEnabled(),
        unsigned(rawConvertConfig->getBiLow()), unsigned(rawConvertConfig->getBiHigh()),
        rawConvertConfig->getInverted(), displayImage);
    if (!playback->isPlaying())
        repaintDisplayImage();
}

void Kalorix::showLegend(bool checked) {
    // The dialog's switch is the one the settings and exports read; it tells
    // the window back through legendChanged.
    rawConvertConfig->setLegendVisibility(checked);
    displayLegendChanged(checked);
    rawParametersChanged();
}

void Kalorix::displayLegendChanged(bool visible) {
    legendVisible = visible;
    ui->actionShow_legend->setChecked(visible);
    repaintDisplayImage();
}

void Kalorix::radiometryChanged(int option) {
    // Options outside the list leave the step as it is.
    if (option >= kx::radiometry::NoRadiometry && option <= kx::radiometry::LowGain)
        tLinearResolution = kx::radiometry::kelvinPerCount(option);
    repaintDisplayImage();
}

void Kalorix::planckBValueChanged(int value) {
    planckB = value;
}

void Kalorix::planckOValueChanged(int value) {
    planckO = value;
}

void Kalorix::planckR1ValueChanged(int value) {
    planckR1 = value;
}

void Kalorix::planckR2ValueChanged(int value) {
    planckR2 = value / 10000.0;
}

void Kalorix::showRawConversionDialog() {
    rawConvertConfig->show();
    rawConvertConfig->adjustSize();
    rawConvertConfig->raise();
    rawConvertConfig->activateWindow();
}

void Kalorix::reloadCurrentImage() {
    if (currentFileName.isEmpty() || currentFileType != ksDefines::RawRecording)
        return;
    if (isMovieFile(currentFileName)) {
        bool ok = false;
        getImageFromVideoRawdata(playback->frame(), ok, false);
    } else {
        openInputFile(currentFileName);
    }
}

// ---- Controller slots -----------------------------------------------------------------

void Kalorix::initProgressBar(uint min, uint max, uint value) {
    ui->progressBar->setRange(int(min), int(max));
    ui->progressBar->setValue(int(value));
}

void Kalorix::progressBarPercentageChanged(int percent) {
    ui->progressBar->setValue(percent);
}

void Kalorix::updateFileNameLabel(const QString& text) {
    ui->lblFilename->setText(text);
}

void Kalorix::updateMinMaxRAWSliders(uint lower, uint upper) {
    const QSignalBlocker block(rawConvertConfig);
    rawConvertConfig->setSliderValues(int(lower), int(upper));
}

void Kalorix::updateLastImageWidth(int width) {
    lastImageWidth = width;
}

void Kalorix::setImageLoadOK(bool ok) {
    imageLoadOk = ok;
}

void Kalorix::updateCurrentFileType(ksDefines::FileTypes type) {
    currentFileType = type;
}

void Kalorix::updateImageZoom(float zoom) {
    // A new picture size starts fitted to the pane.
    imageView->followPane(double(zoom));
}

// ---- Image details ---------------------------------------------------------------------

QString Kalorix::parse_Tau_Partnumber(const QString& partNumber) const {
    return kx::partnumber::describe(partNumber);
}

void Kalorix::resetDisplayAfterUncheckingParsing() {
    telemetryPanel->clearTelemetry();
}

void Kalorix::setLables() {
    if (currentFileType == ksDefines::Image)
        telemetryPanel->clear();
    else
        telemetryPanel->showFrame(*dataConverter, currentFileName,
                                  currentSerialContent() != ksDefines::NoSerialData, dualCamera);
}
