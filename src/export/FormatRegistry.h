#pragma once

#include "base/DecodedFrame.h"
#include "base/Radiometry.h"
#include "conversion/ConversionSettings.h"
#include "export/ExportPlan.h"
#include "export/ExportSettings.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace kx {

// What stays fixed for the whole of one export job.
struct ExportContext {
    ExportSettings exportSettings;
    ConversionSettings conversion;
    radiometry::PlanckConstants planck;
    QString extension; // the format key as given, used in file names
    ExportNames names{QString(), QString()};
};

// One frame on its way to a writer.
struct ExportFrame {
    int index = 0; // position in the job, from 0
    uint32_t frameNumber = 0;
    QString frameBase; // target folder / prefix_NNNN
    DecodedFrame frame;
    QImage picture; // converted, marked, turned and with legend; null when the format takes none
};

// A file that a frame produces, written under its final name only when whole.
struct EncodedFile {
    QString fileName;
    QByteArray bytes;
};

// One output format. encode runs on the job's worker threads, for several
// frames at once: it must keep no state between calls. begin, commit and
// finish run on the job's thread in frame order, for formats that gather
// frames into one file.
class FormatWriter {
public:
    virtual ~FormatWriter() = default;
    // Whether the frames must be rendered into a picture first.
    virtual bool needsPicture() const { return true; }
    virtual bool begin(const ExportContext& context, QString& error) {
        (void)context;
        (void)error;
        return true;
    }
    // The files of one frame; false with a message when it cannot be encoded.
    virtual bool encode(const ExportFrame& frame, const ExportContext& context,
                        std::vector<EncodedFile>& files, QString& error) const = 0;
    // Ends the job's output after the last frame, or after a failure
    // (completed false): per-file formats close or remove their file.
    virtual bool finish(const ExportContext& context, bool completed, QString& error) {
        (void)context;
        (void)completed;
        (void)error;
        return true;
    }
};

// The one list of output formats: the help text, the export dialog's list and
// the command line's refusals all come from it.
struct FormatEntry {
    QString key;         // lower-cased format key
    QString dialogLabel; // entry of the export dialog's list; empty for aliases
    // Null while this build has no writer for the format: it is refused
    // before any file is written.
    std::function<std::unique_ptr<FormatWriter>()> create;
};

const std::vector<FormatEntry>& formatRegistry();
// The entry of a key, compared lower-cased; null for an unknown key.
const FormatEntry* findFormat(const QString& key);
// The export dialog's list, in its order ("RJPG", "PNG", ...).
QStringList exportDialogFormats();
// Keys of the formats this build writes, for the help text ("png, jpg, jpeg").
QStringList availableFormatKeys();

// The message for a format that cannot be exported; empty when it can.
QString formatRefusal(const QString& key);

} // namespace kx
