#include "TrayApplication.h"

#include <objbase.h>

#include <cstring>
#include <exception>

#include "AgentState.h"
#include "CertificateTools.h"
#include "CommandTable.h"
#include "Resource.h"
#include "TrayMenu.h"

namespace zarvek {

namespace {

// The first, 88-byte ANSI layout of NOTIFYICONDATA, with its 64-character tip.
constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAA_V1_SIZE;
constexpr size_t kTipSize = 64;

void RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof(WNDCLASSEXA);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = g_szWindowClass;
  windowClass.hIconSm = ::LoadIconA(instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  ::RegisterClassExA(&windowClass);
}

UINT TrayIconResource() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  ::GetVersionExA(&version);
  return UsesSmallTrayIcon(version.dwMajorVersion, version.dwMinorVersion) ? IDI_TRAY_ICON_SMALL : IDI_TRAY_ICON;
}

void ShowTrayMenu() {
  POINT cursor = {};
  ::GetCursorPos(&cursor);
  ::SetForegroundWindow(g_hWnd);
  g_bMenuShowing = TRUE;
  const UINT command = static_cast<UINT>(g_shell.m_pfnTrackPopupMenu(
      g_trayMenu.Get(), TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN, cursor.x, cursor.y, 0, g_hWnd, nullptr));
  g_bMenuShowing = FALSE;
  DispatchCommand(command);
}

void RebuildAndShowTrayMenu() {
  g_trayMenu.Reset();
  ProfileIdList.clear();
  BuildTrayMenu();
  ShowTrayMenu();
}

}  // namespace

BOOL StartAgent(HINSTANCE instance) {
  g_bIconAdded = FALSE;
  ::LoadStringA(instance, IDS_APP_TITLE, g_szTitle, kNameBufferSize);
  ::LoadStringA(instance, IDS_WINDOW_CLASS, g_szWindowClass, kNameBufferSize);
  RegisterWindowClass(instance);
  g_hInstance = instance;
  HWND window = ::CreateWindowExA(0, g_szWindowClass, g_szTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                  CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (!window) return FALSE;
  ::ShowWindow(window, SW_HIDE);
  ::UpdateWindow(window);
  ::CoInitialize(nullptr);
  return TRUE;
}

int RunMessageLoop() {
  MSG message = {};
  while (::GetMessageA(&message, nullptr, 0, 0)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  g_hWnd = hWnd;
  TrayIcon(kTrayIconAdd);
  switch (message) {
    case WM_DESTROY:
      Terminate();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      ::BeginPaint(hWnd, &paint);
      ::EndPaint(hWnd, &paint);
      return 0;
    }
    case WM_TRAYNOTIFY:
      OnTrayNotify(hWnd, message, wParam, lParam);
      return 0;
    default:
      return ::DefWindowProcA(hWnd, message, wParam, lParam);
  }
}

void TrayIcon(int mode) {
  NOTIFYICONDATAA data = {};
  data.cbSize = kNotifyIconDataSize;
  data.hWnd = g_hWnd;
  data.uID = kTrayIconId;
  const std::string tip = LoadResourceString(IDS_APP_TITLE);
  if (mode == kTrayIconDelete) {
    g_shell.m_pfnShellNotifyIcon(NIM_DELETE, &data);
    return;
  }
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_TRAYNOTIFY;
  data.hIcon = ::LoadIconA(g_hInstance, MAKEINTRESOURCEA(TrayIconResource()));
  std::strncpy(data.szTip, tip.c_str(), kTipSize - 1);
  if (!g_bIconAdded) g_bIconAdded = g_shell.m_pfnShellNotifyIcon(NIM_ADD, &data);
}

void OnTrayNotify(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TRAYNOTIFY || hWnd != g_hWnd || wParam != kTrayIconId || lParam != WM_RBUTTONDOWN) return;
  // A click that reaches us while the menu is open (through the menu's own
  // loop) must not destroy the menu under TrackPopupMenu.
  if (g_bMenuShowing) return;
  try {
    RebuildAndShowTrayMenu();
  } catch (const std::exception& error) {
    ShowMessage(error.what(), IDS_APP_TITLE, MB_ICONERROR);
  } catch (const CComError& error) {
    ShowMessage(error.Description(), IDS_APP_TITLE, MB_ICONERROR);
  } catch (...) {
    Terminate();
  }
}

void Terminate() {
  TrayIcon(kTrayIconDelete);
  g_shell.m_pfnEndProcess(0);
}

}  // namespace zarvek
