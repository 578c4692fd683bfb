// The product registry below HKLM "SOFTWARE\QARN Vesmoro": where the product
// line is installed on the server, and which products are on which site.
#pragma once

#include <windows.h>

#include <string>

#include "ProductTable.h"
#include "Win32/Handles.h"

namespace qarnutil {

// Opens the product's key below "Install" with access; the Win32 result.
LONG OpenProductKey(const CProduct& product, REGSAM access, qwin::CRegKey& key);

// A REG_SZ value read into a buffer of bufferSize bytes. Missing or
// another type: false with the Win32 result in *error (ERROR_SUCCESS for
// another type).
bool ReadSmallString(HKEY key, const char* name, DWORD bufferSize, std::string& text, LONG* error);

// The folder in which the product line is installed on the server
// ("Install Path"), as the file system's canonical path.
HRESULT GetApplicationPath(std::string& path);

// Today's date as the per-site value holds it: "dd.mm.yyyy".
std::string InstallationDate();

// Records the product of productKey as installed on the site: today's date
// as the value named by the instance, the key flushed. The Win32 result.
LONG RecordProductOnSite(HKEY productKey, const std::string& instance);

}  // namespace qarnutil
