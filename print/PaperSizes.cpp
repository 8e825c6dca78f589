// The standard paper sizes by printer-setting code, in millimetres.

#include <cmath>
#include <utility>

#include "print/PrintGeometry.h"

namespace print {

namespace {

struct Paper {
    double width;
    double height;
};

constexpr double kInch = 25.4;

// Index = code - 1; {0, 0} marks codes that name no paper.
constexpr Paper kPapers[] = {
    {8.5 * kInch, 11 * kInch},      // 1 Letter
    {8.5 * kInch, 11 * kInch},      // 2 Letter Small
    {11 * kInch, 17 * kInch},       // 3 Tabloid
    {17 * kInch, 11 * kInch},       // 4 Ledger
    {8.5 * kInch, 14 * kInch},      // 5 Legal
    {5.5 * kInch, 8.5 * kInch},     // 6 Statement
    {7.25 * kInch, 10.5 * kInch},   // 7 Executive
    {297, 420},                     // 8 A3
    {210, 297},                     // 9 A4
    {210, 297},                     // 10 A4 Small
    {148, 210},                     // 11 A5
    {257, 364},                     // 12 B4 (JIS)
    {182, 257},                     // 13 B5 (JIS)
    {8.5 * kInch, 13 * kInch},      // 14 Folio
    {215, 275},                     // 15 Quarto
    {10 * kInch, 14 * kInch},       // 16 10 x 14 in
    {11 * kInch, 17 * kInch},       // 17 11 x 17 in
    {8.5 * kInch, 11 * kInch},      // 18 Note
    {3.875 * kInch, 8.875 * kInch}, // 19 Envelope #9
    {4.125 * kInch, 9.5 * kInch},   // 20 Envelope #10
    {4.5 * kInch, 10.375 * kInch},  // 21 Envelope #11
    {4.75 * kInch, 11 * kInch},     // 22 Envelope #12
    {5 * kInch, 11.5 * kInch},      // 23 Envelope #14
    {17 * kInch, 22 * kInch},       // 24 C size sheet
    {22 * kInch, 34 * kInch},       // 25 D size sheet
    {34 * kInch, 44 * kInch},       // 26 E size sheet
    {110, 220},                     // 27 Envelope DL
    {162, 229},                     // 28 Envelope C5
    {324, 458},                     // 29 Envelope C3
    {229, 324},                     // 30 Envelope C4
    {114, 162},                     // 31 Envelope C6
    {114, 229},                     // 32 Envelope C65
    {250, 353},                     // 33 Envelope B4
    {176, 250},                     // 34 Envelope B5
    {176, 125},                     // 35 Envelope B6
    {110, 230},                     // 36 Envelope Italy
    {3.875 * kInch, 7.5 * kInch},   // 37 Envelope Monarch
    {3.625 * kInch, 6.5 * kInch},   // 38 Envelope 6 3/4
    {14.875 * kInch, 11 * kInch},   // 39 US Std Fanfold
    {8.5 * kInch, 12 * kInch},      // 40 German Std Fanfold
    {8.5 * kInch, 13 * kInch},      // 41 German Legal Fanfold
    {250, 353},                     // 42 B4 (ISO)
    {100, 148},                     // 43 Japanese Postcard
    {9 * kInch, 11 * kInch},        // 44 9 x 11 in
    {10 * kInch, 11 * kInch},       // 45 10 x 11 in
    {15 * kInch, 11 * kInch},       // 46 15 x 11 in
    {220, 220},                     // 47 Envelope Invite
    {0, 0},                         // 48 reserved
    {0, 0},                         // 49 reserved
    {9.275 * kInch, 12 * kInch},    // 50 Letter Extra
    {9.275 * kInch, 15 * kInch},    // 51 Legal Extra
    {11.69 * kInch, 18 * kInch},    // 52 Tabloid Extra
    {9.27 * kInch, 12.69 * kInch},  // 53 A4 Extra
    {8.5 * kInch, 11 * kInch},      // 54 Letter Transverse
    {210, 297},                     // 55 A4 Transverse
    {9.275 * kInch, 12 * kInch},    // 56 Letter Extra Transverse
    {227, 356},                     // 57 SuperA / A4
    {305, 487},                     // 58 SuperB / A3
    {8.5 * kInch, 12.69 * kInch},   // 59 Letter Plus
    {210, 330},                     // 60 A4 Plus
    {148, 210},                     // 61 A5 Transverse
    {182, 257},                     // 62 B5 (JIS) Transverse
    {322, 445},                     // 63 A3 Extra
    {174, 235},                     // 64 A5 Extra
    {201, 276},                     // 65 B5 (ISO) Extra
    {420, 594},                     // 66 A2
    {297, 420},                     // 67 A3 Transverse
    {322, 445},                     // 68 A3 Extra Transverse
};
static_assert(sizeof kPapers / sizeof kPapers[0] == 68);

} // namespace

Size PaperSize(int code, bool landscape, Size deviceSize) {
    if (code < 1 || code > 68 || kPapers[code - 1].width == 0) return deviceSize;
    const Paper& p = kPapers[code - 1];
    Size s{long(std::lround(p.width * 10)), long(std::lround(p.height * 10))};
    if (landscape) std::swap(s.width, s.height);
    return s;
}

} // namespace print
