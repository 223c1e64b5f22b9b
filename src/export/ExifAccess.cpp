#include "export/ExifAccess.h"

#include "base/PartNumber.h"
#include "export/AtomicFile.h"
#include "export/GeoTagging.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <libexif/exif-data.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kx {
namespace {

constexpr int kMaxMakeLength = 20;
constexpr int kDateTimeLength = 19;
constexpr int kMinimumJpegSize = 20;
constexpr int kMaxSegmentLength = 0xFFFF;
constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;
constexpr double kMilli = 1000.0;

const char* const kErrorReadingHeader = "Error reading header";
const char* const kNotJpeg = "Not a JPEG file";
const char* const kNoBlock = "No Exif block to insert into";

void addLine(QString* messages, const QString& line) {
    if (messages)
        *messages += line + QLatin1Char('\n');
}

struct ExifDataUnref {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};

// A fresh entry of zeroed data for tag in ifd, replacing one the fix-up may
// have put there (libexif refuses a second entry of a tag). The content owns
// the entry; nullptr when memory runs out.
ExifEntry* createTag(ExifData* exif, ExifIfd ifd, ExifTag tag, ExifFormat format,
                     unsigned long components) {
    ExifContent* content = exif->ifd[ifd];
    if (ExifEntry* old = exif_content_get_entry(content, tag))
        exif_content_remove_entry(content, old);
    ExifMem* mem = exif_mem_new_default();
    if (!mem)
        return nullptr;
    ExifEntry* entry = exif_entry_new_mem(mem);
    const unsigned size = unsigned(exif_format_get_size(format) * components);
    void* bytes = entry ? exif_mem_alloc(mem, size) : nullptr;
    if (!bytes) {
        if (entry)
            exif_entry_unref(entry);
        exif_mem_unref(mem);
        return nullptr;
    }
    entry->data = static_cast<unsigned char*>(bytes);
    entry->size = size;
    entry->tag = tag;
    entry->components = components;
    entry->format = format;
    exif_content_add_entry(content, entry);
    exif_entry_unref(entry);
    exif_mem_unref(mem);
    return entry;
}

bool setText(ExifData* exif, ExifIfd ifd, ExifTag tag, const QByteArray& text) {
    ExifEntry* e = createTag(exif, ifd, tag, EXIF_FORMAT_ASCII, unsigned(text.size()) + 1);
    if (e)
        std::memcpy(e->data, text.constData(), size_t(text.size())); // the NUL is already there
    return e;
}

bool setRationals(ExifData* exif, ExifIfd ifd, ExifTag tag,
                  std::initializer_list<ExifRational> values) {
    ExifEntry* e = createTag(exif, ifd, tag, EXIF_FORMAT_RATIONAL, values.size());
    if (!e)
        return false;
    unsigned char* at = e->data;
    for (const ExifRational& r : values) {
        exif_set_rational(at, kOrder, r);
        at += exif_format_get_size(EXIF_FORMAT_RATIONAL);
    }
    return true;
}

bool setBytes(ExifData* exif, ExifIfd ifd, ExifTag tag, const QByteArray& bytes) {
    ExifEntry* e = createTag(exif, ifd, tag, EXIF_FORMAT_BYTE, unsigned(bytes.size()));
    if (e)
        std::memcpy(e->data, bytes.constData(), size_t(bytes.size()));
    return e;
}

bool setShort(ExifData* exif, ExifIfd ifd, ExifTag tag, int value) {
    ExifEntry* e = createTag(exif, ifd, tag, EXIF_FORMAT_SHORT, 1);
    if (e)
        exif_set_short(e->data, kOrder, ExifShort(std::clamp(value, 0, 0xFFFF)));
    return e;
}

bool setLong(ExifData* exif, ExifIfd ifd, ExifTag tag, int value) {
    ExifEntry* e = createTag(exif, ifd, tag, EXIF_FORMAT_LONG, 1);
    if (e)
        exif_set_long(e->data, kOrder, ExifLong(std::max(value, 0)));
    return e;
}

// The fix-up writes version 2.1, which has no 35 mm focal length; the tags
// written here are those of 2.2.
bool setExifVersion(ExifData* exif) {
    ExifEntry* e = createTag(exif, EXIF_IFD_EXIF, EXIF_TAG_EXIF_VERSION, EXIF_FORMAT_UNDEFINED, 4);
    if (e)
        std::memcpy(e->data, "0220", 4);
    return e;
}

bool setAngle(ExifData* exif, ExifTag tag, ExifTag refTag, double degrees, char positive,
              char negative) {
    const geotag::Dms dms = geotag::splitDegrees(degrees, kMilli);
    return setRationals(exif, EXIF_IFD_GPS, tag,
                        {{dms.degrees, 1}, {dms.minutes, 1}, {dms.scaledSeconds, 1000}}) &&
           setText(exif, EXIF_IFD_GPS, refTag, QByteArray(1, degrees >= 0 ? positive : negative));
}

bool addGps(ExifData* exif, const KSExifData& d) {
    ExifContent* gps = exif->ifd[EXIF_IFD_GPS];
    while (gps->count)
        exif_content_remove_entry(gps, gps->entries[0]);
    Telemetry position;
    position.latitude = d.latitude;
    position.longitude = d.longitude;
    if (!geotag::hasUsablePosition(position))
        return true;
    bool ok = setBytes(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_VERSION_ID),
                       QByteArray::fromHex("02020000")) &&
              setAngle(exif, ExifTag(EXIF_TAG_GPS_LATITUDE), ExifTag(EXIF_TAG_GPS_LATITUDE_REF),
                       d.latitude, 'N', 'S') &&
              setAngle(exif, ExifTag(EXIF_TAG_GPS_LONGITUDE), ExifTag(EXIF_TAG_GPS_LONGITUDE_REF),
                       d.longitude, 'E', 'W');
    if (ok && std::isfinite(d.altitude)) {
        // The whole 32-bit numerator, so altitudes of 6553.6 m and more do not wrap.
        ok = setRationals(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_ALTITUDE),
                          {{geotag::scaledMagnitude(d.altitude, 10.0), 10}}) &&
             setBytes(exif, EXIF_IFD_GPS, ExifTag(EXIF_TAG_GPS_ALTITUDE_REF),
                      QByteArray(1, d.altitude < 0 ? 1 : 0));
    }
    return ok;
}

int jpegInsertPosition(const QByteArray& jpeg) {
    const auto byte = [&](int i) { return uint8_t(jpeg[i]); };
    if (byte(0) != 0xFF || byte(1) != 0xD8)
        return -1;
    if (byte(2) != 0xFF || byte(3) != 0xE0)
        return 2; // no JFIF header: EXIF may follow the start marker directly
    const int end = 4 + (byte(4) << 8 | byte(5));
    return end <= jpeg.size() ? end : -1;
}

} // namespace

KSExifData exifDataForFrame(const DecodedFrame& frame, bool daylight, QSize pictureSize) {
    KSExifData d;
    if (daylight)
        d.model = "Kestrum_Daylight";
    const int fromPart =
        partnumber::isTau2(frame.partNumber) ? partnumber::focalLengthMM(frame.partNumber) : 0;
    d.focalLength = fromPart > 0 ? float(fromPart) : kDefaultExifFocalLengthMM;
    d.focalLengthIn35mm = geotag::focalLengthIn35mm(frame.width, double(d.focalLength));
    d.latitude = frame.telemetry.latitude;
    d.longitude = frame.telemetry.longitude;
    d.altitude = frame.telemetry.altitude;
    d.time = frame.telemetry.time.toLatin1().replace('.', ':');
    d.date = geotag::exifDate(frame.telemetry.date);
    d.dateTime = geotag::exifDateTime(frame.telemetry);
    d.pictureSize = pictureSize;
    return d;
}

QByteArray compileExifBlock(const KSExifData& d) {
    std::unique_ptr<ExifData, ExifDataUnref> exif(exif_data_new());
    if (!exif)
        return QByteArray();
    ExifData* e = exif.get();
    exif_data_set_data_type(e, EXIF_DATA_TYPE_COMPRESSED);
    exif_data_set_byte_order(e, kOrder);
    exif_data_fix(e);

    const ExifLong focalTenths = ExifLong(geotag::scaledMagnitude(d.focalLength, 10.0));
    bool ok = setText(e, EXIF_IFD_0, EXIF_TAG_MAKE, d.make.left(kMaxMakeLength)) &&
              setText(e, EXIF_IFD_0, EXIF_TAG_MODEL, d.model.left(kMaxMakeLength)) &&
              setExifVersion(e) &&
              setRationals(e, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, {{focalTenths, 10}}) &&
              setShort(e, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM, d.focalLengthIn35mm) &&
              addGps(e, d) &&
              setLong(e, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, d.pictureSize.width()) &&
              setLong(e, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, d.pictureSize.height());
    if (ok && d.dateTime.size() == kDateTimeLength)
        ok = setText(e, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, d.dateTime);
    if (!ok)
        return QByteArray();

    unsigned char* saved = nullptr;
    unsigned int length = 0;
    exif_data_save_data(e, &saved, &length);
    QByteArray block(reinterpret_cast<const char*>(saved), int(length));
    std::free(saved); // libexif's default allocator is malloc
    return block;
}

QByteArray exifApp1Segment(const QByteArray& block) {
    const int length = block.size() + 2;
    if (block.isEmpty() || length > kMaxSegmentLength)
        return QByteArray();
    QByteArray segment;
    segment.reserve(length + 2);
    segment.append(char(0xFF)).append(char(0xE1));
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    return segment + block;
}

namespace {

// Where the segment goes, or -1 with message set when the JPEG is refused.
int insertPosition(const QByteArray& jpeg, const QByteArray& exifApp1, QString* message) {
    const char* refusal = nullptr;
    int at = -1;
    if (jpeg.size() < kMinimumJpegSize)
        refusal = kErrorReadingHeader;
    else if ((at = jpegInsertPosition(jpeg)) < 0)
        refusal = kNotJpeg;
    else if (exifApp1.isEmpty())
        refusal = kNoBlock;
    if (refusal && message)
        *message = QLatin1String(refusal);
    return refusal ? -1 : at;
}

} // namespace

QByteArray insertExifIntoJpeg(const QByteArray& jpeg, const QByteArray& exifApp1, bool* ok,
                              QString* message) {
    const int at = insertPosition(jpeg, exifApp1, message);
    if (ok)
        *ok = at >= 0;
    if (at < 0)
        return jpeg;
    QByteArray out;
    out.reserve(jpeg.size() + exifApp1.size());
    out.append(jpeg.constData(), at)
        .append(exifApp1)
        .append(jpeg.constData() + at, jpeg.size() - at);
    return out;
}

QByteArray jpegWithExif(const QByteArray& jpeg, const DecodedFrame& frame, QSize pictureSize,
                        bool daylight, QString* message) {
    const QByteArray segment =
        exifApp1Segment(compileExifBlock(exifDataForFrame(frame, daylight, pictureSize)));
    if (segment.isEmpty()) {
        if (message)
            *message = QStringLiteral("ERROR compiling Exif data block");
        return jpeg;
    }
    return insertExifIntoJpeg(jpeg, segment, nullptr, message);
}

bool writeJpegWithExif(const QString& fileName, const QByteArray& jpeg, const QByteArray& exifApp1,
                       QString* error) {
    const int at = insertPosition(jpeg, exifApp1, error);
    if (at < 0)
        return false;
    return writeFileAtomically(fileName,
                               {QByteArray::fromRawData(jpeg.constData(), at), exifApp1,
                                QByteArray::fromRawData(jpeg.constData() + at, jpeg.size() - at)},
                               error);
}

bool addExifToJpg(const QString& fileName, const DecodedFrame& frame, bool daylight,
                  QString* messages) {
    const QSize size = QImageReader(fileName).size();
    ExifAccess access;
    return access.writeDataToFile(exifDataForFrame(frame, daylight, size), fileName, messages);
}

bool ExifAccess::compileExifDataBlock(const KSExifData& data) {
    m_block = compileExifBlock(data);
    return !m_block.isEmpty();
}

bool ExifAccess::insertDataIntoJpgFile(const QString& fileName, QString* messages) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        addLine(messages,
                QStringLiteral("(insertDataIntoJpgFile) Error opening input file: ") + fileName);
        return false;
    }
    const QByteArray jpeg = file.readAll();
    file.close();
    const QByteArray segment = exifApp1Segment(m_block);
    QString problem;
    if (insertPosition(jpeg, segment, &problem) < 0) {
        addLine(messages, problem == QLatin1String(kErrorReadingHeader)
                              ? problem
                              : QStringLiteral("(insertDataIntoJpgFile) ") + problem +
                                    QStringLiteral(": ") + fileName);
        return false;
    }
    if (!writeJpegWithExif(fileName, jpeg, segment, nullptr)) {
        addLine(messages,
                QStringLiteral("(insertDataIntoJpgFile) Error opening output file: ") + fileName);
        return false;
    }
    return true;
}

bool ExifAccess::writeDataToFile(const KSExifData& data, const QString& fileName,
                                 QString* messages) {
    if (!compileExifDataBlock(data)) {
        addLine(messages, QStringLiteral("ERROR compiling Exif data block"));
        return false;
    }
    if (!insertDataIntoJpgFile(fileName, messages)) {
        addLine(messages, QStringLiteral("ERROR writing Exif block to file"));
        return false;
    }
    return true;
}

int ExifAccess::convertDecimalDegreeToDegMinSec(float decimal, int& degrees, int& minutes,
                                                float& seconds) {
    const float value = std::fabs(decimal);
    degrees = int(value);
    const float fraction = value - float(degrees);
    minutes = int(fraction * 60.0f);
    seconds = (fraction - float(minutes) / 60.0f) * 3600.0f;
    return minutes;
}

bool FileManipulation::insertIntoFile(const QString& path, const QByteArray& data, qint64 position,
                                      QString* messages) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        addLine(messages,
                QStringLiteral("FileManipulation::openFileBinaryRead: Error while opening ") +
                    path);
        return false;
    }
    const QByteArray content = file.readAll();
    file.close();
    if (content.isEmpty()) {
        addLine(messages, QStringLiteral("FileManipulation::insertIntoFile: FileSize <= 0"));
        return false;
    }
    if (position < 0 || position > content.size()) {
        addLine(messages, QStringLiteral("FileManipulation::insertIntoFile: readHeader failed"));
        return false;
    }
    const int at = int(position);
    if (!writeFileAtomically(path, content.left(at) + data + content.mid(at), nullptr)) {
        addLine(messages, QStringLiteral("Error writing data to file ") + path);
        return false;
    }
    return true;
}

} // namespace kx
