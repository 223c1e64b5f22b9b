#include "export/ExportTarget.h"

#include "export/AtomicFile.h"

#include <QFileInfo>

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

} // namespace kx
