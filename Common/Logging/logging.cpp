#include "logging.h"

#include <windows.h>

#include <log4cplus/appender.h>
#include <log4cplus/configurator.h>
#include <log4cplus/helpers/loglog.h>

#include <vector>

#include "Win32/Handles.h"

namespace qlog {

namespace {

const char kLoggerKey[] = "SOFTWARE\\QARN Vesmoro\\Logger";
const char kConfigFileValue[] = "ConfigFile";
const char kDefaultConfigFile[] = "log4cplus.cfg";

bool g_configured = false;

// Both loggers are obtained when the library loads.
log4cplus::Logger g_parentLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("QVS"));
log4cplus::Logger g_libraryLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("QVS.QarnUtil"));

// The "ConfigFile" value when it is a REG_SZ, else the default name.
std::string ConfigFilePath() {
  qwin::CRegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLoggerKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
    return kDefaultConfigFile;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExA(key.Get(), kConfigFileValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return kDefaultConfigFile;
  }
  std::vector<char> buffer(size + 1, '\0');
  if (::RegQueryValueExA(key.Get(), kConfigFileValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return kDefaultConfigFile;
  }
  return std::string(buffer.data());
}

bool IsFile(const std::string& path) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void EnsureLoggingConfigured() {
  if (g_configured) return;
  const std::string path = ConfigFilePath();
  if (IsFile(path)) {
    log4cplus::PropertyConfigurator::doConfigure(LOG4CPLUS_STRING_TO_TSTRING(path),
                                                 log4cplus::Logger::getDefaultHierarchy());
  } else {
    log4cplus::helpers::LogLog::getLogLog()->setQuietMode(true);
  }
  g_configured = true;
}

log4cplus::Logger& LibraryLogger() { return g_libraryLogger; }

bool IsEnabled(log4cplus::LogLevel level) { return g_libraryLogger.isEnabledFor(level); }

bool IsReceived(log4cplus::LogLevel level) {
  if (!IsEnabled(level)) return false;
  for (log4cplus::Logger logger : {g_libraryLogger, g_parentLogger, log4cplus::Logger::getRoot()}) {
    for (const auto& appender : logger.getAllAppenders()) {
      if (appender->isAsSevereAsThreshold(level)) return true;
    }
    if (!logger.getAdditivity()) return false;
  }
  return false;
}

void Write(log4cplus::LogLevel level, const std::string& text, const char* file, int line) {
  g_libraryLogger.forcedLog(level, LOG4CPLUS_STRING_TO_TSTRING(text), file, line);
}

CFunctionTrace::CFunctionTrace(const char* functionName)
    : m_context((EnsureLoggingConfigured(), LOG4CPLUS_STRING_TO_TSTRING(TraceContextEntry(functionName)))) {
  if (IsEnabled(log4cplus::TRACE_LOG_LEVEL)) {
    Write(log4cplus::TRACE_LOG_LEVEL, TraceEnterText(), __FILE__, __LINE__);
  }
}

CFunctionTrace::~CFunctionTrace() {
  if (IsEnabled(log4cplus::TRACE_LOG_LEVEL)) {
    Write(log4cplus::TRACE_LOG_LEVEL, TraceLeaveText(), __FILE__, __LINE__);
  }
}

}  // namespace qlog
