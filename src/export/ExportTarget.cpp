#include "export/ExportTarget.h"

#include "export/AtomicFile.h"

#include <QFileInfo>

#include <cstdio>

namespace kx {

QString readOnlyRefusal(const QString& name) {
    const QFileInfo info(name);
    if (info.exists() && !info.isDir() && !(info.permissions() & QFileDevice::WriteOwner))
        return QStringLiteral("Cannot write ") + name + QStringLiteral(": the file is read-only");
    return QString();
}

bool writeExportFile(const QString& name, const QByteArray& bytes, QString* error) {
    const QString refusal = readOnlyRefusal(name);
    if (!refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return false;
    }
    return writeFileAtomically(name, bytes, error);
}

bool PartFile::open(const QString& name, QString* error) {
    discard();
    m_name = name;
    QString refusal = readOnlyRefusal(name);
    if (refusal.isEmpty()) {
        const QFileInfo info(name);
        m_file = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                                  info.fileName() + QStringLiteral(".XXXXXX.part"));
        if (!m_file->open()) {
            refusal = QStringLiteral("Cannot write ") + name + QStringLiteral(": ") +
                      m_file->errorString();
            m_file.reset();
        }
    }
    if (!refusal.isEmpty() && error)
        *error = refusal;
    return refusal.isEmpty();
}

bool PartFile::commit(QString* error) {
    if (!m_file)
        return false;
    const bool flushed = m_file->flush();
    QString reason = m_file->errorString();
    m_file->close();
    bool done = flushed && m_file->error() == QFileDevice::NoError;
    if (done) {
#if defined(Q_OS_WIN)
        QFile::remove(m_name); // Windows renames onto no existing file
#endif
        done = std::rename(QFile::encodeName(m_file->fileName()).constData(),
                           QFile::encodeName(m_name).constData()) == 0;
        if (done)
            m_file->setAutoRemove(false);
        else
            reason = QStringLiteral("cannot replace the file");
    }
    if (!done && error)
        *error = QStringLiteral("Cannot write ") + m_name + QStringLiteral(": ") + reason;
    m_file.reset();
    return done;
}

void PartFile::discard() {
    m_file.reset();
}

} // namespace kx
