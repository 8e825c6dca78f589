#pragma once

// The program's own drawings: a tool-bar image for every command that has one, and the
// program icon. Each is drawn on a 16 by 16 grid and scaled, so every size comes from the
// same drawing (the installed icon files are made from it at build time).

#include <QIcon>

class QPainter;

// Draws the command's image on the 16 by 16 grid of the painter; false (nothing drawn) for a
// command without an image.
bool PaintCommandImage(int id, QPainter& p);
// The command's image at 16, 24, 32 and 48 pixels; a null icon when it has none.
QIcon DrawnCommandIcon(int id);

// Draws the program icon on the 16 by 16 grid of the painter.
void PaintProgramIcon(QPainter& p);
// The program icon at every size a desktop asks for, from 16 to 256 pixels.
QIcon DrawnProgramIcon();
// The sizes DrawnProgramIcon holds, which are also the sizes of the installed icon files.
inline constexpr int kProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
