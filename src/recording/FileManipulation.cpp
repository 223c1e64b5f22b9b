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

#if defined(Q_OS_LINUX)
#include <unistd.h>
#endif

namespace {

// The portable copy reads and writes through a buffer that stays in the
// processor's cache (8 MiB measured slower than 1 MiB); the kernel copy moves
// more per call, still little enough for the event loop to run often.
constexpr qint64 kChunkBytes = qint64(1) << 20;
constexpr qint64 kKernelChunkBytes = qint64(32) << 20;

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

#if defined(Q_OS_LINUX)
// Lets the kernel move the bytes from file to file (no copy through this
// process, and a shared extent where the file system offers one). Copies up
// to `size` bytes (all that remain when size < 0) from the position of in to
// the position of out, and leaves both positions after what was copied.
// Unfinished when the kernel cannot copy between these files or fails half
// way: the caller then goes on by reading and writing, which either gets past
// the problem or reports it with the file it concerns.
enum class KernelCopy { Done, Unfinished, Lost };

KernelCopy kernelCopy(QFile& in, QFile& out, qint64 size, qint64& copied,
                      const std::function<void()>& afterChunk) {
    if (!out.flush())
        return KernelCopy::Unfinished;
    loff_t inPos = in.pos();
    loff_t outPos = out.pos();
    bool whole = true;
    while (size < 0 || copied < size) {
        const qint64 want =
            size < 0 ? kKernelChunkBytes : std::min(kKernelChunkBytes, size - copied);
        const ssize_t got =
            ::copy_file_range(in.handle(), &inPos, out.handle(), &outPos, size_t(want), 0);
        if (got < 0 && errno == EINTR)
            continue;
        // A copy that stops short of the end is finished by reading, which
        // tells a true end of the file from a file system that copies nothing.
        if (got <= 0) {
            whole = got == 0 && size < 0 && inPos >= in.size();
            break;
        }
        copied += got;
        if (afterChunk)
            afterChunk();
    }
    // The kernel copy moved neither file's position.
    if (!in.seek(inPos) || !out.seek(outPos))
        return KernelCopy::Lost;
    return whole ? KernelCopy::Done : KernelCopy::Unfinished;
}
#endif

// Copies up to `size` bytes (all that remain when size < 0) from in to out;
// false with a cause when a read or a write fails. copied receives the bytes
// that arrived.
bool copyBytes(QFile& in, StagedFile& out, qint64 size, qint64& copied, QString& cause,
               const std::function<void()>& afterChunk) {
    copied = 0;
#if defined(Q_OS_LINUX)
    switch (kernelCopy(in, out, size, copied, afterChunk)) {
    case KernelCopy::Done:
        return true;
    case KernelCopy::Lost:
        cause = QStringLiteral("cannot read ") + quoted(in.fileName()) +
                QStringLiteral(": the position in the file was lost");
        return false;
    case KernelCopy::Unfinished:
        break;
    }
#endif
    std::vector<char> buffer(static_cast<size_t>(kChunkBytes));
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
