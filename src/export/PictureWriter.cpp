#include "export/PictureWriter.h"

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
                           std::vector<EncodedFile>& files, QString& error) const {
    const QString fileName = frame.frameBase + QLatin1Char('.') + context.extension;
    QByteArray bytes = encodePicture(frame.picture, context.extension);
    if (bytes.isEmpty()) {
        error = QStringLiteral("Error while writing image \"") + fileName +
                QStringLiteral("\" with format ") + context.extension;
        return false;
    }
    files.push_back({fileName, std::move(bytes)});
    return true;
}

} // namespace kx
