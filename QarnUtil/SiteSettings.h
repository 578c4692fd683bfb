// The product line's per-site settings in the registry,
// HKLM "SOFTWARE\QARN Vesmoro\Config\<instance>": read as the membership
// run-time reads them, written with one installation-log line each.
#pragma once

#include <windows.h>

#include <string>

#include "RegistryData.h"

namespace qarnutil {

// The instance's settings, defaults included, as the run-time sees them.
CRegistryData LoadSiteSettings(const wchar_t* instance);

// Each writes (or deletes) its value in the instance's key, taking the
// instance as given (an empty one names the "Config" key itself, whose
// access-file name every site without its own follows), appends the step's
// line to log and answers 1 on success, else 0.
long WriteConfigFileName(std::string& log, const std::string& instance, const std::string& name);
long WriteAccessProtectedFilesAs(std::string& log, const std::string& instance, const std::string& identity);
long WriteAccessFreeFilesAsAnonymous(std::string& log, const std::string& instance, long value);
// A quota below 1 removes the limit.
long WriteDiskQuota(std::string& log, const std::string& instance, long quota);
// 0 lets physical paths through again.
long WriteDenyPhysicalPath(std::string& log, const std::string& instance, long deny);

// Renames the site's access files oldName to newName from the site root
// down (an empty instance: the lowest site) and appends the line that tells
// how many were renamed, or why the site could not be walked.
void RenameSiteConfigFiles(std::string& log, const std::string& instance, const std::string& oldName,
                           const std::string& newName);

}  // namespace qarnutil
