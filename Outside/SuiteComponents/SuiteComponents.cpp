// Stand-ins for the suite's management components.
//
// Settings (HKCU "Software\QARN Stand-ins\SuiteComponents"):
//   "FailMethod"      REG_SZ  "<class>.<method>" that fails, e.g. "ProfileManager.Initialize"
//   "FailCode"        DWORD   its HRESULT (default E_FAIL)
//   "FailDescription" REG_SZ  the description it leaves through IErrorInfo
//   "StoreResult"     DWORD   result of CertStoreView.Show instead of the real store's answer
//   "Quiet"           DWORD   non-zero: show no windows
//   "RefuseCreate"    REG_SZ  "<class>" whose objects cannot be created
// Records in "Calls", one line per call: "<class>.<method>(<arguments>)", and
// "<class> released" when an object goes away.
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "Com/ComModule.h"
#include "Com/ComObject.h"
#include "StandInRegistry.h"
#include "SuiteComponents_h.h"

namespace {

const char kComponent[] = "SuiteComponents";

void ShowToPerson(const std::string& text, const char* caption) {
  if (!standin::IsQuiet(kComponent)) {
    ::MessageBoxA(::GetActiveWindow(), text.c_str(), caption, MB_OK | MB_ICONINFORMATION);
  }
}

// Base of the four stand-in classes: IUnknown, IDispatch from the type
// library, ISupportErrorInfo, the call record and the configured failure.
template <class Itf, const IID* Iid, const CLSID* Clsid, const char* Name>
class CStandInObject : public qcom::CUnknownBase, public qcom::CDispatchImpl<Itf, Iid>, public ISupportErrorInfo {
 public:
  static constexpr const char* kName = Name;
  explicit CStandInObject(IUnknown* outer) : CUnknownBase(outer), m_name(Name) {}
  ~CStandInObject() override { standin::AppendCallRecord(kComponent, m_name + " released"); }

  QCOM_DELEGATING_IUNKNOWN

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, *Iid) ? S_OK : S_FALSE;
  }

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override {
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, *Iid)) {
      *ppv = static_cast<Itf*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else {
      return E_NOINTERFACE;
    }
    return S_OK;
  }

  // Records the call; returns the configured failure for this method, else S_OK.
  HRESULT Enter(const char* method, const std::string& arguments) {
    const std::string qualified = m_name + "." + method;
    standin::AppendCallRecord(kComponent, qualified + "(" + arguments + ")");
    if (standin::ReadStringSetting(kComponent, "FailMethod") != qualified) return S_OK;
    const HRESULT failure = static_cast<HRESULT>(standin::ReadDwordSetting(kComponent, "FailCode", E_FAIL));
    const std::wstring description = qcom::AnsiToWide(standin::ReadStringSetting(kComponent, "FailDescription"));
    return qcom::ReportComError(*Clsid, *Iid, description.c_str(), failure);
  }

  // A method whose whole work is a window for a person.
  HRESULT EnterAndShow(const char* method, const std::string& arguments, const std::string& text,
                       const char* caption) {
    HRESULT hr = Enter(method, arguments);
    if (SUCCEEDED(hr)) ShowToPerson(text, caption);
    return hr;
  }

  std::string m_name;
};

long CountCertificates(const std::string& storeName) {
  HCERTSTORE store = ::CertOpenSystemStoreA(0, storeName.c_str());
  if (!store) return 0;
  long count = 0;
  for (PCCERT_CONTEXT cert = nullptr; (cert = ::CertEnumCertificatesInStore(store, cert)) != nullptr;) ++count;
  ::CertCloseStore(store, 0);
  return count;
}

extern const char kCertViewerName[] = "CertViewer";
class CCertViewer
    : public CStandInObject<ICertViewer, &IID_ICertViewer, &CLSID_CertViewer, kCertViewerName> {
 public:
  using CStandInObject::CStandInObject;

  STDMETHODIMP ShowCertificates(BSTR storeName, long count) override {
    const std::string name = qcom::BstrToAnsi(storeName);
    return EnterAndShow("ShowCertificates", name, "Store " + name + ": " + std::to_string(count) + " certificate(s)",
                        "Certificate viewer");
  }
};

extern const char kCertStoreViewName[] = "CertStoreView";
class CCertStoreView
    : public CStandInObject<ICertStoreView, &IID_ICertStoreView, &CLSID_CertStoreView, kCertStoreViewName> {
 public:
  using CStandInObject::CStandInObject;

  STDMETHODIMP Open(long flags, BSTR storeName) override {
    const std::string name = qcom::BstrToAnsi(storeName);
    HRESULT hr = Enter("Open", std::to_string(flags) + "," + name);
    if (FAILED(hr)) return hr;
    if (name.empty()) {
      return qcom::ReportComError(CLSID_CertStoreView, IID_ICertStoreView, L"No store name", E_INVALIDARG);
    }
    m_strStore = name;
    m_nCount = CountCertificates(name);
    return S_OK;
  }
  STDMETHODIMP get_StoreName(BSTR* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    HRESULT hr = Enter("StoreName", "");
    if (SUCCEEDED(hr)) *pVal = qcom::CBstr::FromAnsi(m_strStore).Detach();
    return hr;
  }
  STDMETHODIMP get_Count(long* pVal) override {
    if (!pVal) return E_POINTER;
    *pVal = m_nCount;
    return Enter("Count", "");
  }
  STDMETHODIMP Show(ICertViewer** ppViewer) override {
    const bool hasViewer = ppViewer && *ppViewer;
    HRESULT hr = Enter("Show", hasViewer ? "viewer" : "no viewer");
    if (FAILED(hr)) return hr;
    const DWORD empty = m_nCount == 0 ? S_FALSE : S_OK;
    hr = static_cast<HRESULT>(standin::ReadDwordSetting(kComponent, "StoreResult", empty));
    if (hr == S_OK && hasViewer) {
      (*ppViewer)->ShowCertificates(qcom::CBstr::FromAnsi(m_strStore).Get(), m_nCount);
    }
    return hr;
  }

 private:
  std::string m_strStore;
  long m_nCount = 0;
};

std::string ProviderNames() {
  std::string names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD type = 0, size = sizeof(name);
    if (!::CryptEnumProvidersA(index, nullptr, 0, &type, name, &size)) break;
    names += std::string(name) + "\n";
  }
  return names;
}

extern const char kCryptoProviderListName[] = "CryptoProviderList";
class CCryptoProviderList
    : public CStandInObject<ICryptoProviderList, &IID_ICryptoProviderList, &CLSID_CryptoProviderList, kCryptoProviderListName> {
 public:
  using CStandInObject::CStandInObject;

  STDMETHODIMP Show() override {
    return EnterAndShow("Show", "", ProviderNames(), "Cryptographic providers");
  }
};

extern const char kProfileManagerName[] = "ProfileManager";
class CProfileManager
    : public CStandInObject<IProfileManager, &IID_IProfileManager, &CLSID_ProfileManager, kProfileManagerName> {
 public:
  using CStandInObject::CStandInObject;

  STDMETHODIMP Show() override {
    return EnterAndShow("Show", "", "Profiles are kept under HKCU\\Software\\QARN Vesmoro\\Pelwyn\\ProfileStore",
                        "Profile manager");
  }
  STDMETHODIMP Initialize(long flags, long reserved) override {
    return Enter("Initialize", std::to_string(flags) + "," + std::to_string(reserved));
  }
};

// Creates an object of class T unless the settings refuse it, as for a
// component that is installed but cannot start.
template <class T>
HRESULT CreateUnlessRefused(IUnknown* outer, REFIID iid, void** ppv) {
  if (ppv) *ppv = nullptr;
  if (standin::ReadStringSetting(kComponent, "RefuseCreate") == T::kName) return CO_E_SERVER_EXEC_FAILURE;
  return qcom::CreateComObject<T>(outer, iid, ppv);
}

const qcom::CClassEntry kClassTable[] = {
    {&CLSID_CertViewer, &CreateUnlessRefused<CCertViewer>, "Certificate viewer (stand-in)",
     "SuiteComponents.CertViewer.1", "SuiteComponents.CertViewer", "Apartment"},
    {&CLSID_CertStoreView, &CreateUnlessRefused<CCertStoreView>, "Certificate store (stand-in)",
     "SuiteComponents.CertStoreView.1", "SuiteComponents.CertStoreView", "Apartment"},
    {&CLSID_CryptoProviderList, &CreateUnlessRefused<CCryptoProviderList>, "Provider list (stand-in)",
     "SuiteComponents.CryptoProviderList.1", "SuiteComponents.CryptoProviderList", "Apartment"},
    {&CLSID_ProfileManager, &CreateUnlessRefused<CProfileManager>, "Profile manager (stand-in)",
     "SuiteComponents.ProfileManager.1", "SuiteComponents.ProfileManager", "Apartment"},
};

const qcom::CModuleDescription kModule = {kClassTable, sizeof(kClassTable) / sizeof(kClassTable[0]),
                                          &LIBID_SUITECOMPONENTSLib};

}  // namespace

QCOM_PLAIN_DLLMAIN()

QCOM_MODULE_ENTRY_POINTS(kModule)
