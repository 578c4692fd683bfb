// The web server's filter load order: filter names separated by commas.
// Free of Win32 so that its rules are checked natively.
#pragma once

#include <string>

namespace qinstall {

// The order without every piece that is exactly (case-sensitively) name;
// the other pieces keep their order and spelling, empty pieces vanish, and
// no comma leads or trails.
std::wstring RemoveFromLoadOrder(const std::wstring& order, const std::wstring& name);

// Whether a piece of the order is exactly name.
bool LoadOrderContains(const std::wstring& order, const std::wstring& name);

// The order with name appended, so that the filter loads last.
std::wstring AppendToLoadOrder(const std::wstring& order, const std::wstring& name);

}  // namespace qinstall
