// Module-wide state of the utility library.
#pragma once

namespace qarnutil {

// True when the system is Windows NT with a major version above 4; set at
// process attach and never cleared.
bool IsNtAbove4();

}  // namespace qarnutil
