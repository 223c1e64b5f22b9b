// The window's side of fusion recordings and of merge and split: the
// daylight picture of the frame shown, the merge dialog and the split action.
#include "app/ui/Kalorix.h"
#include "app/ui/PlaybackControl.h"

#include "app/KalorixController.h"
#include "recording/DataConverter.h"
#include "recording/ui/FileMergeSplit.h"
#include "ui_Kalorix.h"

#include <QFileDialog>

void Kalorix::setupMergeSplit() {
    fileMergeSplit = new FileMergeSplit(this);
    connect(this, &Kalorix::splitFile, dataConverter, &DataConverter::splitFile);
    ui->actionMerge->setEnabled(true);
    ui->actionSplit_file->setEnabled(true);
}

void Kalorix::fetchDaylightPicture(int frame) {
    bool ok = false;
    QImage picture;
    controller->getDaylightImageFromVideoRawData(frame, ok, picture);
    // A frame without a picture (a dropped block, a damaged JPEG) shows the
    // thermal frame alone rather than the daylight picture of another moment.
    daylightPixmap = ok ? QPixmap::fromImage(picture) : QPixmap();
}

void Kalorix::showMergeDialog() {
    fileMergeSplit->show();
    fileMergeSplit->raise();
    fileMergeSplit->activateWindow();
}

void Kalorix::splitOpenFile() {
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Save file"));
    if (name.isEmpty())
        return;
    bool startOk = false;
    bool endOk = false;
    const qint64 start = playback->startText().toLongLong(&startOk);
    const qint64 end = playback->endText().toLongLong(&endOk);
    // Text that is no number, or out of int range, gives a range the
    // converter refuses.
    const auto index = [](bool ok, qint64 number) {
        return ok && number >= 1 && number <= INT32_MAX ? int(number - 1) : -1;
    };
    emit splitFile(name, index(startOk, start), index(endOk, end));
}
