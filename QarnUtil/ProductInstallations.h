// The two products of the line with installation work of their own: the
// membership product (code 5) and the virtual-drive product (code 8), on
// one web site. Each appends its lines to log and answers the HRESULT of
// its last web-server step, result 1 when that did not fail. The site's
// share account is logged on through `pTokens` (null: the process-wide token
// cache).
#pragma once

#include <windows.h>

#include <string>

class CImpersonationTokenCache;

namespace qarnutil {

HRESULT InstallMembershipProduct(const std::string& instance, std::string& log, long& result,
                                 CImpersonationTokenCache* pTokens = nullptr);
HRESULT InstallKestroProduct(const std::string& instance, std::string& log, long& result,
                             CImpersonationTokenCache* pTokens = nullptr);

}  // namespace qarnutil
