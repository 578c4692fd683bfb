// The class table of an in-process server and the four module entry points
// built on it: class objects, self-registration and unregistration.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ComObject.h"

namespace qcom {

// One creatable class and its registry entries under HKEY_CLASSES_ROOT.
struct CClassEntry {
  const CLSID* clsid;
  CreateInstanceFunction create;
  const char* description;               // default value of every key
  const char* progId;                    // version-dependent, "Lib.Class.1"
  const char* versionIndependentProgId;  // "Lib.Class"
  const char* threadingModel;            // "Apartment", "Both"
};

struct CModuleDescription {
  const CClassEntry* classes;
  size_t classCount;
  const GUID* libid;  // null for a server without a type library
};

HRESULT GetClassObject(const CModuleDescription& module, REFCLSID clsid, REFIID iid, void** ppv);

// Writes the ProgID keys, the class key with "ProgID",
// "VersionIndependentProgID", "Programmable", "InprocServer32" (module path and
// threading model) and "TypeLib" of every class, then registers the embedded
// type library.
HRESULT RegisterServer(const CModuleDescription& module);

// Removes what RegisterServer wrote; the "CLSID" key itself stays.
HRESULT UnregisterServer(const CModuleDescription& module);

// DllCanUnloadNow's answer.
inline HRESULT CanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

}  // namespace qcom

// Defines the four exported entry points of an in-process server over its
// module description.
#define QCOM_MODULE_ENTRY_POINTS(module)                                                                 \
  STDAPI DllCanUnloadNow() { return ::qcom::CanUnloadNow(); }                                            \
  STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {                                     \
    return ::qcom::ComBoundary([&] { return ::qcom::GetClassObject(module, clsid, iid, ppv); });          \
  }                                                                                                      \
  STDAPI DllRegisterServer() {                                                                           \
    return ::qcom::ComBoundary([] { return ::qcom::RegisterServer(module); });                           \
  }                                                                                                      \
  STDAPI DllUnregisterServer() {                                                                         \
    return ::qcom::ComBoundary([] { return ::qcom::UnregisterServer(module); });                         \
  }

// DllMain of a server with no start or end work of its own.
#define QCOM_PLAIN_DLLMAIN()                                                   \
  extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {   \
    if (reason == DLL_PROCESS_ATTACH) {                                        \
      ::qcom::SetModuleInstance(instance);                                     \
      ::DisableThreadLibraryCalls(instance);                                   \
    }                                                                          \
    return TRUE;                                                               \
  }
