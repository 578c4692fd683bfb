// lorvex module: the class table and the four exported entry points.
#include <windows.h>

#include "CRLUpdate.h"
#include "Com/ComModule.h"

namespace {

const qcom::CClassEntry kClasses[] = {
    {&CLSID_CRLUpdate, &qcom::CreateComObject<lorvex::CCRLUpdate>, "CRLUpdate Class", "Lorvex.CRLUpdate.1",
     "Lorvex.CRLUpdate", "Both"},
};

const qcom::CModuleDescription kModule = {kClasses, sizeof(kClasses) / sizeof(kClasses[0]), &LIBID_LORVEXLib};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qcom::SetModuleInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return qcom::CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  return qcom::GetClassObject(kModule, clsid, iid, ppv);
}

STDAPI DllRegisterServer() { return qcom::RegisterServer(kModule); }

STDAPI DllUnregisterServer() { return qcom::UnregisterServer(kModule); }
