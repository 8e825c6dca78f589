#include "imagefile/ColorQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numeric>
#include <unordered_map>

namespace {

constexpr int kCubeLevels = 6;
constexpr int kGreys = 40;
constexpr int kCells = 32768;

uint8_t CubeLevel(int i) {
    return uint8_t(i * 51);
}
uint8_t GreyLevel(int i) {
    return uint8_t(std::lround((i + 1) * 255.0 / (kGreys + 1)));
}

struct FixedTables {
    std::array<RGBAPIXEL, 256> palette{};
    uint8_t cubeIndex[256]; // nearest cube level of a channel value
    uint8_t cubeDist[256];  // its distance
    uint8_t greyBelow[256]; // for a median value: the candidate grey levels around it
    uint8_t greyAbove[256];
    uint8_t greyLevel[kGreys];

    FixedTables() {
        int n = 0;
        for (int r = 0; r < kCubeLevels; ++r)
            for (int g = 0; g < kCubeLevels; ++g)
                for (int b = 0; b < kCubeLevels; ++b)
                    palette[size_t(n++)] = {CubeLevel(b), CubeLevel(g), CubeLevel(r), 255};
        for (int i = 0; i < kGreys; ++i) {
            const uint8_t v = GreyLevel(i);
            palette[size_t(n++)] = {v, v, v, 255};
        }
        for (int i = 0; i < kGreys; ++i) greyLevel[i] = GreyLevel(i);
        for (int c = 0; c < 256; ++c) {
            cubeIndex[c] = uint8_t((c + 25) / 51);
            cubeDist[c] = uint8_t(std::abs(c - CubeLevel(cubeIndex[c])));
            int below = 0, above = kGreys - 1;
            for (int i = 0; i < kGreys; ++i)
                if (GreyLevel(i) <= c) below = i;
            for (int i = kGreys - 1; i >= 0; --i)
                if (GreyLevel(i) >= c) above = i;
            greyBelow[c] = uint8_t(below);
            greyAbove[c] = uint8_t(above);
        }
    }
};

const FixedTables& Tables() {
    static const FixedTables tables;
    return tables;
}

int Median3(int a, int b, int c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

inline int CellOf(uint8_t r, uint8_t g, uint8_t b) {
    return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
}

[[noreturn]] void ThrowOutOfMemory() {
    throw CTextException(CTextException::OutOfMemory, "Out of memory.");
}

} // namespace

CColorQuantizer::CColorQuantizer(int paletteMode, int ditherType)
    : m_paletteMode(paletteMode), m_ditherType(ditherType) {}

const std::array<RGBAPIXEL, 256>& CColorQuantizer::FixedPalette() {
    return Tables().palette;
}

uint8_t CColorQuantizer::NearestFixedIndex(uint8_t r, uint8_t g, uint8_t b) {
    const FixedTables& t = Tables();
    // The cube is a product of per-channel levels, so under a per-channel sum of distances
    // its nearest entry is the nearest level of each channel.
    const int cube = t.cubeIndex[r] * 36 + t.cubeIndex[g] * 6 + t.cubeIndex[b];
    const int cubeDist = t.cubeDist[r] + t.cubeDist[g] + t.cubeDist[b];
    // Along the grey axis the distance is convex with its minimum at the median channel, so
    // the nearest grey is one of the two levels around the median.
    const int m = Median3(r, g, b);
    auto greyDist = [&](int i) {
        const int v = t.greyLevel[i];
        return std::abs(r - v) + std::abs(g - v) + std::abs(b - v);
    };
    // Written without branches: on photographs every pixel differs and branches mispredict.
    const int below = t.greyBelow[m], above = t.greyAbove[m];
    const int dBelow = greyDist(below), dAbove = greyDist(above);
    const int grey = dAbove < dBelow ? above : below;
    const int greyD = dAbove < dBelow ? dAbove : dBelow;
    return greyD < cubeDist ? uint8_t(216 + grey) : uint8_t(cube);
}

void CColorQuantizer::Quantize(const CPicture& source, CPicture& dest) {
    const int w = source.GetWidth(), h = source.GetHeight();
    uint8_t* const* sl = source.GetLineArray();
    uint8_t* const* dl = dest.GetLineArray();

    if (m_paletteMode != MedianCut && m_paletteMode != Popularity) {
        dest.SetPalette(FixedPalette().data(), 256);
        for (int y = 0; y < h; ++y) {
            const uint32_t* s = reinterpret_cast<const uint32_t*>(sl[y]);
            uint8_t* d = dl[y];
            // Screens repeat colours in long runs: remember the last answer.
            uint32_t last = ~s[0] & 0x00FFFFFF;
            uint8_t lastIndex = 0;
            for (int x = 0; x < w; ++x) {
                const uint32_t c = s[x] & 0x00FFFFFF;
                if (c != last) {
                    last = c;
                    lastIndex = NearestFixedIndex(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
                }
                d[x] = lastIndex;
            }
        }
        return;
    }

    // A picture of at most 256 colours, as most screen captures are, keeps them exactly.
    try {
        std::unordered_map<uint32_t, uint8_t> exact;
        exact.reserve(512);
        bool fits = true;
        for (int y = 0; y < h && fits; ++y) {
            const uint32_t* s = reinterpret_cast<const uint32_t*>(sl[y]);
            uint32_t last = ~s[0] & 0x00FFFFFF;
            for (int x = 0; x < w; ++x) {
                const uint32_t c = s[x] & 0x00FFFFFF;
                if (c == last) continue;
                last = c;
                if (exact.count(c)) continue;
                if (exact.size() == 256) {
                    fits = false;
                    break;
                }
                const uint8_t index = uint8_t(exact.size());
                exact.emplace(c, index);
                m_palette[index] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 255};
            }
        }
        if (fits) {
            for (size_t i = exact.size(); i < 256; ++i) m_palette[i] = {0, 0, 0, 255};
            dest.SetPalette(m_palette.data(), 256);
            for (int y = 0; y < h; ++y) {
                const uint32_t* s = reinterpret_cast<const uint32_t*>(sl[y]);
                uint8_t* d = dl[y];
                uint32_t last = ~s[0] & 0x00FFFFFF;
                uint8_t lastIndex = 0;
                for (int x = 0; x < w; ++x) {
                    const uint32_t c = s[x] & 0x00FFFFFF;
                    if (c != last) {
                        last = c;
                        lastIndex = exact.find(c)->second;
                    }
                    d[x] = lastIndex;
                }
            }
            return;
        }
        BuildHistogram(source);
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory();
    }

    if (m_paletteMode == MedianCut)
        ChooseMedianCut();
    else
        ChoosePopularity();
    for (int i = m_paletteCount; i < 256; ++i) m_palette[size_t(i)] = {0, 0, 0, 255};
    dest.SetPalette(m_palette.data(), 256);
    MapWithInverseTable(source, dest);
}

void CColorQuantizer::BuildHistogram(const CPicture& source) {
    m_counts.assign(kCells, 0);
    m_sumR.assign(kCells, 0);
    m_sumG.assign(kCells, 0);
    m_sumB.assign(kCells, 0);
    uint8_t* const* sl = source.GetLineArray();
    for (int y = 0; y < source.GetHeight(); ++y) {
        const uint8_t* s = sl[y];
        for (int x = 0; x < source.GetWidth(); ++x, s += 4) {
            const int cell = CellOf(s[2], s[1], s[0]);
            // Counts stop at 65535; the sums stop with them so the means stay in range.
            if (m_counts[size_t(cell)] == 65535) continue;
            ++m_counts[size_t(cell)];
            m_sumR[size_t(cell)] += s[2];
            m_sumG[size_t(cell)] += s[1];
            m_sumB[size_t(cell)] += s[0];
        }
    }
}

void CColorQuantizer::ChoosePopularity() {
    std::vector<int> cells;
    for (int c = 0; c < kCells; ++c)
        if (m_counts[size_t(c)]) cells.push_back(c);
    const size_t keep = std::min<size_t>(256, cells.size());
    std::partial_sort(cells.begin(), cells.begin() + long(keep), cells.end(), [&](int a, int b) {
        return m_counts[size_t(a)] != m_counts[size_t(b)]
                   ? m_counts[size_t(a)] > m_counts[size_t(b)]
                   : a < b;
    });
    m_paletteCount = int(keep);
    for (size_t i = 0; i < keep; ++i) {
        const size_t c = size_t(cells[i]);
        const uint32_t n = m_counts[c];
        m_palette[i] = {uint8_t(m_sumB[c] / n), uint8_t(m_sumG[c] / n), uint8_t(m_sumR[c] / n),
                        255};
    }
}

void CColorQuantizer::ChooseMedianCut() {
    // The eight corners of the colour cube are always present: screens are full of pure
    // black, white and primaries, and they are the first to suffer from averaging.
    m_paletteCount = 0;
    for (int i = 0; i < 8; ++i)
        m_palette[size_t(m_paletteCount++)] = {uint8_t(i & 1 ? 255 : 0), uint8_t(i & 2 ? 255 : 0),
                                               uint8_t(i & 4 ? 255 : 0), 255};

    struct Box {
        int lo[3], hi[3]; // inclusive cell coordinates, channel order r, g, b
        uint64_t count;
    };
    auto cellIndex = [](int r, int g, int b) { return size_t(r << 10 | g << 5 | b); };
    auto shrink = [&](Box& box) {
        int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
        uint64_t count = 0;
        for (int r = box.lo[0]; r <= box.hi[0]; ++r)
            for (int g = box.lo[1]; g <= box.hi[1]; ++g)
                for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
                    const uint16_t n = m_counts[cellIndex(r, g, b)];
                    if (!n) continue;
                    count += n;
                    const int v[3] = {r, g, b};
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], v[k]);
                        hi[k] = std::max(hi[k], v[k]);
                    }
                }
        box.count = count;
        if (count)
            for (int k = 0; k < 3; ++k) {
                box.lo[k] = lo[k];
                box.hi[k] = hi[k];
            }
    };

    std::vector<Box> boxes;
    Box all{{0, 0, 0}, {31, 31, 31}, 0};
    shrink(all);
    if (all.count == 0) return;
    boxes.push_back(all);
    const size_t wanted = 256 - 8;
    while (boxes.size() < wanted) {
        // Split the most populous box that still spans more than one cell.
        int pick = -1;
        for (size_t i = 0; i < boxes.size(); ++i) {
            const Box& b = boxes[i];
            if (b.lo[0] == b.hi[0] && b.lo[1] == b.hi[1] && b.lo[2] == b.hi[2]) continue;
            if (pick < 0 || b.count > boxes[size_t(pick)].count) pick = int(i);
        }
        if (pick < 0) break;
        Box box = boxes[size_t(pick)];
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (box.hi[k] - box.lo[k] > box.hi[axis] - box.lo[axis]) axis = k;
        // Slice counts along the axis, then cut where half of the pixels lie below.
        std::vector<uint64_t> slice(32, 0);
        for (int r = box.lo[0]; r <= box.hi[0]; ++r)
            for (int g = box.lo[1]; g <= box.hi[1]; ++g)
                for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
                    const int v[3] = {r, g, b};
                    slice[size_t(v[axis])] += m_counts[cellIndex(r, g, b)];
                }
        uint64_t acc = 0;
        int cut = box.lo[axis];
        for (int v = box.lo[axis]; v < box.hi[axis]; ++v) {
            acc += slice[size_t(v)];
            cut = v;
            if (acc * 2 >= box.count) break;
        }
        Box a = box, b = box;
        a.hi[axis] = cut;
        b.lo[axis] = cut + 1;
        shrink(a);
        shrink(b);
        boxes[size_t(pick)] = a;
        if (b.count) boxes.push_back(b);
        if (!a.count) boxes.erase(boxes.begin() + pick);
    }
    for (const Box& box : boxes) {
        uint64_t n = 0, sr = 0, sg = 0, sb = 0;
        for (int r = box.lo[0]; r <= box.hi[0]; ++r)
            for (int g = box.lo[1]; g <= box.hi[1]; ++g)
                for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
                    const size_t c = cellIndex(r, g, b);
                    n += m_counts[c];
                    sr += m_sumR[c];
                    sg += m_sumG[c];
                    sb += m_sumB[c];
                }
        if (!n || m_paletteCount >= 256) continue;
        m_palette[size_t(m_paletteCount++)] = {uint8_t(sb / n), uint8_t(sg / n), uint8_t(sr / n),
                                               255};
    }
}

void CColorQuantizer::MapWithInverseTable(const CPicture& source, CPicture& dest) {
    // Each occupied cell maps to the entry nearest its mean colour.
    std::vector<uint8_t> inverse(kCells, 0);
    for (int c = 0; c < kCells; ++c) {
        const uint32_t n = m_counts[size_t(c)];
        if (!n) continue;
        const int r = int(m_sumR[size_t(c)] / n), g = int(m_sumG[size_t(c)] / n),
                  b = int(m_sumB[size_t(c)] / n);
        int best = 0, bestD = 1 << 30;
        for (int i = 0; i < m_paletteCount; ++i) {
            const RGBAPIXEL& e = m_palette[size_t(i)];
            const int d = std::abs(r - e.r) + std::abs(g - e.g) + std::abs(b - e.b);
            if (d < bestD) {
                bestD = d;
                best = i;
            }
        }
        inverse[size_t(c)] = uint8_t(best);
    }
    uint8_t* const* sl = source.GetLineArray();
    uint8_t* const* dl = dest.GetLineArray();
    for (int y = 0; y < source.GetHeight(); ++y) {
        const uint8_t* s = sl[y];
        uint8_t* d = dl[y];
        for (int x = 0; x < source.GetWidth(); ++x, s += 4)
            d[x] = inverse[size_t(CellOf(s[2], s[1], s[0]))];
    }
}
