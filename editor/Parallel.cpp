#include "editor/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace editor {

namespace {

int DefaultThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n >= 2 ? 2 : 1;
}

std::atomic<int> g_maxThreads{DefaultThreads()};

// Below this much work (roughly: bytes touched) a thread costs more than it saves.
constexpr double kMinParallelCost = 256.0 * 1024;

} // namespace

int GetMaxThreads() {
    return g_maxThreads.load(std::memory_order_relaxed);
}

void SetMaxThreads(int threads) {
    g_maxThreads.store(std::clamp(threads, 1, 2), std::memory_order_relaxed);
}

void ForEachBand(int count, int chunk, double costPerItem,
                 const std::function<void(int, int)>& body,
                 const std::function<void(int)>& report) {
    if (count <= 0) return;
    chunk = std::max(chunk, 1);
    const int chunks = (count - 1) / chunk + 1;
    auto run = [&](int c) { body(c * chunk, std::min(count, (c + 1) * chunk)); };
    auto reportChunk = [&](int c) {
        for (int i = c * chunk, end = std::min(count, (c + 1) * chunk); i < end; ++i) report(i);
    };
    if (GetMaxThreads() < 2 || chunks < 2 || count * costPerItem < kMinParallelCost) {
        for (int c = 0; c < chunks; ++c) {
            run(c);
            reportChunk(c);
        }
        return;
    }

    // Both threads take the next chunk as they become free, so that a thread slowed down by
    // other work on the machine does not hold the other one up at the end. The calling
    // thread reports every chunk once it and all before it are done.
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[size_t(chunks)]);
    for (int c = 0; c < chunks; ++c) done[size_t(c)].store(false, std::memory_order_relaxed);
    auto take = [&] {
        const int c = next.fetch_add(1, std::memory_order_relaxed);
        return failed.load(std::memory_order_relaxed) ? chunks : c;
    };

    std::exception_ptr workerError;
    std::thread worker([&] {
        try {
            for (int c = take(); c < chunks; c = take()) {
                run(c);
                done[size_t(c)].store(true, std::memory_order_release);
            }
        } catch (...) {
            workerError = std::current_exception();
            failed.store(true, std::memory_order_relaxed);
        }
    });
    int reported = 0;
    try {
        for (int c = take(); c < chunks; c = take()) {
            run(c);
            done[size_t(c)].store(true, std::memory_order_release);
            for (; reported < chunks && done[size_t(reported)].load(std::memory_order_acquire);
                 ++reported)
                reportChunk(reported);
        }
    } catch (...) {
        failed.store(true, std::memory_order_relaxed);
        worker.join();
        throw;
    }
    worker.join();
    if (workerError) std::rethrow_exception(workerError);
    for (; reported < chunks; ++reported) reportChunk(reported);
}

} // namespace editor
