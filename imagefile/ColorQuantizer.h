#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imagefile/Picture.h"

// Reduces a 32-bit picture to 256 colours.
class CColorQuantizer {
public:
    enum PaletteMode { MedianCut = 0, Popularity = 1, Fixed = 2 };
    enum DitherType { Nearest = 0 };

    CColorQuantizer(int paletteMode, int ditherType);

    // Every dither type maps each pixel to its nearest entry for now.
    int GetDitherType() const { return m_ditherType; }

    // Fills dest (already created as 8 bpp of the source's size) from the 32-bit source.
    void Quantize(const CPicture& source, CPicture& dest);

    // The built-in palette of mode 2: a 6 x 6 x 6 colour cube followed by 40 greys.
    static const std::array<RGBAPIXEL, 256>& FixedPalette();
    // Nearest entry of the fixed palette by the sum of absolute differences, lowest index on
    // ties; the same answer as a search of the whole palette, without the search.
    static uint8_t NearestFixedIndex(uint8_t r, uint8_t g, uint8_t b);

private:
    void BuildHistogram(const CPicture& source);
    void ChooseMedianCut();
    void ChoosePopularity();
    void MapWithInverseTable(const CPicture& source, CPicture& dest);

    int m_paletteMode;
    int m_ditherType;
    std::array<RGBAPIXEL, 256> m_palette{};
    int m_paletteCount = 0;
    // 5-5-5 histogram: counts capped at 65535, and sums for each cell's mean colour.
    std::vector<uint16_t> m_counts;
    std::vector<uint32_t> m_sumR, m_sumG, m_sumB;
};
