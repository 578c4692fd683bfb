// Every stand-in keeps its settings and its call records in one key below
// HKEY_CURRENT_USER "Software\QARN Stand-ins\<component>":
//   "Calls"  REG_SZ, one record per line, appended by the stand-in;
//   any other value is a setting that a test or the demo writes.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

std::string ComponentKeyPath(const char* component);

// A DWORD setting, or fallback when it is missing or not a DWORD.
DWORD ReadDwordSetting(const char* component, const char* name, DWORD fallback);
// A string setting, or "" when it is missing or not a string.
std::string ReadStringSetting(const char* component, const char* name);

// Appends one line to the component's "Calls" value.
void AppendCallRecord(const char* component, const std::string& line);

// True when the component should not show windows ("Quiet" non-zero).
bool IsQuiet(const char* component);

}  // namespace standin
