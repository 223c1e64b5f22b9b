#pragma once

#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <future>
#include <memory>
#include <utility>
#include <vector>

// One open recorder file and its index: what a successful open builds and what
// frames are read from. The converter replaces its recording whole, and only
// when an open succeeds, so a refused file leaves the one before it, with its
// index, in place.
struct Recording {
    Recording() = default;
    // Opens fileName for reading; isOpen() says whether that worked.
    explicit Recording(const QString& fileName);

    QString fileName;
    int32_t version = 0;
    bool compressed = false;
    bool fusion = false;
    // Frame index of a movie (entry i-1 describes frame i); empty for a
    // single-frame file, which has no index.
    std::vector<uint64_t> frameOffsets;
    std::vector<int64_t> frameSizes;
    std::vector<int32_t> ffcFrames;        // 1-based
    std::vector<int32_t> frameCounterGaps; // 0-based, as "Bad FC: " reported them
    // The counter word of every frame as the index scan read it, whether or
    // not the check ran.
    std::vector<int32_t> frameCounters;
    // Daylight index of a fusion recording (entry i-1 describes block i).
    std::vector<uint64_t> daylightOffsets;
    std::vector<int64_t> daylightSizes;
    std::vector<int32_t> daylightOfFrame; // per thermal frame, 0-based block or -1
    // The first daylight block's picture (ok, picture), decoded on another
    // thread while the scan reads the rest of the file; the first request
    // for that block takes it.
    std::future<std::pair<bool, QImage>> firstDaylightPicture;
    std::unique_ptr<QFile> file;

    bool isOpen() const { return file && file->isOpen(); }
    int frameCount() const;
    // A movie or fusion recording with frames: what the corrections and the
    // split work on.
    bool isMovie() const;
    // Byte offset and length of frame n (1-based); 0 outside the index.
    uint64_t frameOffset(int n) const;
    int64_t frameSize(int n) const;
    // Reads the stored bytes of frame n (1-based) into the start of buffer,
    // which grows to hold them; the bytes read, or -1.
    qint64 readFrame(int n, std::vector<uint8_t>& buffer) const;
};
