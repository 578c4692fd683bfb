// Right clicks on the tray icon over and over, each menu shown by the real
// TrackPopupMenu and dismissed with Escape: the agent's GDI and USER objects
// stay flat.
#include "AgentTestSupport.h"
#include "ProcessCounters.h"
#include "TrayApplication.h"
#include "TrayMenu.h"

namespace agenttest {
namespace {

using namespace zarvek;

constexpr int kClicks = 1000;

TEST_F(CAgentTest, MenuBuildsAndDismissalsLeaveGuiObjectsFlat) {
  ASSERT_TRUE(StartAgent(::GetModuleHandleA(nullptr)));
  ASSERT_NE(nullptr, g_hWnd);
  AddProfile("alpha", "Alpha");
  AddProfile("beta", "Beta");
  int shown = 0;
  m_shell.m_onTrackPopupMenu = [&shown] {
    // The menu's own loop reads the key and closes the menu.
    ::PostMessageA(g_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ::TrackPopupMenu(g_trayMenu.Get(), TPM_RETURNCMD, 10, 10, 0, g_hWnd, nullptr);
    ++shown;
  };
  qtest::ExpectFlatUnderLoad("tray menu", 20, kClicks,
                             [] { ::SendMessageA(g_hWnd, WM_TRAYNOTIFY, kTrayIconId, WM_RBUTTONDOWN); }, true);
  EXPECT_EQ(kClicks + 20, shown);
  ::DestroyWindow(g_hWnd);
  g_hWnd = nullptr;
}

}  // namespace
}  // namespace agenttest
