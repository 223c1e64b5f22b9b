#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// Merge and split of recordings. A movie or fusion recording is a plain
// concatenation of self-describing frames, so several recordings join by
// concatenating their bytes, and a range of frames is the bytes from the first
// frame's offset to the last frame's end. Nothing is decoded.
//
// Both write through a temporary file beside the output that is renamed over
// it only when every byte arrived, and both refuse an output that is one of
// their inputs before anything is opened for writing: a truncated output
// would otherwise destroy the input it is about to read.
class FileManipulation {
public:
    struct MergeHooks {
        std::function<void()> afterChunk;          // lets the event loop run
        std::function<void(int percent)> progress; // after every entry
    };

    // Concatenates the existing entries of inputs, in order, into outputName.
    // Entries that do not exist are skipped ("File: " is printed for every
    // entry). Refused and reported: an empty list, no existing entry, an
    // output that is an input; failures to read or write are reported and
    // leave no output. Returns whether the output was written.
    static bool merge(const QStringList& inputs, const QString& outputName,
                      const MergeHooks& hooks = {});

    // Copies size bytes from offset of the open file in into outName. False,
    // reported and with no output for a size of 0, an input that is not open,
    // an output that is the input, a short read or a failed write.
    static bool splitFile(QFile* in, const QString& outName, uint64_t offset, uint64_t size);

    // True when both names lead to the same existing file.
    static bool sameFile(const QString& a, const QString& b);
};
