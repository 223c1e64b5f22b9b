#include "recording/RecordingFault.h"

#include "base/ByteReader.h"
#include "recording/FrameHeader.h"

#include <QFile>
#include <algorithm>

namespace recordingfault {

QString reasonFromBytes(const uint8_t* data, size_t size, int64_t fileSize) {
    if (fileSize <= 0)
        return QStringLiteral("empty file");
    ByteReader reader(data, size);
    static const char kSignature[] = "VELM";
    bool ok = size >= 5;
    for (size_t i = 0; ok && i < 4; ++i)
        ok = reader.u8At(i) == uint8_t(kSignature[i]);
    if (!ok)
        return QStringLiteral("no frame signature");
    const int version = reader.u8At(4);
    FrameHeaderLayout layout;
    if (!frameheader::layoutForVersion(version, layout))
        return QStringLiteral("unsupported header version %1").arg(version);
    if (fileSize < int64_t(layout.bytesToRead))
        return QStringLiteral("header shorter than its length field: %1 of %2 bytes")
            .arg(fileSize)
            .arg(layout.bytesToRead);
    return QStringLiteral("last frame cut short");
}

QString reasonForFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: ") + file.errorString();
    // The longest header a version has is read at most.
    const QByteArray head = file.read(16384);
    return reasonFromBytes(reinterpret_cast<const uint8_t*>(head.constData()), size_t(head.size()),
                           file.size());
}

} // namespace recordingfault
