#include "AgentState.h"

#include <cstdlib>

namespace zarvek {

HINSTANCE g_hInstance = nullptr;
HWND g_hWnd = nullptr;
char g_szTitle[kNameBufferSize] = {};
char g_szWindowClass[kNameBufferSize] = {};
BOOL g_bIconAdded = FALSE;
qwin::CMenu g_trayMenu;
BOOL g_bMenuShowing = FALSE;

BOOL IdleFlag = TRUE;
BOOL SilentFlag = FALSE;
std::vector<std::string> ProfileIdList;
std::map<std::string, bool> StatusMap;

const CShellCalls kSystemShellCalls = {&::MessageBoxA, &::GetOpenFileNameA, &::TrackPopupMenu,
                                       &::ShellExecuteA, &::Shell_NotifyIconA, &std::exit};
CShellCalls g_shell = kSystemShellCalls;

std::string LoadResourceString(UINT id) {
  char buffer[1024] = {};
  int length = ::LoadStringA(g_hInstance, id, buffer, sizeof(buffer));
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

void ShowMessage(const std::string& text, UINT captionId, UINT iconStyle) {
  g_shell.m_pfnMessageBox(g_hWnd, text.c_str(), LoadResourceString(captionId).c_str(), MB_OK | iconStyle);
}

void ShowMessage(UINT textId, UINT captionId, UINT iconStyle) {
  ShowMessage(LoadResourceString(textId), captionId, iconStyle);
}

}  // namespace zarvek
