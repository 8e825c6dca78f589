#pragma once

// Enhanced and plain Windows metafiles built in memory, record by record, for tests of the
// player. Both map one logical unit to one picture pixel unless the records change that.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "imagefile/DataSource.h"
#include "imagefile/PictureDecoder.h"

namespace metafiletest {

// Plays a metafile of either kind onto picture as a 32-bit picture.
inline void Play(const std::vector<uint8_t>& file, CPicture& picture) {
    CMemorySource source(file.data(), file.size());
    CMetafileDecoder().MakePicture(source, picture, 32);
}

inline void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8));
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF), Put16(v, x >> 16);
}

struct Box {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

class Emf {
public:
    // A picture of width x height pixels: the frame at 96 dpi on a 96 dpi reference device.
    Emf(int width, int height) {
        Put32(m_bytes, 1), Put32(m_bytes, 108);
        for (int32_t v : {0, 0, width - 1, height - 1, 0, 0, (width * 2540 + 48) / 96,
                          (height * 2540 + 48) / 96})
            Put32(m_bytes, uint32_t(v));
        Put32(m_bytes, 0x464D4520), Put32(m_bytes, 0x10000), Put32(m_bytes, 0), Put32(m_bytes, 0);
        Put32(m_bytes, 0), Put32(m_bytes, 0), Put32(m_bytes, 0), Put32(m_bytes, 0);
        for (int32_t v : {960, 480, 254, 127}) Put32(m_bytes, uint32_t(v)); // 96 dpi
        m_bytes.resize(108, 0);
    }

    Emf& Rec(uint32_t type, std::initializer_list<int32_t> params) {
        Put32(m_bytes, type), Put32(m_bytes, uint32_t(8 + 4 * params.size()));
        for (int32_t p : params) Put32(m_bytes, uint32_t(p));
        return *this;
    }
    // Any bytes as the record's parameters, padded to a whole number of 32-bit words.
    Emf& Raw(uint32_t type, std::vector<uint8_t> params) {
        params.resize((params.size() + 3) & ~size_t(3), 0);
        Put32(m_bytes, type), Put32(m_bytes, uint32_t(8 + params.size()));
        m_bytes.insert(m_bytes.end(), params.begin(), params.end());
        return *this;
    }

    Emf& Font(uint32_t index, int32_t height, const std::u16string& face, int32_t weight = 400,
              bool italic = false, int32_t escapement = 0) {
        std::vector<uint8_t> p;
        Put32(p, index);
        for (int32_t v : {height, 0, escapement, escapement, weight}) Put32(p, uint32_t(v));
        for (int b : {italic ? 1 : 0, 0, 0, 0, 0, 0, 0, 0}) p.push_back(uint8_t(b));
        for (size_t i = 0; i < 32; ++i) Put16(p, i < face.size() ? face[i] : 0);
        return Raw(82, p);
    }

    // EXTTEXTOUTW, or EXTTEXTOUTA when ansi is given instead of text.
    Emf& Text(int32_t x, int32_t y, const std::u16string& text, const std::vector<int32_t>& dx = {},
              uint32_t options = 0, Box rect = {}, const std::string& ansi = {}) {
        const bool wide = ansi.empty();
        const size_t count = wide ? text.size() : ansi.size();
        const size_t stringBytes = ((wide ? 2 * count : count) + 3) & ~size_t(3);
        std::vector<uint8_t> p(16, 0); // bounds
        Put32(p, 1), Put32(p, 0), Put32(p, 0);
        Put32(p, uint32_t(x)), Put32(p, uint32_t(y)), Put32(p, uint32_t(count)), Put32(p, 76);
        Put32(p, options);
        for (int32_t v : {rect.left, rect.top, rect.right, rect.bottom}) Put32(p, uint32_t(v));
        Put32(p, dx.empty() ? 0 : uint32_t(76 + stringBytes));
        for (size_t i = 0; i < count; ++i) wide ? Put16(p, text[i]) : p.push_back(uint8_t(ansi[i]));
        p.resize(68 + stringBytes, 0);
        for (int32_t d : dx) Put32(p, uint32_t(d));
        return Raw(wide ? 84 : 83, p);
    }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> f = m_bytes;
        for (uint32_t v : {14u, 20u, 0u, 16u, 20u}) Put32(f, v);
        return f;
    }

private:
    std::vector<uint8_t> m_bytes;
};

class Wmf {
public:
    // A placeable metafile of width x height units at 96 units an inch, its window the same.
    Wmf(int width, int height) {
        Put32(m_bytes, 0x9AC6CDD7u), Put16(m_bytes, 0);
        for (int v : {0, 0, width, height}) Put16(m_bytes, uint32_t(v));
        Put16(m_bytes, 96), Put32(m_bytes, 0), Put16(m_bytes, 0);
        for (int v : {1, 9, 0x300, 0, 0, 8, 0, 0, 0}) Put16(m_bytes, uint32_t(v));
        Rec(0x020C, {height, width});
    }

    Wmf& Rec(uint32_t fn, std::initializer_list<int> words) {
        Put32(m_bytes, uint32_t(3 + words.size())), Put16(m_bytes, fn);
        for (int w : words) Put16(m_bytes, uint32_t(w));
        return *this;
    }
    Wmf& Raw(uint32_t fn, std::vector<uint8_t> params) {
        params.resize((params.size() + 1) & ~size_t(1), 0);
        Put32(m_bytes, uint32_t(3 + params.size() / 2)), Put16(m_bytes, fn);
        m_bytes.insert(m_bytes.end(), params.begin(), params.end());
        return *this;
    }

    Wmf& Font(int height, const std::string& face, int weight = 400, int escapement = 0) {
        std::vector<uint8_t> p;
        for (int v : {height, 0, escapement, escapement, weight}) Put16(p, uint32_t(v));
        for (int i = 0; i < 8; ++i) p.push_back(0);
        for (size_t i = 0; i < 32; ++i) p.push_back(i < face.size() ? uint8_t(face[i]) : 0);
        return Raw(0x02FB, p);
    }

    Wmf& TextOut(int x, int y, const std::string& text) {
        std::vector<uint8_t> p;
        Put16(p, uint32_t(text.size()));
        p.insert(p.end(), text.begin(), text.end());
        if (text.size() % 2) p.push_back(0);
        Put16(p, uint32_t(y)), Put16(p, uint32_t(x));
        return Raw(0x0521, p);
    }

    // The rectangle goes in when options ask for it (ETO_OPAQUE or ETO_CLIPPED).
    Wmf& ExtTextOut(int x, int y, const std::string& text, unsigned options = 0, Box rect = {},
                    const std::vector<int>& dx = {}) {
        std::vector<uint8_t> p;
        Put16(p, uint32_t(y)), Put16(p, uint32_t(x)), Put16(p, uint32_t(text.size()));
        Put16(p, options);
        if (options & 6)
            for (int32_t v : {rect.left, rect.top, rect.right, rect.bottom}) Put16(p, uint32_t(v));
        p.insert(p.end(), text.begin(), text.end());
        if (text.size() % 2) p.push_back(0);
        for (int d : dx) Put16(p, uint32_t(d));
        return Raw(0x0A32, p);
    }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> f = m_bytes;
        Put32(f, 3), Put16(f, 0);
        return f;
    }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace metafiletest
