#pragma once

#include <QString>

// The camera core's part number, as the frame header of versions 5 and 6
// carries it. Tau 2 part numbers start with "46" or "48", hold the sensor
// code at positions 2 to 4 and the focal length in mm at positions 5 to 7;
// a 15-character number also says at position 10 whether the video is slow
// ("s") and at position 11 whether the core is radiometric ("r").
namespace kx::partnumber {

bool isTau2(const QString& partNumber);
// Focal length in mm: 1 for a core that is not a Tau 2, 0 when the field is
// missing or not a number.
int focalLengthMM(const QString& partNumber);
// Sensor size in mm for the codes 324, 336 and 640; width and height stay as
// they are for anything else.
void sensorSizeMM(const QString& partNumber, float& width, float& height);
// The description the window shows, "KS 640, 19mm\nfast video\nradiometric";
// empty unless the number has 15 characters.
QString describe(const QString& partNumber);
// The model label of a frame without part number, by its width ("KS 640");
// empty for a width no core has.
QString modelLabelForWidth(unsigned width);

} // namespace kx::partnumber
