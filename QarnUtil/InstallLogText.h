// The lines of the installation log, free of Win32 so that their rules are
// checked natively: one line per step, "step TAB result LF".
#pragma once

#include <cstdint>
#include <string>

namespace qinstall {

// Step and result texts are composed in 256-byte buffers.
constexpr std::size_t kLogTextSize = 256;

// Ids of the result texts that a step's HRESULT selects.
enum ResultTextId : unsigned {
  kResultSuccess = 101,             // "Success"
  kResultAlreadyExists = 102,       // "Already exists or installed"
  kResultFailedUnspecified = 103,   // "Failed. Unspecified error"
  kResultFailedWithMessage = 111,   // "Failed. %s"
};

// The result text for a step that ended with hr: 0 is success, 1 (S_FALSE)
// means the thing was there already, anything else is a failure, told with
// the system's message when the system has one.
ResultTextId ResultTextIdFor(std::int32_t hr, bool systemHasMessage);

// A step or result text: the first "%s" of format replaced by argument (a
// null argument leaves format as it is), cut to the 255 characters that the
// composition buffer holds.
std::string ComposeLogText(const std::string& format, const char* argument);

// One log line; carriage returns and line feeds inside either text become
// spaces so that a line is always one line.
std::string ComposeLogLine(std::string step, std::string result);

}  // namespace qinstall
