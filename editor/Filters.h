#pragma once

#include <cstdint>
#include <memory>

#include "editor/ImageFilter.h"

// Turns the picture about its top-left corner by angle radians (positive: counter-clockwise
// on screen), nearest-neighbour, onto a canvas that holds all four corners; canvas pixels
// outside the source get the background pixel (0xAARRGGBB).
class RotateFilter : public ImageFilter {
public:
    RotateFilter(double angle, uint32_t background, ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_angle(angle), m_background(background) {}
    void Apply(const CPicture& source, CPicture& destination) override;

    // The angles the 90-degree commands pass (positive: counter-clockwise).
    static constexpr double kQuarterTurn = 1.57079633;
    // Degrees to radians as the any-angle command converts them.
    static constexpr double kRadiansPerDegree = 0.01745329255555556;

private:
    double m_angle;
    uint32_t m_background;
};

// Adds lightness * 2.55 to blue, green and red.
class BrightnessFilter : public ImageFilter {
public:
    BrightnessFilter(int lightness, ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_lightness(lightness) {}
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    double m_lightness;
};

// Stretches every channel by contrast about a level given by the offset byte.
class ContrastFilter : public ImageFilter {
public:
    ContrastFilter(double contrast, uint8_t offset, ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_contrast(contrast), m_pivot(double(offset) - 125) {}
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    double m_contrast;
    double m_pivot;
};

// Raises the HSV value of pixels at or above the offset along a power curve.
class IntensityFilter : public ImageFilter {
public:
    IntensityFilter(double intensity, uint8_t offset, double exponent,
                    ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_intensity(intensity), m_offset(offset), m_exponent(exponent) {}
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    double m_intensity;
    double m_offset;
    double m_exponent;
};

// Makes an 8-bit picture with the grey ramp palette.
class GrayscaleFilter : public ImageFilter {
public:
    using ImageFilter::ImageFilter;
    void Apply(const CPicture& source, CPicture& destination) override;
};

class InvertFilter : public ImageFilter {
public:
    using ImageFilter::ImageFilter;
    void Apply(const CPicture& source, CPicture& destination) override;
};

// Left to right.
class FlipHorizontalFilter : public ImageFilter {
public:
    using ImageFilter::ImageFilter;
    void Apply(const CPicture& source, CPicture& destination) override;
};

// Top to bottom.
class FlipVerticalFilter : public ImageFilter {
public:
    using ImageFilter::ImageFilter;
    void Apply(const CPicture& source, CPicture& destination) override;
};

// Copies (copy set) or moves (copy clear) the pixels of the source rectangle to the
// destination rectangle; a move first fills the area rectangle with the fill colour
// (0x00BBGGRR). Rectangles are clipped to the picture.
class RegionMoveFilter : public ImageFilter {
public:
    RegionMoveFilter(const CRect& area, const CRect& source, const CRect& destination,
                     uint32_t fillColour, bool copy, ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_area(area.Normalized()), m_source(source.Normalized()),
          m_destination(destination.Normalized()), m_fillColour(fillColour), m_copy(copy) {}
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    CRect m_area;
    CRect m_source;
    CRect m_destination;
    uint32_t m_fillColour;
    bool m_copy;
};

// Copies the pasted area of its own copy of a picture onto the destination rectangle.
class PasteFilter : public ImageFilter {
public:
    PasteFilter(const CPicture& pasted, const CRect& pastedArea, const CRect& destination,
                ProgressSink* progress = nullptr);
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    CRect m_pastedArea;
    CRect m_destination;
    std::unique_ptr<CDibPicture> m_pasted;
};

// Keeps the rectangle [left, right) x [top, bottom). A rectangle reaching outside the source
// is clipped to it; one with nothing inside raises CTextException.
class CropFilter : public ImageFilter {
public:
    CropFilter(int left, int right, int top, int bottom, ProgressSink* progress = nullptr)
        : ImageFilter(progress), m_left(left), m_right(right), m_top(top), m_bottom(bottom) {}
    void Apply(const CPicture& source, CPicture& destination) override;

private:
    int m_left, m_right, m_top, m_bottom;
};
