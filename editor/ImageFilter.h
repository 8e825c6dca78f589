#pragma once

#include "imagefile/Picture.h"
#include "imagefile/ProgressSink.h"
#include "imagefile/Rect.h"
#include <functional>

// One editing operation with its parameters. It can be applied any number of times; the
// source is only read and the destination is recreated by the filter.
class ImageFilter {
public:
    explicit ImageFilter(ProgressSink* progress = nullptr) : m_progress(progress) {}
    ImageFilter(const ImageFilter&) = delete;
    ImageFilter& operator=(const ImageFilter&) = delete;
    virtual ~ImageFilter();

    // Kept for layout compatibility with the image layer's filters; does nothing.
    virtual void Reserved() {}
    // Applies the filter into a temporary picture and copies that back in its own format, so
    // the size and depth may change. The picture is replaced only once Apply has finished.
    virtual void ApplyInPlace(CPicture& picture);
    virtual void Apply(const CPicture& source, CPicture& destination) = 0;

protected:
    void Report(double fraction) const {
        if (m_progress) m_progress->OnProgress(fraction);
    }
    // start + span * step / steps, skipped when there are no steps to divide by.
    void ReportStep(double start, double span, int step, int steps) const {
        if (m_progress && steps > 0) m_progress->OnProgress(start + span * step / steps);
    }
    // The course of the filters that make each row of a 32-bit picture from the same row of
    // another: progress `start`, a destination of src's size and alpha, row(y) for every row
    // (on more than one thread when it pays) with progress from start over span, then 1.0.
    void MakeRows32(const CPicture& src, CPicture& destination, double start, double span,
                    const std::function<void(int)>& row) const;

private:
    ProgressSink* m_progress;
};

// The mirror image, for operations that naturally work in place: Apply copies the source
// into the destination and then runs ApplyInPlace on it.
class InPlaceImageFilter : public ImageFilter {
public:
    using ImageFilter::ImageFilter;
    void ApplyInPlace(CPicture& picture) override = 0;
    void Apply(const CPicture& source, CPicture& destination) override;
};

namespace editor {

// The source seen as a 32-bit picture: itself when it already is one, else a converted copy
// kept in scratch. Operations that read four bytes a pixel use it so that a picture of
// another depth is widened rather than read past its rows.
const CPicture& As32Bit(const CPicture& source, CDibSectionPicture& scratch);

// A per-thread picture for temporaries whose pixel block should survive between calls:
// fresh memory costs a page fault per page, which dwarfs the work of a point operation.
CDibSectionPicture& ScratchPicture(int slot);

} // namespace editor
