#pragma once

#include <QByteArray>
#include <QString>

namespace kx {

// Writes bytes to a new file beside name and renames it over name, so that a
// reader never sees a half-written file and a failure leaves any earlier file
// of that name as it was. The new file gets the permissions an ordinary
// create would give it. There is no flush to disk: a per-frame sync would
// cost more than encoding the frame, and the rename is what guards against a
// truncated file when the program stops. Thread-safe; error (when given)
// receives "Cannot write <name>: <reason>" on failure.
bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error);

} // namespace kx
