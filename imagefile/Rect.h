#pragma once

#include <algorithm>

// A rectangle of whole pixels; right and bottom are exclusive.
struct CRect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Swaps left with right and top with bottom where needed.
    CRect Normalized() const {
        return {std::min(left, right), std::min(top, bottom), std::max(left, right),
                std::max(top, bottom)};
    }
    bool operator==(const CRect&) const = default;
};
