#include "tools/ConvertOperations.h"

#include <charconv>
#include <cmath>
#include <memory>

#include "editor/Filters.h"
#include "editor/Resample.h"

namespace convertops {

namespace {

struct OptionSpec {
    const char* name;
    Kind kind;
    int count;
    const char* valueNames;
    int lo[4], hi[4];
};

// Ranges are those of the editor's dialogs.
const OptionSpec kOptions[] = {
    {"--resize", Kind::Resize, 2, "W H", {1, 1}, {2048, 2048}},
    {"--scale", Kind::Scale, 1, "PERCENT", {1}, {400}},
    {"--stretch", Kind::Stretch, 2, "HPERCENT VPERCENT", {1, 1}, {400, 400}},
    {"--rotate", Kind::Rotate, 1, "DEGREES", {-360}, {360}},
    {"--brightness", Kind::Brightness, 1, "V", {-100}, {100}},
    {"--contrast", Kind::Contrast, 2, "C OFFSET", {1, 0}, {100, 255}},
    {"--intensity", Kind::Intensity, 3, "I OFFSET E", {0, 0, 1}, {255, 255, 100}},
    {"--crop",
     Kind::Crop,
     4,
     "LEFT TOP RIGHT BOTTOM",
     {0, 0, 0, 0},
     {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}},
    {"--grayscale", Kind::Grayscale, 0, "", {}, {}},
    {"--invert", Kind::Invert, 0, "", {}, {}},
};

bool ParseInt(const std::string& s, int& out) {
    const char* b = s.data();
    const char* e = b + s.size();
    if (b != e && *b == '+') ++b;
    auto [p, ec] = std::from_chars(b, e, out);
    return ec == std::errc() && p == e && b != e;
}

std::string Range(int lo, int hi) {
    if (hi == INT32_MAX) return "at least " + std::to_string(lo);
    return "between " + std::to_string(lo) + " and " + std::to_string(hi);
}

// The editor's 32-bit conversion before colour and geometric operations.
void EnsureTrueColor(CPicture& picture) {
    if (picture.GetBitsPerPixel() == 32) return;
    CDibSectionPicture wide;
    wide.CopyWithDepth(picture, 32);
    picture.CopyWithDepth(wide, 0);
}

std::unique_ptr<ImageFilter> MakeResize(const Settings& s, int width, int height,
                                        ProgressSink* progress) {
    const double radius = s.radiusSteps * 0.01;
    switch (s.method) {
    case Method::Box:
        return std::make_unique<BoxResizeFilter>(width, height, radius, progress);
    case Method::Gaussian:
        return std::make_unique<GaussianResizeFilter>(width, height, radius, progress);
    case Method::Hamming:
        return std::make_unique<HammingResizeFilter>(width, height, radius, progress);
    case Method::Bilinear:
        break;
    }
    return std::make_unique<BilinearResizeFilter>(width, height, progress);
}

// Percent of a size as the Scale and Stretch dialogs compute it; never below one pixel,
// since a picture cannot be made with no rows or columns.
int Percent(int size, int percent) {
    return std::max(1, int(int64_t(size) * percent / 100));
}

} // namespace

ParseResult ParseOperations(const std::vector<std::string>& args) {
    ParseResult r;
    auto fail = [&](std::string message) {
        r.error = std::move(message);
        return r;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--") {
            r.rest.insert(r.rest.end(), args.begin() + long(i), args.end());
            break;
        }
        auto nextValue = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        if (a == "--filter") {
            const std::string* v = nextValue();
            if (!v) return fail("--filter needs a value: bilinear, box, gaussian or hamming");
            if (*v == "bilinear")
                r.settings.method = Method::Bilinear;
            else if (*v == "box")
                r.settings.method = Method::Box;
            else if (*v == "gaussian")
                r.settings.method = Method::Gaussian;
            else if (*v == "hamming")
                r.settings.method = Method::Hamming;
            else
                return fail("--filter must be bilinear, box, gaussian or hamming, not '" + *v +
                            "'");
            continue;
        }
        if (a == "--radius") {
            const std::string* v = nextValue();
            if (!v) return fail("--radius needs a value: the radius in pixels, 0.01 to 10");
            double radius = 0;
            const char* b = v->data();
            auto [p, ec] = std::from_chars(b, b + v->size(), radius);
            const double steps = radius * 100;
            const long rounded = std::lround(steps);
            if (ec != std::errc() || p != b + v->size() || !std::isfinite(radius) ||
                std::abs(steps - double(rounded)) > 1e-6 || rounded < 1 || rounded > 1000)
                return fail("--radius must be between 0.01 and 10 in steps of 0.01, not '" + *v +
                            "'");
            r.settings.radiusSteps = int(rounded);
            continue;
        }
        if (a == "--background") {
            const std::string* v = nextValue();
            std::string hex = v ? *v : "";
            if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
            unsigned value = 0;
            auto [p, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
            if (!v || hex.size() != 6 || ec != std::errc() || p != hex.data() + hex.size())
                return fail("--background needs a colour as six hex digits RRGGBB, e.g. ff00ff");
            r.settings.background = value;
            continue;
        }
        if (a == "--rotate90" || a == "--flip") {
            const bool rotate = a == "--rotate90";
            const std::string* v = nextValue();
            const char* first = rotate ? "cw" : "h";
            const char* second = rotate ? "ccw" : "v";
            if (!v || (*v != first && *v != second))
                return fail(a + " must be followed by " + first + " or " + second);
            r.operations.push_back({rotate ? Kind::Rotate90 : Kind::Flip, {*v == first, 0, 0, 0}});
            continue;
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& o : kOptions)
            if (a == o.name) option = &o;
        if (!option) {
            r.rest.push_back(a);
            continue;
        }
        if (args.size() - i - 1 < size_t(option->count))
            return fail(a + " needs " + std::to_string(option->count) + " value" +
                        (option->count > 1 ? "s" : "") + ": " + option->valueNames);
        Operation op{option->kind};
        for (int k = 0; k < option->count; ++k) {
            const std::string& v = args[++i];
            int n = 0;
            if (!ParseInt(v, n)) return fail(a + ": '" + v + "' is not a whole number");
            if (n < option->lo[k] || n > option->hi[k]) {
                std::string which = option->valueNames;
                // The name of the k-th value, for the message.
                for (int skip = 0; skip < k; ++skip) which.erase(0, which.find(' ') + 1);
                which = which.substr(0, which.find(' '));
                return fail(a + ": " + which + " must be " + Range(option->lo[k], option->hi[k]) +
                            " (got " + v + ")");
            }
            op.values[k] = n;
        }
        if (op.kind == Kind::Crop && (op.values[2] <= op.values[0] || op.values[3] <= op.values[1]))
            return fail("--crop: RIGHT must be greater than LEFT and BOTTOM greater than TOP");
        r.operations.push_back(op);
    }
    return r;
}

const char* UsageText() {
    return "  --resize W H               resize to W x H pixels (1..2048)\n"
           "  --scale PERCENT            scale both sides (1..400)\n"
           "  --stretch HPERCENT VPERCENT  scale each side (1..400)\n"
           "  --filter METHOD            bilinear (default), box, gaussian or hamming\n"
           "  --radius R                 radius in pixels for box, gaussian and hamming,\n"
           "                             0.01..10 (default 5)\n"
           "  --rotate DEGREES           rotate counter-clockwise (-360..360)\n"
           "  --background RRGGBB        background of --rotate (default ff00ff)\n"
           "  --rotate90 cw|ccw          rotate by a quarter turn\n"
           "  --flip h|v                 flip left to right or top to bottom\n"
           "  --brightness V             -100..100\n"
           "  --contrast C OFFSET        contrast 1..100 (10 keeps it), offset 0..255\n"
           "  --intensity I OFFSET E     intensity 0..255, offset 0..255, exponent 1..100\n"
           "  --grayscale                make an 8-bit grey picture\n"
           "  --invert                   invert the colours\n"
           "  --crop LEFT TOP RIGHT BOTTOM  keep this rectangle (right, bottom exclusive)\n"
           "Operations run in the order given.\n";
}

std::string ApplyOperations(const ParseResult& parsed, CPicture& picture, ProgressSink* progress) {
    const Settings& s = parsed.settings;
    for (const Operation& op : parsed.operations) {
        const int* v = op.values;
        std::unique_ptr<ImageFilter> filter;
        if (op.kind != Kind::Crop) EnsureTrueColor(picture);
        const int w = picture.GetWidth(), h = picture.GetHeight();
        switch (op.kind) {
        case Kind::Resize:
            filter = MakeResize(s, v[0], v[1], progress);
            break;
        case Kind::Scale:
            filter = MakeResize(s, Percent(w, v[0]), Percent(h, v[0]), progress);
            break;
        case Kind::Stretch:
            filter = MakeResize(s, Percent(w, v[0]), Percent(h, v[1]), progress);
            break;
        case Kind::Rotate:
            filter =
                std::make_unique<RotateFilter>(v[0] * RotateFilter::kRadiansPerDegree,
                                               0xFF000000u | (s.background & 0xFFFFFF), progress);
            break;
        case Kind::Rotate90:
            filter = std::make_unique<RotateFilter>(
                v[0] ? -RotateFilter::kQuarterTurn : RotateFilter::kQuarterTurn, 0, progress);
            break;
        case Kind::Flip:
            if (v[0])
                filter = std::make_unique<FlipHorizontalFilter>(progress);
            else
                filter = std::make_unique<FlipVerticalFilter>(progress);
            break;
        case Kind::Brightness:
            filter = std::make_unique<BrightnessFilter>(int(v[0] * 0.36), progress);
            break;
        case Kind::Contrast:
            filter = std::make_unique<ContrastFilter>(v[0] * 0.1, uint8_t(v[1]), progress);
            break;
        case Kind::Intensity:
            filter = std::make_unique<IntensityFilter>(double(v[0]), uint8_t(v[1]), v[2] * 0.1,
                                                       progress);
            break;
        case Kind::Grayscale:
            filter = std::make_unique<GrayscaleFilter>(progress);
            break;
        case Kind::Invert:
            filter = std::make_unique<InvertFilter>(progress);
            break;
        case Kind::Crop: {
            // As the view does with a selection: clipped to the picture.
            const int left = std::min(v[0], w), top = std::min(v[1], h);
            const int right = std::min(v[2], w), bottom = std::min(v[3], h);
            if (right <= left || bottom <= top)
                return "--crop " + std::to_string(v[0]) + " " + std::to_string(v[1]) + " " +
                       std::to_string(v[2]) + " " + std::to_string(v[3]) +
                       ": the rectangle lies outside the " + std::to_string(w) + " x " +
                       std::to_string(h) + " picture";
            filter = std::make_unique<CropFilter>(left, right, top, bottom, progress);
            break;
        }
        }
        filter->ApplyInPlace(picture);
    }
    return {};
}

} // namespace convertops
