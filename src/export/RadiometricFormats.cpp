#include "export/RadiometricFormats.h"

#include "export/ExifAccess.h"
#include "export/ExportTarget.h"
#include "export/RadiometricWriter.h"
#include "export/TemperatureCsv.h"

namespace kx {

MetaDataCall RadiometricJpegFormat::metaDataCall(const ExportFrame& frame,
                                                 const ExportContext&) const {
    return {true, frame.frameBase, QStringLiteral("jpg"), QString()};
}

bool RadiometricJpegFormat::encode(const ExportFrame& frame, const ExportContext& context,
                                   EncodedFrame& out, QString& error) const {
    const QString fileName = frame.frameBase + QStringLiteral(".jpg");
    QString refusal = readOnlyRefusal(fileName);
    RadiometricJpegParts parts;
    if (!refusal.isEmpty() ||
        !encodeRadiometricJpegParts(frame.frame, frame.picture,
                                    fffKelvinPerCount(context.conversion.radiometryOption),
                                    context.conversion.rotation, parts, &refusal)) {
        error = refusal;
        return false;
    }
    // The turned picture's size: the visible JPEG is turned with the frame.
    const QSize size = context.conversion.rotation == 90 || context.conversion.rotation == -90
                           ? frame.picture.size().transposed()
                           : frame.picture.size();
    // EXIF right after the JFIF header, then the FLIR segments: written as
    // pieces, since joining them would copy the 650 kB block once more.
    const QByteArray exif =
        exifApp1Segment(compileExifBlock(exifDataForFrame(frame.frame, false, size)));
    if (exif.isEmpty())
        out.consoleLines = QStringLiteral("ERROR compiling Exif data block");
    const QByteArray& jpeg = parts.jpeg;
    out.files.push_back({fileName,
                         jpeg.left(parts.insertAt),
                         {exif, std::move(parts.segments), jpeg.mid(parts.insertAt)}});
    return true;
}

bool TemperatureCsvFormat::encode(const ExportFrame& frame, const ExportContext& context,
                                  EncodedFrame& out, QString& error) const {
    const QString fileName = frame.frameBase + QLatin1Char('.') + context.extension;
    error = readOnlyRefusal(fileName);
    if (!error.isEmpty())
        return false;
    // Temperatures in the window's step: counts stay counts without radiometry.
    out.files.push_back(
        {fileName, encodeTemperatureCsv(frame.frame, context.conversion.kelvinPerCount,
                                        context.exportSettings.csvDelimiter)});
    return true;
}

bool FffSequenceFormat::begin(const ExportContext& context, QString& error) {
    if (sequence.open(context.names.fffSequence()))
        return true;
    error = sequence.errorString();
    return false;
}

bool FffSequenceFormat::encode(const ExportFrame& frame, const ExportContext& context,
                               EncodedFrame& out, QString& error) const {
    out.payload = fffBlock(frame.frame, fffKelvinPerCount(context.conversion.radiometryOption),
                           context.conversion.rotation, &error);
    return !out.payload.isEmpty();
}

bool FffSequenceFormat::append(const QByteArray& payload, QString& error) {
    if (sequence.addBlock(payload))
        return true;
    error = sequence.errorString();
    return false;
}

bool FffSequenceFormat::finish(const ExportContext&, bool completed, QString& error) {
    if (!completed) {
        sequence.discard();
        return true;
    }
    if (sequence.close())
        return true;
    error = sequence.errorString();
    return false;
}

MetaDataCall AviFormat::metaDataCall(const ExportFrame& frame, const ExportContext& context) const {
    return {true, context.names.base, context.extension,
            ExportNames::aviFrameLabel(int(frame.frameNumber))};
}

bool AviFormat::begin(const ExportContext& context, QString& error) {
    // The size is provisional: the first frame written sets it.
    if (movie.kavi_open(context.names.aviFile(context.extension), 1, 1, AviWriter::kMotionJpeg,
                        AviWriter::kDefaultFramesPerSecond))
        return true;
    error = movie.errorString();
    return false;
}

bool AviFormat::encode(const ExportFrame& frame, const ExportContext&, EncodedFrame& out,
                       QString& error) const {
    out.payload = encodeJpeg(frame.picture, 95);
    if (out.payload.isEmpty())
        error = QStringLiteral("The frame %1 could not be encoded as JPEG").arg(frame.frameNumber);
    return !out.payload.isEmpty();
}

bool AviFormat::append(const QByteArray& payload, QString& error) {
    if (movie.addFrame(payload))
        return true;
    error = movie.errorString();
    return false;
}

bool AviFormat::finish(const ExportContext&, bool completed, QString& error) {
    if (!completed) {
        movie.discard();
        return true;
    }
    if (movie.closeFile())
        return true;
    error = movie.errorString();
    return false;
}

} // namespace kx
