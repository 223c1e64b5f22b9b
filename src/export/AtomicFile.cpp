#include "export/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kx {
namespace {

std::atomic<unsigned> temporaryCounter{0};

bool fail(const QString& name, int code, QString* error, int* errorNumber) {
    if (error) {
        *error = QStringLiteral("Error while writing \"") + name + QStringLiteral("\": ") +
                 QString::fromLocal8Bit(std::strerror(code));
    }
    if (errorNumber)
        *errorNumber = code;
    return false;
}

} // namespace

bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error,
                         int* errorNumber) {
    const QFileInfo info(name);
    // Hidden, in the same folder (a rename never crosses file systems), and
    // unique per process and call so that parallel writers never meet.
    const QString temporary =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() +
        QStringLiteral(".%1.%2.tmp").arg(::getpid()).arg(temporaryCounter.fetch_add(1));
    const QByteArray temporaryPath = QFile::encodeName(temporary);
    // The mode lets the umask decide, as for any file the user creates.
    const int fd = ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(name, errno, error, errorNumber);
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int code = written < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temporaryPath.constData());
            return fail(name, code, error, errorNumber);
        }
        data += written;
        left -= written;
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    if (std::rename(temporaryPath.constData(), QFile::encodeName(name).constData()) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    return true;
}

bool isLastingWriteFailure(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case EFBIG:
    case ENOENT:
    case ENOTDIR:
        return true;
    default:
        return false;
    }
}

} // namespace kx
