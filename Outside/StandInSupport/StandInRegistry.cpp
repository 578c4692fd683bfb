#include "StandInRegistry.h"

#include <vector>

#include "Win32/Handles.h"

namespace standin {

namespace {

const char kRootPath[] = "Software\\QARN Stand-ins\\";
const char kCallsValue[] = "Calls";

bool OpenComponentKey(const char* component, REGSAM access, qwin::CRegKey& key) {
  return ::RegCreateKeyExA(HKEY_CURRENT_USER, ComponentKeyPath(component).c_str(), 0, nullptr,
                           REG_OPTION_NON_VOLATILE, access, nullptr, key.Put(), nullptr) == ERROR_SUCCESS;
}

}  // namespace

std::string ComponentKeyPath(const char* component) { return std::string(kRootPath) + component; }

DWORD ReadDwordSetting(const char* component, const char* name, DWORD fallback) {
  qwin::CRegKey key;
  if (!OpenComponentKey(component, KEY_READ, key)) return fallback;
  DWORD type = 0, value = 0, size = sizeof(value);
  if (::RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return value;
}

std::string ReadStringSetting(const char* component, const char* name) {
  qwin::CRegKey key;
  if (!OpenComponentKey(component, KEY_READ, key)) return std::string();
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ || size == 0) {
    return std::string();
  }
  std::vector<char> buffer(size + 1, '\0');
  if (::RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS) {
    return std::string();
  }
  return std::string(buffer.data());
}

void AppendCallRecord(const char* component, const std::string& line) {
  std::string calls = ReadStringSetting(component, kCallsValue) + line + "\n";
  qwin::CRegKey key;
  if (!OpenComponentKey(component, KEY_WRITE, key)) return;
  ::RegSetValueExA(key.Get(), kCallsValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(calls.c_str()),
                   static_cast<DWORD>(calls.size() + 1));
}

bool IsQuiet(const char* component) { return ReadDwordSetting(component, "Quiet", 0) != 0; }

}  // namespace standin
