// Reads back what QarnUtil's registration wrote under HKEY_CLASSES_ROOT.
//   RegistrationCheck registered <module path>   every entry present
//   RegistrationCheck unregistered               the entries gone, "CLSID" kept
// Prints each mismatch and exits with the number of mismatches.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Win32/Handles.h"

namespace {

struct CExpectedValue {
  std::string key;
  const char* name;  // nullptr: the default value
  std::string data;
};

const char kGuidClsid[] = "{B18757A8-5587-4B83-AF3A-9638B83B2AB5}";
const char kInstallerClsid[] = "{79B5EA27-9E6D-49DA-8A73-4EDBDF27171E}";
const char kLibid[] = "{859F177A-52D6-4495-8A23-7038374AFAD4}";

void AddClass(std::vector<CExpectedValue>& table, const std::string& clsid, const std::string& description,
              const std::string& progId, const std::string& currentProgId, const std::string& modulePath) {
  const std::string classKey = "CLSID\\" + clsid;
  table.push_back({progId, nullptr, description});
  table.push_back({progId + "\\CLSID", nullptr, clsid});
  table.push_back({currentProgId, nullptr, description});
  table.push_back({currentProgId + "\\CLSID", nullptr, clsid});
  table.push_back({currentProgId + "\\CurVer", nullptr, progId});
  table.push_back({classKey, nullptr, description});
  table.push_back({classKey + "\\ProgID", nullptr, progId});
  table.push_back({classKey + "\\VersionIndependentProgID", nullptr, currentProgId});
  table.push_back({classKey + "\\InprocServer32", nullptr, modulePath});
  table.push_back({classKey + "\\InprocServer32", "ThreadingModel", "Apartment"});
  table.push_back({classKey + "\\TypeLib", nullptr, kLibid});
}

bool KeyExists(const std::string& path) {
  qwin::CRegKey key;
  return ::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

int Fail(const std::string& what) {
  std::printf("%s\n", what.c_str());
  return 1;
}

int CheckValue(const CExpectedValue& expected) {
  qwin::CRegKey key;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, expected.key.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return Fail("missing key " + expected.key);
  }
  char data[1024] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  if (::RegQueryValueExA(key.Get(), expected.name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
      ERROR_SUCCESS) {
    return Fail("missing value " + expected.key + " " + (expected.name ? expected.name : "(default)"));
  }
  if (type != REG_SZ) return Fail("not REG_SZ: " + expected.key);
  // Paths compare without regard to case, like the file system does.
  if (lstrcmpiA(data, expected.data.c_str()) != 0) {
    return Fail(expected.key + ": '" + data + "' instead of '" + expected.data + "'");
  }
  return 0;
}

int CheckRegistered(const std::string& modulePath) {
  std::vector<CExpectedValue> table;
  AddClass(table, kGuidClsid, "__GUID Class", "QarnUtil.GUID.1", "QarnUtil.GUID", modulePath);
  AddClass(table, kInstallerClsid, "Installer Class", "QarnUtil.Installer.1", "QarnUtil.Installer", modulePath);
  int failures = 0;
  for (const CExpectedValue& expected : table) failures += CheckValue(expected);
  for (const char* clsid : {kGuidClsid, kInstallerClsid}) {
    if (!KeyExists(std::string("CLSID\\") + clsid + "\\Programmable")) failures += Fail("missing Programmable");
  }
  if (!KeyExists(std::string("TypeLib\\") + kLibid + "\\1.0")) failures += Fail("type library not registered");
  return failures;
}

int CheckUnregistered() {
  int failures = 0;
  for (const char* key : {"QarnUtil.GUID", "QarnUtil.GUID.1", "QarnUtil.Installer", "QarnUtil.Installer.1"}) {
    if (KeyExists(key)) failures += Fail(std::string("still there: ") + key);
  }
  for (const char* clsid : {kGuidClsid, kInstallerClsid}) {
    if (KeyExists(std::string("CLSID\\") + clsid)) failures += Fail(std::string("still there: CLSID\\") + clsid);
  }
  if (KeyExists(std::string("TypeLib\\") + kLibid)) failures += Fail("type library still registered");
  if (!KeyExists("CLSID")) failures += Fail("the CLSID key itself was removed");
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "registered" && argc > 2) return CheckRegistered(argv[2]);
  if (mode == "unregistered") return CheckUnregistered();
  std::printf("usage: RegistrationCheck registered <module path> | unregistered\n");
  return 100;
}
