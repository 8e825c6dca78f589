#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imagefile/Picture.h"
#include "imagefile/ProgressSink.h"

// The editor's operations for the command-line converter: parsing of the operation options
// and running them on a picture exactly as the editor's commands do.
namespace convertops {

enum class Kind {
    Resize,     // values: width, height (pixels)
    Scale,      // values: percent
    Stretch,    // values: horizontal percent, vertical percent
    Rotate,     // values: degrees
    Rotate90,   // values: 1 clockwise, 0 counter-clockwise
    Flip,       // values: 1 horizontally (left to right), 0 vertically
    Brightness, // values: dialog value -100..100
    Contrast,   // values: contrast 1..100, offset 0..255
    Intensity,  // values: intensity 0..255, offset 0..255, exponent 1..100
    Grayscale,
    Invert,
    Crop, // values: left, top, right, bottom
};

enum class Method { Bilinear, Box, Gaussian, Hamming };

struct Operation {
    Kind kind;
    int values[4] = {0, 0, 0, 0};
    bool operator==(const Operation&) const = default;
};

// Settings that hold for every operation of a run, wherever they appear on the command line.
struct Settings {
    Method method = Method::Bilinear;
    int radiusSteps = 500;          // radius in hundredths of a pixel, 1..1000
    uint32_t background = 0xFF00FF; // any-angle rotation background, 0xRRGGBB
};

struct ParseResult {
    std::vector<Operation> operations; // in command-line order
    Settings settings;
    // Every argument that is not an operation option or its value, in order (the converter's
    // own options and the two paths); everything after "--" lands here untouched.
    std::vector<std::string> rest;
    // Non-empty: a usage error (the converter exits with status 2).
    std::string error;
};

ParseResult ParseOperations(const std::vector<std::string>& args);

// One line per operation option, for the converter's usage text.
const char* UsageText();

// Runs the operations in order on the picture. Colour and geometric operations first widen a
// picture that is not 32 bits per pixel; grayscale leaves an 8-bit picture. Returns an empty
// string, or a usage error found only once the picture's size is known (a crop rectangle
// that lies wholly outside the picture); then the picture holds the operations before it.
std::string ApplyOperations(const ParseResult& parsed, CPicture& picture,
                            ProgressSink* progress = nullptr);

} // namespace convertops
