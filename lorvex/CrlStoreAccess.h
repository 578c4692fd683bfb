// The calls on the system stores that a test replaces: opening a system
// store, and reading and writing a CRL context property. Everything else goes
// to crypt32 directly.
#pragma once

#include <windows.h>
#include <wincrypt.h>

namespace lorvex {

class ICrlStoreAccess {
 public:
  virtual ~ICrlStoreAccess() = default;
  // Opens the system store `name` with the given location and open flags.
  virtual HCERTSTORE OpenSystemStore(const wchar_t* name, DWORD flags) = 0;
  virtual BOOL GetCrlProperty(PCCRL_CONTEXT crl, DWORD id, void* data, DWORD* size) = 0;
  virtual BOOL SetCrlProperty(PCCRL_CONTEXT crl, DWORD id, DWORD flags, const void* data) = 0;
};

// The access in use: crypt32 unless a test has put another in place.
ICrlStoreAccess& CrlStoreAccess();
// Puts access in place for the whole process; null goes back to crypt32.
// Not for use while an update runs.
void SetCrlStoreAccess(ICrlStoreAccess* access);

}  // namespace lorvex
