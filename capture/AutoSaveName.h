#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/AppSettings.h"

// Message ids the naming may show.
constexpr int IDS_AUTOSAVE_NO_DIRECTORY = 141;
constexpr int IDS_AUTOSAVE_FILE_EXISTS = 142;
constexpr int IDS_AUTOSAVE_COUNTER_FULL = 143;

// Answers of the question asked for an existing file.
enum class AutoSaveAnswer { Yes, No, Cancel };

struct AutoSaveRequest {
    std::string directory;   // "AutoSavePath"
    std::string leadName;    // "AutoSaveLeadFileName"
    uint16_t digitCount = 5; // "AutoSaveDigitCount"
    uint32_t options = 0;    // ASO_ flags ("AutoSaveOptions")
    std::string extension;   // with its point, upper case: ".JPG"
};

// Shows message id with its argument (empty when it has none). For message 142 the answer
// decides; for the others it is ignored.
using AutoSaveAsk = std::function<AutoSaveAnswer(int id, const std::string& argument)>;

// Makes the next automatic file name from the counter ("AutoSaveStartNO", the number of the
// next file) and advances the counter. Returns false, with the counter unchanged, when the
// save is to be cancelled.
bool MakeAutoSaveName(const AutoSaveRequest& request, uint32_t& counter, const AutoSaveAsk& ask,
                      std::string& name);
