#include "export/ExportPlan.h"

#include <QDir>

namespace kx {

const char* const kStartAfterEndText = "Start frame must be lower than end frame";
const char* const kStartBeyondRecordingText = "Start frame is higher than frames in dataset";
const char* const kEndBeyondRecordingText = "End frame is higher than frames in dataset";

QString generate4DigitNumberString(int number) {
    return QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

ExportNames::ExportNames(const QString& path, const QString& prefix)
    : base(path + QDir::separator() + prefix) {}

QString ExportNames::frameName(int frame) const {
    return base + QLatin1Char('_') + generate4DigitNumberString(frame);
}

QString ExportNames::kmlFile() const {
    return base + QStringLiteral(".kml");
}

QString ExportNames::allFramesMetaCsv() const {
    return base + QStringLiteral("_meta.csv");
}

QString ExportNames::aviFile(const QString& ext) const {
    return base + QLatin1Char('.') + ext.toLower();
}

QString ExportNames::fffSequence() const {
    return base + QStringLiteral(".seq");
}

QString ExportNames::aviFrameLabel(int frame) {
    return QStringLiteral("Frame_") + generate4DigitNumberString(frame);
}

QString ExportNames::daylightName(const QString& base, int frame) {
    return base + QLatin1Char('_') + generate4DigitNumberString(frame) + QStringLiteral("_DL.jpg");
}

QString ExportNames::fileOfFrame(int frame, const QString& extension) const {
    switch (exportKindForKey(extension)) {
    case ExportKind::RadiometricJpeg:
        return frameName(frame) + QStringLiteral(".jpg");
    case ExportKind::Avi:
        return aviFile(extension);
    case ExportKind::FffSequence:
        return fffSequence();
    default:
        return frameName(frame) + QLatin1Char('.') + extension;
    }
}

QString prefixWithFileCounter(const QString& prefix, unsigned fileCounter) {
    return prefix + QStringLiteral("_%1").arg(fileCounter, 3, 10, QLatin1Char('0'));
}

QString checkExportRange(uint32_t start, uint32_t end, int frameCount) {
    const int64_t frames = frameCount;
    if (end < start)
        return QString::fromLatin1(kStartAfterEndText);
    if (frames < int64_t(start))
        return QString::fromLatin1(kStartBeyondRecordingText);
    if (frames < int64_t(end))
        return QString::fromLatin1(kEndBeyondRecordingText);
    return QString();
}

std::vector<uint32_t> exportFrameSequence(uint32_t start, uint32_t end, uint32_t step) {
    const uint64_t stride = step == 0 ? 1 : step;
    std::vector<uint32_t> frames;
    if (end < start)
        return frames;
    frames.reserve(size_t((uint64_t(end) - start) / stride + 1));
    for (uint64_t frame = start; frame <= end; frame += stride)
        frames.push_back(uint32_t(frame));
    return frames;
}

int exportProgressMaximum(uint32_t start, uint32_t end, uint32_t step) {
    if (end < start)
        return 0;
    const uint64_t stride = step == 0 ? 1 : step;
    return int((uint64_t(end) - start) / stride);
}

ExportKind exportKindForKey(const QString& extension) {
    const QString key = extension.toLower();
    if (key == QLatin1String("meta_only"))
        return ExportKind::MetaOnly;
    if (key == QLatin1String("csv"))
        return ExportKind::TemperatureCsv;
    if (key == QLatin1String("rjpg"))
        return ExportKind::RadiometricJpeg;
    if (key == QLatin1String("seq"))
        return ExportKind::FffSequence;
    if (key == QLatin1String("avi"))
        return ExportKind::Avi;
    if (key == QLatin1String("tif") || key == QLatin1String("tiff"))
        return ExportKind::Tiff;
    return ExportKind::Picture;
}

bool isEncodablePictureFormat(const QString& format) {
    const QString key = format.toLower();
    return key == QLatin1String("png") || key == QLatin1String("jpg") ||
           key == QLatin1String("jpeg") || key == QLatin1String("tiff");
}

} // namespace kx
