// A fresh folder of the test's own below the temporary folder.
#pragma once

#include <string>

namespace qtest {

// Creates <temp>\<prefix>-<unique> and answers its path.
std::string NewTempFolder(const char* prefix);

}  // namespace qtest
