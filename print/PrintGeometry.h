#pragma once

// How a picture is placed on paper. Every length is in tenths of a millimetre with y growing
// downward from the page's top-left corner; pictures are measured in pixels.

#include <optional>
#include <string>

#include "platform/AppSettings.h"

namespace print {

struct Size {
    long width = 0;
    long height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// The two placements; a stored mode outside 1 to 4 places nothing.
enum class Placement { None, FitToMargins, HeightAndWidth };
Placement PlacementOf(int printMode);

// The page less the margins; a dimension the margins leave below 1 falls back to the whole page
// dimension, so a picture is never squeezed to nothing.
Rect PrintableRect(const PrintLayoutSettings& layout);

// "Fit to Margins": the whole picture as large as the printable area allows, on page 1.
Rect FitToMargins(Size picture, const PrintLayoutSettings& layout);

struct PosterGrid {
    long columns = 0;
    long rows = 0;
    long Pages() const { return columns * rows; }
};
// "Height and Width": how many printable areas the print size needs across and down.
PosterGrid PosterGridOf(const PrintLayoutSettings& layout);

// The part of the picture one page prints and where it goes on that page.
struct PageSlice {
    Rect source;      // pixels of the picture
    Rect destination; // on the page
};
// The slice of page `page` (from 1) in "Height and Width"; nothing for a page outside the grid.
std::optional<PageSlice> PosterPage(Size picture, const PrintLayoutSettings& layout, long page);

// Pages a job has: the grid's pages for "Height and Width", 1 for "Fit to Margins", 0 otherwise.
long PageCount(const PrintLayoutSettings& layout);

// What page `page` prints in whichever placement the layout names.
std::optional<PageSlice> PageToPrint(Size picture, const PrintLayoutSettings& layout, long page);

// The layout page's units: centimetres or inches, shown with two decimals.
double ToDisplayUnit(long tenthsMm, bool inches);
long FromDisplayUnit(double value, bool inches);
std::string FormatDisplayUnit(long tenthsMm, bool inches);

// One spin step (0.1 of the display unit) on X or Y moves the other field by the picture's
// proportion so the printed picture keeps its shape; neither goes below 0. Values are in the
// display unit; `changedIsX` tells which field the spin moved.
void SpinPrintSize(double& x, double& y, Size picture, bool changedIsX, bool up);

// One spin step on a margin; the two opposite margins never cross the page dimension.
double SpinMargin(double margin, double opposite, double pageDimension, bool up);
// The same limit applied to a typed value.
double ClampMargin(double margin, double opposite, double pageDimension);

// The paper of a printer setting: a known code from 1 to 68 is looked up (landscape swaps it);
// code 0 or an unknown code keeps the device's own size.
Size PaperSize(int code, bool landscape, Size deviceSize);

// A print size not yet chosen becomes the page width at the picture's proportions.
Size DefaultPrintSize(Size page, Size picture);

} // namespace print
