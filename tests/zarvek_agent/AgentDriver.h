// Drives the real agent program from another process, the way a user would:
// the tray callback message, keys to the popup menu, and answers to message
// boxes and the open-file dialog. Used by the end-to-end tests and the demo.
#pragma once

#include <windows.h>

#include <string>

#include "Win32/Handles.h"

namespace agentdriver {

constexpr UINT kTrayNotify = WM_USER + 175;
constexpr UINT kTrayIconId = 175;
constexpr int kFileNameEdit = 0x47c;
constexpr int kMessageBoxText = 0xFFFF;

// A visible top-level window of class className owned by process pid (any
// process when pid is 0), waited for up to timeoutMs; null when none came.
HWND WaitForWindow(DWORD pid, const char* className, DWORD timeoutMs = 10000);

class CAgentProcess {
 public:
  CAgentProcess() = default;
  ~CAgentProcess();  // closes a still running agent
  CAgentProcess(const CAgentProcess&) = delete;
  CAgentProcess& operator=(const CAgentProcess&) = delete;

  // Starts the program and waits for its window of class "TRAYAPPLICATION".
  bool Start(const std::string& exePath);
  HWND Window() const { return m_hWnd; }
  DWORD ProcessId() const { return m_nProcessId; }

  // The right button going down on the tray icon.
  void RightClick() const;
  // Waits for the process to end; its exit code, or STILL_ACTIVE.
  DWORD WaitForExit(DWORD timeoutMs = 15000) const;
  void Close() const;

 private:
  qwin::CHandle m_process;
  DWORD m_nProcessId = 0;
  HWND m_hWnd = nullptr;
};

// Posts a key press to the window (a popup menu or a dialog).
void PressKey(HWND window, UINT key);
// Text of a dialog control; the caption for the dialog itself when id is 0.
std::string ControlText(HWND dialog, int id);
// Presses a dialog button by posting its command.
void PressButton(HWND dialog, int id);
// Types a path into the open-file dialog and confirms it.
void ChooseFile(HWND dialog, const std::string& path);

// Saves what the screen shows inside the window as a 24-bit BMP file; the
// number of distinct colours seen, 0 on failure.
size_t SaveWindowImage(HWND window, const std::string& path);

}  // namespace agentdriver
