// Support for the agent's in-process tests: the shell calls answered by the
// test, the registry prepared and read, the stand-ins' records, and menus read
// back through their handles.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AgentState.h"

// A 32-bit build links its DWARF unwinder statically into every module, so a
// C++ exception cannot cross from the stand-in DLL into the agent there (a
// real client library built by another compiler would not share C++
// exceptions with the agent at all). The 64-bit build unwinds through SEH and
// carries it across.
#define QARN_SKIP_WHERE_EXCEPTIONS_CANNOT_CROSS_MODULES() \
  if (sizeof(void*) == 4) GTEST_SKIP() << "C++ exceptions do not cross DLLs in the 32-bit build"

namespace agenttest {

// Text in the ANSI code page (1251 under the Russian locale) from UTF-8 source.
std::string Ansi(const char* utf8);

struct CMessageBoxCall {
  HWND m_hOwner;
  std::string m_strText;
  std::string m_strCaption;
  UINT m_nType;
};

struct CFileDialogCall {
  DWORD m_nStructSize;
  HWND m_hOwner;
  std::string m_strTitle;
  std::string m_strFilterList;  // up to and including the double NUL
  DWORD m_nFilterIndex;
  DWORD m_nMaxFile;
  DWORD m_nFlags;
  bool m_bFileBufferEmpty;
};

struct CNotifyIconCall {
  DWORD m_nMessage;
  NOTIFYICONDATAA m_data;
};

struct CShellExecuteCall {
  HWND m_hOwner;
  std::string m_strVerb;
  std::string m_strFile;
  bool m_bHasParameters;
  bool m_bHasDirectory;
  INT m_nShow;
};

// Replaces the agent's shell calls for its lifetime and records them.
class CFakeShell {
 public:
  CFakeShell();
  ~CFakeShell();
  CFakeShell(const CFakeShell&) = delete;
  CFakeShell& operator=(const CFakeShell&) = delete;

  // Answers of the open-file dialog, in order; "" cancels. When none is left
  // the dialog is cancelled.
  std::vector<std::string> m_fileAnswers;
  // Command returned by TrackPopupMenu.
  UINT m_nMenuAnswer = 0;
  // Results of Shell_NotifyIconA(NIM_ADD), in order; TRUE when none is left.
  std::vector<BOOL> m_addAnswers;
  // Run inside the open-file dialog and the popup menu, before they answer.
  std::function<void()> m_onFileDialog;
  std::function<void()> m_onTrackPopupMenu;

  std::vector<CMessageBoxCall> m_messageBoxes;
  std::vector<CFileDialogCall> m_fileDialogs;
  std::vector<UINT> m_trackFlags;
  std::vector<HWND> m_trackOwners;
  std::vector<CNotifyIconCall> m_notifyIcons;
  std::vector<CShellExecuteCall> m_shellExecutes;
  std::vector<int> m_exitCodes;

  size_t CountNotify(DWORD message) const;

 private:
  static int WINAPI MessageBox(HWND, LPCSTR, LPCSTR, UINT);
  static BOOL WINAPI GetOpenFileName(LPOPENFILENAMEA);
  static BOOL WINAPI TrackPopupMenu(HMENU, UINT, int, int, int, HWND, const RECT*);
  static HINSTANCE WINAPI ShellExecute(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
  static BOOL WINAPI ShellNotifyIcon(DWORD, PNOTIFYICONDATAA);
  static void EndProcess(int);

  static CFakeShell* s_current;
};

// --- registry ---------------------------------------------------------------------

void DeleteUserKey(const std::string& path);
void SetDword(const std::string& path, const char* name, DWORD value);
void SetString(const std::string& path, const char* name, const std::string& text);
void SetRawValue(const std::string& path, const char* name, DWORD type, const void* data, DWORD size);
bool ReadDword(const std::string& path, const char* name, DWORD& value);
bool ReadString(const std::string& path, const char* name, std::string& text);
bool UserKeyExists(const std::string& path);

// Profile subkey "id" of the profile store with its "ProfileName".
void AddProfile(const std::string& id, const std::string& name);

// --- stand-ins --------------------------------------------------------------------

std::vector<std::string> CallRecords(const char* component);
void SetStandInDword(const char* component, const char* name, DWORD value);
void SetStandInString(const char* component, const char* name, const std::string& text);

// --- menus ------------------------------------------------------------------------

struct CMenuItemView {
  UINT m_nId;
  UINT m_nType;
  UINT m_nState;
  std::string m_strCaption;
  HMENU m_hSubMenu;
};

std::vector<CMenuItemView> ReadMenu(HMENU menu);

// Every test starts from a clean agent: no settings, no stand-in records,
// fresh process-wide state, the agent's resources from this program, the
// stand-ins quiet, and COM initialised.
class CAgentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CFakeShell m_shell;
};

}  // namespace agenttest
