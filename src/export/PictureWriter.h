#pragma once

#include "export/FormatRegistry.h"

namespace kx {

// PNG and JPEG pictures of the converted frame, at quality 95.
class PictureWriter : public FormatWriter {
public:
    bool encode(const ExportFrame& frame, const ExportContext& context, EncodedFrame& out,
                QString& error) const override;
};

// The picture file as it is written under name with format (the key as
// given, "png", "JPG", ...); empty when the image library cannot encode it.
QByteArray encodePicture(const QImage& picture, const QString& format);

// Writes picture as fileName in format (the key as given), safely. A CSV key
// writes nothing and says nothing; other formats the picture writer does not
// take, and failed writes, are reported. True when the file exists now.
bool writePictureFile(const QString& fileName, const QString& format, const QImage& picture);

} // namespace kx
