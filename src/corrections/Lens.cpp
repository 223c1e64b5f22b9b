#include "corrections/Lens.h"

namespace lens {

std::vector<int32_t> buildMap(const std::vector<uint16_t>& reference, uint32_t maxRaw) {
    std::vector<int32_t> map(reference.size());
    for (size_t k = 0; k < reference.size(); ++k)
        map[k] = int32_t(reference[k]) - int32_t(maxRaw);
    return map;
}

} // namespace lens
