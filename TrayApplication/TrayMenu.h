// The tray menu, built anew from the registry on every right click, and the
// dispatch of the command chosen in it.
#pragma once

#include <windows.h>

#include <string>

namespace zarvek {

// Item kinds of the tray menu, each appended at the end of its menu.
bool AppendPlainItem(HMENU menu, unsigned id, const std::string& caption, bool enabled);
bool AppendCheckItem(HMENU menu, unsigned id, const std::string& caption, bool checked);
// Hands the submenu to the menu; it is destroyed here if that fails.
bool AppendSubmenuItem(HMENU menu, unsigned id, const std::string& caption, HMENU submenu);
bool AppendSeparator(HMENU menu);
// Rewrites a check item in place, found by its command.
bool UpdateCheckItem(HMENU menu, unsigned id, const std::string& caption, bool checked);

// Fills g_trayMenu (the previous menu must be gone). FALSE when the settings
// could not be read; the menu then stays empty.
BOOL BuildTrayMenu();

// Runs the command of a menu identifier; 0 and unknown identifiers do nothing.
void DispatchCommand(unsigned id);

}  // namespace zarvek
