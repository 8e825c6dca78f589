#include "imagefile/PixelBlock.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace {

constexpr size_t kLargePage = size_t(2) << 20;

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

} // namespace

void* AllocPixelBlock(size_t bytes) {
    if (!Mapped(bytes)) return std::calloc(1, bytes ? bytes : 1);
    const size_t size = MappedSize(bytes);
    if (size < bytes || size > SIZE_MAX - kLargePage) return nullptr;
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

void FreePixelBlock(void* block, size_t bytes) {
    if (!block) return;
    if (!Mapped(bytes)) {
        std::free(block);
        return;
    }
    munmap(block, MappedSize(bytes));
}
