// Owners for COM interface pointers and BSTRs, and the ANSI <-> BSTR
// conversions used at COM method boundaries.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace qcom {

template <class T>
class CComPtr {
 public:
  CComPtr() = default;
  CComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }  // NOLINT: adopts a borrowed pointer
  CComPtr(const CComPtr& other) : CComPtr(other.m_p) {}
  CComPtr(CComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ~CComPtr() { Reset(); }
  CComPtr& operator=(CComPtr other) noexcept { std::swap(m_p, other.m_p); return *this; }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** Put() { Reset(); return &m_p; }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Attach(T* p) { Reset(); m_p = p; }
  void Reset() { if (m_p) std::exchange(m_p, nullptr)->Release(); }

  template <class Q>
  HRESULT QueryInterface(REFIID iid, CComPtr<Q>& out) const {
    return m_p ? m_p->QueryInterface(iid, out.PutVoid()) : E_POINTER;
  }

 private:
  T* m_p = nullptr;
};

// Owns one BSTR.
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(const wchar_t* text) : m_str(text ? ::SysAllocString(text) : nullptr) {}
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;
  CBstr(CBstr&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}
  CBstr& operator=(CBstr&& other) noexcept { Attach(other.Detach()); return *this; }
  ~CBstr() { ::SysFreeString(m_str); }

  static CBstr FromAnsi(const std::string& text);

  BSTR Get() const { return m_str; }
  BSTR* Put() { Attach(nullptr); return &m_str; }
  BSTR Detach() { return std::exchange(m_str, nullptr); }
  void Attach(BSTR s) { ::SysFreeString(m_str); m_str = s; }
  UINT Length() const { return ::SysStringLen(m_str); }

 private:
  BSTR m_str = nullptr;
};

// Owns one VARIANT: cleared when it goes out of scope.
class CVariant {
 public:
  CVariant() { ::VariantInit(&m_value); }
  CVariant(const CVariant&) = delete;
  CVariant& operator=(const CVariant&) = delete;
  ~CVariant() { ::VariantClear(&m_value); }

  const VARIANT& Get() const { return m_value; }
  // For out-parameters: clears what is held and hands out the slot.
  VARIANT* Put() { ::VariantClear(&m_value); return &m_value; }
  void SetBstr(CBstr text) {
    VARIANT* slot = Put();
    slot->vt = VT_BSTR;
    slot->bstrVal = text.Detach();
  }
  // Moves the value into a caller's [out] VARIANT, which holds nothing yet.
  void DetachTo(VARIANT* out) {
    *out = m_value;
    ::VariantInit(&m_value);
  }

 private:
  VARIANT m_value;
};

// Text of a BSTR in the ANSI code page, up to its first zero character.
// A null BSTR reads as the empty string.
std::string BstrToAnsi(const wchar_t* text);
// Wide text of an ANSI string (whole length, embedded zeros kept).
std::wstring AnsiToWide(const std::string& text);

}  // namespace qcom
