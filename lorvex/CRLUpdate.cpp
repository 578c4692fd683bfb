#include "CRLUpdate.h"

#include <utility>

#include "Base64.h"
#include "Trace.h"

namespace lorvex {

namespace {

constexpr DWORD kCertificateEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DISPID kDispidExportCertificate = 16;
constexpr long kExportAsBase64 = 0;

// Result of a failed base64 conversion of the caller's certificate.
HRESULT Base64FailureResult() { return static_cast<HRESULT>(::GetLastError() | 0x800B0000u); }

// Result of a failed update: the cause the failing step left. A step that
// failed without leaving one must still not read as success.
HRESULT AbortResult() {
  const DWORD cause = ::GetLastError();
  return cause == 0 ? E_FAIL : static_cast<HRESULT>(cause);
}

// Asks a certificate automation object for its DER encoding in base64.
HRESULT ExportCertificate(IDispatch* certificate, qcom::CBstr& text) {
  VARIANT argument;
  ::VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = kExportAsBase64;
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  VARIANT result;
  ::VariantInit(&result);
  HRESULT hr = certificate->Invoke(kDispidExportCertificate, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   &params, &result, nullptr, nullptr);
  if (SUCCEEDED(hr) && result.vt != VT_BSTR) hr = DISP_E_TYPEMISMATCH;
  if (SUCCEEDED(hr)) text.Attach(std::exchange(result.bstrVal, nullptr));
  ::VariantClear(&result);
  return hr;
}

}  // namespace

CCRLUpdate::CCRLUpdate(IUnknown* outer, ICrlStoreAccess& stores) : CUnknownBase(outer), m_Stores(stores) {}

CCRLUpdate::~CCRLUpdate() {
  Cleanup();
  // A store that CloseStores left behind after an earlier close failed.
  CloseStores();
}

HRESULT CCRLUpdate::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_ICRLUpdate) || IsEqualIID(iid, IID_IDispatch)) {
    *ppv = static_cast<ICRLUpdate*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

void CCRLUpdate::ReleaseScratch() {
  m_scratch.clear();
  m_scratch.shrink_to_fit();
}

void CCRLUpdate::Cleanup() {
  ReleaseScratch();
  m_pCertificate.Reset();
  m_pIssuerCertificate.Reset();
  m_pNewCRL.Reset();
  m_pOldCRL.Reset();
  m_hTargetStore = nullptr;
  CloseStores();
}

STDMETHODIMP CCRLUpdate::Update_BINARY(unsigned char* pCertificate, long Size, VARIANT_BOOL* pResult) {
  if (!pResult) return E_POINTER;
  TraceMessage("CRLUPDATE! Update : trying to update via BINARY");
  *pResult = VARIANT_FALSE;
  if (Size < 0 || (!pCertificate && Size != 0)) return E_INVALIDARG;
  Cleanup();
  const HRESULT hr = qcom::ComBoundary(
      [&] { return RunUpdate(pCertificate, static_cast<DWORD>(Size)) ? S_OK : AbortResult(); });
  Cleanup();
  *pResult = hr == S_OK ? VARIANT_TRUE : VARIANT_FALSE;
  return hr;
}

bool CCRLUpdate::RunUpdate(const BYTE* certificate, DWORD size) {
  TraceMessage("CRLUPDATE! Update_BINARY : cert converted to binary");
  m_pCertificate.Reset(::CertCreateCertificateContext(kCertificateEncoding, certificate, size));
  if (!m_pCertificate) return false;
  TraceMessage("CRLUPDATE! Update_BINARY : cert context created");
  if (!OpenStores()) return false;
  TraceMessage("CRLUPDATE! Update_BINARY : stores opened");
  if (!GetIssuerCertificate()) return false;
  TraceMessage("CRLUPDATE! Update_BINARY : issuer certificate retrived");
  if (!IsUpdateRequired()) return true;
  TraceMessage("CRLUPDATE! Update_BINARY : going to update...");
  if (!UpdateCRL()) {
    TraceMessage("CRLUPDATE! Update_BINARY : update FAILED");
    return false;
  }
  TraceMessage("CRLUPDATE! Update_BINARY : update SUCCEEDED");
  return true;
}

STDMETHODIMP CCRLUpdate::Update_BASE64(BSTR Certificate, VARIANT_BOOL* pResult) {
  if (!pResult) return E_POINTER;
  TraceMessage("CRLUPDATE! Update_BASE64 : trying to update via BASE64");
  *pResult = VARIANT_FALSE;
  return qcom::ComBoundary([&] {
    const std::string text = qcom::BstrToAnsi(Certificate);
    std::vector<BYTE> der;
    if (!DecodeBase64Text(text.data(), static_cast<DWORD>(text.size()), der)) return Base64FailureResult();
    TraceMessage("CRLUPDATE! Update_BASE64 : cert converted to binary");
    return Update_BINARY(der.data(), static_cast<long>(der.size()), pResult);
  });
}

STDMETHODIMP CCRLUpdate::Update(IDispatch* Certificate, VARIANT_BOOL* pResult) {
  if (!pResult) return E_POINTER;
  TraceMessage("CRLUPDATE! Update : trying to update via LPDISPTACH");
  *pResult = VARIANT_FALSE;
  if (!Certificate) return E_POINTER;
  return qcom::ComBoundary([&] {
    qcom::CBstr exported;
    HRESULT hr = ExportCertificate(Certificate, exported);
    if (FAILED(hr)) return hr;
    const std::string text = qcom::BstrToAnsi(exported.Get());
    TraceMessage("CRLUPDATE! Update : cert exported to base64");
    std::vector<BYTE> der;
    if (!DecodeBase64Text(text.data(), static_cast<DWORD>(text.size()), der)) return Base64FailureResult();
    TraceMessage("CRLUPDATE! Update : cert converted to binary");
    return Update_BINARY(der.data(), static_cast<long>(der.size()), pResult);
  });
}

STDMETHODIMP CCRLUpdate::get_UpdateInterval(long* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_nUpdateInterval;
  return S_OK;
}

STDMETHODIMP CCRLUpdate::put_UpdateInterval(long newVal) {
  m_nUpdateInterval = newVal;
  return S_OK;
}

STDMETHODIMP CCRLUpdate::get_StoreLocation(SYSTEM_STORE_LOCATION* pVal) {
  if (!pVal) return E_POINTER;
  switch (m_dwStoreLocation) {
    case CERT_SYSTEM_STORE_CURRENT_USER: *pVal = SYSTEM_STORE_CURRENT_USER; return S_OK;
    case CERT_SYSTEM_STORE_LOCAL_MACHINE: *pVal = SYSTEM_STORE_LOCAL_MACHINE; return S_OK;
    default: return E_UNEXPECTED;
  }
}

STDMETHODIMP CCRLUpdate::put_StoreLocation(SYSTEM_STORE_LOCATION newVal) {
  switch (newVal) {
    case SYSTEM_STORE_CURRENT_USER: m_dwStoreLocation = CERT_SYSTEM_STORE_CURRENT_USER; return S_OK;
    case SYSTEM_STORE_LOCAL_MACHINE: m_dwStoreLocation = CERT_SYSTEM_STORE_LOCAL_MACHINE; return S_OK;
    default: return E_INVALIDARG;
  }
}

}  // namespace lorvex
