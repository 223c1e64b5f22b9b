#pragma once

#include "base/DecodedFrame.h"
#include "base/ksDefines.h"
#include "conversion/PaletteTable.h"
#include "conversion/RGBCalculations.h"
#include "conversion/ThermalImageConversionSet.h"
#include "recording/Recording.h"
#include "recording/rawVideoChunk.h"

#include <QFile>
#include <QImage>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace framedecoder {
struct Corrections;
}
namespace movieindex {
struct ScanHooks;
}

// The facade that the window, the controller, the exporters and the tools call.
// It holds the open recording, the frame index, the working frame and the
// telemetry of the frame decoded last; the work itself is done by small units
// (FrameHeader, FrameDecoder, CompressedStream, MovieIndex, AutoRange, the
// palettes and the telemetry parsers) that take bytes and plain values.
//
// Frames are numbered from 1 in every public operation; 0-based indexes are
// used only inside the converter.
class DataConverter : public QObject {
    Q_OBJECT
public:
    static constexpr uint32_t kReadBlockSize = 1048576;         // one read of an index scan
    static constexpr uint32_t kSingleFrameBufferSize = 2097152; // a whole .THR/.THC file
    static constexpr uint32_t kRawBufferCapacity = 655360;      // 640 x 1024 values
    static constexpr uint32_t kSerialBufferSize = 8192;         // holds the largest block whole
    static constexpr uint32_t kTimeToNextImageMs = 120;

    explicit DataConverter(QObject* parent = nullptr);
    ~DataConverter() override;

    // ---- Frame record and shared state -------------------------------------
    bool getCurrentRawVideoChunk(rawVideoChunk& out);
    // The frame decoded last as a value that owns its serial block.
    kx::DecodedFrame currentDecodedFrame(int frameNumber) const;
    // The same with raw as its values (none, for a caller that needs only
    // the frame's other values and not a copy of its pixels).
    kx::DecodedFrame workingFrame(int frameNumber, std::vector<uint16_t> raw) const;
    // Decodes frame n (1-based) of the open movie, or the single-frame file
    // fileName, without converting it; false when the frame cannot be read or
    // is too small to convert. The console lines are those of the frame
    // access; the converter's working frame holds the frame afterwards.
    bool decodeFrame(const QString& fileName, int frameNumber, ksDefines::serialContent serial,
                     kx::DecodedFrame& out);
    // Decodes frame n (1-based) of the open movie into frame for an export,
    // false as decodeFrame. frame comes in holding the values of the frame
    // read before it, which stand where frame n states none. The working
    // frame stays as it is: the window goes on showing and measuring its own
    // frame while a range is exported.
    bool readMovieFrame(int frameNumber, ksDefines::serialContent serial, kx::DecodedFrame& frame);
    int getNumberOfVideoFrames() const { return recording->frameCount(); }
    bool getProcessingState() const { return processingState != 0; }
    void resetProcessingParameters();
    void reset_internals_after_inputfile_change();
    void initializeClassMembers();
    QString getCurrentFileName() const { return recording->fileName; }
    int getFileVersion() const { return recording->version; }

    // What an open replaces: the recording, the working frame with its
    // telemetry, and the correction tables computed over the recording. An
    // open that fails leaves all of it in place by itself; the controller
    // keeps it across the first frame too, which can fail after the index
    // succeeded.
    struct Kept {
        std::shared_ptr<Recording> recording;
        kx::DecodedFrame frame;
        rawVideoChunk chunk;
        int32_t lastMovieFrame = 0;
        ksDefines::serialContent lastMovieSerial = ksDefines::NoSerialData;
        std::vector<float> driftOffsets;
        bool driftComputed = false;
        std::vector<int32_t> nucOffsets;
    };
    Kept keep() const;
    void reinstate(Kept kept);

    // ---- Single raw frames (.THR) and the frame decoder --------------------
    // Returns the header length H, or 0 when the header cannot be read.
    uint32_t readHeader(qint64 offset, int version, ksDefines::serialContent serial);
    // Decodes a pixel word stream into the working frame. frameIndex is 0-based
    // and selects the drift offset.
    void processDataChunk(const uint16_t* words, int64_t count, int frameIndex);
    bool loadFromRawFile(const QString& fileName, ksDefines::serialContent serial);
    bool loadDataFromSingleFrameFile(const QString& fileName, ksDefines::serialContent serial);
    void getImageFromRAW(const QString& fileName, QImage& image, ksDefines::serialContent serial,
                         bool* ok, ThermalImageConversionSet& set);
    bool loadBinaryImageFromFile(const QString& fileName, QImage* image);
    bool determineFileVersion(qint64 offset, int& version);
    bool openFileForReading(const QString& fileName);

    uint32_t getImageWidth() const { return imageWidth; }
    uint32_t getImageHeight() const { return imageHeight; }
    uint32_t getFrameMinRaw() const { return frameMinRaw; }
    uint32_t getFrameMaxRaw() const { return frameMaxRaw; }
    uint32_t getMeanRaw() const { return meanRaw; }
    const std::vector<uint16_t>& getRawBuffer() const { return rawBuffer; }
    // The hot spot of the frame decoded last, as hotspotAt emitted it.
    uint32_t getHotspotColumn() const { return hotspotColumn; }
    uint32_t getHotspotRow() const { return hotspotRow; }
    uint32_t getHotspotValue() const { return hotspotValue; }
    uint32_t getSerialDataSize() const { return serialDataSize; }

    // ---- Compressed pixel stream (.THC, .TMC) ------------------------------
    bool getNextValueFromCompressed(short& value, unsigned char& kind);
    // out must hold compressed::kMaxExpandedWords (524,288) words.
    void processCompressedDataChunk(unsigned short* out, unsigned int& count);
    bool loadFromCompressedRawFile(const QString& fileName, ksDefines::serialContent serial);
    void getImageFromCompressedRAW(const QString& fileName, QImage& image, bool* ok,
                                   ksDefines::serialContent serial, ThermalImageConversionSet& set);

    // ---- Movies (.THM, .TMC) -----------------------------------------------
    int parseVideoFile(const QString& fileName, bool isCompressed, bool checkFrameCounter);
    // For a movie that became shorter while it was indexed, the size it had
    // and the bytes it still held (only the frames within those are indexed);
    // -1 when the last index scan read the whole file.
    int64_t indexedFileSize() const { return scanFileSize; }
    int64_t indexedFileShrankTo() const { return scanShrankTo; }
    void readFromCompressedVideoFileAndParseRAW(int frameNumber, ksDefines::serialContent serial);
    void getThermalImageFromVideoRawList(int frameNumber, QImage& image, bool* ok,
                                         ksDefines::serialContent serial,
                                         ThermalImageConversionSet& set);
    const std::vector<int32_t>& getFFCFrames() const { return recording->ffcFrames; }
    // 0-based frame indexes that the frame-counter check reported ("Bad FC: ").
    const std::vector<int32_t>& getFrameCounterGaps() const { return recording->frameCounterGaps; }
    // The counter word of every frame as the index scan read it (see
    // movieindex::CounterCollector), whether or not the check ran.
    const std::vector<int32_t>& getFrameCounters() const { return recording->frameCounters; }
    bool isCompressed() const { return recording->compressed; }
    // Whether the frame expanded last carried a side value (its frame number)
    // after an escape; getCurrentFrameNumber keeps an older one otherwise.
    bool getStreamFrameNumberSeen() const { return streamFrameNumberSeen; }
    // Byte offset and length of frame n (1-based) in the open movie.
    uint64_t getFrameOffset(int frameNumber) const;
    int64_t getFrameSize(int frameNumber) const;

    // ---- Fusion recordings (.TFC) and split ---------------------------------
    // Indexes thermal frames and daylight blocks; thermal frames are then read
    // as frames of a compressed movie. Returns the number of thermal frames.
    int parseFusionFile(const QString& fileName);
    // Decodes the daylight picture that belongs to thermal frame `frame`
    // (1-based); ok is false for a frame without one or a JPEG that does not
    // decode, and is left alone for a frame outside the recording.
    void getDaylightImageFromVideoRawList(int frame, QImage& image, bool& ok);
    // The stored JPEG of that picture, never more than the file holds; empty
    // when there is none.
    QByteArray daylightJpegBytes(int frame);
    bool isFusionRecording() const { return recording->fusion; }
    int getNumberOfDaylightFrames() const { return int(recording->daylightOffsets.size()); }
    // Byte offset and length of daylight block n (1-based, in file order).
    uint64_t getDaylightOffset(int blockNumber) const;
    int64_t getDaylightSize(int blockNumber) const;
    // Copies frames startFrame to endFrame (0-based, both included) of the
    // open movie into fileName; a fusion range also takes the daylight block
    // of its last frame. Refused (reported, nothing written) unless the range
    // lies within the open movie and fileName is not the movie itself.
    bool splitFile(const QString& fileName, int startFrame, int endFrame);

    // ---- Conversion pipeline -----------------------------------------------
    bool processRawData(QImage& image);
    bool changeImageParameters(unsigned lower, unsigned upper, int colorMode, bool biColorEnabled,
                               unsigned biLow, unsigned biHigh, bool inverted, QImage& image);
    bool autoGenerateImageParameters(QImage& image, int& lower, int& upper);
    void createHistogram(const std::vector<uint16_t>* raw);
    bool checkImageParameters() const;
    float scaleF(float value, float inLow, float inHigh, float outLow, float outHigh);
    unsigned scaleWithMiddle(unsigned value, unsigned low, unsigned high, unsigned middle,
                             unsigned outLow, unsigned outHigh);
    unsigned histogramEquilisation(unsigned char* in, unsigned char* out, unsigned width,
                                   unsigned height);
    uint32_t getLowerRawValueBound() const { return conversionParameters.lowerRawValueBound; }
    uint32_t getUpperRawValueBound() const { return conversionParameters.upperRawValueBound; }
    uint32_t getLowerBiColorRawValueBound() const {
        return conversionParameters.lowerBiColorRawValueBound;
    }
    uint32_t getUpperBiColorRawValueBound() const {
        return conversionParameters.upperBiColorRawValueBound;
    }
    bool getBiColorEnabled() const { return conversionParameters.biColorEnabled; }
    uint32_t getColorMode() const { return colorMode; }
    bool getInverted() const { return inverted; }
    const std::array<uint16_t, 16384>& getHistogram() const { return histogram; }
    // Installs raw values as the working frame, for frames made in memory (the
    // tools, the benchmarks and the tests) rather than read from a file.
    void setRawFrame(std::vector<uint16_t> values, uint32_t width, uint32_t height);

    // ---- Radiometry -------------------------------------------------------
    bool isPixelWithinData(unsigned x, unsigned y) const;
    unsigned getRawForPixel(unsigned x, unsigned y) const;
    double getTemperatureForPixel(unsigned x, unsigned y, float resolution) const;
    double getTemperatureForPixel(unsigned x, unsigned y, float B, float O, float R1,
                                  float R2) const;
    static bool isTau2(const QString& partNumber);
    static int focalLengthFromPartNumber(const QString& partNumber);
    static void sensorSizeMMFromPartNumber(const QString& partNumber, float& width, float& height);

    // ---- Legend -----------------------------------------------------------
    QImage generateLegendForImage(QImage& image, bool showTemperatures, float resolution,
                                  bool useBiColorBounds);

    // ---- Corrections: drift, non-uniformity offsets, lens map ---------------
    // Drift offsets over the open movie from its FFC frames; every frame since
    // the previous FFC frame gets a linear share of the jump there.
    bool calcFrameTempDifferenceMap();
    void addFFCFrame(int frame);
    void resetFFCCorrection();
    const std::vector<float>& getDriftOffsets() const { return driftOffsets; }
    bool isDriftComputed() const { return driftComputed; }
    bool isDriftEnabled() const { return driftEnabled; }
    // The offset map over frames firstFrame ... lastFrame (1-based) of the
    // open movie; false (with the console line) when refused.
    bool executeNUC(int firstFrame, int lastFrame, int blurRadius);
    bool isNucActive() const { return nucEnabled; }
    const std::vector<int32_t>& getNucOffsets() const { return nucOffsets; }
    // The frame decoded last becomes the lens reference.
    void lensCorrection();
    void resetLensCorrection();
    bool isLensActive() const { return lensCorrectionEnabled; }
    const std::vector<int32_t>& getLensMap() const { return lensMap; }
    // A movie or fusion recording with frames is the open file (a single
    // frame opened after it replaces it).
    bool isMovieOpen() const;
    bool isCorrectionRunning() const { return correctionRunning; }
    // Decodes frame n (1-based) of the open movie again with the serial kind
    // its last decode used, as the working frame.
    void redecodeMovieFrame(int frameNumber);

    // ---- Telemetry of the serial data block --------------------------------
    void invokeSerialDataParsing(char* block, uint32_t length, ksDefines::serialContent kind);
    QString getSerialDataString() const;
    // The serial block of the frame decoded last, every byte of it.
    QByteArray getSerialDataBytes() const {
        return QByteArray(serialBuffer.data(), int(serialDataSize));
    }
    double getCurrentLatitude() const { return telemetry.latitude; }
    double getCurrentLongitude() const { return telemetry.longitude; }
    double getCurrentPitch() const { return telemetry.pitch; }
    double getCurrentRoll() const { return telemetry.roll; }
    double getCurrentYaw() const { return telemetry.yaw; }
    float getCurrentAltitude() const { return float(telemetry.altitude); }
    int getCurrentSatellites() const { return telemetry.satellites; }
    float getCurrentMagneticHeading() const { return telemetry.magneticHeading; }
    float getCurrentTrackHeading() const { return telemetry.trackHeading; }
    QString getCurrentDate() const { return telemetry.date; }
    QString getCurrentTime() const { return telemetry.time; }
    // What the serial block of the frame decoded last says.
    const kx::Telemetry& getTelemetry() const { return telemetry; }
    QString getPartNumber() const { return partNumber; }
    double getTempFPA() const { return tempFPA; }
    double getTempHousing() const { return tempHousing; }
    uint32_t getCurrentFrameNumber() const { return currentFrameNumber; }
    uint32_t getTimeToNextImage() const { return timeToNextImage; }
    int getHourOffset() const { return hourOffset; }
    void getImageMetaData(double& latitude, double& longitude, QString& date, QString& time,
                          double& altitude, int& satellites, float& trackHeading,
                          float& magneticHeading, unsigned int& currentFrameNumber,
                          QString& partNumber, float& tempHousing, float& tempFPA);
    bool parseNMEASerialDataBlock(char* block);
    bool parseGPRMCString(const QString& sentence);
    bool parseGPGGAString(const QString& sentence);
    bool parseGPVTGString(const QString& sentence);
    static double nmeaToDezimal(const QString& value, bool isLongitude);
    void parseMAVLink(char* block);
    bool parseMdDownlink(char* block);

public slots:
    void changedHourOffset(int hours);
    void changedDriftCompensation(bool enabled);
    void executeMotionBasedNUC(int firstFrame, int lastFrame);
    void disableNUC();
    void setNUCStatus(bool status);

signals:
    void hotspotAt(uint column, uint row, uint value);
    void filePercentageChanged(int percent);
    // Around an index scan, for the window's progress bar.
    void enableProgressBar();
    void disableProgressBar();
    void compensationPercentageChanged(int percent);
    void compensationFinished();

private:
    // Frame conversion step shared by every frame loader: copies the style of
    // the set into the conversion state, gives the image the frame's size,
    // applies the manual or automatic window (smoothed only for movie frames),
    // converts, and writes the used window back into the set.
    void applyConversionStyle(const ThermalImageConversionSet& set);
    bool convertDecodedFrame(QImage& image, ThermalImageConversionSet& set, bool movieFrame);
    // Gives image the frame's size. The pixels are all written by the
    // conversion that follows, so a new size gets a black canvas instead of
    // a stretched copy of the last picture (stretching an RGB picture goes
    // through a painter, which loads the font configuration on its first use:
    // several milliseconds of every command-line run that needs no text).
    static void sizeCanvas(QImage& image, int width, int height);
    // getImageFromRAW and getImageFromCompressedRAW: the same steps around
    // their own loader and with their own name in the messages.
    void loadAndConvertSingleFrame(const QString& fileName, QImage& image,
                                   ksDefines::serialContent serial, bool* ok,
                                   ThermalImageConversionSet& set, bool compressed);
    void fillCurrentChunk(bool withCameraData);
    // A frame made the working frame (its raw values moved in), as a frame
    // read or a kept frame put back.
    void installFrame(kx::DecodedFrame&& frame);
    // Reads and decodes a .THR or .THC file into the working frame, with the
    // loaders' console lines; false when it fails or is too small to convert.
    bool loadSingleFrame(const QString& fileName, ksDefines::serialContent serial, bool compressed);

public:
    // The message of a frame whose conversion found no usable raw window;
    // single-frame files name their loader and the file, movies (any other
    // name, or none) the frame access.
    QString processRawDataFailureText(const QString& fileName) const;
    QString processRawDataFailureText(const QString& fileName, size_t rawValues) const;

private:
    bool readSingleFrameHeader(const QString& fileName, ksDefines::serialContent serial,
                               uint32_t& headerLength);
    // The single-frame readers without keeping what was open before.
    bool readRawFrameFile(const QString& fileName, ksDefines::serialContent serial);
    bool readCompressedFrameFile(const QString& fileName, ksDefines::serialContent serial);
    // Runs an open; puts back what was open before when it fails.
    bool keptUnlessLoaded(const std::function<bool()>& load);
    // The correction tables the decoder applies, as the enabling flags select them.
    framedecoder::Corrections decoderCorrections() const;

    // The open file and its index; never null, empty before the first open.
    std::shared_ptr<Recording> recording;
    uint8_t processingState = 0;
    // Starts an index scan of either kind: refuses while one runs and opens
    // the file into a recording of its own (null, with the console line, when
    // it cannot be opened). operation names the scan in messages.
    std::shared_ptr<Recording> beginIndexScan(const QString& fileName, const QString& operation,
                                              bool compressed);
    // Makes a scanned recording the open one and resets what belonged to the
    // recording before it.
    void installScannedRecording(std::shared_ptr<Recording> scanned);
    movieindex::ScanHooks indexScanHooks();

    // Reading buffers
    uint32_t readBlockSize = kReadBlockSize;
    int64_t scanFileSize = 0;
    int64_t scanShrankTo = -1;
    std::vector<uint8_t> frameBytes;
    int64_t frameWordCount = 0;

    // Bit reader of the compressed stream
    uint32_t bitWordIndex = 0;
    uint32_t bitPos = 0;
    int32_t decodedCount = 0;
    bool streamFrameNumberSeen = false;
    // Reused per frame: a movie frame's bytes and every frame's word stream.
    FrameReadScratch readScratch;
    int64_t availableCodeWords() const;
    void markFrameUndecodable();
    // True, with a console line, for a frame larger than any frame can be.
    bool frameTooLarge(int frameNumber) const;
    FrameReadOptions movieReadOptions(ksDefines::serialContent serial) const;

    // Working frame
    std::vector<uint16_t> rawBuffer;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    uint32_t meanRaw = 0;
    uint32_t frameMinRaw = 16384;
    uint32_t frameMaxRaw = 0;
    uint32_t hotspotColumn = 0;
    uint32_t hotspotRow = 0;
    uint32_t hotspotValue = 0;

    // Serial data and the telemetry parsed from it
    std::vector<char> serialBuffer;
    uint32_t serialDataSize = 0;
    kx::Telemetry telemetry;
    int32_t hourOffset = 0;
    QString partNumber;
    double tempFPA = 0.0;
    double tempHousing = 0.0;
    uint32_t currentFrameNumber = 0;
    uint32_t timeToNextImage = kTimeToNextImageMs;

    rawVideoChunk currentChunk;

    // Correction inputs read by the decoder; each table is consulted only when
    // its flag is set and only for indexes it covers.
    std::vector<float> driftOffsets; // per 0-based frame, in raw counts
    bool driftComputed = false;
    bool driftEnabled = false;
    std::vector<int32_t> nucOffsets; // per pixel index
    bool nucEnabled = false;
    std::vector<int32_t> lensMap; // per pixel index
    bool lensCorrectionEnabled = false;
    bool nucStatus = false;
    // The decoder's single table of both per-pixel corrections, and what it
    // was built from; every change of nucOffsets or lensMap counts up.
    struct ShiftKey {
        uint64_t generation = ~uint64_t(0);
        bool nuc = false;
        bool lens = false;
        bool operator==(const ShiftKey& o) const {
            return generation == o.generation && nuc == o.nuc && lens == o.lens;
        }
    };
    uint64_t correctionTablesGeneration = 0;
    mutable ShiftKey pixelShiftsKey;
    mutable std::vector<int16_t> pixelShifts;
    // A computation decodes other frames and lets events run meanwhile; a
    // second one, or a new file, must wait for it.
    bool correctionRunning = false;
    // The movie frame decoded last and its serial kind: a computation decodes
    // it again when done, so the working frame is the one shown before.
    int32_t lastMovieFrame = 0;
    ksDefines::serialContent lastMovieSerial = ksDefines::NoSerialData;
    // Starts a computation over the open movie: refused while one runs.
    bool beginCorrectionRun(const char* what);
    void endCorrectionRun(int frameToRestore);

    // Conversion state
    ConversionParameters conversionParameters;
    uint32_t colorMode = 0;
    bool inverted = false;
    std::array<uint16_t, 16384> histogram{};
    uint32_t scaleMiddleValue = 0;
    RGBCalculations rgbCalculations;
    PaletteTable paletteTable;

    // Legend strip of the last legend, decoded once per colour mode and inversion
    QImage legendStrip;
    uint32_t legendStripMode = 0;
    bool legendStripInverted = false;
    bool legendStripLoaded = false;
};
