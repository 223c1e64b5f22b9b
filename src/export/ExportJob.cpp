#include "export/ExportJob.h"

#include "base/Report.h"
#include "conversion/FrameRenderer.h"
#include "export/AtomicFile.h"
#include "export/MetaDataWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace kx {
namespace {

// What a worker hands back for one frame.
struct FrameResult {
    bool converted = true;
    bool encoded = true;
    QString error;
    int errorNumber = 0;
    QStringList written;
    QByteArray payload; // the frame's part of a file that gathers frames
    QString consoleLines;
    QStringList notes; // extra files left out, for the console
};

// A fixed set of threads, each with its own renderer; tasks are taken in the
// order they were given.
class WorkerPool {
public:
    using Task = std::function<void(FrameRenderer&)>;

    explicit WorkerPool(int count) {
        for (int i = 0; i < count; ++i)
            threads.emplace_back([this] { work(); });
    }
    ~WorkerPool() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }
    void submit(Task task) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            tasks.push_back(std::move(task));
        }
        wake.notify_one();
    }
    // Tasks given and not yet taken by a worker.
    size_t waiting() {
        const std::lock_guard<std::mutex> lock(mutex);
        return tasks.size();
    }

private:
    void work() {
        FrameRenderer renderer;
        for (;;) {
            Task task;
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [this] { return stopping || !tasks.empty(); });
                if (tasks.empty())
                    return;
                task = std::move(tasks.front());
                tasks.pop_front();
            }
            task(renderer);
        }
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    bool stopping = false;
    std::vector<std::thread> threads;
};

FrameResult processFrame(FrameRenderer& renderer, const FormatWriter& writer,
                         const ExportContext& context, ExportFrame& frame,
                         const std::vector<FrameSource::ExtraFile>& extras) {
    FrameResult result;
    const ConversionSettings& conversion = context.conversion;
    const bool marked = context.exportSettings.markHotspot;
    switch (writer.picture()) {
    case FormatWriter::Picture::None:
        break;
    case FormatWriter::Picture::Converted:
        result.converted = renderer.renderConverted(frame.frame, conversion, marked, frame.picture);
        break;
    case FormatWriter::Picture::Finished:
        result.converted = renderer.render(frame.frame, conversion, marked, frame.picture);
        break;
    }
    if (!result.converted)
        return result;
    EncodedFrame encoded;
    if (!writer.encode(frame, context, encoded, result.error)) {
        result.encoded = false;
        return result;
    }
    result.payload = std::move(encoded.payload);
    result.consoleLines = std::move(encoded.consoleLines);
    for (const EncodedFile& file : encoded.files) {
        QString cause;
        if (!writeFileAtomically(file.fileName, file.bytes, file.morePieces, &cause,
                                 &result.errorNumber)) {
            result.encoded = false;
            result.error = cause;
            return result;
        }
        result.written << file.fileName;
    }
    for (const FrameSource::ExtraFile& extra : extras) {
        QByteArray bytes;
        QString error;
        if (!extra.encode(frame, bytes, error)) {
            result.notes << error;
            continue;
        }
        if (!writeFileAtomically(extra.fileName, bytes, &result.error, &result.errorNumber)) {
            result.encoded = false;
            return result;
        }
        result.written << extra.fileName;
    }
    return result;
}

} // namespace

ExportJob::ExportJob(FrameSource& source, ExportContext context, Options options)
    : source(source)
    , context(std::move(context))
    , options(options) {}

int ExportJob::threadCount(int threads) {
    if (threads >= 1)
        return threads;
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

bool ExportJob::canStart() {
    const QString refusal = formatRefusal(context.extension);
    if (!refusal.isEmpty()) {
        reportError(refusal);
        return false;
    }
    const ExportSettings& settings = context.exportSettings;
    const QFileInfo target(settings.path);
    if (!target.isDir() || !target.isWritable()) {
        reportError(QStringLiteral("Target directory \"") + settings.path +
                    QStringLiteral("\" does not exist or is not writable"));
        return false;
    }
    return true;
}

ExportJob::Outcome ExportJob::run(const Progress& progress) {
    Outcome outcome;
    const ExportSettings& settings = context.exportSettings;
    const QString rangeWarning =
        checkExportRange(settings.start, settings.end, source.frameCount());
    if (!rangeWarning.isEmpty()) {
        ++outcome.failures;
        report(ReportKind::Warning, QString(), rangeWarning);
        return outcome;
    }
    if (!canStart()) {
        ++outcome.failures;
        return outcome;
    }
    outcome.started = true;

    std::unique_ptr<FormatWriter> writer = findFormat(context.extension)->create();
    // Removes the side files of an earlier export: they must hold exactly
    // the frames of this one.
    MetaDataWriter metaData(context.names, metaDataOptions(settings));
    metaData.start();
    QString error;
    if (!writer->begin(context, error)) {
        reportError(error);
        ++outcome.failures;
        return outcome;
    }

    const std::vector<uint32_t> frames =
        exportFrameSequence(settings.start, settings.end, settings.step);
    const int total = int(frames.size());
    const int maximum = exportProgressMaximum(settings.start, settings.end, settings.step);
    // The job's thread is one of the threads: it encodes a frame itself
    // whenever the workers already have one waiting. That frame is the one
    // it has just decoded, still in its core's cache, and a core is never
    // shared by three busy threads. A format that gains from one writer only
    // gets that worker, beside the decoding.
    const int threads = threadCount(options.threads);
    const bool helping = writer->maxWorkers() > 1;
    const int workers = threads <= 1 ? 0
                        : helping    ? std::min(threads - 1, writer->maxWorkers() - 1)
                                     : 1;
    std::unique_ptr<WorkerPool> pool =
        workers > 0 ? std::make_unique<WorkerPool>(workers) : nullptr;
    FrameRenderer ownRenderer;

    struct Pending {
        int index;
        std::shared_ptr<const ExportFrame> frame; // for its meta data, once settled
        std::future<FrameResult> result;
    };
    std::deque<Pending> pending;
    int failedFrames = 0;
    bool stopped = false;

    // Results are taken in frame order, whichever worker finished first.
    const auto settle = [&](Pending& item) {
        FrameResult result = item.result.get();
        if (!stopped && result.converted && result.encoded && !result.payload.isEmpty() &&
            !writer->append(result.payload, result.error)) {
            // The gathered file cannot go on: nothing after this frame fits it.
            result.encoded = false;
            result.errorNumber = ENOSPC;
        }
        if (stopped) {
            // After a lasting failure only complete files are counted.
            if (result.converted && result.encoded)
                ++outcome.written;
        } else if (!result.converted) {
            const QString text = source.conversionFailureText(item.frame->frame.raw.size());
            console(text);
            reportError(text);
            ++failedFrames;
        } else if (!result.encoded) {
            ++outcome.failures;
            if (isLastingWriteFailure(result.errorNumber)) {
                stopped = true;
                reportError(result.error + QStringLiteral("; the export stopped after %1 of %2 "
                                                          "frames")
                                               .arg(item.index)
                                               .arg(total));
            } else {
                reportError(result.error);
            }
        } else {
            ++outcome.written;
            if (!result.consoleLines.isEmpty())
                console(result.consoleLines.trimmed());
            for (const QString& note : result.notes)
                console(note);
            if (options.progressLines) {
                for (const QString& file : result.written)
                    consoleErr(QStringLiteral("frame %1 of %2: ").arg(item.index + 1).arg(total) +
                               file);
            }
        }
        // The side files describe every frame that converted, whether or
        // not its own file could be written.
        const MetaDataCall meta = writer->metaDataCall(*item.frame, context);
        if (!stopped && result.converted && meta.wanted &&
            !metaData.writeMetaData(meta.frameBase, meta.extension, item.frame->frame,
                                    meta.pointName)) {
            reportError(metaData.lastError());
            ++outcome.failures;
        }
        if (progress)
            progress(item.index, maximum);
    };

    const size_t inFlight = size_t((workers + 1) * 2);
    for (int i = 0; i < total && !stopped; ++i) {
        const uint32_t frameNumber = frames[size_t(i)];
        auto frame = std::make_shared<ExportFrame>();
        frame->index = i;
        frame->frameNumber = frameNumber;
        frame->frameBase = context.names.frameName(int(frameNumber));
        if (!source.decode(frameNumber, frame->frame)) {
            // The decoder has said why; nothing is written for this frame.
            while (!pending.empty()) {
                settle(pending.front());
                pending.pop_front();
            }
            ++failedFrames;
            if (progress)
                progress(i, maximum);
            continue;
        }
        auto extras = std::make_shared<const std::vector<FrameSource::ExtraFile>>(
            source.extraFiles(*frame, context));
        auto promise = std::make_shared<std::promise<FrameResult>>();
        Pending item{i, frame, promise->get_future()};
        const FormatWriter& constWriter = *writer;
        const ExportContext& constContext = context;
        auto task = [promise, frame, extras, &constWriter, &constContext](FrameRenderer& renderer) {
            promise->set_value(processFrame(renderer, constWriter, constContext, *frame, *extras));
        };
        if (pool && !(helping && pool->waiting() > 0))
            pool->submit(task);
        else
            task(ownRenderer);
        pending.push_back(std::move(item));
        while (!pending.empty() && (pending.size() >= inFlight ||
                                    pending.front().result.wait_for(std::chrono::seconds(0)) ==
                                        std::future_status::ready)) {
            settle(pending.front());
            pending.pop_front();
        }
    }
    while (!pending.empty()) {
        settle(pending.front());
        pending.pop_front();
    }
    pool.reset();

    if (!metaData.finish()) {
        reportError(metaData.lastError());
        ++outcome.failures;
    }
    if (!writer->finish(context, !stopped, error)) {
        reportError(error);
        ++outcome.failures;
    }
    if (failedFrames > 0) {
        outcome.failures += failedFrames;
        reportError(QStringLiteral("%1 of %2 frames could not be converted; no file was written "
                                   "for them")
                        .arg(failedFrames)
                        .arg(total));
    }
    return outcome;
}

} // namespace kx
