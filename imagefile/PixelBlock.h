#pragma once

#include <cstddef>

// Memory for pixels. A screen's worth of pixels in ordinary 4 KB pages costs one page fault
// per page the first time it is filled; on a virtual machine those faults take several times
// longer than copying the pixels. Blocks of 2 MB and more therefore come straight from the
// kernel, aligned for and advised to use 2 MB pages. Every block comes zeroed.
//
// Returns nullptr when there is no memory. `bytes` must be passed back unchanged to free.
void* AllocPixelBlock(size_t bytes);
void FreePixelBlock(void* block, size_t bytes);
