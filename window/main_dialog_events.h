// What a front end tells the main window's behaviour: the window's life and
// the user's events, each by command ID. MainDialog implements it; a front
// end whose toolkit headers cannot stand beside the core's (the Win32 one)
// knows the behaviour by this alone.
#pragma once

#include <string>

class MainDialogEvents {
  public:
    virtual ~MainDialogEvents() = default;

    // The start-up sequence; false when the window must not run (startError()).
    virtual bool OnInitDialog() = 0;
    virtual const std::string& startError() const = 0;
    // A control or menu item; false when no command has that ID.
    virtual bool OnCommand(int id) = 0;
    // A system-menu command; false for those the system handles itself.
    virtual bool OnSysCommand(int id) = 0;
    // The tear-down, once the window has closed.
    virtual void OnDestroy() = 0;
    // The steps a worker handed to the window, after MainDialogView::wake().
    virtual void RunPosted() = 0;
};
