#pragma once

#include "base/DecodedFrame.h"
#include "export/ExportTarget.h"

#include <QByteArray>
#include <QString>

// A ".seq" file: FFF blocks one after the other, one per exported frame. An
// existing file of the name is extended, as earlier versions did; the result
// is built beside it and renamed into place by close, so a run that fails
// or stops half-way leaves the earlier file as it was and no half block.
namespace kx {

// Used in frame order on one thread: open, addFrame (or addBlock with a
// block made elsewhere by fffBlock)..., close. Every operation returns false
// after a failure, with errorString set; a writer destroyed before close
// discards what it wrote.
class FffSequenceWriter {
public:
    FffSequenceWriter();
    ~FffSequenceWriter();
    FffSequenceWriter(const FffSequenceWriter&) = delete;
    FffSequenceWriter& operator=(const FffSequenceWriter&) = delete;

    bool open(const QString& fileName);
    bool addFrame(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees);
    bool addBlock(const QByteArray& block);
    bool close();
    void discard();

    bool isOpen() const { return m_part.isOpen(); }
    int blockCount() const { return m_blocks; }
    // The write failure, or else the last frame refused.
    const QString& errorString() const;

private:
    PartFile m_part;
    QString m_refusal;
    int m_blocks = 0;
};

} // namespace kx
