#pragma once

// The main window's menu tree and the program editor's context menu, as data. `level` 0 is a
// menu of the menu bar, 1 its items, 2 and 3 the items of submenus. A caption "-" is a separator.
// `handler` names the item's action (also its object name); items without one open a submenu.

namespace halvern {

struct MenuItemDef {
  int level;
  const char* caption;
  const char* shortcut = nullptr;  // in QKeySequence's portable text form
  const char* handler = nullptr;
  const char* hint = nullptr;
};

inline constexpr MenuItemDef kMainMenu[] = {
    {0, "&File"},
    {1, "&Open Setup/Screens/Pgm from File...", "Ctrl+O", "OpenGroupClick",
     "Open a collection of Setup, Screen, and Program Files."},
    {1, "&Save Setup/Screens/Pgm to File...", "Ctrl+S", "SaveGroupClick",
     "Save a collection of Setup, Screen, and Program Files."},
    {1, "&Individual Open/Save Files"},
    {2, "Open Setup File...", nullptr, "OpenSetupFileClick"},
    {2, "Open Screen File...", nullptr, "OpenScreenFileClick"},
    {2, "Open User Pgm File...", nullptr, "OpenPgmFileClick"},
    {2, "Open Pgm Notes File...", nullptr, "OpenPgmNotesFile1Click"},
    {2, "-"},
    {2, "Save Setup File...", nullptr, "SaveSetupFileClick"},
    {2, "Save Screen File...", nullptr, "SaveScreenFileClick"},
    {2, "Save User Pgm File...", nullptr, "SavePgmFileClick"},
    {2, "Save Pgm Notes File...", nullptr, "SavePgmNotesFile1Click"},
    {1, "-"},
    {1, "&Print...", "Ctrl+P", "PrintProgram1Click"},
    {1, "-"},
    {1, "Reconnect &USB", "Ctrl+U", "ReconnectUSBClick"},
    {1, "&Firmware Update...", nullptr, "FirmwareUpdate1Click"},
    {1, "Cali&bration Enable...", nullptr, "AllowCalibrationClick"},
    {1, "-"},
    {1, "E&xit", nullptr, "Exit1Click"},
    {0, "&Commands"},
    {1, "&Get Setup/Screens/Pgm from 40100", "Ctrl+Alt+G", "GetCollection1Click"},
    {1, "&Send Setup/Screens/Pgm to 40100", "Ctrl+Alt+S", "SendCollection1Click"},
    {1, "-"},
    {1, "Special &Commands"},
    {2, "&Individual Get/Send Commands"},
    {3, "Get Setup", "Shift+F10", "RxSetupClick"},
    {3, "Get Screens", "Shift+F11", "RxScreensClick"},
    {3, "Get User Program", "Shift+F12", "RxProgramClick"},
    {3, "-"},
    {3, "Send Setup", "Ctrl+F10", "TxSetupClick"},
    {3, "Send Screens", "Ctrl+F11", "TxScreensClick"},
    {3, "Send User Program", "Ctrl+F12", "TxUserProgramClick"},
    {2, "&Erase Records", nullptr, "EraseRecords1Click"},
    {0, "&Help"},
    {1, "&About...", nullptr, "About1Click"},
};

// The program editor's context menu; Paste starts disabled.
inline constexpr MenuItemDef kProgramPopupMenu[] = {
    {0, "Cu&t", "Ctrl+X", "Cut1Click"},
    {0, "&Copy", "Ctrl+C", "Copy1Click"},
    {0, "&Paste", "Ctrl+V", "Paste1Click"},
    {0, "&Delete", "Ctrl+Del", "Delete1Click"},
};

// Handlers of items that talk to the instrument: disabled while an instrument operation runs.
inline constexpr const char* kInstrumentHandlers[] = {
    "GetCollection1Click", "SendCollection1Click", "RxSetupClick",         "RxScreensClick",
    "RxProgramClick",      "TxSetupClick",         "TxScreensClick",       "TxUserProgramClick",
    "EraseRecords1Click",  "ReconnectUSBClick",    "FirmwareUpdate1Click", "AllowCalibrationClick",
};

}  // namespace halvern
