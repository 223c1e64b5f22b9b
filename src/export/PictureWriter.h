#pragma once

#include "export/FormatRegistry.h"

namespace kx {

// PNG and JPEG pictures of the converted frame, at quality 95.
class PictureWriter : public FormatWriter {
public:
    bool encode(const ExportFrame& frame, const ExportContext& context,
                std::vector<EncodedFile>& files, QString& error) const override;
};

// The picture file as it is written under name with format (the key as
// given, "png", "JPG", ...); empty when the image library cannot encode it.
QByteArray encodePicture(const QImage& picture, const QString& format);

} // namespace kx
