// Stands in for the user's mail program. Registered as the command of
// HKCR "mailto\shell\open\command", it appends the address it receives as its
// command line to the "Calls" value of "Software\QARN Stand-ins\MailtoRecorder".
#include <windows.h>

#include "StandInRegistry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  standin::AppendCallRecord("MailtoRecorder", commandLine ? commandLine : "");
  return 0;
}
