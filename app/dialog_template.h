// Dialogs described as templates: a caption, a client size and a list of
// controls with positions in dialog units, built into Qt widgets.
//
// Dialog units follow the dialog's font, so a layout keeps its proportions
// with any font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its character height.
// Controls are created in template order, which is also the tab order, and
// each one carries its resource ID (see findControl). Push buttons 1 and 2
// are the dialog's OK and Cancel.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <span>

class QDialog;
class QMenuBar;

enum class ControlKind {
    DefPushButton,  // the default button: Enter activates it
    PushButton,
    GroupBox,     // a frame with a title; the controls inside are its siblings
    Text,         // static text, left-aligned
    RightText,    // static text, right-aligned
    AutoRadio,    // radio button that checks itself when clicked
    ProgressBar,  // bordered, no text of its own
    Edit,         // single-line edit field, scrolls horizontally
    HistoryView,  // multi-line, read-only, no word wrap, vertical scroll bar, keeps Enter
    SortedList,   // list box; the caller keeps its lines sorted
    EditCombo,    // drop-down list whose text can also be typed
    Icon,         // the application icon
};

constexpr int kNoControlId = -1;

struct ControlSpec {
    int id;  // resource ID, or kNoControlId
    ControlKind kind;
    const char* caption;  // may be empty
    int x, y, width, height;
};

enum class DialogFont { Standard, FixedPitch };

struct DialogTemplate {
    const char* caption;
    int width, height;  // client area
    DialogFont font;
    std::span<const ControlSpec> controls;
};

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

QFont dialogFont(DialogFont font);

// The application icon in 16, 32 and 256 pixels.
QIcon applicationIcon();

// Gives `dialog` the template's caption, font, fixed size and controls, with
// `menuBar` (may be null) above the client area. Returns the client widget.
QWidget* buildDialog(QDialog* dialog, const DialogTemplate& dialogTemplate,
                     QMenuBar* menuBar = nullptr);

// The object name that identifies a control or menu action by its ID.
QString resourceObjectName(int id);

// The control with resource ID `id` under `root`, or null.
template <typename Widget>
Widget* findControl(const QWidget* root, int id) {
    return root->findChild<Widget*>(resourceObjectName(id));
}
