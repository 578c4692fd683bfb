#include "GUID.h"

#include <cstdio>
#include <cstdlib>

#include "logging.h"

namespace qarnutil {

namespace {

const char kGuidFormat[] = "%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X";
const size_t kGuidTextSize = 33;  // 32 digits and the terminating zero

}  // namespace

HRESULT C__GUID::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IGUID) || IsEqualIID(iid, IID_IDispatch)) {
    *ppv = static_cast<IGUID*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP C__GUID::get_GenGUID(BSTR* pbstrGUID) {
  // The trace and the text conversion allocate.
  return qcom::ComBoundary([&] { return GenerateGuid(pbstrGUID); });
}

HRESULT C__GUID::GenerateGuid(BSTR* pbstrGUID) {
  QTRACE_FUNCTION("C__GUID::get_GenGUID");
  if (!pbstrGUID) return E_POINTER;
  *pbstrGUID = nullptr;

  GUID guid;
  HRESULT hr = ::CoCreateGuid(&guid);
  if (FAILED(hr)) {
    QLOG_VALUE(ERROR, "CoCreateGuid", "hr", hr);
    return hr;
  }

  char* text = static_cast<char*>(std::malloc(kGuidTextSize));
  if (!text) return S_OK;  // the caller gets a null string
  std::snprintf(text, kGuidTextSize, kGuidFormat, static_cast<unsigned int>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6],
                guid.Data4[7]);
  *pbstrGUID = qcom::CBstr::FromAnsi(text).Detach();
  std::free(text);
  return S_OK;
}

}  // namespace qarnutil
