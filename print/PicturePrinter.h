#pragma once

#include "platform/AppSettings.h"

class CDisplayPicture;
class QPrinter;
class QString;
class QWidget;

// The message shown when the printer cannot be set up or cannot start a job.
QString PrinterTroubleText();

// Prints every page the layout gives the picture. The page size of the layout is refreshed
// from the printer first. Returns false when the printer would not start.
bool PrintPicture(QPrinter& printer, const CDisplayPicture& picture, PrintLayoutSettings& layout);

enum class PrintRun { Dialog, Direct, Preview };

// Runs one print command on the program's printer: with the print dialog, straight to the
// printer, or in the preview window. A printer that writes a PDF with no file chosen yet asks
// for one, and keeps it for the rest of the run. A failure shows the printer trouble message.
void RunPrint(PrintRun how, QPrinter& printer, const CDisplayPicture& picture,
              PrintLayoutSettings& layout, QWidget* parent);
