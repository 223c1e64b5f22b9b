#include "export/FffSequence.h"

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
    if (!m_part.open(fileName, &m_error)) {
        m_failed = true;
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
        if (m_part.file().write(bytes) != bytes.size())
            return failWith(m_part.file().errorString());
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
    if (!m_part.isOpen())
        return failWith(QStringLiteral("the sequence is not open"));
    if (m_failed)
        return false;
    if (m_part.file().write(block) != block.size())
        return failWith(m_part.file().errorString());
    ++m_blocks;
    return true;
}

bool FffSequenceWriter::close() {
    if (!m_part.isOpen())
        return failWith(QStringLiteral("the sequence is not open"));
    if (m_failed) {
        discard();
        return false;
    }
    QString error;
    if (!m_part.commit(&error)) {
        m_error = error;
        m_failed = true;
        return false;
    }
    return true;
}

void FffSequenceWriter::discard() {
    m_part.discard();
}

} // namespace kx
