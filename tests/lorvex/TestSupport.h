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

namespace lorvex_test {

using Bytes = std::vector<BYTE>;

std::string EnvironmentValue(const char* name);
std::string PkiPath(const std::string& file);
Bytes ReadPkiFile(const std::string& file);
std::string ReadPkiText(const std::string& file);
std::string CrlBaseUrl();

// Lets the loopback server answer servedName with a PKI file.
void Serve(const std::string& pkiFile, const std::string& servedName = "ca.crl");
void StopServing(const std::string& servedName = "ca.crl");

// The debugger output written since construction or the last Restart, as
// captured by lorvex_trace_capture: the library's lines, each without its
// final line feed.
class CTraceCapture {
 public:
  CTraceCapture() { Restart(); }
  void Restart();
  std::vector<std::string> Lines() const;
  // The raw debug strings, line feeds included.
  std::vector<std::string> Strings() const;

 private:
  unsigned long long m_start = 0;
};

// True when every expected line matches its captured line; '*' in an
// expected line stands for any text. Prints both lists when they differ.
::testing::AssertionResult TraceMatches(const std::vector<std::string>& captured,
                                        const std::vector<std::string>& expected);

FILETIME FileTimeFromNow(long long seconds);
long long SecondsBetween(const FILETIME& earlier, const FILETIME& later);

enum class StoreKind { Memory, System };

// Stands in for the store calls of the library while it lives.
//
// Wine's crypt32 keeps no CRL context property in the user range
// (CertSetCRLContextProperty of 0x8001 fails: "CRLContext_SetProperty 32769:
// stub"), so the stamp is kept here, per encoded CRL. With StoreKind::Memory
// the "ROOT" and "CA" system stores are in-memory stores that outlive each
// call, because Wine's system stores do not keep a replaced CRL across a
// reopening (the registry keeps the old one). With StoreKind::System the real
// system stores are opened.
class CStoreStandIn : public lorvex::ICrlStoreAccess {
 public:
  explicit CStoreStandIn(StoreKind kind);
  ~CStoreStandIn() override;

  HCERTSTORE OpenSystemStore(const wchar_t* name, DWORD flags) override;
  BOOL GetCrlProperty(PCCRL_CONTEXT crl, DWORD id, void* data, DWORD* size) override;
  BOOL SetCrlProperty(PCCRL_CONTEXT crl, DWORD id, DWORD flags, const void* data) override;

  // Memory stores only: 0 = "ROOT", 1 = "CA".
  void AddCertificate(int store, const Bytes& der);
  void AddCrl(int store, const Bytes& der, std::optional<FILETIME> stamp = std::nullopt);
  // The encoded CRLs a store holds.
  std::vector<Bytes> Crls(int store) const;
  void FailToOpen(const std::wstring& name) { m_failing = name; }

  std::optional<FILETIME> Stamp(const Bytes& crl) const;
  void SetStamp(const Bytes& crl, const FILETIME& stamp);
  DWORD LastOpenFlags() const { return m_lastOpenFlags; }

 private:
  StoreKind m_kind;
  lorvex::CTempStore m_stores[2];
  std::map<Bytes, Bytes> m_properties;  // encoded CRL -> stamp value
  std::wstring m_failing;
  DWORD m_lastOpenFlags = 0;
};

// A fresh CRLUpdate object of the library linked into the test.
qcom::CComPtr<ICRLUpdate> NewUpdater();

struct CUpdateResult {
  HRESULT hr;
  VARIANT_BOOL result;
};
CUpdateResult UpdateBinary(ICRLUpdate* updater, const Bytes& certificate);

bool RunningOnWine();

}  // namespace lorvex_test
