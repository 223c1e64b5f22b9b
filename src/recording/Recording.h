#pragma once

#include "base/DecodedFrame.h"
#include "base/ksDefines.h"
#include "recording/FrameDecoder.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <future>
#include <memory>
#include <utility>
#include <vector>

// What a frame read needs beside the frame number: the kind its serial block is
// parsed as, the hour offset of NMEA times, and the correction tables, which
// the caller owns and which are read during the call only.
struct FrameReadOptions {
    ksDefines::serialContent serial = ksDefines::NoSerialData;
    int hourOffset = 0;
    framedecoder::Corrections corrections;
};

// The buffers a frame read works in: the frame's stored bytes and the word
// stream the decoder reads. The caller keeps them from frame to frame, so that
// reading 640 x 512 frames at a thousand a second allocates nothing.
struct FrameReadScratch {
    // The frame's bytes, held in 16-bit words: on a little-endian host the
    // pixel words of an uncompressed frame are decoded where they were read.
    std::vector<uint16_t> frame;
    std::vector<uint16_t> words; // the expanded stream of a compressed frame
};

// One open recorder file and its index: what a successful open builds and what
// frames are read from. The converter replaces its recording whole, and only
// when an open succeeds, so a refused file leaves the one before it, with its
// index, in place.
struct Recording {
    // A frame of this recorder is well below 1 MiB; a "frame" of more than
    // this is a file without further signatures (a damaged or foreign file)
    // and is not loaded into memory.
    static constexpr int64_t kLargestFrameBytes = int64_t(64) << 20;

    Recording() = default;
    // Opens fileName for reading; isOpen() says whether that worked.
    explicit Recording(const QString& fileName);

    QString fileName;
    int32_t version = 0;
    bool compressed = false;
    bool fusion = false;
    // Frame index of a movie (entry i-1 describes frame i); empty for a
    // single-frame file, which has no index.
    std::vector<uint64_t> frameOffsets;
    std::vector<int64_t> frameSizes;
    std::vector<int32_t> ffcFrames;        // 1-based
    std::vector<int32_t> frameCounterGaps; // 0-based, as "Bad FC: " reported them
    // The counter word of every frame as the index scan read it, whether or
    // not the check ran.
    std::vector<int32_t> frameCounters;
    // Daylight index of a fusion recording (entry i-1 describes block i).
    std::vector<uint64_t> daylightOffsets;
    std::vector<int64_t> daylightSizes;
    std::vector<int32_t> daylightOfFrame; // per thermal frame, 0-based block or -1
    // The first daylight block's picture (ok, picture), decoded on another
    // thread while the scan reads the rest of the file; the first request
    // for that block takes it.
    std::future<std::pair<bool, QImage>> firstDaylightPicture;
    std::unique_ptr<QFile> file;

    bool isOpen() const { return file && file->isOpen(); }
    int frameCount() const;
    // A movie or fusion recording with frames: what the corrections and the
    // split work on.
    bool isMovie() const;
    // Byte offset and length of frame n (1-based); 0 outside the index.
    uint64_t frameOffset(int n) const;
    int64_t frameSize(int n) const;
    // Reads the stored bytes of frame n (1-based) into the start of buffer,
    // which grows to hold them; the bytes read, or -1.
    qint64 readFrame(int n, std::vector<uint16_t>& buffer) const;

    // Reads frame n (1-based) of a movie or fusion recording: its stored
    // bytes once, the header and serial block from those bytes, the pixel
    // words (expanded when compressed) decoded with the corrections. frame
    // comes in as the frame read before it (blank for none), whose raw
    // storage is reused; what this frame does not state keeps that frame's
    // value: telemetry fields the chosen parser leaves alone, the part number
    // under a header without one, the stream frame number of a frame without
    // a side value, the serial block of version 0 and the mean of an
    // undecodable frame. False, with no raw values and no size in frame, when
    // frame n is outside the index or larger than kLargestFrameBytes (nothing
    // else changed), or when its bytes do not hold its whole header (its
    // position, time, attitude and temperatures cleared); true when the
    // decoder ran, which may still leave an undecodable frame
    // (isValid() false). It seeks the recording's one file handle, and
    // MAVLink blocks go through the program's framing state: one thread at a
    // time.
    bool read(int n, const FrameReadOptions& options, FrameReadScratch& scratch,
              kx::DecodedFrame& frame) const;
    // The same for one read from a blank frame, in buffers of its own; a
    // frame that cannot be read comes back invalid.
    kx::DecodedFrame read(int n, const FrameReadOptions& options) const;
};
