#pragma once

#include "app/Settings.h"
#include "base/DecodedFrame.h"
#include "base/ksDefines.h"
#include "conversion/FrameRenderer.h"
#include "conversion/ThermalImageConversionSet.h"
#include "conversion/ui/MeasurementTools.h"

#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class Kalorix;
}
class DataConverter;
class KalorixController;
class RawConvertConfig;
class RadiometricConfig;
class VideoExportSettings;
class KX_InfoDialog;
class SerialDataExplorer;
class DateTimeSettings;
class FileBrowserPane;
class TelemetryPanel;
class PlaybackControl;
class ImageViewPane;
class QLabel;
class Updater;
class FileMergeSplit;
class BitLaneTest;
class NucConfiguration;
class QLineEdit;
class QProgressBar;
class TrackPanel;

// The main window: owns the converter, the controller, its panes (image view,
// file browser, playback, image details) and one instance of every
// dialog and worker, created in a fixed order in the constructor.
class Kalorix : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "2.1.3";

    Kalorix(int argc, char** argv, QWidget* parent = nullptr);
    ~Kalorix() override;

    DataConverter* converter() const { return dataConverter; }
    // Sizes the window to most of the available screen area (never beyond it,
    // never below the minimum size) and centres it there.
    void placeOnScreen(const QRect& available);
    void placeOnScreen();
    void insertCustomLogo();

    // The stored choices: loaded once after the command line, saved when the
    // window is destroyed (never on "Quit", never after a command-line run).
    void loadSettings();
    void saveSettings();
    bool areAutomaticUpdatesDisabled() const { return automaticUpdatesDisabled; }

    // ---- Viewer, menus, controller wiring (window) --------------------------
    KalorixController* loadController() const { return controller; }
    RawConvertConfig* rawConfig() const { return rawConvertConfig; }
    FileMergeSplit* mergeDialog() const { return fileMergeSplit; }

    // Opens a recorder file with the current settings and selects it in the
    // file browser. A failure keeps the recording or picture shown before.
    bool openInputFile(const QString& fileName);
    // Widens the argument by the legend of the picture on show (the
    // renderer's legend, labelled with the converter's window).
    void addLegend(QImage& image);
    void addLegend(QPixmap& pixmap);
    QString parse_Tau_Partnumber(const QString& partNumber) const;
    // Shows the read-out of pixel (x, y) of the displayed frame in the status
    // bar; the temperature goes to *temperature when given and radiometric.
    void processPixel(int x, int y, double* temperature);
    void getImageFromVideoRawdata(int frame, bool& ok, bool forceAutomatic);
    // The open-file dialog; the chosen names are in chosenFileNames().
    bool getFileNames();
    QStringList chosenFileNames() const { return openFileNames; }
    // The serial data kind chosen by the three parse actions.
    ksDefines::serialContent currentSerialContent() const;
    // A conversion request filled from the settings dialog.
    ThermalImageConversionSet conversionSetFromConfig() const;
    // The choices the dialogs and actions hold now, as plain values.
    kx::Settings currentSettings() const;

    QString getCurrentFileName() const { return currentFileName; }
    ksDefines::FileTypes getCurrentFileType() const { return currentFileType; }
    bool isImageLoadOk() const { return imageLoadOk; }
    bool isPlaying() const;
    unsigned getPlaySpeed() const;
    double getZoomFactor() const;
    float getTLinearResolution() const { return tLinearResolution; }
    bool isDualCamera() const { return dualCamera; }
    unsigned getMarkerX() const { return markerX; }
    unsigned getMarkerY() const { return markerY; }
    unsigned getMarkerValue() const { return markerValue; }
    const QImage& getDisplayImage() const { return displayImage; }
    double getPlanckB() const { return planckB; }
    double getPlanckO() const { return planckO; }
    double getPlanckR1() const { return planckR1; }
    double getPlanckR2() const { return planckR2; }

public slots:
    void repaintDisplayImage();
    void setLables();
    void resetDisplayAfterUncheckingParsing();
    void reloadCurrentImage();
    void updateMarkerPosition(uint x, uint y, uint value);
    void setDualCamControlsVisible(bool visible);

    // Controller signals
    void updateFileNameLabel(const QString& text);
    void updateImageZoom(float zoom);
    void updateCurrentFileType(ksDefines::FileTypes type);
    void setVideoControlVisibility(bool visible);
    void setImageLoadOK(bool ok);
    void updateMinMaxRAWSliders(uint lower, uint upper);
    void updateLastImageWidth(int width);
    void initUIVideoControls(int frameCount, int frame);
    void initProgressBar(uint min, uint max, uint value);
    void progressBarPercentageChanged(int percent);

    // Settings dialogs
    void orientationChanged();
    void autoHistogramClicked();
    void autoGainToggled(bool enabled);
    void radiometryChanged(int option);
    void displayLegendChanged(bool visible);
    void rawParametersChanged();
    void planckBValueChanged(int value);
    void planckOValueChanged(int value);
    void planckR1ValueChanged(int value);
    void planckR2ValueChanged(int value);
    void disableAutomaticUpdates(bool disabled);
    // Starts the one update check of this run unless disabled is true.
    void checkUpdates(bool disabled);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    // Viewer
    void markHotspotChanged();
    void showLegend(bool checked);
    void showRawConversionDialog();
    void showRadiometricDialog();

    // Menus and telemetry actions
    void openFileFromDialog();
    void quitAtOnce();
    void showAbout();
    void showDateTimeSettings();
    void showSerialData(bool checked);
    // Merge dialog and split of the open movie (Kalorix_fusion.cpp)
    void showMergeDialog();
    void splitOpenFile();

signals:
    // The output name and the 0-based first and last frame of a split.
    void splitFile(QString fileName, int startFrame, int endFrame);

public:
    // ---- Batch conversion, update check -----------------------------------------
    // Asks for a folder: parent and title of the dialog; empty when cancelled.
    // Tests answer the two folder dialogs of the batch through these.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title)>;
    void setBatchFolderChoosers(FolderChooser source, FolderChooser target);
    // The source folder (empty when cancelled) and its .THR files, names only.
    void getBatchFileList(QString& folder, QStringList& files);
    QString getBatchTargetFolder();
    Updater* updateCheck() const { return updater; }

private slots:
    void runBatchConversion();

public:
    // ---- Picture export, export driver, command line -------------------------
public:
    VideoExportSettings* exportSettings() const { return videoExportSettings; }
    static QString generate4DigitNumberString(int number);
    // The daylight picture of frame `frame` as base_NNNN_DL.jpg; nothing
    // unless a fusion recording with daylight pictures is open. Exports write
    // these through the export job; this is the window's own call.
    void exportDaylightImage(const QString& base, int frame, bool refresh,
                             const kx::DecodedFrame& record);
    // Writes one converted frame as a picture, turned by the rotation setting
    // and widened by the legend when it is switched on. The image is not
    // changed. Failures are reported; the result says whether the file exists.
    bool saveImageToFile(const QString& fileName, const QString& format, const QImage* image);
    // Command-line entry of the export driver: start 0 and end 0 mean the
    // whole recording; the file counter is appended to the prefix.
    void executeExport(QString path, QString prefix, QString extension, uint start, uint end,
                       uint fileCounter, uint step);
    // Applies the options of a command line that opens the window; "-c",
    // "-merge" and "-help" are run by main without any window.
    void processCommandLineParameters(int argc, char** argv);
    // Frames and files that an export or a command line could not deliver
    // since the window was built (range refusals, open failures, frames that
    // did not convert or could not be written).
    int exportFailureCount() const { return exportFailures; }

public slots:
    void executeFrameExport(QString path, QString prefix, QString extension, uint start, uint end,
                            uint step);
    void enableProgressBar();
    void disableProgressBar();
    void showExportDialog();
    // Writes the current frame's raw values as "Test.tif" in the working folder.
    void exportToTiff();
    void quickExport();

public:
    // ---- Corrections: NUC dialog, drift and lens tools (Kalorix_corrections.cpp)
    NucConfiguration* nucDialog() const { return nucConfiguration; }
    BitLaneTest* bitLaneWorker() const { return bitLaneTest.get(); }
    // Marks a frame as FFC frame and lists every FFC frame in the text field.
    void addManualFFCFrame(int frame);
    // Reads an FFC list file in place of the FFC frames known so far; a file
    // that cannot be opened changes nothing.
    void readFFCFile(const QString& fileName);
    QString ffcFramesText() const;
public slots:
    void executeMotionBasedNUC(int firstFrame, int lastFrame);
    void disableNUC();
    void compensationPercentage(int percent);
    void compensationFinished();

public:
    // The buttons of the corrections group, which is built after the form
    // and connected where its buttons are made.
    void compensateTemperatureDrift();
    void markFFCFrame();
    void chooseFFCFile();
    void useAsLensCompensation();
    void resetLensCompensation();
private slots:
    void showNucSettings();
    void showDriftTools(bool on);
signals:
    void frameSliderValue(int which, int value);

private:
    void connectCorrections();
    void finishCorrectionsSetup();
    std::unique_ptr<BitLaneTest> bitLaneTest;
    NucConfiguration* nucConfiguration = nullptr;
    QWidget* driftTools = nullptr;
    QLineEdit* leFFCFrames = nullptr;
    QProgressBar* compensationProgress = nullptr;

private:
    // ---- Viewer, menus, controller wiring (window): private ----------------
    // Every menu and tool-bar action and the form's buttons, connected here
    // and only here; the handlers' names are chosen so that the form's
    // connect-by-name finds none of them.
    void connectActions();
    // The merge dialog and the split action, wired to the converter.
    void setupMergeSplit();
    // The daylight picture of movie frame `frame` of a fusion recording.
    void fetchDaylightPicture(int frame);
    void connectController();
    void setupFileBrowser();
    // A file chosen in the browser: opened unless it is on show already.
    void openChosenFile(const QString& fileName);
    void rememberBrowserFolder(const QString& path);
    bool openPicture(const QString& fileName);
    bool openDroppedOrSelected(const QString& fileName);
    void parseActionTriggered(QAction* action, bool checked);
    // The shown frame, its details and the track follow the parse choice now in force.
    void showParseChoice();
    // The hot-spot marker at (markerX, markerY), drawn onto the unturned frame.
    void paintMarker(QPixmap& pixmap) const;
    // The settings of the picture on show (the converter's palette and
    // windows) and the raw window it was converted with: what the renderer
    // needs to mark, turn and label it as an export would.
    kx::ConversionSettings shownConversion() const;
    autorange::RawWindow shownWindow() const;
    bool isMovieFile(const QString& fileName) const;
    void setupFrameNote();
    // The frame the navigation asks for.
    void showMovieFrame(int frame);
    // Says in the status bar when the frame shown has fewer rows than the
    // movie's first frame (a recording cut inside its last frame).
    void showFrameCompleteness();
    // The pixel of the displayed frame under a point of the composed canvas.
    QPoint canvasToPixel(const QPointF& canvasPoint) const;
    void pointerMoved(const QPointF& canvasPoint);

    // ---- Measurements, timeline marks, flight track (Kalorix_tools.cpp) ------
    void setupViewerTools();
    // After a file is opened: the timeline's ticks and the track of a movie.
    void showViewerToolsForFile();
    // The frame label (with the telemetry's time) and the track's marker.
    void showFramePosition();
    // What the measurement tools measure over the frame on screen: false
    // when no frame of the recorder is shown.
    bool measurementView(MeasurementTools::View& view) const;
    TrackPanel* trackPanel = nullptr;

    KalorixController* controller = nullptr;
    RawConvertConfig* rawConvertConfig = nullptr;
    RadiometricConfig* radiometricConfig = nullptr;
    VideoExportSettings* videoExportSettings = nullptr;
    KX_InfoDialog* infoDialog = nullptr;
    SerialDataExplorer* serialDataExplorer = nullptr;
    DateTimeSettings* dateTimeSettings = nullptr;
    FileMergeSplit* fileMergeSplit = nullptr;
    FileBrowserPane* fileBrowser = nullptr;
    TelemetryPanel* telemetryPanel = nullptr;
    PlaybackControl* playback = nullptr;
    ImageViewPane* imageView = nullptr;

    kx::FrameRenderer frameRenderer; // the view's picture and "saveImageToFile"
    QPixmap daylightPixmap;
    QString currentFileName;
    QString lastDirectory;
    QStringList openFileNames;
    ksDefines::FileTypes currentFileType = ksDefines::RawRecording;
    bool imageLoadOk = false;
    bool dualCamera = false;
    bool autoGain = true;
    bool legendVisible = false;
    // Set once the stored choices are applied: only then does the window
    // write to the store (a run ended by its command line never does).
    bool settingsLoaded = false;
    bool automaticUpdatesDisabled = false;
    bool openingFile = false;    // a load (and its error box) is under way
    uint32_t movieRows = 0;      // rows of the open movie's first frame; 0 for other files
    QLabel* frameNote = nullptr; // in the status bar
    int lastImageWidth = 0;
    uint32_t markerX = 0;
    uint32_t markerY = 0;
    uint32_t markerValue = 0;
    uint32_t pixelX = 0;
    uint32_t pixelY = 0;
    int32_t fusionOffsetX = 0;
    int32_t fusionOffsetY = 0;
    double planckB = 1600.0;
    double planckO = -5030.0;
    double planckR1 = 16030.0;
    double planckR2 = 0.0953;

    // ---- Batch conversion, update check: private ----------------------------
    FolderChooser batchSourceChooser;
    FolderChooser batchTargetChooser;
    Updater* updater = nullptr; // child of the window, once a check has started

    // ---- Picture export, export driver, command line: private ----------------
    // Frames of the loaded recording; single-frame files count as one.
    int exportFrameCount() const;
    int exportFailures = 0;
    int lastExportWritten = 0;  // frames the last export from the window wrote
    bool exportRunning = false; // the file browser must not switch files meanwhile

    std::unique_ptr<Ui::Kalorix> ui;
    DataConverter* dataConverter = nullptr; // child of the window
    QImage displayImage;
    QImage daylightImage;
    float tLinearResolution = 0.04f; // kelvin per raw count
};
