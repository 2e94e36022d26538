// The frame a fixed-size dialog asks of an X11 window manager.
#pragma once

class QWidget;

// On X11 a window manager learns from a window's Motif hints which frame
// and functions it wants. Qt asks for a resizable frame whatever the
// window's size; the program's dialogs are fixed-size with a close box and
// no minimise or maximise box, so they say so themselves, each time they
// are shown. Nothing on other platforms.
void keepFixedDialogFrame(QWidget* dialog);
