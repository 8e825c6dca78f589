#pragma once

#include <cstddef>

// Memory for pixels. A screen's worth of pixels in ordinary 4 KB pages costs one page fault
// per page the first time it is filled; on a virtual machine those faults take several times
// longer than copying the pixels. Blocks of 2 MB and more therefore come straight from the
// kernel, aligned for and advised to use 2 MB pages, and the last two freed are kept for the
// next blocks of the same size: a capture follows a capture of the same screen.
//
// Returns nullptr when there is no memory; *zeroed tells whether the block is all zeros.
// `bytes` must be passed back unchanged to free.
void* AllocPixelBlock(size_t bytes, bool* zeroed);
void FreePixelBlock(void* block, size_t bytes);
// Makes `count` blocks (at most two) of this size ready in memory, faulted in and kept, so
// that the next pictures of that size do not wait for the kernel.
void ReservePixelBlock(size_t bytes, int count = 1);
