#include "export/RecordingSource.h"

#include "recording/DataConverter.h"

namespace kx {

RecordingSource::RecordingSource(DataConverter& converter, QString fileName,
                                 ksDefines::serialContent serial, int frames)
    : converter(converter)
    , fileName(std::move(fileName))
    , serial(serial)
    , frames(frames) {}

bool RecordingSource::decode(uint32_t frameNumber, DecodedFrame& frame) {
    return converter.decodeFrame(fileName, int(frameNumber), serial, frame);
}

QString RecordingSource::conversionFailureText(size_t rawValues) const {
    return converter.processRawDataFailureText(fileName, rawValues);
}

} // namespace kx
