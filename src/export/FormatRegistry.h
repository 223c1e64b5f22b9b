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
#include <limits>
#include <memory>
#include <utility>
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
    EncodedFile(QString name, QByteArray first, std::vector<QByteArray> more = {})
        : fileName(std::move(name))
        , bytes(std::move(first))
        , morePieces(std::move(more)) {}
    QString fileName;
    QByteArray bytes;
    // Written after bytes, each from where it lies, so that a frame's pixels
    // or a large block need no copy into one buffer. A piece may point into
    // the ExportFrame (QByteArray::fromRawData): the job writes a frame's
    // files before it lets the frame go.
    std::vector<QByteArray> morePieces;
};

// What a frame produces: files written under their final names only when
// whole, and for formats that gather frames into one file the frame's part
// of it.
struct EncodedFrame {
    std::vector<EncodedFile> files;
    QByteArray payload;
    QString consoleLines; // printed on the job's thread, in frame order
};

// How the meta data side files name a frame: its file base, the extension
// its entries carry and the name of its KML placemark (empty: the base).
struct MetaDataCall {
    bool wanted = true;
    QString frameBase;
    QString extension;
    QString pointName;
};

// One output format. encode runs on the job's threads, for several
// frames at once: it must keep no state between calls. begin, append and
// finish run on the job's thread in frame order, for formats that gather
// frames into one file.
class FormatWriter {
public:
    // The picture a format takes: none (raw values only), the converted frame
    // with the marker, or that turned and with the legend beside it.
    enum class Picture { None, Converted, Finished };

    virtual ~FormatWriter() = default;
    virtual Picture picture() const { return Picture::Finished; }
    // How many threads a format's frames gain from encoding at once. With 1,
    // one worker encodes and writes while the job's thread decodes.
    virtual int maxWorkers() const { return std::numeric_limits<int>::max(); }
    virtual bool begin(const ExportContext& context, QString& error) {
        (void)context;
        (void)error;
        return true;
    }
    // The output of one frame; false with a message when it cannot be encoded.
    virtual bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                        QString& error) const = 0;
    // What the meta data side files say of this frame.
    virtual MetaDataCall metaDataCall(const ExportFrame& frame,
                                      const ExportContext& context) const {
        return {true, frame.frameBase, context.extension, QString()};
    }
    // Adds a frame's payload to the job's file, in frame order.
    virtual bool append(const QByteArray& payload, QString& error) {
        (void)payload;
        (void)error;
        return true;
    }
    // Ends the job's output after the last frame, or after a failure
    // (completed false): per-file formats close, or remove what they wrote.
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
    // Place in the help text's list of formats; 0 for keys it leaves out.
    int helpPosition = 0;
};

const std::vector<FormatEntry>& formatRegistry();
// The entry of a key, compared lower-cased; null for an unknown key.
const FormatEntry* findFormat(const QString& key);
// The export dialog's list, in its order ("RJPG", "PNG", ...).
QStringList exportDialogFormats();
// The help text's list of formats, "png, jpg, tif, avi, csv, rjpg".
QString helpFormatList();

// The message for a format that cannot be exported; empty when it can.
QString formatRefusal(const QString& key);

} // namespace kx
