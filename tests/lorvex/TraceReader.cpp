#include "TraceReader.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace lorvex_test {

namespace {

std::string CaptureFile() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = ::GetEnvironmentVariableA("LORVEX_TRACE_CAPTURE", path, MAX_PATH);
  return length <= MAX_PATH ? std::string(path, length) : std::string();
}

}  // namespace

void CTraceCapture::Restart() {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  m_start = 0;
  if (::GetFileAttributesExA(CaptureFile().c_str(), GetFileExInfoStandard, &data)) {
    m_start = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
}

std::vector<std::string> CTraceCapture::Strings() const {
  std::ifstream file(CaptureFile(), std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> strings;
  size_t position = static_cast<size_t>(m_start);
  while (position < all.size()) {
    size_t end = all.find('\0', position);
    if (end == std::string::npos) end = all.size();
    strings.push_back(all.substr(position, end - position));
    position = end + 1;
  }
  return strings;
}

std::vector<std::string> CTraceCapture::Lines() const {
  std::vector<std::string> lines;
  for (std::string text : Strings()) {
    if (text.compare(0, 11, "CRLUPDATE! ") != 0) continue;
    if (text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  return lines;
}

}  // namespace lorvex_test
