#include "ComObject.h"

namespace qcom {

namespace {

LONG g_moduleLocks = 0;
HINSTANCE g_moduleInstance = nullptr;

class CClassFactory : public IClassFactory {
 public:
  explicit CClassFactory(CreateInstanceFunction create) : m_create(create) { LockModule(); }
  virtual ~CClassFactory() { UnlockModule(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
    return ComBoundary([&] { return m_create(outer, iid, ppv); });
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) LockModule(); else UnlockModule();
    return S_OK;
  }

 private:
  CreateInstanceFunction m_create;
  LONG m_refCount = 0;
};

}  // namespace

void LockModule() { InterlockedIncrement(&g_moduleLocks); }
void UnlockModule() { InterlockedDecrement(&g_moduleLocks); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_moduleLocks, 0, 0); }

void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }
HINSTANCE ModuleInstance() { return g_moduleInstance; }

HRESULT LoadModuleTypeLib(ITypeLib** typeLib) {
  if (!typeLib) return E_POINTER;
  *typeLib = nullptr;
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameW(g_moduleInstance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  return ::LoadTypeLibEx(path, REGKIND_NONE, typeLib);
}

CUnknownBase::CUnknownBase(IUnknown* outer)
    : m_inner(this), m_controlling(outer ? outer : &m_inner) {
  LockModule();
}

CUnknownBase::~CUnknownBase() { UnlockModule(); }

STDMETHODIMP CUnknownBase::CInner::QueryInterface(REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *ppv = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  HRESULT hr = m_owner->QueryOwnInterface(iid, ppv);
  if (SUCCEEDED(hr)) static_cast<IUnknown*>(*ppv)->AddRef();
  return hr;
}

STDMETHODIMP_(ULONG) CUnknownBase::CInner::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&m_owner->m_refCount));
}

STDMETHODIMP_(ULONG) CUnknownBase::CInner::Release() {
  LONG count = InterlockedDecrement(&m_owner->m_refCount);
  if (count == 0) delete m_owner;
  return static_cast<ULONG>(count);
}

HRESULT ReportComError(REFCLSID source, REFIID iid, const wchar_t* description, HRESULT hr) {
  CComPtr<ICreateErrorInfo> create;
  if (FAILED(::CreateErrorInfo(create.Put()))) return hr;
  LPOLESTR progId = nullptr;
  if (SUCCEEDED(::ProgIDFromCLSID(source, &progId))) {
    create->SetSource(progId);
    ::CoTaskMemFree(progId);
  }
  create->SetGUID(iid);
  create->SetDescription(const_cast<LPOLESTR>(description ? description : L""));
  CComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.QueryInterface(IID_IErrorInfo, info))) ::SetErrorInfo(0, info.Get());
  return hr;
}

HRESULT FailureToException(HRESULT hr, EXCEPINFO* excepInfo) {
  if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION || !excepInfo) return hr;
  CComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Put()) != S_OK || !info) return hr;
  *excepInfo = EXCEPINFO();
  info->GetSource(&excepInfo->bstrSource);
  info->GetDescription(&excepInfo->bstrDescription);
  info->GetHelpFile(&excepInfo->bstrHelpFile);
  info->GetHelpContext(&excepInfo->dwHelpContext);
  excepInfo->scode = hr;
  return DISP_E_EXCEPTION;
}

HRESULT CreateClassFactory(CreateInstanceFunction create, REFIID iid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  CClassFactory* factory = new (std::nothrow) CClassFactory(create);
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  HRESULT hr = factory->QueryInterface(iid, ppv);
  factory->Release();
  return hr;
}

}  // namespace qcom
