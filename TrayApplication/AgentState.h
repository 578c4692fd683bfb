// Process-wide state of the agent and the shell calls it makes through one
// table, so that the modal parts (message boxes, the file dialog, the popup
// menu) can be answered by a test on the agent's own thread.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include "Win32/Handles.h"

namespace zarvek {

// The tray icon's callback message and identifier.
constexpr UINT WM_TRAYNOTIFY = WM_USER + 175;
constexpr UINT kTrayIconId = 175;
constexpr int kNameBufferSize = 100;

extern HINSTANCE g_hInstance;
extern HWND g_hWnd;
extern char g_szTitle[kNameBufferSize];
extern char g_szWindowClass[kNameBufferSize];
extern BOOL g_bIconAdded;
extern qwin::CMenu g_trayMenu;
// TRUE while TrackPopupMenu shows the tray menu; a click then must not
// destroy the menu being tracked.
extern BOOL g_bMenuShowing;

// FALSE while a certificate-store or tool command runs.
extern BOOL IdleFlag;
// Mirror of the registry value "Silent".
extern BOOL SilentFlag;
// Profile identifiers of the default-profile submenu; item 700 + k is entry k.
extern std::vector<std::string> ProfileIdList;
// Per-file results of the last file operation, for the status report.
extern std::map<std::string, bool> StatusMap;

struct CShellCalls {
  int(WINAPI* m_pfnMessageBox)(HWND, LPCSTR, LPCSTR, UINT);
  BOOL(WINAPI* m_pfnGetOpenFileName)(LPOPENFILENAMEA);
  BOOL(WINAPI* m_pfnTrackPopupMenu)(HMENU, UINT, int, int, int, HWND, const RECT*);
  HINSTANCE(WINAPI* m_pfnShellExecute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  BOOL(WINAPI* m_pfnShellNotifyIcon)(DWORD, PNOTIFYICONDATAA);
  void (*m_pfnEndProcess)(int);
};

// The real calls; tests replace entries and put them back.
extern CShellCalls g_shell;
extern const CShellCalls kSystemShellCalls;

// A string of the agent's string table (ANSI code page); the whole resource
// text, embedded NUL characters included.
std::string LoadResourceString(UINT id);

// A message box owned by the agent window with an OK button.
void ShowMessage(const std::string& text, UINT captionId, UINT iconStyle);
void ShowMessage(UINT textId, UINT captionId, UINT iconStyle);

}  // namespace zarvek
