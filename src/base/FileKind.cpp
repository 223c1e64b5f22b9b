#include "base/FileKind.h"

namespace kx {

QString fileSuffixKey(const QString& fileName) {
    return fileName.right(3).toLower();
}

FileKind fileKindOf(const QString& fileName) {
    const QString key = fileSuffixKey(fileName);
    if (key == QLatin1String("thr"))
        return FileKind::SingleRaw;
    if (key == QLatin1String("thc"))
        return FileKind::SingleCompressed;
    if (key == QLatin1String("thm"))
        return FileKind::Movie;
    if (key == QLatin1String("tmc"))
        return FileKind::CompressedMovie;
    if (key == QLatin1String("tfc"))
        return FileKind::Fusion;
    return FileKind::Unknown;
}

} // namespace kx
