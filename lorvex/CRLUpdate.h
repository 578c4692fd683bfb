// The CRLUpdate object: given a certificate, brings the CRL of its issuer up
// to date in the "ROOT" and "CA" system stores.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>
#include <vector>

#include "Com/ComObject.h"
#include "CrlStoreAccess.h"
#include "CryptHandles.h"
#include "lorvex_h.h"

namespace lorvex {

// Identifier of the CRL context property that holds the moment the library
// stored that CRL (a FILETIME, UTC).
constexpr DWORD LAST_CRL_UPDATE_TIME = CERT_FIRST_USER_PROP_ID + 1;

using CUrlList = std::optional<std::vector<std::string>>;

class CCRLUpdate : public qcom::CUnknownBase, public qcom::CDispatchImpl<ICRLUpdate, &IID_ICRLUpdate> {
 public:
  // The stores are opened and their CRL properties read and written through
  // `stores`, which outlives the object.
  CCRLUpdate(IUnknown* outer, ICrlStoreAccess& stores);
  ~CCRLUpdate() override;

  QCOM_DELEGATING_IUNKNOWN

  // ICRLUpdate
  STDMETHODIMP Update_BASE64(BSTR Certificate, VARIANT_BOOL* pResult) override;
  STDMETHODIMP Update_BINARY(unsigned char* pCertificate, long Size, VARIANT_BOOL* pResult) override;
  STDMETHODIMP get_UpdateInterval(long* pVal) override;
  STDMETHODIMP put_UpdateInterval(long newVal) override;
  STDMETHODIMP Update(IDispatch* Certificate, VARIANT_BOOL* pResult) override;
  STDMETHODIMP get_StoreLocation(SYSTEM_STORE_LOCATION* pVal) override;
  STDMETHODIMP put_StoreLocation(SYSTEM_STORE_LOCATION newVal) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  enum StoreIndex { kRootStore = 0, kCAStore = 1, kStoreCount = 2 };

  // Releases the per-call state in its fixed order and closes the stores.
  void Cleanup();
  void ReleaseScratch();
  // The update proper; false leaves the cause in the thread's last error.
  bool RunUpdate(const BYTE* certificate, DWORD size);

  // Stores, the update decision and the store update.
  bool OpenStores();
  bool CloseStores();
  bool GetIssuerCertificate();
  bool GetOldCRLFromStore();
  bool GetCRLUpdateTime(PCCRL_CONTEXT crl, FILETIME* stamp);
  bool IsUpdateRequired();
  bool UpdateCRL();
  bool CheckNewCRL();
  bool StampNewCRL();
  bool AddNewCRLToTargetStore();

  // Distribution points, download and the downloaded file.
  bool GetURLsFromCertificate(CUrlList& urls);
  bool ReadCRLFromFile(const char* path);
  bool ReadWholeFile(HANDLE file);
  bool CheckForBase64();
  bool ConvertToDER();

  ICrlStoreAccess& m_Stores;
  long m_nUpdateInterval = 0;
  DWORD m_dwStoreLocation = CERT_SYSTEM_STORE_CURRENT_USER;
  CCrlContext m_pNewCRL;
  CCrlContext m_pOldCRL;
  CCertContext m_pCertificate;
  CCertContext m_pIssuerCertificate;
  HCERTSTORE m_hStores[kStoreCount] = {};
  HCERTSTORE m_hTargetStore = nullptr;  // one of m_hStores, not owned apart from them
  std::vector<BYTE> m_scratch;
};

// Downloads the CRL from the first URL that answers into the internet cache;
// cacheFile receives the cached file's path. False with the last download
// HRESULT as the thread's last error.
bool DownloadCRL(const std::vector<std::string>& urls, char (&cacheFile)[1024]);

// Removes a downloaded file, retrying for up to a minute while it is in use.
// A path beginning with a backslash is left alone.
void DeleteFileFromCache(const char* path);

}  // namespace lorvex
