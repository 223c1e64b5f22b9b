// Window handlers of the menus: opening, quitting and closing, the dialogs,
// the serial data choices, and files dropped onto the window.

#include "app/ui/Kalorix.h"

#include "app/ui/KX_InfoDialog.h"
#include "app/ui/PlaybackControl.h"
#include "conversion/ui/RadiometricConfig.h"
#include "recording/DataConverter.h"
#include "recording/ui/FileMergeSplit.h"
#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"
#include "ui_Kalorix.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <utility>

void Kalorix::connectActions() {
    // `triggered` comes only from the user (or a test acting as one), never
    // from setChecked: settings and options that check an action do their
    // own follow-up, as before.
    using Plain = void (Kalorix::*)();
    const std::pair<QAction*, Plain> plain[] = {
        {ui->actionOpen_File, &Kalorix::openFileFromDialog},
        {ui->actionQuit, &Kalorix::quitAtOnce},
        {ui->actionAbout_Kalorix, &Kalorix::showAbout},
        {ui->actionDate_Time_settings, &Kalorix::showDateTimeSettings},
        {ui->actionRadiometric_Parameters, &Kalorix::showRadiometricDialog},
        {ui->actionRAW_conversion_parameters, &Kalorix::showRawConversionDialog},
        {ui->actionMark_Hotspot, &Kalorix::markHotspotChanged},
        {ui->actionMerge, &Kalorix::showMergeDialog},
        {ui->actionSplit_file, &Kalorix::splitOpenFile},
        {ui->actionBatch_conversion, &Kalorix::runBatchConversion},
        {ui->actionExport_frames, &Kalorix::showExportDialog},
        {ui->actionExport_To_Tiff, &Kalorix::exportToTiff},
        {ui->actionNUC_Settings, &Kalorix::showNucSettings},
    };
    for (const auto& [action, handler] : plain)
        connect(action, &QAction::triggered, this, handler);
    // Checkable actions: the handler takes the new state.
    using Switch = void (Kalorix::*)(bool);
    const std::pair<QAction*, Switch> switches[] = {
        {ui->actionShow_legend, &Kalorix::showLegend},
        {ui->actionDisplay_Serial_Data, &Kalorix::showSerialData},
        {ui->actionDrift_compensation_beta, &Kalorix::showDriftTools},
    };
    for (const auto& [action, handler] : switches)
        connect(action, &QAction::triggered, this, handler);
    for (QAction* parse : {ui->actionParse_NMEA_Data, ui->actionParse_md_downlink_data,
                           ui->actionParse_MAVLink_data})
        connect(parse, &QAction::triggered, this,
                [this, parse](bool checked) { parseActionTriggered(parse, checked); });
    connect(ui->btnQuickExport, &QPushButton::clicked, this, &Kalorix::quickExport);
}

bool Kalorix::getFileNames() {
    QFileDialog dialog(this, QStringLiteral("Open raw file(s)"));
    dialog.setNameFilter(QStringLiteral("Kestrum (*.thr *.thc *.thm *.tmc *.tfc)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (!lastDirectory.isEmpty() && QFileInfo(lastDirectory).isDir())
        dialog.setDirectory(lastDirectory);
    openFileNames.clear();
    if (dialog.exec() == QDialog::Accepted)
        openFileNames = dialog.selectedFiles();
    if (!openFileNames.isEmpty())
        lastDirectory = QFileInfo(openFileNames.first()).absolutePath();
    activateWindow();
    return !openFileNames.isEmpty();
}

void Kalorix::openFileFromDialog() {
    // Only the first of several chosen files is opened.
    if (getFileNames())
        openInputFile(openFileNames.first());
}

void Kalorix::quitAtOnce() {
    // Quitting ends the process at once: the window is not destroyed, so the
    // settings that its destructor saves are not written on this path. Not
    // std::exit: it would destroy Qt's globals while the file browser's
    // gatherer threads still run, which crashed about one quit in six.
    playback->stop();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

void Kalorix::closeEvent(QCloseEvent* event) {
    playback->stop();
    fileMergeSplit->close();
    event->accept();
}

void Kalorix::showAbout() {
    infoDialog->show();
    infoDialog->raise();
    infoDialog->activateWindow();
}

void Kalorix::showDateTimeSettings() {
    dateTimeSettings->show();
    dateTimeSettings->raise();
    dateTimeSettings->activateWindow();
}

void Kalorix::showRadiometricDialog() {
    radiometricConfig->show();
    radiometricConfig->adjustSize();
    radiometricConfig->raise();
    radiometricConfig->activateWindow();
}

// ---- Serial data --------------------------------------------------------------

void Kalorix::parseActionTriggered(QAction* action, bool checked) {
    if (checked) {
        // At most one parser is chosen at a time.
        for (QAction* other : {ui->actionParse_NMEA_Data, ui->actionParse_md_downlink_data,
                               ui->actionParse_MAVLink_data}) {
            if (other != action)
                other->setChecked(false);
        }
    }
    showParseChoice();
}

void Kalorix::showParseChoice() {
    if (currentSerialContent() == ksDefines::NoSerialData)
        resetDisplayAfterUncheckingParsing();
    else
        reloadCurrentImage();
    setLables();
    // The track is read with the parser chosen now.
    showViewerToolsForFile();
}

void Kalorix::showSerialData(bool checked) {
    serialDataExplorer->hide();
    if (checked) {
        serialDataExplorer->setDisplayBlock(dataConverter->getSerialDataBytes());
        serialDataExplorer->show();
    }
}

// ---- Drag and drop ---------------------------------------------------------------

void Kalorix::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void Kalorix::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        const QString fileName = url.toLocalFile();
        if (QFileInfo(fileName).isFile()) {
            event->acceptProposedAction();
            // Like the open dialog, only the first file is opened.
            openDroppedOrSelected(fileName);
            return;
        }
    }
}
