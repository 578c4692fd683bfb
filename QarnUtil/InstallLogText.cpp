#include "InstallLogText.h"

#include <algorithm>

namespace qinstall {

namespace {

constexpr std::size_t kMaxLogText = kLogTextSize - 1;  // room for the terminator

void FlattenLineBreaks(std::string& text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

}  // namespace

ResultTextId ResultTextIdFor(std::int32_t hr, bool systemHasMessage) {
  if (hr == 0) return kResultSuccess;
  if (hr == 1) return kResultAlreadyExists;
  return systemHasMessage ? kResultFailedWithMessage : kResultFailedUnspecified;
}

std::string ComposeLogText(const std::string& format, const char* argument) {
  std::string text = format;
  const std::size_t place = argument ? text.find("%s") : std::string::npos;
  if (place != std::string::npos) text.replace(place, 2, argument);
  if (text.size() > kMaxLogText) text.resize(kMaxLogText);
  return text;
}

std::string ComposeLogLine(std::string step, std::string result) {
  FlattenLineBreaks(step);
  FlattenLineBreaks(result);
  std::string line;
  line.reserve(step.size() + result.size() + 2);
  line.append(step).append(1, '\t').append(result).append(1, '\n');
  return line;
}

}  // namespace qinstall
