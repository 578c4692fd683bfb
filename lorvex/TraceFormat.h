// Formatting of the library's trace lines, apart from where they go.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace lorvex {

constexpr size_t kTraceBufferSize = 512;

// Formats one line: the message, cut so that at most 511 characters remain,
// followed by a line feed when it still fits. Always zero-terminated.
void FormatTraceLine(char (&buffer)[kTraceBufferSize], const char* format, va_list args);

}  // namespace lorvex
