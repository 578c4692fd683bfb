// Stand-in for the utility library's logging header in the native build:
// the same macros, composing the same record texts (LogForms), without
// log4cplus. Tests may capture the records to check them.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "LogForms.h"

namespace qlog {

enum NativeLevel { TRACE_LEVEL, DEBUG_LEVEL, INFO_LEVEL, ERROR_LEVEL };

struct CRecord {
  NativeLevel level;
  std::string text;
};

// Records are kept only while capturing (tests), else dropped.
void StartCapture();
std::vector<CRecord> StopCapture();
bool Capturing();
void Write(NativeLevel level, std::string text);

template <class T>
std::string ValueRecord(const char* title, const char* name, T value) {
  return FormatValueRecord(title, name, static_cast<std::uint32_t>(value), std::is_signed<T>::value);
}

}  // namespace qlog

#define QLOG_RECEIVED(level) ::qlog::Capturing()

#define QTRACE_FUNCTION(name) static_cast<void>(name)

#define QLOG_VALUE(level, title, name, value) \
  do {                                        \
    if (::qlog::Capturing()) ::qlog::Write(::qlog::level##_LEVEL, ::qlog::ValueRecord(title, name, value)); \
  } while (0)

#define QLOG_STRING(level, title, name, text) \
  do {                                        \
    if (::qlog::Capturing()) ::qlog::Write(::qlog::level##_LEVEL, ::qlog::FormatStringRecord(title, name, text)); \
  } while (0)

#define QLOG_MESSAGE(level, text) \
  do {                            \
    if (::qlog::Capturing()) ::qlog::Write(::qlog::level##_LEVEL, std::string(text)); \
  } while (0)
