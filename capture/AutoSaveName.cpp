#include "capture/AutoSaveName.h"

#include <sys/stat.h>

#include <cerrno>

bool MakeAutoSaveName(const AutoSaveRequest& request, uint32_t& counter, const AutoSaveAsk& ask,
                      std::string& name) {
    const int digits = request.digitCount % 7;
    uint32_t limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    const bool wrap = request.options & ASO_WRAP_COUNTER;

    if (!wrap && counter >= limit) {
        ask(IDS_AUTOSAVE_COUNTER_FULL, {});
        return false;
    }
    const uint32_t number = counter < limit ? counter : limit - 1;
    const std::string numberText = std::to_string(number);

    std::string candidate = request.directory + "/" + request.leadName;
    if (size_t(digits) > numberText.size())
        candidate.append(size_t(digits) - numberText.size(), '0');
    candidate += numberText + request.extension;

    struct stat st;
    if (stat(candidate.c_str(), &st) == 0) {
        if (!(request.options & ASO_REPLACE_EXISTING) &&
            ask(IDS_AUTOSAVE_FILE_EXISTS, candidate) != AutoSaveAnswer::Yes)
            return false;
    } else {
        struct stat dir;
        if (stat(request.directory.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) {
            ask(IDS_AUTOSAVE_NO_DIRECTORY, request.directory);
            return false;
        }
    }

    // The counter advances before the file is written; a failed write does not take it back.
    uint32_t next = counter + 1;
    if (wrap) {
        next %= limit;
        if (next == 0) next = 1;
    }
    counter = next;
    name = candidate;
    return true;
}
