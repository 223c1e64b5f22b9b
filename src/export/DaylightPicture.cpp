#include "export/DaylightPicture.h"

#include "base/Report.h"
#include "export/AtomicFile.h"
#include "export/ExifAccess.h"
#include "export/ExportPlan.h"
#include "recording/DataConverter.h"

#include <QBuffer>
#include <QImage>
#include <QTransform>

namespace kx {

bool encodeDaylightPicture(const QByteArray& stored, int rotationDegrees, int frameNumber,
                           const DecodedFrame& frame, QByteArray& jpeg, QString& error) {
    QImage picture;
    if (stored.isEmpty() || !picture.loadFromData(stored, "JPG")) {
        error = QStringLiteral("Frame %1 has no daylight picture that decodes; no daylight "
                               "picture was written for it")
                    .arg(frameNumber);
        return false;
    }
    if (rotationDegrees != 0) {
        QTransform rotation;
        rotation.rotate(rotationDegrees);
        picture = picture.transformed(rotation, Qt::FastTransformation);
    }
    jpeg.clear();
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "JPG")) {
        error = QStringLiteral("The daylight picture of frame %1 could not be encoded")
                    .arg(frameNumber);
        return false;
    }
    // The daylight camera's picture carries the same position, as model
    // "Kestrum_Daylight"; when the block cannot go in, the plain picture stays.
    QString message;
    jpeg = jpegWithExif(jpeg, frame, picture.size(), true, &message);
    return true;
}

void writeDaylightPicture(DataConverter& converter, const QString& base, int frameNumber,
                          int rotationDegrees, const DecodedFrame& frame) {
    if (!converter.isFusionRecording())
        return;
    QByteArray jpeg;
    QString error;
    if (!encodeDaylightPicture(converter.daylightJpegBytes(frameNumber), rotationDegrees,
                               frameNumber, frame, jpeg, error)) {
        console(error);
        return;
    }
    QString cause;
    if (!writeFileAtomically(ExportNames::daylightName(base, frameNumber), jpeg, &cause))
        reportError(cause);
}

} // namespace kx
