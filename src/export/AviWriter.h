#pragma once

#include "export/ExportTarget.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// RIFF AVI with one video stream of compressed frames (the export writes
// Motion JPEG, codec "MJPG") and an optional PCM audio stream.
//
// Layout: "RIFF" size "AVI "; at 12 the header list "LIST" size "hdrl" with
// "avih" (56 bytes: microseconds per frame, maximum bytes per second, padding
// granularity, flags 16 = has index, total frames, initial frames, streams,
// suggested buffer, width, height, four reserved words) and per stream a
// "strl" list of "strh" (type, handler, ten words, a zero frame rectangle)
// and "strf" (video: the 40-byte bitmap header; audio: the 18-byte wave
// format); a "JUNK" chunk of "JUNK IN THE CHUNK! " filler up to 4096, where
// "LIST" size "movi" holds the chunks ("00dc" video, "01wb" audio; sizes
// include the padding to 4 bytes); "idx1" closes the file, one 16-byte entry
// per chunk with offsets counted from the "movi" text. All little endian.
//
// The file is written beside its final name and renamed into place by
// closeFile, once every size and count is patched; a run that fails or stops
// half-way leaves no movie that claims frames it does not hold, and an
// earlier file of that name stays as it was.
namespace kx {

void putInteger(QIODevice& file, uint32_t value);
void putShort(QIODevice& file, uint16_t value);
// The text without its terminating NUL, at most 255 characters.
void putChars(QIODevice& file, const char* text);
void putCharsBinary(QIODevice& file, const char* bytes, qint64 count);

struct AviAudioParameters {
    uint32_t channels = 1;
    uint32_t bitsPerSample = 16;
    uint32_t samplesPerSecond = 44100;
};

// Width and height from the start-of-frame segment of a JPEG; false when
// there is none before the scan.
bool jpegFrameSize(const char* data, qint64 length, uint32_t& width, uint32_t& height);

// Used in frame order on one thread: kavi_open, addFrame..., closeFile.
// Every operation returns false after a failure, with errorString set; a
// writer destroyed before closeFile discards its file.
class AviWriter {
public:
    static constexpr int kDefaultFramesPerSecond = 9;
    static constexpr const char* kMotionJpeg = "MJPG";

    AviWriter();
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // width and height are provisional: the first frame added that is a JPEG
    // sets them (a turned picture or one with a legend is wider or taller).
    bool kavi_open(const QString& fileName, uint32_t width, uint32_t height, const char* codec,
                   int framesPerSecond, const AviAudioParameters* audio = nullptr);
    bool addFrame(const char* data, qint64 length);
    bool addFrame(const QByteArray& data) { return addFrame(data.constData(), data.size()); }
    bool addAudio(const char* data, qint64 length);
    // Writes the index and the final header and puts the file in place.
    bool closeFile();
    // Drops the file being written (a cancelled run).
    void discard();

    void setFramerate(double framesPerSecond);
    void setCodec(const char* codec);
    void setSize(uint32_t width, uint32_t height);

    bool isOpen() const { return m_part.isOpen(); }
    uint32_t frameCount() const { return m_videoFrames; }
    uint32_t width() const { return m_width; }
    uint32_t height() const { return m_height; }
    const QString& errorString() const { return m_part.errorString(); }

private:
    QByteArray headerList() const;
    bool addChunk(const char* id, const char* data, qint64 length, bool audio);

    PartFile m_part;

    uint32_t m_microsecondsPerFrame = 0;
    uint32_t m_rate = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    char m_codec[5] = {};
    bool m_sizeFromFrame = true;
    bool m_withAudio = false;
    AviAudioParameters m_audio;
    uint32_t m_audioLength = 0;

    uint32_t m_videoFrames = 0;
    std::vector<uint32_t> m_index; // chunk sizes; audio chunks carry the top bit
};

} // namespace kx
