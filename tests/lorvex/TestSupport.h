// Shared helpers of the CRL update tests: the test PKI, the loopback
// server's files, the captured trace, and a stand-in for the store calls.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "CRLUpdate.h"
#include "CrlStoreAccess.h"
#include "Com/ComPtr.h"
#include "CryptHandles.h"
#include "StampStandIn.h"
#include "TraceReader.h"

namespace lorvex_test {

std::string EnvironmentValue(const char* name);
std::string PkiPath(const std::string& file);
Bytes ReadPkiFile(const std::string& file);
std::string ReadPkiText(const std::string& file);
std::string CrlBaseUrl();

// Lets the loopback server answer servedName with a PKI file.
void Serve(const std::string& pkiFile, const std::string& servedName = "ca.crl");
void StopServing(const std::string& servedName = "ca.crl");

// True when every expected line matches its captured line; '*' in an
// expected line stands for any text. Prints both lists when they differ.
::testing::AssertionResult TraceMatches(const std::vector<std::string>& captured,
                                        const std::vector<std::string>& expected);

FILETIME FileTimeFromNow(long long seconds);
long long SecondsBetween(const FILETIME& earlier, const FILETIME& later);

// Memory stores in place of the "ROOT" and "CA" system stores, lasting
// across calls, with the stamps of CStampStandIn. Wine's system stores do not
// keep a replaced CRL across a reopening (CERT_STORE_ADD_REPLACE_EXISTING
// shows the new CRL in the process, but the registry keeps the old one), so
// the roads that read back what an earlier call stored run on these.
class CStoreStandIn : public CStampStandIn {
 public:
  CStoreStandIn();

  HCERTSTORE OpenSystemStore(const wchar_t* name, DWORD flags) override;

  // 0 = "ROOT", 1 = "CA".
  void AddCertificate(int store, const Bytes& der);
  void AddCrl(int store, const Bytes& der, std::optional<FILETIME> stamp = std::nullopt);
  // The encoded CRLs a store holds.
  std::vector<Bytes> Crls(int store) const;
  void FailToOpen(const std::wstring& name) { m_failing = name; }
  // The store opens, but refuses every add with E_ACCESSDENIED.
  void RefuseAdds(const std::wstring& name) { m_refusing = name; }

 private:
  lorvex::CTempStore m_stores[2];
  std::wstring m_failing;
  std::wstring m_refusing;
};

// A fresh CRLUpdate object of the library linked into the test, reaching the
// system stores through `stores` (which outlives it).
qcom::CComPtr<ICRLUpdate> NewUpdater(lorvex::ICrlStoreAccess& stores = lorvex::Crypt32StoreAccess());

struct CUpdateResult {
  HRESULT hr;
  VARIANT_BOOL result;
};
CUpdateResult UpdateBinary(ICRLUpdate* updater, const Bytes& certificate);

bool RunningOnWine();

}  // namespace lorvex_test
