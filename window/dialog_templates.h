// The program's dialogs and its menu, described once as data: what each
// window shows and where, with no toolkit. Every front end draws these same
// descriptions with its own controls (Qt widgets, Win32 controls) and knows
// a control or menu item by its ID alone.
//
// Positions and sizes are in dialog units, which follow the dialog's font: a
// horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height. Controls are listed in creation
// order, which is also the tab order. Push buttons 1 and 2 are the dialog's
// OK and Cancel; an ampersand in a caption marks the mnemonic.
#pragma once

#include <span>

#include "window/resource_ids.h"

enum class ControlKind {
    DefPushButton,  // the default button: Enter activates it
    PushButton,
    GroupBox,     // a frame with a title; the controls inside are its siblings
    Text,         // static text, left-aligned
    RightText,    // static text, right-aligned
    PlainText,    // static text whose ampersands are shown, not mnemonics
    AutoRadio,    // radio button that checks itself when clicked
    ProgressBar,  // bordered, no text of its own
    PathEdit,     // single-line field for a path, scrolls horizontally; upper case
                  // where the system's file names ignore case
    HistoryView,  // multi-line, read-only, no word wrap, vertical scroll bar, keeps Enter
    SortedList,   // list box: lines filed in case-insensitive order as they come
    EditCombo,    // drop-down list whose text can also be typed
    Icon,         // the application icon
};

constexpr int kNoControlId = -1;

struct ControlSpec {
    int id;  // resource ID, or kNoControlId
    ControlKind kind;
    const char* caption;  // UTF-8; may be empty
    int x, y, width, height;
};

// The font a dialog is laid out for, and the point size it is drawn in.
struct DialogFont {
    const char* face;
    int pointSize;
    bool fixedPitch;  // every character as wide as any other
};
inline constexpr DialogFont kStandardFont = {"MS Sans Serif", 8, false};
inline constexpr DialogFont kFixedPitchFont = {"Fixedsys", 9, true};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // client area
    DialogFont font;
    std::span<const ControlSpec> controls;
    bool hasMenu = false;  // the main window: the menu bar above the client area
};

// The main window (a fixed-size dialog with a close box and no minimise or
// maximise box), About, Set Output Directory, Supported Products and Set
// Comm Ports.
extern const DialogTemplate kMainDialogTemplate;
extern const DialogTemplate kAboutTemplate;
extern const DialogTemplate kOutputDirectoryTemplate;
extern const DialogTemplate kSupportedProductsTemplate;
extern const DialogTemplate kCommPortsTemplate;
// All five, for front ends and tests that go through every one.
std::span<const DialogTemplate* const> allDialogTemplates();

// The control of `dialog` with ID `id`, or null.
const ControlSpec* findControlSpec(const DialogTemplate& dialog, int id);

// The main window's menu bar, in the order of a menu resource: a Popup opens
// a (sub-)menu that runs to its EndPopup.
enum class MenuEntryKind { Popup, EndPopup, Item, CheckItem, Separator };

struct MenuEntry {
    MenuEntryKind kind;
    const char* text;  // with its mnemonic; null for EndPopup and Separator
    int id;            // the command of an item; 0 for the others
};

std::span<const MenuEntry> mainMenu();

// The menu a running command disables as a whole, by its position in the
// bar: Settings, the second.
constexpr int kSettingsMenuPosition = 1;

// String resource 101: the About entry that a system menu gets.
inline constexpr const char* kSystemMenuAboutText = "&About Lumagrab...";
