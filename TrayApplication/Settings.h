// The agent's settings in the current user's registry: silent mode and the
// default profile, and the profiles listed in the "Профиль по умолчанию" submenu.
#pragma once

#include <windows.h>

#include <string>

namespace zarvek {

extern const char kSettingsKeyPath[];      // "Software\QARN Vesmoro\Pelwyn"
extern const char kProfileStoreKeyPath[];  // its subkey "ProfileStore"

// Opens (or on first run creates) the settings key and reads "Silent" into
// SilentFlag. FALSE after an error box.
BOOL ReadSettings();

// Builds the default-profile submenu into *submenu (always a menu, possibly
// empty) and fills ProfileIdList. FALSE when listing stopped at an error.
BOOL BuildProfileMenu(HMENU* submenu);

// The stored default profile identifier; FALSE (and "") when there is none.
BOOL ReadDefaultProfileId(std::string& id);

// Makes profile number (command - 700) the default profile.
void SelectProfile(unsigned command);

// Switches between interactive and silent mode (command 672).
void SwitchMode();

}  // namespace zarvek
