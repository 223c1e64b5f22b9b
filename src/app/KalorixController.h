#pragma once

#include "base/ksDefines.h"
#include "conversion/ThermalImageConversionSet.h"

#include <QImage>
#include <QObject>
#include <QString>

class DataConverter;

// The one entry through which the window opens files. It picks the reader by
// the file's extension, drives the converter through indexing and the first
// frame, and tells the window what to show only through its signals, so the
// window never reaches into a reader.
class KalorixController : public QObject {
    Q_OBJECT
public:
    // The converter is not owned: both belong to the main window.
    explicit KalorixController(DataConverter* converter, QObject* parent = nullptr);

    // Opens a recorder file and converts its first frame. Other extensions
    // than thr, thm, tmc, tfc and thc are refused without a signal.
    bool loadRawDataFile(const QString& fileName, int lastImageWidth,
                         ksDefines::serialContent serial, ThermalImageConversionSet& set,
                         bool checkFrameCounter, QImage& thermalImage, QImage& daylightImage);
    // Loads an ordinary picture (JPEG, PNG, ...).
    bool loadImage(const QString& fileName, QImage& image);
    // Fetches and converts movie frame `frame` (1-based). The frame's success
    // goes to *ok; the result only says whether ok was given at all.
    bool getThermalImageFromVideoRawdata(unsigned frame, bool* ok, ksDefines::serialContent serial,
                                         ThermalImageConversionSet& set, QImage& image);
    // The daylight picture of thermal frame `frame` of a fusion recording.
    void getDaylightImageFromVideoRawData(int frame, bool& ok, QImage& image);
    // Writes the command-line help text to standard output.
    void printCommandLineHelp() const;

public slots:
    // Walks every frame of the open movie and reports gaps in the frame
    // numbers carried by the compressed stream.
    void checkCurrentTMC();

signals:
    void updateFileNameLabel(QString text);
    void updateImageZoom(float zoom);
    void requestDisplayImageResize();
    void requestUILabelUpdate();
    void updateCurrentFileType(ksDefines::FileTypes type);
    void setVideoControlVisibility(bool visible);
    void initUIVideoControls(int frames, int current);
    void updateImageLoadOkFlag(bool ok);
    void updateMinMaxRAWSliders(uint lower, uint upper);
    void updateLastImageWidth(int width);
    void initProgressBar(uint min, uint max, uint value);
    void setFilenameLableVisibility(bool visible);
    void setProgressBarVisibility(bool visible);

private:
    bool loadSingleFrame(const QString& fileName, bool compressed, int lastImageWidth,
                         ksDefines::serialContent serial, ThermalImageConversionSet& set,
                         QImage& thermalImage);
    bool loadMovie(const QString& fileName, bool compressed, ksDefines::serialContent serial,
                   ThermalImageConversionSet& set, bool checkFrameCounter, QImage& thermalImage);
    bool loadFusion(const QString& fileName, ksDefines::serialContent serial,
                    ThermalImageConversionSet& set, QImage& thermalImage, QImage& daylightImage);
    // Converts frame 1 of the indexed movie and sets up the frame navigation.
    bool showFirstMovieFrame(int frames, ksDefines::serialContent serial,
                             ThermalImageConversionSet& set, QImage& thermalImage);
    void startMovieProgress();
    bool finishMovie(bool ok);

    DataConverter* converter;
};
