#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imagefile/Picture.h"

// A copy of a picture kept for undo. Taking it is a plain copy of the pixels, as fast as
// ever; then, off the caller's thread, the copy is compressed losslessly in bands and the
// plain copy is given back to the system. Screen content shrinks ten-fold and more; a
// picture that does not shrink by a quarter (a photograph) stays a plain copy. Restoring
// works at any moment: from the plain copy while compression is still running, from the
// compressed bands afterwards, and the result is the same bytes either way.
class CPictureSnapshot {
public:
    enum class Mode {
        Background, // compress on a thread of its own after the constructor returns
        Immediate,  // compress in the constructor (tests and measurements)
        Plain,      // never compress
    };

    explicit CPictureSnapshot(const CPicture& source, Mode mode = Mode::Background);
    CPictureSnapshot(const CPictureSnapshot&) = delete;
    CPictureSnapshot& operator=(const CPictureSnapshot&) = delete;
    // Stops a compression still running (it gives up between bands) and waits for it.
    ~CPictureSnapshot();

    // Makes target an exact copy of the picture as it was taken: size, depth, alpha flag,
    // palette and every byte of the pixel block, row padding included.
    void RestoreInto(CPicture& target) const;

    // Waits until the background compression has finished (at once in the other modes).
    void WaitUntilSettled() const;
    bool IsSettled() const;
    // Whether the pixels are held compressed (false while compression runs and for pictures
    // that did not compress).
    bool IsCompressed() const;
    // Bytes held for the pixels now: the plain copy, or the compressed bands.
    size_t GetStoredBytes() const;
    size_t GetPixelBytes() const { return m_pixelBytes; }

private:
    struct Block;
    struct Band {
        size_t offset = 0; // into the pixel block
        size_t size = 0;   // bytes of the pixel block it restores
        bool compressed = false;
        std::vector<uint8_t> data;
    };

    void Compress();
    void DecompressInto(uint8_t* bits) const;

    int m_width;
    int m_height;
    uint16_t m_bpp;
    bool m_alpha;
    std::vector<RGBAPIXEL> m_palette;
    size_t m_pixelBytes;
    size_t m_bandBytes;

    mutable std::mutex m_lock;
    mutable std::condition_variable m_settledSignal;
    bool m_settled = false;
    // The plain copy until the compressed bands replace it; shared with a restore that is
    // reading it, so the compression may let go of it at any time.
    std::shared_ptr<const Block> m_plain;
    std::vector<Band> m_bands;

    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
};
