// The band runner every threaded image operation uses.

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "imagefile/Bands.h"

TEST(Bands, EveryBandOnceAndReportsInOrderOnTheCaller) {
    for (int threads : {1, 2, 5}) {
        std::vector<std::atomic<int>> runs(37);
        std::mutex m;
        std::vector<int> workers;
        std::vector<int> reported;
        const auto caller = std::this_thread::get_id();
        bool reportedElsewhere = false;
        RunBands(
            37, threads,
            [&](int band, int worker) {
                ++runs[size_t(band)];
                std::lock_guard lock(m);
                workers.push_back(worker);
            },
            [&](int band) {
                reportedElsewhere |= std::this_thread::get_id() != caller;
                reported.push_back(band);
            });
        for (const auto& r : runs) EXPECT_EQ(r.load(), 1);
        for (int w : workers) EXPECT_TRUE(w >= 0 && w < threads);
        ASSERT_EQ(reported.size(), 37u);
        for (int i = 0; i < 37; ++i) EXPECT_EQ(reported[size_t(i)], i);
        EXPECT_FALSE(reportedElsewhere);
    }
}

TEST(Bands, ChunksCoverTheItemsAndAFailureReachesTheCaller) {
    SetMaxThreads(3);
    std::vector<int> covered(1000, 0), reported;
    ForEachBand(
        1000, 64, 1e6,
        [&](int begin, int end) {
            EXPECT_EQ(begin % 64, 0);
            for (int i = begin; i < end; ++i) ++covered[size_t(i)];
        },
        [&](int i) { reported.push_back(i); });
    for (int c : covered) EXPECT_EQ(c, 1);
    ASSERT_EQ(reported.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(reported[size_t(i)], i);

    // A chunk that throws: the error reaches the caller, whichever thread ran it, and no
    // chunk is reported past it. (How many chunks other threads start before they see the
    // failure depends on the scheduler, so it is not asserted.)
    reported.clear();
    EXPECT_THROW(ForEachBand(
                     100000, 1, 1e6,
                     [&](int begin, int) {
                         if (begin == 5) throw std::runtime_error("band");
                     },
                     [&](int i) { reported.push_back(i); }),
                 std::runtime_error);
    EXPECT_LE(reported.size(), 5u);
    SetMaxThreads(int(std::thread::hardware_concurrency()));
}
