#include "app/main_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "app/dialog_template.h"
#include "app/resource_ids.h"

namespace {

enum class Entry { Popup, EndPopup, Item, Separator };

struct MenuEntry {
    Entry kind;
    const char* text;
    int id;
};

// Menu 135, plus the Linux-only choice of the ports' device paths at the end
// of the Settings menu.
constexpr MenuEntry kMainMenu[] = {
    {Entry::Popup, "&File", 0},
    {Entry::Item, "&Query Device...", res::ID_FILE_QUERY_DEVICE},
    {Entry::Item, "&Auto Detect...", res::ID_FILE_AUTO_DETECT},
    {Entry::Item, "&Download...", res::ID_FILE_DOWNLOAD},
    {Entry::Separator, nullptr, 0},
    {Entry::Item, "E&xit", res::ID_FILE_EXIT},
    {Entry::EndPopup, nullptr, 0},
    {Entry::Popup, "&Settings", 0},
    {Entry::Item, "Auto &Name", res::ID_SETTINGS_AUTO_NAME},
    {Entry::Item, "Auto &Save", res::ID_SETTINGS_AUTO_SAVE},
    {Entry::Separator, nullptr, 0},
    {Entry::Popup, "Set &Baudrate", 0},
    {Entry::Item, "&Auto", res::ID_BAUD_AUTO},
    {Entry::Separator, nullptr, 0},
    {Entry::Item, "9600", res::ID_BAUD_9600},
    {Entry::Item, "19200", res::ID_BAUD_19200},
    {Entry::Item, "38400", res::ID_BAUD_38400},
    {Entry::Item, "57600", res::ID_BAUD_57600},
    {Entry::Item, "115200", res::ID_BAUD_115200},
    {Entry::EndPopup, nullptr, 0},
    {Entry::Item, "Set &Output Directory...", res::ID_SETTINGS_OUTPUT_DIRECTORY},
    {Entry::Item, "Set Comm &Ports...", res::ID_SETTINGS_COMM_PORTS},
    {Entry::EndPopup, nullptr, 0},
    {Entry::Popup, "&Help", 0},
    {Entry::Item, "&Supported Products...", res::ID_HELP_SUPPORTED_PRODUCTS},
    {Entry::Item, "&About Lumagrab...", res::ID_APP_ABOUT},
    {Entry::EndPopup, nullptr, 0},
};

QAction* findItemIn(const QMenu* menu, int id) {
    const QString name = resourceObjectName(id);
    for (QAction* action : menu->actions()) {
        if (action->objectName() == name)
            return action;
        if (action->menu()) {
            if (QAction* found = findItemIn(action->menu(), id))
                return found;
        }
    }
    return nullptr;
}

}  // namespace

QMenuBar* buildMainMenu(QWidget* parent, const std::function<void(int id)>& onCommand) {
    auto* bar = new QMenuBar(parent);
    bar->setNativeMenuBar(false);  // part of the fixed-size window, as designed
    std::vector<QMenu*> open;      // the menus being filled, innermost last
    for (const MenuEntry& entry : kMainMenu) {
        switch (entry.kind) {
            case Entry::Popup: {
                const QString title = QString::fromUtf8(entry.text);
                open.push_back(open.empty() ? bar->addMenu(title) : open.back()->addMenu(title));
                break;
            }
            case Entry::EndPopup:
                open.pop_back();
                break;
            case Entry::Separator:
                open.back()->addSeparator();
                break;
            case Entry::Item: {
                QAction* action = open.back()->addAction(QString::fromUtf8(entry.text));
                action->setObjectName(resourceObjectName(entry.id));
                QObject::connect(action, &QAction::triggered,
                                 [onCommand, id = entry.id] { onCommand(id); });
                break;
            }
        }
    }
    return bar;
}

QMenu* menuBarSubMenu(const QMenuBar* bar, int position) {
    const QList<QAction*> actions = bar->actions();
    return (position >= 0 && position < actions.size()) ? actions[position]->menu() : nullptr;
}

QMenu* subMenuAt(const QMenu* menu, int position) {
    const QList<QAction*> actions = menu->actions();
    return (position >= 0 && position < actions.size()) ? actions[position]->menu() : nullptr;
}

void checkMenuItem(QMenu* menu, int id, bool checked) {
    if (!menu)
        return;
    if (QAction* action = findItemIn(menu, id)) {
        action->setCheckable(true);
        action->setChecked(checked);
    }
}

QAction* findMenuItem(const QMenuBar* bar, int id) {
    for (QAction* top : bar->actions()) {
        if (top->menu()) {
            if (QAction* found = findItemIn(top->menu(), id))
                return found;
        }
    }
    return nullptr;
}

void enableMenu(QMenu* menu, bool enable) {
    if (!menu)
        return;
    menu->menuAction()->setEnabled(enable);
    for (QAction* action : menu->actions()) {
        if (action->menu())
            enableMenu(action->menu(), enable);
        else
            action->setEnabled(enable);
    }
}
