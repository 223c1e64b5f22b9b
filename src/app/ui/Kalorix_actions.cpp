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
#include <QUrl>
#include <cstdio>
#include <cstdlib>

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

void Kalorix::on_actionOpen_File_triggered() {
    // Only the first of several chosen files is opened.
    if (getFileNames())
        openInputFile(openFileNames.first());
}

void Kalorix::on_actionQuit_triggered() {
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

void Kalorix::on_actionAbout_Kalorix_triggered() {
    infoDialog->show();
    infoDialog->raise();
    infoDialog->activateWindow();
}

void Kalorix::on_actionDate_Time_settings_triggered() {
    dateTimeSettings->show();
    dateTimeSettings->raise();
    dateTimeSettings->activateWindow();
}

void Kalorix::on_actionRadiometric_Parameters_triggered() {
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
        reloadCurrentImage();
    } else {
        resetDisplayAfterUncheckingParsing();
    }
    setLables();
    // The track is read with the parser chosen now.
    showViewerToolsForFile();
}

void Kalorix::on_actionParse_NMEA_Data_triggered(bool checked) {
    parseActionTriggered(ui->actionParse_NMEA_Data, checked);
}

void Kalorix::on_actionParse_md_downlink_data_triggered(bool checked) {
    parseActionTriggered(ui->actionParse_md_downlink_data, checked);
}

void Kalorix::on_actionParse_MAVLink_data_triggered(bool checked) {
    parseActionTriggered(ui->actionParse_MAVLink_data, checked);
}

void Kalorix::on_actionDisplay_Serial_Data_triggered(bool checked) {
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
