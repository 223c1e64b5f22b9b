#pragma once

// Frames and picture makers for the export tests, and the tools users read
// exported files with (exiftool, exiv2, tiffinfo, ffprobe, ffmpeg, python3). scripts/install-deps
// installs the tools; a missing one fails the test.

#include "base/DecodedFrame.h"
#include "synth/Synth.h"

#include <QByteArray>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QtEndian>
#include <QtTest>

namespace exporttools {

struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ToolResult runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolResult result;
    result.started = process.waitForStarted(10000);
    if (!result.started)
        return result;
    process.closeWriteChannel();
    process.waitForFinished(120000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// The tags exiftool reads from file with -n (numbers as stored, signed
// composite GPS values), as one JSON object.
inline QJsonObject exiftool(const QString& file, const QStringList& tags) {
    QStringList args{QStringLiteral("-n"), QStringLiteral("-j")};
    for (const QString& tag : tags)
        args << QLatin1Char('-') + tag;
    const ToolResult run = runTool(QStringLiteral("exiftool"), args << file);
    if (!run.started)
        qFatal("exiftool is missing (scripts/install-deps installs it)");
    return QJsonDocument::fromJson(run.out).array().at(0).toObject();
}

// Little-endian fields of a written file.
inline uint16_t le16(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
inline uint32_t le32(const QByteArray& bytes, int at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// A frame of the simulator's scene (14-bit counts around 7400, about 23 °C
// at 0.04 K per count).
inline kx::DecodedFrame sceneFrame(int width, int height, int frameIndex = 0) {
    synth::SceneOptions scene;
    scene.width = width;
    scene.height = height;
    kx::DecodedFrame frame;
    frame.raw = synth::renderScene(scene, frameIndex);
    frame.width = uint32_t(width);
    frame.height = uint32_t(height);
    frame.partNumber = QStringLiteral("4640019S R01234");
    frame.frameNumber = frameIndex + 1;
    return frame;
}

inline kx::DecodedFrame frameOf(uint32_t width, uint32_t height, std::vector<uint16_t> raw) {
    kx::DecodedFrame frame;
    frame.width = width;
    frame.height = height;
    frame.raw = std::move(raw);
    return frame;
}

// A colour picture of the frame: the counts stretched over its own range
// into a red-to-yellow ramp (the palettes are not what is tested here).
inline QImage pictureOf(const kx::DecodedFrame& frame) {
    QImage picture(int(frame.width), int(frame.height), QImage::Format_RGB888);
    uint16_t low = 65535;
    uint16_t high = 0;
    for (uint16_t raw : frame.raw) {
        low = qMin(low, raw);
        high = qMax(high, raw);
    }
    const int span = qMax(1, high - low);
    for (uint32_t y = 0; y < frame.height; ++y) {
        uchar* line = picture.scanLine(int(y));
        for (uint32_t x = 0; x < frame.width; ++x) {
            const int level = (frame.raw[y * frame.width + x] - low) * 255 / span;
            line[3 * x] = uchar(qMin(255, 64 + level));
            line[3 * x + 1] = uchar(level);
            line[3 * x + 2] = uchar(255 - level);
        }
    }
    return picture;
}

// Frame n (0-based) of a picture or movie file as ffmpeg decodes it, RGB
// bytes row by row.
inline QByteArray ffmpegFrame(const QString& file, int n) {
    const ToolResult result =
        runTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                 QStringLiteral("-vf"), QStringLiteral("select=eq(n\\,%1)").arg(n),
                 QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                 QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                 QStringLiteral("-")});
    if (!result.started || result.exitCode != 0 || !result.err.isEmpty())
        return QByteArray();
    return result.out;
}

// Mean absolute difference per byte between a decoded RGB frame and a picture.
inline double meanDifference(const QByteArray& rgb, const QImage& picture) {
    const QImage expected = picture.convertToFormat(QImage::Format_RGB888);
    const int rowBytes = 3 * expected.width();
    if (rgb.size() != rowBytes * expected.height())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < expected.height(); ++y) {
        const uchar* line = expected.constScanLine(y);
        const auto* decoded = reinterpret_cast<const uchar*>(rgb.constData()) + y * rowBytes;
        for (int i = 0; i < rowBytes; ++i)
            sum += std::abs(int(line[i]) - int(decoded[i]));
    }
    return sum / rgb.size();
}

} // namespace exporttools
