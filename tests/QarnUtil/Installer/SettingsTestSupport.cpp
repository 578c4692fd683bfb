#include "SettingsTestSupport.h"

#include "TempFolder.h"

#include <vector>

#include "Win32/Handles.h"

namespace {

const char kConfigKey[] = "SOFTWARE\\QARN Vesmoro\\Config";

std::string KeyPath(const char* instance) {
  return *instance ? std::string(kConfigKey) + "\\" + instance : std::string(kConfigKey);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const CSettingValue& value) {
  return out << "type " << value.nType << " text \"" << value.strText << "\" number " << value.nNumber;
}

CSettingValue SettingValue(const char* instance, const char* name) {
  CSettingValue value;
  std::vector<char> data(1024);
  DWORD size = static_cast<DWORD>(data.size());
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, KeyPath(instance).c_str(), name, RRF_RT_ANY, &value.nType, data.data(),
                     &size) != ERROR_SUCCESS) {
    return CSettingValue();
  }
  if (value.nType == REG_DWORD) {
    value.nNumber = *reinterpret_cast<const DWORD*>(data.data());
  } else {
    value.strText.assign(data.data());
  }
  return value;
}

bool SettingsKeyExists(const char* instance) {
  qwin::CRegKey key;
  return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(instance).c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

void ClearSettings() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kConfigKey); }

std::string SystemText(DWORD error) {
  char text[256] = {};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                        MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), text, sizeof text, nullptr);
  std::string message(text, length);
  // The log keeps each line on one line.
  for (char& c : message) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return message;
}

std::string NewSiteRoot() { return qtest::NewTempFolder("qarn-site"); }

