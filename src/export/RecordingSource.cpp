#include "export/RecordingSource.h"

#include "base/FileKind.h"
#include "export/DaylightPicture.h"
#include "recording/DataConverter.h"

namespace kx {

RecordingSource::RecordingSource(DataConverter& converter, QString fileName,
                                 ksDefines::serialContent serial, int frames)
    : converter(converter)
    , fileName(std::move(fileName))
    , serial(serial)
    , frames(frames)
    , movie(!isSingleFrameKind(fileKindOf(this->fileName))) {}

bool RecordingSource::decode(uint32_t frameNumber, DecodedFrame& frame) {
    if (!movie)
        return converter.decodeFrame(fileName, int(frameNumber), serial, frame);
    // The frames go straight into the export's own values: no copy of each
    // into the converter's working frame and back out.
    if (!started) {
        previous = converter.workingFrame(0, {});
        started = true;
    }
    frame = previous;
    const bool decoded = converter.readMovieFrame(int(frameNumber), serial, frame);
    std::vector<uint16_t> raw = std::move(frame.raw);
    previous = frame;
    frame.raw = std::move(raw);
    return decoded;
}

QString RecordingSource::conversionFailureText(size_t rawValues) const {
    return converter.processRawDataFailureText(fileName, rawValues);
}

std::vector<FrameSource::ExtraFile> RecordingSource::extraFiles(const ExportFrame& frame,
                                                                const ExportContext& context) {
    if (!converter.isFusionRecording())
        return {};
    const int number = int(frame.frameNumber);
    // The stored bytes are read here, on the decoding thread; decoding, turning
    // and encoding them runs on the job's workers.
    const QByteArray stored = converter.daylightJpegBytes(number);
    const int rotation = context.conversion.rotation;
    ExtraFile file;
    file.fileName = ExportNames::daylightName(context.names.base, number);
    file.encode = [stored, rotation, number](const ExportFrame& exported, QByteArray& bytes,
                                             QString& error) {
        return encodeDaylightPicture(stored, rotation, number, exported.frame, bytes, error);
    };
    return {file};
}

} // namespace kx
