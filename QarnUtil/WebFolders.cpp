#include "WebFolders.h"

#include <string>

#include "Com/ComPtr.h"
#include "FilterLoadOrder.h"
#include "Module.h"
#include "Win32/Handles.h"

namespace qarnutil {

const wchar_t kQarnFilterName[] = L"Qarn Filter";

namespace {

constexpr DWORD kReadAndScript = MD_ACCESS_READ | MD_ACCESS_SCRIPT;  // 513
// Default document on; date, time, size, extension and long date shown;
// browsing itself off.
constexpr DWORD kVirtualFolderBrowsing = 0x4000003E;

std::wstring FilterKeyPath(const wchar_t* filterName) { return std::wstring(L"Filters/") + filterName; }

// The properties of a virtual folder, written in this order; each needs
// the one before it, while the browsing flags are written in any case.
HRESULT WriteVirtualFolderProperties(CMDKey& key, METADATA_HANDLE site, const wchar_t* folder,
                                     const std::wstring& physicalPath) {
  HRESULT hr = key.SetString(folder, MD_KEY_TYPE, L"IIsWebVirtualDir", IIS_MD_UT_SERVER, FALSE, site);
  if (SUCCEEDED(hr)) hr = key.SetString(folder, MD_VR_PATH, physicalPath.c_str(), IIS_MD_UT_FILE, TRUE, site);
  if (SUCCEEDED(hr)) hr = key.SetDWORD(folder, MD_ACCESS_PERM, kReadAndScript, IIS_MD_UT_FILE, TRUE, site);
  const HRESULT browsing =
      key.SetDWORD(folder, MD_DIRECTORY_BROWSING, kVirtualFolderBrowsing, IIS_MD_UT_FILE, TRUE, site);
  return FAILED(hr) ? hr : browsing;
}

// Opens the folder's key to see whether it is there, and creates it when
// the metabase says it is not.
HRESULT EnsureKey(CMDKey& key, METADATA_HANDLE site, const wchar_t* folder) {
  CMetabaseHandle probe(key.AdminBase());
  HRESULT hr = key.OpenKey(site, folder, METADATA_PERMISSION_READ, probe.Put());
  probe.Close();
  if (hr == kMetabasePathNotFound) hr = key.AddKey(folder, site);
  return hr;
}

}  // namespace

HRESULT CreateVirtualFolder(CMDKey& key, const wchar_t* name, const wchar_t* subfolder,
                            const wchar_t* applicationPath) {
  CMetabaseHandle site(key.AdminBase());
  HRESULT hr = key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr, METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE,
                           site.Put());
  if (FAILED(hr)) return hr;
  const std::wstring folder = std::wstring(L"Root/") + name;
  hr = EnsureKey(key, site.Get(), folder.c_str());
  if (FAILED(hr)) return hr;
  const std::wstring physicalPath = std::wstring(applicationPath) + L"\\" + subfolder;
  return WriteVirtualFolderProperties(key, site.Get(), folder.c_str(), physicalPath);
}

HRESULT DeleteVirtualFolder(CMDKey& key, const wchar_t* name) {
  const std::wstring folder = std::wstring(L"Root/") + name;
  const HRESULT hr = key.DeleteKey(folder.c_str());
  return hr == kMetabasePathNotFound ? S_OK : hr;
}

bool IsVirtualFolderPresent(CMDKey& key, const wchar_t* name) {
  const std::wstring path = key.m_strRootPath + L"/Root/" + name;
  CMetabaseHandle folder(key.AdminBase());
  return SUCCEEDED(key.OpenKey(METADATA_MASTER_ROOT_HANDLE, path.c_str(), METADATA_PERMISSION_READ, folder.Put()));
}

HRESULT RemoveFilter(CMDKey& key, METADATA_HANDLE siteHandle, const wchar_t* filterName) {
  qwin::CRuntimeMemory<wchar_t> order;
  HRESULT hr = key.GetString(L"Filters", MD_FILTER_LOAD_ORDER, IIS_MD_UT_SERVER, order.Put(), siteHandle);
  if (FAILED(hr)) return hr;
  const std::wstring kept = qinstall::RemoveFromLoadOrder(order.Get(), filterName);
  hr = key.SetString(L"Filters", MD_FILTER_LOAD_ORDER, kept.c_str(), IIS_MD_UT_SERVER, FALSE, siteHandle);
  if (FAILED(hr)) return hr;
  const std::wstring filterKey = FilterKeyPath(filterName);
  if (!IsNtAbove4()) {
    // On the old platform the library was copied next to the product and
    // registered from there; the copy goes with the filter.
    qwin::CRuntimeMemory<wchar_t> image;
    hr = key.GetString(filterKey.c_str(), MD_FILTER_IMAGE_PATH, IIS_MD_UT_SERVER, image.Put(), siteHandle);
    if (FAILED(hr)) return hr;
    ::DeleteFileW(image.Get());
  }
  return key.DeleteKey(filterKey.c_str(), siteHandle);
}

// --- filters and folders (to come) ------------------------------------------------------

HRESULT InstallFilter(CMDKey&, METADATA_HANDLE, const wchar_t*, const char*, const std::string&, const std::string&) {
  return E_NOTIMPL;
}

HRESULT ReplaceFilters(CMDKey&, METADATA_HANDLE, const std::string&, const std::string&, std::string&) {
  return E_NOTIMPL;
}

HRESULT CheckFilter(CMDKey&, const wchar_t*, std::string& info, bool& ok) {
  info.clear();
  ok = false;
  return E_NOTIMPL;
}

HRESULT CreateVesmoroFolder(const std::string&, const std::string&, const std::string&, std::string&) {
  return E_NOTIMPL;
}

HRESULT CreateHomeFolders(const std::string&, const std::string&, const std::string&, std::string&) {
  return E_NOTIMPL;
}

void RenameConfigFiles(CMDKey&, METADATA_HANDLE, const std::wstring&, const std::string&, const std::string&,
                       const std::string&, long&) {}

// --- the site root ---------------------------------------------------------------------

HRESULT ReadSiteRootFolder(CMDKey& key, METADATA_HANDLE siteHandle, std::string& rootFolder) {
  qwin::CRuntimeMemory<wchar_t> folder;
  const HRESULT hr = key.GetString(L"Root", MD_VR_PATH, IIS_MD_UT_FILE, folder.Put(), siteHandle);
  if (FAILED(hr)) return hr;
  rootFolder = qcom::BstrToAnsi(folder.Get());
  return S_OK;
}

std::string ReadShareIdentity(CMDKey& key, METADATA_HANDLE siteHandle) {
  qwin::CRuntimeMemory<wchar_t> user;
  if (FAILED(key.GetString(L"Root", MD_VR_USERNAME, IIS_MD_UT_FILE, user.Put(), siteHandle)) || !*user.Get()) {
    return std::string();
  }
  qwin::CRuntimeMemory<wchar_t> password;
  std::string identity = qcom::BstrToAnsi(user.Get()) + ":";
  if (SUCCEEDED(key.GetString(L"Root", MD_VR_PASSWORD, IIS_MD_UT_FILE, password.Put(), siteHandle))) {
    identity += qcom::BstrToAnsi(password.Get());
  }
  return identity;
}

}  // namespace qarnutil
