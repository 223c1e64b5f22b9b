#pragma once

#include "conversion/ThermalImageConversionSet.h"
#include "recording/ksDefines.h"

#include <QImage>
#include <QMainWindow>
#include <functional>
#include <memory>

namespace Ui {
class Kalorix;
}
class DataConverter;

// The main window: owns the converter, the controller and one instance of every
// dialog and worker, created in a fixed order in the constructor.
class Kalorix : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.1.3";

    Kalorix(int argc, char** argv, QWidget* parent = nullptr);
    ~Kalorix() override;

    DataConverter* converter() const { return dataConverter; }
    void insertCustomLogo();

    // ---- Viewer, menus, controller wiring (window) --------------------------

    // ---- Picture export, export driver, command line -------------------------
public:
    VideoExportSettings* exportSettings() const { return videoExportSettings; }
    static QString generate4DigitNumberString(int number);
    // Writes one converted frame as a picture, turned by the rotation setting
    // and widened by the legend when it is switched on. The image is not
    // changed. Failures are reported; the result says whether the file exists.
    bool saveImageToFile(const QString& fileName, const QString& format, const QImage* image);
    // Command-line entry of the export driver: start 0 and end 0 mean the
    // whole recording; the file counter is appended to the prefix.
    void executeExport(QString path, QString prefix, QString extension, uint start, uint end,
                       uint fileCounter, uint step);
    // Applies the command line (may end the process through the exit hook).
    void processCommandLineParameters(int argc, char** argv);
    // How the command line ends the process; tests replace std::exit.
    using ProcessExit = std::function<void(int exitCode)>;
    void setProcessExit(ProcessExit exit) { processExit = std::move(exit); }
    // Frames and files that an export or a command line could not deliver
    // since the window was built (range refusals, open failures, frames that
    // did not convert or could not be written).
    int exportFailureCount() const { return exportFailures; }

public slots:
    void executeFrameExport(QString path, QString prefix, QString extension, uint start, uint end,
                            uint step);
    void enableProgressBar();
    void disableProgressBar();
    void on_actionExport_frames_triggered();
    void on_btnQuickExport_clicked();

private:
    // ---- Viewer, menus, controller wiring (window): private ----------------

    // ---- Picture export, export driver, command line: private ----------------
    ThermalImageConversionSet exportConversionSet() const;
    ksDefines::serialContent selectedSerialContent() const;
    // Frames of the loaded recording; single-frame files count as one.
    int exportFrameCount() const;
    bool convertExportFrame(const QString& fileName, uint frame, ksDefines::serialContent serial);
    // The working image as it is written: with the hot-spot marker when
    // "Mark Hotspot" is checked.
    QImage markedExportImage();
    // Refuses, with one message, exports whose writer this build lacks and
    // targets that cannot be written; true when the export may start.
    bool exportCanStart(const QString& path, const QString& extension);
    void finishCommandLine(int exitCode);

    QImage exportImage;         // working image of the export loop
    bool exportRefresh = false; // filled by the conversion
    bool kmlStarted = false;    // set by the meta data writer
    int exportFailures = 0;
    bool exportProgressLines = false; // "-c" runs without "-q"
    ProcessExit processExit;

    std::unique_ptr<Ui::Kalorix> ui;
    DataConverter* dataConverter = nullptr; // child of the window
    QImage displayImage;
    QImage daylightImage;
    float tLinearResolution = 0.04f; // kelvin per raw count
};
