#include "synth/Synth.h"
#include "synth/SynthRandom.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Keeps a moving object inside [low, high] by bouncing it off the borders.
double bounce(double x, double low, double high) {
    const double span = high - low;
    if (span <= 0)
        return low;
    double m = std::fmod(x - low, 2 * span);
    if (m < 0)
        m += 2 * span;
    return low + (m <= span ? m : 2 * span - m);
}

constexpr int kTextureCell = 8;

// A value in [-1, 1] per lattice point of the texture.
double latticeValue(uint64_t seed, int64_t i, int64_t j) {
    SynthRandom r(mixSeed(seed, uint64_t(i) * 0x9E3779B1u, uint64_t(j)));
    return r.uniform(-1.0, 1.0);
}

// Value noise: the lattice values interpolated bilinearly between cells.
double textureAt(uint64_t seed, double x, double y) {
    const double fx = x / kTextureCell;
    const double fy = y / kTextureCell;
    const int64_t i = int64_t(std::floor(fx));
    const int64_t j = int64_t(std::floor(fy));
    const double tx = fx - double(i);
    const double ty = fy - double(j);
    const double top = latticeValue(seed, i, j) * (1 - tx) + latticeValue(seed, i + 1, j) * tx;
    const double bottom =
        latticeValue(seed, i, j + 1) * (1 - tx) + latticeValue(seed, i + 1, j + 1) * tx;
    return top * (1 - ty) + bottom * ty;
}

struct Blob {
    double x0, y0, vx, vy, sigma, peak;
};

} // namespace

std::vector<uint16_t> renderScene(const SceneOptions& options, int frameIndex) {
    const int width = options.width;
    const int height = options.height;
    if (width < 1 || height < 1)
        return {};

    // Everything except the noise depends on the seed only, so a frame
    // rendered again with another noise variant shows the same objects.
    SynthRandom layout(mixSeed(options.seed, 0x5CE4E));
    const double ripplePhase = layout.uniform(0, 2 * kPi);
    const double rippleCycles = layout.uniform(0.6, 1.6);
    std::vector<Blob> blobs;
    for (int i = 0; i < std::max(0, options.objects); ++i) {
        Blob b;
        b.x0 = layout.uniform(0.1, 0.9) * width;
        b.y0 = layout.uniform(0.1, 0.9) * height;
        b.vx = layout.uniform(0.5, 3.0) * (layout.next() & 1 ? 1 : -1);
        b.vy = layout.uniform(0.3, 2.0) * (layout.next() & 1 ? 1 : -1);
        b.sigma = layout.uniform(0.03, 0.08) * width;
        b.peak = options.objectRaw * layout.uniform(0.6, 1.0);
        blobs.push_back(b);
    }

    // The background, the shading and each blob separate into a column part
    // and a row part, so a frame costs a few operations per pixel.
    const double cx = (width - 1) / 2.0;
    const double cy = (height - 1) / 2.0;
    std::vector<double> colPart(size_t(width), 0.0);
    std::vector<double> rowPart(size_t(height), 0.0);
    for (int x = 0; x < width; ++x) {
        const double dx = cx > 0 ? (x - cx) / cx : 0.0;
        colPart[size_t(x)] = 0.15 * options.gradientRaw *
                                 std::sin(2 * kPi * rippleCycles * x / width + ripplePhase) -
                             0.5 * options.vignettingRaw * dx * dx;
    }
    for (int y = 0; y < height; ++y) {
        const double dy = cy > 0 ? (y - cy) / cy : 0.0;
        const double t = height > 1 ? double(y) / (height - 1) - 0.5 : 0.0;
        rowPart[size_t(y)] = options.backgroundRaw + options.driftRaw + options.gradientRaw * t -
                             0.5 * options.vignettingRaw * dy * dy;
    }
    std::vector<std::vector<double>> blobCols, blobRows;
    for (const Blob& b : blobs) {
        const double x = bounce(b.x0 + b.vx * frameIndex, 0, width - 1);
        const double y = bounce(b.y0 + b.vy * frameIndex, 0, height - 1);
        const double s2 = 2 * b.sigma * b.sigma;
        std::vector<double> cols(static_cast<size_t>(width));
        std::vector<double> rows(static_cast<size_t>(height));
        for (int i = 0; i < width; ++i)
            cols[size_t(i)] = b.peak * std::exp(-(i - x) * (i - x) / s2);
        for (int j = 0; j < height; ++j)
            rows[size_t(j)] = std::exp(-(j - y) * (j - y) / s2);
        blobCols.push_back(std::move(cols));
        blobRows.push_back(std::move(rows));
    }

    SynthRandom noise(mixSeed(options.seed, uint64_t(uint32_t(frameIndex)) + 1,
                              uint64_t(options.noiseVariant) + 1));
    // The texture and the fixed pattern depend on the seed only.
    const uint64_t textureSeed = mixSeed(options.seed, 0x7E47);
    SynthRandom fixedPattern(mixSeed(options.seed, 0xF1BED));
    std::vector<uint16_t> raw(size_t(width) * size_t(height));
    size_t k = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, ++k) {
            double v = rowPart[size_t(y)] + colPart[size_t(x)];
            for (size_t b = 0; b < blobs.size(); ++b)
                v += blobCols[b][size_t(x)] * blobRows[b][size_t(y)];
            if (options.textureRaw > 0)
                v += options.textureRaw * textureAt(textureSeed,
                                                    x + options.textureStepX * frameIndex,
                                                    y + options.textureStepY * frameIndex);
            if (options.fixedPatternRaw > 0)
                v += options.fixedPatternRaw * fixedPattern.uniform(-1.0, 1.0);
            if (options.noiseRaw > 0)
                v += options.noiseRaw * noise.gaussian();
            v = std::floor(v + 0.5);
            uint16_t value = uint16_t(std::clamp(v, 2.0, 16383.0));
            if (options.forcedOneBit >= 0 && options.forcedOneBit < 16)
                value = uint16_t(value | (1u << options.forcedOneBit));
            if (options.allEven)
                value = uint16_t(value & ~1u);
            raw[k] = value;
        }
    }
    return raw;
}

SceneOptions uniformShadedScene(int width, int height, double backgroundRaw, double shadingRaw) {
    SceneOptions o;
    o.width = width;
    o.height = height;
    o.backgroundRaw = backgroundRaw;
    o.gradientRaw = 0.0;
    o.objects = 0;
    o.vignettingRaw = shadingRaw;
    o.noiseRaw = 0.0;
    return o;
}

} // namespace synth
