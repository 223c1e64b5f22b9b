#pragma once

// Frames of a simulated flight for the mapping exports; the tools that
// check them are in ExportTools.h.

#include "ExportTools.h"
#include "base/DecodedFrame.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QtTest>

namespace mapping {

// Frame n (1-based) of a simulated flight over the synthesiser's field: its
// scene as raw values and its telemetry as the parsers give it, with the
// date in the form of the chosen telemetry (downlink: "yyyy-MM-dd").
inline kx::DecodedFrame flightFrame(int n, int width = 640, int height = 512,
                                    synth::Telemetry kind = synth::Telemetry::Nmea) {
    synth::SceneOptions scene;
    scene.width = width;
    scene.height = height;
    kx::DecodedFrame frame;
    frame.frameNumber = n;
    frame.raw = synth::renderScene(scene, n - 1);
    frame.width = uint32_t(width);
    frame.height = uint32_t(height);
    frame.partNumber = QStringLiteral("4664001900sr000"); // 640 sensor, 19 mm
    frame.focalLengthMM = 19;
    frame.sensorWidthMM = 10.88f;
    frame.sensorHeightMM = 8.704f;
    frame.tempFPACelsius = 31.4;
    frame.tempHousingCelsius = 29.87;
    const synth::FlightState s = synth::flightStateAt(synth::FlightOptions(), (n - 1) / 9.0);
    kx::Telemetry& t = frame.telemetry;
    t.latitude = s.latitude;
    t.longitude = s.longitude;
    t.altitude = s.altitudeM;
    t.satellites = s.satellites;
    t.trackHeading = float(s.trackDeg);
    t.magneticHeading = float(s.magneticDeg);
    t.roll = s.rollDeg;
    t.pitch = s.pitchDeg;
    t.yaw = s.yawDeg;
    t.date =
        s.utc.date().toString(kind == synth::Telemetry::MdDownlink ? QStringLiteral("yyyy-MM-dd")
                                                                   : QStringLiteral("dd.MM.yyyy"));
    t.time = s.utc.time().toString(QStringLiteral("hh:mm:ss"));
    frame.serialBlock = synth::nmeaBlock(s, "GP");
    return frame;
}

// Frames 1 to count of a simulated 640 x 512 flight recorded with the given
// telemetry, as the recorder's movie file is decoded and parsed: the real
// decoder and telemetry parsers fill them.
inline std::vector<kx::DecodedFrame> decodedFlight(synth::Telemetry kind, int count) {
    synth::MovieOptions o;
    o.frames = count;
    o.compressed = true;
    o.telemetry = kind;
    o.partNumber = "4664001900sr000"; // 640 sensor, 19 mm
    const QString name = QStringLiteral("flight%1.TMC").arg(int(kind));
    const QString path = testsupport::scratchPath(name);
    std::vector<kx::DecodedFrame> frames;
    if (!synth::writeFile(path, synth::makeMovie(o)))
        return frames;
    const ksDefines::serialContent serial = kind == synth::Telemetry::Nmea ? ksDefines::NMEA
                                            : kind == synth::Telemetry::MAVLink
                                                ? ksDefines::MAVLink
                                                : ksDefines::MdDownlink;
    testsupport::Recorder quiet; // the decoder's console lines
    DataConverter converter;
    if (converter.parseVideoFile(path, true, false) != count)
        return frames;
    for (int n = 1; n <= count; ++n) {
        kx::DecodedFrame frame;
        if (!converter.decodeFrame(path, n, serial, frame))
            return {};
        frames.push_back(frame);
    }
    return frames;
}

inline QString scratchFile(const QString& name) {
    const QString path = testsupport::scratchPath(name);
    QFile::remove(path);
    return path;
}

} // namespace mapping
