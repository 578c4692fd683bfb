// Every member of CRLUpdate, through the vtable and through Invoke, with
// input no caller should send: each call answers, the system certificate
// stores stay as they were, and the table leaks nothing.
#include <gtest/gtest.h>

#include <climits>

#include "BadInput.h"
#include "ProcessCounters.h"
#include "TestSupport.h"

namespace lorvex_test {
namespace {

using qtest::Answer;
using qtest::CCase;
using qtest::CInvokeArgs;
using qtest::COutcome;
using qtest::Exactly;
using qtest::Is;
using qtest::OneOf;

// Every certificate and CRL of the two system stores at both locations.
std::string StoreContents() {
  std::string contents;
  for (DWORD location : {CERT_SYSTEM_STORE_CURRENT_USER, CERT_SYSTEM_STORE_LOCAL_MACHINE}) {
    for (const wchar_t* name : {L"ROOT", L"CA"}) {
      HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG, name);
      if (!store) continue;
      PCCERT_CONTEXT certificate = nullptr;
      while ((certificate = ::CertEnumCertificatesInStore(store, certificate)) != nullptr) {
        contents += "cert " + std::to_string(certificate->cbCertEncoded) + ";";
      }
      PCCRL_CONTEXT crl = nullptr;
      while ((crl = ::CertEnumCRLsInStore(store, crl)) != nullptr) {
        contents.append(reinterpret_cast<const char*>(crl->pbCrlEncoded), crl->cbCrlEncoded);
      }
      ::CertCloseStore(store, 0);
    }
  }
  return contents;
}

// A certificate automation object that answers DISPID 16 as told.
class CExporter : public IDispatch {
 public:
  explicit CExporter(HRESULT hr, VARTYPE type, const wchar_t* text) : m_hr(hr), m_type(type), m_text(text) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (FAILED(m_hr)) return m_hr;
    if (!result) return S_OK;
    result->vt = m_type;
    if (m_type == VT_BSTR) result->bstrVal = m_text ? ::SysAllocString(m_text) : nullptr;
    if (m_type == VT_I4) result->lVal = 42;
    return S_OK;
  }

 private:
  HRESULT m_hr;
  VARTYPE m_type;
  const wchar_t* m_text;
};

COutcome Base64(ICRLUpdate* updater, const std::wstring& text, bool nullResult = false) {
  qcom::CBstr certificate;
  certificate.Attach(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  VARIANT_BOOL result = VARIANT_TRUE;
  COutcome outcome;
  outcome.hr = updater->Update_BASE64(certificate.Get(), nullResult ? nullptr : &result);
  outcome.result = result == VARIANT_FALSE ? 0 : 1;
  return outcome;
}

COutcome Binary(ICRLUpdate* updater, unsigned char* bytes, long size, bool nullResult = false) {
  VARIANT_BOOL result = VARIANT_TRUE;
  COutcome outcome;
  outcome.hr = updater->Update_BINARY(bytes, size, nullResult ? nullptr : &result);
  outcome.result = result == VARIANT_FALSE ? 0 : 1;
  return outcome;
}

COutcome FromObject(ICRLUpdate* updater, IDispatch* certificate, bool nullResult = false) {
  VARIANT_BOOL result = VARIANT_FALSE;
  COutcome outcome;
  outcome.hr = updater->Update(certificate, nullResult ? nullptr : &result);
  outcome.result = result == VARIANT_FALSE ? 0 : 1;
  return outcome;
}

// A failure with VARIANT_FALSE: what every bad certificate must give.
const qtest::CExpectation kRefused = Is(Answer::kFailedOrNo);

std::vector<CCase> VtableCases(ICRLUpdate* u) {
  static unsigned char bytes[4] = {0x30, 0x03, 0x02, 0x01};
  static CExporter failing(E_FAIL, VT_EMPTY, nullptr), number(S_OK, VT_I4, nullptr), nullText(S_OK, VT_BSTR, nullptr),
      junk(S_OK, VT_BSTR, L"QU*D"), megabyte(S_OK, VT_BSTR, nullptr);
  std::vector<CCase> cases = {
      {"Update_BASE64 into null", [=] { return Base64(u, L"MIIB", true); }, Exactly(E_POINTER)},
      {"Update_BASE64 null text", [=] {
         VARIANT_BOOL result = VARIANT_TRUE;
         return COutcome{u->Update_BASE64(nullptr, &result), result ? 1 : 0};
       }, kRefused},
      {"Update_BASE64 empty", [=] { return Base64(u, L""); }, kRefused},
      {"Update_BASE64 1 MB of 'A'", [=] { return Base64(u, qtest::MegabyteText(L'A')); }, kRefused},
      {"Update_BASE64 1 MB of '*'", [=] { return Base64(u, qtest::MegabyteText(L'*')); }, kRefused},
      {"Update_BASE64 zero inside", [=] { return Base64(u, qtest::EmbeddedNulText(L"MII", L"BAAA")); }, kRefused},
      {"Update_BASE64 non-ASCII", [=] { return Base64(u, qtest::NonAsciiText()); }, kRefused},
      {"Update_BASE64 invalid group", [=] { return Base64(u, L"QU*D"); }, Exactly(static_cast<HRESULT>(0x800B2002))},
      {"Update_BINARY into null", [=] { return Binary(u, bytes, 4, true); }, Exactly(E_POINTER)},
      {"Update_BINARY null, size 0", [=] { return Binary(u, nullptr, 0); }, kRefused},
      {"Update_BINARY bytes, size 0", [=] { return Binary(u, bytes, 0); }, kRefused},
      {"Update_BINARY no certificate", [=] { return Binary(u, bytes, 4); }, kRefused},
      {"Update with null object", [=] { return FromObject(u, nullptr); }, Exactly(E_POINTER)},
      {"Update into null", [=] { return FromObject(u, &junk, true); }, Exactly(E_POINTER)},
      {"Update whose export fails", [=] { return FromObject(u, &failing); }, kRefused},
      {"Update whose export is a number", [=] { return FromObject(u, &number); }, kRefused},
      {"Update whose export is a null text", [=] { return FromObject(u, &nullText); }, kRefused},
      {"Update whose export does not decode", [=] { return FromObject(u, &junk); }, kRefused},
      {"UpdateInterval into null", [=] { return COutcome{u->get_UpdateInterval(nullptr)}; }, Exactly(E_POINTER)},
      {"StoreLocation into null", [=] { return COutcome{u->get_StoreLocation(nullptr)}; }, Exactly(E_POINTER)},
  };
  for (long size : {-1L, LONG_MIN, LONG_MAX, 1L}) {
    cases.push_back({"Update_BINARY null, size " + std::to_string(size), [=] { return Binary(u, nullptr, size); },
                     Exactly(E_INVALIDARG)});
  }
  for (long size : {-1L, LONG_MIN}) {
    cases.push_back({"Update_BINARY bytes, size " + std::to_string(size), [=] { return Binary(u, bytes, size); },
                     Exactly(E_INVALIDARG)});
  }
  for (long value : qtest::kEdgeLongs) {
    cases.push_back({"UpdateInterval " + std::to_string(value), [=] {
                       long back = 0;
                       EXPECT_EQ(S_OK, u->put_UpdateInterval(value));
                       EXPECT_EQ(S_OK, u->get_UpdateInterval(&back));
                       EXPECT_EQ(value, back);
                       return COutcome{u->put_UpdateInterval(0)};
                     }, Exactly(S_OK)});
  }
  for (long value : {2L, -1L, LONG_MIN, LONG_MAX}) {
    cases.push_back({"StoreLocation " + std::to_string(value), [=] {
                       SYSTEM_STORE_LOCATION back = SYSTEM_STORE_LOCAL_MACHINE;
                       const HRESULT hr = u->put_StoreLocation(static_cast<SYSTEM_STORE_LOCATION>(value));
                       EXPECT_EQ(S_OK, u->get_StoreLocation(&back));
                       EXPECT_EQ(SYSTEM_STORE_CURRENT_USER, back) << "a refused value leaves the old one";
                       return COutcome{hr};
                     }, Exactly(E_INVALIDARG)});
  }
  return cases;
}

std::vector<CCase> InvokeCases(IDispatch* d) {
  const auto call = [d](DISPID id, WORD flags, std::function<void(CInvokeArgs&)> fill) {
    return [=] {
      CInvokeArgs args;
      fill(args);
      return qtest::CallInvoke(d, id, flags, args);
    };
  };
  const WORD method = DISPATCH_METHOD, get = DISPATCH_PROPERTYGET;
  const qtest::CExpectation failedCall = OneOf({DISP_E_EXCEPTION});
  std::vector<CCase> cases = {
      {"Update_BASE64 1 MB", call(1, method, [](CInvokeArgs& a) { a.Text(qtest::MegabyteText(L'A')); }), Is(Answer::kAny)},
      {"Update_BASE64 by reference", call(1, method, [](CInvokeArgs& a) { a.TextByRef(L"QU*D"); }), Is(Answer::kAny)},
      {"Update_BASE64 wrong type", call(1, method, [](CInvokeArgs& a) { a.WrongType(); }), Exactly(DISP_E_TYPEMISMATCH)},
      {"Update_BASE64 no arguments", call(1, method, [](CInvokeArgs&) {}),
       OneOf({DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL})},
      {"Update_BASE64 too many", call(1, method, [](CInvokeArgs& a) { a.Text(L"QU*D").Long(0); }),
       Exactly(DISP_E_BADPARAMCOUNT)},
      {"Update_BINARY a number for the bytes", call(2, method, [](CInvokeArgs& a) { a.Long(0).Long(LONG_MAX); }),
       Is(Answer::kAny)},
      {"Update_BINARY wrong type", call(2, method, [](CInvokeArgs& a) { a.WrongType().Long(4); }), Is(Answer::kAny)},
      {"Update_BINARY one argument", call(2, method, [](CInvokeArgs& a) { a.Long(4); }),
       OneOf({DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL})},
      {"Update null object", call(4, method, [](CInvokeArgs& a) { a.Null(); }), Is(Answer::kAny)},
      {"Update a text for the object", call(4, method, [](CInvokeArgs& a) { a.Text(L"MIIB"); }),
       Exactly(DISP_E_TYPEMISMATCH)},
      {"Update no arguments", call(4, method, [](CInvokeArgs&) {}),
       OneOf({DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL})},
      {"UpdateInterval get with an argument", call(3, get, [](CInvokeArgs& a) { a.Long(1); }),
       OneOf({DISP_E_BADPARAMCOUNT, DISP_E_NOTACOLLECTION})},
      {"StoreLocation get with an argument", call(5, get, [](CInvokeArgs& a) { a.Long(1); }),
       OneOf({DISP_E_BADPARAMCOUNT, DISP_E_NOTACOLLECTION})},
  };
  for (long value : {2L, -1L, LONG_MIN, LONG_MAX}) {
    cases.push_back({"StoreLocation put " + std::to_string(value), [=] {
                       VARIANT argument;
                       argument.vt = VT_I4;
                       argument.lVal = value;
                       DISPID named = DISPID_PROPERTYPUT;
                       DISPPARAMS put = {&argument, &named, 1, 1};
                       EXCEPINFO exception = {};
                       COutcome outcome;
                       outcome.hr = d->Invoke(5, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr,
                                              &exception, nullptr);
                       ::SysFreeString(exception.bstrSource);
                       ::SysFreeString(exception.bstrDescription);
                       ::SysFreeString(exception.bstrHelpFile);
                       return outcome;
                     }, OneOf({E_INVALIDARG, DISP_E_EXCEPTION})});
  }
  std::vector<CCase> frame = qtest::DispatchFrameCases(d, 1);
  cases.insert(cases.end(), frame.begin(), frame.end());
  return cases;
}

TEST(BadInput, EveryMemberAnswersAndTheStoresStayAsTheyWere) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  // Invoke needs the type library embedded in the module, so the object
  // comes from the registered library there.
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Lorvex.CRLUpdate", &clsid));
  qcom::CComPtr<IDispatch> dispatch;
  ASSERT_EQ(S_OK, ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch.PutVoid()));
  const std::string before = StoreContents();
  const std::vector<CCase> vtable = VtableCases(updater.Get());
  const std::vector<CCase> invoke = InvokeCases(dispatch.Get());
  qtest::RunCases(vtable);
  qtest::RunCases(invoke);
  EXPECT_EQ(before, StoreContents());
  qtest::ExpectFlatUnderLoad("CRLUpdate bad-input table", 0, 3, [&] {
    qtest::RunCases(vtable);
    qtest::RunCases(invoke);
  });
}

// --- soak ---------------------------------------------------------------------------------

constexpr int kQuickCalls = 10000;
// An update that reaches the loopback server takes some milliseconds under
// the test's debugger; fewer keep the soak within a minute.
constexpr int kServedCalls = 300;

TEST(Soak, PropertiesAndUpdatesThatEndEarly) {
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater();
  Bytes noCertificate = {0x30, 0x03, 0x02, 0x01};
  qtest::ExpectFlatUnderLoad("CRLUpdate properties", 100, kQuickCalls, [&] {
    long interval = 0;
    SYSTEM_STORE_LOCATION location;
    updater->put_UpdateInterval(3600);
    updater->get_UpdateInterval(&interval);
    updater->put_StoreLocation(SYSTEM_STORE_LOCAL_MACHINE);
    updater->put_StoreLocation(SYSTEM_STORE_CURRENT_USER);
    updater->get_StoreLocation(&location);
  });
  qtest::ExpectFlatUnderLoad("CRLUpdate base64 that does not decode", 100, kQuickCalls,
                             [&] { Base64(updater.Get(), L"QU*D"); });
  qtest::ExpectFlatUnderLoad("CRLUpdate bytes that are no certificate", 100, kQuickCalls,
                             [&] { UpdateBinary(updater.Get(), noCertificate); });
}

TEST(Soak, UpdatesThatEndAtTheIssuer) {
  CStoreStandIn stores;  // no issuer in "ROOT"
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(stores);
  const Bytes leaf = ReadPkiFile("leaf_cdp.cer");
  qtest::ExpectFlatUnderLoad("CRLUpdate without issuer", 50, kQuickCalls / 4,
                             [&] { EXPECT_NE(S_OK, UpdateBinary(updater.Get(), leaf).hr); });
}

TEST(Soak, UpdatesFromTheLoopbackServer) {
  CStoreStandIn stores;
  stores.AddCertificate(0, ReadPkiFile("ca.cer"));
  Serve("ca_new.crl");
  qcom::CComPtr<ICRLUpdate> updater = NewUpdater(stores);
  updater->put_UpdateInterval(0);
  const Bytes leaf = ReadPkiFile("leaf_cdp.cer");
  qtest::ExpectFlatUnderLoad("CRLUpdate from the loopback server", 20, kServedCalls, [&] {
    CUpdateResult outcome = UpdateBinary(updater.Get(), leaf);
    EXPECT_EQ(S_OK, outcome.hr);
  });
  StopServing();
}

}  // namespace
}  // namespace lorvex_test
