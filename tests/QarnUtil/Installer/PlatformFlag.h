// The platform flag of test builds that link the installer's parts without
// the library's module, which would answer it from the system's version.
#pragma once

namespace qtest {

// Until set, the platform registers filter libraries in place, as every
// platform since Windows 2000 does.
void SetNtAbove4(bool ntAbove4);

}  // namespace qtest
