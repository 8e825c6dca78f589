#include "imagefile/Bands.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

int CoreCount() {
    return std::max(1, int(std::thread::hardware_concurrency()));
}

std::atomic<int> g_maxThreads{CoreCount()};

// Below this much work a second thread costs more than it saves.
constexpr double kMinParallelCost = 256.0 * 1024;

} // namespace

int GetMaxThreads() {
    return g_maxThreads.load(std::memory_order_relaxed);
}

void SetMaxThreads(int threads) {
    g_maxThreads.store(std::max(threads, 1), std::memory_order_relaxed);
}

int BandThreadCount(int bands) {
    return std::max(1, std::min(bands, GetMaxThreads()));
}

void RunBands(int bands, int threads, const std::function<void(int, int)>& work,
              const std::function<void(int)>& done) {
    if (bands <= 0) return;
    threads = std::clamp(threads, 1, bands);
    if (threads == 1) {
        for (int b = 0; b < bands; ++b) {
            work(b, 0);
            if (done) done(b);
        }
        return;
    }

    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::unique_ptr<std::atomic<bool>[]> finished(new std::atomic<bool>[size_t(bands)]);
    for (int b = 0; b < bands; ++b) finished[size_t(b)].store(false, std::memory_order_relaxed);
    const auto take = [&] {
        const int b = next.fetch_add(1, std::memory_order_relaxed);
        return failed.load(std::memory_order_relaxed) ? bands : b;
    };
    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    // Runs bands until none is left; the caller also reports what is finished in order.
    int reported = 0;
    const auto worker = [&](int index) {
        try {
            for (int b = take(); b < bands; b = take()) {
                work(b, index);
                finished[size_t(b)].store(true, std::memory_order_release);
                if (index == 0 && done)
                    for (; reported < bands &&
                           finished[size_t(reported)].load(std::memory_order_acquire);
                         ++reported)
                        done(reported);
            }
        } catch (...) {
            errors[size_t(index)] = std::current_exception();
            failed.store(true, std::memory_order_relaxed);
        }
    };

    std::vector<std::thread> helpers;
    helpers.reserve(size_t(threads - 1));
    for (int t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(worker, t);
        } catch (const std::system_error&) {
            break;
        }
    }
    worker(0);
    for (auto& h : helpers) h.join();
    for (const auto& e : errors)
        if (e) std::rethrow_exception(e);
    if (done)
        for (; reported < bands; ++reported) done(reported);
}

void ForEachBand(int count, int chunk, double costPerItem,
                 const std::function<void(int, int)>& body,
                 const std::function<void(int)>& report) {
    if (count <= 0) return;
    chunk = std::max(chunk, 1);
    const int chunks = (count - 1) / chunk + 1;
    const int threads = count * costPerItem < kMinParallelCost ? 1 : BandThreadCount(chunks);
    RunBands(
        chunks, threads, [&](int c, int) { body(c * chunk, std::min(count, (c + 1) * chunk)); },
        [&](int c) {
            if (report)
                for (int i = c * chunk, end = std::min(count, (c + 1) * chunk); i < end; ++i)
                    report(i);
        });
}
