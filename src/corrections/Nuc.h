#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The offset map of motion-based non-uniformity compensation. Frames of a
// moving camera are summed; their mean keeps the shading of the optics and the
// sensor while the scene averages out. Only the smooth part of that mean is
// kept (a coarse grid of window averages, interpolated back), so neither the
// scene's remaining detail nor the sensor's fixed pattern is learnt, and the
// map is referred to the image centre, which therefore stays where it was.
class NUC {
public:
    NUC(int width = 640, int height = 512);

    // A new map of width x height zeros.
    void resetOffsetMap(int width, int height);
    // Adds one frame to the accumulators; a frame of another size is refused
    // with "NUC: Vector size mismatch" and not counted.
    bool addToNucOffsetMap(const std::vector<uint16_t>& raw);
    int framesAdded() const { return m_framesAdded; }
    // Each accumulator divided by frameCount, then the image mean removed.
    void calcMean(int frameCount);
    // Replaces the map by its low-frequency part; afterPoint runs after every
    // grid point (to keep a window responsive).
    void blurOffsetMap(int radius, const std::function<void()>& afterPoint = {});
    // Refers the map to the mean of the 20 x 20 block around the centre.
    void normalizeOffsetMap();

    uint32_t correctionOffset(int pixelIndex) const;
    int index(int x, int y) const { return y * m_width + x; }
    static int scale(int value, int inLow, int inHigh, int outLow, int outHigh);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The accumulators (after calcMean: the offsets).
    const std::vector<int64_t>& map() const { return m_map; }
    // The map as the table the frame decoder subtracts.
    std::vector<int32_t> offsets() const;

private:
    int m_width = 0;
    int m_height = 0;
    int m_framesAdded = 0;
    std::vector<int64_t> m_map;
    // Frames not yet moved to the map: 65,536 frames of 65,535 fit 32 bits.
    static constexpr int kPendingFrames = 65536;
    std::vector<uint32_t> m_pending;
    int m_pendingFrames = 0;
    void flushPending();
};
