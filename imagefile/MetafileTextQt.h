#pragma once

#include "imagefile/MetafileText.h"

// Draws metafile text with Qt's fonts: fontconfig stands in for faces the system lacks.
// Needs a QGuiApplication.
double DrawMetafileTextQt(CPicture& picture, const MetafileTextRun& run);

// Registers DrawMetafileTextQt as the metafile text renderer.
void InstallMetafileTextRenderer();
