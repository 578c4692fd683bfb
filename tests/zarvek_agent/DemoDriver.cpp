// Drives a running agent for the demo, one step per call:
//   zarvek_agent_demo_driver menu        opens the tray menu
//   zarvek_agent_demo_driver operations  moves to "Операции" and opens it
//   zarvek_agent_demo_driver escape      closes the open menus
//   zarvek_agent_demo_driver close       ends the agent
// Exit code 0 when the step's window appeared.
#include <cstring>

#include "AgentDriver.h"

using namespace agentdriver;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HWND agent = WaitForWindow(0, "TRAYAPPLICATION");
  if (!agent) return 1;
  const char* step = argv[1];
  if (std::strcmp(step, "menu") == 0) {
    ::PostMessageA(agent, kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    return WaitForWindow(0, "#32768") ? 0 : 1;
  }
  HWND menu = WaitForWindow(0, "#32768", 2000);
  if (std::strcmp(step, "operations") == 0 && menu) {
    for (int i = 0; i < 6; ++i) PressKey(menu, VK_DOWN);
    PressKey(menu, VK_RIGHT);
    return 0;
  }
  if (std::strcmp(step, "escape") == 0) {
    if (menu) {
      PressKey(menu, VK_ESCAPE);
      PressKey(menu, VK_ESCAPE);
    }
    return 0;
  }
  if (std::strcmp(step, "close") == 0) {
    ::PostMessageA(agent, WM_CLOSE, 0, 0);
    return 0;
  }
  return 2;
}
