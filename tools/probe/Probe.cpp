#include "Probe.h"

#include "app/Report.h"
#include "recording/DataConverter.h"

#include <QFile>
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

JsonObject frameObject(const DataConverter& converter, int number, bool ok) {
    JsonObject hotspot;
    hotspot.add(QStringLiteral("column"), converter.getHotspotColumn())
        .add(QStringLiteral("row"), converter.getHotspotRow())
        .add(QStringLiteral("value"), converter.getHotspotValue());
    JsonObject frame;
    frame.add(QStringLiteral("number"), number)
        .add(QStringLiteral("ok"), ok)
        .add(QStringLiteral("width"), converter.getImageWidth())
        .add(QStringLiteral("height"), converter.getImageHeight())
        .add(QStringLiteral("min"), converter.getFrameMinRaw())
        .add(QStringLiteral("max"), converter.getFrameMaxRaw())
        .add(QStringLiteral("mean"), converter.getMeanRaw())
        .add(QStringLiteral("hotspot"), hotspot)
        .add(QStringLiteral("partNumber"), converter.getPartNumber())
        .add(QStringLiteral("tempFPA"), converter.getTempFPA())
        .add(QStringLiteral("tempHousing"), converter.getTempHousing())
        .add(QStringLiteral("serialBytes"), converter.getSerialDataSize());
    return frame;
}

} // namespace

QString fileTypeOf(const QString& fileName) {
    const QString suffix = fileName.right(3).toUpper();
    static const QStringList known = {QStringLiteral("THR"), QStringLiteral("THC"),
                                      QStringLiteral("THM"), QStringLiteral("TMC"),
                                      QStringLiteral("TFC")};
    return known.contains(suffix) ? suffix : QString();
}

Result probeFile(const Options& options) {
    const QString type = fileTypeOf(options.file);
    if (type.isEmpty())
        return failure(options.file, QStringLiteral("kalorix-probe: not a recorder file "
                                                    "(.THR, .THC, .THM, .TMC, .TFC): ") +
                                         options.file);
    if (type != QLatin1String("THR"))
        return failure(options.file,
                       QStringLiteral("kalorix-probe: .%1 files are not read yet").arg(type));

    DataConverter converter;
    int frames = 0;
    bool loaded = false;
    {
        ConsoleCapture capture;
        loaded = converter.loadFromRawFile(options.file, options.serial);
        if (!loaded) {
            const QString message = capture.lastLine();
            return failure(options.file,
                           message.isEmpty()
                               ? QStringLiteral("kalorix-probe: the file did not load")
                               : message);
        }
        frames = 1;
    }
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

    Result r;
    r.json.add(QStringLiteral("file"), options.file)
        .add(QStringLiteral("type"), type)
        .add(QStringLiteral("headerVersion"), converter.getFileVersion())
        .add(QStringLiteral("frames"), frames)
        .add(QStringLiteral("frame"), frameObject(converter, options.frame, loaded));
    r.ok = true;
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
