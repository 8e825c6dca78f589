#pragma once

#include <vector>

#include "framework/Commands.h"

// Menu 128 (no image open), menu 129 (an image open), the notification-area menu 155, tool
// bar 128 and the accelerator table 128.
std::vector<MenuItem> DefaultMenu();
std::vector<MenuItem> DocumentMenu();
MenuItem TrayMenu();
// Menu 341: the pop-up of the open-file tab bar.
MenuItem TabViewMenu();
std::vector<int> MainToolBar();
std::vector<int> AcceleratorCommands();
