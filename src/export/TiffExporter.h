#pragma once

#include "base/DecodedFrame.h"
#include "export/FormatRegistry.h"

#include <QByteArray>
#include <QString>

// One raw thermal frame as an uncompressed 16-bit grey-scale TIFF with GPS and
// camera tags, assembled byte by byte so that photogrammetry tools get the
// sensor's raw counts, their position and their lens.
//
// Layout (little-endian; P = 2 x width x height): "II", 42, the offset of
// IFD0 (P + 8); the pixels row by row; IFD0 (15 entries: size, 16 bits, no
// compression, black is zero, Make, Model, one strip at 8 of P bytes,
// orientation 1, one sample, planar 1, Exif and GPS pointers); the GPS IFD
// (version 2.2.0.0, latitude and longitude with their references, the
// altitude reference only below sea level, the altitude); the Exif IFD (focal
// length, focal plane resolution in pixels per centimetre, the 35 mm
// equivalent); Make and Model, each NUL-terminated and padded to an even
// length; then the rationals in tag order. A frame without a usable position
// has no GPS IFD.
namespace kx {

// The whole file, or an empty array with error set for a frame that cannot be
// written: no pixels, fewer raw values than width x height, or a side above
// 65535 (the size fields are 16 bits). Pure and thread-safe.
QByteArray encodeTiff(const DecodedFrame& frame, QString* error = nullptr);

// The registry's writer for "tif" and "tiff": the raw frame, no picture, to
// frameBase + "." + the extension as given.
class TiffFormatWriter : public FormatWriter {
public:
    Picture picture() const override { return Picture::None; }
    // A TIFF frame is little more than creating and filling a file. A folder
    // creates its files one at a time, but one thread can fill a file while
    // the other creates the next; more threads would only queue for the
    // folder.
    int maxWorkers() const override { return 2; }
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
};

class TiffExporter {
public:
    // Writes encodeTiff's file under fileName (beside it first, then renamed
    // over it); false with error set when the frame or the file fails.
    static bool writeToFile(const QString& fileName, const DecodedFrame& frame,
                            QString* error = nullptr);

    // Each character as two hexadecimal digits of its code; codes above 255
    // count as 0.
    static QString stringToHex(const QString& text);
    // Splits |decimal| into degrees, minutes and seconds x 1000000; returns
    // the seconds value.
    static int decimalToDMS(double decimal, int& degrees, int& minutes, int& microSeconds);

    // A plain 16-bit TIFF through libtiff (no GPS, Make or Model), one strip.
    static bool writeToFilelibTiff(const QString& fileName, const DecodedFrame& frame,
                                   QString* error = nullptr);
    // Opens a TIFF with libtiff and prints "Open" when that works; returns
    // whether it did.
    static bool testFile(const QString& fileName);
};

} // namespace kx
