// The per-site settings key as the tests see it, and the site folders the
// settings and the installation check work on.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>

// One value of a settings key: its type (REG_NONE when absent) and data.
struct CSettingValue {
  DWORD nType = REG_NONE;
  std::string strText;
  DWORD nNumber = 0;
  bool operator==(const CSettingValue& other) const {
    return nType == other.nType && strText == other.strText && nNumber == other.nNumber;
  }
};
std::ostream& operator<<(std::ostream& out, const CSettingValue& value);

inline CSettingValue NoValue() { return {}; }
inline CSettingValue StringValue(const char* text) { return {REG_SZ, text, 0}; }
inline CSettingValue NumberValue(DWORD number) { return {REG_DWORD, "", number}; }

// The value name (null: the default value) of the instance's key ("" : the
// "Config" key itself).
CSettingValue SettingValue(const char* instance, const char* name);
bool SettingsKeyExists(const char* instance);
// Removes every per-site setting.
void ClearSettings();

// The system's message for a Win32 error, as the log shows it.
std::string SystemText(DWORD error);

// A fresh, empty folder for a site root.
std::string NewSiteRoot();
