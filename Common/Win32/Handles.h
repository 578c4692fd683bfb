// Owners for Win32 handles: each closes what it holds when it goes out of
// scope, so an early return never skips a close.
#pragma once

#include <windows.h>

#include <utility>

namespace qwin {

// A handle with a close function; Invalid is the value that means "none".
template <class H, class Closer, H Invalid>
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
  explicit operator bool() const { return m_h != Invalid; }
  H Release() { return std::exchange(m_h, Invalid); }
  void Reset(H h = Invalid) {
    if (m_h != Invalid) Closer()(m_h);
    m_h = h;
  }

 private:
  H m_h = Invalid;
};

struct HandleCloser { void operator()(HANDLE h) const { ::CloseHandle(h); } };
struct RegKeyCloser { void operator()(HKEY h) const { ::RegCloseKey(h); } };
struct FindCloser { void operator()(HANDLE h) const { ::FindClose(h); } };
struct MenuDestroyer { void operator()(HMENU h) const { ::DestroyMenu(h); } };
struct LocalFreer { void operator()(HLOCAL h) const { ::LocalFree(h); } };

// Kernel objects whose "none" is null (events, mutexes, tokens, threads).
using CHandle = CUniqueHandle<HANDLE, HandleCloser, nullptr>;
using CRegKey = CUniqueHandle<HKEY, RegKeyCloser, nullptr>;
using CMenu = CUniqueHandle<HMENU, MenuDestroyer, nullptr>;
using CLocalMemory = CUniqueHandle<HLOCAL, LocalFreer, nullptr>;

// Files and find handles use INVALID_HANDLE_VALUE for "none"; it is not a
// constant expression, so they get an owner of their own.
template <class Closer>
class CInvalidValueHandle {
 public:
  CInvalidValueHandle() = default;
  explicit CInvalidValueHandle(HANDLE h) : m_h(h) {}
  ~CInvalidValueHandle() { Reset(); }
  CInvalidValueHandle(const CInvalidValueHandle&) = delete;
  CInvalidValueHandle& operator=(const CInvalidValueHandle&) = delete;
  CInvalidValueHandle(CInvalidValueHandle&& other) noexcept : m_h(other.Release()) {}
  CInvalidValueHandle& operator=(CInvalidValueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  HANDLE Get() const { return m_h; }
  explicit operator bool() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
  HANDLE Release() { return std::exchange(m_h, INVALID_HANDLE_VALUE); }
  void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
    if (*this) Closer()(m_h);
    m_h = h;
  }

 private:
  HANDLE m_h = INVALID_HANDLE_VALUE;
};

using CFileHandle = CInvalidValueHandle<HandleCloser>;
using CFindHandle = CInvalidValueHandle<FindCloser>;

// HRESULT from a Win32 error code: positive codes are mapped into the
// FACILITY_WIN32 range, zero and negative values pass unchanged.
inline HRESULT HResultFromWin32(LONG code) {
  return code > 0 ? static_cast<HRESULT>((static_cast<unsigned long>(code) & 0xFFFFu) | 0x80070000u)
                  : static_cast<HRESULT>(code);
}

inline HRESULT HResultFromLastError() { return HResultFromWin32(static_cast<LONG>(::GetLastError())); }

}  // namespace qwin
