#include "conversion/RgbHsvConversions.h"

#include <algorithm>
#include <cmath>

void RgbHsvConversions::RGBtoHSV(float& r, float& g, float b, float& h, float& s, float& v) {
    const float maxC = std::max(std::max(r, g), b);
    const float minC = std::min(std::min(r, g), b);
    const float delta = maxC - minC;
    if (delta > 0.0f) {
        if (maxC == r)
            h = 60.0f * std::fmod((g - b) / delta, 6.0f);
        else if (maxC == g)
            h = 60.0f * ((b - r) / delta + 2.0f);
        else
            h = 60.0f * ((r - g) / delta + 4.0f);
        s = maxC > 0.0f ? delta / maxC : 0.0f;
    } else {
        h = 0.0f;
        s = 0.0f;
    }
    v = maxC;
    if (h < 0.0f)
        h += 360.0f;
}

void RgbHsvConversions::HSVtoRGB(float& r, float& g, float& b, float& h, float& s, float& v) {
    const float chroma = v * s;
    const float sector = std::fmod(h / 60.0f, 6.0f);
    const float x = chroma * (1.0f - std::fabs(std::fmod(sector, 2.0f) - 1.0f));
    const float m = v - chroma;
    if (sector >= 0.0f && sector < 1.0f) {
        r = chroma, g = x, b = 0.0f;
    } else if (sector >= 1.0f && sector < 2.0f) {
        r = x, g = chroma, b = 0.0f;
    } else if (sector >= 2.0f && sector < 3.0f) {
        r = 0.0f, g = chroma, b = x;
    } else if (sector >= 3.0f && sector < 4.0f) {
        r = 0.0f, g = x, b = chroma;
    } else if (sector >= 4.0f && sector < 5.0f) {
        r = x, g = 0.0f, b = chroma;
    } else if (sector >= 5.0f && sector < 6.0f) {
        r = chroma, g = 0.0f, b = x;
    } else {
        // Negative or NaN hue: no sector, only the grey component.
        r = g = b = 0.0f;
    }
    r += m;
    g += m;
    b += m;
}
