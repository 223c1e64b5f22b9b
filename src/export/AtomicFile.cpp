#include "export/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

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
}

} // namespace kx
