#include "synth/Synth.h"
#include "synth/SynthRandom.h"

#include <algorithm>

namespace synth {

std::vector<uint16_t> makeWordStream(const std::vector<uint16_t>& raw, int width, int height,
                                     const StreamOptions& options) {
    if (width < 1 || height < 1 || raw.size() != size_t(width) * size_t(height))
        return {};
    SynthRandom blanking(mixSeed(options.seed, 0xB1A4));
    const uint16_t separator = uint16_t(options.separatorWord & 0x7FFF);
    const int runMin = std::max(0, options.blankingMin);
    const int runMax = std::max(runMin, options.blankingMax);
    std::vector<uint16_t> words;
    words.reserve(raw.size() + size_t(height + 1) * size_t(runMax));
    auto blankingRun = [&] {
        if (options.noBlanking)
            return;
        words.insert(words.end(), size_t(blanking.between(runMin, runMax)), separator);
    };

    for (int row = 0; row < height; ++row) {
        blankingRun();
        const uint16_t* values = raw.data() + size_t(row) * size_t(width);
        int count = width;
        if (row == options.shortRow)
            count = std::max(0, count - 7);
        const bool last = row == height - 1;
        if (last && options.cutLastRow)
            count = std::max(0, count - 3);
        for (int i = 0; i < count; ++i)
            words.push_back(uint16_t(0xC000 | (values[i] & 0x3FFF)));
        if (row == options.longRow && count > 0)
            words.insert(words.end(), 5, words.back());
    }
    if (!options.cutLastRow)
        blankingRun();
    return words;
}

} // namespace synth
