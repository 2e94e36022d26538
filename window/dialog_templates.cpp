#include "window/dialog_templates.h"

#include "lumagrab_version.h"

namespace {

using enum ControlKind;

constexpr ControlSpec kMainControls[] = {
    {res::IDC_DOWNLOAD, DefPushButton, "&Download", 32, 74, 66, 14},
    {res::IDCANCEL, PushButton, "E&xit", 135, 74, 66, 14},
    {res::IDC_DEVICE_GROUP, GroupBox, "Device Info:", 7, 7, 139, 60},
    {res::IDC_DEVICE_TYPE_LABEL, RightText, "Device Type:", 9, 19, 56, 13},
    {res::IDC_DEVICE_TYPE, Text, "<UNKNOWN>", 67, 19, 77, 13},
    {res::IDC_SOFTWARE_VERSION_LABEL, RightText, "Software Version:", 9, 33, 56, 13},
    {res::IDC_SOFTWARE_VERSION, Text, "<UNKNOWN>", 67, 33, 77, 13},
    {res::IDC_QUERY_DEVICE, PushButton, "&Query Device", 54, 47, 50, 14},
    {res::IDC_COMM_GROUP, GroupBox, "Comm Port:", 148, 7, 77, 60},
    {res::IDC_COM1, AutoRadio, "COM&1", 160, 18, 52, 14},
    {res::IDC_COM2, AutoRadio, "COM&2", 160, 32, 52, 14},
    {res::IDC_AUTO_DETECT, PushButton, "&Auto Detect", 161, 47, 50, 14},
    {res::IDC_PROGRESS, ProgressBar, "", 7, 76, 194, 11},
    {res::IDC_PERCENT, RightText, "Idle...", 205, 76, 20, 11},
};

constexpr ControlSpec kAboutControls[] = {
    {kNoControlId, Icon, "", 11, 17, 20, 20},
    {kNoControlId, PlainText, "GPS Lumagrab", 40, 16, 112, 8},
    {kNoControlId, Text, "Screen capture, version " LUMAGRAB_VERSION, 40, 29, 112, 8},
    {res::IDOK, DefPushButton, "OK", 177, 13, 50, 14},
    {res::IDC_HISTORY_LABEL, Text, "Version History:", 15, 44, 71, 10},
    {res::IDC_HISTORY, HistoryView, "", 15, 54, 212, 90},
};

// The field is narrower than the full row to make room for a directory
// chooser beside it.
constexpr ControlSpec kOutputDirectoryControls[] = {
    {res::IDC_OUTPUT_DIRECTORY, PathEdit, "", 75, 14, 100, 12},
    {res::IDC_BROWSE, PushButton, "&Browse...", 179, 13, 38, 14},
    {res::IDOK, DefPushButton, "OK", 50, 37, 50, 14},
    {res::IDCANCEL, PushButton, "Cancel", 124, 37, 50, 14},
    {res::IDC_OUTPUT_DIRECTORY_LABEL, RightText, "Output Directory:", 7, 16, 57, 8},
};

constexpr ControlSpec kSupportedProductsControls[] = {
    {res::IDOK, DefPushButton, "OK", 67, 177, 50, 14},
    {res::IDC_PRODUCT_LIST, SortedList, "", 7, 19, 170, 154},
    {res::IDC_PRODUCTS_HEADING, Text, "Supported Products:", 7, 7, 77, 8},
    {res::IDC_PRODUCT_IDS_HEADING, Text, "Product IDs:", 114, 7, 49, 8},
};

// Wide enough for the long stable names under /dev/serial/by-id.
constexpr ControlSpec kCommPortsControls[] = {
    {res::IDC_COM1_DEVICE_LABEL, RightText, "COM1 device:", 7, 16, 57, 8},
    {res::IDC_COM1_DEVICE, EditCombo, "", 68, 14, 225, 14},
    {res::IDC_COM2_DEVICE_LABEL, RightText, "COM2 device:", 7, 34, 57, 8},
    {res::IDC_COM2_DEVICE, EditCombo, "", 68, 32, 225, 14},
    {res::IDOK, DefPushButton, "OK", 88, 55, 50, 14},
    {res::IDCANCEL, PushButton, "Cancel", 162, 55, 50, 14},
};

using enum MenuEntryKind;

// Menu 135, with the choice of the ports' devices at the end of Settings.
constexpr MenuEntry kMainMenu[] = {
    {Popup, "&File", 0},
    {Item, "&Query Device...", res::ID_FILE_QUERY_DEVICE},
    {Item, "&Auto Detect...", res::ID_FILE_AUTO_DETECT},
    {Item, "&Download...", res::ID_FILE_DOWNLOAD},
    {Separator, nullptr, 0},
    {Item, "E&xit", res::ID_FILE_EXIT},
    {EndPopup, nullptr, 0},
    {Popup, "&Settings", 0},
    {CheckItem, "Auto &Name", res::ID_SETTINGS_AUTO_NAME},
    {CheckItem, "Auto &Save", res::ID_SETTINGS_AUTO_SAVE},
    {Separator, nullptr, 0},
    {Popup, "Set &Baudrate", 0},
    {CheckItem, "&Auto", res::ID_BAUD_AUTO},
    {Separator, nullptr, 0},
    {CheckItem, "9600", res::ID_BAUD_9600},
    {CheckItem, "19200", res::ID_BAUD_19200},
    {CheckItem, "38400", res::ID_BAUD_38400},
    {CheckItem, "57600", res::ID_BAUD_57600},
    {CheckItem, "115200", res::ID_BAUD_115200},
    {EndPopup, nullptr, 0},
    {Item, "Set &Output Directory...", res::ID_SETTINGS_OUTPUT_DIRECTORY},
    {Item, "Set Comm &Ports...", res::ID_SETTINGS_COMM_PORTS},
    {EndPopup, nullptr, 0},
    {Popup, "&Help", 0},
    {Item, "&Supported Products...", res::ID_HELP_SUPPORTED_PRODUCTS},
    {Item, "&About Lumagrab...", res::ID_APP_ABOUT},
    {EndPopup, nullptr, 0},
};

}  // namespace

const DialogTemplate kMainDialogTemplate = {res::IDD_MAIN, "GPS Lumagrab", 232, 95,
                                            kStandardFont, kMainControls,  true};
const DialogTemplate kAboutTemplate = {res::IDD_ABOUTBOX, "About GPSLumagrab", 242, 151,
                                       kStandardFont,     kAboutControls};
const DialogTemplate kOutputDirectoryTemplate = {
    res::IDD_OUTPUT_DIRECTORY, "Set Output Directory", 224, 58, kStandardFont,
    kOutputDirectoryControls};
// A fixed-pitch font, so that the padded ID column lines up.
const DialogTemplate kSupportedProductsTemplate = {
    res::IDD_SUPPORTED_PRODUCTS, "Lumagrab Help", 184, 198, kFixedPitchFont,
    kSupportedProductsControls};
const DialogTemplate kCommPortsTemplate = {res::IDD_COMM_PORTS, "Set Comm Ports",  300, 76,
                                           kStandardFont,       kCommPortsControls};

std::span<const DialogTemplate* const> allDialogTemplates() {
    static const DialogTemplate* const all[] = {&kMainDialogTemplate, &kAboutTemplate,
                                                &kOutputDirectoryTemplate,
                                                &kSupportedProductsTemplate, &kCommPortsTemplate};
    return all;
}

const ControlSpec* findControlSpec(const DialogTemplate& dialog, int id) {
    for (const ControlSpec& control : dialog.controls) {
        if (control.id == id)
            return &control;
    }
    return nullptr;
}

std::span<const MenuEntry> mainMenu() {
    return kMainMenu;
}
