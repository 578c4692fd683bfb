// Seams of the membership classes for tests and benchmarks. The product
// never sets them; each exists because a test cannot stage the real path
// (real accounts, a crash at a chosen moment, hours of waiting).
#pragma once

#include <cstddef>

#include "ImpersonationTokenCache.h"

namespace qmembership {
namespace testing {

// The logon of the process-wide token cache: LogonUserA unless a test puts a
// stand-in here (a test machine has no accounts with known passwords).
extern LOGON_FUNCTION g_pfnProcessLogon;

// Called on the reading thread with the path of each access file just before
// CACL opens it (to see the order of reads and the identity in force).
extern void (*g_pfnBeforeAccessFileRead)(const char* lpszFile);

// Called once a single-file save has written its new file beside the single
// file, before it replaces the single file (to interrupt a save there).
extern void (*g_pfnBeforeSingleFileReplace)(const char* lpszNewFile);

// How many bytes each ReadFile of an access file asks for.
extern std::size_t g_nAccessFileReadBuffer;

}  // namespace testing
}  // namespace qmembership
