#pragma once

#include <QByteArray>
#include <QString>
#include <initializer_list>

namespace kx {

// Writes bytes to a new file beside name and renames it over name, so that a
// reader never sees a half-written file and a failure leaves any earlier file
// of that name as it was. The new file gets the permissions an ordinary
// create would give it. There is no flush to disk: a per-frame sync would
// cost more than encoding the frame, and the rename is what guards against a
// truncated file when the program stops. Thread-safe; error (when given)
// receives "Cannot write <name>: <reason>" on failure.
bool writeFileAtomically(const QString& name, const QByteArray& bytes, QString* error);
// The same for a file made of several pieces, written one after the other
// (so a large piece can be written from where it lies, without a copy).
bool writeFileAtomically(const QString& name, std::initializer_list<QByteArray> pieces,
                         QString* error);

// For writers whose library opens the file by name itself: creates a new empty
// file beside name and returns its name (empty on failure, with error set as
// above). commitFileBeside renames it over name, or removes it when that
// fails; discardFileBeside removes it.
QString createFileBeside(const QString& name, QString* error);
bool commitFileBeside(const QString& temporary, const QString& name, QString* error);
void discardFileBeside(const QString& temporary);

} // namespace kx
