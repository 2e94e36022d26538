// Resource and command IDs of the window programs. Controls keep the IDs their
// dialog templates give them, and every menu item its command ID, so that a
// command is known by one number whether it comes from a button or a menu.
#pragma once

namespace res {

// Dialog templates, menu, string and icon.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;  // "&About Lumagrab..." for a system menu
constexpr int IDD_MAIN = 102;
constexpr int IDR_MAINFRAME = 128;  // the application icon
constexpr int IDR_MAIN_MENU = 135;
constexpr int IDD_OUTPUT_DIRECTORY = 137;
constexpr int IDD_SUPPORTED_PRODUCTS = 138;
constexpr int IDD_COMM_PORTS = 139;

// The dialogs' OK and Cancel buttons, and the results they end with (the
// system's own numbers, IDOK and IDCANCEL).
constexpr int ID_OK = 1;
constexpr int ID_CANCEL = 2;

// Main dialog controls.
constexpr int IDC_DOWNLOAD = 3;
constexpr int IDC_AUTO_DETECT = 4;
constexpr int IDC_QUERY_DEVICE = 5;
constexpr int IDC_PROGRESS = 1002;
constexpr int IDC_COM1 = 1005;
constexpr int IDC_COM2 = 1006;
constexpr int IDC_COMM_GROUP = 1007;
constexpr int IDC_DEVICE_GROUP = 1009;
constexpr int IDC_DEVICE_TYPE_LABEL = 1010;
constexpr int IDC_SOFTWARE_VERSION_LABEL = 1011;
constexpr int IDC_DEVICE_TYPE = 1012;
constexpr int IDC_SOFTWARE_VERSION = 1013;
constexpr int IDC_PERCENT = 1014;

// Output directory dialog.
constexpr int IDC_OUTPUT_DIRECTORY_LABEL = 1019;
constexpr int IDC_OUTPUT_DIRECTORY = 1020;
constexpr int IDC_BROWSE = 1032;

// About dialog.
constexpr int IDC_HISTORY_LABEL = 1021;
constexpr int IDC_HISTORY = 1027;

// Supported products dialog.
constexpr int IDC_PRODUCT_LIST = 1028;
constexpr int IDC_PRODUCTS_HEADING = 1029;
constexpr int IDC_PRODUCT_IDS_HEADING = 1031;

// Comm ports dialog.
constexpr int IDC_COM1_DEVICE_LABEL = 1033;
constexpr int IDC_COM1_DEVICE = 1034;
constexpr int IDC_COM2_DEVICE_LABEL = 1035;
constexpr int IDC_COM2_DEVICE = 1036;

// Menu commands.
constexpr int ID_SYSTEM_ABOUT = 16;  // system-menu About; no such menu on Linux
constexpr int ID_APP_ABOUT = 32771;
constexpr int ID_FILE_QUERY_DEVICE = 32772;
constexpr int ID_FILE_AUTO_DETECT = 32773;
constexpr int ID_FILE_DOWNLOAD = 32774;
constexpr int ID_SETTINGS_OUTPUT_DIRECTORY = 32776;
constexpr int ID_FILE_EXIT = 32777;
constexpr int ID_SETTINGS_AUTO_NAME = 32778;
constexpr int ID_SETTINGS_AUTO_SAVE = 32779;
constexpr int ID_HELP_SUPPORTED_PRODUCTS = 32780;
constexpr int ID_BAUD_AUTO = 32782;
constexpr int ID_BAUD_9600 = 32783;
constexpr int ID_BAUD_19200 = 32784;
constexpr int ID_BAUD_38400 = 32786;
constexpr int ID_BAUD_57600 = 32787;
constexpr int ID_BAUD_115200 = 32788;
constexpr int ID_SETTINGS_COMM_PORTS = 32790;

// The six controls that every device command disables while it runs, in
// the order they are switched.
constexpr int kCommandControls[] = {IDC_DOWNLOAD,    ID_CANCEL, IDC_QUERY_DEVICE,
                                    IDC_AUTO_DETECT, IDC_COM1,  IDC_COM2};

}  // namespace res
