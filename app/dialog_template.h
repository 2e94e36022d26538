// Draws the dialog descriptions of window/dialog_templates.h with Qt
// widgets: the caption, a fixed client size, and each control in its place
// in dialog units of the dialog's font, carrying its ID (see findControl).
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "window/dialog_templates.h"

class QDialog;
class QMenuBar;

// Converts dialog units to pixels for one font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    int baseWidth() const { return baseWidth_; }    // average character width
    int baseHeight() const { return baseHeight_; }  // character height
    QRect toPixels(int x, int y, int width, int height) const;
    QSize toPixels(int width, int height) const;

  private:
    int baseWidth_;
    int baseHeight_;
};

// The desktop's font in the template's size; a fixed-pitch one where the
// template asks for it.
QFont dialogFont(const DialogFont& font);

// The application icon in 16, 32 and 256 pixels.
QIcon applicationIcon();

// Gives `dialog` the template's caption, font, fixed size (a dialog frame
// with a close box only) and controls, with `menuBar` (may be null) above
// the client area. Buttons 1 and 2 end it as OK and Cancel through its
// accept() and reject(). Returns the client widget.
QWidget* buildDialog(QDialog* dialog, const DialogTemplate& dialogTemplate,
                     QMenuBar* menuBar = nullptr);

// The object name that identifies a control or menu action by its ID.
QString resourceObjectName(int id);

// The control with resource ID `id` under `root`, or null.
template <typename Widget>
Widget* findControl(const QWidget* root, int id) {
    return root->findChild<Widget*>(resourceObjectName(id));
}
