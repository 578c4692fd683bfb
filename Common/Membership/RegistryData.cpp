#include "RegistryData.h"

#include <cstring>
#include <vector>

#include "Win32/Handles.h"
#include "logging.h"

namespace {

const char kConfigKey[] = "SOFTWARE\\QARN Vesmoro\\Config";
const char kDefaultConfigFileName[] = ".htaccess";
const DWORD kFirstReadBytes = 260;

// A REG_SZ value of non-zero size; a longer value than the first buffer is
// read again with the size the system asks for.
bool ReadString(HKEY key, const char* name, std::string& value) {
  std::vector<char> buffer(kFirstReadBytes);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(buffer.size());
  LONG result = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (result == ERROR_MORE_DATA) {
    buffer.resize(size);
    result = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  }
  if (result != ERROR_SUCCESS || type != REG_SZ || size == 0) return false;
  // The stored text need not end with a zero.
  value.assign(buffer.data(), strnlen(buffer.data(), size));
  return true;
}

bool ReadNumber(HKEY key, const char* name, DWORD& value) {
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = sizeof number;
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return false;
  }
  value = number;
  return true;
}

// Flags are set only by the number 1.
void ReadFlag(HKEY key, const char* name, int& flag) {
  DWORD number = 0;
  if (ReadNumber(key, name, number)) flag = number == 1 ? 1 : 0;
}

}  // namespace

int CRegistryData::Load(const char* lpszInstance) {
  QTRACE_FUNCTION("CRegistryData::Load");
  m_bLoaded = 0;
  m_strInstance = lpszInstance ? lpszInstance : "";
  m_strConfigFileName.clear();
  m_strSingleConfigFile.clear();
  m_strAccessProtectedFilesAs.clear();
  m_ulDiskQuota = 0;
  m_bDenyPhysicalPath = 0;
  m_bAccessFreeFilesAsAnonymous = 1;
  // Without an instance name only the "Config" key's default is read.
  if (lpszInstance && *lpszInstance) ReadInstanceKey();
  if (m_strConfigFileName.empty()) ReadDefaultConfigFileName();
  if (m_strConfigFileName.empty()) m_strConfigFileName = kDefaultConfigFileName;
  m_bLoaded = 1;
  return m_bLoaded;
}

void CRegistryData::ReadInstanceKey() {
  const std::string path = std::string(kConfigKey) + "\\" + m_strInstance;
  qwin::CRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) return;
  ReadString(key.Get(), nullptr, m_strConfigFileName);
  ReadString(key.Get(), "SingleConfigFile", m_strSingleConfigFile);
  ReadNumber(key.Get(), "DiskQuota", m_ulDiskQuota);
  ReadFlag(key.Get(), "DenyPhysicalPath", m_bDenyPhysicalPath);
  ReadString(key.Get(), "AccessProtectedFilesAs", m_strAccessProtectedFilesAs);
  ReadFlag(key.Get(), "AccessFreeFilesAsAnonymous", m_bAccessFreeFilesAsAnonymous);
}

void CRegistryData::ReadDefaultConfigFileName() {
  qwin::CRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kConfigKey, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) return;
  ReadString(key.Get(), nullptr, m_strConfigFileName);
}

std::string CRegistryData::GetConfigFileName() const {
  return m_bLoaded ? m_strConfigFileName : kDefaultConfigFileName;
}

std::string CRegistryData::GetAccessProtectedFilesAs() const {
  return m_bLoaded ? m_strAccessProtectedFilesAs : std::string();
}

int CRegistryData::GetAccessFreeFilesAsAnonymous() const { return m_bLoaded ? m_bAccessFreeFilesAsAnonymous : 1; }

DWORD CRegistryData::GetDiskQuota() const { return m_bLoaded ? m_ulDiskQuota : 0; }

int CRegistryData::GetDenyPhysicalPath() const { return m_bLoaded ? m_bDenyPhysicalPath : 0; }
