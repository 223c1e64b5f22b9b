#pragma once

#include "base/DecodedFrame.h"
#include "export/FormatRegistry.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace kx {

// Where an export takes its frames from: the open recording, decoded on the
// job's thread (the converter's state is single-threaded).
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Frames the range may cover; a single-frame file counts as one.
    virtual int frameCount() const = 0;
    virtual bool decode(uint32_t frameNumber, DecodedFrame& frame) = 0;
    // The message of a frame of rawValues values that decoded but found no
    // raw window to convert.
    virtual QString conversionFailureText(size_t rawValues) const = 0;

    // A file that belongs to a frame besides the format's own files (the
    // daylight picture of a fusion recording). encode runs on the job's
    // workers; a false result leaves the file out and its error goes to the
    // console, since the frame itself was exported.
    struct ExtraFile {
        QString fileName;
        std::function<bool(const ExportFrame& frame, QByteArray& bytes, QString& error)> encode;
    };
    // Asked on the job's thread right after frame.frame was decoded.
    virtual std::vector<ExtraFile> extraFiles(const ExportFrame& frame,
                                              const ExportContext& context) {
        (void)frame;
        (void)context;
        return {};
    }
};

// One range export: checks the range and the format, names the files, asks
// the source for each frame, renders it and hands it to the format's writer.
// Decoding stays on the calling thread; rendering, encoding and writing run
// on a small pool, and the files, progress lines and messages keep the order
// of a one-thread run.
class ExportJob {
public:
    struct Options {
        // Threads that encode, the job's own included. 0: one per processor
        // core (at most four); 1: the job's thread alone.
        int threads = 0;
        bool progressLines = false; // "frame n of N: <file>" on standard error
    };
    // Called on the job's thread after every frame with the running counter;
    // the window repaints its progress bar from it.
    using Progress = std::function<void(int done, int maximum)>;

    struct Outcome {
        bool started = false; // the checks passed
        int written = 0;      // frames whose files were all written
        int failures = 0;     // refusals, frames that did not convert, files not written
    };

    ExportJob(FrameSource& source, ExportContext context, Options options);
    Outcome run(const Progress& progress = Progress());

    // The number of threads, the job's own included, a job with `threads`
    // would use.
    static int threadCount(int threads);

private:
    bool canStart();

    FrameSource& source;
    ExportContext context;
    Options options;
};

} // namespace kx
