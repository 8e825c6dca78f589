#pragma once

// The values of the "Create New Image" dialog and their unit conversions, kept apart from the
// dialog so that the arithmetic can be checked on its own.
struct NewImageValues {
    enum SizeUnit { Pixels = 0, Inches = 1, Centimeters = 2 };
    enum ResUnit { PixelsPerInch = 0, PixelsPerCm = 1 };

    double width = 400;
    double height = 300;
    double hres = 72;
    double vres = 72;
    int widthUnit = Pixels;
    int heightUnit = Pixels;
    int hresUnit = PixelsPerInch;
    int vresUnit = PixelsPerInch;

    void SetWidthUnit(int unit);
    void SetHeightUnit(int unit);
    void SetHResUnit(int unit);
    void SetVResUnit(int unit);
    // What Create does: both sizes to pixels, width first.
    void ToPixels();
};
