// The utility library's one way of logging: the function trace and the
// record forms, all through the logger "QVS.QarnUtil".
//
//   QTRACE_FUNCTION("CMDKey::_Init");                        // In ... / Out ...
//   QLOG_VALUE(ERROR, "RegOpenKeyExA", "hr", hr);             // [title] name = 0x.. | ..
//   QLOG_STRING(DEBUG, "Directive found", "lpszDirective", s); // [title] name = "s"
//   QLOG_MESSAGE(INFO, "DLL_PROCESS_ATTACH");
//
// The level is one of TRACE, DEBUG, INFO, ERROR. A record's text is composed
// only when its level is enabled. QLOG_RECEIVED(DEBUG) tells whether anyone
// would receive such records, for code that would write many of them.
#pragma once

#include <log4cplus/logger.h>
#include <log4cplus/loglevel.h>
#include <log4cplus/ndc.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "LogForms.h"

namespace qlog {

// Reads the configuration once per process: the property file named by
// HKLM\SOFTWARE\QARN Vesmoro\Logger "ConfigFile" (REG_SZ), else
// "log4cplus.cfg" in the current folder; without a file log4cplus is quiet.
void EnsureLoggingConfigured();

log4cplus::Logger& LibraryLogger();

bool IsEnabled(log4cplus::LogLevel level);
// Enabled, and some appender of the library logger or of its ancestors (as
// far as additivity reaches) takes records of `level`. Asks the hierarchy
// each time: meant for deciding once about a run of records.
bool IsReceived(log4cplus::LogLevel level);
void Write(log4cplus::LogLevel level, const std::string& text, const char* file, int line);

// Enter/leave trace of one function, with its nested-context entry.
class CFunctionTrace {
 public:
  explicit CFunctionTrace(const char* functionName);
  ~CFunctionTrace();
  CFunctionTrace(const CFunctionTrace&) = delete;
  CFunctionTrace& operator=(const CFunctionTrace&) = delete;

 private:
  log4cplus::NDCContextCreator m_context;
};

template <class T>
void WriteValueRecord(log4cplus::LogLevel level, const char* title, const char* name, T value,
                      const char* file, int line) {
  using Integer = typename std::conditional<std::is_enum<T>::value, std::underlying_type<T>,
                                            std::common_type<T>>::type::type;
  static_assert(std::is_integral<Integer>::value && sizeof(Integer) <= 4,
                "a value record shows a 32-bit value");
  const auto bits = static_cast<std::uint32_t>(static_cast<Integer>(value));
  Write(level, FormatValueRecord(title, name, bits, std::is_signed<Integer>::value), file, line);
}

}  // namespace qlog

// The level is pasted here, at the first expansion, so that a level name
// that windows.h defines as a macro (ERROR) is not expanded first.
#define QTRACE_FUNCTION(name) ::qlog::CFunctionTrace qlogFunctionTrace_(name)

#define QLOG_RECEIVED(level) ::qlog::IsReceived(::log4cplus::level##_LOG_LEVEL)

#define QLOG_VALUE(level, title, name, value)                                                \
  do {                                                                                       \
    if (::qlog::IsEnabled(::log4cplus::level##_LOG_LEVEL))                                               \
      ::qlog::WriteValueRecord(::log4cplus::level##_LOG_LEVEL, title, name, value, __FILE__, __LINE__);  \
  } while (0)

#define QLOG_STRING(level, title, name, text)                                                      \
  do {                                                                                             \
    if (::qlog::IsEnabled(::log4cplus::level##_LOG_LEVEL))                                                     \
      ::qlog::Write(::log4cplus::level##_LOG_LEVEL, ::qlog::FormatStringRecord(title, name, text), __FILE__, \
                    __LINE__);                                                                     \
  } while (0)

#define QLOG_MESSAGE(level, text)                                                   \
  do {                                                                              \
    if (::qlog::IsEnabled(::log4cplus::level##_LOG_LEVEL))                                      \
      ::qlog::Write(::log4cplus::level##_LOG_LEVEL, std::string(text), __FILE__, __LINE__);     \
  } while (0)

// The logged return of a failing step: when expression (an HRESULT) fails,
// writes "[title] hr = ..." at ERROR and returns it from the enclosing
// function.
#define QRETURN_IF_FAILED(title, expression)   \
  do {                                         \
    const auto qlogResult_ = (expression);     \
    if (qlogResult_ < 0) {                     \
      QLOG_VALUE(ERROR, title, "hr", qlogResult_); \
      return qlogResult_;                      \
    }                                          \
  } while (0)
