#include "export/TiffExporter.h"

#include "base/Report.h"
#include "export/AtomicFile.h"
#include "export/GeoTagging.h"

#include <QFile>
#include <QtEndian>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace kx {
namespace {

const char* const kMake = "Velmora Technology";
const char* const kModel = "Kestrum";

constexpr uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5;
constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kIfd0Entries = 15;
constexpr uint32_t kExifEntries = 5;
constexpr uint32_t kEntrySize = 12;
constexpr uint32_t kRationalSize = 8;
constexpr uint32_t kMaxSide = 65535;
constexpr double kMicro = 1000000.0;
constexpr size_t kMaxTailSize = 1024;

uint32_t ifdSize(uint32_t entries) {
    return 2 + entries * kEntrySize + 4;
}

// A text as the tag stores it: its Latin-1 bytes (through the hex form, so
// characters above 255 become 0), the NUL the tag counts, and a pad byte to
// keep the next value on an even offset.
QByteArray tagText(const char* text, uint32_t& count) {
    QByteArray bytes =
        QByteArray::fromHex(TiffExporter::stringToHex(QLatin1String(text)).toLatin1());
    bytes.append('\0');
    count = uint32_t(bytes.size());
    if (bytes.size() % 2)
        bytes.append('\0');
    return bytes;
}

class Writer {
public:
    explicit Writer(unsigned char* data)
        : m_data(data) {}
    void u16(uint16_t v) {
        qToLittleEndian(v, m_data + m_at);
        m_at += 2;
    }
    void u32(uint32_t v) {
        qToLittleEndian(v, m_data + m_at);
        m_at += 4;
    }
    // A value that fits the field is stored in its first bytes, zeros after.
    void entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value);
    }
    void rational(uint32_t numerator, uint32_t denominator) {
        u32(numerator);
        u32(denominator);
    }
    void bytes(const QByteArray& b) {
        std::memcpy(m_data + m_at, b.constData(), size_t(b.size()));
        m_at += uint32_t(b.size());
    }

private:
    unsigned char* m_data;
    uint32_t m_at = 0;
};

// Pixels per centimetre as a rational: width x 10 / sensor width in mm, kept
// exact for sensor sizes given to the micrometre.
void focalPlaneResolution(Writer& w, uint32_t pixels, float sensorMM) {
    const double micrometres = double(sensorMM) * 1000.0;
    if (!(micrometres >= 1.0) || micrometres > 1e9) {
        w.rational(0, 1); // unknown sensor
        return;
    }
    w.rational(pixels * 10000u, uint32_t(std::lround(micrometres)));
}

bool failed(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

} // namespace

namespace {

// The file as three pieces: the 8-byte header, the pixels and everything
// after them. On a little-endian host the pixels piece points into the frame
// itself, so a write needs no copy of the pixels.
struct TiffPieces {
    QByteArray header, pixels, tail;
};

bool encodePieces(const DecodedFrame& frame, TiffPieces& pieces, QString* error) {
    const uint32_t width = frame.width, height = frame.height;
    if (width == 0 || height == 0) {
        return failed(error, QStringLiteral("The frame has no pixels"));
    }
    if (width > kMaxSide || height > kMaxSide) {
        return failed(error,
                      QStringLiteral("A TIFF frame cannot be wider or higher than 65535 pixels"));
    }
    const size_t count = size_t(width) * height;
    if (frame.raw.size() < count) {
        return failed(error, QStringLiteral("The frame holds fewer values than its size"));
    }

    const Telemetry& t = frame.telemetry;
    const bool gps = geotag::hasUsablePosition(t);
    const bool belowSeaLevel = gps && t.altitude < 0;
    const uint32_t gpsEntries = gps ? (belowSeaLevel ? 7 : 6) : 0;
    // DateTime and DateTimeOriginal only for a frame whose telemetry has a
    // date: a made-up moment would mislead the tools that sort by it.
    const QByteArray dateTime = geotag::exifDateTime(t);
    const bool dated = !dateTime.isEmpty();
    const uint32_t ifd0Entries = (gps ? kIfd0Entries : kIfd0Entries - 1) + (dated ? 1 : 0);
    const uint32_t exifEntries = kExifEntries + (dated ? 1 : 0);
    uint32_t dateCount = 0;
    const QByteArray dateText = dated ? tagText(dateTime.constData(), dateCount) : QByteArray();

    uint32_t makeCount = 0, modelCount = 0;
    const QByteArray make = tagText(kMake, makeCount);
    const QByteArray model = tagText(kModel, modelCount);

    const uint32_t pixelBytes = uint32_t(count * 2);
    const uint32_t ifd0At = kHeaderSize + pixelBytes;
    const uint32_t gpsAt = ifd0At + ifdSize(ifd0Entries);
    const uint32_t exifAt = gpsAt + (gps ? ifdSize(gpsEntries) : 0);
    const uint32_t makeAt = exifAt + ifdSize(exifEntries);
    const uint32_t modelAt = makeAt + uint32_t(make.size());
    const uint32_t dateAt = modelAt + uint32_t(model.size());
    const uint32_t dateOriginalAt = dateAt + uint32_t(dateText.size());
    const uint32_t rationalsAt = dateOriginalAt + uint32_t(dateText.size());
    const uint32_t gpsRationals = gps ? 7 : 0;
    const uint32_t focalAt = rationalsAt + gpsRationals * kRationalSize;
    const uint32_t fileSize = focalAt + 3 * kRationalSize;

    unsigned char header[kHeaderSize] = {'I', 'I', 42, 0};
    qToLittleEndian(ifd0At, header + 4);
    pieces.header = QByteArray(reinterpret_cast<const char*>(header), int(kHeaderSize));
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    pieces.pixels =
        QByteArray::fromRawData(reinterpret_cast<const char*>(frame.raw.data()), int(pixelBytes));
#else
    pieces.pixels = QByteArray(int(pixelBytes), Qt::Uninitialized);
    qToLittleEndian<uint16_t>(frame.raw.data(), qsizetype(count), pieces.pixels.data());
#endif
    // Everything after the pixels is a few hundred bytes at most.
    std::array<unsigned char, kMaxTailSize> tail{};
    Writer w(tail.data());

    w.u16(uint16_t(ifd0Entries));
    w.entry(256, kShort, 1, width);
    w.entry(257, kShort, 1, height);
    w.entry(258, kShort, 1, 16);
    w.entry(259, kShort, 1, 1);
    w.entry(262, kShort, 1, 1);
    w.entry(271, kAscii, makeCount, makeAt);
    w.entry(272, kAscii, modelCount, modelAt);
    w.entry(273, kShort, 1, kHeaderSize);
    w.entry(274, kShort, 1, 1);
    w.entry(277, kShort, 1, 1);
    w.entry(278, kShort, 1, height);
    w.entry(279, kLong, 1, pixelBytes);
    w.entry(284, kShort, 1, 1);
    if (dated)
        w.entry(306, kAscii, dateCount, dateAt);
    w.entry(0x8769, kLong, 1, exifAt);
    if (gps)
        w.entry(0x8825, kLong, 1, gpsAt);
    w.u32(0);

    if (gps) {
        // The TIFF has always said "S" and "W" for a zero angle; kept.
        w.u16(uint16_t(gpsEntries));
        w.entry(0, kByte, 4, 0x00000202);
        w.entry(1, kAscii, 2, t.latitude > 0 ? 'N' : 'S');
        w.entry(2, kRational, 3, rationalsAt);
        w.entry(3, kAscii, 2, t.longitude > 0 ? 'E' : 'W');
        w.entry(4, kRational, 3, rationalsAt + 24);
        if (belowSeaLevel)
            w.entry(5, kByte, 1, 1);
        w.entry(6, kRational, 1, rationalsAt + 48);
        w.u32(0);
    }

    w.u16(uint16_t(exifEntries));
    if (dated)
        w.entry(0x9003, kAscii, dateCount, dateOriginalAt);
    w.entry(0x920A, kRational, 1, focalAt);
    w.entry(0xA20E, kRational, 1, focalAt + 8);
    w.entry(0xA20F, kRational, 1, focalAt + 16);
    w.entry(0xA210, kShort, 1, 3);
    const int focalMM = std::max(frame.focalLengthMM, 0);
    w.entry(0xA405, kShort, 1, uint16_t(geotag::focalLengthIn35mm(width, focalMM)));
    w.u32(0);

    w.bytes(make);
    w.bytes(model);
    w.bytes(dateText);
    w.bytes(dateText);
    if (gps) {
        for (double angle : {t.latitude, t.longitude}) {
            const geotag::Dms dms = geotag::splitDegrees(angle, kMicro);
            w.rational(dms.degrees, 1);
            w.rational(dms.minutes, 1);
            w.rational(dms.scaledSeconds, uint32_t(kMicro));
        }
        w.rational(geotag::scaledMagnitude(t.altitude, 100.0), 100);
    }
    w.rational(geotag::scaledMagnitude(focalMM, 1000.0), 1000);
    focalPlaneResolution(w, width, frame.sensorWidthMM);
    focalPlaneResolution(w, height, frame.sensorHeightMM);
    pieces.tail = QByteArray(reinterpret_cast<const char*>(tail.data()), int(fileSize - ifd0At));
    return true;
}

} // namespace

QByteArray encodeTiff(const DecodedFrame& frame, QString* error) {
    TiffPieces p;
    if (!encodePieces(frame, p, error))
        return QByteArray();
    return p.header + p.pixels + p.tail;
}

bool TiffFormatWriter::encode(const ExportFrame& frame, const ExportContext& context,
                              EncodedFrame& out, QString& error) const {
    QString problem;
    TiffPieces p;
    const QString fileName = frame.frameBase + QLatin1Char('.') + context.extension;
    if (!encodePieces(frame.frame, p, &problem)) {
        error =
            QStringLiteral("Error while writing \"") + fileName + QStringLiteral("\": ") + problem;
        return false;
    }
    // The pixels piece may be the frame's own vector: written from there.
    out.files.push_back({fileName, p.header, {p.pixels, p.tail}});
    return true;
}

bool TiffExporter::writeToFile(const QString& fileName, const DecodedFrame& frame, QString* error) {
    TiffPieces p;
    return encodePieces(frame, p, error) &&
           writeFileAtomically(fileName, {p.header, p.pixels, p.tail}, error);
}

QString TiffExporter::stringToHex(const QString& text) {
    QString hex;
    hex.reserve(text.size() * 2);
    for (const QChar c : text) {
        const uint code = c.unicode() > 255 ? 0u : c.unicode();
        hex += QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0'));
    }
    return hex;
}

int TiffExporter::decimalToDMS(double decimal, int& degrees, int& minutes, int& microSeconds) {
    const geotag::Dms dms = geotag::splitDegrees(decimal, kMicro);
    degrees = int(dms.degrees);
    minutes = int(dms.minutes);
    microSeconds = int(dms.scaledSeconds);
    return microSeconds;
}

bool TiffExporter::writeToFilelibTiff(const QString& fileName, const DecodedFrame& frame,
                                      QString* error) {
    if (!frame.isValid() || frame.width > kMaxSide || frame.height > kMaxSide)
        return failed(error, QStringLiteral("The frame cannot be written as TIFF"));
    const QString temporary = createFileBeside(fileName, error);
    if (temporary.isEmpty())
        return false;
    TIFF* tif = TIFFOpen(QFile::encodeName(temporary).constData(), "w");
    if (!tif) {
        discardFileBeside(temporary);
        return failed(error, QStringLiteral("Error while writing \"") + fileName +
                                 QStringLiteral("\": libtiff failed"));
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, frame.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, frame.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, frame.height);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    // Row by row into the one strip; libtiff swaps bytes where the host needs it.
    std::vector<uint16_t> row(frame.width);
    bool ok = true;
    for (uint32_t y = 0; y < frame.height && ok; ++y) {
        std::memcpy(row.data(), frame.raw.data() + size_t(y) * frame.width, frame.width * 2);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    ok = TIFFWriteDirectory(tif) == 1 && ok;
    TIFFClose(tif);
    if (!ok) {
        discardFileBeside(temporary);
        return failed(error, QStringLiteral("Error while writing \"") + fileName +
                                 QStringLiteral("\": libtiff failed"));
    }
    return commitFileBeside(temporary, fileName, error);
}

bool TiffExporter::testFile(const QString& fileName) {
    TIFF* tif = TIFFOpen(QFile::encodeName(fileName).constData(), "r");
    if (!tif)
        return false;
    console(QStringLiteral("Open"));
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFClose(tif);
    return true;
}

} // namespace kx
