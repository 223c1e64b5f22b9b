#pragma once

// kalorix_synth: writes recorder files bit-exactly, for the tests and for the
// kalorix-synth tool. Everything is deterministic for a given seed.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace synth {

// ---- Scene ---------------------------------------------------------------
// A realistic thermal scene in 14-bit raw counts: smooth background gradient,
// warm moving objects, lens vignetting (shading), sensor noise, and an optional
// drift offset. Values stay within [2, 16383] so every value has a code.
struct SceneOptions {
    int width = 640;
    int height = 512;
    uint32_t seed = 1;
    double backgroundRaw = 7400.0; // mean level in raw counts
    double gradientRaw = 600.0;    // top-to-bottom background change
    int objects = 3;               // warm moving blobs
    double objectRaw = 900.0;      // blob peak above background
    double vignettingRaw = 250.0;  // darkening towards the corners
    double noiseRaw = 6.0;         // standard deviation of the sensor noise
    double driftRaw = 0.0;         // offset added to every pixel (FFC saw-tooth)
};
std::vector<uint16_t> renderScene(const SceneOptions& options, int frameIndex);

// ---- Pixel word stream ---------------------------------------------------
// Rows of pixel words (0xC000 | value, as the camera sends them)
// separated by runs of blanking words (bit 15 clear).
struct StreamOptions {
    int blankingMin = 2; // words between rows (also before the first row)
    int blankingMax = 5;
    uint32_t seed = 1;
    bool cutLastRow = false; // the last row ends three words early (end of stream)
    int shortRow = -1;       // 0-based row made 7 values shorter (-1: none)
    int longRow = -1;        // 0-based row made 5 values longer (-1: none)
    bool noBlanking = false; // no separator word anywhere
};
std::vector<uint16_t> makeWordStream(const std::vector<uint16_t>& raw, int width, int height,
                                     const StreamOptions& options);

// ---- Frame header --------------------------------------------------------
// Header length H per version (0: 23, 1: 8200, 2: 8204, 4-6: 2048; 3: 2048,
// written only to test the refusal).
uint32_t headerLength(int version);
// Serial block offset and length per version (length 0 for version 0).
uint32_t serialOffset(int version);
uint32_t serialLength(int version);

struct HeaderOptions {
    int version = 6;
    QByteArray serial;             // cut or zero-padded to the version's block length
    QByteArray partNumber;         // versions 5 and 6, zero-terminated in the header
    double tempFPACelsius = 0;     // versions 5 and 6, stored in tenths
    double tempHousingCelsius = 0; // versions 5 and 6, stored in hundredths
    uint16_t frameCounter = 0;     // versions 4-6: the word at frame offset 2050
};
// The H header bytes only.
QByteArray makeHeader(const HeaderOptions& options);

// ---- Frames ---------------------------------------------------------------
// Uncompressed frame: header, H bytes that are not decoded (holding the frame
// counter at offset 2050 for versions 4-6), then the word stream.
QByteArray makeRawFrame(const HeaderOptions& header, const std::vector<uint16_t>& words);
// Compressed frame: header (2048 bytes), then the code: escape, the side value
// (the frame counter, as a 16-bit code at frame offset 2050), then the words.
QByteArray makeCompressedFrame(const HeaderOptions& header, const std::vector<uint16_t>& words);
// The code alone: escape + side value, then every word, the shortest code for
// each difference, absolute values where no difference fits. Returns an empty
// array when a word cannot be coded (a pixel value 0 or 1 with no difference
// in reach).
QByteArray compressWords(const std::vector<uint16_t>& words, uint16_t sideValue);
// True when bytes contain "VELM" + version anywhere from position from on.
bool containsSignature(const QByteArray& bytes, int version, int from = 1);

// ---- Telemetry -------------------------------------------------------------
enum class Telemetry { None, Nmea, MAVLink, MdDownlink };

struct FlightOptions {
    double originLatitude = 47.3977; // degrees
    double originLongitude = 8.5456; // degrees
    double altitudeM = 480.0;        // above mean sea level
    double speedMS = 8.0;
    double legLengthM = 200.0; // lawn-mower pattern legs
    double legSpacingM = 30.0;
    QDateTime startUtc = QDateTime(QDate(2016, 5, 31), QTime(14, 24, 23), Qt::UTC);
    int satellites = 11;
    QByteArray nmeaTalker = "GP"; // "GP" or "GN"
};
struct FlightState {
    double latitude = 0;
    double longitude = 0;
    double altitudeM = 0;
    double trackDeg = 0; // course over ground, true
    double magneticDeg = 0;
    double speedMS = 0;
    double rollDeg = 0, pitchDeg = 0, yawDeg = 0;
    int satellites = 0;
    QDateTime utc;
};
FlightState flightStateAt(const FlightOptions& options, double seconds);

QByteArray nmeaBlock(const FlightState& state, const QByteArray& talker);
QByteArray mdDownlinkBlock(const FlightState& state);
// MAVLink 1 frames for one serial block; carry holds the bytes of a frame that
// the previous block cut off (start empty). maxBytes bounds the block size.
QByteArray mavlinkBlock(const FlightState& state, uint32_t timeBootMs, QByteArray& carry,
                        bool splitLastFrame, int maxBytes);

// ---- Whole files -------------------------------------------------------------
struct MovieOptions {
    int frames = 10;
    int version = 6;
    bool compressed = false;
    SceneOptions scene;
    StreamOptions stream;
    QByteArray partNumber = "4640019S R01234"; // 15 characters
    double tempFPACelsius = 31.4;
    double tempHousingCelsius = 29.87;
    std::vector<int> ffcFrames;        // 1-based frames that carry the FFC mark
    std::vector<int> counterGapsAfter; // 1-based frames after which the counter skips one
    uint16_t firstCounter = 1;
    Telemetry telemetry = Telemetry::None;
    FlightOptions flight;
    double frameIntervalS = 1.0 / 9.0;
};
// One single frame (.THR when !compressed, .THC when compressed) or a movie.
QByteArray makeSingleFrameFile(const MovieOptions& options);
QByteArray makeMovie(const MovieOptions& options);
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace synth
