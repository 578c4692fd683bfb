// The installer's web-server building blocks on a site that a CMDKey is
// bound to: the product line's virtual folder and the maker's filters.
#pragma once

#include <windows.h>

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

}  // namespace qarnutil
