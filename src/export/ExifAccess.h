#pragma once

#include "base/DecodedFrame.h"

#include <QByteArray>
#include <QSize>
#include <QString>

// EXIF for exported JPEG pictures: maker, model, lens, GPS position and
// altitude, recording time and picture size, built with libexif and inserted
// as an APP1 segment after the JFIF header (or right after the start marker
// of a JPEG without one). Everything here is thread-safe; only the functions
// that take a file name touch a file.
namespace kx {

// The values of the tags. make and model are cut to 20 characters.
struct KSExifData {
    QByteArray make = "Velmora Technology";
    QByteArray model = "Kestrum";
    float focalLength = 0.0f; // mm
    int focalLengthIn35mm = 0;
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
    double altitude = 0.0;  // metres; below sea level is negative
    QByteArray time;        // "hh:mm:ss"
    QByteArray date;        // "yyyy:MM:dd"
    QByteArray dateTime;    // date + " " + time; written only when 19 characters long
    QSize pictureSize;      // the JPEG's own width and height
};

// The focal length a frame without a part number is written with.
constexpr float kDefaultExifFocalLengthMM = 13.0f;

// The record of one exported picture: the frame's telemetry, its lens from
// the part number (else the default) with the 35 mm equivalent by the frame's
// width, the model "Kestrum_Daylight" for a daylight picture. Dates come as
// "dd.MM.yyyy" or "yyyy-MM-dd"; any other date leaves the date empty.
KSExifData exifDataForFrame(const DecodedFrame& frame, bool daylight, QSize pictureSize);

// The EXIF block as libexif saves it (starting with "Exif\0\0"); empty when
// libexif fails. A record without a usable position gets no GPS position.
QByteArray compileExifBlock(const KSExifData& data);
// FF E1, the length (block + 2) high byte first, the block; empty for a
// block that does not fit a segment.
QByteArray exifApp1Segment(const QByteArray& block);

// The JPEG with the segment inserted after the JFIF APP0 segment, or after
// the start marker when there is none. ok false (and the input returned
// unchanged) for fewer than 20 bytes (message "Error reading header") or no
// JPEG start marker or a cut APP0 ("Not a JPEG file"), or an empty segment
// ("No Exif block to insert into").
QByteArray insertExifIntoJpeg(const QByteArray& jpeg, const QByteArray& exifApp1, bool* ok,
                              QString* message = nullptr);

// The exported picture's JPEG with the frame's EXIF (exifDataForFrame,
// compileExifBlock, insertExifIntoJpeg in one step). When that fails the
// plain JPEG comes back, with message set, so the picture is still written.
QByteArray jpegWithExif(const QByteArray& jpeg, const DecodedFrame& frame, QSize pictureSize,
                        bool daylight, QString* message = nullptr);

// Writes the JPEG with the segment inserted (as insertExifIntoJpeg) under
// fileName, beside it first and then renamed over it, without copying the
// picture in memory; false with error set when the JPEG is refused (the
// texts above) or the file cannot be written. Thread-safe.
bool writeJpegWithExif(const QString& fileName, const QByteArray& jpeg, const QByteArray& exifApp1,
                       QString* error = nullptr);

// The steps of the window's "add EXIF to a JPEG file": fill, compile and
// insert into the file, which is replaced only when all succeeded. messages
// receives the console lines of a failure.
bool addExifToJpg(const QString& fileName, const DecodedFrame& frame, bool daylight,
                  QString* messages = nullptr);

class ExifAccess {
public:
    bool compileExifDataBlock(const KSExifData& data);
    const QByteArray& exifBlock() const { return m_block; }
    // Inserts the compiled block into the file (written beside it, then
    // renamed over it: a failure leaves the plain JPEG).
    bool insertDataIntoJpgFile(const QString& fileName, QString* messages = nullptr);
    // Both steps, with "ERROR compiling Exif data block" or "ERROR writing
    // Exif block to file" after the insertion's own line.
    bool writeDataToFile(const KSExifData& data, const QString& fileName,
                         QString* messages = nullptr);
    // The degree split in single precision, seconds unscaled; returns minutes.
    static int convertDecimalDegreeToDegMinSec(float decimal, int& degrees, int& minutes,
                                               float& seconds);

private:
    QByteArray m_block;
};

namespace FileManipulation {
// Rewrites the file as its first position bytes, data, the rest (beside it,
// then renamed over it). messages receives the console line of a failure.
bool insertIntoFile(const QString& path, const QByteArray& data, qint64 position,
                    QString* messages = nullptr);
} // namespace FileManipulation

} // namespace kx
