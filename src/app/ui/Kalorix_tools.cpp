// The viewer's tools beyond the recorder's own controls: the measurements'
// menu and list, what the timeline shows of a file, and the flight track.

#include "app/ui/ImageViewPane.h"
#include "app/ui/Kalorix.h"
#include "app/ui/PlaybackControl.h"
#include "base/FileKind.h"
#include "conversion/Measurement.h"
#include "conversion/ui/MeasurementList.h"
#include "conversion/ui/MeasurementTools.h"
#include "conversion/ui/RawConvertConfig.h"
#include "recording/DataConverter.h"
#include "recording/MovieIndex.h"
#include "recording/ui/TrackPanel.h"
#include "ui_Kalorix.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QMenu>

void Kalorix::setupViewerTools() {
    MeasurementTools* measurementTools = imageView->measurementTools();
    auto* measureMenu = new QMenu(tr("&Measure"), this);
    measureMenu->setObjectName(QStringLiteral("menuMeasure"));
    measureMenu->addActions(measurementTools->actions());
    measureMenu->addSeparator();
    measureMenu->addAction(measurementTools->planckAction());
    ui->menuBar->insertMenu(ui->menuHelp->menuAction(), measureMenu);
    ui->mainToolBar->addSeparator();
    ui->mainToolBar->addActions({measurementTools->spotAction(), measurementTools->boxAction(),
                                 measurementTools->lineAction(), measurementTools->deleteAction()});

    // The list of the tools sits under the image details.
    auto* group = new QGroupBox(tr("Measurements"));
    group->setObjectName(QStringLiteral("gbMeasurements"));
    auto* column = new QVBoxLayout(group);
    column->addWidget(new MeasurementList(measurementTools, group));
    if (auto* details = qobject_cast<QBoxLayout*>(ui->gbImageDetails->parentWidget()->layout()))
        details->insertWidget(details->indexOf(ui->gbImageDetails) + 1, group);

    trackPanel = new TrackPanel(this);
    addDockWidget(Qt::RightDockWidgetArea, trackPanel);
    trackPanel->hide();
    QAction* showTrack = trackPanel->toggleViewAction();
    showTrack->setObjectName(QStringLiteral("actionFlight_track"));
    ui->menuView->addSeparator();
    ui->menuView->addAction(showTrack);
    // Docked beside a window that is already at its narrowest (a 1024-pixel
    // screen), the panel would push the image pane over the details panel:
    // there it opens floating over the file browser instead.
    connect(showTrack, &QAction::triggered, this, [this](bool on) {
        const int needed =
            centralWidget()->minimumSizeHint().width() + trackPanel->minimumSizeHint().width();
        if (!on || trackPanel->isFloating() || needed <= width())
            return;
        QWidget* browser = ui->splitter->widget(0);
        const QSize size(browser->width(), std::min(320, browser->height()));
        trackPanel->setFloating(true);
        trackPanel->resize(size);
        trackPanel->move(browser->mapToGlobal(QPoint(0, browser->height() - size.height())));
    });
    connect(trackPanel, &TrackPanel::frameRequested, this, [this](int frame) {
        if (ui->wgVideoControls->isVisible())
            playback->setFrame(frame);
    });
}

void Kalorix::showViewerToolsForFile() {
    const bool movie = currentFileType == ksDefines::RawRecording && isMovieFile(currentFileName) &&
                       dataConverter->isMovieOpen();
    if (!movie) {
        playback->clearMarks();
        trackPanel->clear(tr("No movie open."));
        return;
    }
    // The gaps are marked whether or not the check on open (with its console
    // lines) was chosen; only headers of versions 4 to 6 hold the counter.
    const int version = dataConverter->getFileVersion();
    playback->setMarks(
        dataConverter->getFFCFrames(),
        version >= 4 && version <= 6
            ? movieindex::checkFrameCounters(dataConverter->getFrameCounters()).badFrames
            : dataConverter->getFrameCounterGaps());
    const int frames = dataConverter->getNumberOfVideoFrames();
    std::vector<uint64_t> offsets(size_t(std::max(frames, 0)));
    std::vector<int64_t> sizes(offsets.size());
    for (int n = 1; n <= frames; ++n) {
        offsets[size_t(n - 1)] = dataConverter->getFrameOffset(n);
        sizes[size_t(n - 1)] = dataConverter->getFrameSize(n);
    }
    trackPanel->load(currentFileName, offsets, sizes, dataConverter->getFileVersion(),
                     currentSerialContent());
    showFramePosition();
}

void Kalorix::showFramePosition() {
    // The time the telemetry gives the frame, when a parser is chosen and
    // the block carried one (NMEA without a fix says "n/a").
    const QString time = dataConverter->getTelemetry().time;
    const bool timed = currentSerialContent() != ksDefines::NoSerialData && !time.isEmpty() &&
                       time != QLatin1String("n/a");
    playback->setFrameTime(timed ? time : QString());
    trackPanel->setCurrentFrame(playback->frame());
}

bool Kalorix::measurementView(MeasurementTools::View& view) const {
    if (currentFileType == ksDefines::Image || !imageLoadOk)
        return false;
    view.width = dataConverter->getImageWidth();
    view.height = dataConverter->getImageHeight();
    const std::vector<uint16_t>& raw = dataConverter->getRawBuffer();
    if (raw.size() < size_t(view.width) * view.height || int(view.width) != displayImage.width() ||
        int(view.height) != displayImage.height())
        return false;
    view.raw = raw.data();
    view.frameToScene = kx::measure::frameToCanvas(rawConvertConfig->getRotation(), int(view.width),
                                                   int(view.height));
    if (dualCamera && !daylightPixmap.isNull()) {
        // The overlay draws the thermal frame scaled by 100 / scale at its offset.
        const double factor = 100.0 / ui->sbScale->value();
        view.frameToScene *= QTransform(factor, 0, 0, factor, fusionOffsetX, fusionOffsetY);
    }
    view.radiometryOption = rawConvertConfig->getRadiometryOption();
    view.kelvinPerCount = tLinearResolution;
    view.planck = {planckB, planckO, planckR1, planckR2};
    return true;
}
