#pragma once

#include "base/DecodedFrame.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

// FLIR FFF blocks: what FLIR-compatible tools read as a thermal picture. One
// block is a 64-byte file header, a directory of two 32-byte entries, a
// camera information record (1,148 bytes: geometry, Planck and atmosphere
// constants, the frame's signal median and range, its time) and a raw data
// record (32-byte geometry header, then one unsigned 16-bit signal per
// pixel). Everything is little endian; readers tell the byte order from the
// version 100 at offset 20 and from the bytes-per-pixel word 2 that opens
// each record.
//
// Signals are not raw counts: each pixel's T-linear temperature is turned into
// the signal a FLIR core with fixed Planck constants (R 366545, B 1428, F 1,
// O 342) would report, so that readers get the temperature back with the
// constants stored beside it (where O is written as -342, the sign readers
// expect).
//
// A radiometric JPEG carries the block split into APP1 segments tagged
// "FLIR" right after the JFIF header; a ".seq" file is blocks one after the
// other. Readers that walk a sequence find the next block behind the last
// directory entry's data, so the raw data record's entry comes last.
namespace kx {

// Kelvin per raw count that the FFF writers use for a radiometry option:
// low gain 0.4, anything else (high gain, and no radiometry, where there is
// no better guess) 0.04.
float fffKelvinPerCount(int radiometryOption);

// The signal for a temperature in degrees Celsius: O + R / (exp(B / kelvin) - F),
// the quotient in single precision, the rest in double, truncated. Signals
// past 65535 saturate: wrapping would turn a hot spot into a cold one.
uint16_t tauToSignal(float celsius, float R, float B, float F, float O);

// Why a frame cannot become an FFF block, or an empty text when it can: no
// pixels, a side too long for the 16-bit geometry fields, or a part number
// naming a core other than a Tau 2 (its counts are not temperatures). An
// empty part number (older frame headers) passes: recorders carry Tau 2 cores.
QString fffRefusal(const DecodedFrame& frame);

// The whole FFF block of a frame turned by rotationDegrees (0, 90, 180, -90;
// clockwise positive, as the picture is turned). With 90 or -90 the record
// announces the turned geometry, height x width. Empty, with *error set,
// when fffRefusal refuses the frame or the rotation is another value.
QByteArray fffBlock(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees,
                    QString* error);

// The block cut into APP1 segments: marker FF E1, big-endian length (data +
// 10), "FLIR", 0, 1, piece index, last index, then up to 65524 bytes of the
// block. Empty when the block needs more than 256 pieces.
QByteArray flirApp1Segments(const QByteArray& fff);

// The JPEG file with the segments placed after the start marker and the JFIF
// header (right after the start marker when there is no JFIF header). Empty
// when jpeg does not begin with a start marker or its first segment runs past
// the end.
QByteArray insertApp1Segments(const QByteArray& jpeg, const QByteArray& segments);

// The complete radiometric JPEG: picture (the converted frame, not yet
// turned) turned by rotationDegrees and encoded at quality 95, with the
// frame's FFF block. Empty, with *error set, on failure. Thread-safe.
QByteArray encodeRadiometricJpeg(const DecodedFrame& frame, const QImage& picture,
                                 float kelvinPerCount, int rotationDegrees, QString* error);

// The radiometric JPEG in the pieces that make it, for writers that add
// segments of their own: the file is jpeg[0, insertAt) + segments +
// jpeg[insertAt, end); anything placed between the first piece and the
// segments follows the JFIF header. False, with *error set, on failure.
struct RadiometricJpegParts {
    QByteArray jpeg;  // the visible picture, turned
    int insertAt = 0; // after the start marker and the JFIF header
    QByteArray segments;
};
bool encodeRadiometricJpegParts(const DecodedFrame& frame, const QImage& picture,
                                float kelvinPerCount, int rotationDegrees,
                                RadiometricJpegParts& parts, QString* error);

// The picture turned as every consumer turns it (nearest neighbour).
QImage turnPicture(const QImage& picture, int rotationDegrees);

// The interface the window calls. A thin shell over the functions above that
// keeps the last block and segments for a caller that inspects them; every
// store is sized from the frame. Failures are reported with kx::reportError
// and give false.
class RadiometricWriter {
public:
    bool generateFFFData(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees);
    bool generateAPP1Data();
    // Appends one block to fileName (created when missing). A block that
    // cannot be written whole is taken off again.
    bool storeFFF(const QString& fileName, const DecodedFrame& frame, float kelvinPerCount,
                  int rotationDegrees);
    // Writes fileName as a radiometric JPEG; picture is turned in place, as
    // the caller may show what was written.
    bool saveRJpeg(const QString& fileName, const DecodedFrame& frame, QImage& picture,
                   float kelvinPerCount, int rotationDegrees);
    static uint16_t TauToSignal(float celsius, float R, float B, float F, float O) {
        return tauToSignal(celsius, R, B, F, O);
    }
    void clearArrays();

    const QByteArray& fffData() const { return m_fff; }
    const QByteArray& app1Data() const { return m_app1; }

private:
    QByteArray m_fff;
    QByteArray m_app1;
};

} // namespace kx
