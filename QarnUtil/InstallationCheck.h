// The check of a membership installation on a site: each finding is a line
// of the installation log, and only a metabase that cannot be read or a
// check that cannot run fails the call.
#pragma once

#include <windows.h>

#include <string>

#include "ACL.h"
#include "MDKey.h"
#include "QarnUtil_h.h"

namespace qarnutil {

// Whether the access file's data source is one the product's filter can
// use: a complete OLE DB source whose database holds the share tables, or a
// named ADSI domain or server. Settles the CACL's data-source type; text
// tells why not (empty when ok). Always answers S_OK.
HRESULT CheckDataSource(CACL& acl, std::string& text, bool& ok);

// Whether the folder of the metabase key "Root" + subPath and every account
// named in its DACL can be read; text is the system's message otherwise. A
// metabase read that fails is the result.
HRESULT CheckRootFolderSecurity(CMDKey& key, const std::wstring& subPath, std::string& text, bool& ok);

// The whole check of the membership product on the site instance (empty:
// the lowest site), asking installer whether the product is recorded;
// appends its lines to log.
HRESULT CheckMembershipInstallation(IInstaller& installer, const std::string& instance, std::string& log,
                                    long& result);

}  // namespace qarnutil
