#include "export/PictureWriter.h"

#include "base/Report.h"
#include "export/AtomicFile.h"
#include "export/ExifAccess.h"
#include "export/ExportPlan.h"
#include "export/PngWriter.h"

#include <QBuffer>

namespace kx {

QByteArray encodePicture(const QImage& picture, const QString& format) {
    // PNG at quality 95 is stored without compression; the stored writer
    // makes the same file class without the row-filter search.
    if (format.toLower() == QLatin1String("png") && canStorePng(picture))
        return encodeStoredPng(picture);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format.toLatin1().constData(), 95))
        return QByteArray();
    return bytes;
}

bool PictureWriter::encode(const ExportFrame& frame, const ExportContext& context,
                           EncodedFrame& out, QString& error) const {
    const QString fileName = frame.frameBase + QLatin1Char('.') + context.extension;
    QByteArray bytes = encodePicture(frame.picture, context.extension);
    if (bytes.isEmpty()) {
        error = QStringLiteral("Error while writing image \"") + fileName +
                QStringLiteral("\" with format ") + context.extension;
        return false;
    }
    // JPEG frames carry the position and the camera for mapping tools.
    if (context.extension.toLower() == QLatin1String("jpg")) {
        QString message;
        bytes = jpegWithExif(bytes, frame.frame, frame.picture.size(), false, &message);
        out.consoleLines = message;
    }
    out.files.push_back({fileName, std::move(bytes)});
    return true;
}

bool writePictureFile(const QString& fileName, const QString& format, const QImage& picture) {
    const QString key = format.toLower();
    if (fileName.isEmpty() || key == QLatin1String("csv"))
        return false;
    // Every format the image library encodes here, TIFF pictures included.
    if (!isEncodablePictureFormat(key)) {
        reportError(QStringLiteral("Unsupported image format selected. Available are .png, "
                                   ".jpg, .jpeg"));
        return false;
    }
    const QByteArray bytes = encodePicture(picture, format);
    QString cause;
    if (!bytes.isEmpty() && writeFileAtomically(fileName, bytes, &cause))
        return true;
    reportError(QStringLiteral("Error while writing image \"") + fileName +
                QStringLiteral("\" with format ") + format);
    return false;
}

} // namespace kx
