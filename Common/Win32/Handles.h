// Owners for Win32 handles and memory blocks: each closes or frees what it
// holds when it goes out of scope, so an early return never skips a close.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <utility>

namespace qwin {

// "None" for handles whose empty value is null (keys, events, tokens,
// contexts, memory blocks).
template <class H>
struct NullIsNone {
  static H Value() { return nullptr; }
  static bool IsSet(H h) { return h != nullptr; }
};

// "None" for file and find handles, which use INVALID_HANDLE_VALUE; a null
// handle is never a valid one either.
struct InvalidHandleIsNone {
  static HANDLE Value() { return INVALID_HANDLE_VALUE; }
  static bool IsSet(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
};

// A handle with its close policy: Closer()(h) releases it, None says which
// value means "nothing held".
template <class H, class Closer, class None = NullIsNone<H>>
class CUniqueHandle {
 public:
  CUniqueHandle() = default;
  explicit CUniqueHandle(H h) : m_h(h) {}
  ~CUniqueHandle() { Reset(); }
  CUniqueHandle(const CUniqueHandle&) = delete;
  CUniqueHandle& operator=(const CUniqueHandle&) = delete;
  CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.Release()) {}
  CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  H Get() const { return m_h; }
  H* Put() { Reset(); return &m_h; }  // for out-parameters of Win32 calls
  explicit operator bool() const { return None::IsSet(m_h); }
  H Release() { return std::exchange(m_h, None::Value()); }
  void Reset(H h = None::Value()) {
    if (None::IsSet(m_h)) Closer()(m_h);
    m_h = h;
  }

 private:
  H m_h = None::Value();
};

struct HandleCloser { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct RegKeyCloser { void operator()(HKEY h) const { ::RegCloseKey(h); } };
struct FindCloser { void operator()(HANDLE h) const { ::FindClose(h); } };
struct MenuDestroyer { void operator()(HMENU h) const { ::DestroyMenu(h); } };
struct LocalFreer { void operator()(HLOCAL h) const { ::LocalFree(h); } };
struct LibraryFreer { void operator()(HMODULE h) const { ::FreeLibrary(h); } };
struct CoTaskMemFreer { void operator()(void* p) const { ::CoTaskMemFree(p); } };
struct RuntimeFreer { void operator()(void* p) const { std::free(p); } };

using CHandle = CUniqueHandle<HANDLE, HandleCloser>;
using CRegKey = CUniqueHandle<HKEY, RegKeyCloser>;
using CMenu = CUniqueHandle<HMENU, MenuDestroyer>;
using CLocalMemory = CUniqueHandle<HLOCAL, LocalFreer>;
using CLibrary = CUniqueHandle<HMODULE, LibraryFreer>;
using CFileHandle = CUniqueHandle<HANDLE, HandleCloser, InvalidHandleIsNone>;
using CFindHandle = CUniqueHandle<HANDLE, FindCloser, InvalidHandleIsNone>;

// Memory that the callee allocated with the COM task allocator (the shell's
// item id lists among it).
template <class T>
using CCoTaskMem = CUniqueHandle<T*, CoTaskMemFreer>;

// Memory from the runtime's malloc, handed over to be freed with free.
template <class T>
using CRuntimeMemory = CUniqueHandle<T*, RuntimeFreer>;

// HRESULT from a Win32 error code: positive codes are mapped into the
// FACILITY_WIN32 range, zero and negative values pass unchanged.
inline HRESULT HResultFromWin32(LONG code) {
  return code > 0 ? static_cast<HRESULT>((static_cast<unsigned long>(code) & 0xFFFFu) | 0x80070000u)
                  : static_cast<HRESULT>(code);
}

inline HRESULT HResultFromLastError() { return HResultFromWin32(static_cast<LONG>(::GetLastError())); }

}  // namespace qwin
