// The library's log records, byte for byte through a log4cplus property file.
// Logging is configured once per process, so each suite runs in a process
// of its own (see CMakeLists.txt) and sets up its configuration first.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Win32/Handles.h"
#include "logging.h"

namespace {

const char kLoggerKey[] = "SOFTWARE\\QARN Vesmoro\\Logger";
const char kPattern[] = "%p|%c|%x|%m%n";

// A fresh working folder for one process.
std::string EnterScratchFolder(const char* name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "qarn-logging-" + name + "-" + std::to_string(::GetCurrentProcessId());
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::SetCurrentDirectoryA(folder.c_str());
  return folder;
}

void WriteConfig(const std::string& path, const std::string& logFile) {
  std::ofstream out(path);
  out << "log4cplus.rootLogger=TRACE, F\n"
      << "log4cplus.appender.F=log4cplus::FileAppender\n"
      << "log4cplus.appender.F.File=" << logFile << "\n"
      << "log4cplus.appender.F.layout=log4cplus::PatternLayout\n"
      << "log4cplus.appender.F.layout.ConversionPattern=" << kPattern << "\n";
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void SetConfigFileValue(DWORD type, const std::string& path) {
  qwin::CRegKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLoggerKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                             key.Put(), nullptr));
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), "ConfigFile", 0, type,
                                            reinterpret_cast<const BYTE*>(path.c_str()),
                                            static_cast<DWORD>(path.size() + 1)));
}

// The key is read once per process: it is removed again right after use so
// that other tests in the prefix keep their own configuration.
void RemoveLoggerKey() { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLoggerKey); }

void InnerTracedFunction() {
  QTRACE_FUNCTION("CInner::Work");
  QLOG_MESSAGE(DEBUG, "inner message");
}

void OuterTracedFunction() {
  QTRACE_FUNCTION("COuter::Run");
  InnerTracedFunction();
}

}  // namespace

TEST(Records, FormsAndNestedTraces) {
  EnterScratchFolder("forms");
  WriteConfig("log4cplus.cfg", "records.log");
  qlog::EnsureLoggingConfigured();

  const HRESULT accessDenied = static_cast<HRESULT>(0x80070005);
  QLOG_VALUE(ERROR, "RegOpenKeyExA", "hr", accessDenied);
  QLOG_VALUE(ERROR, "CoCreateInstance", "hr", static_cast<HRESULT>(0x8007000E));
  QLOG_VALUE(INFO, "Directive found", "Index of lpszDirective", 42u);
  QLOG_VALUE(DEBUG, "Unsigned", "dw", static_cast<DWORD>(0xFFFFFFFF));
  QLOG_STRING(DEBUG, "Directive found", "lpszDirective", "AuthType");
  QLOG_STRING(ERROR, "Null text", "psz", nullptr);
  QLOG_MESSAGE(INFO, "plain message");
  OuterTracedFunction();
  log4cplus::Logger::getRoot().closeNestedAppenders();

  const std::vector<std::string> expected = {
      "ERROR|QVS.QarnUtil||[RegOpenKeyExA] hr = 0x80070005 | -2147024891",
      "ERROR|QVS.QarnUtil||[CoCreateInstance] hr = 0x8007000e | -2147024882",
      "INFO|QVS.QarnUtil||[Directive found] Index of lpszDirective = 0x2a | 42",
      "DEBUG|QVS.QarnUtil||[Unsigned] dw = 0xffffffff | 4294967295",
      "DEBUG|QVS.QarnUtil||[Directive found] lpszDirective = \"AuthType\"",
      "ERROR|QVS.QarnUtil||[Null text] psz = \"0\"",
      "INFO|QVS.QarnUtil||plain message",
      "TRACE|QVS.QarnUtil| / COuter::Run|In ...",
      "TRACE|QVS.QarnUtil| / COuter::Run  / CInner::Work|In ...",
      "DEBUG|QVS.QarnUtil| / COuter::Run  / CInner::Work|inner message",
      "TRACE|QVS.QarnUtil| / COuter::Run  / CInner::Work|Out ...",
      "TRACE|QVS.QarnUtil| / COuter::Run|Out ...",
  };
  EXPECT_EQ(expected, ReadLines("records.log"));
}

TEST(Quiet, NothingIsWrittenWithoutConfiguration) {
  const std::string folder = EnterScratchFolder("quiet");
  RemoveLoggerKey();
  qlog::EnsureLoggingConfigured();
  // Without appenders log4cplus would warn on stderr; quiet mode keeps it
  // silent (the test fails on any "log4cplus" in the output).
  QLOG_MESSAGE(ERROR, "nobody hears this");
  OuterTracedFunction();

  WIN32_FIND_DATAA data;
  qwin::CFindHandle find(::FindFirstFileA((folder + "\\*.*").c_str(), &data));
  int entries = 0;
  if (find) {
    do {
      if (std::string(data.cFileName) != "." && std::string(data.cFileName) != "..") ++entries;
    } while (::FindNextFileA(find.Get(), &data));
  }
  EXPECT_EQ(0, entries) << "no file may appear in the working folder";
}

// Offers two property files, log4cplus.cfg in the working folder and
// named.cfg named by a "ConfigFile" value of the given type, logs one message
// and returns the file the message went to.
std::string LogWithConfigFileValue(const char* folderName, DWORD valueType) {
  const std::string folder = EnterScratchFolder(folderName);
  WriteConfig("log4cplus.cfg", "default.log");
  WriteConfig(folder + "\\named.cfg", "named.log");
  SetConfigFileValue(valueType, folder + "\\named.cfg");
  qlog::EnsureLoggingConfigured();
  RemoveLoggerKey();
  QLOG_MESSAGE(INFO, "where am I");
  log4cplus::Logger::getRoot().closeNestedAppenders();
  const bool toDefault = Exists("default.log");
  const bool toNamed = Exists("named.log");
  if (toDefault == toNamed) return "both or neither";
  EXPECT_EQ(std::vector<std::string>{"INFO|QVS.QarnUtil||where am I"},
            ReadLines(toDefault ? "default.log" : "named.log"));
  return toDefault ? "default.log" : "named.log";
}

TEST(ConfigFile, ExpandStringValueIsIgnored) {
  EXPECT_EQ("default.log", LogWithConfigFileValue("expand", REG_EXPAND_SZ));
}

TEST(ConfigFile, StringValueNamesThePropertyFile) {
  EXPECT_EQ("named.log", LogWithConfigFileValue("named", REG_SZ));
}

TEST(Module, LoadAndUnloadAreLoggedUnderTheDllMainTrace) {
  EnterScratchFolder("dllmain");
  WriteConfig("log4cplus.cfg", "module.log");
  char path[MAX_PATH];
  ASSERT_NE(0u, ::GetEnvironmentVariableA("QARNUTIL_DLL", path, MAX_PATH));
  HMODULE module = ::LoadLibraryA(path);
  ASSERT_NE(nullptr, module);
  ::FreeLibrary(module);
  const std::vector<std::string> expected = {
      "TRACE|QVS.QarnUtil| / DllMain|In ...",
      "INFO|QVS.QarnUtil| / DllMain|DLL_PROCESS_ATTACH",
      "TRACE|QVS.QarnUtil| / DllMain|Out ...",
      "TRACE|QVS.QarnUtil| / DllMain|In ...",
      "INFO|QVS.QarnUtil| / DllMain|DLL_PROCESS_DETACH",
      "TRACE|QVS.QarnUtil| / DllMain|Out ...",
  };
  EXPECT_EQ(expected, ReadLines("module.log"));
}
