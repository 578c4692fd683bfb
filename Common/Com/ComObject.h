// A small frame for in-process COM servers: the module's lock count,
// aggregatable reference-counted objects, class factories, IDispatch through
// the module's embedded type library, and COM error information.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <utility>

#include "ComBoundary.h"
#include "ComPtr.h"

namespace qcom {

// --- module ------------------------------------------------------------------

// Objects, class factories and server locks all count here; the module can
// be unloaded when the count is zero.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

// The module's own instance, set by DllMain at process attach.
void SetModuleInstance(HINSTANCE instance);
HINSTANCE ModuleInstance();

// Loads the type library embedded in the module as resource TYPELIB 1.
HRESULT LoadModuleTypeLib(ITypeLib** typeLib);

// --- objects -------------------------------------------------------------------

// Base of every COM object of the frame. It owns the reference count and a
// non-delegating IUnknown; the object's own interfaces delegate to the
// controlling unknown (the outer object when aggregated, else the inner one).
class CUnknownBase {
 public:
  explicit CUnknownBase(IUnknown* outer);
  virtual ~CUnknownBase();
  CUnknownBase(const CUnknownBase&) = delete;
  CUnknownBase& operator=(const CUnknownBase&) = delete;

  IUnknown* InnerUnknown() { return &m_inner; }

 protected:
  // Hands out an interface other than IUnknown, or fails with E_NOINTERFACE.
  virtual HRESULT QueryOwnInterface(REFIID iid, void** ppv) = 0;

  IUnknown* ControllingUnknown() const { return m_controlling; }

 private:
  class CInner : public IUnknown {
   public:
    explicit CInner(CUnknownBase* owner) : m_owner(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    CUnknownBase* m_owner;
  };

  CInner m_inner;
  LONG m_refCount = 0;
  IUnknown* m_controlling;
};

// The IUnknown methods of an object's own interfaces.
#define QCOM_DELEGATING_IUNKNOWN                                                              \
  STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {                              \
    return ControllingUnknown()->QueryInterface(iid, ppv);                                    \
  }                                                                                           \
  STDMETHODIMP_(ULONG) AddRef() override { return ControllingUnknown()->AddRef(); }           \
  STDMETHODIMP_(ULONG) Release() override { return ControllingUnknown()->Release(); }

// Creates an object of class T (constructed from the outer unknown and any
// further arguments) and asks it for iid. Aggregation is allowed only for
// IID_IUnknown, as COM requires.
template <class T, class... Args>
HRESULT CreateComObject(IUnknown* outer, REFIID iid, void** ppv, Args&&... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  T* object = new (std::nothrow) T(outer, std::forward<Args>(args)...);
  if (!object) return E_OUTOFMEMORY;
  IUnknown* inner = object->InnerUnknown();
  inner->AddRef();
  HRESULT hr = inner->QueryInterface(iid, ppv);
  inner->Release();  // destroys the object when the query failed
  return hr;
}

// --- error information ---------------------------------------------------------------

// Leaves a description for the caller through IErrorInfo; returns hr.
HRESULT ReportComError(REFCLSID source, REFIID iid, const wchar_t* description, HRESULT hr);

// Script clients learn of a failure only through EXCEPINFO: when the method
// that Invoke called failed and left error information on the thread, the
// information moves into excepInfo and Invoke answers DISP_E_EXCEPTION, so
// that the script sees the method's HRESULT and description. Anything else
// passes unchanged.
HRESULT FailureToException(HRESULT hr, EXCEPINFO* excepInfo);

// --- IDispatch through the type library ----------------------------------------------

// Implements IDispatch for the dual interface Itf (IID *Iid) from the
// module's type library. Base must derive from CUnknownBase.
template <class Itf, const IID* Iid>
class CDispatchImpl : public Itf {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    m_typeInfo->AddRef();
    *info = m_typeInfo.Get();
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    // The type library's lookup reads both arrays without checking them.
    if (!ids) return E_POINTER;
    if (!names && count != 0) return E_INVALIDARG;
    HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    return ::DispGetIDsOfNames(m_typeInfo.Get(), names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excepInfo, UINT* argError) override {
    return ComBoundary([&] {
      HRESULT hr = EnsureTypeInfo();
      if (FAILED(hr)) return hr;
      // Error information left by an earlier call must not be taken for
      // this one's.
      ::SetErrorInfo(0, nullptr);
      hr = ::DispInvoke(static_cast<Itf*>(this), m_typeInfo.Get(), id, flags, params, result, excepInfo,
                        argError);
      return FailureToException(hr, excepInfo);
    });
  }

 private:
  HRESULT EnsureTypeInfo() {
    if (m_typeInfo) return S_OK;
    CComPtr<ITypeLib> typeLib;
    HRESULT hr = LoadModuleTypeLib(typeLib.Put());
    if (FAILED(hr)) return hr;
    return typeLib->GetTypeInfoOfGuid(*Iid, m_typeInfo.Put());
  }

  CComPtr<ITypeInfo> m_typeInfo;
};


// --- class factories -----------------------------------------------------------------

using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** ppv);

// Hands out a new class factory for one creatable class.
HRESULT CreateClassFactory(CreateInstanceFunction create, REFIID iid, void** ppv);

}  // namespace qcom
