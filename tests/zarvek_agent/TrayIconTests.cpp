// Start-up, the tray icon, the tray callback with its exception guard, and the
// two ways the agent ends; with the real hidden window.
#include <cstdlib>
#include <stdexcept>

#include "AgentTestSupport.h"
#include "CertificateTools.h"
#include "CommandTable.h"
#include "Resource.h"
#include "TrayApplication.h"
#include "TrayMenu.h"
#include "Win32/Handles.h"

namespace agenttest {
namespace {

using namespace zarvek;

OSVERSIONINFOA WindowsVersion() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  ::GetVersionExA(&version);
  return version;
}

class TrayIconTest : public CAgentTest {
 protected:
  void StartWindow() {
    ASSERT_TRUE(StartAgent(::GetModuleHandleA(nullptr)));
    ASSERT_NE(nullptr, g_hWnd);
  }
  void TearDown() override {
    if (g_hWnd && ::IsWindow(g_hWnd)) ::DestroyWindow(g_hWnd);
    g_hWnd = nullptr;
    CAgentTest::TearDown();
  }
  void RightClick(LPARAM event = WM_RBUTTONDOWN, WPARAM id = kTrayIconId) {
    ::SendMessageA(g_hWnd, WM_TRAYNOTIFY, id, event);
  }
  HICON Icon(UINT id) { return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)); }
  void ExpectTerminated() {
    EXPECT_EQ((std::vector<int>{0}), m_shell.m_exitCodes);
    ASSERT_EQ(1u, m_shell.CountNotify(NIM_DELETE));
    EXPECT_EQ(kTrayIconId, m_shell.m_notifyIcons.back().m_data.uID);
  }
};

TEST_F(TrayIconTest, WindowCreationAddsTheIconOnce) {
  StartWindow();
  char name[100] = {};
  ::GetClassNameA(g_hWnd, name, sizeof(name));
  EXPECT_STREQ("TRAYAPPLICATION", name);
  ::GetWindowTextA(g_hWnd, name, sizeof(name));
  EXPECT_STREQ("Zarvek 2.5.0", name);
  EXPECT_FALSE(::IsWindowVisible(g_hWnd));

  ASSERT_EQ(1u, m_shell.CountNotify(NIM_ADD));
  const NOTIFYICONDATAA& data = m_shell.m_notifyIcons[0].m_data;
  EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), data.cbSize);
  EXPECT_EQ(g_hWnd, data.hWnd);
  EXPECT_EQ(175u, data.uID);
  EXPECT_EQ(7u, data.uFlags);
  EXPECT_EQ(1199u, data.uCallbackMessage);
  EXPECT_STREQ("Zarvek 2.5.0", data.szTip);
  const OSVERSIONINFOA version = WindowsVersion();
  const bool small = version.dwMajorVersion == 5 && version.dwMinorVersion != 0;
  EXPECT_EQ(Icon(small ? IDI_TRAY_ICON_SMALL : IDI_TRAY_ICON), data.hIcon);

  ::SendMessageA(g_hWnd, WM_NULL, 0, 0);
  RightClick(WM_MOUSEMOVE);
  EXPECT_EQ(1u, m_shell.CountNotify(NIM_ADD));
}

TEST_F(TrayIconTest, RefusedIconIsAddedAgainOnLaterMessagesUntilAccepted) {
  m_shell.m_addAnswers.assign(1000, FALSE);
  StartWindow();
  const size_t refused = m_shell.CountNotify(NIM_ADD);
  EXPECT_GE(refused, 1u);
  EXPECT_FALSE(g_bIconAdded);
  m_shell.m_addAnswers.clear();
  ::SendMessageA(g_hWnd, WM_NULL, 0, 0);
  ::SendMessageA(g_hWnd, WM_NULL, 0, 0);
  EXPECT_EQ(refused + 1, m_shell.CountNotify(NIM_ADD));
  EXPECT_TRUE(g_bIconAdded);
}

TEST_F(TrayIconTest, OnlyRightButtonDownOnOurIconOpensTheMenu) {
  StartWindow();
  for (LPARAM event : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MOUSEMOVE}) {
    RightClick(event);
  }
  RightClick(WM_RBUTTONDOWN, kTrayIconId + 1);
  EXPECT_TRUE(m_shell.m_trackFlags.empty());

  RightClick();
  ASSERT_EQ(1u, m_shell.m_trackFlags.size());
  EXPECT_EQ(0x128u, m_shell.m_trackFlags[0]);
  EXPECT_EQ(g_hWnd, m_shell.m_trackOwners[0]);
  EXPECT_EQ(13, ::GetMenuItemCount(g_trayMenu.Get()));
  EXPECT_TRUE(m_shell.m_exitCodes.empty());
}

TEST_F(TrayIconTest, EveryRightClickRebuildsTheMenuFromTheRegistry) {
  StartWindow();
  RightClick();
  EXPECT_EQ(static_cast<UINT>(MF_CHECKED), ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND));
  SetDword("Software\\QARN Vesmoro\\Pelwyn", "Silent", 1);
  RightClick();
  EXPECT_EQ(0u, ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND));
  EXPECT_EQ(2u, m_shell.m_trackFlags.size());
}

TEST_F(TrayIconTest, ClickWhileTheMenuIsOpenLeavesThatMenuAlone) {
  StartWindow();
  HMENU shown = nullptr;
  m_shell.m_onTrackPopupMenu = [this, &shown] {
    shown = g_trayMenu.Get();
    RightClick();  // arrives through the menu's own message loop
  };
  RightClick();
  EXPECT_EQ(1u, m_shell.m_trackFlags.size());
  EXPECT_EQ(shown, g_trayMenu.Get());
  EXPECT_TRUE(::IsMenu(shown));
}

TEST_F(TrayIconTest, UnreadableSettingsShowAnEmptyMenu) {
  StartWindow();
  SetString("Software\\QARN Vesmoro\\Pelwyn", "Silent", "1");
  m_shell.m_nMenuAnswer = ID_EXIT;  // nothing can be chosen from an empty menu in reality
  RightClick();
  EXPECT_EQ(0, ::GetMenuItemCount(g_trayMenu.Get()));
  EXPECT_EQ(1u, m_shell.m_messageBoxes.size());
}

TEST_F(TrayIconTest, ExceptionsFromACommandAreShownOrEndTheAgent) {
  StartWindow();
  m_shell.m_nMenuAnswer = ID_CREATE_SIGNATURE;
  m_shell.m_onFileDialog = [] { throw std::runtime_error("disk on fire"); };
  RightClick();
  ASSERT_EQ(1u, m_shell.m_messageBoxes.size());
  EXPECT_EQ("disk on fire", m_shell.m_messageBoxes[0].m_strText);
  EXPECT_EQ("Zarvek 2.5.0", m_shell.m_messageBoxes[0].m_strCaption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), m_shell.m_messageBoxes[0].m_nType);
  EXPECT_EQ(g_hWnd, m_shell.m_messageBoxes[0].m_hOwner);

  m_shell.m_onFileDialog = [] { throw CComError(E_FAIL, "component said no"); };
  RightClick();
  ASSERT_EQ(2u, m_shell.m_messageBoxes.size());
  EXPECT_EQ("component said no", m_shell.m_messageBoxes[1].m_strText);
  EXPECT_TRUE(m_shell.m_exitCodes.empty());

  m_shell.m_onFileDialog = [] { throw 7; };
  RightClick();
  EXPECT_EQ(2u, m_shell.m_messageBoxes.size());
  ExpectTerminated();
}

TEST_F(TrayIconTest, ExceptionFromTheLibraryIsShownWithoutStatusReport) {
  QARN_SKIP_WHERE_EXCEPTIONS_CANNOT_CROSS_MODULES();
  StartWindow();
  SetStandInString("QarnCryptoClient", "Throw", "std");
  m_shell.m_nMenuAnswer = ID_CREATE_SIGNATURE;
  m_shell.m_fileAnswers = {"C:\\a.txt"};
  RightClick();
  ASSERT_EQ(1u, m_shell.m_messageBoxes.size());
  EXPECT_EQ("CreateNewSignature failed in the stand-in", m_shell.m_messageBoxes[0].m_strText);
  EXPECT_EQ((std::map<std::string, bool>{{"C:\\a.txt", false}}), StatusMap);
  EXPECT_EQ(1u, CallRecords("QarnCryptoClient").size());
  EXPECT_TRUE(m_shell.m_exitCodes.empty());
}

TEST_F(TrayIconTest, ExitCommandAndCloseMessageEndTheAgent) {
  StartWindow();
  m_shell.m_nMenuAnswer = ID_EXIT;
  RightClick();
  ExpectTerminated();

  m_shell.m_exitCodes.clear();
  m_shell.m_notifyIcons.clear();
  ::SendMessageA(g_hWnd, WM_CLOSE, 0, 0);
  ExpectTerminated();
}

// Wine reports the Windows version an application's defaults name; the test
// runs itself again as if on Windows XP (5.1) and checks the icon there.
TEST_F(TrayIconTest, WindowsXpShowsTheSmallIcon) {
  const OSVERSIONINFOA version = WindowsVersion();
  if (version.dwMajorVersion == 5 && version.dwMinorVersion == 1) {
    StartWindow();
    ASSERT_EQ(1u, m_shell.CountNotify(NIM_ADD));
    EXPECT_EQ(Icon(IDI_TRAY_ICON_SMALL), m_shell.m_notifyIcons[0].m_data.hIcon);
    return;
  }
  ASSERT_EQ(nullptr, std::getenv("QARN_XP_CHILD")) << "the application defaults did not take effect";
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string exe = std::string(path).substr(std::string(path).find_last_of('\\') + 1);
  const std::string defaults = "Software\\Wine\\AppDefaults\\" + exe;
  SetString(defaults, "Version", "winxp");
  std::string command = "\"" + std::string(path) + "\" --gtest_filter=TrayIconTest.WindowsXpShowsTheSmallIcon";
  ::SetEnvironmentVariableA("QARN_XP_CHILD", "1");
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const BOOL started =
      ::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableA("QARN_XP_CHILD", nullptr);
  DWORD exitCode = 1;
  if (started) {
    qwin::CHandle processHandle(process.hProcess), threadHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &exitCode);
  }
  DeleteUserKey(defaults);
  ASSERT_TRUE(started);
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
}  // namespace agenttest
