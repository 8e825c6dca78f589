// The command table against the program's string tables: menu texts, accelerators, status-bar
// prompts and tool-bar tool tips, typed here independently of the table itself.
#include <QAction>
#include <QToolBar>
#include <gtest/gtest.h>
#include <map>

#include "framework/Commands.h"
#include "framework/FrameWnd.h"

namespace {

struct Expected {
    const char* text;
    const char* shortcuts;
    const char* prompt;
    const char* tip;
};

// The capture commands carry the same text as prompt and tool tip.
#define CAPTURE(text, prompt)                                                                      \
    { text, "", prompt, prompt }

const std::map<int, Expected> kExpected = {
    {ID_APP_ABOUT, {"&About...", "", "Display program information and version", "About"}},
    {ID_APP_EXIT, {"E&xit", "", "Quit the application", "Quit the application"}},
    {ID_FILE_NEW, {"&New Image...", "Ctrl+N", "Create a new image", "Create a new image"}},
    {ID_FILE_OPEN, {"&Open...", "Ctrl+O", "Open an existing image", "Open"}},
    {ID_FILE_CLOSE, {"&Close", "", "Close the active image", "Close the active image"}},
    {ID_FILE_SAVE, {"&Save", "Ctrl+S", "Save the active image", "Save"}},
    {ID_FILE_SAVE_AS,
     {"Save &As...", "", "Save the active image with a new name",
      "Save the active image with a new name"}},
    {ID_FILE_PRINT_SETUP,
     {"P&rint Setup...", "", "Change the printer and its options",
      "Change the printer and its options"}},
    {ID_FILE_PRINT, {"&Print...", "Ctrl+P", "Print the active image", "Print"}},
    {ID_FILE_PRINT_PREVIEW, {"Print Pre&view", "", "Display full pages", "Display full pages"}},
    {ID_EDIT_COPY, {"&Copy", "Ctrl+C;Ctrl+Ins", "Copy the selection to the clipboard", "Copy"}},
    {ID_EDIT_CUT, {"Cu&t", "Ctrl+X;Shift+Del", "Cut the selection to the clipboard", "Cut"}},
    {ID_EDIT_PASTE,
     {"&Paste Into Current Image ", "Ctrl+V;Shift+Ins",
      "Paste the clipboard's image into the active image", "Paste"}},
    {ID_EDIT_UNDO, {"&Undo", "Ctrl+Z;Alt+Backspace", "Undo the last action", "Undo"}},
    {ID_EDIT_REDO, {"&Redo", "", "Redo the previously undone action", "Redo"}},
    {ID_WINDOW_NEW,
     {"&New Window", "", "Open another window for the active image",
      "Open another window for the active image"}},
    {ID_WINDOW_ARRANGE,
     {"&Arrange Icons", "", "Arrange icons at the bottom of the window",
      "Arrange icons at the bottom of the window"}},
    {ID_WINDOW_CASCADE,
     {"&Cascade", "", "Arrange windows so they overlap", "Arrange windows so they overlap"}},
    {ID_HELP_FINDER, {"&Help Topics", "", "List help topics", "List help topics"}},
    {ID_CONTEXT_HELP,
     {"Context Help", "Shift+F1", "Display help for clicked items",
      "Display help for clicked items"}},
    {ID_HELP,
     {"Help", "F1", "Display help for the current task", "Display help for the current task"}},
    {ID_DEFAULT_HELP, {"Help", "", "Display help", "Display help"}},
    {ID_NEXT_PANE,
     {"Next Pane", "F6", "Switch to the next window pane", "Switch to the next window pane"}},
    {ID_PREV_PANE,
     {"Previous Pane", "Shift+F6", "Switch back to the previous pane",
      "Switch back to the previous pane"}},
    {ID_VIEW_TOOLBAR, {"&Toolbar", "", "Show or hide the toolbar", "Show or hide the toolbar"}},
    {ID_VIEW_STATUS_BAR,
     {"&Status Bar", "", "Show or hide the status bar", "Show or hide the status bar"}},
    {ID_WINDOW_TILE_HORZ,
     {"&Tile", "", "Arrange windows as non-overlapping tiles",
      "Arrange windows as non-overlapping tiles"}},
    {ID_WINDOW_TAB_BAR,
     {"Open File Tabs Bar", "", "Show or hide the tab bar", "Show or hide the tab bar"}},
    {ID_WINDOW_NEXT,
     {"Next Window", "", "Activate the next image window", "Activate the next image window"}},
    {ID_WINDOW_PREVIOUS,
     {"Previous Window", "", "Activate the previous image window",
      "Activate the previous image window"}},
    {ID_WINDOW_SAVE_CLOSE_ALL,
     {"Save and Close All", "", "Save every modified image and close all images",
      "Save every modified image and close all images"}},
    {ID_WINDOW_SAVE_ALL,
     {"Save All", "", "Save every modified image", "Save every modified image"}},
    {ID_WINDOW_MANAGE,
     {"&Windows...", "", "Manage the open image windows", "Manage the open image windows"}},
    {ID_VIEW_TAB_BAR,
     {"&Manage View Tab Bar", "", "Show or hide the tab bar", "Show or hide the tab bar"}},
    {ID_CAPTURE_ACTIVE_WINDOW,
     CAPTURE("Ac&tive Window", "Capture the active window automatically")},
    {ID_CAPTURE_ACTIVE_CLIENT,
     CAPTURE("Active Window C&lient", "Capture the active client area automatically")},
    {ID_CAPTURE_CONTROL,
     CAPTURE("&Control,Button,Child Window", "Capture a control,button or child window")},
    {ID_CAPTURE_SINGLE_WINDOW, CAPTURE("Sin&gle Window", "Select and capture a window")},
    {ID_CAPTURE_RECTANGLE,
     CAPTURE("&Rectangle", "Select and capture a rectangle area of the screen")},
    {ID_CAPTURE_SQUARE, CAPTURE("&Square", "Select and capture a square area of  the screen")},
    {ID_CAPTURE_CIRCLE, CAPTURE("&Circle", "Select and capture a circlel area of  the screen")},
    {ID_CAPTURE_ELLIPSE, CAPTURE("&Ellipse", "Select and capture a oval area of  the screen")},
    {ID_CAPTURE_MENU, CAPTURE("&Menu", "Capture a displayed menu")},
    {ID_CAPTURE_POLYGON, CAPTURE("&Polygon", "Select and capture a polygonal area of  the screen")},
    {ID_CAPTURE_DESKTOP, CAPTURE("&Desktop", "Capture the entire screen")},
    {ID_CAPTURE_REPEAT_LAST, CAPTURE("&Repeat Last", "Repeat last capture action")},
    {ID_CAPTURE_DEFAULT, CAPTURE("De&fault Action", "Capture used default mode")},
    {ID_CAPTURE_OPTIONS, {"&Options...", "", "Change the options", "Options"}},
    {ID_OP_RESIZE, {"&Resize...", "", "Resize the image", "Resize"}},
    {ID_OP_ROTATE_ANY,
     {"Any Angle &Rotate...", "", "Rotate the image by any angle",
      "Rotate the image by any angle"}},
    {ID_OP_ROTATE_CW,
     {"90\u00b0 &Clockwise", "", "Rotate the image clockwise by 90 degrees", "Rotate clockwise"}},
    {ID_OP_ROTATE_CCW,
     {"90\u00b0 C&ounter-Clockwise", "", "Rotate the image counter-clockwise by 90 degrees",
      "Rotate counter-clockwise"}},
    {ID_OP_SCALE, {"&Scale...", "", "Scale the image", "Scale the image"}},
    {ID_OP_STRETCH, {"S&trecth...", "", "Stretch the image", "Stretch the image"}},
    {ID_OP_CROP, {"&Crop", "", "Crop the image to the selection", "Crop"}},
    {ID_OP_FLIP_H, {"&Horizontally", "", "Flip left to right", "Flip left to right"}},
    {ID_OP_FLIP_V, {"&Vertically", "", "Flip top to bottom", "Flip top to bottom"}},
    {ID_OP_BRIGHTNESS, {"&Brightness...", "", "Change the brightness", "Brightness"}},
    {ID_OP_CONTRAST, {"C&ontrast...", "", "Change the contrast", "Contrast"}},
    {ID_OP_GRAYSCALE, {"&Grayscale", "", "Turn the image grey", "Turn the image grey"}},
    {ID_OP_INTENSITY,
     {"Intensity", "", "Adjust the image intensity", "Adjust the image intensity"}},
    {ID_OP_INVERT, {"&Invert", "", "Invert the colours", "Invert the colours"}},
    {ID_EDIT_SELECT_REGION,
     {"&Select Region", "", "Select a region of the image", "Select region"}},
    {ID_EDIT_SELECT_ALL, {"Select &All", "", "Select the whole image", "Select the whole image"}},
    {ID_EDIT_UNSELECT, {"U&nselect Region", "", "Remove the selection", "Remove the selection"}},
    {ID_VIEW_ZOOM25,
     {"&Zoom:25%", "", "Show the image at 25 percent", "Show the image at 25 percent"}},
    {ID_VIEW_ZOOM50,
     {"Zoom:&50%", "", "Show the image at 50 percent", "Show the image at 50 percent"}},
    {ID_VIEW_ZOOM100,
     {"Zoom:&100%", "", "Show the image at its size", "Show the image at its size"}},
    {ID_VIEW_ZOOM200,
     {"Zoom:&200%", "", "Show the image at 200 percent", "Show the image at 200 percent"}},
    {ID_VIEW_ZOOM400,
     {"Zoom:&400%", "", "Show the image at 400 percent", "Show the image at 400 percent"}},
    {ID_VIEW_ZOOM_IN, {"Zoom in", "", "Zoom in", "Zoom in"}},
    {ID_VIEW_ZOOM_OUT, {"Zoom out", "", "Zoom out", "Zoom out"}},
    {ID_EDIT_PASTE_NEW,
     {"Paste As Ne&w Image", "Ctrl+W", "Make a new image from the clipboard",
      "Make a new image from the clipboard"}},
    {ID_FILE_CLOSE_ALL, {"Close A&ll", "", "Close all images", "Close all images"}},
    {ID_SHOW_MAIN_WINDOW,
     {"&Show Main Window", "", "Show the main window", "Show the main window"}},
    {ID_EXPLORE_OUTPUT,
     {"&Explore Output Directory", "", "Open the output directory", "Open the output directory"}},
    {ID_HOME_PAGE,
     {"Orvane Screen &Home Page", "", "Visit the product web page", "Visit the product web page"}},
};

} // namespace

TEST(CommandTable, EveryCommandHasItsTextsPromptAndTip) {
    EXPECT_EQ(CommandTable().size(), kExpected.size());
    for (const CommandInfo& c : CommandTable()) {
        SCOPED_TRACE(c.id);
        auto it = kExpected.find(c.id);
        ASSERT_NE(it, kExpected.end()) << "a command nobody expects";
        EXPECT_STREQ(c.text, it->second.text);
        EXPECT_STREQ(c.shortcuts, it->second.shortcuts);
        EXPECT_EQ(CommandPrompt(c.id).toStdString(), it->second.prompt);
        EXPECT_EQ(CommandToolTip(c.id).toStdString(), it->second.tip);
    }
}

// The tool bar shows the tip half as the button's tool tip and the prompt half in the status bar.
TEST(CommandTable, ToolBarShowsTipAndPromptHalves) {
    CMDIFrameWnd frame;
    QToolBar* bar = frame.BuildToolBar(
        "Standard", {ID_FILE_OPEN, 0, ID_CAPTURE_DEFAULT, ID_CAPTURE_CIRCLE, ID_OP_SCALE});
    std::map<int, QAction*> actions;
    for (QAction* a : bar->actions())
        if (!a->isSeparator()) actions[a->data().toInt()] = a;
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[ID_FILE_OPEN]->toolTip().toStdString(), "Open");
    EXPECT_EQ(actions[ID_FILE_OPEN]->statusTip().toStdString(), "Open an existing image");
    EXPECT_EQ(actions[ID_CAPTURE_DEFAULT]->toolTip().toStdString(), "Capture used default mode");
    EXPECT_EQ(actions[ID_CAPTURE_DEFAULT]->statusTip().toStdString(), "Capture used default mode");
    EXPECT_EQ(actions[ID_CAPTURE_CIRCLE]->toolTip().toStdString(),
              "Select and capture a circlel area of  the screen");
    EXPECT_EQ(actions[ID_OP_SCALE]->toolTip().toStdString(), "Scale the image");
}
