#pragma once

#include <QObject>
#include <QString>

class DataConverter;
class QFormLayout;
class QLabel;

// The image details of the main window: camera, telemetry of the serial
// block, header temperatures and frame number of the frame on show. The
// labels belong to the window's form; the panel fills them.
class TelemetryPanel : public QObject {
    Q_OBJECT
public:
    struct Labels {
        QLabel* camera;
        QLabel* date;
        QLabel* time;
        QLabel* latitude;
        QLabel* longitude;
        QLabel* altitude;
        QLabel* satellites;
        QLabel* trackHeading;
        QLabel* magneticHeading;
        QLabel* tempFPA;
        QLabel* tempHousing;
        QLabel* frameNumber;
    };
    TelemetryPanel(const Labels& labels, QFormLayout* form, QObject* parent);

    // The details of the frame the converter decoded last. withTelemetry:
    // a serial data kind is chosen; dualCamera: a fusion recording is open.
    void showFrame(DataConverter& converter, const QString& fileName, bool withTelemetry,
                   bool dualCamera);
    // Empties the values read from the serial block.
    void clearTelemetry();
    // Empties every value: a picture carries none of the recorder's details.
    void clear();

private:
    Labels labels;
};
