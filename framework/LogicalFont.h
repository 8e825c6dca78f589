#pragma once

#include <QFont>

#include "platform/LogFont.h"

// Fonts kept in the settings as logical font records, and the QFont that draws them.
//
// A QFont has no room for a record's width, escapement, orientation, character set or
// precisions; going back, those come from the record the font was made from (`base`), and so
// does every field whose QFont counterpart was not changed. A stored font therefore comes
// back byte for byte when nobody changed it, and a changed one keeps what QFont cannot say.

QFont FontFromLogFont(const LOGFONT& record);
LOGFONT LogFontFromFont(const QFont& font, int dpiY, const LOGFONT& base = {});

// The vertical resolution that point sizes are converted with (the primary screen's).
int ScreenDpiY();
// The (negative) record height of a font of `points` points at dpiY.
int32_t CharacterHeight(int points, int dpiY);
