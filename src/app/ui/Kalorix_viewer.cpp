// The display side of the main window: composing the frame, pointer read-out,
// zoom and panning, the hot-spot marker, the fusion overlay, movie navigation
// and playback, the file browser and the image details.

#include "app/ui/Kalorix.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"
#include "base/Radiometry.h"

#include "app/KalorixController.h"
#include "conversion/FusionOverlay.h"
#include "conversion/HotspotMarker.h"
#include "conversion/Legend.h"
#include "conversion/ui/RawConvertConfig.h"
#include "recording/DataConverter.h"
#include "telemetry/ui/SerialDataExplorer.h"
#include "ui_Kalorix.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
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
    playing = false;

    // What is shown now, so that a file that fails to open leaves it in place.
    const QString previousFile = currentFileName;
    const ksDefines::FileTypes previousType = currentFileType;
    const QImage previousImage = displayImage;
    const bool previousLoadOk = imageLoadOk;
    const int previousFrame = ui->slMovieFiles->value();
    const QString previousStart = ui->leStartFrame->text();
    const QString previousEnd = ui->leEndFrame->text();
    const QString previousLabel = ui->lblFilename->text();
    // Refusals that happen before the converter is touched need no reload.
    const bool touchesConverter = isRecorderName(fileName) && !dataConverter->getProcessingState();

    currentFileType = ksDefines::RawRecording;
    resetDisplayAfterUncheckingParsing();

    ThermalImageConversionSet set = conversionSetFromConfig();
    // A daylight picture that does not decode must not leave the previous
    // recording's picture under the new frames.
    daylightImage = QImage();
    openingFile = true;
    const bool ok = controller->loadRawDataFile(
        fileName, lastImageWidth, currentSerialContent(), set,
        ui->actionCheck_frame_counter_on_open->isChecked(), displayImage, daylightImage);
    openingFile = false;

    if (ok) {
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
        selectFileInBrowser(fileName);
        // The controller asked for the labels while the previous file was
        // still the current one; a single frame's labels depend on which it is.
        setLables();
        movieRows = isMovieFile(fileName) ? dataConverter->getImageHeight() : 0;
        showFrameCompleteness();
        // Every file opens fitted to the pane, whatever the zoom before.
        zoomFactor = 1.0;
        fitToPane = true;
        fitViewToScene();
        processPixel(int(pixelX), int(pixelY), nullptr);
        ui->actionExport_frames->setEnabled(true);
        ui->btnQuickExport->setEnabled(true);
        return true;
    }

    if (!touchesConverter || previousFile.isEmpty()) {
        // Nothing was replaced (or there is nothing to go back to).
        currentFileType = previousType;
        if (!touchesConverter)
            setLables();
        return false;
    }
    if (previousType == ksDefines::Image) {
        displayImage = previousImage;
        imageLoadOk = previousLoadOk;
        currentFileType = ksDefines::Image;
        ui->lblFilename->setText(previousLabel);
        setVideoControlVisibility(false);
        repaintDisplayImage();
        setLables();
        return false;
    }
    // The failed load replaced the converter's file: open the previous
    // recording again and return to its frame.
    ThermalImageConversionSet previousSet = conversionSetFromConfig();
    if (controller->loadRawDataFile(previousFile, lastImageWidth, currentSerialContent(),
                                    previousSet, ui->actionCheck_frame_counter_on_open->isChecked(),
                                    displayImage, daylightImage)) {
        ui->lblFilename->setText(previousLabel);
        if (isMovieFile(previousFile) && previousFrame > 1)
            ui->slMovieFiles->setValue(previousFrame);
        ui->leStartFrame->setText(previousStart);
        ui->leEndFrame->setText(previousEnd);
    }
    return false;
}

bool Kalorix::openPicture(const QString& fileName) {
    playing = false;
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
    fitToPane = true;
    repaintDisplayImage();
    setLables();
    return true;
}

bool Kalorix::openDroppedOrSelected(const QString& fileName) {
    if (isRecorderName(fileName))
        return openInputFile(fileName);
    if (isPictureName(fileName))
        return openPicture(fileName);
    return false;
}

void Kalorix::handleSelectionChanged(const QItemSelection& selection) {
    const QModelIndexList indexes = selection.indexes();
    if (indexes.isEmpty())
        return;
    const QString fileName = fileModel->filePath(indexes.first());
    if (fileModel->isDir(indexes.first()))
        return;
    // The model re-announces a selection when rows arrive or move (new files
    // written by an export, a folder read in the background); only a file other
    // than the one on show is a request to open something.
    if (fileName == currentFileName || exportRunning)
        return;
    if (!openDroppedOrSelected(fileName))
        showShownFileInBrowser();
    // The NUC dialog's frame range follows here once it is built.
    repaintDisplayImage();
}

// ---- File browser -------------------------------------------------------------

void Kalorix::showShownFileInBrowser() {
    // A file that did not open leaves the one on screen; the list must not
    // claim otherwise. Another folder is not left for it.
    if (!currentFileName.isEmpty() &&
        QFileInfo(currentFileName).absolutePath() == fileModel->rootPath()) {
        selectFileInBrowser(currentFileName);
        return;
    }
    const QSignalBlocker block(ui->lvFiles->selectionModel());
    ui->lvFiles->selectionModel()->clear();
}

void Kalorix::on_tvFolders_clicked(const QModelIndex& index) {
    const QString path = dirModel->filePath(index);
    fileModel->setRootPath(path);
    ui->lvFiles->setRootIndex(fileModel->index(path));
    rememberBrowserFolder(path);
}

void Kalorix::selectFileInBrowser(const QString& fileName) {
    const QFileInfo info(fileName);
    const QString folder = info.absolutePath();
    const QString path = info.absoluteFilePath();
    const QSignalBlocker blockTree(ui->tvFolders);
    const QSignalBlocker blockList(ui->lvFiles);
    const QSignalBlocker blockTreeSelection(ui->tvFolders->selectionModel());
    const QSignalBlocker blockListSelection(ui->lvFiles->selectionModel());
    if (fileModel->rootPath() != folder) {
        showFolder(folder);
        rememberBrowserFolder(folder);
    }
    const QModelIndex fileIndex = fileModel->index(path);
    if (!fileIndex.isValid()) {
        // The folder is still being read, or the file is new to it; the model's
        // next rows retry. The file opened before must not stay selected or
        // current meanwhile: the view would announce it again and reopen it.
        ui->lvFiles->selectionModel()->clear();
        pendingBrowserSelection = path;
        return;
    }
    pendingBrowserSelection.clear();
    ui->lvFiles->selectionModel()->setCurrentIndex(fileIndex, QItemSelectionModel::ClearAndSelect);
    ui->lvFiles->scrollTo(fileIndex, QAbstractItemView::PositionAtCenter);
    ui->lvFiles->setFocus();
}

// ---- Composing the display ------------------------------------------------------

void Kalorix::repaintDisplayImage() {
    if (!imageLoadOk)
        return;
    thermalPixmap = QPixmap::fromImage(displayImage);
    // The hot spot belongs to a recording; a picture has none.
    if (ui->actionMark_Hotspot->isChecked() && currentFileType == ksDefines::RawRecording)
        paintMarker(thermalPixmap);

    QTransform rotation;
    rotation.rotate(rawConvertConfig->getRotation());
    thermalPixmap = thermalPixmap.transformed(rotation, Qt::FastTransformation);
    QPixmap daylight;
    if (dualCamera && !daylightPixmap.isNull())
        daylight = daylightPixmap.transformed(rotation, Qt::FastTransformation);

    if (legendVisible && currentFileType == ksDefines::RawRecording)
        addLegend(thermalPixmap);

    QPixmap canvas;
    if (daylight.isNull()) {
        canvas = QPixmap(thermalPixmap.size());
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.drawPixmap(0, 0, thermalPixmap);
    } else {
        kx::FusionOverlayControls controls;
        controls.opacityPercent = ui->slThermoOpacity->value();
        controls.shiftX = ui->slShiftX->value();
        controls.shiftY = ui->slShiftY->value();
        controls.scalePercent = ui->sbScale->value();
        const kx::FusionOverlay overlay =
            kx::composeFusionOverlay(thermalPixmap.toImage(), daylight.toImage(), controls);
        fusionOffsetX = overlay.thermalOffset.x();
        fusionOffsetY = overlay.thermalOffset.y();
        canvas = QPixmap::fromImage(overlay.canvas);
    }

    scene->clear();
    scene->setSceneRect(0, 0, canvas.width(), canvas.height());
    scene->addPixmap(canvas);
    ui->gvImage->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    if (fitToPane)
        fitViewToScene();

    processPixel(int(pixelX), int(pixelY), nullptr);

    if (ui->actionDisplay_Serial_Data->isChecked())
        serialDataExplorer->setDisplayData(dataConverter->getSerialDataString());
}

void Kalorix::paintMarker(QPixmap& pixmap) const {
    kx::paintHotspotMarker(pixmap, markerCentreX(), markerCentreY());
}

void Kalorix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    repaintDisplayImage();
}

void Kalorix::addLegend(QImage& image) {
    const QImage strip =
        dataConverter->generateLegendForImage(image, tLinearResolution < 1.0f, tLinearResolution,
                                              rawConvertConfig->getBiColorModeEnabled());
    image = legend::appendLegend(image, strip);
}

void Kalorix::addLegend(QPixmap& pixmap) {
    QImage image = pixmap.toImage();
    addLegend(image);
    pixmap = QPixmap::fromImage(image);
}

// ---- Pointer read-out ----------------------------------------------------------

QPoint Kalorix::viewportToPixel(const QPoint& viewportPos) const {
    if (!imageLoadOk || currentFileType == ksDefines::Image)
        return QPoint(0, 0);
    const QPointF scenePos = ui->gvImage->mapToScene(viewportPos);
    int x = int(scenePos.x());
    int y = int(scenePos.y());
    if (dualCamera && !daylightPixmap.isNull()) {
        const QPoint thermal = kx::fusionCanvasToThermal(
            QPoint(x, y), QPoint(fusionOffsetX, fusionOffsetY), ui->sbScale->value());
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

bool Kalorix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->gvImage->viewport()) {
        // The pane gets its size from the splitter only when the window is
        // shown or its panes move, after the window's own resize: a file
        // opened before (from the command line) is fitted again here.
        if (event->type() == QEvent::Resize && fitToPane)
            fitViewToScene();
        if (event->type() == QEvent::MouseMove) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const QPoint pixel = viewportToPixel(move->localPos().toPoint());
            pixelX = uint32_t(pixel.x());
            pixelY = uint32_t(pixel.y());
            processPixel(pixel.x(), pixel.y(), nullptr);
            return false; // dragging goes on in the view
        }
        if (event->type() == QEvent::Wheel) {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->angleDelta().y() > 0)
                on_actionZoom_in_triggered();
            else if (wheel->angleDelta().y() < 0)
                on_actionZoom_out_triggered();
            return true;
        }
    }
    if (watched == ui->wgVideoControls && event->type() == QEvent::Resize)
        arrangeNavigationRows(static_cast<QResizeEvent*>(event)->size().width());
    return QMainWindow::eventFilter(watched, event);
}

void Kalorix::wheelEvent(QWheelEvent* event) {
    event->accept();
}

// ---- Zoom and dragging ----------------------------------------------------------

void Kalorix::zoomBy(double factor) {
    ui->gvImage->scale(factor, factor);
    zoomFactor *= factor;
    fitToPane = false;
}

void Kalorix::on_actionZoom_in_triggered() {
    const QTransform t = ui->gvImage->transform();
    const double d = t.m11() * t.m22() - t.m12() * t.m21();
    if (d < 60.0)
        zoomBy(1.2);
}

void Kalorix::on_actionZoom_out_triggered() {
    const QTransform t = ui->gvImage->transform();
    const double d = t.m11() * t.m22() - t.m12() * t.m21();
    if (d > 0.02)
        zoomBy(0.8333333333333334);
}

void Kalorix::fitViewToScene() {
    const int sceneWidth = int(scene->width());
    const int sceneHeight = int(scene->height());
    if (sceneWidth <= 0 || sceneHeight <= 0)
        return;
    const float availableWidth = float(ui->gvImage->width() - 10);
    const float availableHeight = float(ui->gvImage->height() - 10);
    const float factor =
        std::min(availableWidth / float(sceneWidth), availableHeight / float(sceneHeight));
    if (factor <= 0.0f)
        return;
    ui->gvImage->resetTransform();
    ui->gvImage->scale(double(factor), double(factor));
}

void Kalorix::on_actionZoom_fit_triggered() {
    zoomFactor = 1.0;
    fitToPane = true;
    fitViewToScene();
}

void Kalorix::on_actionZoom_to_original_size_triggered() {
    zoomFactor = 1.0;
    fitToPane = false;
    ui->gvImage->resetTransform();
}

void Kalorix::on_actionToogle_mouse_dragging_triggered() {
    if (ui->actionToogle_mouse_dragging->isChecked()) {
        ui->gvImage->setDragMode(QGraphicsView::ScrollHandDrag);
        ui->actionToogle_mouse_dragging->setIcon(QIcon(QStringLiteral(":/icons/cursorArrow")));
    } else {
        ui->gvImage->setDragMode(QGraphicsView::NoDrag);
        ui->actionToogle_mouse_dragging->setIcon(QIcon(QStringLiteral(":/icons/cursorHand")));
    }
}

// ---- Hot spot and fusion overlay ----------------------------------------------------

void Kalorix::updateMarkerPosition(uint x, uint y, uint value) {
    markerX = x;
    markerY = y;
    markerValue = value;
}

void Kalorix::on_actionMark_Hotspot_triggered() {
    repaintDisplayImage();
}

void Kalorix::setDualCamControlsVisible(bool visible) {
    dualCamera = visible;
    for (QWidget* w :
         {static_cast<QWidget*>(ui->slThermoOpacity), static_cast<QWidget*>(ui->sbThermoOpacity),
          static_cast<QWidget*>(ui->slShiftX), static_cast<QWidget*>(ui->sbShiftX),
          static_cast<QWidget*>(ui->slShiftY), static_cast<QWidget*>(ui->sbShiftY),
          static_cast<QWidget*>(ui->sbScale), static_cast<QWidget*>(ui->lblThermoOpacity),
          static_cast<QWidget*>(ui->lblShiftX), static_cast<QWidget*>(ui->lblShiftY),
          static_cast<QWidget*>(ui->lblScale)})
        w->setVisible(visible);
    ui->wgDualCam->setVisible(visible);
}

void Kalorix::on_slThermoOpacity_valueChanged(int value) {
    const QSignalBlocker block(ui->sbThermoOpacity);
    ui->sbThermoOpacity->setValue(value);
    if (!playing)
        repaintDisplayImage();
}

void Kalorix::on_slShiftX_valueChanged(int value) {
    const QSignalBlocker block(ui->sbShiftX);
    ui->sbShiftX->setValue(value);
    repaintDisplayImage();
}

void Kalorix::on_slShiftY_valueChanged(int value) {
    const QSignalBlocker block(ui->sbShiftY);
    ui->sbShiftY->setValue(value);
    repaintDisplayImage();
}

void Kalorix::on_sbScale_valueChanged(double value) {
    Q_UNUSED(value);
    repaintDisplayImage();
}

// ---- Movie navigation and playback ---------------------------------------------------

void Kalorix::getImageFromVideoRawdata(int frame, bool& ok, bool forceAutomatic) {
    ThermalImageConversionSet set = conversionSetFromConfig();
    set.autoGainEnabled = autoGain || forceAutomatic;
    set.smoothAutoGain = playing;
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

void Kalorix::on_slMovieFiles_valueChanged(int frame) {
    bool ok = false;
    getImageFromVideoRawdata(frame, ok, false);
    ui->lblCurrentFrame->setText(QString::number(frame) + QStringLiteral(" / ") +
                                 QString::number(ui->slMovieFiles->maximum()));
}

void Kalorix::on_btnFrameDown_clicked() {
    ui->slMovieFiles->setValue(ui->slMovieFiles->value() - 1);
}

void Kalorix::on_btnFrameUp_clicked() {
    ui->slMovieFiles->setValue(ui->slMovieFiles->value() + 1);
}

void Kalorix::setupFrameNavigation() {
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Left, -1}, {Qt::Key_Right, 1}};
    for (const auto& [key, delta] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this,
                [this, step = delta]() { stepFrames(step); });
    }
    for (QPushButton* speed : {ui->btnPlayVideo, ui->btnPlayDoubleSpeed, ui->btnPlayTrippleSpeed})
        speed->setCheckable(true);
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

void Kalorix::stepFrames(int delta) {
    if (!ui->wgVideoControls->isVisible())
        return;
    QSlider* slider = ui->slMovieFiles;
    const int from = frameStepQueued ? pendingFrame : slider->value();
    pendingFrame = qBound(slider->minimum(), from + delta, slider->maximum());
    if (frameStepQueued)
        return;
    frameStepQueued = true;
    // Presses already waiting are handled before the queued step runs.
    QTimer::singleShot(0, this, [this]() {
        frameStepQueued = false;
        ui->slMovieFiles->setValue(pendingFrame);
    });
}

void Kalorix::on_btnSetBegin_clicked() {
    ui->leStartFrame->setText(QString::number(ui->slMovieFiles->value()));
}

void Kalorix::on_btnSetEnd_clicked() {
    ui->leEndFrame->setText(QString::number(ui->slMovieFiles->value()));
}

void Kalorix::initUIVideoControls(int frameCount, int frame) {
    {
        // Setting up the controls must not fetch a frame: at the start of a
        // load the converter still holds the previous recording.
        const QSignalBlocker block(ui->slMovieFiles);
        ui->slMovieFiles->setMaximum(frameCount);
        ui->slMovieFiles->setValue(frame);
    }
    ui->leStartFrame->setText(QString::number(frame));
    ui->leEndFrame->setText(QString::number(frameCount));
    ui->lblCurrentFrame->setText(QString::number(frame) + QStringLiteral(" / ") +
                                 QString::number(frameCount));
}

void Kalorix::on_btnPlayVideo_clicked() {
    playSpeed = 1;
    on_actionStart_playing_movie_triggered();
}

void Kalorix::on_btnPlayDoubleSpeed_clicked() {
    playSpeed = 2;
    on_actionStart_playing_movie_triggered();
}

void Kalorix::on_btnPlayTrippleSpeed_clicked() {
    playSpeed = 3;
    on_actionStart_playing_movie_triggered();
}

void Kalorix::showPlaybackState() {
    const std::pair<QPushButton*, unsigned> speeds[] = {
        {ui->btnPlayVideo, 1}, {ui->btnPlayDoubleSpeed, 2}, {ui->btnPlayTrippleSpeed, 3}};
    for (const auto& [button, speed] : speeds)
        button->setChecked(playing && playSpeed == speed);
}

void Kalorix::on_actionStart_playing_movie_triggered() {
    if (playing) {
        // The running loop ends at its next step.
        playing = false;
        showPlaybackState();
        return;
    }
    // Only a movie has frames to step through; a single frame or a picture
    // leaves the slider where it is.
    if (currentFileType != ksDefines::RawRecording || !isMovieFile(currentFileName)) {
        showPlaybackState();
        return;
    }
    playing = true;
    showPlaybackState();
    QElapsedTimer timer;
    while (playing && ui->slMovieFiles->value() < dataConverter->getNumberOfVideoFrames()) {
        timer.restart();
        ui->slMovieFiles->setValue(ui->slMovieFiles->value() + 1);
        const qint64 interval = qint64(dataConverter->getTimeToNextImage() / playSpeed);
        const qint64 elapsed = timer.elapsed();
        if (elapsed < interval) {
            const qint64 until = QDateTime::currentMSecsSinceEpoch() + (interval - elapsed);
            while (QDateTime::currentMSecsSinceEpoch() < until) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
                QThread::msleep(1);
            }
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    playing = false;
    showPlaybackState();
}

void Kalorix::setVideoControlVisibility(bool visible) {
    ui->wgVideoControls->setVisible(visible);
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
    if (!playing)
        repaintDisplayImage();
}

void Kalorix::on_actionShow_legend_triggered(bool checked) {
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

void Kalorix::on_actionRAW_conversion_parameters_triggered() {
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
        getImageFromVideoRawdata(ui->slMovieFiles->value(), ok, false);
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
    zoomFactor = double(zoom);
    // A new picture size starts fitted to the pane.
    fitToPane = true;
}

// ---- Image details ---------------------------------------------------------------------

QString Kalorix::parse_Tau_Partnumber(const QString& partNumber) const {
    return kx::partnumber::describe(partNumber);
}

void Kalorix::resetDisplayAfterUncheckingParsing() {
    for (QLabel* label :
         {ui->lblDate, ui->lblTime, ui->lblLatitude, ui->lblLongitude, ui->lblAltitude,
          ui->lblSatellites, ui->lblTrackHeading, ui->lblMagHeading})
        label->setText(QString());
}

void Kalorix::setLables() {
    if (currentFileType == ksDefines::Image) {
        // A picture carries none of the recorder's details.
        resetDisplayAfterUncheckingParsing();
        for (QLabel* label :
             {ui->lblCamera, ui->lblTempFPA, ui->lblTempHousing, ui->lblFrameNumber})
            label->setText(QString());
        return;
    }
    double latitude = 0.0;
    double longitude = 0.0;
    QString date;
    QString time;
    double altitude = 0.0;
    int satellites = 0;
    float trackHeading = 0.0f;
    float magneticHeading = 0.0f;
    unsigned int frameNumber = 0;
    QString partNumber;
    float tempHousing = 0.0f;
    float tempFPA = 0.0f;
    dataConverter->getImageMetaData(latitude, longitude, date, time, altitude, satellites,
                                    trackHeading, magneticHeading, frameNumber, partNumber,
                                    tempHousing, tempFPA);
    if (currentSerialContent() != ksDefines::NoSerialData) {
        ui->lblLatitude->setText(QString::number(latitude, 'f', 5));
        ui->lblLongitude->setText(QString::number(longitude, 'f', 5));
        ui->lblDate->setText(date);
        ui->lblTime->setText(time);
        ui->lblAltitude->setText(QString::number(altitude, 'f', 1));
        ui->lblSatellites->setText(QString::number(satellites));
        ui->lblMagHeading->setText(QString::number(double(magneticHeading), 'f', 1));
        ui->lblTrackHeading->setText(QString::number(double(trackHeading), 'f', 1));
    }
    // The temperatures and the frame number come from the frame header, not
    // from the serial data, so they are shown whatever the parse choice. A
    // single-frame file fills no movie record: its header values and its
    // number are read from the frame itself, not from the last movie's record.
    if (!isMovieFile(currentFileName)) {
        tempFPA = float(dataConverter->getTempFPA());
        tempHousing = float(dataConverter->getTempHousing());
        const bool carriesCounter =
            kx::fileKindOf(currentFileName) == kx::FileKind::SingleCompressed &&
            dataConverter->getStreamFrameNumberSeen();
        if (!carriesCounter)
            frameNumber = 1;
    }
    ui->lblTempFPA->setText(QString::number(double(tempFPA), 'f', 1));
    ui->lblTempHousing->setText(QString::number(double(tempHousing), 'f', 2));
    // Above 8192 the counter carries the flat-field-correction mark.
    ui->lblFrameNumber->setText(
        QString::number(frameNumber > 8192 ? frameNumber - 8192 : frameNumber));

    QString camera;
    if (!partNumber.isEmpty()) {
        camera = dualCamera ? QStringLiteral("RU Rezeda") : parse_Tau_Partnumber(partNumber);
    } else {
        camera = kx::partnumber::modelLabelForWidth(dataConverter->getImageWidth());
    }
    ui->lblCamera->setText(camera);
}
