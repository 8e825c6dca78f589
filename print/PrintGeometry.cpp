#include "print/PrintGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace print {

Placement PlacementOf(int printMode) {
    switch (printMode) {
    case 1:
    case 2:
        return Placement::FitToMargins;
    case 3:
    case 4:
        return Placement::HeightAndWidth;
    default:
        return Placement::None;
    }
}

Rect PrintableRect(const PrintLayoutSettings& layout) {
    const long pageW = layout.sizePage.x;
    const long pageH = layout.sizePage.y;
    const RECT& m = layout.margins;
    Rect r{m.left, m.top, pageW - m.right, pageH - m.bottom};
    // Margins that meet or cross leave nothing to print on; the picture then takes the whole page
    // dimension rather than vanishing or printing mirrored.
    if (r.Width() < 1) {
        r.left = 0;
        r.right = pageW;
    }
    if (r.Height() < 1) {
        r.top = 0;
        r.bottom = pageH;
    }
    return r;
}

Rect FitToMargins(Size picture, const PrintLayoutSettings& layout) {
    const Rect area = PrintableRect(layout);
    if (picture.width <= 0 || picture.height <= 0) return {};
    const double scale = std::min(double(area.Width()) / double(picture.width),
                                  double(area.Height()) / double(picture.height));
    // Sizes and scale are never negative, where adding a half and cutting rounds correctly.
    const long w =
        long(scale * double(picture.width) + 0.5); // NOLINT(bugprone-incorrect-roundings)
    const long h =
        long(scale * double(picture.height) + 0.5); // NOLINT(bugprone-incorrect-roundings)
    long x = area.left;
    long y = area.top;
    if (layout.imageCenterFlag & 1) x += (area.right - w - area.left) / 2;
    if (layout.imageCenterFlag & 2) y += (area.bottom - h - area.top) / 2;
    return {x, y, x + w, y + h};
}

namespace {

long CeilDiv(long a, long b) {
    if (a <= 0 || b <= 0) return 0;
    return (a + b - 1) / b;
}

// One axis of a poster page: the picture's span for cell `k` and the page span it fills.
void PosterAxis(long picture, long print, long areaFrom, long areaTo, long k, long& srcFrom,
                long& srcTo, long& dstFrom, long& dstTo) {
    const long area = areaTo - areaFrom;
    const double share = double(area) / double(print);
    srcFrom = long(double(picture) * double(k) * share);
    srcTo = long(double(picture) * double(k + 1) * share);
    dstFrom = areaFrom;
    dstTo = areaTo;
    if (srcTo > picture) {
        // The last cell holds only what is left of the picture, at the same scale as the others.
        srcTo = picture;
        dstTo =
            areaFrom + long(double(picture - srcFrom) / (share * double(picture)) * double(area));
    }
}

} // namespace

PosterGrid PosterGridOf(const PrintLayoutSettings& layout) {
    const Rect area = PrintableRect(layout);
    return {CeilDiv(layout.sizePrint.x, area.Width()), CeilDiv(layout.sizePrint.y, area.Height())};
}

std::optional<PageSlice> PosterPage(Size picture, const PrintLayoutSettings& layout, long page) {
    const PosterGrid grid = PosterGridOf(layout);
    if (grid.Pages() == 0 || page < 1 || page > grid.Pages()) return std::nullopt;
    if (picture.width <= 0 || picture.height <= 0) return std::nullopt;
    const Rect area = PrintableRect(layout);
    const long printW = layout.sizePrint.x;
    const long printH = layout.sizePrint.y;
    if (grid.Pages() == 1) {
        long x = area.left;
        long y = area.top;
        if (layout.imageCenterFlag & 1) x += (area.Width() - printW) / 2;
        if (layout.imageCenterFlag & 2) y += (area.Height() - printH) / 2;
        return PageSlice{{0, 0, picture.width, picture.height}, {x, y, x + printW, y + printH}};
    }
    const long row = (page - 1) / grid.columns;
    const long column = (page - 1) % grid.columns;
    PageSlice s;
    PosterAxis(picture.width, printW, area.left, area.right, column, s.source.left, s.source.right,
               s.destination.left, s.destination.right);
    PosterAxis(picture.height, printH, area.top, area.bottom, row, s.source.top, s.source.bottom,
               s.destination.top, s.destination.bottom);
    return s;
}

long PageCount(const PrintLayoutSettings& layout) {
    switch (PlacementOf(layout.printMode)) {
    case Placement::FitToMargins:
        return 1;
    case Placement::HeightAndWidth:
        return PosterGridOf(layout).Pages();
    case Placement::None:
        break;
    }
    return 0;
}

std::optional<PageSlice> PageToPrint(Size picture, const PrintLayoutSettings& layout, long page) {
    switch (PlacementOf(layout.printMode)) {
    case Placement::FitToMargins:
        if (page != 1 || picture.width <= 0 || picture.height <= 0) return std::nullopt;
        return PageSlice{{0, 0, picture.width, picture.height}, FitToMargins(picture, layout)};
    case Placement::HeightAndWidth:
        return PosterPage(picture, layout, page);
    case Placement::None:
        break;
    }
    return std::nullopt;
}

double ToDisplayUnit(long tenthsMm, bool inches) {
    if (inches) return double(long(double(tenthsMm) * 0.39370078740157477)) / 100.0;
    return double(tenthsMm) / 100.0;
}

long FromDisplayUnit(double value, bool inches) {
    // A typed "2.01" is 200.99999... in binary; the nudge keeps it from truncating to 200.
    const double scaled = value * (inches ? 254.0 : 100.0);
    return long(scaled + (scaled >= 0 ? 1e-6 : -1e-6));
}

std::string FormatDisplayUnit(long tenthsMm, bool inches) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ToDisplayUnit(tenthsMm, inches));
    return text;
}

namespace {
constexpr double kStep = 0.1;
} // namespace

void SpinPrintSize(double& x, double& y, Size picture, bool changedIsX, bool up) {
    if (picture.width <= 0 || picture.height <= 0) return;
    const double sign = up ? 1.0 : -1.0;
    double& changed = changedIsX ? x : y;
    double& other = changedIsX ? y : x;
    const double ratio = changedIsX ? double(picture.height) / double(picture.width)
                                    : double(picture.width) / double(picture.height);
    changed = std::max(0.0, changed + sign * kStep);
    other = std::max(0.0, other + sign * std::round(10.0 * ratio) / 100.0);
}

double ClampMargin(double margin, double opposite, double pageDimension) {
    if (margin + opposite > pageDimension) margin = pageDimension - opposite;
    return std::max(0.0, margin);
}

double SpinMargin(double margin, double opposite, double pageDimension, bool up) {
    if (!up) return std::max(0.0, margin - kStep);
    if (margin + opposite + kStep >= pageDimension) return std::max(0.0, pageDimension - opposite);
    return margin + kStep;
}

Size DefaultPrintSize(Size page, Size picture) {
    if (picture.width <= 0) return {page.width, 0};
    return {page.width, long(double(page.width) * double(picture.height) / double(picture.width))};
}

} // namespace print
