#pragma once

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <vector>

namespace kx {

// Writes a whole file so that nothing partial ever stands under its name: the
// bytes go to a new file without a name in the same folder (where the file
// system has them; else a hidden file beside it), which takes the name only
// when every byte is written. A symbolic link at the name is replaced, not
// followed, so a run never writes through a link into another file. On
// failure nothing is left behind, error (when given) receives "Cannot write
// <name>: <reason>", and errorNumber (when given) receives the errno value.
bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error,
                         int* errorNumber = nullptr);
// The same for a file made of several pieces written one after the other, so
// that a large piece is written from where it lies, without a copy.
bool writeFileAtomically(const QString& name, std::initializer_list<QByteArray> pieces,
                         QString* error, int* errorNumber = nullptr);

// The same for first followed by more.
bool writeFileAtomically(const QString& name, const QByteArray& first,
                         const std::vector<QByteArray>& more, QString* error,
                         int* errorNumber = nullptr);

// For writers whose library opens the file by name itself: createFileBeside
// makes a new empty file beside name and returns its name (empty on failure,
// with error set as above); commitFileBeside renames it over name, or removes
// it when that fails; discardFileBeside removes it.
QString createFileBeside(const QString& name, QString* error);
bool commitFileBeside(const QString& temporary, const QString& name, QString* error);
void discardFileBeside(const QString& temporary);

// Failures that the next file in the same folder will meet as well: no space,
// quota, a read-only file system, a file size limit, the folder gone.
bool isLastingWriteFailure(int errorNumber);

} // namespace kx
