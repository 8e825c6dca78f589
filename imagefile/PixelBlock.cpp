#include "imagefile/PixelBlock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

struct KeptBlock {
    std::mutex lock;
    void* block = nullptr;
    size_t size = 0; // the mapped size
};

// Never destroyed: pictures living in static storage elsewhere may be freed after this file's
// statics are gone.
KeptBlock& Kept() {
    static KeptBlock* kept = new KeptBlock;
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
    KeptBlock& kept = Kept();
    std::lock_guard<std::mutex> guard(kept.lock);
    if (!kept.block || kept.size != size) return nullptr;
    void* block = kept.block;
    kept.block = nullptr;
    kept.size = 0;
    return block;
}

// Keeps the block, or gives it back to the system when one is kept already.
void Keep(void* block, size_t size) {
    if (size <= kMaxKept) {
        KeptBlock& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        if (!kept.block) {
            kept.block = block;
            kept.size = size;
            return;
        }
        // The newest size is the likeliest next one.
        std::swap(block, kept.block);
        std::swap(size, kept.size);
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

void ReservePixelBlock(size_t bytes) {
    if (!Mapped(bytes)) return;
    {
        KeptBlock& kept = Kept();
        std::lock_guard<std::mutex> guard(kept.lock);
        if (kept.block && kept.size == MappedSize(bytes)) return;
    }
    bool zeroed = false;
    void* block = AllocPixelBlock(bytes, &zeroed);
    if (!block) return;
    // Writing makes the kernel supply the pages now rather than during a capture.
    std::memset(block, 0, MappedSize(bytes));
    FreePixelBlock(block, bytes);
}
