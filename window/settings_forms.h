// What the Set Output Directory and Set Comm Ports dialogs do, without a
// toolkit. A front end draws the dialog from its template, shows the form's
// first texts, and on OK hands the fields' texts to accept(): accepted, the
// dialog ends; refused, it shows the message the form gives (owned by the
// dialog) and stays open.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A message box a dialog shows: text, caption and style (msgbox:: values).
struct DialogMessage {
    std::string text;
    std::string caption;
    uint32_t style;
};

// Set Output Directory. A directory is valid when it can be made the
// current directory, and that is how it is checked: opening with a stored
// path and accepting an entry both make it the process's current directory.
// The path is kept as typed (case, trailing separator and relative form
// included), cut to 511 bytes without splitting a character. Whatever way
// the dialog ends, path() is what the caller stores: the shown path, the
// accepted entry, or empty after a refused entry or a stored path that is no
// longer a directory.
class OutputDirectoryForm {
  public:
    explicit OutputDirectoryForm(std::string_view storedPath);

    // What the field shows when the dialog opens: the stored path when it is
    // a directory, else nothing.
    const std::string& fieldText() const { return path_; }
    // OK with the field's text (UTF-8). On a refusal the front end shows the
    // message and selects the field's whole text.
    std::optional<DialogMessage> accept(std::string_view typed);
    const std::string& path() const { return path_; }

  private:
    std::string path_;  // the path buffer
};

// Set Comm Ports: which serial device is port 1 ("COM1") and which is port
// 2 ("COM2"). Each field offers the serial devices present and also takes a
// path typed by hand (an adapter may be plugged in later).
class CommPortsForm {
  public:
    CommPortsForm(std::string com1Device, std::string com2Device,
                  std::vector<std::string> devicesPresent);

    const std::vector<std::string>& devicesOffered() const { return devices_; }
    // OK with the two fields' texts: both paths must be given (blanks around
    // them do not count) and not absurdly long.
    std::optional<DialogMessage> accept(std::string_view com1, std::string_view com2);
    // The paths; the new ones once accept() took them.
    const std::string& com1Device() const { return com1_; }
    const std::string& com2Device() const { return com2_; }

  private:
    std::string com1_;
    std::string com2_;
    std::vector<std::string> devices_;
};
