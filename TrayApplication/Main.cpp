// zarvek_agent: the suite's tray program. It takes no arguments.
#include <windows.h>

#include "TrayApplication.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!zarvek::StartAgent(instance)) return 0;
  return zarvek::RunMessageLoop();
}
