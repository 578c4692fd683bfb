// Start-up, the hidden window of class "TRAYAPPLICATION", the tray icon, the
// tray callback with its exception guard, and the end of the process.
#pragma once

#include <windows.h>

namespace zarvek {

// Start-up up to the message loop: strings, window class, the hidden window
// (which adds the tray icon while it is created) and COM. FALSE when the
// window cannot be created.
BOOL StartAgent(HINSTANCE instance);

// The message loop; the wParam of the last message.
int RunMessageLoop();

LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Mode 1 adds the tray icon (once), mode 0 deletes it.
constexpr int kTrayIconDelete = 0;
constexpr int kTrayIconAdd = 1;
void TrayIcon(int mode);

// Opens the tray menu on the right button going down and runs its command.
void OnTrayNotify(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// Deletes the tray icon and ends the process with exit code 0.
void Terminate();

}  // namespace zarvek
