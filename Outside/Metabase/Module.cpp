// Entry points of the stand-in metabase: the IIS Admin Base Object under its
// published class id. The GUIDs of iadmw.h are defined here, as no library
// of the toolchain carries them.
#include <windows.h>
#include <initguid.h>
#include <iadmw.h>

#include "AdminBase.h"
#include "Com/ComModule.h"

namespace {

// Each call locks the metabase file itself, so the object may be called from
// any apartment.
const qcom::CClassEntry kClasses[] = {
    {&CLSID_MSAdminBase_W, &qcom::CreateComObject<metabase::CAdminBase>, "IIS Admin Base Object stand-in",
     "QarnStandIn.MSAdminBase.1", "QarnStandIn.MSAdminBase", "Both"},
};

const qcom::CModuleDescription kModule = {kClasses, sizeof(kClasses) / sizeof(kClasses[0]), nullptr};

}  // namespace

QCOM_PLAIN_DLLMAIN()

QCOM_MODULE_ENTRY_POINTS(kModule)
