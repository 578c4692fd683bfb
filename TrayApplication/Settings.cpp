#include "Settings.h"

#include <cstdio>
#include <vector>

#include "AgentState.h"
#include "CommandTable.h"
#include "Resource.h"
#include "TrayMenu.h"

namespace zarvek {

const char kSettingsKeyPath[] = "Software\\QARN Vesmoro\\Pelwyn";
const char kProfileStoreKeyPath[] = "Software\\QARN Vesmoro\\Pelwyn\\ProfileStore";

namespace {

// Every key is opened for reading and writing, also where the agent only reads.
constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;
constexpr DWORD kProfileIdBufferSize = 64;

const char kSilentValue[] = "Silent";
const char kDefaultProfileValue[] = "DefaultProfileID";
const char kProfileNameValue[] = "ProfileName";

LONG OpenKey(const char* path, qwin::CRegKey& key) {
  return ::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, kKeyAccess, key.Put());
}

void ShowError(UINT textId) { ShowMessage(textId, IDS_APP_TITLE, MB_ICONERROR); }

// A string value of type REG_SZ or REG_EXPAND_SZ whose data ends with a NUL.
bool ReadStringValue(HKEY key, const char* name, std::string& text) {
  DWORD type = 0, size = 0;
  if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return false;
  std::vector<char> data(size);
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
      size == 0 || data[size - 1] != '\0') {
    return false;
  }
  text.assign(data.data());
  return true;
}

bool ReadDwordValue(HKEY key, const char* name, DWORD& value) {
  DWORD type = 0, size = sizeof(value);
  return ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD && size == sizeof(value);
}

bool WriteDwordValue(HKEY key, const char* name, DWORD value) {
  return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

bool WriteStringValue(HKEY key, const char* name, const std::string& text) {
  return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

// The first run for a user: the settings key with "Silent" = 0.
bool CreateSettingsKey(qwin::CRegKey& key) {
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return WriteDwordValue(key.Get(), kSilentValue, 0);
}

// Appends the item of one profile. FALSE after the error box when its name
// cannot be read.
bool AppendProfileItem(HMENU submenu, DWORD index, const char* id) {
  char path[1024];
  std::snprintf(path, sizeof(path), "%s\\%s", kProfileStoreKeyPath, id);
  qwin::CRegKey profileKey;
  LONG rc = OpenKey(path, profileKey);
  if (rc != ERROR_SUCCESS) return false;
  std::string name;
  if (!ReadStringValue(profileKey.Get(), kProfileNameValue, name)) return false;
  std::string defaultId;
  ReadDefaultProfileId(defaultId);
  const unsigned command = kFirstProfileCommand + index;
  if (_stricmp(defaultId.c_str(), id) == 0) {
    AppendCheckItem(submenu, command, name, true);
  } else {
    AppendPlainItem(submenu, command, name, true);
  }
  ProfileIdList.emplace_back(id);
  return true;
}

}  // namespace

BOOL ReadSettings() {
  qwin::CRegKey key;
  if (OpenKey(kSettingsKeyPath, key) != ERROR_SUCCESS && !CreateSettingsKey(key)) {
    ShowError(IDS_SETTINGS_PREPARE_FAILED);
    return FALSE;
  }
  DWORD silent = 0;
  if (!ReadDwordValue(key.Get(), kSilentValue, silent)) {
    ShowError(IDS_READ_FAILED);
    return FALSE;
  }
  SilentFlag = silent != 0;
  return TRUE;
}

BOOL BuildProfileMenu(HMENU* submenu) {
  *submenu = ::CreateMenu();
  ProfileIdList.clear();
  qwin::CRegKey store;
  if (OpenKey(kProfileStoreKeyPath, store) != ERROR_SUCCESS) return TRUE;
  for (DWORD index = 0;; ++index) {
    char id[kProfileIdBufferSize];
    DWORD length = kProfileIdBufferSize;
    LONG rc = ::RegEnumKeyExA(store.Get(), index, id, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return TRUE;
    if (rc != ERROR_SUCCESS || !AppendProfileItem(*submenu, index, id)) break;
  }
  ShowError(IDS_READ_FAILED);
  return FALSE;
}

BOOL ReadDefaultProfileId(std::string& id) {
  id.clear();
  qwin::CRegKey store;
  if (OpenKey(kProfileStoreKeyPath, store) != ERROR_SUCCESS) return FALSE;
  if (!ReadStringValue(store.Get(), kDefaultProfileValue, id)) {
    id.clear();
    ShowError(IDS_READ_FAILED);
    return FALSE;
  }
  return TRUE;
}

void SelectProfile(unsigned command) {
  const size_t index = command - kFirstProfileCommand;
  // The list belongs to the menu that returned the command; an index past
  // its end cannot name a profile.
  if (index >= ProfileIdList.size()) return;
  qwin::CRegKey store;
  if (OpenKey(kProfileStoreKeyPath, store) != ERROR_SUCCESS) {
    ShowError(IDS_SETTINGS_PREPARE_FAILED);
    return;
  }
  if (!WriteStringValue(store.Get(), kDefaultProfileValue, ProfileIdList[index])) ShowError(IDS_SAVE_FAILED);
}

void SwitchMode() {
  // The item chosen last keeps its highlight after the menu closes, so the
  // check mark is one bit of the state, not the whole of it.
  const UINT state = ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND);
  const bool interactiveNow = state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
  qwin::CRegKey key;
  if (OpenKey(kSettingsKeyPath, key) != ERROR_SUCCESS) {
    ShowError(IDS_SETTINGS_PREPARE_FAILED);
    return;
  }
  if (!WriteDwordValue(key.Get(), kSilentValue, interactiveNow ? 1 : 0)) {
    ShowError(IDS_SAVE_FAILED);
    return;
  }
  SilentFlag = interactiveNow ? TRUE : FALSE;
  UpdateCheckItem(g_trayMenu.Get(), ID_INTERACTIVE_MODE, LoadResourceString(IDS_INTERACTIVE_MODE), !interactiveNow);
}

}  // namespace zarvek
