// Updates against the real system stores of the current user and the
// machine; only the stamp property goes through the stand-in.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace lorvex_test {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

HCERTSTORE OpenUserStore(const wchar_t* name) {
  return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, kEncoding, 0,
                         CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_OPEN_EXISTING_FLAG, name);
}

// The test CA is new in every run, so nothing of earlier runs is its own.
void TrustTestCA() {
  lorvex::CTempStore root(OpenUserStore(L"ROOT"));
  ASSERT_TRUE(root);
  const Bytes ca = ReadPkiFile("ca.cer");
  ASSERT_TRUE(::CertAddEncodedCertificateToStore(root.Get(), kEncoding, ca.data(), static_cast<DWORD>(ca.size()),
                                                 CERT_STORE_ADD_USE_EXISTING, nullptr));
}

// The CRL of the test CA in the user's store, as a fresh opening sees it.
Bytes StoredCrlOfTestCA(const wchar_t* storeName) {
  lorvex::CTempStore root(OpenUserStore(L"ROOT"));
  lorvex::CTempStore store(OpenUserStore(storeName));
  const Bytes ca = ReadPkiFile("ca.cer");
  lorvex::CCertContext issuer(::CertCreateCertificateContext(kEncoding, ca.data(), static_cast<DWORD>(ca.size())));
  DWORD flags = 0;
  lorvex::CCrlContext crl(::CertGetCRLFromStore(store.Get(), issuer.Get(), nullptr, &flags));
  if (!crl) return {};
  return Bytes(crl.Get()->pbCrlEncoded, crl.Get()->pbCrlEncoded + crl.Get()->cbCrlEncoded);
}

class SystemStores : public ::testing::Test {
 protected:
  void SetUp() override { TrustTestCA(); }
  void TearDown() override { StopServing(); }
};

TEST_F(SystemStores, FirstCrlOfTheIssuerGoesToTheUsersCAStore) {
  CStampStandIn stamps;
  Serve("ca_new.crl");
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(stamps);
  CUpdateResult outcome = UpdateBinary(updater.Get(), ReadPkiFile("leaf_cdp.cer"));
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_EQ(outcome.result, VARIANT_TRUE);
  EXPECT_EQ(stamps.LastOpenFlags(), static_cast<DWORD>(CERT_SYSTEM_STORE_CURRENT_USER | CERT_STORE_OPEN_EXISTING_FLAG));
  EXPECT_EQ(StoredCrlOfTestCA(L"CA"), ReadPkiFile("ca_new.crl"));
}

TEST_F(SystemStores, StampPropertyOfCrypt32) {
  Serve("ca_new.crl");
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  CTraceCapture trace;
  CUpdateResult outcome = UpdateBinary(updater.Get(), ReadPkiFile("leaf_cdp.cer"));
  if (RunningOnWine()) {
    // Wine's gap: CertSetCRLContextProperty fails for every user property id
    // ("CRLContext_SetProperty 32769: stub"), so no CRL can be stamped.
    EXPECT_EQ(outcome.result, VARIANT_FALSE);
    const std::vector<std::string> lines = trace.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "CRLUPDATE! UpdateCRL: failed to set LAST_CRL_UPDATE_TIME");
  } else {
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.result, VARIANT_TRUE);
  }
}

TEST_F(SystemStores, MachineLocationOpensTheMachineStores) {
  CStampStandIn stamps;
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(stamps);
  ASSERT_EQ(updater->put_StoreLocation(SYSTEM_STORE_LOCAL_MACHINE), S_OK);
  CTraceCapture trace;
  CUpdateResult outcome = UpdateBinary(updater.Get(), ReadPkiFile("leaf_nocdp.cer"));
  EXPECT_EQ(stamps.LastOpenFlags(), static_cast<DWORD>(CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_OPEN_EXISTING_FLAG));
  const std::vector<std::string> lines = trace.Lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[5], "CRLUPDATE! Update_BINARY : stores opened");
  // The test CA is trusted by the user only.
  EXPECT_EQ(outcome.hr, CRYPT_E_NOT_FOUND);
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
}

}  // namespace
}  // namespace lorvex_test
