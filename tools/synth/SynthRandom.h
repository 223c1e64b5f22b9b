#pragma once

// The simulator's own random numbers: a splitmix64 generator and integer-only
// derivations, so a seed gives the same file with every compiler and standard
// library (the distributions of <random> differ between implementations).

#include <cstdint>

namespace synth {

class SynthRandom {
public:
    explicit SynthRandom(uint64_t seed)
        : m_state(seed) {}

    uint64_t next() {
        m_state += 0x9E3779B97F4A7C15ULL;
        uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform integer in [low, high]; the modulo bias is far below anything a
    // test could see for the small ranges used here.
    int between(int low, int high) {
        if (high <= low)
            return low;
        return low + int(next() % uint64_t(high - low + 1));
    }
    // Approximately normal with mean 0 and deviation 1: the sum of four
    // uniform 16-bit parts of one draw (Irwin-Hall), cheap enough for every
    // pixel of a movie.
    double gaussian() {
        const uint64_t r = next();
        const uint32_t sum = uint32_t(r & 0xFFFF) + uint32_t((r >> 16) & 0xFFFF) +
                             uint32_t((r >> 32) & 0xFFFF) + uint32_t(r >> 48);
        // Four uniforms on [0, 65535]: mean 131070, deviation 65536 / sqrt(3).
        return (double(sum) - 131070.0) * (1.7320508075688772 / 65536.0);
    }

private:
    uint64_t m_state;
};

// Mixes several values into one seed, so neighbouring seeds and frame indexes
// give unrelated sequences.
inline uint64_t mixSeed(uint64_t a, uint64_t b, uint64_t c = 0) {
    SynthRandom r(a * 0xD1B54A32D192ED03ULL ^ (b + 0x8CB92BA72F3D8DD7ULL) * 0xAEF17502108EF2D9ULL ^
                  (c + 0x632BE59BD9B4E019ULL) * 0x9E3779B97F4A7C15ULL);
    return r.next();
}

} // namespace synth
