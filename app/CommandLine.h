#pragma once

// The program's command line and the request it makes of the running instance. Plain C++:
// it is read before any window exists or the display is touched.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a start of the program asks for: a capture, or files to open. Empty for a plain start.
struct StartRequest {
    // Index of the capture action (as in the capture action table), -1 for none.
    int captureAction = -1;
    // Absolute names of the files to open as image documents, in order.
    std::vector<std::string> files;

    bool Empty() const { return captureAction < 0 && files.empty(); }
    bool operator==(const StartRequest&) const = default;
};

struct CommandLine {
    enum class Outcome { Run, Help, Version, Error };
    Outcome outcome = Outcome::Run;
    StartRequest request;
    // For Error: what is wrong, in one line.
    std::string error;
    // The toolkit's own -platform and -display options, when given (they stay in argv for it).
    std::string platform;
    std::string display;
};

// A request larger than this is refused: it travels as one window property.
constexpr size_t kMaxStartRequestBytes = size_t(1) << 20;

// args: the arguments after the program name; cwd: the folder relative file names are in.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& cwd);
std::string CommandLineHelp();
std::string CommandLineVersion();

// The request as it travels to the running instance, and back. Decoding refuses anything
// Encode would not have made (unknown words, relative names, a second capture, ...).
std::string EncodeStartRequest(const StartRequest& request);
bool DecodeStartRequest(std::string_view bytes, StartRequest& request);
