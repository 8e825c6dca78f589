#include "editor/Snapshot.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include <sys/mman.h>
#include <zstd.h>

#include "imagefile/Bands.h"

namespace {

// zstd's fastest regular level: screen content still shrinks twenty-fold and more, and
// decompression runs at memory speed, so an undo stays well under the time of a repaint.
constexpr int kLevel = 1;
// Bytes of the pixel block per band: enough for the codec to find long matches, small
// enough for two cores to share the work evenly.
constexpr size_t kBandBytes = size_t(512) << 10;
// Below this a block comes from the heap; above, straight from the kernel in large pages.
constexpr size_t kMappedBytes = size_t(2) << 20;

struct FreeCCtx {
    void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};
struct FreeDCtx {
    void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};
// One codec context per thread of the band runner, made when the thread takes its first band.
using CompressContexts = std::vector<std::unique_ptr<ZSTD_CCtx, FreeCCtx>>;
using DecompressContexts = std::vector<std::unique_ptr<ZSTD_DCtx, FreeDCtx>>;

[[noreturn]] void ThrowOutOfMemory() {
    throw CTextException(CTextException::OutOfMemory, "Out of memory creating bitmap.");
}

} // namespace

// The plain copy. It goes back to the system as soon as the compressed bands replace it,
// rather than to a cache of pixel blocks, so that memory held by the history really shrinks.
struct CPictureSnapshot::Block {
    uint8_t* data = nullptr;
    size_t size = 0;
    bool mapped = false;

    explicit Block(size_t bytes) : size(bytes), mapped(bytes >= kMappedBytes) {
        if (mapped) {
            void* p =
                mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) ThrowOutOfMemory();
            // Large pages spare thousands of page faults when the copy is first written.
            madvise(p, bytes, MADV_HUGEPAGE);
            data = static_cast<uint8_t*>(p);
        } else {
            data = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
            if (!data) ThrowOutOfMemory();
        }
    }
    ~Block() {
        if (mapped)
            munmap(data, size);
        else
            std::free(data);
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
};

CPictureSnapshot::CPictureSnapshot(const CPicture& source, Mode mode)
    : m_width(source.GetWidth()), m_height(source.GetHeight()), m_bpp(source.GetBitsPerPixel()),
      m_alpha(source.HasAlpha()),
      m_pixelBytes(size_t(source.GetBytesPerLine()) * size_t(source.GetHeight())),
      m_bandBytes(kBandBytes) {
    if (source.GetPalette())
        m_palette.assign(source.GetPalette(), source.GetPalette() + source.GetPaletteSize());
    auto plain = std::make_shared<Block>(m_pixelBytes);
    if (m_pixelBytes) std::memcpy(plain->data, source.GetBits(), m_pixelBytes);
    m_plain = std::move(plain);

    switch (mode) {
    case Mode::Plain:
        m_settled = true;
        break;
    case Mode::Immediate:
        Compress();
        break;
    case Mode::Background:
        try {
            m_worker = std::thread([this] { Compress(); });
        } catch (const std::system_error&) {
            // No thread to be had: the plain copy is still a correct snapshot.
            m_settled = true;
        }
        break;
    }
}

CPictureSnapshot::~CPictureSnapshot() {
    m_cancel.store(true, std::memory_order_relaxed);
    if (m_worker.joinable()) m_worker.join();
}

void CPictureSnapshot::Compress() {
    std::shared_ptr<const Block> plain;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        plain = m_plain;
    }
    const int count = int((m_pixelBytes + m_bandBytes - 1) / m_bandBytes);
    std::vector<Band> bands(static_cast<size_t>(count));
    bool keep = false;
    try {
        const int threads = BandThreadCount(count);
        CompressContexts contexts(static_cast<size_t>(threads));
        std::vector<std::vector<uint8_t>> scratch(static_cast<size_t>(threads));
        RunBands(count, threads, [&](int b, int worker) {
            if (m_cancel.load(std::memory_order_relaxed)) return;
            Band& band = bands[size_t(b)];
            band.offset = size_t(b) * m_bandBytes;
            band.size = std::min(m_bandBytes, m_pixelBytes - band.offset);
            const uint8_t* raw = plain->data + band.offset;
            auto& cctx = contexts[size_t(worker)];
            if (!cctx) cctx.reset(ZSTD_createCCtx());
            if (!cctx) throw std::bad_alloc();
            std::vector<uint8_t>& out = scratch[size_t(worker)];
            out.resize(ZSTD_compressBound(band.size));
            const size_t n =
                ZSTD_compressCCtx(cctx.get(), out.data(), out.size(), raw, band.size, kLevel);
            // A band the codec cannot shrink is kept as it is.
            band.compressed = !ZSTD_isError(n) && n < band.size;
            if (band.compressed)
                band.data.assign(out.data(), out.data() + n);
            else
                band.data.assign(raw, raw + band.size);
        });
        size_t stored = 0;
        for (const Band& band : bands) stored += band.data.size();
        keep = !m_cancel.load(std::memory_order_relaxed) && stored <= m_pixelBytes / 4 * 3;
    } catch (const std::exception&) {
        // Out of memory while compressing: the plain copy stays, which is always correct.
        keep = false;
    }

    // The copy is freed below, unless a restore is still reading it (then the restore frees
    // it), before the snapshot counts as settled: whoever waits for that sees the memory go.
    plain.reset();
    std::lock_guard<std::mutex> guard(m_lock);
    if (keep) {
        m_bands = std::move(bands);
        m_plain.reset();
    }
    m_settled = true;
    m_settledSignal.notify_all();
}

void CPictureSnapshot::DecompressInto(uint8_t* bits) const {
    const int count = int(m_bands.size());
    const int threads = BandThreadCount(count);
    DecompressContexts contexts(static_cast<size_t>(threads));
    std::atomic<bool> damaged{false};
    RunBands(count, threads, [&](int b, int worker) {
        const Band& band = m_bands[size_t(b)];
        if (!band.compressed) {
            std::memcpy(bits + band.offset, band.data.data(), band.size);
            return;
        }
        auto& dctx = contexts[size_t(worker)];
        if (!dctx) dctx.reset(ZSTD_createDCtx());
        if (!dctx) throw std::bad_alloc();
        const size_t n = ZSTD_decompressDCtx(dctx.get(), bits + band.offset, band.size,
                                             band.data.data(), band.data.size());
        if (ZSTD_isError(n) || n != band.size) damaged.store(true);
    });
    if (damaged) throw CTextException(CTextException::Malformed, "Damaged undo snapshot.");
}

void CPictureSnapshot::RestoreInto(CPicture& target) const {
    std::shared_ptr<const Block> plain;
    std::unique_lock<std::mutex> guard(m_lock);
    plain = m_plain;
    // Compressed bands never change once published, but a plain copy may be let go of by
    // the compression at any moment: this restore holds its own reference to it instead.
    if (plain) guard.unlock();

    target.CreateForOverwrite(m_width, m_height, m_bpp, m_alpha);
    if (plain) {
        if (m_pixelBytes) std::memcpy(target.GetBits(), plain->data, m_pixelBytes);
    } else {
        DecompressInto(target.GetBits());
    }
    if (!m_palette.empty()) target.SetPalette(m_palette.data(), int(m_palette.size()));
}

void CPictureSnapshot::WaitUntilSettled() const {
    std::unique_lock<std::mutex> guard(m_lock);
    m_settledSignal.wait(guard, [this] { return m_settled; });
}

bool CPictureSnapshot::IsSettled() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_settled;
}

bool CPictureSnapshot::IsCompressed() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return !m_plain;
}

size_t CPictureSnapshot::GetStoredBytes() const {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_plain) return m_pixelBytes;
    size_t stored = 0;
    for (const Band& band : m_bands) stored += band.data.size();
    return stored;
}
