#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Lens compensation: a frame of a uniform scene becomes the reference, and
// each later frame is raised by what the reference pixel fell short of the
// reference's maximum.
namespace lens {

// Reference value minus maxRaw per pixel (0 or negative for a frame whose
// maximum is maxRaw).
std::vector<int32_t> buildMap(const std::vector<uint16_t>& reference, uint32_t maxRaw);

} // namespace lens
