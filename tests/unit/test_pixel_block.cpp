// The kept pixel blocks are shared by every thread that makes pictures: a block must never be
// handed to two owners at once, whatever the threads do at the same time.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "imagefile/PixelBlock.h"

namespace {

constexpr size_t kScreen = size_t(1920) * 1080 * 4;
constexpr size_t kSmallScreen = size_t(1280) * 1024 * 4;

// Takes a block, marks it as its own, checks nobody else wrote to it meanwhile, gives it back.
void Churn(int self, size_t bytes, int rounds, std::atomic<int>& clashes) {
    const auto mark = uint8_t(0x10 + self);
    for (int r = 0; r < rounds; ++r) {
        bool zeroed = false;
        auto* block = static_cast<uint8_t*>(AllocPixelBlock(bytes, &zeroed));
        ASSERT_NE(block, nullptr);
        if (zeroed) {
            ASSERT_EQ(block[bytes - 1], 0);
        }
        block[0] = mark;
        block[bytes / 2] = mark;
        block[bytes - 1] = mark;
        std::this_thread::yield();
        if (block[0] != mark || block[bytes / 2] != mark || block[bytes - 1] != mark) ++clashes;
        FreePixelBlock(block, bytes);
    }
}

} // namespace

// Threads taking and returning blocks of two sizes while another keeps reserving: every block
// has one owner at a time.
TEST(PixelBlockThreads, TakenFreedAndReservedFromSeveralThreads) {
    std::atomic<int> clashes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(Churn, t, t % 2 ? kSmallScreen : kScreen, 40, std::ref(clashes));
    threads.emplace_back([] {
        for (int r = 0; r < 10; ++r) {
            ReservePixelBlock(kScreen, 2);
            ReservePixelBlock(kSmallScreen, 1);
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(clashes.load(), 0);
}

// Small blocks come from the heap and may be freed on another thread than the one that took
// them, as a picture handed from a capture thread to the window is.
TEST(PixelBlockThreads, FreedOnAnotherThread) {
    std::vector<void*> blocks;
    std::thread maker([&] {
        for (size_t bytes : {size_t(64), size_t(4096), kScreen}) {
            bool zeroed = false;
            void* block = AllocPixelBlock(bytes, &zeroed);
            ASSERT_NE(block, nullptr);
            std::memset(block, 0x5A, bytes);
            blocks.push_back(block);
        }
    });
    maker.join();
    ASSERT_EQ(blocks.size(), 3u);
    FreePixelBlock(blocks[0], 64);
    FreePixelBlock(blocks[1], 4096);
    FreePixelBlock(blocks[2], kScreen);
}
