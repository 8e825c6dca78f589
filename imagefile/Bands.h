#pragma once

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

// Runs work(band, worker) for bands 0 .. bands-1 on up to `threads` threads, the calling
// thread among them; worker numbers the thread (0 = caller). Bands are taken in order as
// threads come free, since on a shared machine one core may be much slower than another.
// work must not throw. A helper that cannot be started leaves its share to the others.
template <class Work> void RunBands(int bands, int threads, Work work) {
    std::atomic<int> next{0};
    auto worker = [&](int index) {
        for (int b = next++; b < bands; b = next++) work(b, index);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(std::max(0, threads - 1)));
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(worker, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker(0);
    for (auto& h : helpers) h.join();
}

// As many threads as there are cores, but never more than bands.
inline int BandThreadCount(int bands) {
    return std::max(1, std::min(bands, int(std::thread::hardware_concurrency())));
}
