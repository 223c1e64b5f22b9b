// The window's side of the batch conversion: the two folder dialogs, the two
// messages and the progress bar around the batch of the core.
#include "app/ui/Kalorix.h"
#include "app/ui/PlaybackControl.h"

#include "app/BatchConversion.h"
#include "base/Report.h"
#include "ui_Kalorix.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QScopedValueRollback>

namespace {

QString chooseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

} // namespace

void Kalorix::setBatchFolderChoosers(FolderChooser source, FolderChooser target) {
    batchSourceChooser = std::move(source);
    batchTargetChooser = std::move(target);
}

void Kalorix::getBatchFileList(QString& folder, QStringList& files) {
    folder = batchSourceChooser ? batchSourceChooser(nullptr, QString())
                                : chooseFolder(nullptr, QString());
    files = folder.isEmpty() ? QStringList() : kx::batchFileList(folder);
}

QString Kalorix::getBatchTargetFolder() {
    const QString title = QStringLiteral("Select directory to store results in");
    return batchTargetChooser ? batchTargetChooser(this, title) : chooseFolder(this, title);
}

void Kalorix::runBatchConversion() {
    if (exportRunning)
        return;
    QString folder;
    QStringList files;
    getBatchFileList(folder, files);
    if (folder.isEmpty())
        return;
    if (files.isEmpty()) {
        kx::reportError(QStringLiteral("No files for conversion selected"));
        return;
    }
    // Without a target the pictures would go to the root of the file system
    // (the names start with the separator): a cancelled dialog means stop.
    const QString target = getBatchTargetFolder();
    if (target.isEmpty())
        return;
    kx::report(kx::ReportKind::Information, QStringLiteral("Start batch processing"),
               QStringLiteral("Will convert ") + QString::number(files.size()) +
                   QStringLiteral(" images and store the into ") + target);

    const QImage previousImage = displayImage;
    const QScopedValueRollback<bool> running(exportRunning, true);
    playback->stop();
    ui->progressBar->setMaximum(files.size());
    ui->progressBar->setValue(0);
    enableProgressBar();
    kx::BatchViewerState viewer;
    viewer.thermalImage = &displayImage;
    viewer.daylightImage = &daylightImage;
    viewer.lastImageWidth = lastImageWidth;
    const kx::BatchOutcome outcome =
        kx::convertBatch(*dataConverter, *controller, currentSettings(), folder, files, target,
                         viewer, [this](int done, int) {
                             ui->progressBar->setValue(done);
                             QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                         });
    disableProgressBar();
    exportFailures += outcome.failures;

    // The last file that loaded stays on show, opened as the user would open
    // it, so that the labels, the browser and later exports all name it.
    if (!outcome.lastLoaded.isEmpty()) {
        openInputFile(outcome.lastLoaded);
    } else {
        displayImage = previousImage;
        repaintDisplayImage();
    }
}
