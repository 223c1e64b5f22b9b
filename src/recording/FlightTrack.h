#pragma once

#include "base/ksDefines.h"
#include "telemetry/MAVService.h"

#include <QIODevice>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// The flight track of a movie: the position of every frame, read from the
// serial data blocks with the same parsers the frame decode uses. It reads the
// blocks alone (a few kilobytes per frame, at the offsets of the movie index)
// and decodes no pixels, so a whole flight is read in a fraction of a second
// on a device of its own while the window goes on showing frames.
namespace flighttrack {

struct Position {
    double latitude = 0.0;  // degrees, north positive
    double longitude = 0.0; // degrees, east positive
    double altitude = 0.0;  // metres
    bool valid = false;     // false: the block held no position
};

// Positions from consecutive serial blocks of one kind. A MAVLink frame cut
// at the end of one block is finished by the next one, so the reader keeps
// the framing state from block to block; a frame whose position message is
// finished by the next block gets its position from that block. An NMEA
// block without a fix (latitude and longitude both 0) has no position.
class BlockReader {
public:
    explicit BlockReader(ksDefines::serialContent kind, int hourOffset = 0)
        : m_kind(kind)
        , m_hourOffset(hourOffset) {}
    Position read(const char* data, size_t length);

private:
    ksDefines::serialContent m_kind;
    int m_hourOffset;
    MAVFramingState m_mavlink;
    std::vector<char> m_scratch; // the NMEA parser rewrites its block
};

// One position per frame of a movie whose frames start at offsets (file
// order), reading each frame's serial block of the given header version
// from device (sizes bound the read to the frame). False, with out left
// empty, when cancel turns true meanwhile, the version has no serial block
// or the kind is NoSerialData; a frame whose block cannot be read has an
// invalid position.
bool readTrack(QIODevice& device, const std::vector<uint64_t>& offsets,
               const std::vector<int64_t>& sizes, int version, ksDefines::serialContent kind,
               std::vector<Position>& out, const std::atomic<bool>* cancel = nullptr);

// Metres east and north of a reference point on a local flat projection
// (equirectangular around the reference latitude): exact enough over the few
// kilometres of a survey flight to draw it and to find the nearest frame.
struct LocalPoint {
    double east = 0.0;
    double north = 0.0;
};
LocalPoint toLocal(double latitude, double longitude, double referenceLatitude,
                   double referenceLongitude);
void fromLocal(const LocalPoint& point, double referenceLatitude, double referenceLongitude,
               double& latitude, double& longitude);

// The 1-based number of the frame whose position lies nearest to the point
// (the first of equally near ones); 0 when no frame has a position.
int nearestFrame(const std::vector<Position>& track, double latitude, double longitude);

} // namespace flighttrack
