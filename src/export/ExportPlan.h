#pragma once

#include <QString>
#include <cstdint>
#include <vector>

// The arithmetic and the names of one frame export, kept apart from the window
// so that the window's driver, the command line and the tests share one
// definition of which frames are written under which names.
namespace kx {

// The frame number as it appears in file names: base 10, zero padded to four
// digits, never cut (7 -> "0007", 12345 -> "12345").
QString generate4DigitNumberString(int number);

// The names derived from one export request. base is the target directory, the
// platform's directory separator and the name prefix.
struct ExportNames {
    QString base;

    ExportNames(const QString& path, const QString& prefix);

    QString frameName(int frame) const;                          // base_NNNN
    QString kmlFile() const;                                     // base.kml
    QString allFramesMetaCsv() const;                            // base_meta.csv
    QString aviFile(const QString& ext) const;                   // base.<lower-cased ext>
    QString fffSequence() const;                                 // base.seq
    static QString aviFrameLabel(int frame);                     // Frame_NNNN
    static QString daylightName(const QString& base, int frame); // base_NNNN_DL.jpg
    // The file an export of frame to format extension (lower case) writes
    // for it: the frame's picture, or the AVI or SEQ file that holds it.
    QString fileOfFrame(int frame, const QString& extension) const;
};

// The command-line entry adds the position of the input file to the prefix so
// that several inputs never write over each other: prefix_NNN.
QString prefixWithFileCounter(const QString& prefix, unsigned fileCounter);

// Texts of the three checks that stop an export before any file is touched.
extern const char* const kStartAfterEndText;
extern const char* const kStartBeyondRecordingText;
extern const char* const kEndBeyondRecordingText;

// Checks the range against the recording in the fixed order; returns the
// warning text of the first failing check, or an empty string.
QString checkExportRange(uint32_t start, uint32_t end, int frameCount);

// The frames start, start + step, ... up to end inclusive. A step of 0 is
// taken as 1; the sum is formed in 64 bits so that a huge step (a negative
// command-line value read as unsigned) ends the sequence instead of wrapping
// back to frame 0.
std::vector<uint32_t> exportFrameSequence(uint32_t start, uint32_t end, uint32_t step);
// The progress bar's maximum: (end - start) / step, 0 when end < start.
int exportProgressMaximum(uint32_t start, uint32_t end, uint32_t step);

// What the driver does per frame, chosen by the lower-cased format key.
enum class ExportKind {
    MetaOnly,        // "meta_only": only the meta data writer
    TemperatureCsv,  // "csv"
    RadiometricJpeg, // "rjpg"
    FffSequence,     // "seq"
    Avi,             // "avi"
    Tiff,            // "tif", "tiff"
    Picture          // everything else: an ordinary picture file
};
ExportKind exportKindForKey(const QString& extension);

// Picture formats that the picture writer encodes ("png", "jpg", "jpeg",
// "tiff"), compared lower-cased.
bool isEncodablePictureFormat(const QString& format);

} // namespace kx
