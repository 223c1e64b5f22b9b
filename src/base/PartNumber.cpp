#include "base/PartNumber.h"

namespace kx::partnumber {
namespace {

constexpr int kSensorCodePosition = 2;
constexpr int kFocalLengthPosition = 5;
constexpr int kFieldLength = 3;
constexpr int kDescribedLength = 15;
constexpr int kVideoSpeedPosition = 10;
constexpr int kRadiometryPosition = 11;

// The three-digit field at position, or false when the text is too short to
// hold it or the field is not a decimal number. QStringView never reads past
// the text, whatever its length or content.
bool readNumberField(const QString& partNumber, int position, int& value) {
    if (partNumber.size() < position + kFieldLength)
        return false;
    bool ok = false;
    const int parsed = partNumber.midRef(position, kFieldLength).toInt(&ok, 10);
    if (!ok)
        return false;
    value = parsed;
    return true;
}

} // namespace

bool isTau2(const QString& partNumber) {
    return partNumber.startsWith(QLatin1String("46")) || partNumber.startsWith(QLatin1String("48"));
}

int focalLengthMM(const QString& partNumber) {
    if (!isTau2(partNumber))
        return 1;
    int focalLength = 0;
    return readNumberField(partNumber, kFocalLengthPosition, focalLength) ? focalLength : 0;
}

void sensorSizeMM(const QString& partNumber, float& width, float& height) {
    int code = 0;
    if (!isTau2(partNumber) || !readNumberField(partNumber, kSensorCodePosition, code))
        return;
    switch (code) {
    case 324:
        width = 8.1f;
        height = 6.4f;
        break;
    case 336:
        width = 5.712f;
        height = 4.352f;
        break;
    case 640:
        width = 10.88f;
        height = 8.704f;
        break;
    default:
        break;
    }
}

QString describe(const QString& partNumber) {
    if (partNumber.size() != kDescribedLength)
        return QString();
    const QString resolution = partNumber.mid(kSensorCodePosition, kFieldLength);
    const int focalLength = partNumber.mid(kFocalLengthPosition, kFieldLength).toInt();
    const QString video = partNumber.at(kVideoSpeedPosition).toLower() == QLatin1Char('s')
                              ? QStringLiteral("slow video")
                              : QStringLiteral("fast video");
    const QString radiometry = partNumber.at(kRadiometryPosition).toLower() == QLatin1Char('r')
                                   ? QStringLiteral("radiometric")
                                   : QStringLiteral("non radiometric");
    return QStringLiteral("KS ") + resolution + QStringLiteral(", ") +
           QString::number(focalLength) + QStringLiteral("mm\n") + video + QLatin1Char('\n') +
           radiometry;
}

QString modelLabelForWidth(unsigned width) {
    switch (width) {
    case 160:
    case 324:
    case 336:
    case 640:
        return QStringLiteral("KS ") + QString::number(width);
    default:
        return QString();
    }
}

} // namespace kx::partnumber
