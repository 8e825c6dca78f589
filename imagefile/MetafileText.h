#pragma once

// Text in Windows metafiles. The player reads the text records and works out where and how
// each piece of text goes; drawing glyphs needs fonts, which the plain image core does not
// have, so a program that has them registers a renderer at start. Without one (the
// command-line converter, the fuzzers) text is left out.

#include <cstdint>
#include <string>
#include <vector>

class CPicture;

// Text-align flags as the file gives them.
constexpr unsigned kTextAlignUpdateCp = 1;
constexpr unsigned kTextAlignRight = 2;
constexpr unsigned kTextAlignCenter = 6;
constexpr unsigned kTextAlignBottom = 8;
constexpr unsigned kTextAlignBaseline = 24;

// A rectangle in picture pixels, right and bottom exclusive.
struct MetafileRect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// One piece of text in picture pixels: x to the right, y down from the top row.
struct MetafileTextRun {
    std::u16string text;
    std::string face; // UTF-8; empty: the default font
    // Font height as Windows means it: negative is the em height, positive the cell height
    // (ascent plus descent), 0 the default (about 12 points).
    double height = 0;
    double width = 0;            // average character width; 0: the face's own proportions
    int weight = 0;              // 100 to 900; 0 is normal (400)
    unsigned pitchAndFamily = 0; // family in the high nibble: roman 1, swiss 2, modern 3, ...
    bool italic = false, underline = false, strikeOut = false;
    double escapement = 0;         // baseline angle, degrees counter-clockwise
    double x = 0, y = 0;           // reference point
    unsigned align = 0;            // kTextAlign* flags
    uint32_t colour = 0xFF000000u; // 0xAARRGGBB
    bool opaque = false;           // fill the text's cell box with the background first
    uint32_t background = 0xFFFFFFFFu;
    bool clipToRect = false; // the record's own clip rectangle
    MetafileRect clipRect;
    bool clipped = false; // the device context's clip rectangle
    MetafileRect clip;
    // Advance after each UTF-16 unit of text in pixels along the baseline (the second unit
    // of a surrogate pair carries 0 or the rest); empty: the font's own advances.
    std::vector<double> dx;
};

// Draws the run onto a 32-bit picture and returns its advance along the baseline in pixels,
// which moves the current position for text drawn at it.
using MetafileTextRenderer = double (*)(CPicture& picture, const MetafileTextRun& run);

// Null removes the renderer. Meant to be called once at start, before any decoding.
void SetMetafileTextRenderer(MetafileTextRenderer renderer);
MetafileTextRenderer GetMetafileTextRenderer();
