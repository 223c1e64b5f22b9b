#pragma once

#include <QByteArray>
#include <QString>

// Checks and writes shared by the writers of one file per frame.
namespace kx {

// "Cannot write <name>: the file is read-only" when name exists without
// write permission for its owner, else an empty text. The file mode is read
// itself, not asked through access(): a program run by the superuser may
// write anything, but a file the user marked read-only stays as it is.
QString readOnlyRefusal(const QString& name);

// readOnlyRefusal, then writeFileAtomically.
bool writeExportFile(const QString& name, const QByteArray& bytes, QString* error);

} // namespace kx
