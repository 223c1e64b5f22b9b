#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// Writes a whole file so that nothing partial ever stands under its name: the
// bytes go to a new file beside it, which is renamed over the name only when
// every byte is written. A symbolic link at the name is replaced, not
// followed, so a run never writes through a link into another file. On
// failure the temporary file is removed, error (when given) names the file
// and the cause, and errorNumber (when given) receives the errno value.
bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error,
                         int* errorNumber = nullptr);

// Failures that the next file in the same folder will meet as well: no space,
// quota, a read-only file system, a file size limit, the folder gone.
bool isLastingWriteFailure(int errorNumber);

} // namespace kx
