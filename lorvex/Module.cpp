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

QCOM_PLAIN_DLLMAIN()

QCOM_MODULE_ENTRY_POINTS(kModule)
