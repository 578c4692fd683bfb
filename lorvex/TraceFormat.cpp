#include "TraceFormat.h"

#include <cstdio>
#include <cstring>

namespace lorvex {

void FormatTraceLine(char (&buffer)[kTraceBufferSize], const char* format, va_list args) {
  buffer[0] = '\0';
  if (format) std::vsnprintf(buffer, kTraceBufferSize, format, args);
  const size_t length = std::strlen(buffer);
  if (length + 1 < kTraceBufferSize) {
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
  }
}

}  // namespace lorvex
