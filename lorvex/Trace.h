// The library's trace: one line per step to the debugger output, each
// beginning "CRLUPDATE! " and the name of the operation.
#pragma once

namespace lorvex {

// printf-style; the thread's last-error value is left as it was, because
// callers read it after writing a line.
void TraceMessage(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

}  // namespace lorvex
