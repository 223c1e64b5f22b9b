#include "export/FffSequence.h"

#include "export/ExportTarget.h"
#include "export/RadiometricWriter.h"

#include <QFile>

namespace kx {
namespace {
constexpr qint64 kCopyChunk = 1 << 20;
} // namespace

FffSequenceWriter::FffSequenceWriter() = default;

FffSequenceWriter::~FffSequenceWriter() {
    discard();
}

bool FffSequenceWriter::failWith(const QString& reason) {
    if (!m_failed)
        m_error = QStringLiteral("Cannot write ") + m_fileName + QStringLiteral(": ") + reason;
    m_failed = true;
    return false;
}

bool FffSequenceWriter::open(const QString& fileName) {
    discard();
    m_fileName = fileName;
    m_error.clear();
    m_failed = false;
    m_blocks = 0;
    const QString refusal = readOnlyRefusal(fileName);
    if (!refusal.isEmpty()) {
        m_error = refusal;
        m_failed = true;
        return false;
    }
    m_file = std::make_unique<QSaveFile>(fileName);
    if (!m_file->open(QIODevice::WriteOnly)) {
        failWith(m_file->errorString());
        m_file.reset();
        return false;
    }
    QFile earlier(fileName);
    if (!earlier.exists())
        return true;
    if (!earlier.open(QIODevice::ReadOnly))
        return failWith(earlier.errorString());
    while (!earlier.atEnd()) {
        const QByteArray bytes = earlier.read(kCopyChunk);
        if (bytes.isEmpty())
            return failWith(earlier.errorString());
        if (m_file->write(bytes) != bytes.size())
            return failWith(m_file->errorString());
    }
    return true;
}

bool FffSequenceWriter::addFrame(const DecodedFrame& frame, float kelvinPerCount,
                                 int rotationDegrees) {
    QString error;
    const QByteArray block = fffBlock(frame, kelvinPerCount, rotationDegrees, &error);
    if (block.isEmpty()) {
        // One frame the format cannot hold does not spoil the others.
        m_error = error;
        return false;
    }
    return addBlock(block);
}

bool FffSequenceWriter::addBlock(const QByteArray& block) {
    if (!m_file)
        return failWith(QStringLiteral("the sequence is not open"));
    if (m_failed)
        return false;
    if (m_file->write(block) != block.size())
        return failWith(m_file->errorString());
    ++m_blocks;
    return true;
}

bool FffSequenceWriter::close() {
    if (!m_file)
        return failWith(QStringLiteral("the sequence is not open"));
    if (m_failed || !m_file->commit()) {
        failWith(m_file->errorString());
        discard();
        return false;
    }
    m_file.reset();
    return true;
}

void FffSequenceWriter::discard() {
    if (!m_file)
        return;
    m_file->cancelWriting();
    m_file.reset();
}

} // namespace kx
