// Entry points of the stand-in JET provider: the OLE DB data source under
// the JET 4.0 ProgID, and the ADOX catalog that creates database files.
#include "Catalog.h"
#include "Com/ComModule.h"
#include "DataSource.h"

namespace {

// The objects take no locks of their own, so COM keeps each in its apartment.
const qcom::CClassEntry kClasses[] = {
    {&jet::CLSID_JetStandIn, &qcom::CreateComObject<jet::CDataSource>, "Microsoft Jet 4.0 OLE DB Provider",
     "Microsoft.JET.OLEDB.4.0", "Microsoft.JET.OLEDB", "Apartment"},
    {&jet::CLSID_AdoxCatalog, &qcom::CreateComObject<jet::CCatalog>, "ADOX.Catalog", "ADOX.Catalog.2.8",
     "ADOX.Catalog", "Apartment"},
};

const qcom::CModuleDescription kModule = {kClasses, sizeof(kClasses) / sizeof(kClasses[0]), nullptr};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    qcom::SetModuleInstance(instance);
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) { return qcom::GetClassObject(kModule, clsid, iid, ppv); }
STDAPI DllCanUnloadNow() { return qcom::CanUnloadNow(); }
STDAPI DllRegisterServer() { return qcom::RegisterServer(kModule); }
STDAPI DllUnregisterServer() { return qcom::UnregisterServer(kModule); }
