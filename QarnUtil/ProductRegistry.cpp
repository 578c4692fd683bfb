#include "ProductRegistry.h"

#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "Com/ComPtr.h"

namespace qarnutil {

namespace {

const char kProductLineKey[] = "SOFTWARE\\QARN Vesmoro";
const char kInstallKey[] = "SOFTWARE\\QARN Vesmoro\\Install\\";

// The whole REG_SZ value, however long; empty when it is missing or of
// another type.
std::string ReadStringValue(HKEY key, const char* name) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return {};
  std::vector<char> data(size + 1, '\0');
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return std::string(data.data());
}

// The shell's canonical file-system path of folder. The folder is made
// absolute and free of "." and ".." first, which the shell's parser does
// not take everywhere.
HRESULT CanonicalFolderPath(const std::string& folder, std::string& path) {
  char full[MAX_PATH] = {};
  const DWORD length = ::GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
  if (length == 0) return qwin::HResultFromLastError();
  if (length >= MAX_PATH) return qwin::HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);
  const std::wstring wide = qcom::AnsiToWide(full);
  qwin::CCoTaskMem<ITEMIDLIST> items;
  SFGAOF attributes = SFGAO_FILESYSTEM;
  const HRESULT hr = ::SHParseDisplayName(wide.c_str(), nullptr, items.Put(), attributes, &attributes);
  if (FAILED(hr)) return hr;
  char canonical[MAX_PATH] = {};
  if (!::SHGetPathFromIDListA(items.Get(), canonical)) return E_FAIL;
  path = canonical;
  return S_OK;
}

}  // namespace

LONG OpenProductKey(const CProduct& product, REGSAM access, qwin::CRegKey& key) {
  const std::string path = std::string(kInstallKey) + product.szRegistryKeyName;
  return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.Put());
}

bool ReadSmallString(HKEY key, const char* name, DWORD bufferSize, std::string& text, LONG* error) {
  std::vector<char> buffer(bufferSize + 1, '\0');
  DWORD type = 0;
  DWORD size = bufferSize;
  *error = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (*error != ERROR_SUCCESS || type != REG_SZ) return false;
  text = buffer.data();
  return true;
}

HRESULT GetApplicationPath(std::string& path) {
  path.clear();
  qwin::CRegKey key;
  const LONG rc = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductLineKey, 0, KEY_QUERY_VALUE, key.Put());
  if (rc != ERROR_SUCCESS) return qwin::HResultFromWin32(rc);
  return CanonicalFolderPath(ReadStringValue(key.Get(), "Install Path"), path);
}

std::string InstallationDate() {
  SYSTEMTIME now = {};
  ::GetLocalTime(&now);
  char text[16] = {};
  std::snprintf(text, sizeof(text), "%02d.%02d.%04d", now.wDay, now.wMonth, now.wYear);
  return text;
}

LONG RecordProductOnSite(HKEY productKey, const std::string& instance) {
  const std::string date = InstallationDate();
  const LONG written = ::RegSetValueExA(productKey, instance.c_str(), 0, REG_SZ,
                                        reinterpret_cast<const BYTE*>(date.c_str()),
                                        static_cast<DWORD>(date.size() + 1));
  if (written == ERROR_SUCCESS) ::RegFlushKey(productKey);
  return written;
}

}  // namespace qarnutil
