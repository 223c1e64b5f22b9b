#include "export/AviWriter.h"

#include <QDir>
#include <cstring>

namespace kx {
namespace {

constexpr qint64 kHeaderListOffset = 12;
constexpr qint64 kMovieListOffset = 4096;
constexpr qint64 kMovieSizeOffset = kMovieListOffset + 4;
constexpr uint32_t kHasIndex = 16;
constexpr uint32_t kKeyFrame = 16;
constexpr uint32_t kAudioMark = 0x80000000u;
constexpr int kIndexGrowth = 1024;
constexpr char kFiller[] = "JUNK IN THE CHUNK! ";

void append32(QByteArray& out, uint32_t value) {
    const char bytes[4] = {char(value & 0xFFu), char((value >> 8) & 0xFFu),
                           char((value >> 16) & 0xFFu), char(value >> 24)};
    out.append(bytes, 4);
}

void append16(QByteArray& out, uint32_t value) {
    const char bytes[2] = {char(value & 0xFFu), char((value >> 8) & 0xFFu)};
    out.append(bytes, 2);
}

void patch32(QByteArray& out, int at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xFFu);
}

// "LIST" size name, then what fill appends; the size is patched afterwards.
template <typename Fill>
void appendList(QByteArray& out, const char* name, Fill&& fill) {
    out.append("LIST", 4);
    const int sizeAt = out.size();
    append32(out, 0);
    out.append(name, 4);
    fill();
    patch32(out, sizeAt, uint32_t(out.size() - sizeAt - 4));
}

uint32_t fourcc(const char* code) {
    return uint32_t(uchar(code[0])) | uint32_t(uchar(code[1])) << 8 |
           uint32_t(uchar(code[2])) << 16 | uint32_t(uchar(code[3])) << 24;
}

} // namespace

void putInteger(QIODevice& file, uint32_t value) {
    QByteArray bytes;
    append32(bytes, value);
    file.write(bytes);
}

void putShort(QIODevice& file, uint16_t value) {
    QByteArray bytes;
    append16(bytes, value);
    file.write(bytes);
}

void putChars(QIODevice& file, const char* text) {
    file.write(text, qint64(strnlen(text, 255)));
}

void putCharsBinary(QIODevice& file, const char* bytes, qint64 count) {
    file.write(bytes, count);
}

bool jpegFrameSize(const char* data, qint64 length, uint32_t& width, uint32_t& height) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (length < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    qint64 at = 2;
    while (at + 4 <= length) {
        if (bytes[at] != 0xFF)
            return false;
        const unsigned char marker = bytes[at + 1];
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        const qint64 segment = bytes[at + 2] << 8 | bytes[at + 3];
        // Start of frame: C0 to CF except DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (segment < 7 || at + 9 > length)
                return false;
            height = uint32_t(bytes[at + 5] << 8 | bytes[at + 6]);
            width = uint32_t(bytes[at + 7] << 8 | bytes[at + 8]);
            return true;
        }
        if (marker == 0xDA || segment < 2)
            return false;
        at += 2 + segment;
    }
    return false;
}

AviWriter::AviWriter() = default;

AviWriter::~AviWriter() {
    discard();
}

bool AviWriter::kavi_open(const QString& fileName, uint32_t width, uint32_t height,
                          const char* codec, int framesPerSecond, const AviAudioParameters* audio) {
    m_videoFrames = 0;
    m_audioLength = 0;
    m_index.clear();
    m_index.reserve(kIndexGrowth);
    m_sizeFromFrame = true;
    m_withAudio = audio != nullptr;
    if (audio)
        m_audio = *audio;
    const int rate = framesPerSecond < 1 ? 1 : framesPerSecond;
    m_rate = uint32_t(rate);
    m_microsecondsPerFrame = uint32_t(1000000 / rate);
    m_width = width;
    m_height = height;
    setCodec(codec);

    if (!m_part.open(fileName))
        return false;
    QByteArray head("RIFF\0\0\0\0AVI ", 12);
    head.append(headerList());
    head.append("LIST\0\0\0\0movi", 12);
    return m_part.write(head);
}

QByteArray AviWriter::headerList() const {
    const uint32_t frameBytes = m_width * m_height * 3;
    const uint32_t blockAlign = m_audio.bitsPerSample / 8 * m_audio.channels;
    const uint32_t audioBytesPerSecond = blockAlign * m_audio.samplesPerSecond;
    QByteArray out;
    appendList(out, "hdrl", [&] {
        out.append("avih", 4);
        append32(out, 56);
        for (uint32_t word : {m_microsecondsPerFrame, frameBytes, 0u, kHasIndex, m_videoFrames, 0u,
                              m_withAudio ? 2u : 1u, frameBytes, m_width, m_height, 0u, 0u, 0u, 0u})
            append32(out, word);
        appendList(out, "strl", [&] {
            out.append("strh", 4);
            append32(out, 56);
            out.append("vids", 4);
            out.append(m_codec, 4);
            for (uint32_t word :
                 {0u, 0u, 0u, 1u, m_rate, 0u, m_videoFrames, frameBytes, 0u, 0u, 0u, 0u})
                append32(out, word);
            out.append("strf", 4);
            append32(out, 40);
            for (uint32_t word : {40u, m_width, m_height})
                append32(out, word);
            append16(out, 1);  // planes
            append16(out, 24); // bits per pixel
            for (uint32_t word : {fourcc(m_codec), frameBytes, 0u, 0u, 0u, 0u})
                append32(out, word);
        });
        if (!m_withAudio)
            return;
        appendList(out, "strl", [&] {
            out.append("strh", 4);
            append32(out, 56);
            out.append("auds\1\0\0\0", 8);
            for (uint32_t word : {0u, 0u, 0u, 1u, m_audio.samplesPerSecond, 0u, m_audioLength,
                                  audioBytesPerSecond, 0xFFFFFFFFu, blockAlign, 0u, 0u})
                append32(out, word);
            out.append("strf", 4);
            append32(out, 18);
            append16(out, 1); // PCM
            append16(out, m_audio.channels);
            append32(out, m_audio.samplesPerSecond);
            append32(out, audioBytesPerSecond);
            append16(out, blockAlign);
            append16(out, m_audio.bitsPerSample);
            append16(out, 0);
        });
    });
    // Filler up to the movie list, whose place is fixed; the two stream
    // headers end far before it.
    const int junkEnd = int(kMovieListOffset - kHeaderListOffset);
    out.append("JUNK", 4);
    const int fill = junkEnd - out.size() - 4;
    append32(out, uint32_t(fill));
    for (int i = 0; i < fill; ++i)
        out.append(kFiller[i % (sizeof kFiller - 1)]);
    return out;
}

bool AviWriter::addChunk(const char* id, const char* data, qint64 length, bool audio) {
    if (!m_part.isOpen() || m_part.failed())
        return m_part.write(data, 0); // refused, with the reason kept
    const qint64 padding = (4 - length % 4) % 4;
    const uint32_t size = uint32_t(length + padding);
    // Every size and offset of the file is 32 bits: a chunk that would take
    // the file with its index past them would make it claim wrong sizes.
    const qint64 fileEnd =
        m_part.file().pos() + 8 + length + padding + 16 * (qint64(m_index.size()) + 1) + 8;
    if (length < 0 || fileEnd > qint64(UINT32_MAX))
        return m_part.fail(QStringLiteral("an AVI file holds at most 4 GB"));
    if (m_index.size() == m_index.capacity())
        m_index.reserve(m_index.size() + kIndexGrowth);
    QByteArray head(id, 4);
    append32(head, size);
    static const char zeros[4] = {};
    if (!m_part.write(head) || !m_part.write(data, length) || !m_part.write(zeros, padding))
        return false;
    m_index.push_back(audio ? size | kAudioMark : size);
    return true;
}

bool AviWriter::addFrame(const char* data, qint64 length) {
    if (m_sizeFromFrame && m_part.isOpen() && !m_part.failed()) {
        uint32_t width = 0;
        uint32_t height = 0;
        if (jpegFrameSize(data, length, width, height))
            setSize(width, height);
        m_sizeFromFrame = false;
    }
    if (!addChunk("00dc", data, length, false))
        return false;
    ++m_videoFrames;
    return true;
}

bool AviWriter::addAudio(const char* data, qint64 length) {
    if (!addChunk("01wb", data, length, true))
        return false;
    m_audioLength += m_index.back() & ~kAudioMark;
    return true;
}

bool AviWriter::closeFile() {
    if (!m_part.isOpen() || m_part.failed())
        return m_part.commit(); // reports, and removes what was written
    const qint64 movieEnd = m_part.file().pos();
    QByteArray index("idx1", 4);
    append32(index, uint32_t(16 * m_index.size()));
    uint32_t offset = 4;
    for (uint32_t entry : m_index) {
        const uint32_t size = entry & ~kAudioMark;
        index.append((entry & kAudioMark) ? "01wb" : "00dc", 4);
        append32(index, kKeyFrame);
        append32(index, offset);
        append32(index, size);
        offset += size + 8;
    }
    QByteArray movieSize;
    append32(movieSize, uint32_t(movieEnd - kMovieSizeOffset - 4));
    QByteArray riffSize;
    append32(riffSize, uint32_t(movieEnd + index.size() - 8));
    const bool patched = m_part.write(index) && m_part.seek(kMovieSizeOffset) &&
                         m_part.write(movieSize) && m_part.seek(kHeaderListOffset) &&
                         m_part.write(headerList()) && m_part.seek(4) && m_part.write(riffSize);
    const bool committed = m_part.commit(); // after a failure this removes the file
    return patched && committed;
}

void AviWriter::discard() {
    m_part.discard();
}

void AviWriter::setFramerate(double framesPerSecond) {
    if (!(framesPerSecond > 0.0))
        return;
    m_rate = uint32_t(framesPerSecond);
    m_microsecondsPerFrame = uint32_t(1000000.0 / framesPerSecond);
}

void AviWriter::setCodec(const char* codec) {
    std::memset(m_codec, 0, sizeof m_codec);
    if (codec)
        std::memcpy(m_codec, codec, strnlen(codec, 4));
}

void AviWriter::setSize(uint32_t width, uint32_t height) {
    m_width = width;
    m_height = height;
    m_sizeFromFrame = false;
}

} // namespace kx
