#include "SiteSettings.h"

#include <functional>

#include "Com/ComPtr.h"
#include "InstallLog.h"
#include "MDKey.h"
#include "Resource.h"
#include "WebFolders.h"
#include "Win32/Handles.h"
#include "logging.h"

namespace qarnutil {

namespace {

const char kConfigKey[] = "SOFTWARE\\QARN Vesmoro\\Config";
const char kAccessProtectedFilesAs[] = "AccessProtectedFilesAs";
const char kAccessFreeFilesAsAnonymous[] = "AccessFreeFilesAsAnonymous";
const char kDiskQuota[] = "DiskQuota";
const char kDenyPhysicalPath[] = "DenyPhysicalPath";

// One change of the settings key, answering a Win32 error code.
using CValueChange = std::function<LONG(HKEY)>;

std::string SettingsKeyPath(const std::string& instance) {
  return instance.empty() ? std::string(kConfigKey) : std::string(kConfigKey) + "\\" + instance;
}

// The frame of every setter: the key opened or created, the change made and
// flushed, and the step's line.
long ChangeSetting(std::string& log, UINT stepId, const std::string& instance, const CValueChange& change) {
  qwin::CRegKey key;
  LONG rc = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKeyPath(instance).c_str(), 0, const_cast<char*>(""),
                              REG_OPTION_NON_VOLATILE, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr,
                              key.Put(), nullptr);
  if (rc == ERROR_SUCCESS) rc = change(key.Get());
  if (rc == ERROR_SUCCESS) ::RegFlushKey(key.Get());
  AppendLogLine(log, stepId, nullptr, qwin::HResultFromWin32(rc));
  return rc == ERROR_SUCCESS ? 1 : 0;
}

CValueChange SetString(const char* name, const std::string& value) {
  return [name, value](HKEY key) {
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
  };
}

CValueChange SetNumber(const char* name, long value) {
  return [name, value](HKEY key) {
    const DWORD number = static_cast<DWORD>(value);
    return ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  };
}

// A value that is not there makes the step fail: the caller asked to remove
// a setting that was never made.
CValueChange Delete(const char* name) {
  return [name](HKEY key) { return ::RegDeleteValueA(key, name); };
}

// Walks the site from its root folder; the failing step's HRESULT, else
// S_OK with the count.
HRESULT RenameFromSiteRoot(const std::string& instance, const std::string& oldName, const std::string& newName,
                           long& renamed) {
  CMDKey key;
  const std::wstring wide = qcom::AnsiToWide(instance);
  QRETURN_IF_FAILED("CMDKey::_Init", key._Init(instance.empty() ? nullptr : wide.c_str()));
  CMetabaseHandle site(key.AdminBase());
  QRETURN_IF_FAILED("CMDKey::OpenKey",
                    key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr, METADATA_PERMISSION_READ, site.Put()));
  std::string rootFolder;
  QRETURN_IF_FAILED("ReadSiteRootFolder", ReadSiteRootFolder(key, site.Get(), rootFolder));
  RenameConfigFiles(key, site.Get(), std::wstring(), rootFolder, oldName, newName, renamed);
  return S_OK;
}

}  // namespace

CRegistryData LoadSiteSettings(const wchar_t* instance) {
  CRegistryData settings;
  settings.Load(qcom::BstrToAnsi(instance).c_str());
  return settings;
}

long WriteConfigFileName(std::string& log, const std::string& instance, const std::string& name) {
  return ChangeSetting(log, IDS_SET_CONFIG_FILE_NAME, instance, SetString(nullptr, name));
}

long WriteAccessProtectedFilesAs(std::string& log, const std::string& instance, const std::string& identity) {
  return ChangeSetting(log, IDS_SET_ACCESS_PROTECTED_FILES_AS, instance,
                       SetString(kAccessProtectedFilesAs, identity));
}

long WriteAccessFreeFilesAsAnonymous(std::string& log, const std::string& instance, long value) {
  return ChangeSetting(log, IDS_SET_ACCESS_FREE_FILES_AS_ANONYMOUS, instance,
                       SetNumber(kAccessFreeFilesAsAnonymous, value));
}

long WriteDiskQuota(std::string& log, const std::string& instance, long quota) {
  return ChangeSetting(log, IDS_SET_DISK_QUOTA, instance,
                       quota >= 1 ? SetNumber(kDiskQuota, quota) : Delete(kDiskQuota));
}

long WriteDenyPhysicalPath(std::string& log, const std::string& instance, long deny) {
  return ChangeSetting(log, IDS_SET_DENY_PHYSICAL_PATH, instance,
                       deny != 0 ? SetNumber(kDenyPhysicalPath, deny) : Delete(kDenyPhysicalPath));
}

void RenameSiteConfigFiles(std::string& log, const std::string& instance, const std::string& oldName,
                           const std::string& newName) {
  long renamed = 0;
  const HRESULT hr = RenameFromSiteRoot(instance, oldName, newName, renamed);
  if (FAILED(hr)) {
    AppendLogLine(log, IDS_RENAME_CONFIG_FILES, nullptr, hr);
    return;
  }
  AppendLogText(log, IDS_RENAME_CONFIG_FILES, nullptr, IDS_RENAMED_FILES, std::to_string(renamed).c_str());
}

}  // namespace qarnutil
