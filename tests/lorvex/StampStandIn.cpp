#include "StampStandIn.h"

#include <algorithm>

#include "CRLUpdate.h"

namespace lorvex_test {

namespace {

Bytes EncodedCrl(PCCRL_CONTEXT crl) { return Bytes(crl->pbCrlEncoded, crl->pbCrlEncoded + crl->cbCrlEncoded); }

}  // namespace

HCERTSTORE CStampStandIn::OpenSystemStore(const wchar_t* name, DWORD flags) {
  m_lastOpenFlags = flags;
  return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, flags, name);
}

BOOL CStampStandIn::GetCrlProperty(PCCRL_CONTEXT crl, DWORD id, void* data, DWORD* size) {
  auto found = m_stamps.find(EncodedCrl(crl));
  if (id != lorvex::LAST_CRL_UPDATE_TIME || found == m_stamps.end()) {
    ::SetLastError(static_cast<DWORD>(CRYPT_E_NOT_FOUND));
    return FALSE;
  }
  const Bytes& value = found->second;
  const DWORD capacity = *size;
  *size = static_cast<DWORD>(value.size());
  if (!data) return TRUE;
  if (capacity < value.size()) {
    ::SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  std::copy(value.begin(), value.end(), static_cast<BYTE*>(data));
  return TRUE;
}

BOOL CStampStandIn::SetCrlProperty(PCCRL_CONTEXT crl, DWORD id, DWORD, const void* data) {
  if (id != lorvex::LAST_CRL_UPDATE_TIME || !data) {
    ::SetLastError(static_cast<DWORD>(E_INVALIDARG));
    return FALSE;
  }
  const auto* blob = static_cast<const CRYPT_DATA_BLOB*>(data);
  m_stamps[EncodedCrl(crl)] = Bytes(blob->pbData, blob->pbData + blob->cbData);
  return TRUE;
}

std::optional<FILETIME> CStampStandIn::Stamp(const Bytes& crl) const {
  auto found = m_stamps.find(crl);
  if (found == m_stamps.end() || found->second.size() != sizeof(FILETIME)) return std::nullopt;
  FILETIME stamp;
  std::copy(found->second.begin(), found->second.end(), reinterpret_cast<BYTE*>(&stamp));
  return stamp;
}

void CStampStandIn::SetStamp(const Bytes& crl, const FILETIME& stamp) {
  const auto* bytes = reinterpret_cast<const BYTE*>(&stamp);
  m_stamps[crl] = Bytes(bytes, bytes + sizeof(stamp));
}

}  // namespace lorvex_test
