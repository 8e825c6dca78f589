#include <gtest/gtest.h>

#include "dialogs/NewImageUnits.h"

TEST(NewImageUnits, InchesAndCentimetresBecomePixelsRoundedUp) {
    NewImageValues v;
    v.width = 4;
    v.widthUnit = NewImageValues::Inches;
    v.height = 3;
    v.heightUnit = NewImageValues::Inches;
    v.ToPixels();
    EXPECT_EQ(v.width, 288);
    EXPECT_EQ(v.height, 216);
    EXPECT_EQ(v.widthUnit, NewImageValues::Pixels);

    // 400 px at 72 ppi in cm and back: 14.111 cm × 28.346 px/cm = 400.0000 → 400 (not 401).
    NewImageValues c;
    c.SetWidthUnit(NewImageValues::Centimeters);
    EXPECT_NEAR(c.width, 400 / 72.0 * 2.54, 1e-9);
    c.SetWidthUnit(NewImageValues::Pixels);
    EXPECT_EQ(c.width, 400);
    // A fraction of a pixel rounds up.
    c.width = 1.01;
    c.widthUnit = NewImageValues::Inches;
    c.SetWidthUnit(NewImageValues::Pixels);
    EXPECT_EQ(c.width, 73);
}

TEST(NewImageUnits, ResolutionUnitsAndTheSizeTheyServe) {
    NewImageValues v;
    v.SetHResUnit(NewImageValues::PixelsPerCm);
    EXPECT_NEAR(v.hres, 72 * 0.39370078740157477, 1e-12);
    v.SetHResUnit(NewImageValues::PixelsPerCm); // the same unit: nothing happens
    EXPECT_NEAR(v.hres, 28.346456692913385, 1e-12);
    // The width follows its own axis's resolution, whatever unit that is in.
    v.width = 2.54;
    v.widthUnit = NewImageValues::Centimeters;
    v.SetWidthUnit(NewImageValues::Inches);
    EXPECT_NEAR(v.width, 1.0, 1e-9);
    v.SetVResUnit(NewImageValues::PixelsPerCm);
    v.SetVResUnit(NewImageValues::PixelsPerInch);
    EXPECT_NEAR(v.vres, 72, 1e-9);
}
