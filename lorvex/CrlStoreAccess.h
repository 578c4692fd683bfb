// The calls on the system stores that an update object makes through the
// access it was built with: opening a system store, and reading and writing a
// CRL context property. Everything else goes to crypt32 directly.
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

// The product's access: the calls go straight to crypt32. It holds no state,
// so every object of the process shares it.
ICrlStoreAccess& Crypt32StoreAccess();

}  // namespace lorvex
