#include "AgentTestSupport.h"

#include <sstream>

#include "Settings.h"
#include "StandInRegistry.h"
#include "Win32/Handles.h"

namespace agenttest {

CFakeShell* CFakeShell::s_current = nullptr;

std::string Ansi(const char* utf8) {
  int wideSize = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(wideSize), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], wideSize);
  int size = ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], size, nullptr, nullptr);
  text.resize(static_cast<size_t>(size - 1));
  return text;
}

CFakeShell::CFakeShell() {
  s_current = this;
  zarvek::g_shell = {&MessageBox, &GetOpenFileName, &TrackPopupMenu, &ShellExecute, &ShellNotifyIcon, &EndProcess};
}

CFakeShell::~CFakeShell() {
  zarvek::g_shell = zarvek::kSystemShellCalls;
  s_current = nullptr;
}

size_t CFakeShell::CountNotify(DWORD message) const {
  size_t count = 0;
  for (const CNotifyIconCall& call : m_notifyIcons) count += call.m_nMessage == message ? 1 : 0;
  return count;
}

int WINAPI CFakeShell::MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  s_current->m_messageBoxes.push_back({owner, text ? text : "", caption ? caption : "", type});
  return IDOK;
}

BOOL WINAPI CFakeShell::GetOpenFileName(LPOPENFILENAMEA dialog) {
  CFakeShell& self = *s_current;
  std::string filter;
  for (const char* p = dialog->lpstrFilter; p && !(p[0] == '\0' && p[1] == '\0'); ++p) filter += *p;
  if (dialog->lpstrFilter) filter += std::string(2, '\0');
  self.m_fileDialogs.push_back({dialog->lStructSize, dialog->hwndOwner, dialog->lpstrTitle ? dialog->lpstrTitle : "",
                                filter, dialog->nFilterIndex, dialog->nMaxFile, dialog->Flags,
                                dialog->lpstrFile && dialog->lpstrFile[0] == '\0'});
  if (self.m_onFileDialog) self.m_onFileDialog();
  if (self.m_fileAnswers.empty()) return FALSE;
  std::string answer = self.m_fileAnswers.front();
  self.m_fileAnswers.erase(self.m_fileAnswers.begin());
  if (answer.empty()) return FALSE;
  lstrcpynA(dialog->lpstrFile, answer.c_str(), static_cast<int>(dialog->nMaxFile));
  return TRUE;
}

BOOL WINAPI CFakeShell::TrackPopupMenu(HMENU, UINT flags, int, int, int, HWND owner, const RECT*) {
  s_current->m_trackFlags.push_back(flags);
  s_current->m_trackOwners.push_back(owner);
  if (s_current->m_onTrackPopupMenu) s_current->m_onTrackPopupMenu();
  return static_cast<BOOL>(s_current->m_nMenuAnswer);
}

HINSTANCE WINAPI CFakeShell::ShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                          LPCSTR directory, INT show) {
  s_current->m_shellExecutes.push_back(
      {owner, verb ? verb : "", file ? file : "", parameters != nullptr, directory != nullptr, show});
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

BOOL WINAPI CFakeShell::ShellNotifyIcon(DWORD message, PNOTIFYICONDATAA data) {
  CFakeShell& self = *s_current;
  self.m_notifyIcons.push_back({message, *data});
  if (message != NIM_ADD || self.m_addAnswers.empty()) return TRUE;
  BOOL answer = self.m_addAnswers.front();
  self.m_addAnswers.erase(self.m_addAnswers.begin());
  return answer;
}

void CFakeShell::EndProcess(int code) { s_current->m_exitCodes.push_back(code); }

// --- registry ---------------------------------------------------------------------

namespace {

qwin::CRegKey CreateUserKey(const std::string& path) {
  qwin::CRegKey key;
  EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, key.Put(), nullptr))
      << path;
  return key;
}

}  // namespace

void DeleteUserKey(const std::string& path) {
  ::RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

void SetRawValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  qwin::CRegKey key = CreateUserKey(path);
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size));
}

void SetDword(const std::string& path, const char* name, DWORD value) {
  SetRawValue(path, name, REG_DWORD, &value, sizeof(value));
}

void SetString(const std::string& path, const char* name, const std::string& text) {
  SetRawValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool ReadDword(const std::string& path, const char* name, DWORD& value) {
  DWORD type = 0, size = sizeof(value);
  return ::RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, &value, &size) == ERROR_SUCCESS &&
         type == REG_DWORD;
}

bool ReadString(const std::string& path, const char* name, std::string& text) {
  char buffer[1024] = {};
  DWORD type = 0, size = sizeof(buffer);
  if (::RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  text = buffer;
  return true;
}

bool UserKeyExists(const std::string& path) {
  qwin::CRegKey key;
  return ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

void AddProfile(const std::string& id, const std::string& name) {
  SetString(std::string(zarvek::kProfileStoreKeyPath) + "\\" + id, "ProfileName", name);
}

// --- stand-ins --------------------------------------------------------------------

std::vector<std::string> CallRecords(const char* component) {
  std::vector<std::string> lines;
  std::istringstream calls(standin::ReadStringSetting(component, "Calls"));
  for (std::string line; std::getline(calls, line);) lines.push_back(line);
  return lines;
}

void SetStandInDword(const char* component, const char* name, DWORD value) {
  SetDword(standin::ComponentKeyPath(component), name, value);
}

void SetStandInString(const char* component, const char* name, const std::string& text) {
  SetString(standin::ComponentKeyPath(component), name, text);
}

// --- menus ------------------------------------------------------------------------

std::vector<CMenuItemView> ReadMenu(HMENU menu) {
  std::vector<CMenuItemView> items;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char caption[256] = {};
    MENUITEMINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_TYPE | MIIM_STATE | MIIM_SUBMENU;
    info.dwTypeData = caption;
    info.cch = sizeof(caption);
    EXPECT_TRUE(::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info));
    items.push_back({info.wID, info.fType, info.fState, (info.fType & MFT_SEPARATOR) ? "" : caption, info.hSubMenu});
  }
  return items;
}

// --- fixture ----------------------------------------------------------------------

void CAgentTest::SetUp() {
  ::CoInitialize(nullptr);
  DeleteUserKey("Software\\QARN Vesmoro");
  DeleteUserKey("Software\\QARN Stand-ins");
  SetStandInDword("QarnCryptoClient", "Quiet", 1);
  SetStandInDword("SuiteComponents", "Quiet", 1);
  zarvek::g_hInstance = ::GetModuleHandleA(nullptr);
  zarvek::g_hWnd = nullptr;
  zarvek::g_trayMenu.Reset();
  zarvek::g_bMenuShowing = FALSE;
  zarvek::IdleFlag = TRUE;
  zarvek::SilentFlag = FALSE;
  zarvek::ProfileIdList.clear();
  zarvek::StatusMap.clear();
}

void CAgentTest::TearDown() {
  zarvek::g_trayMenu.Reset();
  ::CoUninitialize();
}

}  // namespace agenttest
