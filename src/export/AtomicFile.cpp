#include "export/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kx {
namespace {

constexpr int kNameAttempts = 16;

bool fail(const QString& name, const QString& reason, QString* error) {
    if (error)
        *error = QStringLiteral("Cannot write ") + name + QStringLiteral(": ") + reason;
    return false;
}

// Opens a new file under a hidden name in name's folder, so the rename never
// crosses a file system; NewOnly never takes over a file someone else writes.
bool openBeside(const QString& name, QFile& file, QString* error) {
    const QFileInfo info(name);
    if (info.fileName().isEmpty())
        return fail(name, QStringLiteral("no file name"), error);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        file.setFileName(
            info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
            QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".part"));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo(info.absolutePath()).isDir())
            break;
    }
    return fail(name, file.errorString(), error);
}

// Replaces target by source in one step where the platform can; elsewhere
// (Windows refuses to rename onto an existing file) the old file goes first.
bool replaceFile(const QString& source, const QString& target) {
#if defined(Q_OS_WIN)
    QFile::remove(target);
    return QFile::rename(source, target);
#else
    return std::rename(QFile::encodeName(source).constData(),
                       QFile::encodeName(target).constData()) == 0;
#endif
}

} // namespace

QString createFileBeside(const QString& name, QString* error) {
    QFile file;
    if (!openBeside(name, file, error))
        return QString();
    file.close();
    return file.fileName();
}

bool commitFileBeside(const QString& temporary, const QString& name, QString* error) {
    if (replaceFile(temporary, name))
        return true;
    QFile::remove(temporary);
    return fail(name,
                QFileInfo(name).isDir() ? QStringLiteral("is a folder")
                                        : QStringLiteral("cannot replace the file"),
                error);
}

void discardFileBeside(const QString& temporary) {
    QFile::remove(temporary);
}

bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error) {
    return writeFileAtomically(name, {bytes}, error);
}

bool writeFileAtomically(const QString& name, std::initializer_list<QByteArray> pieces,
                         QString* error) {
#if defined(Q_OS_UNIX)
    // Straight system calls: an exported frame is one small file, and the file
    // object's bookkeeping would cost as much as writing it.
    const QFileInfo info(name);
    if (info.fileName().isEmpty())
        return fail(name, QStringLiteral("no file name"), error);
    const QString folder = info.absolutePath() + QStringLiteral("/.") + info.fileName();
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temporary = QFile::encodeName(folder + QLatin1Char('.') +
                                      QString::number(QRandomGenerator::global()->generate(), 36) +
                                      QStringLiteral(".part"));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return fail(name, qt_error_string(errno), error);
    int writeError = 0;
    for (const QByteArray& piece : pieces) {
        const char* at = piece.constData();
        qint64 left = piece.size();
        while (left > 0 && !writeError) {
            const ssize_t n = ::write(fd, at, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                writeError = n < 0 ? errno : EIO;
            else {
                at += n;
                left -= n;
            }
        }
    }
    if (::close(fd) != 0 && !writeError)
        writeError = errno;
    if (writeError) {
        ::unlink(temporary.constData());
        return fail(name, qt_error_string(writeError), error);
    }
    return commitFileBeside(QFile::decodeName(temporary), name, error);
#else
    QFile file;
    if (!openBeside(name, file, error))
        return false;
    bool written = true;
    for (const QByteArray& piece : pieces)
        written = written && file.write(piece) == piece.size();
    written = written && file.flush();
    const QString reason = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        return fail(name, reason, error);
    }
    return commitFileBeside(file.fileName(), name, error);
#endif
}

} // namespace kx
