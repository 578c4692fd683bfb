// The store side of CCRLUpdate: the "ROOT" and "CA" stores, the issuer and
// its stored CRL, the update decision and the store update.
#include <ctime>
#include <utility>

#include "CRLUpdate.h"
#include "Trace.h"

namespace lorvex {

namespace {

// Every issuer and CRL lookup asks for both checks. Only the signature result
// of the new CRL is acted on (CheckNewCRL); the stores' own contents are
// taken as they are.
constexpr DWORD kLookupFlags = CERT_STORE_SIGNATURE_FLAG | CERT_STORE_TIME_VALIDITY_FLAG;

// Cause left when a downloaded CRL is older than the stored one.
constexpr DWORD kOlderCrlError = static_cast<DWORD>(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));

// Seconds since 1970 of a UTC FILETIME, taken through local wall-clock time;
// 0 when it does not convert.
long long CalendarSecondsOfStamp(const FILETIME& stamp) {
  FILETIME local;
  SYSTEMTIME wallClock;
  if (!::FileTimeToLocalFileTime(&stamp, &local) || !::FileTimeToSystemTime(&local, &wallClock)) return 0;
  std::tm calendar = {};
  calendar.tm_year = wallClock.wYear - 1900;
  calendar.tm_mon = wallClock.wMonth - 1;
  calendar.tm_mday = wallClock.wDay;
  calendar.tm_hour = wallClock.wHour;
  calendar.tm_min = wallClock.wMinute;
  calendar.tm_sec = wallClock.wSecond;
  calendar.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&calendar);
  return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<long long>(seconds);
}

bool UpdateRequired() {
  TraceMessage("CRLUPDATE! Update_BINARY : update REQUIRED");
  return true;
}

}  // namespace

bool CCRLUpdate::OpenStores() {
  const DWORD flags = m_dwStoreLocation | CERT_STORE_OPEN_EXISTING_FLAG;
  m_hStores[kRootStore] = m_Stores.OpenSystemStore(L"ROOT", flags);
  TraceMessage("CRLUPDATE! OpenStores : root store opened");
  m_hStores[kCAStore] = m_Stores.OpenSystemStore(L"CA", flags);
  TraceMessage("CRLUPDATE! OpenStores : CA store opened");
  for (int i = 0; i < kStoreCount; ++i) {
    if (!m_hStores[i]) {
      TraceMessage("CRLUPDATE! OpenStores : store %d was not open!", i);
      return false;
    }
  }
  return true;
}

bool CCRLUpdate::CloseStores() {
  for (int i = 0; i < kStoreCount; ++i) {
    if (!m_hStores[i]) continue;
    const BOOL closed = ::CertCloseStore(std::exchange(m_hStores[i], nullptr), CERT_CLOSE_STORE_CHECK_FLAG);
    if (!closed) {
      TraceMessage("CRLUPDATE! CloseStores : store %d was not closed!", i);
      return false;
    }
  }
  return true;
}

bool CCRLUpdate::GetIssuerCertificate() {
  DWORD flags = kLookupFlags;
  m_pIssuerCertificate.Reset(
      ::CertGetIssuerCertificateFromStore(m_hStores[kRootStore], m_pCertificate.Get(), nullptr, &flags));
  if (!m_pIssuerCertificate) return false;
  TraceMessage("CRLUPDATE! GetIssuerCertificate: issuer cert was retrieved from store N %d!", kRootStore);
  return true;
}

bool CCRLUpdate::GetOldCRLFromStore() {
  for (int i = 0; i < kStoreCount; ++i) {
    DWORD flags = kLookupFlags;
    PCCRL_CONTEXT crl = ::CertGetCRLFromStore(m_hStores[i], m_pIssuerCertificate.Get(), nullptr, &flags);
    if (crl) {
      m_pOldCRL.Reset(crl);
      m_hTargetStore = m_hStores[i];
      TraceMessage("CRLUPDATE! GetOldCRLFromStore: old CRL was retrived from store N %d", i);
      return true;
    }
  }
  TraceMessage("CRLUPDATE! GetOldCRLFromStore: old CRL was NOT found in any store");
  return false;
}

bool CCRLUpdate::GetCRLUpdateTime(PCCRL_CONTEXT crl, FILETIME* stamp) {
  DWORD size = 0;
  // A value of another length was not written by this library: no stamp.
  if (!m_Stores.GetCrlProperty(crl, LAST_CRL_UPDATE_TIME, nullptr, &size) || size != sizeof(FILETIME)) {
    TraceMessage("CRLUPDATE! GetCRLUpdateTime: property LAST_CRL_UPDATE_TIME was NOT found");
    return false;
  }
  if (!m_Stores.GetCrlProperty(crl, LAST_CRL_UPDATE_TIME, stamp, &size) || size != sizeof(FILETIME)) {
    TraceMessage("CRLUPDATE! GetCRLUpdateTime: failed to retrieve property LAST_CRL_UPDATE_TIME");
    return false;
  }
  TraceMessage("CRLUPDATE! GetCRLUpdateTime: property LAST_CRL_UPDATE_TIME was retrived succesfully");
  return true;
}

bool CCRLUpdate::IsUpdateRequired() {
  if (!GetOldCRLFromStore()) {
    TraceMessage("CRLUPDATE! Update_BINARY : time of old CRL not found");
    return UpdateRequired();
  }
  TraceMessage("CRLUPDATE! Update_BINARY : found old CRL in store");
  FILETIME stamp = {};
  if (!GetCRLUpdateTime(m_pOldCRL.Get(), &stamp)) {
    TraceMessage("CRLUPDATE! Update_BINARY : time of last update not found");
    return UpdateRequired();
  }
  TraceMessage("CRLUPDATE! Update_BINARY : got time of last update");
  const long long stampSeconds = CalendarSecondsOfStamp(stamp);
  TraceMessage("CRLUPDATE! Update_BINARY : update interval - %ld", m_nUpdateInterval);
  const long long elapsed = static_cast<long long>(std::time(nullptr)) - stampSeconds;
  if (elapsed < m_nUpdateInterval) {
    TraceMessage("CRLUPDATE! Update_BINARY : update NOT REQUIRED");
    return false;
  }
  return UpdateRequired();
}

bool CCRLUpdate::UpdateCRL() {
  CUrlList urls;
  if (!GetURLsFromCertificate(urls)) {
    TraceMessage("CRLUPDATE! UpdateCRL: failed to read CDP from cert");
    return false;
  }
  TraceMessage("CRLUPDATE! UpdateCRL: CDP retrived");
  if (!urls) {
    TraceMessage("CRLUPDATE! UpdateCRL: no CDP = no error. returning TRUE");
    return true;
  }
  char cacheFile[1024] = {};
  const bool downloaded = DownloadCRL(*urls, cacheFile);
  urls.reset();
  if (!downloaded || !ReadCRLFromFile(cacheFile)) return false;
  TraceMessage("CRLUPDATE! UpdateCRL: read CRL from file");
  if (!CheckNewCRL()) {
    TraceMessage("CRLUPDATE! UpdateCRL: no new crl");
    return false;
  }
  if (!StampNewCRL()) {
    TraceMessage("CRLUPDATE! UpdateCRL: failed to set LAST_CRL_UPDATE_TIME");
    return false;
  }
  if (!m_hTargetStore) {
    TraceMessage("CRLUPDATE! UpdateCRL: store was not specified - choosing CA Store");
    m_hTargetStore = m_hStores[kCAStore];
  }
  if (!AddNewCRLToTargetStore()) return false;
  TraceMessage("CRLUPDATE! UpdateCRL: CRL was added to store");
  DeleteFileFromCache(cacheFile);
  return true;
}

bool CCRLUpdate::CheckNewCRL() {
  CTempStore temp(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!temp) {
    TraceMessage("CRLUPDATE! CheckNewCRL: failed to open temp store");
    return false;
  }
  TraceMessage("CRLUPDATE! CheckNewCRL: temp store was opened");
  if (!::CertAddCRLContextToStore(temp.Get(), m_pNewCRL.Get(), CERT_STORE_ADD_ALWAYS, nullptr)) {
    TraceMessage("CRLUPDATE! CheckNewCRL: failed to add CRL to temp store");
    return false;
  }
  TraceMessage("CRLUPDATE! CheckNewCRL: CRL was added to temp store");
  DWORD flags = kLookupFlags;
  CCrlContext found(::CertGetCRLFromStore(temp.Get(), m_pIssuerCertificate.Get(), nullptr, &flags));
  if (!found) {
    TraceMessage("CRLUPDATE! CheckNewCRL: failed to get CRL to temp store by cert");
    return false;
  }
  TraceMessage("CRLUPDATE! CheckNewCRL: CRL was retrived from temp store");
  // The forced close frees every context of the store: ours goes first.
  found.Reset();
  temp.Reset();
  // Anyone who answers on the CRL's (plain HTTP) URL could hand over a CRL;
  // only one signed with the issuer's key may reach the stores.
  if (flags & CERT_STORE_SIGNATURE_FLAG) {
    TraceMessage("CRLUPDATE! CheckNewCRL: CRL signature does not verify with the issuer cert");
    ::SetLastError(static_cast<DWORD>(NTE_BAD_SIGNATURE));
    return false;
  }
  if (!m_pOldCRL) return true;
  if (::CompareFileTime(&m_pNewCRL.Get()->pCrlInfo->ThisUpdate, &m_pOldCRL.Get()->pCrlInfo->ThisUpdate) >= 0) {
    return true;
  }
  ::SetLastError(kOlderCrlError);
  return false;
}

bool CCRLUpdate::StampNewCRL() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  CRYPT_DATA_BLOB value = {sizeof(now), reinterpret_cast<BYTE*>(&now)};
  return m_Stores.SetCrlProperty(m_pNewCRL.Get(), LAST_CRL_UPDATE_TIME, 0, &value) != FALSE;
}

bool CCRLUpdate::AddNewCRLToTargetStore() {
  if (::CertAddCRLContextToStore(m_hTargetStore, m_pNewCRL.Get(), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    return true;
  }
  TraceMessage("CRLUPDATE! UpdateCRL: failed with ADD_REPLACE_EXISTING");
  // An existing CRL that the caller may not delete: add beside it.
  if (static_cast<HRESULT>(::GetLastError()) != E_ACCESSDENIED) {
    TraceMessage("CRLUPDATE! UpdateCRL: failed to add CRL to store ");
    return false;
  }
  if (::CertAddCRLContextToStore(m_hTargetStore, m_pNewCRL.Get(), CERT_STORE_ADD_ALWAYS, nullptr)) return true;
  TraceMessage("CRLUPDATE! UpdateCRL: failed with ADD_ALWAYS - exiting... ");
  return false;
}

}  // namespace lorvex
