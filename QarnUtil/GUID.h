// The GUID object: fresh GUIDs as 32 upper-case hexadecimal digits.
#pragma once

#include "Com/ComObject.h"
#include "QarnUtil_h.h"

namespace qarnutil {

class C__GUID : public qcom::CUnknownBase, public qcom::CDispatchImpl<IGUID, &IID_IGUID> {
 public:
  explicit C__GUID(IUnknown* outer) : CUnknownBase(outer) {}
  QCOM_DELEGATING_IUNKNOWN

  STDMETHODIMP get_GenGUID(BSTR* pbstrGUID) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  HRESULT GenerateGuid(BSTR* pbstrGUID);
};

}  // namespace qarnutil
