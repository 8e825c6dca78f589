#include "imagefile/PixelBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/mman.h>

namespace {

constexpr size_t kLargePage = size_t(2) << 20;
// A kept block larger than this goes back to the system at once.
constexpr size_t kMaxKept = size_t(64) << 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Under the address sanitizer every block stays on the heap, where each access is checked.
bool Mapped(size_t bytes) {
    return !kSanitized && bytes >= kLargePage;
}

size_t MappedSize(size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

// Up to two freed blocks: a capture needs one for its picture and one for the clipboard's copy.
struct KeptBlocks {
    static constexpr int kSlots = 2;
    std::mutex lock;
    void* block[kSlots] = {};
    size_t size[kSlots] = {}; // mapped sizes

    int CountOf(size_t mapped) const {
        int n = 0;
        for (int i = 0; i < kSlots; ++i) n += block[i] && size[i] == mapped;
        return n;
    }
};

// Never destroyed: pictures living in static storage elsewhere may be freed after this file's
// statics are gone.
KeptBlocks& Kept() {
    static KeptBlocks* kept = new KeptBlocks;
    return *kept;
}

void* Map(size_t size) {
    // One large page more than needed, so that the block can start on a large-page boundary.
    void* raw = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const uintptr_t first = uintptr_t(raw);
    const uintptr_t start = (first + kLargePage - 1) & ~uintptr_t(kLargePage - 1);
    const size_t head = start - first;
    if (head) munmap(raw, head);
    if (kLargePage - head) munmap(reinterpret_cast<void*>(start + size), kLargePage - head);
    // Only advice: without large pages the block still works, in small pages.
    madvise(reinterpret_cast<void*>(start), size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(start);
}

void* TakeKept(size_t size) {
    KeptBlocks& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    for (int i = 0; i < KeptBlocks::kSlots; ++i) {
        if (kept.block[i] && kept.size[i] == size) {
            void* block = kept.block[i];
            kept.block[i] = nullptr;
            kept.size[i] = 0;
            return block;
        }
    }
    return nullptr;
}

// Keeps the block in a free slot. When both are taken, a block of a new size replaces the
// older one (the newest size is the likeliest next one); what is not kept goes back to the
// system.
void Keep(void* block, size_t size) {
    if (size <= kMaxKept) {
        KeptBlocks& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        for (int i = 0; i < KeptBlocks::kSlots; ++i) {
            if (!kept.block[i]) {
                kept.block[i] = block;
                kept.size[i] = size;
                return;
            }
        }
        if (kept.CountOf(size) == 0) {
            std::swap(block, kept.block[0]);
            std::swap(size, kept.size[0]);
            std::swap(kept.block[0], kept.block[1]);
            std::swap(kept.size[0], kept.size[1]);
        }
    }
    munmap(block, size);
}

} // namespace

void* AllocPixelBlock(size_t bytes, bool* zeroed) {
    *zeroed = true;
    if (!Mapped(bytes)) return std::calloc(1, bytes ? bytes : 1);
    const size_t size = MappedSize(bytes);
    if (size < bytes || size > SIZE_MAX - kLargePage) return nullptr;
    if (void* block = TakeKept(size)) {
        *zeroed = false;
        return block;
    }
    return Map(size);
}

void FreePixelBlock(void* block, size_t bytes) {
    if (!block) return;
    if (!Mapped(bytes)) {
        std::free(block);
        return;
    }
    Keep(block, MappedSize(bytes));
}

void ReservePixelBlock(size_t bytes, int count) {
    if (!Mapped(bytes)) return;
    const size_t mapped = MappedSize(bytes);
    count = std::min(count, KeptBlocks::kSlots);
    int have;
    {
        KeptBlocks& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        have = kept.CountOf(mapped);
    }
    std::vector<void*> made;
    for (; have < count; ++have) {
        void* block = Map(mapped);
        if (!block) break;
        // Writing makes the kernel supply the pages now rather than during a capture.
        std::memset(block, 0, mapped);
        made.push_back(block);
    }
    for (void* block : made) Keep(block, mapped);
}
