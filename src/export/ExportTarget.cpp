#include "export/ExportTarget.h"

#include "export/AtomicFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>
#include <cstdio>

namespace kx {

QByteArray encodeJpeg(const QImage& picture, int quality) {
    QByteArray jpeg;
    if (picture.isNull())
        return jpeg;
    // Room for up to 8 bits per pixel, so that the encoder's output is not
    // copied on every growth of the buffer.
    jpeg.reserve(int(std::min<qint64>(qint64(picture.width()) * picture.height(), 1 << 28)));
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    if (!writer.write(picture))
        jpeg.clear();
    return jpeg;
}

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

namespace {

// The mode a new file gets from this process: 0666 less the umask, read from
// /proc since umask() itself would change it for every thread for a moment.
QFileDevice::Permissions newFilePermissions() {
    unsigned mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const unsigned value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    mask = value;
                break;
            }
        }
    }
    const unsigned mode = 0666u & ~mask;
    QFileDevice::Permissions p;
    if (mode & 0400u)
        p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & 0200u)
        p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & 0040u)
        p |= QFileDevice::ReadGroup;
    if (mode & 0020u)
        p |= QFileDevice::WriteGroup;
    if (mode & 0004u)
        p |= QFileDevice::ReadOther;
    if (mode & 0002u)
        p |= QFileDevice::WriteOther;
    return p;
}

} // namespace

bool PartFile::open(const QString& name) {
    discard();
    m_name = name;
    m_error = readOnlyRefusal(name);
    m_failed = !m_error.isEmpty();
    if (m_failed)
        return false;
    const QFileInfo info(name);
    m_file = std::make_unique<QTemporaryFile>(info.absolutePath() + QStringLiteral("/.") +
                                              info.fileName() + QStringLiteral(".XXXXXX.part"));
    if (m_file->open()) {
        // A temporary file is private to its owner; the movie or sequence it
        // becomes gets the mode of any other export, or keeps the mode of
        // the sequence it extends.
        const QFileInfo earlier(name);
        m_file->setPermissions(earlier.exists() ? earlier.permissions() : newFilePermissions());
        return true;
    }
    fail(m_file->errorString());
    m_file.reset();
    return false;
}

bool PartFile::write(const char* bytes, qint64 length) {
    if (!m_file)
        return fail(QStringLiteral("the file is not open"));
    if (m_failed)
        return false;
    return m_file->write(bytes, length) == length || fail(m_file->errorString());
}

bool PartFile::seek(qint64 position) {
    if (!m_file)
        return fail(QStringLiteral("the file is not open"));
    return !m_failed && (m_file->seek(position) || fail(m_file->errorString()));
}

bool PartFile::fail(const QString& reason) {
    if (!m_failed)
        m_error = QStringLiteral("Cannot write ") + m_name + QStringLiteral(": ") + reason;
    m_failed = true;
    return false;
}

bool PartFile::commit() {
    if (!m_file)
        return fail(QStringLiteral("the file is not open"));
    if (!m_failed && !m_file->flush())
        fail(m_file->errorString());
    m_file->close();
    if (!m_failed && m_file->error() != QFileDevice::NoError)
        fail(m_file->errorString());
    if (!m_failed) {
#if defined(Q_OS_WIN)
        QFile::remove(m_name); // Windows renames onto no existing file
#endif
        if (std::rename(QFile::encodeName(m_file->fileName()).constData(),
                        QFile::encodeName(m_name).constData()) == 0)
            m_file->setAutoRemove(false);
        else
            fail(QStringLiteral("cannot replace the file"));
    }
    m_file.reset();
    return !m_failed;
}

} // namespace kx
