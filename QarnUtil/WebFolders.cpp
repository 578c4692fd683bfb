#include "WebFolders.h"

#include <httpfilt.h>

#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "ACL.h"
#include "Com/ComPtr.h"
#include "FilterLoadOrder.h"
#include "InstallLog.h"
#include "Module.h"
#include "RegistryData.h"
#include "Resource.h"
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

// --- filters -------------------------------------------------------------------------------

namespace {

// The maker's filters, current and old, by library and by key name.
struct CKnownFilter {
  const wchar_t* szLibrary;
  const wchar_t* szName;
};
const CKnownFilter kKnownFilters[] = {
    {L"kx_auth.dll", L"Qarn Authentication Filter"},
    {L"kx_uuid.dll", L"Qarn Identification Filter"},
    {L"qarnfilter.dll", L"Qarn Filter"},
};
const char kQarnFilterLibrary[] = "qarnfilter.dll";
const char kPrivateFolder[] = "_vesmoro";

// The last Win32 error of a failed step as an HRESULT; a step that failed
// without leaving one must still not read as success.
HRESULT LastErrorResult() {
  const HRESULT hr = qwin::HResultFromLastError();
  return hr == S_OK ? E_FAIL : hr;
}

// Loads the library, asks its GetFilterVersion for the filter's flags and
// unloads it again. On failure the Win32 error is the one the failing step
// left, taken before the library is unloaded.
HRESULT QueryFilterLibrary(const std::string& path, DWORD& flags, DWORD& error) {
  qwin::CLibrary library(::LoadLibraryA(path.c_str()));
  if (!library) {
    error = ::GetLastError();
    return LastErrorResult();
  }
  using GetFilterVersionFunction = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
  const auto getFilterVersion = reinterpret_cast<GetFilterVersionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(library.Get(), "GetFilterVersion")));
  HTTP_FILTER_VERSION version = {};
  if (!getFilterVersion || !getFilterVersion(&version)) {
    error = ::GetLastError();
    return LastErrorResult();
  }
  flags = version.dwFlags;
  return S_OK;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& end) {
  return text.size() > end.size() && ::lstrcmpiW(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// A filter of the maker's: its image is one of the known libraries, or its
// key has one of the known names.
bool IsMakersFilter(const std::wstring& name, const std::wstring& image) {
  for (const CKnownFilter& known : kKnownFilters) {
    if (EndsWithNoCase(image, known.szLibrary) || ::lstrcmpiW(name.c_str(), known.szName) == 0) return true;
  }
  return false;
}

// The filter keys on the site that are the maker's, in enumeration order.
std::vector<std::wstring> FindMakersFilters(CMDKey& key, METADATA_HANDLE siteHandle) {
  std::vector<std::wstring> found;
  wchar_t name[METADATA_MAX_NAME_LEN + 1] = {};
  for (DWORD index = 0; SUCCEEDED(key.EnumKeys(siteHandle, L"Filters", name, index)); ++index) {
    name[METADATA_MAX_NAME_LEN] = L'\0';
    qwin::CRuntimeMemory<wchar_t> image;
    const HRESULT hr =
        key.GetString(FilterKeyPath(name).c_str(), MD_FILTER_IMAGE_PATH, IIS_MD_UT_SERVER, image.Put(), siteHandle);
    if (IsMakersFilter(name, image ? image.Get() : L"")) found.emplace_back(name);
    if (FAILED(hr)) break;
  }
  return found;
}

// The filter's key with its type, flags and library; the first failing
// write is the result.
HRESULT WriteFilterKey(CMDKey& key, METADATA_HANDLE siteHandle, const std::wstring& filterKey, DWORD flags,
                       const std::string& libraryPath) {
  const std::wstring image = qcom::AnsiToWide(libraryPath);
  HRESULT hr = key.SetString(filterKey.c_str(), MD_KEY_TYPE, L"IIsFilter", IIS_MD_UT_SERVER, FALSE, siteHandle);
  if (SUCCEEDED(hr)) hr = key.SetDWORD(filterKey.c_str(), MD_FILTER_FLAGS, flags, IIS_MD_UT_SERVER, FALSE, siteHandle);
  if (SUCCEEDED(hr)) {
    hr = key.SetString(filterKey.c_str(), MD_FILTER_IMAGE_PATH, image.c_str(), IIS_MD_UT_SERVER, FALSE, siteHandle);
  }
  return hr;
}

HRESULT AppendToSiteLoadOrder(CMDKey& key, METADATA_HANDLE siteHandle, const wchar_t* filterName) {
  qwin::CRuntimeMemory<wchar_t> order;
  HRESULT hr = key.GetString(L"Filters", MD_FILTER_LOAD_ORDER, IIS_MD_UT_SERVER, order.Put(), siteHandle);
  if (FAILED(hr)) return hr;
  const std::wstring appended = qinstall::AppendToLoadOrder(order.Get(), filterName);
  return key.SetString(L"Filters", MD_FILTER_LOAD_ORDER, appended.c_str(), IIS_MD_UT_SERVER, FALSE, siteHandle);
}

}  // namespace

HRESULT InstallFilter(CMDKey& key, METADATA_HANDLE siteHandle, const wchar_t* filterName, const char* library,
                      const std::string& applicationPath, const std::string& rootFolder) {
  std::string libraryPath = applicationPath + "\\Bin\\" + library;
  // The library is checked before anything is written, so that a filter
  // the web server could not load never reaches the metabase.
  DWORD flags = 0;
  DWORD error = 0;
  HRESULT hr = QueryFilterLibrary(libraryPath, flags, error);
  if (FAILED(hr)) return hr;
  if (!IsNtAbove4()) {
    // The old platform loads filters from the site's private folder.
    const std::string copy = rootFolder + "\\" + kPrivateFolder + "\\" + library;
    if (!::CopyFileA(libraryPath.c_str(), copy.c_str(), FALSE)) return LastErrorResult();
    libraryPath = copy;
  }
  key.AddKey(L"Filters", siteHandle);  // the site may have its filter key already
  const std::wstring filterKey = FilterKeyPath(filterName);
  hr = key.AddKey(filterKey.c_str(), siteHandle);
  if (hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) return S_FALSE;
  if (FAILED(hr)) return hr;
  hr = WriteFilterKey(key, siteHandle, filterKey, flags, libraryPath);
  if (FAILED(hr)) return hr;
  return AppendToSiteLoadOrder(key, siteHandle, filterName);
}

HRESULT ReplaceFilters(CMDKey& key, METADATA_HANDLE siteHandle, const std::string& applicationPath,
                       const std::string& rootFolder, std::string& log) {
  for (const std::wstring& name : FindMakersFilters(key, siteHandle)) {
    const HRESULT hr = RemoveFilter(key, siteHandle, name.c_str());
    AppendLogLine(log, IDS_REMOVE_FILTER, qcom::BstrToAnsi(name.c_str()).c_str(), hr);
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = InstallFilter(key, siteHandle, kQarnFilterName, kQarnFilterLibrary, applicationPath, rootFolder);
  AppendLogLine(log, IDS_INSTALL_FILTER, qcom::BstrToAnsi(kQarnFilterName).c_str(), hr);
  return hr;
}

HRESULT CheckFilter(CMDKey& key, const wchar_t* filterName, std::string& info, bool& ok) {
  ok = false;
  info.clear();
  qwin::CRuntimeMemory<wchar_t> order;
  HRESULT hr = key.GetString(L"Filters", MD_FILTER_LOAD_ORDER, IIS_MD_UT_SERVER, order.Put());
  if (FAILED(hr)) return hr;
  if (!qinstall::LoadOrderContains(order.Get(), filterName)) {
    info = InstallerString(IDS_QARNFILTER_NOT_INSTALLED);
    return S_OK;
  }
  qwin::CRuntimeMemory<wchar_t> image;
  hr = key.GetString(FilterKeyPath(filterName).c_str(), MD_FILTER_IMAGE_PATH, IIS_MD_UT_SERVER, image.Put());
  if (hr == kMetabasePathNotFound) {
    info = InstallerString(IDS_QARNFILTER_NOT_INSTALLED);
    return S_OK;
  }
  if (FAILED(hr)) return hr;
  DWORD flags = 0;
  DWORD error = 0;
  if (FAILED(QueryFilterLibrary(qcom::BstrToAnsi(image.Get()), flags, error))) {
    SystemMessage(static_cast<HRESULT>(error), info);
    return S_OK;
  }
  ok = true;
  return S_OK;
}

// --- folders --------------------------------------------------------------------------------

namespace {

struct CPrivateFolder {
  const char* szRelativePath;  // below the site root
  UINT nLineId;
};
const CPrivateFolder kVesmoroFolders[] = {{"_vesmoro", IDS_CREATE_VESMORO_FOLDER}};
const CPrivateFolder kHomeFolders[] = {{"_vesmoro", IDS_CREATE_VESMORO_FOLDER},
                                       {"_home", IDS_CREATE_HOME_FOLDER},
                                       {"_home\\_public", IDS_CREATE_PUBLIC_FOLDER}};

// Creates each folder with its line; an existing folder counts as made.
template <size_t N>
HRESULT CreatePrivateFolders(const std::string& rootFolder, const CPrivateFolder (&folders)[N], std::string& log) {
  for (const CPrivateFolder& folder : folders) {
    const std::string path = rootFolder + "\\" + folder.szRelativePath;
    HRESULT hr = S_OK;
    if (!::CreateDirectoryA(path.c_str(), nullptr)) {
      const DWORD error = ::GetLastError();
      hr = error == ERROR_ALREADY_EXISTS ? S_FALSE : qwin::HResultFromWin32(static_cast<LONG>(error));
    }
    AppendLogLine(log, folder.nLineId, nullptr, hr);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// The private folder's access file, which answers no file to web clients.
HRESULT SavePrivateAccessFile(const std::string& instance, const std::string& rootFolder, const std::string& identity,
                              std::string& log) {
  CACL acl;
  acl.m_DenyAccess.push_back("*.*");
  CRegistryData settings;
  settings.Load(instance.c_str());
  const std::string folder = rootFolder + "\\" + kPrivateFolder;
  const HRESULT hr = acl.Save(folder.c_str(), identity.c_str(), "/_vesmoro", settings.GetConfigFileName().c_str(),
                              nullptr, nullptr);
  AppendLogLine(log, IDS_CREATE_VESMORO_ACL, nullptr, hr);
  return SUCCEEDED(hr) ? S_OK : hr;
}

template <size_t N>
HRESULT CreateFoldersWithAccessFile(const std::string& instance, const std::string& rootFolder,
                                    const std::string& identity, const CPrivateFolder (&folders)[N],
                                    std::string& log) {
  const HRESULT hr = CreatePrivateFolders(rootFolder, folders, log);
  if (FAILED(hr)) return hr;
  return SavePrivateAccessFile(instance, rootFolder, identity, log);
}

}  // namespace

HRESULT CreateVesmoroFolder(const std::string& instance, const std::string& rootFolder, const std::string& identity,
                            std::string& log) {
  return CreateFoldersWithAccessFile(instance, rootFolder, identity, kVesmoroFolders, log);
}

HRESULT CreateHomeFolders(const std::string& instance, const std::string& rootFolder, const std::string& identity,
                          std::string& log) {
  return CreateFoldersWithAccessFile(instance, rootFolder, identity, kHomeFolders, log);
}

// --- the access-file rename walk -------------------------------------------------------------

namespace {

// Walks the site's folders: the physical ones below each folder and the
// folders of the virtual folders mapped below its URL. A folder is visited
// once however it is reached, so a virtual folder mapped to an ancestor
// cannot make the walk go round for ever; junctions are not followed, so
// the walk stays within the folders that belong to the site.
class CConfigFileRenamer {
 public:
  CConfigFileRenamer(CMDKey& key, METADATA_HANDLE siteHandle, const std::string& oldName, const std::string& newName,
                     long& counter)
      : m_key(key), m_siteHandle(siteHandle), m_oldName(oldName), m_newName(newName), m_counter(counter) {}

  void Visit(const std::wstring& urlPath, const std::string& folder) {
    if (!m_visited.insert(FolderIdentity(folder)).second) return;
    if (::MoveFileExA((folder + "\\" + m_oldName).c_str(), (folder + "\\" + m_newName).c_str(),
                      MOVEFILE_REPLACE_EXISTING)) {
      ++m_counter;
    }
    VisitSubfolders(urlPath, folder);
    VisitVirtualFolders(urlPath);
  }

 private:
  static std::string FolderIdentity(const std::string& folder) {
    char full[MAX_PATH] = {};
    const DWORD length = ::GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    std::string identity = length > 0 && length < MAX_PATH ? std::string(full, length) : folder;
    while (identity.size() > 3 && identity.back() == '\\') identity.pop_back();
    ::CharUpperBuffA(&identity[0], static_cast<DWORD>(identity.size()));
    return identity;
  }

  void VisitSubfolders(const std::wstring& urlPath, const std::string& folder) {
    WIN32_FIND_DATAA entry = {};
    qwin::CFindHandle find(::FindFirstFileA((folder + "\\*.*").c_str(), &entry));
    if (!find) return;
    do {
      const std::string name = entry.cFileName;
      const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool isJunction = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (!isFolder || isJunction || name == "." || name == "..") continue;
      Visit(urlPath + L"/" + qcom::AnsiToWide(name), folder + "\\" + name);
    } while (::FindNextFileA(find.Get(), &entry));
  }

  void VisitVirtualFolders(const std::wstring& urlPath) {
    const std::wstring parent = L"Root" + urlPath;
    wchar_t name[METADATA_MAX_NAME_LEN + 1] = {};
    for (DWORD index = 0; SUCCEEDED(m_key.EnumKeys(m_siteHandle, parent.c_str(), name, index)); ++index) {
      name[METADATA_MAX_NAME_LEN] = L'\0';
      const std::wstring child = parent + L"/" + name;
      qwin::CRuntimeMemory<wchar_t> type;
      if (FAILED(m_key.GetString(child.c_str(), MD_KEY_TYPE, IIS_MD_UT_SERVER, type.Put(), m_siteHandle)) ||
          std::wcsncmp(type.Get(), L"IIsWebVirtualDir", 16) != 0) {
        continue;
      }
      qwin::CRuntimeMemory<wchar_t> folder;
      if (SUCCEEDED(m_key.GetString(child.c_str(), MD_VR_PATH, IIS_MD_UT_FILE, folder.Put(), m_siteHandle))) {
        Visit(urlPath + L"/" + name, qcom::BstrToAnsi(folder.Get()));
      }
    }
  }

  CMDKey& m_key;
  METADATA_HANDLE m_siteHandle;
  const std::string& m_oldName;
  const std::string& m_newName;
  long& m_counter;
  std::set<std::string> m_visited;
};

}  // namespace

void RenameConfigFiles(CMDKey& key, METADATA_HANDLE siteHandle, const std::wstring& urlPath, const std::string& folder,
                       const std::string& oldName, const std::string& newName, long& counter) {
  CConfigFileRenamer(key, siteHandle, oldName, newName, counter).Visit(urlPath, folder);
}

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
