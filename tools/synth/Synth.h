#pragma once

// kalorix_synth: writes recorder files bit-exactly, for the tests and for the
// kalorix-synth tool. Everything is deterministic for a given seed.

#include <QByteArray>
#include <QDateTime>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <optional>
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
    uint32_t noiseVariant = 0;     // changes only the noise (same objects, same path)
    // A static per-pixel offset, uniform in [-fixedPatternRaw, fixedPatternRaw]
    // and the same in every frame (the sensor's fixed pattern).
    double fixedPatternRaw = 0.0;
    // A textured ground (value noise of 8-pixel cells, peak textureRaw) that
    // moves under the camera by textureStepX/Y pixels per frame.
    double textureRaw = 0.0;
    double textureStepX = 5.3;
    double textureStepY = 3.1;
    // Bit lanes of the parallel interface: a bit stuck at 1 in every value
    // (-1: none) and the lowest bit stuck at 0.
    int forcedOneBit = -1;
    bool allEven = false;
};
// A uniform scene of level backgroundRaw darkened towards the corners by
// shadingRaw (corners shadingRaw below the centre), without objects, noise or
// gradient: a reference for lens compensation.
SceneOptions uniformShadedScene(int width, int height, double backgroundRaw, double shadingRaw);
// frameIndex is 0-based; objects move with it, the noise changes with it.
// Returns width x height values row by row (empty for a geometry below 1 x 1).
std::vector<uint16_t> renderScene(const SceneOptions& options, int frameIndex);

// ---- Pixel word stream ---------------------------------------------------
// Rows of pixel words (0xC000 | value, as the camera sends them)
// separated by runs of blanking words (bit 15 clear). A run of blanking also
// follows the last row, unless the last row is cut or blanking is off.
struct StreamOptions {
    int blankingMin = 2; // words between rows (also before the first row)
    int blankingMax = 5;
    uint32_t seed = 1;
    bool cutLastRow = false;         // the last row ends three words early (end of stream)
    int shortRow = -1;               // 0-based row made 7 values shorter (-1: none)
    int longRow = -1;                // 0-based row made 5 values longer (-1: none): the row's
                                     // last value repeated five more times
    bool noBlanking = false;         // no separator word anywhere
    uint16_t separatorWord = 0x4000; // value of every blanking word (bit 15 is cleared)
};
// raw must hold width x height values; returns an empty stream otherwise.
std::vector<uint16_t> makeWordStream(const std::vector<uint16_t>& raw, int width, int height,
                                     const StreamOptions& options);

// ---- Frame header --------------------------------------------------------
// Header length H per version (0: 23, 1: 8200, 2: 8204, 4-6: 2048; 3: 2048,
// written only to test the refusal). Any version outside 0-6 is laid out like
// version 3, again only for refusal tests.
uint32_t headerLength(int version);
// Serial block offset and length per version (length 0 for version 0 and for
// versions outside 0-6; version 3 has the block of version 4).
uint32_t serialOffset(int version);
uint32_t serialLength(int version);

struct HeaderOptions {
    int version = 6;
    QByteArray serial;             // cut or zero-padded to the version's block length
    QByteArray partNumber;         // versions 5 and 6, zero-terminated in the header
    double tempFPACelsius = 0;     // versions 5 and 6, stored in tenths
    double tempHousingCelsius = 0; // versions 5 and 6, stored in hundredths
    uint16_t frameCounter = 0;     // versions 3-6: the word at frame offset 2050
};
// The H header bytes only. Temperatures are rounded to the nearest tenth or
// hundredth and clamped to the unsigned 16-bit range; the part number is cut so
// that its terminating zero stays in front of the serial block.
QByteArray makeHeader(const HeaderOptions& options);

// ---- Frames ---------------------------------------------------------------
// Uncompressed frame: header, H bytes that are not decoded (holding the frame
// counter at offset 2050 for versions 3-6, zeros elsewhere), then the word
// stream, little-endian.
QByteArray makeRawFrame(const HeaderOptions& header, const std::vector<uint16_t>& words);
// Compressed frame: header (H bytes), then the code: escape, the side value
// (the frame counter, as a 16-bit code at frame offset H + 2, which is 2050 for
// versions 3-6), then the words. Empty when compressWords fails.
QByteArray makeCompressedFrame(const HeaderOptions& header, const std::vector<uint16_t>& words);
// The code alone: escape + side value, then every word, the shortest code for
// each difference, absolute values where no difference fits. Returns an empty
// array when a word cannot be coded (a pixel value 0 or 1 with no difference
// in reach). The expansion gives back one separator (for the escape) followed
// by the words, every separator as 0x4000 and every pixel word as
// 0xC000 | (word & 0x3FFF). The last 16-bit word is padded with zero bits,
// which a reader cannot take for a complete code. Only the low 14 bits of the
// side value are coded.
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

// GGA, GSA, RMC and VTG sentences from the talker ("GP" or "GN"), CR LF ended.
// Angles carry four decimals of minutes (rounded), times hundredths of a
// second (truncated), the altitude one decimal.
QByteArray nmeaBlock(const FlightState& state, const QByteArray& talker);
// "$" + body + "*" + the checksum (XOR of the body's bytes, two upper-case hex
// digits) + CR LF.
QByteArray nmeaSentence(const QByteArray& body);

// Records #1 to #8 of one downlink frame (record 4: GPS week and time of week
// of state.utc, record 5: the ECEF position in centimetres, record 7: roll,
// pitch and yaw in radians), followed by the #1 record of the next frame, so
// that a reader finds the frame between two "#1," lines.
QByteArray mdDownlinkBlock(const FlightState& state);
// "#" + number + "," + each field followed by a comma + checksum + CR LF; the
// checksum is 255 minus the byte sum (mod 256) from "#" through the last comma.
QByteArray mdRecord(int number, const std::vector<QByteArray>& fields);
// GPS week and time of week in milliseconds for a UTC instant, such that
// week x 604,800 + tow / 1,000 + 315,964,785 gives back the Unix second.
void gpsWeekAndTowMs(const QDateTime& utc, uint32_t& week, uint32_t& towMs);
// WGS 84 geodetic position (degrees, metres above the ellipsoid) to
// Earth-centred, Earth-fixed metres.
void wgs84ToEcef(double latitudeDeg, double longitudeDeg, double heightM, double& x, double& y,
                 double& z);

// MAVLink 1 frames for one serial block; carry holds the bytes of a frame that
// the previous block cut off (start empty). maxBytes bounds the block size.
// The block holds carry, then HEARTBEAT, SYSTEM_TIME, GPS_RAW_INT, ATTITUDE and
// GLOBAL_POSITION_INT with sequence numbers from firstSequence on. With
// splitLastFrame the block is exactly maxBytes long: zero bytes (which a
// reader between frames skips) stand in front of the first half of the
// GLOBAL_POSITION_INT frame, whose second half goes to carry.
QByteArray mavlinkBlock(const FlightState& state, uint32_t timeBootMs, QByteArray& carry,
                        bool splitLastFrame, int maxBytes, uint8_t firstSequence = 0);
// One MAVLink 1 frame: 0xFE, length, sequence, system, component, message id,
// payload, X.25 checksum (low byte first) including the message's CRC_EXTRA.
QByteArray mavlinkFrame(uint8_t messageId, const QByteArray& payload, uint8_t sequence,
                        uint8_t systemId = 1, uint8_t componentId = 1);
// CRC_EXTRA of the messages written here (0, 2, 24, 30, 33); 0 for others.
uint8_t mavlinkCrcExtra(uint8_t messageId);
// The X.25 (CRC-16/MCRF4XX) checksum of bytes, start value 0xFFFF.
uint16_t x25Crc(const QByteArray& bytes);

// ---- Whole files -------------------------------------------------------------
struct MovieOptions {
    int frames = 10;
    int version = 6;
    bool compressed = false;
    SceneOptions scene;
    StreamOptions stream;
    // Unset: the radiometric fast-video core of the scene's geometry
    // (defaultPartNumber).
    std::optional<QByteArray> partNumber;
    double tempFPACelsius = 31.4;
    double tempHousingCelsius = 29.87;
    std::vector<int> ffcFrames;        // 1-based frames that carry the FFC mark
    std::vector<int> counterGapsAfter; // 1-based frames after which the counter skips one
    uint16_t firstCounter = 1;
    Telemetry telemetry = Telemetry::None;
    FlightOptions flight;
    double frameIntervalS = 1.0 / 9.0;
    QByteArray serialText;           // raw serial block of every frame (Telemetry::None)
    double driftPerFrameRaw = 0.5;   // drift growth per frame since the last FFC frame
    bool splitMavlinkFrames = false; // MAVLink: every block ends inside a frame
    uint32_t bootMsAtStart = 60000;  // MAVLink time_boot_ms of frame 1
};
// Frame n (1-based) of a file shows renderScene(scene with driftRaw + driftOf(n)
// and, only if the frame would otherwise contain the signature by accident, a
// changed noiseVariant, n - 1), streamed with stream.seed + n - 1, taken at
// flight time (n - 1) x frameIntervalS. A single-frame file is frame 1.
// The counter word of frame n: count bits from firstCounter, + 1 per frame,
// + 1 more after every frame listed in counterGapsAfter, wrapping at 8192;
// bit 13 set on the frames listed in ffcFrames.
uint16_t frameCounterOf(const MovieOptions& options, int frame);
// A part number of the Tau 2 layout for a sensor of that width: "46", the
// sensor code (160, 324, 336, 640; 640 for any other width), the focal length
// in mm, "00", "F" (fast video), "R" (radiometric), "000"; for example
// "4664001900FR000" for 640 columns.
QByteArray defaultPartNumber(int width);
// The part number written into the headers of a recording made with options.
QByteArray partNumberOf(const MovieOptions& options);
// Drift saw-tooth: driftPerFrameRaw x (n - f), where f is the last FFC frame
// at or before n (1 when there is none); an FFC frame drops back to 0.
double driftOf(const MovieOptions& options, int frame);
// Empty when the options cannot be written: fewer than one frame, a compressed
// file whose version has a header longer than 2,048 bytes (movies only), or a
// frame that contains the signature whatever its noise (a serial text holding it).
// One single frame (.THR when !compressed, .THC when compressed) or a movie.
// Movies are plain concatenations of frames.
QByteArray makeSingleFrameFile(const MovieOptions& options);
QByteArray makeMovie(const MovieOptions& options);
// Frame n (1-based) of makeMovie alone; carry passes the MAVLink bytes a block
// cut off on to the next frame (start empty). Empty as makeMovie is.
QByteArray makeMovieFrame(const MovieOptions& options, int frame, QByteArray& carry);

// ---- Fusion recordings (.TFC) ---------------------------------------------
// Pairs of a compressed thermal frame (frames of `thermal`, which is always
// written compressed) and a daylight block: "JPEG" + version, the rest of a
// 2,048-byte block header (zeros), then a JPEG of daylightWidth x
// daylightHeight filled with daylightColourOf(n).
struct FusionOptions {
    MovieOptions thermal;
    int daylightWidth = 1280; // the daylight camera's picture size
    int daylightHeight = 960;
    int jpegQuality = 90;
    bool trailingThermal = false;     // one more thermal frame at the end, without daylight block
    std::vector<int> corruptJpeg;     // 1-based frames whose JPEG lost its first bytes
    std::vector<int> droppedDaylight; // 1-based frames written without daylight block
};
// A distinct, saturated colour per frame number, far apart for neighbours.
QRgb daylightColourOf(int frame);
QByteArray makeDaylightJpeg(const FusionOptions& options, int frame);
QByteArray makeDaylightBlock(int version, const QByteArray& jpeg);
// Empty when the thermal options give no movie or a part holds a signature.
QByteArray makeFusion(const FusionOptions& options);
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace synth
