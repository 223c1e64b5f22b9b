#include "export/MetaDataWriter.h"

#include "base/Report.h"
#include "export/AtomicFile.h"
#include "export/GeoTagging.h"

#include <QFileInfo>

#include <cmath>

namespace kx {
namespace {

// The wording of every failed write of an export.
QString writeError(const QString& name, const QString& reason) {
    return QStringLiteral("Cannot write ") + name + QStringLiteral(": ") + reason;
}

QString fixed(double value, int decimals = 10) {
    return QString::number(value, 'f', decimals);
}

bool appendText(QFile& file, const QString& text) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text.toUtf8();
    const bool ok = file.write(bytes) == bytes.size();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace

MetaType metaTypeFromText(const QString& text) {
    const int index = metaTypeNames().indexOf(text);
    return index < 0 ? MetaType::Unknown : MetaType(index);
}

MetaDataOptions metaDataOptions(const ExportSettings& settings) {
    MetaDataOptions options;
    options.createMetaData = settings.metaCsv;
    options.raw = settings.metaRaw;
    options.type = settings.metaType >= 0 && settings.metaType < metaTypeNames().size()
                       ? MetaType(settings.metaType)
                       : MetaType::Unknown;
    return options;
}

QString generateCsvHeader() {
    return QStringLiteral("Date;Time;Latitude;Longitude;Pitch;Roll;Yaw;Altitude;Satellites;"
                          "TrackHeading;MagneticHeading;TempHousing;TempFPA\n");
}

QString generateCsvDataLineFromDataConverter(const DecodedFrame& frame) {
    const Telemetry& t = frame.telemetry;
    const QChar s = QLatin1Char(';');
    return t.date + s + t.time + s + fixed(t.latitude) + s + fixed(t.longitude) + s +
           fixed(t.pitch) + s + fixed(t.roll) + s + fixed(t.yaw) + s + fixed(t.altitude) + s +
           QString::number(t.satellites) + s + fixed(t.trackHeading) + s +
           fixed(t.magneticHeading) + s + fixed(float(frame.tempHousingCelsius)) + s +
           fixed(float(frame.tempFPACelsius)) + QLatin1Char('\n');
}

QString generatePix4DMetaLine(const QString& imageName, const Telemetry& telemetry,
                              const std::array<double, 3>& orientation) {
    const QChar c = QLatin1Char(',');
    return imageName + c + fixed(telemetry.latitude) + c + fixed(telemetry.longitude) + c +
           fixed(telemetry.altitude) + c + fixed(orientation[0], 2) + c + fixed(orientation[1], 2) +
           c + fixed(orientation[2], 2) + QLatin1Char('\n');
}

QString kmlHeader() {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
                          "  <Document>\n");
}

QString kmlPlacemark(double latitude, double longitude, float altitude, const QString& name) {
    return QStringLiteral("    <Placemark>\n      <name>") + name.toHtmlEscaped() +
           QStringLiteral("</name>\n"
                          "      <altitudeMode>absolute</altitudeMode>\n"
                          "      <Point>\n"
                          "        <coordinates>\n            ") +
           fixed(longitude, 6) + QLatin1Char(',') + fixed(latitude, 6) + QLatin1Char(',') +
           fixed(altitude, 6) +
           QStringLiteral("\n        </coordinates>\n"
                          "      </Point>\n"
                          "    </Placemark>\n");
}

QString kmlFooter() {
    return QStringLiteral("  </Document>\n</kml>\n");
}

bool writeCsvHeader(QFile& file) {
    return appendText(file, generateCsvHeader());
}

bool writeCsvMetaLine(QFile& file, const DecodedFrame& frame) {
    return appendText(file, generateCsvDataLineFromDataConverter(frame));
}

bool writeCsvMetaFile(const QString& path, const DecodedFrame& frame, QString* error) {
    return writeFileAtomically(
        path, (generateCsvHeader() + generateCsvDataLineFromDataConverter(frame)).toUtf8(), error);
}

bool kmlCreator::openFile(const QString& path) {
    closeFile();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

bool kmlCreator::write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return m_file.isOpen() && m_file.write(bytes) == bytes.size() && m_file.flush();
}

bool kmlCreator::writeHeader() {
    return write(kmlHeader());
}

bool kmlCreator::addPointToPathLatLng(double latitude, double longitude, float altitude,
                                      const QString& name) {
    return write(kmlPlacemark(latitude, longitude, altitude, name));
}

bool kmlCreator::writeFooter() {
    const bool ok = write(kmlFooter());
    closeFile();
    return ok && m_file.error() == QFileDevice::NoError;
}

void kmlCreator::closeFile() {
    if (m_file.isOpen())
        m_file.close();
}

MetaDataWriter::MetaDataWriter(const ExportNames& names, const MetaDataOptions& options)
    : m_names(names)
    , m_options(options) {}

MetaDataWriter::~MetaDataWriter() {
    finish();
}

void MetaDataWriter::start() {
    QFile::remove(m_names.allFramesMetaCsv());
    QFile::remove(m_names.kmlFile());
}

bool MetaDataWriter::fail(const QString& error) {
    m_lastError = error;
    ++m_failures;
    return false;
}

bool MetaDataWriter::appendLine(const QString& name, const QString& header, const QString& line) {
    if (!m_list.isOpen()) {
        m_list.setFileName(name);
        const bool isNew = !m_list.exists();
        if (!m_list.open(QIODevice::WriteOnly | QIODevice::Append))
            return fail(writeError(name, m_list.errorString()));
        if (isNew && !header.isEmpty())
            m_list.write(header.toUtf8());
    }
    const QByteArray bytes = line.toUtf8();
    if (m_list.write(bytes) != bytes.size() || !m_list.flush())
        return fail(writeError(name, m_list.errorString()));
    return true;
}

bool MetaDataWriter::writeKml(const QString& frameBase, const DecodedFrame& frame,
                              const QString& pointName) {
    const QString name = pointName.isEmpty() ? frameBase : pointName;
    const Telemetry& t = frame.telemetry;
    // A placemark at "nan" or beyond the poles makes the whole file unreadable
    // for the mapping tools; such a frame is left out.
    if (!geotag::hasUsablePosition(t) || !std::isfinite(float(t.altitude)))
        return fail(QStringLiteral("No usable position for ") + name);
    const QString path = m_names.kmlFile();
    if (!m_kml.isOpen()) {
        const bool isNew = !QFileInfo::exists(path);
        if (!m_kml.openFile(path) || (isNew && !m_kml.writeHeader()))
            return fail(writeError(path, m_kml.errorString()));
        m_kmlStarted = true;
    }
    if (!m_kml.addPointToPathLatLng(t.latitude, t.longitude, float(t.altitude), name))
        return fail(writeError(path, m_kml.errorString()));
    return true;
}

bool MetaDataWriter::writeMetaData(const QString& frameBase, const QString& extension,
                                   const DecodedFrame& frame, const QString& pointName) {
    if (!m_options.createMetaData) {
        if (!m_options.raw)
            return true;
        const QString name = frameBase + QStringLiteral("_metaRAW.dat");
        QString error;
        if (!writeFileAtomically(name, frame.serialBlock, &error)) {
            console(QStringLiteral("Could not open file: ") + name);
            return fail(error);
        }
        return true;
    }
    switch (m_options.type) {
    case MetaType::OneCsvPerFrame: {
        QString error;
        return writeCsvMetaFile(frameBase + QStringLiteral("_meta.csv"), frame, &error) ||
               fail(error);
    }
    case MetaType::OneCsvForAllFrames:
        return appendLine(m_names.allFramesMetaCsv(), generateCsvHeader(),
                          generateCsvDataLineFromDataConverter(frame));
    case MetaType::Pix4D: {
        const QString image = frameBase + QLatin1Char('.') + extension;
        // Reseeded from its own output for every line, as lists written
        // before have it; the values vary between -0.20 and 0.20.
        m_random.seed(m_random());
        std::array<double, 3> orientation{};
        for (double& value : orientation)
            value = (80 + m_random() % 41) / 100.0 - 1.0;
        if (!appendLine(
                m_names.allFramesMetaCsv(), QString(),
                generatePix4DMetaLine(QFileInfo(image).fileName(), frame.telemetry, orientation)))
            return false;
        console(QStringLiteral("IFN: ") + image);
        return true;
    }
    case MetaType::Kml:
        return writeKml(frameBase, frame, pointName);
    case MetaType::Unknown:
        break;
    }
    console(QStringLiteral("Not known output format for meta data! Please contact support!"));
    return fail(QStringLiteral("Not known output format for meta data"));
}

bool MetaDataWriter::finish() {
    if (m_list.isOpen())
        m_list.close();
    if (!m_kmlStarted)
        return true;
    m_kmlStarted = false;
    if (!m_kml.isOpen() && !m_kml.openFile(m_names.kmlFile()))
        return fail(writeError(m_names.kmlFile(), m_kml.errorString()));
    return m_kml.writeFooter() || fail(writeError(m_names.kmlFile(), m_kml.errorString()));
}

} // namespace kx
