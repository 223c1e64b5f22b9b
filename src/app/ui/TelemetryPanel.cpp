#include "app/ui/TelemetryPanel.h"

#include "base/FileKind.h"
#include "base/PartNumber.h"
#include "recording/DataConverter.h"

#include <QFormLayout>
#include <QLabel>

TelemetryPanel::TelemetryPanel(const Labels& labels, QFormLayout* form, QObject* parent)
    : QObject(parent)
    , labels(labels) {
    // Long values go below their caption in a narrow panel, and wrap there.
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    for (QLabel* value :
         {labels.camera, labels.date, labels.time, labels.latitude, labels.longitude,
          labels.altitude, labels.satellites, labels.trackHeading, labels.magneticHeading,
          labels.tempFPA, labels.tempHousing, labels.frameNumber})
        value->setWordWrap(true);
}

void TelemetryPanel::clearTelemetry() {
    for (QLabel* label :
         {labels.date, labels.time, labels.latitude, labels.longitude, labels.altitude,
          labels.satellites, labels.trackHeading, labels.magneticHeading})
        label->setText(QString());
}

void TelemetryPanel::clear() {
    clearTelemetry();
    for (QLabel* label : {labels.camera, labels.tempFPA, labels.tempHousing, labels.frameNumber})
        label->setText(QString());
}

void TelemetryPanel::showFrame(DataConverter& converter, const QString& fileName,
                               bool withTelemetry, bool dualCamera) {
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
    converter.getImageMetaData(latitude, longitude, date, time, altitude, satellites, trackHeading,
                               magneticHeading, frameNumber, partNumber, tempHousing, tempFPA);
    if (withTelemetry) {
        labels.latitude->setText(QString::number(latitude, 'f', 5));
        labels.longitude->setText(QString::number(longitude, 'f', 5));
        labels.date->setText(date);
        labels.time->setText(time);
        labels.altitude->setText(QString::number(altitude, 'f', 1));
        labels.satellites->setText(QString::number(satellites));
        labels.magneticHeading->setText(QString::number(double(magneticHeading), 'f', 1));
        labels.trackHeading->setText(QString::number(double(trackHeading), 'f', 1));
    }
    // The temperatures and the frame number come from the frame header, not
    // from the serial data, so they are shown whatever the parse choice. A
    // single-frame file fills no movie record: its header values and its
    // number are read from the frame itself, not from the last movie's record.
    const kx::FileKind kind = kx::fileKindOf(fileName);
    if (!kx::isMovieKind(kind)) {
        tempFPA = float(converter.getTempFPA());
        tempHousing = float(converter.getTempHousing());
        const bool carriesCounter =
            kind == kx::FileKind::SingleCompressed && converter.getStreamFrameNumberSeen();
        if (!carriesCounter)
            frameNumber = 1;
    }
    labels.tempFPA->setText(QString::number(double(tempFPA), 'f', 1));
    labels.tempHousing->setText(QString::number(double(tempHousing), 'f', 2));
    // Above 8192 the counter carries the flat-field-correction mark.
    labels.frameNumber->setText(
        QString::number(frameNumber > 8192 ? frameNumber - 8192 : frameNumber));

    QString camera;
    if (!partNumber.isEmpty()) {
        camera = dualCamera ? QStringLiteral("RU Rezeda") : kx::partnumber::describe(partNumber);
    } else {
        camera = kx::partnumber::modelLabelForWidth(converter.getImageWidth());
    }
    labels.camera->setText(camera);
}
