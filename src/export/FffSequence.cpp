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

bool FffSequenceWriter::open(const QString& fileName) {
    m_refusal.clear();
    m_blocks = 0;
    if (!m_part.open(fileName))
        return false;
    QFile earlier(fileName);
    if (!earlier.exists())
        return true;
    if (!earlier.open(QIODevice::ReadOnly))
        return m_part.fail(earlier.errorString());
    while (!earlier.atEnd()) {
        const QByteArray bytes = earlier.read(kCopyChunk);
        if (bytes.isEmpty())
            return m_part.fail(earlier.errorString());
        if (!m_part.write(bytes))
            return false;
    }
    return true;
}

bool FffSequenceWriter::addFrame(const DecodedFrame& frame, float kelvinPerCount,
                                 int rotationDegrees) {
    const QByteArray block = fffBlock(frame, kelvinPerCount, rotationDegrees, &m_refusal);
    // One frame the format cannot hold does not spoil the others.
    return !block.isEmpty() && addBlock(block);
}

bool FffSequenceWriter::addBlock(const QByteArray& block) {
    if (!m_part.write(block))
        return false;
    ++m_blocks;
    return true;
}

bool FffSequenceWriter::close() {
    return m_part.commit();
}

void FffSequenceWriter::discard() {
    m_part.discard();
}

const QString& FffSequenceWriter::errorString() const {
    return m_part.failed() ? m_part.errorString() : m_refusal;
}

} // namespace kx
