#include "app/AppServices.h"
#include "platform/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

std::string HelpTopicPath(int topic) {
    switch (topic) {
    case 1:
        return "dialog.htm#generaloption";
    case 2:
        return "dialog.htm#resizedialog";
    case 3:
        return "dialog.htm#rotatedialog";
    case 4:
        return "dialog.htm#printlayout";
    case 5:
        return "dialog.htm#contrastdialog";
    case 6:
        return "dialog.htm#brightnessdialog";
    default:
        return "index.htm";
    }
}

std::string HelpLocation(const std::string& programPath, const std::string& topicPath) {
    size_t slash = programPath.rfind('/');
    std::string dir = slash == std::string::npos ? programPath : programPath.substr(0, slash);
    const std::string beside = dir + "/help";
    // An installed program keeps its pages with its other data, not beside itself.
    const std::string installed = dir + "/" ORVANE_DATA_FROM_PROGRAM "/help";
    struct stat st {};
    if (::stat(beside.c_str(), &st) != 0 && ::stat(installed.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        return installed + "/" + topicPath;
    return beside + "/" + topicPath;
}

std::string AutostartFile() {
    return ConfigHome() + "/autostart/OrvaneScreen.desktop";
}

std::string AutostartEntry(const std::string& programPath) {
    // Exec quoting: inside double quotes ", `, $ and \ take a backslash; then the value as a
    // whole doubles every backslash.
    std::string quoted = "\"";
    for (char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string exec;
    for (char c : quoted) {
        if (c == '\\') exec += '\\';
        exec += c;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Orvane Screen\n"
           "Comment=Screen capture and image editor\n"
           "Exec=" +
           exec +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool SetStartWithSystem(bool on, const std::string& programPath) {
    std::string file = AutostartFile();
    if (!on) return std::remove(file.c_str()) == 0;
    std::string dir = file.substr(0, file.rfind('/'));
    for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/') ::mkdir(dir.substr(0, i).c_str(), 0700);
    std::string tmp = file + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << AutostartEntry(programPath);
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            return false;
        }
    }
    return std::rename(tmp.c_str(), file.c_str()) == 0;
}

bool IsStartedWithSystem() {
    std::ifstream in(AutostartFile());
    if (!in) return false;
    std::string line;
    bool entry = false;
    while (std::getline(in, line)) {
        if (line == "[Desktop Entry]") entry = true;
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return entry;
}
