#include "app/main_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <vector>

#include "app/dialog_template.h"
#include "window/dialog_templates.h"

namespace {

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
    for (const MenuEntry& entry : mainMenu()) {
        switch (entry.kind) {
            case MenuEntryKind::Popup: {
                const QString title = QString::fromUtf8(entry.text);
                open.push_back(open.empty() ? bar->addMenu(title) : open.back()->addMenu(title));
                break;
            }
            case MenuEntryKind::EndPopup:
                open.pop_back();
                break;
            case MenuEntryKind::Separator:
                open.back()->addSeparator();
                break;
            case MenuEntryKind::Item:
            case MenuEntryKind::CheckItem: {
                QAction* action = open.back()->addAction(QString::fromUtf8(entry.text));
                action->setObjectName(resourceObjectName(entry.id));
                action->setCheckable(entry.kind == MenuEntryKind::CheckItem);
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
