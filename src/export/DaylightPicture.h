#pragma once

#include "base/DecodedFrame.h"

#include <QByteArray>
#include <QString>

class DataConverter;

namespace kx {

// The "_DL.jpg" picture of a frame of a fusion recording: the stored JPEG
// decoded, turned by the rotation setting (degrees clockwise, no smoothing)
// like the thermal picture, and encoded again at the encoder's default
// quality. frame is the thermal frame of the same moment, whose telemetry
// the picture's EXIF block describes. False with a console text when the
// stored picture is missing or does not decode.
bool encodeDaylightPicture(const QByteArray& stored, int rotationDegrees, int frameNumber,
                           const DecodedFrame& frame, QByteArray& jpeg, QString& error);

// Writes that picture of frame frameNumber of the converter's open recording
// as base_NNNN_DL.jpg; nothing unless a fusion recording is open. A picture
// that cannot be made is said on the console, a failed write reported.
void writeDaylightPicture(DataConverter& converter, const QString& base, int frameNumber,
                          int rotationDegrees, const DecodedFrame& frame);

} // namespace kx
