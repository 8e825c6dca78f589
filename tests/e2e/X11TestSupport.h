#pragma once

// Helpers of the GoogleTest programs that run against a real X server.

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>

#include "imagefile/Picture.h"

// Polls condition until it holds or the time is up; the X server works at its own pace.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// A 32-bit picture's pixel as 0xAARRGGBB.
inline uint32_t PixelAt(const CPicture& p, int x, int y) {
    uint32_t v;
    std::memcpy(&v, p.GetLineArray()[y] + 4 * x, 4);
    return v;
}
