// The texts of the library's log records. Free of Win32 so that the forms
// can be checked natively.
#pragma once

#include <cstdint>
#include <string>

namespace qlog {

// "[title] name = 0x<hex> | <decimal>": lower-case hexadecimal without
// leading zeros; the decimal part is signed when the value's type is.
std::string FormatValueRecord(const char* title, const char* name, std::uint32_t bits, bool isSigned);

// "[title] name = "text""; a null text is written as the digit 0.
std::string FormatStringRecord(const char* title, const char* name, const char* text);

// The nested-context entry of a traced function: " / " and its name.
std::string TraceContextEntry(const char* functionName);

// The messages of a function trace.
inline const char* TraceEnterText() { return "In ..."; }
inline const char* TraceLeaveText() { return "Out ..."; }

}  // namespace qlog
