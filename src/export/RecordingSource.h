#pragma once

#include "base/ksDefines.h"
#include "export/ExportJob.h"

class DataConverter;

namespace kx {

// The frames of the recording open in a converter, for an export job.
class RecordingSource : public FrameSource {
public:
    // frames: what the range may cover (1 for a single-frame file that opened).
    RecordingSource(DataConverter& converter, QString fileName, ksDefines::serialContent serial,
                    int frames);
    int frameCount() const override { return frames; }
    bool decode(uint32_t frameNumber, DecodedFrame& frame) override;
    QString conversionFailureText(size_t rawValues) const override;
    // The "_DL.jpg" daylight picture of every frame of a fusion recording.
    std::vector<ExtraFile> extraFiles(const ExportFrame& frame,
                                      const ExportContext& context) override;

private:
    DataConverter& converter;
    QString fileName;
    ksDefines::serialContent serial;
    int frames;
    bool movie;
    // The values of the movie frame read last, without its raw values; the
    // first frame starts from the converter's working frame.
    DecodedFrame previous;
    bool started = false;
};

} // namespace kx
