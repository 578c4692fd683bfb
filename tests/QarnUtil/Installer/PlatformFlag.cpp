#include "PlatformFlag.h"

namespace {
bool g_bNtAbove4 = true;
}  // namespace

namespace qtest {
void SetNtAbove4(bool ntAbove4) { g_bNtAbove4 = ntAbove4; }
}  // namespace qtest

namespace qarnutil {
bool IsNtAbove4() { return g_bNtAbove4; }
}  // namespace qarnutil
