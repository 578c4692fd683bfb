#include <gtest/gtest.h>

#include "TestSupport.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace lorvex_test {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string ServedPath(const std::string& name) { return EnvironmentValue("LORVEX_SERVED_DIR") + "\\" + name; }

// '*' matches any run of characters.
bool GlobMatches(const std::string& pattern, const std::string& text) {
  size_t star = pattern.find('*');
  if (star == std::string::npos) return pattern == text;
  if (text.compare(0, star, pattern, 0, star) != 0) return false;
  const std::string rest = pattern.substr(star + 1);
  for (size_t from = star; from <= text.size(); ++from) {
    if (GlobMatches(rest, text.substr(from))) return true;
  }
  return false;
}

std::string Listed(const std::vector<std::string>& lines) {
  std::ostringstream out;
  for (const std::string& line : lines) out << "    " << line << "\n";
  return out.str();
}

}  // namespace

std::string EnvironmentValue(const char* name) {
  char value[2048] = {};
  DWORD length = ::GetEnvironmentVariableA(name, value, sizeof(value));
  return length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string PkiPath(const std::string& file) { return EnvironmentValue("LORVEX_PKI_DIR") + "\\" + file; }

Bytes ReadPkiFile(const std::string& file) {
  const std::string text = ReadWholeFile(PkiPath(file));
  return Bytes(text.begin(), text.end());
}

std::string ReadPkiText(const std::string& file) { return ReadWholeFile(PkiPath(file)); }

std::string CrlBaseUrl() { return EnvironmentValue("LORVEX_CRL_BASE_URL"); }

void Serve(const std::string& pkiFile, const std::string& servedName) {
  ASSERT_TRUE(::CopyFileA(PkiPath(pkiFile).c_str(), ServedPath(servedName).c_str(), FALSE)) << pkiFile;
}

void StopServing(const std::string& servedName) { ::DeleteFileA(ServedPath(servedName).c_str()); }

::testing::AssertionResult TraceMatches(const std::vector<std::string>& captured,
                                        const std::vector<std::string>& expected) {
  bool same = captured.size() == expected.size();
  for (size_t i = 0; same && i < expected.size(); ++i) same = GlobMatches(expected[i], captured[i]);
  if (same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "captured:\n" << Listed(captured) << "expected:\n" << Listed(expected);
}

FILETIME FileTimeFromNow(long long seconds) {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value = {{now.dwLowDateTime, now.dwHighDateTime}};
  value.QuadPart += static_cast<ULONGLONG>(seconds * 10000000LL);
  return FILETIME{value.LowPart, value.HighPart};
}

long long SecondsBetween(const FILETIME& earlier, const FILETIME& later) {
  const ULARGE_INTEGER a = {{earlier.dwLowDateTime, earlier.dwHighDateTime}};
  const ULARGE_INTEGER b = {{later.dwLowDateTime, later.dwHighDateTime}};
  return (static_cast<long long>(b.QuadPart) - static_cast<long long>(a.QuadPart)) / 10000000LL;
}

CStoreStandIn::CStoreStandIn() {
  for (auto& store : m_stores) {
    store.Reset(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  }
}

HCERTSTORE CStoreStandIn::OpenSystemStore(const wchar_t* name, DWORD flags) {
  m_lastOpenFlags = flags;
  if (m_failing == name) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  const int index = std::wstring(name) == L"ROOT" ? 0 : 1;
  // A collection over the lasting memory store, as a system store is one
  // over its physical stores: closing it leaves the contents in place. A
  // collection without a store enabled for adding refuses adds with
  // E_ACCESSDENIED.
  const DWORD addFlags = m_refusing == name ? 0 : CERT_PHYSICAL_STORE_ADD_ENABLE_FLAG;
  HCERTSTORE collection = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
  if (collection && !::CertAddStoreToCollection(collection, m_stores[index].Get(), addFlags, 0)) {
    ::CertCloseStore(collection, 0);
    return nullptr;
  }
  return collection;
}

void CStoreStandIn::AddCertificate(int store, const Bytes& der) {
  ASSERT_TRUE(::CertAddEncodedCertificateToStore(m_stores[store].Get(), kEncoding, der.data(),
                                                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr));
}

void CStoreStandIn::AddCrl(int store, const Bytes& der, std::optional<FILETIME> stamp) {
  ASSERT_TRUE(::CertAddEncodedCRLToStore(m_stores[store].Get(), kEncoding, der.data(), static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_ALWAYS, nullptr));
  if (stamp) SetStamp(der, *stamp);
}

std::vector<Bytes> CStoreStandIn::Crls(int store) const {
  std::vector<Bytes> crls;
  PCCRL_CONTEXT crl = nullptr;
  while ((crl = ::CertEnumCRLsInStore(m_stores[store].Get(), crl)) != nullptr) {
    crls.push_back(Bytes(crl->pbCrlEncoded, crl->pbCrlEncoded + crl->cbCrlEncoded));
  }
  return crls;
}

qcom::CComPtr<ICRLUpdate> NewUpdater(lorvex::ICrlStoreAccess& stores) {
  qcom::CComPtr<ICRLUpdate> updater;
  qcom::CreateComObject<lorvex::CCRLUpdate>(nullptr, IID_ICRLUpdate, updater.PutVoid(), stores);
  return updater;
}

CUpdateResult UpdateBinary(ICRLUpdate* updater, const Bytes& certificate) {
  CUpdateResult outcome = {E_FAIL, 1};
  Bytes copy = certificate;
  outcome.hr = updater->Update_BINARY(copy.data(), static_cast<long>(copy.size()), &outcome.result);
  return outcome;
}

bool RunningOnWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace lorvex_test
