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
        *error = QStringLiteral("Cannot write ") + name + QStringLiteral(": ") +
                 QString::fromLocal8Bit(std::strerror(code));
    }
    if (errorNumber)
        *errorNumber = code;
    return false;
}

// Hidden, in the same folder (a rename never crosses file systems), and
// unique per process and call so that parallel writers never meet. The mode
// lets the umask decide, as for any file the user creates.
int openBeside(const QString& name, QByteArray& temporaryPath) {
    const QFileInfo info(name);
    const QString temporary =
        info.absolutePath() + QStringLiteral("/.") + info.fileName() +
        QStringLiteral(".%1.%2.tmp").arg(::getpid()).arg(temporaryCounter.fetch_add(1));
    temporaryPath = QFile::encodeName(temporary);
    return ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

bool renameOver(const QByteArray& temporaryPath, const QString& name, QString* error,
                int* errorNumber) {
    if (std::rename(temporaryPath.constData(), QFile::encodeName(name).constData()) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error,
                         int* errorNumber) {
    return writeFileAtomically(name, {bytes}, error, errorNumber);
}

bool writeFileAtomically(const QString& name, std::initializer_list<QByteArray> pieces,
                         QString* error, int* errorNumber) {
    QByteArray temporaryPath;
    const int fd = openBeside(name, temporaryPath);
    if (fd < 0)
        return fail(name, errno, error, errorNumber);
    for (const QByteArray& piece : pieces) {
        const char* data = piece.constData();
        qint64 left = piece.size();
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
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    return renameOver(temporaryPath, name, error, errorNumber);
}

QString createFileBeside(const QString& name, QString* error) {
    QByteArray temporaryPath;
    const int fd = openBeside(name, temporaryPath);
    if (fd < 0) {
        fail(name, errno, error, nullptr);
        return QString();
    }
    ::close(fd);
    return QFile::decodeName(temporaryPath);
}

bool commitFileBeside(const QString& temporary, const QString& name, QString* error) {
    return renameOver(QFile::encodeName(temporary), name, error, nullptr);
}

void discardFileBeside(const QString& temporary) {
    ::unlink(QFile::encodeName(temporary).constData());
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
