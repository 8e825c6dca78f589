#include "editor/ImageFilter.h"

#include <algorithm>
#include <memory>

ImageFilter::~ImageFilter() = default;

void ImageFilter::ApplyInPlace(CPicture& picture) {
    CDibSectionPicture& temporary = editor::ScratchPicture(0);
    Apply(picture, temporary);
    picture.CopyWithDepth(temporary, 0);
}

void InPlaceImageFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source != &destination) destination.CopyWithDepth(source, 0);
    ApplyInPlace(destination);
}

namespace editor {

const CPicture& As32Bit(const CPicture& source, CDibSectionPicture& scratch) {
    if (source.GetBitsPerPixel() == 32) return source;
    scratch.CopyWithDepth(source, 32);
    return scratch;
}

CDibSectionPicture& ScratchPicture(int slot) {
    // Slot 0 serves ApplyInPlace, slot 1 the 32-bit widening inside Apply; they are never
    // in use twice at once on one thread.
    thread_local std::unique_ptr<CDibSectionPicture> pictures[2];
    auto& p = pictures[slot];
    if (!p) p = std::make_unique<CDibSectionPicture>();
    return *p;
}

} // namespace editor
