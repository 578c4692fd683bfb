#include "TempFolder.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>

namespace qtest {

std::string NewTempFolder(const char* prefix) {
  char base[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, base);
  GUID guid = {};
  ::CoCreateGuid(&guid);
  char name[32] = {};
  std::snprintf(name, sizeof(name), "-%08lx%04x", static_cast<unsigned long>(guid.Data1), guid.Data2);
  const std::string folder = std::string(base) + prefix + name;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

}  // namespace qtest
