// Entry points of QarnUtil.dll: start and end work, class objects and
// self-registration.
#include "Module.h"

#include <windows.h>

#include "Com/ComModule.h"
#include "GUID.h"
#include "Installer.h"
#include "QarnUtil_h.h"
#include "logging.h"

namespace qarnutil {

namespace {

bool g_bNtAbove4 = false;

const qcom::CClassEntry kClassTable[] = {
    {&CLSID___GUID, &qcom::CreateComObject<C__GUID>, "__GUID Class", "QarnUtil.GUID.1", "QarnUtil.GUID",
     "Apartment"},
    {&CLSID_Installer, &qcom::CreateComObject<CInstaller>, "Installer Class", "QarnUtil.Installer.1",
     "QarnUtil.Installer", "Apartment"},
};

const qcom::CModuleDescription kModule = {kClassTable, sizeof(kClassTable) / sizeof(kClassTable[0]),
                                          &LIBID_QARNUTILLib};

void RecordPlatform() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);  // the 148-byte ANSI record
  if (::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      version.dwMajorVersion > 4) {
    g_bNtAbove4 = true;
  }
}

}  // namespace

bool IsNtAbove4() { return g_bNtAbove4; }

}  // namespace qarnutil

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  qlog::EnsureLoggingConfigured();
  QTRACE_FUNCTION("DllMain");
  if (reason == DLL_PROCESS_ATTACH) {
    QLOG_MESSAGE(INFO, "DLL_PROCESS_ATTACH");
    qarnutil::RecordPlatform();
    qcom::SetModuleInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    QLOG_MESSAGE(INFO, "DLL_PROCESS_DETACH");
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return qcom::CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  return qcom::GetClassObject(qarnutil::kModule, clsid, iid, ppv);
}

STDAPI DllRegisterServer() { return qcom::RegisterServer(qarnutil::kModule); }

STDAPI DllUnregisterServer() { return qcom::UnregisterServer(qarnutil::kModule); }
