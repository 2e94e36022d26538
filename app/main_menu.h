// The main window's menu bar, built from its description (mainMenu()), and
// the few operations the window needs on it: finding a sub-menu by position
// and an item by its command ID.
#pragma once

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Builds the menu bar. Every item carries its command ID (object name from
// resourceObjectName) and calls `onCommand` with it when chosen.
QMenuBar* buildMainMenu(QWidget* parent, const std::function<void(int id)>& onCommand);

// The sub-menu at `position` (separators count), or null.
QMenu* menuBarSubMenu(const QMenuBar* bar, int position);
QMenu* subMenuAt(const QMenu* menu, int position);

// Enables or disables `menu` (its title too) with every item in it and in its
// sub-menus; nothing when `menu` is null.
void enableMenu(QMenu* menu, bool enable);

// The item with command ID `id` anywhere in the menu bar, or null.
QAction* findMenuItem(const QMenuBar* bar, int id);
