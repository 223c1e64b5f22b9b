#pragma once

#include "base/DecodedFrame.h"

#include <QByteArray>
#include <QString>

namespace kx {

// The "_DL.jpg" picture of a frame of a fusion recording: the stored JPEG
// decoded, turned by the rotation setting (degrees clockwise, no smoothing)
// like the thermal picture, and encoded again at the encoder's default
// quality. frame is the thermal frame of the same moment, whose telemetry
// the picture's EXIF block describes. False with a console text when the
// stored picture is missing or does not decode.
bool encodeDaylightPicture(const QByteArray& stored, int rotationDegrees, int frameNumber,
                           const DecodedFrame& frame, QByteArray& jpeg, QString& error);

} // namespace kx
