// The eight file operations of the "Операции" submenu, run through the crypto
// client library.
#pragma once

#include <windows.h>

#include <string>

#include "CommandTable.h"

namespace zarvek {

// Asks for an existing input file. filterList is a complete filter list
// (see MakeFilterList). TRUE and the chosen path, or FALSE.
BOOL SelectFile(UINT titleId, const std::string& filterList, std::string& path);

void RunFileOperation(const COperationCommand& command);

}  // namespace zarvek
