// Reads back the debugger output that lorvex_trace_capture records for the
// program it runs (the file named by LORVEX_TRACE_CAPTURE).
#pragma once

#include <string>
#include <vector>

namespace lorvex_test {

class CTraceCapture {
 public:
  CTraceCapture() { Restart(); }
  // Forgets what was written so far.
  void Restart();
  // The library's lines written since, each without its final line feed.
  std::vector<std::string> Lines() const;
  // All debug strings written since, line feeds included.
  std::vector<std::string> Strings() const;

 private:
  unsigned long long m_start = 0;
};

}  // namespace lorvex_test
