// The roads of an update through the stores: the decision from the stamp and
// the interval, the store that receives the new CRL, the refusals, the
// download and the CRL file forms, each with its trace lines.
#include <gtest/gtest.h>

#include <optional>

#include "TestSupport.h"

namespace lorvex_test {
namespace {

constexpr int kRoot = 0;
constexpr int kCA = 1;

using Lines = std::vector<std::string>;

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Lines kUntilStoresOpened = {
    "CRLUPDATE! Update : trying to update via BINARY",
    "CRLUPDATE! Update_BINARY : cert converted to binary",
    "CRLUPDATE! Update_BINARY : cert context created",
    "CRLUPDATE! OpenStores : root store opened",
    "CRLUPDATE! OpenStores : CA store opened",
    "CRLUPDATE! Update_BINARY : stores opened",
};

const Lines kIssuerFound = {
    "CRLUPDATE! GetIssuerCertificate: issuer cert was retrieved from store N 0!",
    "CRLUPDATE! Update_BINARY : issuer certificate retrived",
};

const Lines kStampedOldCrlInCA = {
    "CRLUPDATE! GetOldCRLFromStore: old CRL was retrived from store N 1",
    "CRLUPDATE! Update_BINARY : found old CRL in store",
    "CRLUPDATE! GetCRLUpdateTime: property LAST_CRL_UPDATE_TIME was retrived succesfully",
    "CRLUPDATE! Update_BINARY : got time of last update",
};

const Lines kRequired = {
    "CRLUPDATE! Update_BINARY : update REQUIRED",
    "CRLUPDATE! Update_BINARY : going to update...",
};

Lines DownloadLines() {
  const std::string served = CrlBaseUrl() + "/ca.crl";
  return {
      "CRLUPDATE! GetURLsFromCertificate : found some CDP in cert...",
      "CRLUPDATE! GetURLsFromCertificate : CDP N 0 - http://127.0.0.1:1/unreachable.crl",
      "CRLUPDATE! GetURLsFromCertificate : CDP N 1 - " + served,
      "CRLUPDATE! UpdateCRL: CDP retrived",
      "CRLUPDATE! UpdateCRL: trying to download CRL from http://127.0.0.1:1/unreachable.crl to *...",
      "CRLUPDATE! UpdateCRL: download from http://127.0.0.1:1/unreachable.crl failed",
      "CRLUPDATE! UpdateCRL: trying to download CRL from " + served + " to *...",
      "CRLUPDATE! UpdateCRL: download succeded",
  };
}

const Lines kDerFileRead = {
    "CRLUPDATE! ReadCRLFromFile : checking for possible base64 encoding",
    "CRLUPDATE! CheckForBase64() : CRL isn't in base64 encoding",
    "CRLUPDATE! ReadCRLFromFile : CRL context created",
    "CRLUPDATE! UpdateCRL: read CRL from file",
};

const Lines kNewCrlChecked = {
    "CRLUPDATE! CheckNewCRL: temp store was opened",
    "CRLUPDATE! CheckNewCRL: CRL was added to temp store",
    "CRLUPDATE! CheckNewCRL: CRL was retrived from temp store",
};

const Lines kStored = {
    "CRLUPDATE! UpdateCRL: CRL was added to store",
    "CRLUPDATE! DeleteFileFromCache : cache file removed",
    "CRLUPDATE! Update_BINARY : update SUCCEEDED",
};

const Lines kRefused = {
    "CRLUPDATE! UpdateCRL: no new crl",
    "CRLUPDATE! Update_BINARY : update FAILED",
};

// The last lines of the trace, as TraceMatches compares them.
::testing::AssertionResult TraceEndsWith(const Lines& captured, const Lines& tail) {
  if (captured.size() < tail.size()) return TraceMatches(captured, tail);
  return TraceMatches(Lines(captured.end() - static_cast<std::ptrdiff_t>(tail.size()), captured.end()), tail);
}

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class UpdateRoads : public ::testing::Test {
 protected:
  void SetUp() override { ResetStores(); }
  void TearDown() override { StopServing(); }

  // Empty stores but for the CA in "ROOT"; nothing served.
  void ResetStores() {
    m_stores.reset();
    m_stores.emplace();
    m_stores->AddCertificate(kRoot, ReadPkiFile("ca.cer"));
    StopServing();
  }

  CUpdateResult Update(const std::string& leaf, long interval = 0) {
    qcom::CComPtr<ICRLUpdate> updater = NewUpdater(*m_stores);
    updater->put_UpdateInterval(interval);
    m_trace.Restart();
    return UpdateBinary(updater.Get(), ReadPkiFile(leaf + ".cer"));
  }

  // True when the store holds exactly this CRL, stamped within the last minute.
  ::testing::AssertionResult HoldsFreshlyStamped(int store, const Bytes& crl) {
    if (m_stores->Crls(store) != std::vector<Bytes>{crl}) return ::testing::AssertionFailure() << "other CRLs";
    std::optional<FILETIME> stamp = m_stores->Stamp(crl);
    if (!stamp) return ::testing::AssertionFailure() << "no stamp";
    const long long age = SecondsBetween(*stamp, FileTimeFromNow(0));
    if (age < 0 || age > 60) return ::testing::AssertionFailure() << "stamp " << age << " s old";
    return ::testing::AssertionSuccess();
  }

  std::optional<CStoreStandIn> m_stores;
  CTraceCapture m_trace;
  const Bytes m_oldCrl = ReadPkiFile("ca_old.crl");
  const Bytes m_newCrl = ReadPkiFile("ca_new.crl");
};

TEST_F(UpdateRoads, WithoutOldCrlTheNewOneGoesToTheCAStore) {
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_EQ(outcome.result, VARIANT_TRUE);
  EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
  EXPECT_TRUE(m_stores->Crls(kRoot).empty());
  EXPECT_TRUE(TraceMatches(m_trace.Lines(),
                           Join({kUntilStoresOpened, kIssuerFound,
                                 {"CRLUPDATE! GetOldCRLFromStore: old CRL was NOT found in any store",
                                  "CRLUPDATE! Update_BINARY : time of old CRL not found"},
                                 kRequired, DownloadLines(), kDerFileRead, kNewCrlChecked,
                                 {"CRLUPDATE! UpdateCRL: store was not specified - choosing CA Store"}, kStored})));
}

TEST_F(UpdateRoads, RecentStampWithinTheIntervalNeedsNoUpdate) {
  m_stores->AddCrl(kCA, m_oldCrl, FileTimeFromNow(-100));
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_cdp", 3600);
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_EQ(outcome.result, VARIANT_TRUE);
  EXPECT_EQ(m_stores->Crls(kCA), std::vector<Bytes>{m_oldCrl});
  EXPECT_TRUE(TraceMatches(m_trace.Lines(),
                           Join({kUntilStoresOpened, kIssuerFound, kStampedOldCrlInCA,
                                 {"CRLUPDATE! Update_BINARY : update interval - 3600",
                                  "CRLUPDATE! Update_BINARY : update NOT REQUIRED"}})));
}

TEST_F(UpdateRoads, StampAgainstIntervalDecidesTheUpdate) {
  struct Case {
    long long stampFromNow;
    long interval;
    bool updates;
  };
  const Case cases[] = {
      {-100, 3600, false}, {-100, 100, true},  // elapsed equal to the interval is due
      {0, 0, true},        {1000, 0, false},   // interval 0: due unless the stamp lies ahead
      {100, -500, true},   {1000, -500, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("stamp " + std::to_string(c.stampFromNow) + " s from now, interval " + std::to_string(c.interval));
    ResetStores();
    m_stores->AddCrl(kCA, m_oldCrl, FileTimeFromNow(c.stampFromNow));
    Serve("ca_new.crl");
    CUpdateResult outcome = Update("leaf_cdp", c.interval);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.result, VARIANT_TRUE);
    if (c.updates) {
      EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
      EXPECT_TRUE(Contains(m_trace.Lines(), "CRLUPDATE! Update_BINARY : update REQUIRED"));
    } else {
      EXPECT_EQ(m_stores->Crls(kCA), std::vector<Bytes>{m_oldCrl});
    }
    EXPECT_TRUE(Contains(m_trace.Lines(), "CRLUPDATE! Update_BINARY : update interval - " + std::to_string(c.interval)));
  }
}

TEST_F(UpdateRoads, OldCrlWithoutStampIsUpdatedAndGainsOne) {
  m_stores->AddCrl(kCA, m_oldCrl);
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_cdp", 3600);
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
  EXPECT_TRUE(TraceMatches(m_trace.Lines(),
                           Join({kUntilStoresOpened, kIssuerFound,
                                 {"CRLUPDATE! GetOldCRLFromStore: old CRL was retrived from store N 1",
                                  "CRLUPDATE! Update_BINARY : found old CRL in store",
                                  "CRLUPDATE! GetCRLUpdateTime: property LAST_CRL_UPDATE_TIME was NOT found",
                                  "CRLUPDATE! Update_BINARY : time of last update not found"},
                                 kRequired, DownloadLines(), kDerFileRead, kNewCrlChecked, kStored})));
}

TEST_F(UpdateRoads, OldCrlInRootIsReplacedThere) {
  m_stores->AddCrl(kRoot, m_oldCrl, FileTimeFromNow(-7200));
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_cdp", 3600);
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_TRUE(HoldsFreshlyStamped(kRoot, m_newCrl));
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
  EXPECT_TRUE(Contains(m_trace.Lines(), "CRLUPDATE! GetOldCRLFromStore: old CRL was retrived from store N 0"));
}

TEST_F(UpdateRoads, StampedCrlOfTheFirstCallHoldsOffTheNext) {
  Serve("ca_new.crl");
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(*m_stores);
  updater->put_UpdateInterval(3600);
  const Bytes leaf = ReadPkiFile("leaf_cdp.cer");
  EXPECT_EQ(UpdateBinary(updater.Get(), leaf).hr, S_OK);
  EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
  // The same object again, then a fresh one: neither downloads.
  StopServing();
  qcom::CComPtr<ICRLUpdate> fresh = NewUpdater(*m_stores);
  for (ICRLUpdate* next : {updater.Get(), fresh.Get()}) {
    next->put_UpdateInterval(3600);
    m_trace.Restart();
    CUpdateResult outcome = UpdateBinary(next, leaf);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.result, VARIANT_TRUE);
    EXPECT_EQ(m_trace.Lines().back(), "CRLUPDATE! Update_BINARY : update NOT REQUIRED");
  }
}

TEST_F(UpdateRoads, OlderCrlIsRefusedAndEqualOneReplaces) {
  const FILETIME stamp = FileTimeFromNow(-7200);
  m_stores->AddCrl(kCA, m_newCrl, stamp);
  Serve("ca_old.crl");
  CUpdateResult outcome = Update("leaf_cdp", 3600);
  EXPECT_EQ(outcome.hr, HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_EQ(m_stores->Crls(kCA), std::vector<Bytes>{m_newCrl});
  EXPECT_EQ(SecondsBetween(stamp, *m_stores->Stamp(m_newCrl)), 0) << "the stamp stays";
  EXPECT_TRUE(TraceMatches(m_trace.Lines(), Join({kUntilStoresOpened, kIssuerFound, kStampedOldCrlInCA,
                                                  {"CRLUPDATE! Update_BINARY : update interval - 3600"}, kRequired,
                                                  DownloadLines(), kDerFileRead, kNewCrlChecked, kRefused})));

  Serve("ca_new.crl");
  outcome = Update("leaf_cdp", 3600);
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl)) << "same thisUpdate: replaced and stamped again";
}

TEST_F(UpdateRoads, CrlOfAnotherIssuerIsRefused) {
  Serve("other_ca.crl");
  CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_EQ(outcome.hr, CRYPT_E_NOT_FOUND) << "what the lookup in the temporary store left";
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
  EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                           Join({{"CRLUPDATE! CheckNewCRL: failed to get CRL to temp store by cert"}, kRefused})));
}

TEST_F(UpdateRoads, CrlNotSignedWithTheIssuersKeyIsNeverStored) {
  // The impostor has the CA's name and key identifier, so its CRL is found
  // as the issuer's; only the signature tells them apart.
  for (const char* served : {"impostor.crl", "ca_tampered.crl"}) {
    SCOPED_TRACE(served);
    ResetStores();
    m_stores->AddCrl(kCA, m_oldCrl, FileTimeFromNow(-7200));
    Serve(served);
    CUpdateResult outcome = Update("leaf_cdp", 3600);
    EXPECT_EQ(outcome.hr, NTE_BAD_SIGNATURE);
    EXPECT_EQ(outcome.result, VARIANT_FALSE);
    EXPECT_EQ(m_stores->Crls(kCA), std::vector<Bytes>{m_oldCrl});
    EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                             Join({{"CRLUPDATE! CheckNewCRL: CRL was retrived from temp store",
                                    "CRLUPDATE! CheckNewCRL: CRL signature does not verify with the issuer cert"},
                                   kRefused})));
  }
}

TEST_F(UpdateRoads, Base64CrlFilesAreConverted) {
  const Lines converted = {
      "CRLUPDATE! ReadCRLFromFile : checking for possible base64 encoding",
      "CRLUPDATE! CheckForBase64 : CRL is in base64 encoding",
      "CRLUPDATE! ConvertToDER : converting from base64 to DER",
      "CRLUPDATE! ConvertToDER : first base64_decode passed",
      "CRLUPDATE! ConvertToDER : second base64_decode passed",
      "CRLUPDATE! ConvertToDER : CRL converted to der",
      "CRLUPDATE! ReadCRLFromFile : CRL context created",
  };
  for (const char* served : {"ca_new_lf.b64", "ca_new_crlf.b64"}) {
    SCOPED_TRACE(served);
    ResetStores();
    Serve(served);
    EXPECT_EQ(Update("leaf_cdp").hr, S_OK);
    EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
    const Lines lines = m_trace.Lines();
    EXPECT_NE(std::search(lines.begin(), lines.end(), converted.begin(), converted.end()), lines.end());
  }
  // No armour lines in this format: the PEM form does not decode.
  ResetStores();
  Serve("ca_new_armoured.b64");
  CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_EQ(outcome.hr, CRYPT_E_BAD_ENCODE);
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
}

TEST_F(UpdateRoads, EmptyCrlFileIsEmptyBase64Text) {
  Serve("empty.crl");
  const CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                           {"CRLUPDATE! ReadCRLFromFile : checking for possible base64 encoding",
                            "CRLUPDATE! CheckForBase64 : CRL is in base64 encoding",
                            "CRLUPDATE! ConvertToDER : converting from base64 to DER",
                            "CRLUPDATE! ConvertToDER : first base64_decode passed",
                            "CRLUPDATE! ConvertToDER : second base64_decode passed",
                            "CRLUPDATE! ConvertToDER : CRL converted to der",
                            "CRLUPDATE! ReadCRLFromFile : failed to create CRL context",
                            "CRLUPDATE! Update_BINARY : update FAILED"}));
  EXPECT_TRUE(FAILED(outcome.hr)) << "what the CRL context creation left";
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
}

TEST_F(UpdateRoads, FailedDownloadsStoreNothing) {
  CUpdateResult outcome = Update("leaf_unreachable");
  EXPECT_TRUE(FAILED(outcome.hr)) << "the last download HRESULT";
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                           {"CRLUPDATE! UpdateCRL: download from all urls failed",
                            "CRLUPDATE! Update_BINARY : update FAILED"}));
  // Wine's urlmon answers S_OK for HTTP 404 and 500 and leaves the error page
  // in the cache file (Windows fails the download): either way the update
  // fails and nothing is stored.
  for (const char* leaf : {"leaf_missing", "leaf_error"}) {
    SCOPED_TRACE(leaf);
    outcome = Update(leaf);
    EXPECT_TRUE(FAILED(outcome.hr));
    EXPECT_EQ(outcome.result, VARIANT_FALSE);
    EXPECT_TRUE(m_stores->Crls(kCA).empty());
  }
}

TEST_F(UpdateRoads, CertificateWithoutDistributionPointSucceedsWithoutDownload) {
  CUpdateResult outcome = Update("leaf_nocdp");
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_EQ(outcome.result, VARIANT_TRUE);
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
  EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                           {"CRLUPDATE! GetURLsFromCertificate : no CDP found", "CRLUPDATE! UpdateCRL: CDP retrived",
                            "CRLUPDATE! UpdateCRL: no CDP = no error. returning TRUE",
                            "CRLUPDATE! Update_BINARY : update SUCCEEDED"}));
}

TEST_F(UpdateRoads, DistributionPointWithoutUrlIsPassedOver) {
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_dirname");
  EXPECT_EQ(outcome.hr, S_OK);
  EXPECT_TRUE(HoldsFreshlyStamped(kCA, m_newCrl));
  const Lines lines = m_trace.Lines();
  const auto first = std::find(lines.begin(), lines.end(), "CRLUPDATE! GetURLsFromCertificate : found some CDP in cert...");
  ASSERT_GE(lines.end() - first, 3);
  EXPECT_TRUE(TraceMatches(Lines(first, first + 3),
                           {"CRLUPDATE! GetURLsFromCertificate : found some CDP in cert...",
                            "CRLUPDATE! GetURLsFromCertificate : CDP N 1 - " + CrlBaseUrl() + "/ca.crl",
                            "CRLUPDATE! UpdateCRL: CDP retrived"}));
}

TEST_F(UpdateRoads, StoreThatRefusesTheReplacingAddIsTriedWithAPlainAdd) {
  m_stores->RefuseAdds(L"CA");
  Serve("ca_new.crl");
  CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_EQ(outcome.hr, E_ACCESSDENIED);
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(m_stores->Crls(kCA).empty());
  EXPECT_TRUE(TraceEndsWith(m_trace.Lines(),
                           {"CRLUPDATE! UpdateCRL: store was not specified - choosing CA Store",
                            "CRLUPDATE! UpdateCRL: failed with ADD_REPLACE_EXISTING",
                            "CRLUPDATE! UpdateCRL: failed with ADD_ALWAYS - exiting... ",
                            "CRLUPDATE! Update_BINARY : update FAILED"}));
}

TEST_F(UpdateRoads, IssuerMissingFromRootEndsTheUpdate) {
  CUpdateResult outcome = Update("leaf_other");
  EXPECT_EQ(outcome.hr, CRYPT_E_NOT_FOUND);
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(TraceMatches(m_trace.Lines(), kUntilStoresOpened));
}

TEST_F(UpdateRoads, StoreThatDoesNotOpenEndsTheUpdate) {
  m_stores->FailToOpen(L"CA");
  CUpdateResult outcome = Update("leaf_cdp");
  EXPECT_EQ(outcome.hr, static_cast<HRESULT>(ERROR_FILE_NOT_FOUND)) << "a Win32 code passes unchanged";
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  Lines expected(kUntilStoresOpened.begin(), kUntilStoresOpened.end() - 1);
  expected.push_back("CRLUPDATE! OpenStores : store 1 was not open!");
  EXPECT_TRUE(TraceMatches(m_trace.Lines(), expected));
}

}  // namespace
}  // namespace lorvex_test
