#include "AgentDriver.h"

#include <fstream>
#include <set>
#include <vector>

namespace agentdriver {

namespace {

struct CWindowSearch {
  DWORD m_nProcessId;
  const char* m_pszClass;
  HWND m_hFound;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  CWindowSearch& search = *reinterpret_cast<CWindowSearch*>(parameter);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  char name[64] = {};
  ::GetClassNameA(window, name, sizeof(name));
  if ((search.m_nProcessId == 0 || pid == search.m_nProcessId) && lstrcmpA(name, search.m_pszClass) == 0) {
    // The agent's own window is hidden; every other window looked for is shown.
    const bool hiddenAllowed = lstrcmpA(search.m_pszClass, "TRAYAPPLICATION") == 0;
    if (hiddenAllowed || ::IsWindowVisible(window)) {
      search.m_hFound = window;
      return FALSE;
    }
  }
  return TRUE;
}

constexpr DWORD kPollMs = 50;

}  // namespace

HWND WaitForWindow(DWORD pid, const char* className, DWORD timeoutMs) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += kPollMs) {
    CWindowSearch search = {pid, className, nullptr};
    ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.m_hFound) return search.m_hFound;
    ::Sleep(kPollMs);
  }
  return nullptr;
}

CAgentProcess::~CAgentProcess() {
  if (m_process && WaitForExit(0) == STILL_ACTIVE) {
    Close();
    if (WaitForExit() == STILL_ACTIVE) ::TerminateProcess(m_process.Get(), 1);
  }
}

bool CAgentProcess::Start(const std::string& exePath) {
  std::string command = "\"" + exePath + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  m_process.Reset(info.hProcess);
  ::CloseHandle(info.hThread);
  m_nProcessId = info.dwProcessId;
  m_hWnd = WaitForWindow(m_nProcessId, "TRAYAPPLICATION");
  return m_hWnd != nullptr;
}

void CAgentProcess::RightClick() const { ::PostMessageA(m_hWnd, kTrayNotify, kTrayIconId, WM_RBUTTONDOWN); }

DWORD CAgentProcess::WaitForExit(DWORD timeoutMs) const {
  ::WaitForSingleObject(m_process.Get(), timeoutMs);
  DWORD code = STILL_ACTIVE;
  ::GetExitCodeProcess(m_process.Get(), &code);
  return code;
}

void CAgentProcess::Close() const { ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0); }

void PressKey(HWND window, UINT key) {
  ::PostMessageA(window, WM_KEYDOWN, key, 1);
  ::PostMessageA(window, WM_KEYUP, key, 0xC0000001);
  ::Sleep(150);
}

std::string ControlText(HWND dialog, int id) {
  HWND control = id == 0 ? dialog : ::GetDlgItem(dialog, id);
  char text[1024] = {};
  // WM_GETTEXT works across processes where GetWindowText would not ask.
  ::SendMessageA(control, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text));
  return text;
}

void PressButton(HWND dialog, int id) { ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void ChooseFile(HWND dialog, const std::string& path) {
  ::SendMessageA(::GetDlgItem(dialog, kFileNameEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PressButton(dialog, IDOK);
}

size_t SaveWindowImage(HWND window, const std::string& path) {
  RECT rect = {};
  if (!::GetWindowRect(window, &rect)) return 0;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return 0;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  ::GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  std::set<DWORD> colours;
  const BYTE* pixels = static_cast<const BYTE*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const BYTE* p = pixels + y * stride + x * 3;
      colours.insert(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  }
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
  file.bfSize = file.bfOffBits + imageSize;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
  out.write(static_cast<const char*>(bits), imageSize);
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return out ? colours.size() : 0;
}

}  // namespace agentdriver
