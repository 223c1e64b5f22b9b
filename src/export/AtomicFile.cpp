#include "export/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

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

// The pieces in order into a new file beside name, renamed over it when all
// are written.
bool writePieces(const QString& name, const QByteArray* const* pieces, size_t count, QString* error,
                 int* errorNumber) {
    QByteArray temporaryPath;
    const int fd = openBeside(name, temporaryPath);
    if (fd < 0)
        return fail(name, errno, error, errorNumber);
    // One system call for all pieces where the kernel takes them whole.
    std::vector<iovec> left;
    left.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        if (!pieces[i]->isEmpty())
            left.push_back({const_cast<char*>(pieces[i]->constData()), size_t(pieces[i]->size())});
    }
    size_t first = 0;
    while (first < left.size()) {
        const int batch = int(std::min<size_t>(left.size() - first, IOV_MAX));
        const ssize_t written = ::writev(fd, left.data() + first, batch);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int code = written < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(temporaryPath.constData());
            return fail(name, code, error, errorNumber);
        }
        for (size_t done = size_t(written); done > 0;) {
            iovec& piece = left[first];
            const size_t taken = std::min(done, piece.iov_len);
            piece.iov_base = static_cast<char*>(piece.iov_base) + taken;
            piece.iov_len -= taken;
            done -= taken;
            if (piece.iov_len == 0)
                ++first;
        }
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    return renameOver(temporaryPath, name, error, errorNumber);
}

} // namespace

bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error,
                         int* errorNumber) {
    const QByteArray* const piece = &bytes;
    return writePieces(name, &piece, 1, error, errorNumber);
}

bool writeFileAtomically(const QString& name, std::initializer_list<QByteArray> pieces,
                         QString* error, int* errorNumber) {
    std::vector<const QByteArray*> list;
    list.reserve(pieces.size());
    for (const QByteArray& piece : pieces)
        list.push_back(&piece);
    return writePieces(name, list.data(), list.size(), error, errorNumber);
}

bool writeFileAtomically(const QString& name, const QByteArray& first,
                         const std::vector<QByteArray>& more, QString* error, int* errorNumber) {
    std::vector<const QByteArray*> list{&first};
    for (const QByteArray& piece : more)
        list.push_back(&piece);
    return writePieces(name, list.data(), list.size(), error, errorNumber);
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
