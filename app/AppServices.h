#pragma once

// Services of the application object that need no window: help locations and the
// start-with-the-desktop entry.

#include <string>

// The page (and anchor) of a help topic number; any other number is the index page.
std::string HelpTopicPath(int topic);
// The help pages live in "help" beside the program (<program dir>/help/<page>#<anchor>, as in
// the build tree), or, when there is none, in the installed data folder
// (<prefix>/share/orvane-screen/help for <prefix>/bin/OrvaneScreen). Returns the full path
// including the anchor.
std::string HelpLocation(const std::string& programPath, const std::string& topicPath);

// $XDG_CONFIG_HOME/autostart/OrvaneScreen.desktop (else ~/.config/autostart/...).
std::string AutostartFile();
// The desktop entry text that starts programPath with the session.
std::string AutostartEntry(const std::string& programPath);
// On: writes the entry (replacing the file whole); off: removes it. False when that fails.
bool SetStartWithSystem(bool on, const std::string& programPath);
// True when the entry exists, can be read and is not disabled.
bool IsStartedWithSystem();
