// The CRLUpdate object itself: properties, the three ways in, what the
// methods report for bad input, and the trace function.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Com/ComObject.h"
#include "TestSupport.h"
#include "Trace.h"

namespace lorvex_test {
namespace {

TEST(UpdateObject, Properties) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  long interval = -1;
  SYSTEM_STORE_LOCATION location = SYSTEM_STORE_LOCAL_MACHINE;
  EXPECT_EQ(updater->get_UpdateInterval(&interval), S_OK);
  EXPECT_EQ(interval, 0);
  EXPECT_EQ(updater->get_StoreLocation(&location), S_OK);
  EXPECT_EQ(location, SYSTEM_STORE_CURRENT_USER);

  EXPECT_EQ(updater->put_UpdateInterval(-42), S_OK);
  EXPECT_EQ(updater->get_UpdateInterval(&interval), S_OK);
  EXPECT_EQ(interval, -42);

  EXPECT_EQ(updater->put_StoreLocation(SYSTEM_STORE_LOCAL_MACHINE), S_OK);
  EXPECT_EQ(updater->put_StoreLocation(static_cast<SYSTEM_STORE_LOCATION>(2)), E_INVALIDARG);
  EXPECT_EQ(updater->get_StoreLocation(&location), S_OK);
  EXPECT_EQ(location, SYSTEM_STORE_LOCAL_MACHINE) << "a refused value leaves the old one";

  EXPECT_EQ(updater->get_UpdateInterval(nullptr), E_POINTER);
  EXPECT_EQ(updater->get_StoreLocation(nullptr), E_POINTER);
}

TEST(UpdateObject, BytesThatAreNoCertificate) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  const Bytes garbage = {0x30, 0x03, 0x02, 0x01};
  ::CertCreateCertificateContext(X509_ASN_ENCODING, garbage.data(), static_cast<DWORD>(garbage.size()));
  const HRESULT creationError = static_cast<HRESULT>(::GetLastError());
  CTraceCapture trace;
  CUpdateResult outcome = UpdateBinary(updater.Get(), garbage);
  EXPECT_EQ(outcome.hr, creationError);
  EXPECT_EQ(outcome.result, VARIANT_FALSE);
  EXPECT_TRUE(TraceMatches(trace.Lines(), {"CRLUPDATE! Update : trying to update via BINARY",
                                           "CRLUPDATE! Update_BINARY : cert converted to binary"}));

  // An empty text decodes to no bytes at all, which are no certificate either.
  qcom::CBstr empty(L"");
  VARIANT_BOOL result = VARIANT_TRUE;
  EXPECT_TRUE(FAILED(updater->Update_BASE64(empty.Get(), &result)));
  EXPECT_EQ(result, VARIANT_FALSE);
}

TEST(UpdateObject, BadArgumentsAreRefused) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  VARIANT_BOOL result = VARIANT_TRUE;
  unsigned char byte = 0x30;
  EXPECT_EQ(updater->Update_BINARY(nullptr, 10, &result), E_INVALIDARG);
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_EQ(updater->Update_BINARY(&byte, -1, &result), E_INVALIDARG);
  EXPECT_EQ(updater->Update_BINARY(&byte, 1, nullptr), E_POINTER);
  EXPECT_EQ(updater->Update_BASE64(nullptr, nullptr), E_POINTER);
  EXPECT_EQ(updater->Update(nullptr, nullptr), E_POINTER);
}

TEST(UpdateObject, Base64ThatDoesNotDecodeNeverReachesTheStores) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  qcom::CBstr text(L"QU*D");
  VARIANT_BOOL result = VARIANT_TRUE;
  CTraceCapture trace;
  // The decoder's CRYPT_E_BAD_ENCODE (0x80092002) OR 0x800B0000.
  EXPECT_EQ(updater->Update_BASE64(text.Get(), &result), static_cast<HRESULT>(0x800B2002));
  EXPECT_EQ(result, VARIANT_FALSE);
  EXPECT_TRUE(TraceMatches(trace.Lines(), {"CRLUPDATE! Update_BASE64 : trying to update via BASE64"}));
}

// A certificate automation object: DISPID 16 with the encoding type 0 gives
// the certificate in base64.
class CCertificateStandIn : public qcom::CUnknownBase, public IDispatch {
 public:
  explicit CCertificateStandIn(IUnknown* outer) : CUnknownBase(outer) {}
  QCOM_DELEGATING_IUNKNOWN

  std::wstring m_text;
  HRESULT m_invokeResult = S_OK;
  std::atomic<int> m_calls{0};
  VARTYPE m_argumentType = VT_EMPTY;
  long m_argument = -1;

  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    ++m_calls;
    if (id != 16 || !(flags & DISPATCH_METHOD) || !params || params->cArgs != 1 || !result) return DISP_E_MEMBERNOTFOUND;
    m_argumentType = params->rgvarg[0].vt;
    m_argument = params->rgvarg[0].lVal;
    if (FAILED(m_invokeResult)) return m_invokeResult;
    result->vt = VT_BSTR;
    result->bstrVal = ::SysAllocString(m_text.c_str());
    return S_OK;
  }

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override {
    if (!IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
  }
};

class UpdateThroughObjects : public ::testing::Test {
 protected:
  void SetUp() override { m_stores.AddCertificate(0, ReadPkiFile("ca.cer")); }
  CStoreStandIn m_stores;
};

TEST_F(UpdateThroughObjects, Base64Text) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(m_stores);
  qcom::CBstr text = qcom::CBstr::FromAnsi(ReadPkiText("leaf_nocdp.b64"));
  VARIANT_BOOL result = VARIANT_FALSE;
  CTraceCapture trace;
  EXPECT_EQ(updater->Update_BASE64(text.Get(), &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  const std::vector<std::string> lines = trace.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(TraceMatches({lines.begin(), lines.begin() + 3},
                           {"CRLUPDATE! Update_BASE64 : trying to update via BASE64",
                            "CRLUPDATE! Update_BASE64 : cert converted to binary",
                            "CRLUPDATE! Update : trying to update via BINARY"}));
}

TEST_F(UpdateThroughObjects, CertificateAutomationObject) {
  qcom::CComPtr<IDispatch> dispatch;
  ASSERT_EQ(qcom::CreateComObject<CCertificateStandIn>(nullptr, IID_IDispatch, dispatch.PutVoid()), S_OK);
  auto* certificate = static_cast<CCertificateStandIn*>(dispatch.Get());
  certificate->m_text = qcom::AnsiToWide(ReadPkiText("leaf_nocdp.b64"));
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(m_stores);
  VARIANT_BOOL result = VARIANT_FALSE;
  CTraceCapture trace;
  EXPECT_EQ(updater->Update(dispatch.Get(), &result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  EXPECT_EQ(certificate->m_argumentType, VT_I4);
  EXPECT_EQ(certificate->m_argument, 0);
  const std::vector<std::string> lines = trace.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_TRUE(TraceMatches({lines.begin(), lines.begin() + 4},
                           {"CRLUPDATE! Update : trying to update via LPDISPTACH",
                            "CRLUPDATE! Update : cert exported to base64", "CRLUPDATE! Update : cert converted to binary",
                            "CRLUPDATE! Update : trying to update via BINARY"}));

  // Failures report failure, whatever the caller left in the result.
  result = VARIANT_TRUE;
  EXPECT_EQ(updater->Update(nullptr, &result), E_POINTER);
  EXPECT_EQ(result, VARIANT_FALSE);
  certificate->m_invokeResult = DISP_E_MEMBERNOTFOUND;
  result = VARIANT_TRUE;
  EXPECT_EQ(updater->Update(dispatch.Get(), &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(result, VARIANT_FALSE);
  certificate->m_invokeResult = S_OK;
  certificate->m_text = L"QU*D";
  result = VARIANT_TRUE;
  EXPECT_EQ(updater->Update(dispatch.Get(), &result), static_cast<HRESULT>(0x800B2002));
  EXPECT_EQ(result, VARIANT_FALSE);
}

TEST(TraceMessage, CutsLongLinesAndKeepsTheLastError) {
  const std::string url(600, 'u');
  CTraceCapture trace;
  ::SetLastError(1234);
  lorvex::TraceMessage("CRLUPDATE! UpdateCRL: download from %s failed", url.c_str());
  EXPECT_EQ(::GetLastError(), 1234u);
  lorvex::TraceMessage("CRLUPDATE! short %d", 7);
  const std::vector<std::string> strings = trace.Strings();
  ASSERT_EQ(strings.size(), 2u);
  EXPECT_EQ(strings[0], ("CRLUPDATE! UpdateCRL: download from " + url).substr(0, 511));
  EXPECT_EQ(strings[1], "CRLUPDATE! short 7\n");
}

TEST(DeleteFileFromCache, RetriesWhileTheFileIsInUse) {
  char folder[MAX_PATH] = {}, path[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, folder);
  ::GetTempFileNameA(folder, "crl", 0, path);
  qwin::CFileHandle inUse(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(inUse);
  std::thread release([&inUse] {
    ::Sleep(300);
    inUse.Reset();
  });
  CTraceCapture trace;
  const DWORD start = ::GetTickCount();
  lorvex::DeleteFileFromCache(path);
  const DWORD elapsed = ::GetTickCount() - start;
  release.join();
  EXPECT_EQ(::GetFileAttributesA(path), INVALID_FILE_ATTRIBUTES);
  EXPECT_LT(elapsed, 5000u);
  const std::vector<std::string> lines = trace.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "CRLUPDATE! DeleteFileFromCache : failed to remove cache file - trying once more");
  EXPECT_EQ(lines.back(), "CRLUPDATE! DeleteFileFromCache : cache file removed");
}

TEST(DeleteFileFromCache, LeavesPathsBeginningWithBackslashAlone) {
  CTraceCapture trace;
  lorvex::DeleteFileFromCache("\\no\\such\\file.crl");
  EXPECT_TRUE(TraceMatches(trace.Lines(), {"CRLUPDATE! DeleteFileFromCache : cache file removed"}));
}

}  // namespace
}  // namespace lorvex_test
