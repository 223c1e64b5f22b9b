#include "Probe.h"

#include "base/Report.h"
#include "conversion/FrameRenderer.h"
#include "corrections/BitLaneTest.h"
#include "corrections/Drift.h"
#include "recording/DataConverter.h"

#include <QFile>
#include <QImage>
#include <QStringList>
#include <utility>

namespace probe {
namespace {

// Captures the converter's console lines while it lives (and passes them on
// to standard error), so that the loader's last message can be reported.
class ConsoleCapture {
public:
    ConsoleCapture() {
        m_previous = kx::setConsoleHook([this](kx::Stream stream, const QString& text) {
            if (stream == kx::Stream::Out)
                m_outText += text;
            const QByteArray bytes = text.toLocal8Bit();
            std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
            std::fflush(stderr);
        });
    }
    ~ConsoleCapture() { kx::setConsoleHook(std::move(m_previous)); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    QString lastLine() const {
        const QStringList lines = m_outText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return lines.isEmpty() ? QString() : lines.last();
    }

private:
    kx::ConsoleHook m_previous;
    QString m_outText;
};

Result failure(const QString& file, const QString& message) {
    Result r;
    r.json.add(QStringLiteral("file"), file).add(QStringLiteral("error"), message);
    r.ok = false;
    return r;
}

JsonObject hotspotObject(const DataConverter& converter) {
    JsonObject hotspot;
    hotspot.add(QStringLiteral("column"), converter.getHotspotColumn())
        .add(QStringLiteral("row"), converter.getHotspotRow())
        .add(QStringLiteral("value"), converter.getHotspotValue());
    return hotspot;
}

// The compressed stream's side value of the frame decoded last, or null.
JsonObject& addStreamFrameNumber(JsonObject& object, const DataConverter& converter) {
    if (converter.getStreamFrameNumberSeen())
        return object.add(QStringLiteral("streamFrameNumber"), converter.getCurrentFrameNumber());
    return object.addNull(QStringLiteral("streamFrameNumber"));
}

// What the chosen parser made of the frame's serial block.
JsonObject telemetryObject(const DataConverter& converter) {
    JsonObject telemetry;
    telemetry.add(QStringLiteral("latitude"), converter.getCurrentLatitude())
        .add(QStringLiteral("longitude"), converter.getCurrentLongitude())
        .add(QStringLiteral("altitude"), double(converter.getCurrentAltitude()))
        .add(QStringLiteral("satellites"), converter.getCurrentSatellites())
        .add(QStringLiteral("date"), converter.getCurrentDate())
        .add(QStringLiteral("time"), converter.getCurrentTime())
        .add(QStringLiteral("trackHeading"), double(converter.getCurrentTrackHeading()))
        .add(QStringLiteral("magneticHeading"), double(converter.getCurrentMagneticHeading()))
        .add(QStringLiteral("roll"), converter.getCurrentRoll())
        .add(QStringLiteral("pitch"), converter.getCurrentPitch())
        .add(QStringLiteral("yaw"), converter.getCurrentYaw())
        .add(QStringLiteral("serialText"), converter.getSerialDataString());
    return telemetry;
}

JsonObject& addTelemetry(JsonObject& object, const DataConverter& converter,
                         ksDefines::serialContent serial) {
    if (serial != ksDefines::NoSerialData)
        object.add(QStringLiteral("telemetry"), telemetryObject(converter));
    return object;
}

JsonObject frameObject(const DataConverter& converter, int number, bool ok,
                       ksDefines::serialContent serial) {
    JsonObject frame;
    frame.add(QStringLiteral("number"), number)
        .add(QStringLiteral("ok"), ok)
        .add(QStringLiteral("width"), converter.getImageWidth())
        .add(QStringLiteral("height"), converter.getImageHeight())
        .add(QStringLiteral("min"), converter.getFrameMinRaw())
        .add(QStringLiteral("max"), converter.getFrameMaxRaw())
        .add(QStringLiteral("mean"), converter.getMeanRaw())
        .add(QStringLiteral("hotspot"), hotspotObject(converter))
        .add(QStringLiteral("partNumber"), converter.getPartNumber())
        .add(QStringLiteral("tempFPA"), converter.getTempFPA())
        .add(QStringLiteral("tempHousing"), converter.getTempHousing())
        .add(QStringLiteral("serialBytes"), converter.getSerialDataSize());
    return addTelemetry(addStreamFrameNumber(frame, converter), converter, serial);
}

JsonObject frameListEntry(const DataConverter& converter, int number, bool ok,
                          ksDefines::serialContent serial) {
    JsonObject entry;
    entry.add(QStringLiteral("number"), number)
        .add(QStringLiteral("ok"), ok)
        .add(QStringLiteral("min"), converter.getFrameMinRaw())
        .add(QStringLiteral("max"), converter.getFrameMaxRaw())
        .add(QStringLiteral("mean"), converter.getMeanRaw())
        .add(QStringLiteral("hotspot"), hotspotObject(converter));
    return addTelemetry(addStreamFrameNumber(entry, converter), converter, serial);
}

ThermalImageConversionSet conversionSet(const Options& options) {
    ThermalImageConversionSet set;
    set.colorMode = options.palette;
    set.inverted = options.invert;
    set.autoGainEnabled = !options.rangeGiven;
    set.lowerBound = options.rangeLow;
    set.upperBound = options.rangeHigh;
    return set;
}

bool isMovie(const QString& type) {
    return type == QLatin1String("THM") || type == QLatin1String("TMC");
}

// Switches on the corrections the options ask for, in the order a user of the
// window would: FFC list and drift, offset map, lens reference. Returns the
// reason when one is refused.
QString applyCorrections(DataConverter& converter, const Options& options) {
    if (!options.ffcFile.isEmpty()) {
        QFile file(options.ffcFile);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return QStringLiteral("kalorix-probe: cannot read the FFC file ") + options.ffcFile;
        converter.resetFFCCorrection();
        for (const int32_t frame : drift::readFfcList(file))
            converter.addFFCFrame(frame);
    }
    if (options.drift) {
        converter.changedDriftCompensation(true);
        if (!options.ffcFile.isEmpty() || !converter.isDriftComputed())
            converter.calcFrameTempDifferenceMap();
    }
    ConsoleCapture capture;
    if (options.nucFirst || options.nucLast) {
        if (!converter.executeNUC(options.nucFirst, options.nucLast, 50))
            return capture.lastLine();
    }
    if (options.lensReference) {
        const int frames = converter.getNumberOfVideoFrames();
        if (!converter.isMovieOpen() || options.lensReference > frames)
            return QStringLiteral("kalorix-probe: lens reference %1 is not in the file")
                .arg(options.lensReference);
        converter.redecodeMovieFrame(options.lensReference);
        converter.lensCorrection();
    }
    return QString();
}

JsonObject correctionsObject(const DataConverter& converter) {
    JsonObject corrections;
    corrections
        .add(QStringLiteral("drift"), converter.isDriftComputed() && converter.isDriftEnabled())
        .add(QStringLiteral("nuc"), converter.isNucActive())
        .add(QStringLiteral("lens"), converter.isLensActive());
    return corrections;
}

JsonObject bitLaneObject(const std::vector<uint16_t>& raw) {
    JsonObject masks;
    for (const QString& line : bitlane::reportLines(raw)) {
        const int colon = int(line.indexOf(QLatin1Char(':')));
        if (colon < 0)
            masks.add(QStringLiteral("message"), line);
        else
            masks.add(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return masks;
}

// Loads the file and decodes the requested frame (converting it when a PNG is
// wanted). Returns the number of frames, 0 when the file did not load.
int loadFrame(DataConverter& converter, const QString& type, const Options& options, QImage& image,
              bool& ok, QString& correctionFailure) {
    ThermalImageConversionSet set = conversionSet(options);
    const bool compressed = type == QLatin1String("THC") || type == QLatin1String("TMC");
    if (isMovie(type)) {
        const int frames = converter.parseVideoFile(options.file, compressed, true);
        if (frames < 1 || options.frame > frames)
            return frames;
        correctionFailure = applyCorrections(converter, options);
        if (!correctionFailure.isEmpty())
            return frames;
        ok = false;
        converter.getThermalImageFromVideoRawList(options.frame, image, &ok, options.serial, set);
        return frames;
    }
    ok = compressed ? converter.loadFromCompressedRawFile(options.file, options.serial)
                    : converter.loadFromRawFile(options.file, options.serial);
    if (!ok)
        return 0;
    // The conversion goes through the loader that converts, as the viewer's.
    if (!options.pngOut.isEmpty()) {
        if (compressed)
            converter.getImageFromCompressedRAW(options.file, image, &ok, options.serial, set);
        else
            converter.getImageFromRAW(options.file, image, options.serial, &ok, set);
    }
    return 1;
}

} // namespace

QString fileTypeOf(const QString& fileName) {
    const QString suffix = fileName.right(3).toUpper();
    static const QStringList known = {QStringLiteral("THR"), QStringLiteral("THC"),
                                      QStringLiteral("THM"), QStringLiteral("TMC"),
                                      QStringLiteral("TFC")};
    return known.contains(suffix) ? suffix : QString();
}

int paletteFromName(const QString& name) {
    static const QStringList names = {QStringLiteral("gray"), QStringLiteral("iron"),
                                      QStringLiteral("arctic"), QStringLiteral("rainbow")};
    return int(names.indexOf(name));
}

bool serialFromName(const QString& name, ksDefines::serialContent& serial) {
    if (name == QLatin1String("nmea"))
        serial = ksDefines::NMEA;
    else if (name == QLatin1String("mavlink"))
        serial = ksDefines::MAVLink;
    else if (name == QLatin1String("md"))
        serial = ksDefines::MdDownlink;
    else
        return false;
    return true;
}

double resolutionFromName(const QString& name) {
    if (name == QLatin1String("none"))
        return 4.0;
    if (name == QLatin1String("high"))
        return 0.04;
    if (name == QLatin1String("low"))
        return 0.4;
    return -1.0;
}

Result probeFile(const Options& options) {
    const QString type = fileTypeOf(options.file);
    if (type.isEmpty())
        return failure(options.file, QStringLiteral("kalorix-probe: not a recorder file "
                                                    "(.THR, .THC, .THM, .TMC, .TFC): ") +
                                         options.file);
    if (type == QLatin1String("TFC"))
        return failure(options.file,
                       QStringLiteral("kalorix-probe: .%1 files are not read yet").arg(type));

    DataConverter converter;
    QImage image;
    bool ok = false;
    int frames = 0;
    QString correctionFailure;
    {
        ConsoleCapture capture;
        frames = loadFrame(converter, type, options, image, ok, correctionFailure);
        if (frames < 1) {
            QString message = capture.lastLine();
            if (message.isEmpty())
                message = isMovie(type) ? QStringLiteral("kalorix-probe: no frame found")
                                        : QStringLiteral("kalorix-probe: the file did not load");
            return failure(options.file, message);
        }
    }
    if (!correctionFailure.isEmpty())
        return failure(options.file, correctionFailure);
    if (options.frame < 1 || options.frame > frames)
        return failure(options.file, QStringLiteral("kalorix-probe: frame %1 is not in the file "
                                                    "(frames 1 to %2)")
                                         .arg(options.frame)
                                         .arg(frames));
    if (!options.rawOut.isEmpty() &&
        !writeRawPgm(options.rawOut, converter.getImageWidth(), converter.getImageHeight(),
                     converter.getRawBuffer()))
        return failure(options.file,
                       QStringLiteral("kalorix-probe: cannot write ") + options.rawOut);
    // A frame the program decodes but refuses to convert (too few rows or
    // columns) is neither shown nor exported: the probe says so in "ok", in
    // an "error" and in its exit status, whatever output was asked for.
    if (!isMovie(type))
        ok = ok && converter.checkImageParameters();
    if (!options.pngOut.isEmpty() && ok) {
        // Finished as the window finishes the frame it shows: the legend of
        // the converter's palette and window, temperatures only for a
        // T-linear step, not turned and not marked.
        kx::ConversionSettings shown;
        shown.colorMode = int(converter.getColorMode());
        shown.inverted = converter.getInverted();
        shown.rotation = 0;
        shown.legendVisible = options.legend;
        shown.kelvinPerCount = float(options.resolution);
        const autorange::RawWindow used{converter.getLowerRawValueBound(),
                                        converter.getUpperRawValueBound()};
        image = kx::FrameRenderer().finish(image, shown, used, std::nullopt);
        if (!image.save(options.pngOut, "PNG"))
            return failure(options.file,
                           QStringLiteral("kalorix-probe: cannot write ") + options.pngOut);
    }

    Result r;
    r.json.add(QStringLiteral("file"), options.file)
        .add(QStringLiteral("type"), type)
        .add(QStringLiteral("headerVersion"), converter.getFileVersion())
        .add(QStringLiteral("frames"), frames)
        .add(QStringLiteral("ffcFrames"), converter.getFFCFrames())
        .add(QStringLiteral("frameCounterGaps"), converter.getFrameCounterGaps())
        .add(QStringLiteral("frame"), frameObject(converter, options.frame, ok, options.serial));
    if (options.drift || options.nucFirst || options.nucLast || options.lensReference)
        r.json.add(QStringLiteral("corrections"), correctionsObject(converter));
    if (options.bitLane)
        r.json.add(QStringLiteral("bitLane"), bitLaneObject(converter.getRawBuffer()));

    if (!ok)
        r.json.add(
            QStringLiteral("error"),
            converter.checkImageParameters()
                ? QStringLiteral("kalorix-probe: frame %1 was not converted").arg(options.frame)
                : QStringLiteral("kalorix-probe: the program refuses frame %1: %2 x %3 "
                                 "values are too few to convert")
                      .arg(options.frame)
                      .arg(converter.getImageWidth())
                      .arg(converter.getImageHeight()));

    if (options.all) {
        std::vector<JsonObject> list;
        if (isMovie(type)) {
            ConsoleCapture capture;
            for (int n = 1; n <= frames; ++n) {
                converter.readFromCompressedVideoFileAndParseRAW(n, options.serial);
                list.push_back(
                    frameListEntry(converter, n, converter.checkImageParameters(), options.serial));
            }
        } else {
            list.push_back(frameListEntry(converter, 1, ok, options.serial));
        }
        r.json.add(QStringLiteral("frameList"), list);
    }
    r.ok = ok;
    return r;
}

bool writeRawPgm(const QString& path, uint32_t width, uint32_t height,
                 const std::vector<uint16_t>& raw) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes =
        "P5\n" + QByteArray::number(width) + ' ' + QByteArray::number(height) + "\n65535\n";
    const size_t count = size_t(width) * height;
    const int headerSize = bytes.size();
    bytes.resize(headerSize + int(2 * count));
    char* out = bytes.data() + headerSize;
    for (size_t k = 0; k < count; ++k) {
        const uint16_t v = k < raw.size() ? raw[k] : 0;
        out[2 * k] = char(v >> 8);
        out[2 * k + 1] = char(v & 0xFF);
    }
    return file.write(bytes) == bytes.size();
}

} // namespace probe
