// The installer's web-server building blocks on a site that a CMDKey is
// bound to: the product line's virtual folder and the maker's filters.
#pragma once

#include <windows.h>

#include <string>

#include "MDKey.h"

namespace qarnutil {

// The filter that the installer puts in place.
extern const wchar_t kQarnFilterName[];

// Creates (or rewrites) the virtual folder Root/name, mapped to
// applicationPath\subfolder, readable and scriptable.
HRESULT CreateVirtualFolder(CMDKey& key, const wchar_t* name, const wchar_t* subfolder,
                            const wchar_t* applicationPath);

// Deletes the virtual folder Root/name; a folder that is not there counts
// as deleted.
HRESULT DeleteVirtualFolder(CMDKey& key, const wchar_t* name);

// Whether the virtual folder Root/name opens.
bool IsVirtualFolderPresent(CMDKey& key, const wchar_t* name);

// Takes the filter out of the load order and deletes its key (handle 0:
// the site's key is opened for each step). A filter key that is not there
// gives the no-such-key HRESULT.
HRESULT RemoveFilter(CMDKey& key, METADATA_HANDLE siteHandle, const wchar_t* filterName);

// Checks the library applicationPath\Bin\library (loaded, its
// GetFilterVersion called, unloaded) before it makes the filter's key on the
// site and appends the filter to the load order; S_FALSE when the filter's
// key exists already.
HRESULT InstallFilter(CMDKey& key, METADATA_HANDLE siteHandle, const wchar_t* filterName, const char* library,
                      const std::string& applicationPath, const std::string& rootFolder);

// Removes the maker's filters, old and current, then installs "Qarn Filter";
// appends the lines of each removal and of the installation to log.
HRESULT ReplaceFilters(CMDKey& key, METADATA_HANDLE siteHandle, const std::string& applicationPath,
                       const std::string& rootFolder, std::string& log);

// Whether the filter is in the site's load order and its library loads and
// answers; info tells why not (empty when ok).
HRESULT CheckFilter(CMDKey& key, const wchar_t* filterName, std::string& info, bool& ok);

// The product's private folder below the site root with its access file,
// which denies every file to web clients; appends the lines 119 and 124.
HRESULT CreateVesmoroFolder(const std::string& instance, const std::string& rootFolder, const std::string& identity,
                            std::string& log);

// The home folders (/_home, /_home/_public) besides the private folder;
// appends the lines 119, 237, 238 and 124.
HRESULT CreateHomeFolders(const std::string& instance, const std::string& rootFolder, const std::string& identity,
                          std::string& log);

// Renames the access files oldName to newName in folder, in every folder
// below it and in the folders of the virtual folders mapped below urlPath
// ("" for the site root), counting the renames.
void RenameConfigFiles(CMDKey& key, METADATA_HANDLE siteHandle, const std::wstring& urlPath, const std::string& folder,
                       const std::string& oldName, const std::string& newName, long& counter);

// The site's physical root folder: MD_VR_PATH of "Root".
HRESULT ReadSiteRootFolder(CMDKey& key, METADATA_HANDLE siteHandle, std::string& rootFolder);

// The identity of the site root's network-share account, "user:password",
// or empty when the root has no account.
std::string ReadShareIdentity(CMDKey& key, METADATA_HANDLE siteHandle);

}  // namespace qarnutil
