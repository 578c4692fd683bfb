#include "Trace.h"

#include <windows.h>

#include "TraceFormat.h"

namespace lorvex {

void TraceMessage(const char* format, ...) {
  const DWORD lastError = ::GetLastError();
  char buffer[kTraceBufferSize];
  va_list args;
  va_start(args, format);
  FormatTraceLine(buffer, format, args);
  va_end(args);
  ::OutputDebugStringA(buffer);
  ::SetLastError(lastError);
}

}  // namespace lorvex
