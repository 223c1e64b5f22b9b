#include "recording/FileManipulation.h"

#include "base/Report.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr qint64 kChunkBytes = 1048576;

// A new file beside its final name, renamed over it only when complete. Not
// synced to disk on commit: a merge of gigabytes would otherwise wait for
// the disk, where copying tools leave that to the system.
class StagedFile : public QTemporaryFile {
public:
    explicit StagedFile(const QString& finalName)
        : QTemporaryFile(QFileInfo(finalName).absolutePath() + QStringLiteral("/.") +
                         QFileInfo(finalName).fileName() + QStringLiteral(".XXXXXX"))
        , finalName(finalName) {}
    bool begin() { return QTemporaryFile::open(); }
    QString fileName() const { return finalName; }
    bool commit() {
        if (!flush() || error() != QFileDevice::NoError)
            return false;
        const QByteArray from = QFile::encodeName(QTemporaryFile::fileName());
        close();
        if (std::rename(from.constData(), QFile::encodeName(finalName).constData()) != 0) {
            setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        setAutoRemove(false);
        return true;
    }
    void cancelWriting() {}

private:
    QString finalName;
};

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Copies up to `size` bytes (all that remain when size < 0) from in to out in
// chunks; false with a cause when a read or a write fails. copied receives
// the bytes that arrived.
bool copyBytes(QFile& in, StagedFile& out, qint64 size, qint64& copied, QString& cause,
               const std::function<void()>& afterChunk) {
    std::vector<char> buffer(static_cast<size_t>(kChunkBytes));
    copied = 0;
    while (size < 0 || copied < size) {
        const qint64 want = size < 0 ? kChunkBytes : std::min(kChunkBytes, size - copied);
        const qint64 got = in.read(buffer.data(), want);
        if (got < 0) {
            cause = QStringLiteral("cannot read ") + quoted(in.fileName()) + QStringLiteral(": ") +
                    in.errorString();
            return false;
        }
        if (got == 0)
            break;
        errno = 0;
        if (out.write(buffer.data(), got) != got) {
            // The file engine does not always keep the system's reason.
            const int reason = errno;
            cause =
                QStringLiteral("cannot write ") + quoted(out.fileName()) + QStringLiteral(": ") +
                (reason != 0 ? QString::fromLocal8Bit(std::strerror(reason)) : out.errorString());
            return false;
        }
        copied += got;
        if (afterChunk)
            afterChunk();
    }
    return true;
}

bool openOutput(StagedFile& out, QString& cause) {
    if (out.begin())
        return true;
    cause = QStringLiteral("cannot write ") + quoted(out.fileName()) + QStringLiteral(": ") +
            out.errorString();
    return false;
}

bool commitOutput(StagedFile& out, QString& cause) {
    if (out.commit())
        return true;
    cause = QStringLiteral("cannot write ") + quoted(out.fileName()) + QStringLiteral(": ") +
            out.errorString();
    return false;
}

} // namespace

bool FileManipulation::sameFile(const QString& a, const QString& b) {
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

bool FileManipulation::merge(const QStringList& inputs, const QString& outputName,
                             const MergeHooks& hooks) {
    const auto refuse = [](const QString& text) {
        kx::reportError(text);
        return false;
    };
    if (inputs.isEmpty())
        return refuse(QStringLiteral("Merge: the list of files to merge is empty; nothing was "
                                     "written"));
    if (outputName.isEmpty())
        return refuse(QStringLiteral("Merge: no output file was named; nothing was written"));
    bool anyExists = false;
    for (const QString& input : inputs) {
        if (sameFile(input, outputName))
            return refuse(QStringLiteral("Merge: the output file ") + quoted(outputName) +
                          QStringLiteral(" is also a file to merge; nothing was written"));
        anyExists = anyExists || QFileInfo(input).isFile();
    }
    if (!anyExists)
        return refuse(QStringLiteral("Merge: none of the files to merge exists; nothing was "
                                     "written"));

    StagedFile out(outputName);
    QString cause;
    bool ok = openOutput(out, cause);
    const int count = inputs.size();
    for (int i = 0; ok && i < count; ++i) {
        const QString& input = inputs.at(i);
        kx::console(QStringLiteral("File: ") + input);
        if (QFileInfo(input).isFile()) {
            QFile in(input);
            qint64 copied = 0;
            if (!in.open(QIODevice::ReadOnly))
                cause = QStringLiteral("cannot read ") + quoted(input) + QStringLiteral(": ") +
                        in.errorString();
            ok = in.isOpen() && copyBytes(in, out, -1, copied, cause, hooks.afterChunk);
        }
        if (ok && hooks.progress)
            hooks.progress(int(double(i) / count * 100.0));
    }
    ok = ok && commitOutput(out, cause);
    if (!ok) {
        out.cancelWriting();
        return refuse(QStringLiteral("Merge failed: ") + cause +
                      QStringLiteral("; no file was "
                                     "written"));
    }
    return true;
}

bool FileManipulation::splitFile(QFile* in, const QString& outName, uint64_t offset,
                                 uint64_t size) {
    if (size == 0) {
        kx::console(QStringLiteral("FileManipulation:splitFile: size <= 0"));
        return false;
    }
    if (in == nullptr || !in->isOpen()) {
        kx::console(QStringLiteral("inFile.bad"));
        kx::reportError(QStringLiteral("Split: no recording is open; nothing was written"));
        return false;
    }
    if (sameFile(in->fileName(), outName)) {
        kx::reportError(QStringLiteral("Split: the output file ") + quoted(outName) +
                        QStringLiteral(" is the open recording; nothing was written"));
        return false;
    }
    QString cause;
    StagedFile out(outName);
    if (!openOutput(out, cause)) {
        kx::console(QStringLiteral("FileManipulation::splitFile: OutputFile not found ") + outName);
        kx::reportError(QStringLiteral("Split failed: ") + cause);
        return false;
    }
    qint64 copied = 0;
    bool ok = in->seek(qint64(offset));
    if (!ok)
        cause = QStringLiteral("cannot reach byte %1 of the recording").arg(offset);
    ok = ok && copyBytes(*in, out, qint64(size), copied, cause, {});
    if (ok && uint64_t(copied) != size) {
        ok = false;
        cause = QStringLiteral("the recording ended after %1 of %2 bytes").arg(copied).arg(size);
    }
    ok = ok && commitOutput(out, cause);
    if (!ok) {
        out.cancelWriting();
        kx::reportError(QStringLiteral("Split failed: ") + cause +
                        QStringLiteral("; no file was "
                                       "written"));
    }
    return ok;
}
