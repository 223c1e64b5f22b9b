#pragma once

#include "base/DecodedFrame.h"
#include "export/ExportPlan.h"
#include "export/ExportSettings.h"

#include <QFile>
#include <QString>
#include <array>
#include <random>

// Side files that let mapping tools place the exported pictures: a
// semicolon-separated CSV per frame or for all frames, a comma-separated
// image list for Pix4D, a KML file with one placemark per frame, or the raw
// serial data block of each frame. The line generators are pure; the writer
// keeps the state of one export job.
namespace kx {

// The entries of the meta data list, in its order (the command line sets
// them by index).
enum class MetaType { OneCsvPerFrame = 0, OneCsvForAllFrames = 1, Pix4D = 2, Kml = 3, Unknown };
// The entry of one of metaTypeNames(); Unknown for any other text.
MetaType metaTypeFromText(const QString& text);

// "Date;Time;Latitude;...;TempFPA\n".
QString generateCsvHeader();
// The frame's thirteen values in the header's order, ";"-separated, fixed
// notation with 10 decimals (headings and temperatures through 32-bit
// floats), ended by a line feed.
QString generateCsvDataLineFromDataConverter(const DecodedFrame& frame);
// imageName, latitude, longitude, altitude (10 decimals) and the three
// orientation values (2 decimals), ","-separated, ended by a line feed.
QString generatePix4DMetaLine(const QString& imageName, const Telemetry& telemetry,
                              const std::array<double, 3>& orientation);

QString kmlHeader();
// One placemark; the name is XML-escaped, the coordinates are longitude,
// latitude (6 decimals) and the altitude as a 32-bit float.
QString kmlPlacemark(double latitude, double longitude, float altitude, const QString& name);
QString kmlFooter();

// Appends the header or the frame's data line to file (opened and closed
// here); false when it cannot be opened or written.
bool writeCsvHeader(QFile& file);
bool writeCsvMetaLine(QFile& file, const DecodedFrame& frame);
// path (replaced whole) holding the header and the frame's data line.
bool writeCsvMetaFile(const QString& path, const DecodedFrame& frame, QString* error = nullptr);

// The KML file of an export, appended to placemark by placemark.
class kmlCreator {
public:
    bool openFile(const QString& path);
    bool writeHeader();
    bool addPointToPathLatLng(double latitude, double longitude, float altitude,
                              const QString& name);
    // Writes the footer lines and closes the file.
    bool writeFooter();
    void closeFile();
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

private:
    bool write(const QString& text);
    QFile m_file;
};

struct MetaDataOptions {
    bool createMetaData = false; // "Create meta data"
    MetaType type = MetaType::OneCsvPerFrame;
    bool raw = false; // "Export meta data as RAW", used only without createMetaData
};

// The choices as the export settings hold them (an index outside the list
// gives MetaType::Unknown).
MetaDataOptions metaDataOptions(const ExportSettings& settings);

// The meta data of one export job, called in frame order on one thread.
// Files for all frames stay open for the job and are flushed after every
// line, so they can be read while the export runs; finish() (or the
// destructor) ends the KML file with its footer and closes everything.
class MetaDataWriter {
public:
    MetaDataWriter(const ExportNames& names, const MetaDataOptions& options);
    ~MetaDataWriter();
    MetaDataWriter(const MetaDataWriter&) = delete;
    MetaDataWriter& operator=(const MetaDataWriter&) = delete;

    // Removes base_meta.csv and base.kml of an earlier export, so the files
    // hold exactly the frames of this one.
    void start();
    // Writes what the options ask for one frame. frameBase is the frame's file
    // name without extension; pointName (when not empty) names its KML
    // placemark. False (with lastError) when something could not be written.
    // Prints "IFN: <frameBase>.<extension>" for a Pix4D line, "Could not open
    // file: <name>" for a RAW file it cannot write and "Not known output
    // format for meta data! Please contact support!" for MetaType::Unknown.
    bool writeMetaData(const QString& frameBase, const QString& extension,
                       const DecodedFrame& frame, const QString& pointName = QString());
    // Ends the job; false when the KML footer could not be written.
    bool finish();

    QString lastError() const { return m_lastError; }
    int failures() const { return m_failures; }

private:
    bool fail(const QString& error);
    bool appendLine(const QString& name, const QString& header, const QString& line);
    bool writeKml(const QString& frameBase, const DecodedFrame& frame, const QString& pointName);

    ExportNames m_names;
    MetaDataOptions m_options;
    QFile m_list; // the all-frames CSV or Pix4D list
    kmlCreator m_kml;
    bool m_kmlStarted = false;
    std::minstd_rand m_random;
    QString m_lastError;
    int m_failures = 0;
};

} // namespace kx
