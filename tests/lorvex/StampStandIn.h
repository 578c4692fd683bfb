// Keeps the library's LAST_CRL_UPDATE_TIME stamps in memory, per encoded CRL.
//
// Wine's crypt32 keeps no CRL context property in the user range:
// CertSetCRLContextProperty fails for every id from 0x8000 to 0xFFFF
// ("CRLContext_SetProperty 32769: stub"), so under Wine no CRL can be
// stamped. An update object built with this access makes its two property
// calls here instead; everything else, opening the system stores included,
// still goes to crypt32.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <optional>
#include <vector>

#include "CrlStoreAccess.h"

namespace lorvex_test {

using Bytes = std::vector<BYTE>;

class CStampStandIn : public lorvex::ICrlStoreAccess {
 public:
  CStampStandIn() = default;
  CStampStandIn(const CStampStandIn&) = delete;
  CStampStandIn& operator=(const CStampStandIn&) = delete;

  HCERTSTORE OpenSystemStore(const wchar_t* name, DWORD flags) override;
  BOOL GetCrlProperty(PCCRL_CONTEXT crl, DWORD id, void* data, DWORD* size) override;
  BOOL SetCrlProperty(PCCRL_CONTEXT crl, DWORD id, DWORD flags, const void* data) override;

  std::optional<FILETIME> Stamp(const Bytes& crl) const;
  void SetStamp(const Bytes& crl, const FILETIME& stamp);
  // The flags of the last store opening.
  DWORD LastOpenFlags() const { return m_lastOpenFlags; }

 protected:
  DWORD m_lastOpenFlags = 0;

 private:
  std::map<Bytes, Bytes> m_stamps;  // encoded CRL -> property value
};

}  // namespace lorvex_test
