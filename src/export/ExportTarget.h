#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>
#include <memory>

// Checks and writes shared by the writers of one file per frame.
namespace kx {

// "Cannot write <name>: the file is read-only" when name exists without
// write permission for its owner, else an empty text. The file mode is read
// itself, not asked through access(): a program run by the superuser may
// write anything, but a file the user marked read-only stays as it is.
QString readOnlyRefusal(const QString& name);

// readOnlyRefusal, then writeFileAtomically.
bool writeExportFile(const QString& name, const QByteArray& bytes, QString* error);

// A file that grows over a whole export (a movie, a sequence): written under
// a hidden name beside its final name and renamed into place by commit, so
// the final name never shows a file that stops half-way. As with
// writeFileAtomically there is no flush to disk; the rename is the guard.
// Destroyed without commit, it takes the hidden file with it.
class PartFile {
public:
    // False with *error ("Cannot write <name>: <reason>") when name is
    // read-only or its folder takes no new file.
    bool open(const QString& name, QString* error);
    QFile& file() { return *m_file; }
    bool isOpen() const { return m_file != nullptr; }
    // Closes the file and puts it in place; false with *error on any write
    // error so far or when the rename fails (the hidden file is removed).
    bool commit(QString* error);
    void discard();

private:
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_name;
};

} // namespace kx
