// lorvex module: the class table and the four exported entry points.
#include <windows.h>

#include "CRLUpdate.h"
#include "Com/ComModule.h"

namespace {

HRESULT CreateCRLUpdate(IUnknown* outer, REFIID iid, void** ppv) {
  return qcom::CreateComObject<lorvex::CCRLUpdate>(outer, iid, ppv, lorvex::Crypt32StoreAccess());
}

const qcom::CClassEntry kClasses[] = {
    {&CLSID_CRLUpdate, &CreateCRLUpdate, "CRLUpdate Class", "Lorvex.CRLUpdate.1",
     "Lorvex.CRLUpdate", "Both"},
};

const qcom::CModuleDescription kModule = {kClasses, sizeof(kClasses) / sizeof(kClasses[0]), &LIBID_LORVEXLib};

}  // namespace

QCOM_PLAIN_DLLMAIN()

QCOM_MODULE_ENTRY_POINTS(kModule)
