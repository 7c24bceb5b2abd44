#pragma once

#include <cstdint>

// The main window's menu tree and the program editor's context menu, as data. `level` 0 is a
// menu of the menu bar, 1 its items, 2 and 3 the items of submenus. A caption "-" is a separator.
// An item with a handler runs it; an item without one opens a submenu. The handler names are the
// enum `MenuHandler` as well, so a misspelt handler does not compile.
//
// Flags: kInstrument, the item talks to the instrument and is disabled while an instrument
// operation runs; kFileLocked, the item replaces the document from a file or opens a file dialog,
// and is disabled while an instrument operation runs as well, so that nothing replaces what a
// transfer reads or writes and no dialog stops its reading; kEditLocked, a menu unavailable while
// a screen is being edited.

// MENU(level, caption, flags)   ITEM(level, caption, shortcut, handler, hint, flags)   SEP(level)
#define HALVERN_MAIN_MENU(MENU, ITEM, SEP)                                                         \
  MENU(0, "&File", 0)                                                                              \
  ITEM(1, "&Open Setup/Screens/Pgm from File...", "Ctrl+O", OpenGroupClick,                        \
       "Open a collection of Setup, Screen, and Program Files.", kFileLocked)                      \
  ITEM(1, "&Save Setup/Screens/Pgm to File...", "Ctrl+S", SaveGroupClick,                          \
       "Save a collection of Setup, Screen, and Program Files.", kFileLocked)                      \
  MENU(1, "&Individual Open/Save Files", 0)                                                        \
  ITEM(2, "Open Setup File...", nullptr, OpenSetupFileClick, nullptr, kFileLocked)                 \
  ITEM(2, "Open Screen File...", nullptr, OpenScreenFileClick, nullptr, kFileLocked)               \
  ITEM(2, "Open User Pgm File...", nullptr, OpenPgmFileClick, nullptr, kFileLocked)                \
  ITEM(2, "Open Pgm Notes File...", nullptr, OpenPgmNotesFile1Click, nullptr, kFileLocked)         \
  SEP(2)                                                                                           \
  ITEM(2, "Save Setup File...", nullptr, SaveSetupFileClick, nullptr, kFileLocked)                 \
  ITEM(2, "Save Screen File...", nullptr, SaveScreenFileClick, nullptr, kFileLocked)               \
  ITEM(2, "Save User Pgm File...", nullptr, SavePgmFileClick, nullptr, kFileLocked)                \
  ITEM(2, "Save Pgm Notes File...", nullptr, SavePgmNotesFile1Click, nullptr, kFileLocked)         \
  ITEM(1, "Co&mpare Program with File...", nullptr, CompareProgramWithFile1Click,                  \
       "Compare the program with a User Program File, side by side.", kFileLocked)                 \
  SEP(1)                                                                                           \
  ITEM(1, "&Print...", "Ctrl+P", PrintProgram1Click, nullptr, kFileLocked)                         \
  ITEM(1, "Print Pre&view...", nullptr, PrintPreview1Click, nullptr, kFileLocked)                  \
  ITEM(1, "Export Report as P&DF...", nullptr, ExportReportPdf1Click, nullptr, kFileLocked)        \
  SEP(1)                                                                                           \
  ITEM(1, "Reconnect &USB", "Ctrl+U", ReconnectUSBClick, nullptr, kInstrument)                     \
  ITEM(1, "&Firmware Update...", nullptr, FirmwareUpdate1Click, nullptr, kInstrument)              \
  ITEM(1, "&Restore Backup...", nullptr, RestoreBackup1Click, nullptr, kInstrument)                \
  ITEM(1, "Cali&bration Enable...", nullptr, AllowCalibrationClick, nullptr, kInstrument)          \
  SEP(1)                                                                                           \
  ITEM(1, "E&xit", nullptr, Exit1Click, nullptr, 0)                                                \
  MENU(0, "&Commands", kInstrument | kEditLocked)                                                  \
  ITEM(1, "&Get Setup/Screens/Pgm from 40100", "Ctrl+Alt+G", GetCollection1Click, nullptr,         \
       kInstrument | kEditLocked)                                                                  \
  ITEM(1, "&Send Setup/Screens/Pgm to 40100", "Ctrl+Alt+S", SendCollection1Click, nullptr,         \
       kInstrument | kEditLocked)                                                                  \
  SEP(1)                                                                                           \
  MENU(1, "Special &Commands", kInstrument | kEditLocked)                                          \
  MENU(2, "&Individual Get/Send Commands", kInstrument | kEditLocked)                              \
  ITEM(3, "Get Setup", "Shift+F10", RxSetupClick, nullptr, kInstrument | kEditLocked)              \
  ITEM(3, "Get Screens", "Shift+F11", RxScreensClick, nullptr, kInstrument | kEditLocked)          \
  ITEM(3, "Get User Program", "Shift+F12", RxProgramClick, nullptr, kInstrument | kEditLocked)     \
  SEP(3)                                                                                           \
  ITEM(3, "Send Setup", "Ctrl+F10", TxSetupClick, nullptr, kInstrument | kEditLocked)              \
  ITEM(3, "Send Screens", "Ctrl+F11", TxScreensClick, nullptr, kInstrument | kEditLocked)          \
  ITEM(3, "Send User Program", "Ctrl+F12", TxUserProgramClick, nullptr, kInstrument | kEditLocked) \
  ITEM(2, "&Erase Records", nullptr, EraseRecords1Click, nullptr, kInstrument | kEditLocked)       \
  SEP(1)                                                                                           \
  ITEM(1, "Co&mpare with 40100...", "Ctrl+Alt+M", CompareWith1Click, nullptr,                      \
       kInstrument | kEditLocked)                                                                  \
  SEP(1)                                                                                           \
  ITEM(1, "&Back up the 40100 before sending", nullptr, BackUpBeforeSending1Click, nullptr, 0)     \
  ITEM(1, "&Verify after sending", nullptr, VerifyAfterSending1Click, nullptr, 0)                  \
  MENU(0, "Edi&t", kEditLocked)                                                                    \
  ITEM(1, "&Undo", "Ctrl+Z", Undo1Click, nullptr, kFileLocked)                                     \
  ITEM(1, "&Redo", "Ctrl+Y", Redo1Click, nullptr, kFileLocked)                                     \
  SEP(1)                                                                                           \
  ITEM(1, "Cu&t", "Ctrl+X", EditCut1Click, nullptr, kFileLocked)                                   \
  ITEM(1, "&Copy", "Ctrl+C", EditCopy1Click, nullptr, kFileLocked)                                 \
  ITEM(1, "&Paste", "Ctrl+V", EditPaste1Click, nullptr, kFileLocked)                               \
  SEP(1)                                                                                           \
  ITEM(1, "&Insert Instruction", "Ins", InsertInstruction1Click, nullptr, kFileLocked)             \
  ITEM(1, "&Delete Instruction", "Del", DeleteInstruction1Click, nullptr, kFileLocked)             \
  ITEM(1, "&Edit Parameter...", "Return", EditParameter1Click, nullptr, kFileLocked)               \
  SEP(1)                                                                                           \
  ITEM(1, "&Find...", "Ctrl+F", Find1Click, nullptr, 0)                                            \
  ITEM(1, "Find &Next", "F3", FindNext1Click, nullptr, 0)                                          \
  ITEM(1, "Find &Previous", "Shift+F3", FindPrevious1Click, nullptr, 0)                            \
  MENU(0, "&Help", 0)                                                                              \
  ITEM(1, "&Connection Help...", nullptr, ConnectionHelpClick, nullptr, 0)                         \
  SEP(1)                                                                                           \
  ITEM(1, "&About...", nullptr, About1Click, nullptr, 0)

// The program editor's context menu; Paste starts disabled.
#define HALVERN_PROGRAM_POPUP_MENU(MENU, ITEM, SEP)    \
  ITEM(0, "Cu&t", "Ctrl+X", Cut1Click, nullptr, 0)     \
  ITEM(0, "&Copy", "Ctrl+C", Copy1Click, nullptr, 0)   \
  ITEM(0, "&Paste", "Ctrl+V", Paste1Click, nullptr, 0) \
  ITEM(0, "&Delete", "Ctrl+Del", Delete1Click, nullptr, 0)

namespace halvern {

inline constexpr std::uint8_t kInstrument = 1;
inline constexpr std::uint8_t kEditLocked = 2;
inline constexpr std::uint8_t kFileLocked = 4;

#define HALVERN_MENU_IGNORE(...)
#define HALVERN_MENU_ENUM(level, caption, shortcut, handler, hint, flags) handler,
// Every menu item's handler.
enum class MenuHandler {
  HALVERN_MAIN_MENU(HALVERN_MENU_IGNORE, HALVERN_MENU_ENUM, HALVERN_MENU_IGNORE)
      HALVERN_PROGRAM_POPUP_MENU(HALVERN_MENU_IGNORE, HALVERN_MENU_ENUM, HALVERN_MENU_IGNORE)
};
#undef HALVERN_MENU_ENUM

struct MenuItemDef {
  int level;
  const char* caption;
  const char* shortcut = nullptr;  // in QKeySequence's portable text form
  bool hasHandler = false;         // false: a submenu or a separator
  MenuHandler handler = MenuHandler::OpenGroupClick;
  const char* handlerName = nullptr;  // also the item's object name
  const char* hint = nullptr;
  std::uint8_t flags = 0;
};

#define HALVERN_MENU_DEF_MENU(level, caption, flags) \
  MenuItemDef{level, caption, nullptr, false, MenuHandler::OpenGroupClick, nullptr, nullptr, flags},
#define HALVERN_MENU_DEF_ITEM(level, caption, shortcut, handler, hint, flags) \
  MenuItemDef{level, caption, shortcut, true, MenuHandler::handler, #handler, hint, flags},
#define HALVERN_MENU_DEF_SEP(level) MenuItemDef{level, "-"},

inline constexpr MenuItemDef kMainMenu[] = {
    HALVERN_MAIN_MENU(HALVERN_MENU_DEF_MENU, HALVERN_MENU_DEF_ITEM, HALVERN_MENU_DEF_SEP)};
// The context menu a page pops up (the program editor's).
inline constexpr MenuItemDef kPopupMenu[] = {
    HALVERN_PROGRAM_POPUP_MENU(HALVERN_MENU_DEF_MENU, HALVERN_MENU_DEF_ITEM, HALVERN_MENU_DEF_SEP)};

#undef HALVERN_MENU_DEF_MENU
#undef HALVERN_MENU_DEF_ITEM
#undef HALVERN_MENU_DEF_SEP
#undef HALVERN_MENU_IGNORE

inline constexpr int kMenuHandlerCount = static_cast<int>(MenuHandler::Delete1Click) + 1;

}  // namespace halvern
