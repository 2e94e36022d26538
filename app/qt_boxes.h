// Message boxes and the Save dialog as Qt dialogs, owned by a given window.
#pragma once

#include <QSize>
#include <cstdint>
#include <string>

#include "platform/platform.h"

class QWidget;

// The Save dialog opens at least this large.
inline constexpr QSize kSaveDialogSize{820, 480};

// A modal message box with the text, caption and msgbox:: style; returns the
// button pressed (msgbox::Id...). Every line of the text stays whole, the box
// as wide as the longest.
int showMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                   uint32_t style);

// The Save dialog for `request`; true with the chosen path in `chosen`.
bool showSaveDialog(QWidget* owner, const SaveDialogRequest& request, std::string& chosen);
