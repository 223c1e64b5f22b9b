#pragma once

#include <QMetaType>

namespace ksDefines {

// What the main window currently shows.
enum FileTypes { RawRecording = 0, Image = 1 };

// How the serial data block of each frame is parsed.
enum serialContent { NoSerialData = 0, NMEA = 1, MdDownlink = 2, MAVLink = 3 };

} // namespace ksDefines

Q_DECLARE_METATYPE(ksDefines::FileTypes)
Q_DECLARE_METATYPE(ksDefines::serialContent)
