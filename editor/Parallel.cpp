#include "editor/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
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
    int split = count;
    if (GetMaxThreads() >= 2 && count >= 2 * chunk && count * costPerItem >= kMinParallelCost) {
        split = (count / 2 + chunk - 1) / chunk * chunk;
        split = std::min(split, count);
    }

    std::exception_ptr workerError;
    std::thread worker;
    if (split < count) {
        worker = std::thread([&] {
            try {
                body(split, count);
            } catch (...) {
                workerError = std::current_exception();
            }
        });
    }
    try {
        for (int begin = 0; begin < split; begin += chunk) {
            const int end = std::min(begin + chunk, split);
            body(begin, end);
            for (int i = begin; i < end; ++i) report(i);
        }
    } catch (...) {
        if (worker.joinable()) worker.join();
        throw;
    }
    if (worker.joinable()) {
        worker.join();
        if (workerError) std::rethrow_exception(workerError);
        for (int i = split; i < count; ++i) report(i);
    }
}

} // namespace editor
