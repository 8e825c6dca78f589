#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "imagefile/Picture.h"

namespace imagetest {

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A private folder removed with everything in it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/orvane-image-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// The colour of a pixel as 0xRRGGBB, whatever the picture's depth.
inline uint32_t RgbAt(const CPicture& p, int x, int y) {
    const uint8_t* row = p.GetLineArray()[y];
    RGBAPIXEL c{};
    switch (p.GetBitsPerPixel()) {
    case 1:
        c = p.GetPalette()[(row[x / 8] >> (7 - x % 8)) & 1];
        break;
    case 8:
        c = p.GetPalette()[row[x]];
        break;
    default:
        c = {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
        break;
    }
    return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

} // namespace imagetest
