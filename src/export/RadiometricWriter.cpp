#include "export/RadiometricWriter.h"

#include "conversion/FrameRenderer.h"

#include "base/PartNumber.h"
#include "base/Radiometry.h"
#include "base/Report.h"
#include "export/ExportTarget.h"

#include <QDateTime>
#include <QFile>
#include <QtEndian>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace kx {
namespace {

// The constants of the signal curve (O positive here; the record stores -342).
constexpr float kSignalR = 366545.0f;
constexpr float kSignalB = 1428.0f;
constexpr float kSignalF = 1.0f;
constexpr float kSignalO = 342.0f;

constexpr int kHeaderBytes = 64;
constexpr int kDirectoryEntryBytes = 32;
constexpr int kCameraInfoOffset = kHeaderBytes + 2 * kDirectoryEntryBytes; // 128
constexpr int kCameraInfoBytes = 1148;
constexpr int kRawDataOffset = kCameraInfoOffset + kCameraInfoBytes; // 1276
constexpr int kGeometryBytes = 32;
constexpr int kPixelsOffset = kRawDataOffset + kGeometryBytes; // 1308

// The block lives in one QByteArray, whose size is an int.
constexpr size_t kMaxPixels = (size_t(std::numeric_limits<int>::max()) - kPixelsOffset) / 2;

constexpr int kApp1PieceBytes = 65524;
constexpr int kApp1HeadBytes = 12;
constexpr int kMaxApp1Pieces = 256; // the piece index is one byte
constexpr int kJpegQuality = 95;

void put16(char* at, uint32_t value) {
    at[0] = char(value & 0xFFu);
    at[1] = char((value >> 8) & 0xFFu);
}

void put32(char* at, uint32_t value) {
    put16(at, value & 0xFFFFu);
    put16(at + 2, value >> 16);
}

void putFloat(char* at, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    put32(at, bits);
}

void putGeometry(char* at, uint32_t width, uint32_t height) {
    put16(at, 2); // bytes per pixel
    put16(at + 2, width);
    put16(at + 4, height);
    put16(at + 12, width - 1);
    put16(at + 16, height - 1);
}

void putDirectoryEntry(char* at, uint32_t type, uint32_t subtype, uint32_t version, uint32_t id,
                       uint32_t offset, uint32_t length) {
    put16(at, type);
    put16(at + 2, subtype);
    put32(at + 4, version);
    put32(at + 8, id);
    put32(at + 12, offset);
    put32(at + 16, length);
}

// Seconds since 1970 of the frame's date and time, read as local time; 0 when
// they do not parse. The recorder's NMEA and MAVLink texts come as
// "dd.MM.yyyy", the downlink's as "yyyy-MM-dd".
uint32_t frameSeconds(const Telemetry& telemetry) {
    QDate date = QDate::fromString(telemetry.date, QStringLiteral("dd.MM.yyyy"));
    if (!date.isValid())
        date = QDate::fromString(telemetry.date, QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(telemetry.time, QStringLiteral("hh:mm:ss"));
    const QDateTime moment(date, time, Qt::LocalTime);
    if (!date.isValid() || !time.isValid() || !moment.isValid())
        return 0;
    return uint32_t(moment.toMSecsSinceEpoch() / 1000);
}

void putCameraInfo(char* at, uint32_t width, uint32_t height, uint32_t smallest, uint32_t largest,
                   uint32_t seconds) {
    putGeometry(at, width, height);
    putFloat(at + 32, 1.0f);    // emissivity
    putFloat(at + 36, 2.0f);    // object distance, m
    putFloat(at + 40, 295.15f); // reflected apparent temperature, K
    putFloat(at + 44, 295.15f); // atmospheric temperature, K
    putFloat(at + 48, 295.15f); // IR window temperature, K
    putFloat(at + 52, 1.0f);    // IR window transmission
    putFloat(at + 56, 1.0f);
    putFloat(at + 60, 0.5f); // relative humidity
    putFloat(at + 88, kSignalR);
    putFloat(at + 92, kSignalB);
    putFloat(at + 96, kSignalF);
    putFloat(at + 112, 0.006569f); // atmospheric transmission alpha 1
    putFloat(at + 116, 0.01262f);  // alpha 2
    putFloat(at + 120, -0.00228f); // beta 1
    putFloat(at + 124, -0.00667f); // beta 2
    putFloat(at + 128, 1.9f);      // atmospheric transmission X
    putFloat(at + 144, 393.1f);    // camera range maximum, K
    putFloat(at + 148, 233.1f);    // camera range minimum, K
    for (int offset = 152; offset < 176; offset += 8) {
        putFloat(at + offset, 100000.0f); // clip, warning, saturation: maximum
        putFloat(at + offset + 4, 0.000001f);
    }
    put32(at + 776, uint32_t(int32_t(-kSignalO)));
    putFloat(at + 780, 1.0f); // Planck R2
    put16(at + 784, 0);       // raw value range
    put16(at + 786, 65535);
    put32(at + 824, (largest + smallest) / 2);
    put32(at + 828, largest + 1 - smallest);
    put32(at + 900, seconds);
    put32(at + 904, 0); // milliseconds: the time has whole seconds
    put16(at + 1124, 8);
    at[1132] = 'M';
    at[1133] = 1;
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

uint16_t signalOfCount(uint16_t count, float kelvinPerCount);

} // namespace

float fffKelvinPerCount(int radiometryOption) {
    return radiometryOption == radiometry::LowGain ? radiometry::kLowGainKelvinPerCount
                                                   : radiometry::kHighGainKelvinPerCount;
}

uint16_t tauToSignal(float celsius, float R, float B, float F, float O) {
    const float quotient = B / (celsius + float(radiometry::kKelvinOffset));
    const double signal = std::trunc(double(O) + double(R) / (std::exp(double(quotient)) - F));
    if (!(signal < 65535.0)) // NaN included
        return 65535;
    if (signal < 0.0)
        return 0;
    return uint16_t(signal);
}

namespace {
uint16_t signalOfCount(uint16_t count, float kelvinPerCount) {
    const float kelvin = float(count) * kelvinPerCount;
    const float celsius = float(double(kelvin) - radiometry::kKelvinOffset);
    return tauToSignal(celsius, kSignalR, kSignalB, kSignalF, kSignalO);
}
} // namespace

QString fffRefusal(const DecodedFrame& frame) {
    if (!frame.isValid())
        return QStringLiteral("The frame holds no pixels");
    if (frame.width > 65535 || frame.height > 65535 || frame.raw.size() > kMaxPixels)
        return QStringLiteral("The frame of %1 x %2 pixels is too large for a radiometric file")
            .arg(frame.width)
            .arg(frame.height);
    if (!frame.partNumber.isEmpty() && !partnumber::isTau2(frame.partNumber))
        return QStringLiteral("The camera core %1 delivers no temperatures").arg(frame.partNumber);
    return QString();
}

namespace {

// The signal of every count from lowest to highest, worked out when a count
// is first met (-1 before) and kept per thread from frame to frame while the
// step stays the same: the exponentials would otherwise cost more than the
// rest of the block.
const int32_t* signalTable(float kelvinPerCount, uint16_t lowest, uint16_t highest) {
    thread_local float tableStep = -1.0f;
    thread_local std::vector<int32_t> table;
    if (tableStep != kelvinPerCount || table.empty()) {
        table.assign(65536, -1);
        tableStep = kelvinPerCount;
    }
    for (uint32_t count = lowest; count <= highest; ++count) {
        if (table[count] < 0)
            table[count] = signalOfCount(uint16_t(count), kelvinPerCount);
    }
    return table.data();
}

// Smallest and largest count of a frame (at least one value).
void countRange(const std::vector<uint16_t>& raw, uint16_t& lowest, uint16_t& highest) {
    const uint16_t* p = raw.data();
    const uint16_t* const end = p + raw.size();
#if defined(__SSE2__)
    // SSE2 compares signed 16-bit lanes only: flipping the top bit maps the
    // unsigned order onto the signed one.
    if (end - p >= 8) {
        const __m128i flip = _mm_set1_epi16(short(0x8000));
        __m128i low = _mm_set1_epi16(0x7FFF);
        __m128i high = _mm_set1_epi16(short(0x8000));
        for (; end - p >= 8; p += 8) {
            const __m128i v =
                _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), flip);
            low = _mm_min_epi16(low, v);
            high = _mm_max_epi16(high, v);
        }
        alignas(16) uint16_t lows[8];
        alignas(16) uint16_t highs[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lows), _mm_xor_si128(low, flip));
        _mm_store_si128(reinterpret_cast<__m128i*>(highs), _mm_xor_si128(high, flip));
        for (int i = 0; i < 8; ++i) {
            lowest = std::min(lowest, lows[i]);
            highest = std::max(highest, highs[i]);
        }
    }
#endif
    for (; p < end; ++p) {
        lowest = std::min(lowest, *p);
        highest = std::max(highest, *p);
    }
}

struct FffShape {
    uint32_t width = 0; // turned
    uint32_t height = 0;
    size_t bytes = 0;
};

bool checkFff(const DecodedFrame& frame, int rotationDegrees, FffShape& shape, QString* error) {
    const QString refusal = fffRefusal(frame);
    if (!refusal.isEmpty())
        return fail(error, refusal);
    if (rotationDegrees != 0 && rotationDegrees != 90 && rotationDegrees != 180 &&
        rotationDegrees != -90)
        return fail(error,
                    QStringLiteral("Rotation by %1 degrees is not supported").arg(rotationDegrees));
    const bool sideways = rotationDegrees == 90 || rotationDegrees == -90;
    shape.width = sideways ? frame.height : frame.width;
    shape.height = sideways ? frame.width : frame.height;
    shape.bytes = kPixelsOffset + 2 * frame.raw.size();
    return true;
}

// Hands the block to put(offset, bytes, length) in order: the header and
// records up to the pixels, then one row of signals at a time. A row goes
// straight to place(offset, length) instead when that gives room for it
// (non-null), saving a copy of every signal.
template <typename Put, typename Place>
void emitFff(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees,
             const FffShape& shape, Put&& put, Place&& place) {
    uint16_t lowest = 65535;
    uint16_t highest = 0;
    countRange(frame.raw, lowest, highest);
    const int32_t* const table = signalTable(kelvinPerCount, lowest, highest);

    // Signals grow with the count, so the extremes are those of the counts.
    std::array<char, kPixelsOffset> head{};
    char* const out = head.data();
    std::memcpy(out, "FFF", 4);
    std::memcpy(out + 4, "ATAU_RBFO", 9);
    put32(out + 20, 100);          // format version
    put32(out + 24, kHeaderBytes); // directory offset
    put32(out + 28, 2);            // directory entries
    put32(out + 32, 3);            // next free record id
    put16(out + 36, 1);            // swap pattern
    putDirectoryEntry(out + kHeaderBytes, 32, 0, 102, 1, kCameraInfoOffset, kCameraInfoBytes);
    putDirectoryEntry(out + kHeaderBytes + kDirectoryEntryBytes, 1, 2, 100, 2, kRawDataOffset,
                      uint32_t(shape.bytes - kRawDataOffset));
    putCameraInfo(out + kCameraInfoOffset, shape.width, shape.height, uint32_t(table[lowest]),
                  uint32_t(table[highest]), frameSeconds(frame.telemetry));
    putGeometry(out + kRawDataOffset, shape.width, shape.height);
    put(0, out, head.size());

    // Output pixel (x, y) reads the frame at first(y) + x * step.
    const ptrdiff_t W = ptrdiff_t(frame.width);
    const ptrdiff_t H = ptrdiff_t(frame.height);
    auto first = [&](ptrdiff_t y) -> ptrdiff_t {
        switch (rotationDegrees) {
        case 90: // clockwise: the bottom-left pixel comes to the top left
            return (H - 1) * W + y;
        case -90:
            return W - 1 - y;
        case 180:
            return (H - 1 - y) * W + W - 1;
        default:
            return y * W;
        }
    };
    const ptrdiff_t step = rotationDegrees == 90    ? -W
                           : rotationDegrees == -90 ? W
                           : rotationDegrees == 180 ? -1
                                                    : 1;
    std::vector<char> row(2 * size_t(shape.width));
    const size_t rowBytes = row.size();
    size_t offset = kPixelsOffset;
    for (uint32_t y = 0; y < shape.height; ++y, offset += rowBytes) {
        char* const direct = place(offset, rowBytes);
        char* target = direct ? direct : row.data();
        const uint16_t* source = frame.raw.data() + first(ptrdiff_t(y));
        for (uint32_t x = 0; x < shape.width; ++x, source += step, target += 2)
            qToLittleEndian(uint16_t(table[*source]), target);
        if (!direct)
            put(offset, row.data(), rowBytes);
    }
}

int app1Pieces(size_t fffBytes) {
    return int((fffBytes + kApp1PieceBytes - 1) / kApp1PieceBytes);
}

size_t app1Bytes(size_t fffBytes) {
    return fffBytes + size_t(app1Pieces(fffBytes)) * kApp1HeadBytes;
}

// The 12-byte heads of the segments of a block of fffBytes, at their places
// in out.
void putApp1Heads(size_t fffBytes, char* out) {
    const int pieces = app1Pieces(fffBytes);
    for (int piece = 0; piece < pieces; ++piece) {
        const size_t length =
            std::min(size_t(kApp1PieceBytes), fffBytes - size_t(piece) * kApp1PieceBytes);
        const size_t segmentLength = length + 10;
        out[0] = char(0xFF);
        out[1] = char(0xE1);
        out[2] = char(segmentLength >> 8);
        out[3] = char(segmentLength & 0xFF);
        std::memcpy(out + 4, "FLIR", 4);
        out[8] = 0;
        out[9] = 1;
        out[10] = char(piece);
        out[11] = char(pieces - 1);
        out += kApp1HeadBytes + length;
    }
}

// Copies block bytes from offset on to their places among the segments at out.
void putInSegments(char* out, size_t offset, const char* bytes, size_t length) {
    while (length > 0) {
        const size_t piece = offset / kApp1PieceBytes;
        const size_t room = (piece + 1) * kApp1PieceBytes - offset;
        const size_t count = std::min(room, length);
        std::memcpy(out + offset + (piece + 1) * kApp1HeadBytes, bytes, count);
        offset += count;
        bytes += count;
        length -= count;
    }
}

// Where the segments go: after the start marker and the JFIF header; -1 when
// the bytes are not a JPEG or the header runs past their end.
int app1InsertionPoint(const QByteArray& jpeg) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const int size = jpeg.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return -1;
    if (bytes[2] != 0xFF || bytes[3] != 0xE0)
        return 2;
    if (size < 6)
        return -1;
    const int app0End = 4 + (bytes[4] << 8 | bytes[5]);
    return app0End <= size ? app0End : -1;
}

// A buffer of size bytes for this thread's next radiometric JPEG: the last
// one again when nobody holds it any more. A fresh 650 kB block every frame
// costs more in page faults than filling it does.
// Fill it through data() before handing out a copy: data() on a shared
// buffer would copy it.
QByteArray& recycledBuffer(int size) {
    thread_local QByteArray spare;
    if (!spare.isDetached())
        spare = QByteArray();
    spare.resize(size);
    return spare;
}

} // namespace

QByteArray fffBlock(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees,
                    QString* error) {
    FffShape shape;
    if (!checkFff(frame, rotationDegrees, shape, error))
        return QByteArray();
    QByteArray block(int(shape.bytes), Qt::Uninitialized);
    char* const out = block.data();
    emitFff(
        frame, kelvinPerCount, rotationDegrees, shape,
        [&](size_t offset, const char* bytes, size_t length) {
            std::memcpy(out + offset, bytes, length);
        },
        [&](size_t offset, size_t) { return out + offset; });
    return block;
}

QByteArray flirApp1Segments(const QByteArray& fff) {
    if (app1Pieces(size_t(fff.size())) > kMaxApp1Pieces)
        return QByteArray();
    std::vector<char> segments(app1Bytes(size_t(fff.size())));
    putApp1Heads(size_t(fff.size()), segments.data());
    putInSegments(segments.data(), 0, fff.constData(), size_t(fff.size()));
    return QByteArray(segments.data(), int(segments.size()));
}

QByteArray insertApp1Segments(const QByteArray& jpeg, const QByteArray& segments) {
    const int insertAt = app1InsertionPoint(jpeg);
    if (insertAt < 0)
        return QByteArray();
    QByteArray out;
    out.reserve(jpeg.size() + segments.size());
    out.append(jpeg.constData(), insertAt);
    out.append(segments);
    out.append(jpeg.constData() + insertAt, jpeg.size() - insertAt);
    return out;
}

QImage turnPicture(const QImage& picture, int rotationDegrees) {
    return FrameRenderer::turned(picture, rotationDegrees);
}

bool encodeRadiometricJpegParts(const DecodedFrame& frame, const QImage& picture,
                                float kelvinPerCount, int rotationDegrees,
                                RadiometricJpegParts& parts, QString* error) {
    FffShape shape;
    if (!checkFff(frame, rotationDegrees, shape, error))
        return false;
    if (app1Pieces(shape.bytes) > kMaxApp1Pieces) {
        return fail(error, QStringLiteral("The frame of %1 x %2 pixels is too large for a "
                                          "radiometric JPEG")
                               .arg(frame.width)
                               .arg(frame.height));
    }
    parts.jpeg = encodeJpeg(turnPicture(picture, rotationDegrees), kJpegQuality);
    if (parts.jpeg.isEmpty())
        return fail(error, QStringLiteral("Error while saving image"));
    parts.insertAt = app1InsertionPoint(parts.jpeg);
    if (parts.insertAt < 0)
        return fail(error, QStringLiteral("Error reading header"));
    // The block goes straight to its places between the segment heads.
    QByteArray& buffer = recycledBuffer(int(app1Bytes(shape.bytes)));
    char* const segments = buffer.data();
    putApp1Heads(shape.bytes, segments);
    emitFff(
        frame, kelvinPerCount, rotationDegrees, shape,
        [&](size_t offset, const char* bytes, size_t length) {
            putInSegments(segments, offset, bytes, length);
        },
        [&](size_t offset, size_t length) -> char* {
            const size_t piece = offset / kApp1PieceBytes;
            if (offset + length > (piece + 1) * kApp1PieceBytes)
                return nullptr; // the row crosses into the next segment
            return segments + offset + (piece + 1) * kApp1HeadBytes;
        });
    parts.segments = buffer;
    return true;
}

QByteArray encodeRadiometricJpeg(const DecodedFrame& frame, const QImage& picture,
                                 float kelvinPerCount, int rotationDegrees, QString* error) {
    RadiometricJpegParts parts;
    if (!encodeRadiometricJpegParts(frame, picture, kelvinPerCount, rotationDegrees, parts, error))
        return QByteArray();
    QByteArray file;
    file.reserve(parts.jpeg.size() + parts.segments.size());
    file.append(parts.jpeg.constData(), parts.insertAt)
        .append(parts.segments)
        .append(parts.jpeg.constData() + parts.insertAt, parts.jpeg.size() - parts.insertAt);
    return file;
}

bool RadiometricWriter::generateFFFData(const DecodedFrame& frame, float kelvinPerCount,
                                        int rotationDegrees) {
    clearArrays();
    QString error;
    m_fff = fffBlock(frame, kelvinPerCount, rotationDegrees, &error);
    if (m_fff.isEmpty())
        reportError(error);
    return !m_fff.isEmpty();
}

bool RadiometricWriter::generateAPP1Data() {
    m_app1 = flirApp1Segments(m_fff);
    return !m_app1.isEmpty();
}

bool RadiometricWriter::storeFFF(const QString& fileName, const DecodedFrame& frame,
                                 float kelvinPerCount, int rotationDegrees) {
    if (!generateFFFData(frame, kelvinPerCount, rotationDegrees))
        return false;
    QString refusal = readOnlyRefusal(fileName);
    QFile file(fileName);
    if (refusal.isEmpty() && !file.open(QIODevice::WriteOnly | QIODevice::Append))
        refusal = QStringLiteral("Error opening output file: ") + fileName;
    if (!refusal.isEmpty()) {
        reportError(refusal);
        return false;
    }
    const qint64 before = file.size();
    if (file.write(m_fff) != m_fff.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.resize(before); // a half block would hide every later one from readers
        reportError(QStringLiteral("Cannot write ") + fileName + QStringLiteral(": ") + reason);
        return false;
    }
    return true;
}

bool RadiometricWriter::saveRJpeg(const QString& fileName, const DecodedFrame& frame,
                                  QImage& picture, float kelvinPerCount, int rotationDegrees) {
    clearArrays();
    QString error;
    const QByteArray file =
        encodeRadiometricJpeg(frame, picture, kelvinPerCount, rotationDegrees, &error);
    if (file.isEmpty() || !writeExportFile(fileName, file, &error)) {
        reportError(error);
        return false;
    }
    picture = turnPicture(picture, rotationDegrees);
    return true;
}

void RadiometricWriter::clearArrays() {
    m_fff.clear();
    m_app1.clear();
}

} // namespace kx
