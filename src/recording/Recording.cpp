#include "recording/Recording.h"

#include "base/FileKind.h"

#include <algorithm>
#include <climits>

Recording::Recording(const QString& fileName)
    : fileName(fileName)
    , file(std::make_unique<QFile>(fileName)) {
    file->open(QIODevice::ReadOnly);
}

int Recording::frameCount() const {
    return int(std::min<size_t>(frameOffsets.size(), size_t(INT32_MAX)));
}

bool Recording::isMovie() const {
    return frameCount() > 0 && isOpen() && kx::isMovieKind(kx::fileKindOf(fileName));
}

uint64_t Recording::frameOffset(int n) const {
    return (n >= 1 && n <= frameCount()) ? frameOffsets[size_t(n - 1)] : 0;
}

int64_t Recording::frameSize(int n) const {
    return (n >= 1 && n <= frameCount()) ? frameSizes[size_t(n - 1)] : 0;
}

qint64 Recording::readFrame(int n, std::vector<uint8_t>& buffer) const {
    if (n < 1 || n > frameCount() || !isOpen())
        return -1;
    const size_t wanted = size_t(std::max<int64_t>(frameSize(n), 0));
    if (buffer.size() < wanted)
        buffer.resize(wanted);
    if (!file->seek(qint64(frameOffset(n))))
        return -1;
    return file->read(reinterpret_cast<char*>(buffer.data()), qint64(wanted));
}
