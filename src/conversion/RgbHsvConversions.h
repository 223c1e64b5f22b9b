#pragma once

// The hexcone HSV model used by the lossless colour encoding. Hue in degrees
// 0 <= H < 360, saturation, value and the colour channels 0..1, all single
// precision so that an encoded colour decodes to the same raw value everywhere.
class RgbHsvConversions {
public:
    static void RGBtoHSV(float& r, float& g, float b, float& h, float& s, float& v);
    static void HSVtoRGB(float& r, float& g, float& b, float& h, float& s, float& v);
};
