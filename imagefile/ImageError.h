#pragma once

#include <string>

#include "imagefile/TextException.h"

// Raises the layer's CTextException. Messages are shown to the user as
// "Decoder error: <message>\n", except the few low-level ones (out of memory while creating a
// bitmap or a global block, buffer overflow, end of data, the colour reducer's out of
// memory), which already read as complete sentences and are raised as they are.
[[noreturn]] void RaiseImageError(int code, const std::string& message);

// The text RaiseImageError would give the message.
std::string FormatImageError(const std::string& message);

// One line for the developer, never for the user.
void ImageDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));
