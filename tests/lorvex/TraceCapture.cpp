// A small debugger that captures a program's debugger output.
//
//   lorvex_trace_capture CAPTURE_FILE PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM as its debuggee and appends every debug string it writes to
// CAPTURE_FILE, each followed by a zero byte. The string is in the file
// before the debuggee's OutputDebugStringA returns, so the program can read
// its own trace back (it finds the file's name in LORVEX_TRACE_CAPTURE).
// Exits with the debuggee's exit code.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Win32/Handles.h"

namespace {

std::string QuoteArgument(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const size_t charSize = info.fUnicode ? sizeof(wchar_t) : 1;
  std::vector<char> raw(info.nDebugStringLength * charSize);
  SIZE_T read = 0;
  if (raw.empty() || !::ReadProcessMemory(process, info.lpDebugStringData, raw.data(), raw.size(), &read)) return {};
  if (!info.fUnicode) return std::string(raw.data(), ::strnlen(raw.data(), read));
  const auto* wide = reinterpret_cast<const wchar_t*>(raw.data());
  std::string text;
  for (size_t i = 0; i < read / sizeof(wchar_t) && wide[i]; ++i) text += static_cast<char>(wide[i]);
  return text;
}

void Append(HANDLE file, const std::string& text) {
  DWORD written = 0;
  const std::string record = text + '\0';
  ::WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

// Runs the debug loop until the debuggee ends; returns its exit code.
DWORD Debug(HANDLE capture, const PROCESS_INFORMATION& process) {
  DWORD exitCode = 1;
  bool initialBreakpointSeen = false;
  for (;;) {
    DEBUG_EVENT event = {};
    if (!::WaitForDebugEvent(&event, INFINITE)) return 1;
    DWORD continueStatus = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        Append(capture, ReadDebugString(process.hProcess, event.u.DebugString));
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        qwin::CFileHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        qwin::CFileHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        // Only the loader's breakpoint is ours; the debuggee handles the rest.
        if (!initialBreakpointSeen && event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT) {
          initialBreakpointSeen = true;
        } else {
          continueStatus = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        exitCode = event.u.ExitProcess.dwExitCode;
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        return exitCode;
      default:
        break;
    }
    ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: lorvex_trace_capture CAPTURE_FILE PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  qwin::CFileHandle capture(::CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!capture) {
    std::fprintf(stderr, "cannot create %s\n", argv[1]);
    return 2;
  }
  std::string commandLine;
  for (int i = 2; i < argc; ++i) commandLine += (i > 2 ? " " : "") + QuoteArgument(argv[i]);
  ::SetEnvironmentVariableA("LORVEX_TRACE_CAPTURE", argv[1]);
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "cannot start %s (error %lu)\n", argv[2], ::GetLastError());
    return 2;
  }
  qwin::CHandle processHandle(process.hProcess);
  qwin::CHandle threadHandle(process.hThread);
  return static_cast<int>(Debug(capture.Get(), process));
}
