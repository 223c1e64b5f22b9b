#pragma once

#include <cstddef>
#include <cstdint>

// Decoder of the "md downlink" text records of a flight controller. A record
// is one line "#<n>,<field>,<field>,...,<checksum>" ended by CR LF; a frame of
// records begins with record 1. The decoder checks each line and keeps the
// values of every record in a _DLDEC; the caller takes position (record 5,
// Earth-centred), GPS time (record 4) and attitude (record 7) from it.

// Marks a floating-point value that no record has set yet.
constexpr double kDldecUnset = 999999.9;

struct _DLDEC {
    uint32_t receivedMask;     // bit n for every line with record number n (0..31)
    uint32_t lastRecordNumber; // number of the last line analysed
    uint32_t gpsUnixTime;      // seconds since 1970, from record 4

    // record 1
    uint8_t rec1Field1;
    uint32_t rec1Field2;
    uint8_t rec1Fields3to7[5];
    double rec1Field8; // field 8 / 1000
    uint32_t rec1Field9;
    uint32_t rec1Field10;

    double record2[14];
    double record3[4];   // fields 1, 2, 4, 3
    uint32_t record4[4]; // [1] GPS time of week in ms, [2] GPS week

    // record 5: Earth-centred, Earth-fixed position in centimetres
    int32_t ecefX;
    int32_t ecefY;
    int32_t ecefZ;
    double rec5Field4;
    uint32_t rec5Field5;

    double record6[4];
    double attitude[3]; // roll, pitch, yaw in degrees
    double record8[3];  // field 2, field 1, field 3 / 100
    double record9[3];
    double record10[3];

    // record 11
    uint32_t rec11Field3;
    uint8_t rec11Field2;
    uint8_t rec11Field1;
};

// Sets the starting values (zeros, 999 as the last record number, kDldecUnset
// for every floating-point value). 0 for a null pointer, else 1.
int DLDInitShadow(_DLDEC* dec);

// Decodes every CR LF-ended line of a zero-terminated text; text after the
// last CR LF is not decoded. 1 when every line was accepted (also when there
// is no line at all), 0 at the first rejected line.
int decodeDownlink(char* text, _DLDEC* dec);
// The same over length bytes (stopping early at a zero byte). linesAccepted,
// when given, receives the number of lines accepted.
int decodeDownlinkText(const char* text, size_t length, _DLDEC* dec, int* linesAccepted);

// Checks one zero-terminated record line (at most its first 255 characters are
// looked at) and stores its values. 2 when accepted, 0 when rejected; a
// rejection prints "dldec: No Frame!", "dldec: Checksum Error!" or
// "dldec: No Number!" to standard output (no line end) where it applies.
int AnalyzeDownlinkDecoder(char* line, _DLDEC* dec);

// The checksum test of a zero-terminated line that begins with its "#": 255
// minus the 8-bit sum of the bytes from "#" through the last comma must equal
// the number after that comma.
bool CheckFrameContent(char* line);

// Copies the text from 'from' up to the next comma or zero byte into field
// (at most fieldSize - 1 characters, always zero-terminated when fieldSize > 0)
// and returns the position after the comma, or null when no comma follows.
char* ScanNextString(char* from, char* field, size_t fieldSize);

// Keeps the decoder's console lines (rejections and the position line) off
// the console on the calling thread while it lives: a reader that walks a
// whole movie in the background must neither print a line per frame nor
// write to the console from another thread.
class DownlinkConsoleSilence {
public:
    DownlinkConsoleSilence();
    ~DownlinkConsoleSilence();
    DownlinkConsoleSilence(const DownlinkConsoleSilence&) = delete;
    DownlinkConsoleSilence& operator=(const DownlinkConsoleSilence&) = delete;
};
// Earth-centred position (whole metres) to WGS 84 latitude and longitude in
// degrees (Bowring); prints the inputs and results to standard output.
void ECEF_to_WGS84(_DLDEC* dec, double* latitude, double* longitude);

// gpsUnixTime broken down in UTC, as "%Y-%m-%d" and "%H:%M:%S".
void GPS_TIME_to_Date_String(_DLDEC* dec, char* out, int size);
void GPS_TIME_to_Time_String(_DLDEC* dec, char* out, int size);

// Finds the last complete frame of a block: the text from the second-to-last
// "#1," up to the last one. The block is read up to its first zero byte or
// length bytes. False with fewer than two "#1," or when they lie 4,095 bytes or
// more apart.
bool findLastDownlinkFrame(const char* block, size_t length, size_t& begin, size_t& end);
