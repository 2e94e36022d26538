#include "app/x11_frame.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

namespace {

// The Motif hints' fields and the bits used here.
constexpr uint32_t kHintFunctions = 1 << 0;
constexpr uint32_t kHintDecorations = 1 << 1;
constexpr uint32_t kFunctionMove = 1 << 2;
constexpr uint32_t kFunctionClose = 1 << 5;
constexpr uint32_t kDecorBorder = 1 << 1;
constexpr uint32_t kDecorTitle = 1 << 3;
constexpr uint32_t kDecorMenu = 1 << 4;

void setMotifHints(QWidget* dialog) {
    // Other platforms (offscreen among them) may offer the interface too.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !dialog->isWindow())
        return;
    xcb_connection_t* connection = x11->connection();
    if (!connection)
        return;
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (!atom)
        return;
    const uint32_t hints[5] = {kHintFunctions | kHintDecorations, kFunctionMove | kFunctionClose,
                               kDecorBorder | kDecorTitle | kDecorMenu, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE,
                        static_cast<xcb_window_t>(dialog->winId()), atom->atom, atom->atom, 32, 5,
                        hints);
    std::free(atom);
    xcb_flush(connection);
}

// Sets the hints once each show has run its course, since Qt writes its own
// while it shows the window.
class FrameKeeper : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* dialog = static_cast<QWidget*>(watched);
            QTimer::singleShot(0, dialog, [dialog] { setMotifHints(dialog); });
        }
        return false;
    }
};

}  // namespace

void keepFixedDialogFrame(QWidget* dialog) {
    dialog->installEventFilter(new FrameKeeper(dialog));
}
