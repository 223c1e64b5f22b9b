#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryFile>
#include <memory>

// Checks, encoders and files shared by the writers.
namespace kx {

// The picture as a JPEG file in memory (the image library's encoder, 2 x 2
// chroma subsampling); empty when it cannot be encoded.
QByteArray encodeJpeg(const QImage& picture, int quality = 95);

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
    // False when name is read-only or its folder takes no new file.
    bool open(const QString& name);
    bool isOpen() const { return m_file != nullptr; }
    QFile& file() { return *m_file; }
    // Writes all of bytes; refused after the first failure.
    bool write(const char* bytes, qint64 length);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    bool seek(qint64 position);
    // Records the first failure as "Cannot write <name>: <reason>"; false.
    bool fail(const QString& reason);
    bool failed() const { return m_failed; }
    const QString& errorString() const { return m_error; }
    // Closes the file and puts it in place; after a failure, or when the
    // rename fails, removes it instead and gives false.
    bool commit();
    void discard() { m_file.reset(); }

private:
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_name;
    QString m_error;
    bool m_failed = false;
};

} // namespace kx
