#include "dialogs/NewImageUnits.h"

namespace {

constexpr double kInchPerCm = 0.39370078740157477;
constexpr double kCmPerInch = 2.54;

double PerInch(double res, int resUnit) {
    return resUnit == NewImageValues::PixelsPerInch ? res : res * kCmPerInch;
}
double PerCm(double res, int resUnit) {
    return resUnit == NewImageValues::PixelsPerCm ? res : res * kInchPerCm;
}

// Brings a size to the new unit through pixels; a conversion to pixels rounds up by adding
// just under one before cutting (the two axes use slightly different margins).
void ConvertSize(double& value, int& unit, int newUnit, double res, int resUnit, double roundUp) {
    if (newUnit == unit || newUnit < 0 || newUnit > 2) return;
    double pixels = value;
    if (unit == NewImageValues::Inches)
        pixels = double(long(value * PerInch(res, resUnit) + roundUp));
    else if (unit == NewImageValues::Centimeters)
        pixels = double(long(value * PerCm(res, resUnit) + roundUp));
    if (newUnit == NewImageValues::Pixels)
        value = pixels;
    else if (newUnit == NewImageValues::Inches)
        value = pixels / PerInch(res, resUnit);
    else
        value = pixels / PerCm(res, resUnit);
    unit = newUnit;
}

void ConvertRes(double& value, int& unit, int newUnit) {
    if (newUnit == unit || newUnit < 0 || newUnit > 1) return;
    value *= newUnit == NewImageValues::PixelsPerCm ? kInchPerCm : kCmPerInch;
    unit = newUnit;
}

} // namespace

void NewImageValues::SetWidthUnit(int unit) {
    ConvertSize(width, widthUnit, unit, hres, hresUnit, 0.999999999);
}
void NewImageValues::SetHeightUnit(int unit) {
    ConvertSize(height, heightUnit, unit, vres, vresUnit, 0.999999);
}
void NewImageValues::SetHResUnit(int unit) {
    ConvertRes(hres, hresUnit, unit);
}
void NewImageValues::SetVResUnit(int unit) {
    ConvertRes(vres, vresUnit, unit);
}

void NewImageValues::ToPixels() {
    SetWidthUnit(Pixels);
    SetHeightUnit(Pixels);
}
