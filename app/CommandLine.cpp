#include "app/CommandLine.h"

#include <algorithm>

#include "capture/CaptureActions.h"

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "1.0.0"
#endif

namespace {

const char kRequestTag[] = "orvane-request 1";

// The toolkit reads these itself (a session manager restarts the program with -session, a
// user may choose -platform or -style); they pass through untouched.
const char* const kToolkitOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "name",          "title",  "visual"};
const char* const kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <size_t N> bool OneOf(const std::string& word, const char* const (&list)[N]) {
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char* item) { return word == item; });
}

std::string ActionList() {
    std::string list;
    for (const CaptureAction& a : CaptureActionTable) {
        if (!list.empty()) list += ", ";
        list += a.commandLineName;
    }
    return list;
}

CommandLine Failure(std::string message) {
    CommandLine result;
    result.outcome = CommandLine::Outcome::Error;
    result.error = std::move(message);
    return result;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& cwd) {
    CommandLine result;
    bool optionsEnded = false;
    bool captureGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (arg.empty()) return Failure("an empty file name");
            result.request.files.push_back(arg[0] == '/'                      ? arg
                                           : cwd.empty() || cwd.back() == '/' ? cwd + arg
                                                                              : cwd + "/" + arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            result.outcome = CommandLine::Outcome::Help;
            return result;
        }
        if (arg == "--version") {
            result.outcome = CommandLine::Outcome::Version;
            return result;
        }
        if (arg == "--capture" || arg.rfind("--capture=", 0) == 0) {
            std::string action;
            if (arg.size() > 9) {
                action = arg.substr(10);
            } else if (i + 1 < args.size()) {
                action = args[++i];
            } else {
                return Failure("--capture needs an action: " + ActionList());
            }
            if (captureGiven) return Failure("--capture may be given only once");
            const CaptureAction* a = CaptureActionForName(action.c_str());
            if (!a)
                return Failure("unknown capture action '" + action + "'; the actions are " +
                               ActionList());
            result.request.captureAction = a->index;
            captureGiven = true;
            continue;
        }
        // The toolkit accepts its options with one dash or two, and "-option=value".
        std::string word = arg.substr(arg[1] == '-' ? 2 : 1);
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = word.find('='); eq != std::string::npos) {
            value = word.substr(eq + 1);
            word.resize(eq);
            inlineValue = true;
        }
        if (OneOf(word, kToolkitOptionsWithValue)) {
            if (!inlineValue && i + 1 < args.size()) value = args[++i];
            if (word == "platform") result.platform = value;
            if (word == "display") result.display = value;
            continue;
        }
        if (!inlineValue && OneOf(word, kToolkitFlags)) continue;
        if (arg.rfind("-qmljsdebugger=", 0) == 0) continue;
        return Failure("unknown option '" + arg + "'");
    }
    if (captureGiven && !result.request.files.empty())
        return Failure("--capture cannot be combined with files to open");
    if (EncodeStartRequest(result.request).size() > kMaxStartRequestBytes)
        return Failure("too many files for one start");
    return result;
}

std::string CommandLineHelp() {
    const std::string indent(20, ' ');
    std::string actions;
    std::string line = indent;
    for (const CaptureAction& a : CaptureActionTable) {
        const std::string item = std::string(a.commandLineName) + ",";
        if (line.size() > indent.size() && line.size() + 1 + item.size() > 80) {
            actions += line + "\n";
            line = indent;
        }
        if (line.size() > indent.size()) line += " ";
        line += item;
    }
    line.pop_back();
    actions += line + "\n";
    return "Usage: OrvaneScreen [--capture ACTION | FILE...]\n"
           "\n"
           "Starts Orvane Screen in the notification area. When it already runs on this X\n"
           "display, the running instance is asked instead (and comes forward when nothing\n"
           "else is asked for); this command then ends as soon as it has accepted.\n"
           "\n"
           "  --capture ACTION  capture as the action's hotkey does, with the same output\n"
           "                    options. ACTION is one of\n" +
           actions +
           "                    (repeat: the last capture again; default: the default\n"
           "                    capture action of the options)\n"
           "  FILE...           open the files as image windows, as File > Open does\n"
           "  -h, --help        show this text and exit\n"
           "  --version         show the version and exit\n"
           "\n"
           "Exit status: 0 when started or when the running instance accepted the request,\n"
           "1 when the program cannot run here (it needs an X11 session) or the running\n"
           "instance did not answer, 2 for a command line it does not understand.\n";
}

std::string CommandLineVersion() {
    return "Orvane Screen " ORVANE_VERSION "\n";
}

std::string EncodeStartRequest(const StartRequest& request) {
    // Words separated by NUL, which no argument can contain: file names go through as the
    // system gives them, whatever bytes they hold.
    std::string bytes(kRequestTag, sizeof kRequestTag);
    auto put = [&bytes](const std::string& key, const std::string& value) {
        bytes += key;
        bytes += '\0';
        bytes += value;
        bytes += '\0';
    };
    if (request.captureAction >= 0 && request.captureAction < CAPTURE_ACTION_COUNT)
        put("capture", CaptureActionTable[request.captureAction].commandLineName);
    for (const std::string& file : request.files) put("open", file);
    return bytes;
}

bool DecodeStartRequest(std::string_view bytes, StartRequest& request) {
    request = StartRequest();
    if (bytes.size() > kMaxStartRequestBytes || bytes.empty() || bytes.back() != '\0') return false;
    std::vector<std::string_view> words;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\0', start);
        words.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (words.empty() || words[0] != kRequestTag || words.size() % 2 != 1) return false;
    for (size_t i = 1; i < words.size(); i += 2) {
        const std::string value(words[i + 1]);
        if (words[i] == "capture") {
            const CaptureAction* a = CaptureActionForName(value.c_str());
            if (!a || request.captureAction >= 0 || !request.files.empty()) return false;
            request.captureAction = a->index;
        } else if (words[i] == "open") {
            if (value.empty() || value[0] != '/' || request.captureAction >= 0) return false;
            request.files.push_back(value);
        } else {
            return false;
        }
    }
    return true;
}
