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

// Prints with no dialog of any kind, for a print nobody is there to answer (a capture printed
// as soon as it is taken). A printer that writes a PDF puts this one job into `pdfName`, so
// every capture keeps its own file; the file chosen for the print commands stays as it was.
// A failure shows the printer trouble message.
void PrintUnattended(QPrinter& printer, const CDisplayPicture& picture, PrintLayoutSettings& layout,
                     const QString& pdfName, QWidget* parent);

// Where a capture's PDF goes when no printer takes it: beside the saved capture under the same
// name, or, for a capture not saved, the first free "<lead><number>.pdf" in the output folder
// (numbered like the captures, without using up their numbers).
QString CapturePdfName(const QString& savedPicture, const QString& folder, const QString& lead,
                       int digits);
