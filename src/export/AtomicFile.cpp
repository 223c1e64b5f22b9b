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
// unique per process and call so that parallel writers never meet.
QByteArray pathBeside(const QString& name) {
    const QFileInfo info(name);
    return QFile::encodeName(
        info.absolutePath() + QStringLiteral("/.") + info.fileName() +
        QStringLiteral(".%1.%2.tmp").arg(::getpid()).arg(temporaryCounter.fetch_add(1)));
}

// The mode lets the umask decide, as for any file the user creates.
int openBeside(const QString& name, QByteArray& temporaryPath) {
    temporaryPath = pathBeside(name);
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

// Every byte of the pieces, in order; the errno value on failure.
int writeAll(int fd, const QByteArray* const* pieces, size_t count) {
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
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
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
    return 0;
}

// A file without a name in name's folder. Creating it leaves the folder
// unlocked: ext4 can take long to find a free inode right after many files
// were deleted, and parallel writers would queue for the folder all that
// time. A crash leaves nothing behind. -1 where the file system has no such
// files or /proc is not there to give it a name.
std::atomic<bool>& namelessUnavailable() {
    static std::atomic<bool> unavailable{::access("/proc/self/fd", F_OK) != 0};
    return unavailable;
}

int openNameless(const QString& name) {
#ifdef O_TMPFILE
    if (namelessUnavailable().load(std::memory_order_relaxed))
        return -1;
    const int fd = ::open(QFile::encodeName(QFileInfo(name).absolutePath()).constData(),
                          O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        namelessUnavailable().store(true, std::memory_order_relaxed);
    return fd;
#else
    (void)name;
    return -1;
#endif
}

bool linkNameless(int fd, const QByteArray& path) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return ::linkat(AT_FDCWD, self, AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0;
}

enum class Written { Done, Failed, NotHere };

// Through a nameless file, linked under name when nothing stands there, else
// linked beside it and renamed over it (a link is never followed). NotHere,
// with nothing left behind, where there are no nameless files or they
// cannot be named.
Written writeNameless(const QString& name, const QByteArray* const* pieces, size_t count,
                      int& code) {
    const int fd = openNameless(name);
    if (fd < 0)
        return Written::NotHere;
    code = writeAll(fd, pieces, count);
    if (code == 0 && !linkNameless(fd, QFile::encodeName(name))) {
        code = errno;
        if (code == EEXIST) {
            const QByteArray temporaryPath = pathBeside(name);
            if (!linkNameless(fd, temporaryPath)) {
                code = errno;
            } else if (std::rename(temporaryPath.constData(),
                                   QFile::encodeName(name).constData()) != 0) {
                code = errno;
                ::unlink(temporaryPath.constData());
            } else {
                code = 0;
            }
        }
    }
    // File systems with nameless files report a failed write at the write,
    // not at the close.
    ::close(fd);
    if (code == 0)
        return Written::Done;
    // A link refused for reasons of its own (a security module, a file system
    // that makes nameless files but cannot name them) says nothing about the
    // folder: this file and every later one go the other way.
    if (code == EPERM || code == EXDEV || code == EINVAL || code == EOPNOTSUPP || code == ENOSYS) {
        namelessUnavailable().store(true, std::memory_order_relaxed);
        return Written::NotHere;
    }
    return Written::Failed;
}

// The pieces in order into a new file that takes name only when all are
// written.
bool writePieces(const QString& name, const QByteArray* const* pieces, size_t count, QString* error,
                 int* errorNumber) {
    int code = 0;
    switch (writeNameless(name, pieces, count, code)) {
    case Written::Done:
        return true;
    case Written::Failed:
        return fail(name, code, error, errorNumber);
    case Written::NotHere:
        break;
    }
    QByteArray temporaryPath;
    const int fd = openBeside(name, temporaryPath);
    if (fd < 0)
        return fail(name, errno, error, errorNumber);
    code = writeAll(fd, pieces, count);
    if (code != 0) {
        ::close(fd);
        ::unlink(temporaryPath.constData());
        return fail(name, code, error, errorNumber);
    }
    if (::close(fd) != 0) {
        code = errno;
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
