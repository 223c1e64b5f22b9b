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

bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error) {
    const QFileInfo info(name);
    if (info.fileName().isEmpty())
        return fail(name, QStringLiteral("no file name"), error);
    if (info.isDir())
        return fail(name, QStringLiteral("is a folder"), error);

    // A hidden name in the same folder, so the rename never crosses a file
    // system; NewOnly never takes over a file someone else is writing.
    QFile temporary;
    for (int attempt = 0; attempt < kNameAttempts && !temporary.isOpen(); ++attempt) {
        temporary.setFileName(
            info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
            QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".part"));
        if (!temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
            temporary.error() != QFileDevice::OpenError)
            break;
    }
    if (!temporary.isOpen())
        return fail(name, temporary.errorString(), error);

    const bool written = temporary.write(bytes) == bytes.size() && temporary.flush();
    const QString writeError = temporary.errorString();
    temporary.close();
    if (!written || temporary.error() != QFileDevice::NoError) {
        temporary.remove();
        return fail(name, writeError, error);
    }
    if (!replaceFile(temporary.fileName(), name)) {
        temporary.remove();
        return fail(name, QStringLiteral("cannot replace the file"), error);
    }
    return true;
}

} // namespace kx
