#include "export/RadiometricWriter.h"

#include "base/PartNumber.h"
#include "base/Radiometry.h"
#include "base/Report.h"
#include "export/ExportTarget.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImageWriter>
#include <QTransform>
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

constexpr int kRawTableSize = 16384; // 14-bit counts: one signal each, worked out once

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

// Index into the raw vector of output pixel k, for each turn; outWidth is the
// width of the turned geometry.
struct Turn {
    int degrees;
    uint32_t width;
    uint32_t height;
    size_t source(uint32_t x, uint32_t y) const {
        switch (degrees) {
        case 90: // clockwise: the bottom-left pixel comes to the top left
            return size_t(height - 1 - x) * width + y;
        case -90:
            return size_t(x) * width + (width - 1 - y);
        case 180:
            return size_t(height - 1 - y) * width + (width - 1 - x);
        default:
            return size_t(y) * width + x;
        }
    }
};

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

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

QByteArray fffBlock(const DecodedFrame& frame, float kelvinPerCount, int rotationDegrees,
                    QString* error) {
    const QString refusal = fffRefusal(frame);
    if (!refusal.isEmpty()) {
        fail(error, refusal);
        return QByteArray();
    }
    if (rotationDegrees != 0 && rotationDegrees != 90 && rotationDegrees != 180 &&
        rotationDegrees != -90) {
        fail(error, QStringLiteral("Rotation by %1 degrees is not supported").arg(rotationDegrees));
        return QByteArray();
    }
    const bool sideways = rotationDegrees == 90 || rotationDegrees == -90;
    const uint32_t outWidth = sideways ? frame.height : frame.width;
    const uint32_t outHeight = sideways ? frame.width : frame.height;
    const size_t pixels = frame.raw.size();

    std::vector<char> block(kPixelsOffset + 2 * pixels, '\0');
    char* const out = block.data();

    // The signal of a 14-bit count depends on nothing else, so each count met
    // is converted once; a frame rarely holds more than a few thousand.
    std::vector<int32_t> table(kRawTableSize, -1);
    auto signalOf = [&](uint16_t raw) -> uint16_t {
        const auto convert = [&] {
            const float kelvin = float(raw) * kelvinPerCount;
            const float celsius = float(double(kelvin) - radiometry::kKelvinOffset);
            return tauToSignal(celsius, kSignalR, kSignalB, kSignalF, kSignalO);
        };
        if (raw >= kRawTableSize)
            return convert();
        int32_t& slot = table[raw];
        if (slot < 0)
            slot = convert();
        return uint16_t(slot);
    };

    uint32_t smallest = 65535;
    uint32_t largest = 0;
    const Turn turn{rotationDegrees, frame.width, frame.height};
    char* pixel = out + kPixelsOffset;
    for (uint32_t y = 0; y < outHeight; ++y) {
        for (uint32_t x = 0; x < outWidth; ++x) {
            const uint16_t signal = signalOf(frame.raw[turn.source(x, y)]);
            smallest = signal < smallest ? signal : smallest;
            largest = signal > largest ? signal : largest;
            put16(pixel, signal);
            pixel += 2;
        }
    }

    std::memcpy(out, "FFF", 4);
    std::memcpy(out + 4, "ATAU_RBFO", 9);
    put32(out + 20, 100);          // format version
    put32(out + 24, kHeaderBytes); // directory offset
    put32(out + 28, 2);            // directory entries
    put32(out + 32, 3);            // next free record id
    put16(out + 36, 1);            // swap pattern
    putDirectoryEntry(out + kHeaderBytes, 32, 0, 102, 1, kCameraInfoOffset, kCameraInfoBytes);
    putDirectoryEntry(out + kHeaderBytes + kDirectoryEntryBytes, 1, 2, 100, 2, kRawDataOffset,
                      uint32_t(2 * pixels + kGeometryBytes));
    putCameraInfo(out + kCameraInfoOffset, outWidth, outHeight, smallest, largest,
                  frameSeconds(frame.telemetry));
    putGeometry(out + kRawDataOffset, outWidth, outHeight);
    return QByteArray(block.data(), int(block.size()));
}

QByteArray flirApp1Segments(const QByteArray& fff) {
    const int pieces = (fff.size() + kApp1PieceBytes - 1) / kApp1PieceBytes;
    if (pieces > kMaxApp1Pieces)
        return QByteArray();
    QByteArray segments(fff.size() + pieces * kApp1HeadBytes, '\0');
    char* at = segments.data();
    for (int piece = 0; piece < pieces; ++piece) {
        const int from = piece * kApp1PieceBytes;
        const int length = qMin(kApp1PieceBytes, fff.size() - from);
        const int segmentLength = length + 10;
        at[0] = char(0xFF);
        at[1] = char(0xE1);
        at[2] = char(segmentLength >> 8);
        at[3] = char(segmentLength & 0xFF);
        std::memcpy(at + 4, "FLIR", 4);
        at[8] = 0;
        at[9] = 1;
        at[10] = char(piece);
        at[11] = char(pieces - 1);
        std::memcpy(at + kApp1HeadBytes, fff.constData() + from, size_t(length));
        at += kApp1HeadBytes + length;
    }
    return segments;
}

QByteArray insertApp1Segments(const QByteArray& jpeg, const QByteArray& segments) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const int size = jpeg.size();
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return QByteArray();
    int insertAt = 2;
    if (bytes[2] == 0xFF && bytes[3] == 0xE0) {
        if (size < 6)
            return QByteArray();
        const int app0End = 4 + (bytes[4] << 8 | bytes[5]);
        if (app0End > size)
            return QByteArray();
        insertAt = app0End;
    }
    QByteArray out;
    out.reserve(size + segments.size());
    out.append(jpeg.constData(), insertAt);
    out.append(segments);
    out.append(jpeg.constData() + insertAt, size - insertAt);
    return out;
}

QImage turnPicture(const QImage& picture, int rotationDegrees) {
    if (rotationDegrees == 0)
        return picture;
    return picture.transformed(QTransform().rotate(rotationDegrees), Qt::FastTransformation);
}

QByteArray encodeRadiometricJpeg(const DecodedFrame& frame, const QImage& picture,
                                 float kelvinPerCount, int rotationDegrees, QString* error) {
    const QByteArray fff = fffBlock(frame, kelvinPerCount, rotationDegrees, error);
    if (fff.isEmpty())
        return QByteArray();
    const QByteArray segments = flirApp1Segments(fff);
    if (segments.isEmpty()) {
        fail(error, QStringLiteral("The frame of %1 x %2 pixels is too large for a radiometric "
                                   "JPEG")
                        .arg(frame.width)
                        .arg(frame.height));
        return QByteArray();
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(kJpegQuality);
    if (picture.isNull() || !writer.write(turnPicture(picture, rotationDegrees))) {
        fail(error, QStringLiteral("Error while saving image"));
        return QByteArray();
    }
    const QByteArray file = insertApp1Segments(jpeg, segments);
    if (file.isEmpty())
        fail(error, QStringLiteral("Error reading header"));
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
