// Every method of QarnUtil's two objects, through the vtable and through
// IDispatch::Invoke, with input no caller should send: each call answers,
// changes nothing (product registry, metabase, application folder) and,
// over the whole table, leaks nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "BadInput.h"
#include "InstallerTestSupport.h"
#include "ProcessCounters.h"
#include "Win32/Handles.h"

namespace {

using qcom::CBstr;
using qtest::Answer;
using qtest::CCase;
using qtest::CInvokeArgs;
using qtest::COutcome;
using qtest::Exactly;
using qtest::Is;
using qtest::OneOf;

const char kProductLineKey[] = "SOFTWARE\\QARN Vesmoro";
const long kOutOfRangeProducts[] = {20, -1, LONG_MIN, LONG_MAX};
constexpr long kMembership = 5;
constexpr long kKestro = 8;

// --- state ----------------------------------------------------------------------------

void DescribeKey(HKEY parent, const std::string& path, std::string& out) {
  qwin::CRegKey key;
  if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return;
  out += "[" + path + "]\n";
  char name[16384];
  std::vector<BYTE> data(65536);
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name, type = 0, dataSize = static_cast<DWORD>(data.size());
    if (::RegEnumValueA(key.Get(), i, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS) break;
    out += std::string(name, nameSize) + " " + std::to_string(type) + " " +
           std::string(reinterpret_cast<const char*>(data.data()), dataSize) + "\n";
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    DWORD nameSize = sizeof name;
    if (::RegEnumKeyExA(key.Get(), i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.emplace_back(name, nameSize);
  }
  for (const std::string& child : children) DescribeKey(parent, path + "\\" + child, out);
}

void DescribeFolder(const std::string& folder, std::string& out) {
  WIN32_FIND_DATAA found;
  qwin::CFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &found));
  if (!find) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    out += folder + "\\" + name + " " + std::to_string(found.nFileSizeLow) + "\n";
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) DescribeFolder(folder + "\\" + name, out);
  } while (::FindNextFileA(find.Get(), &found));
}

// --- the methods ------------------------------------------------------------------------

enum class Kind { kSite, kText, kLong, kProduct, kOut };

struct CMethod {
  DISPID id;
  const char* name;
  std::vector<Kind> args;
};

const CMethod kMethods[] = {
    {1, "InstallVesmoro", {Kind::kSite, Kind::kOut}},
    {2, "UnInstallVesmoro", {Kind::kSite, Kind::kOut}},
    {3, "IsVesmoroInstalled", {Kind::kSite}},
    {4, "InstallProduct", {Kind::kProduct, Kind::kSite, Kind::kOut}},
    {5, "UnInstallProduct", {Kind::kProduct, Kind::kSite, Kind::kOut}},
    {6, "IsProductInstalled", {Kind::kProduct, Kind::kSite}},
    {7, "IsProductInstalledOnServer", {Kind::kProduct, Kind::kOut}},
    {8, "GetConfigFileName", {Kind::kSite}},
    {9, "SetConfigFileName", {Kind::kSite, Kind::kText, Kind::kLong, Kind::kOut}},
    {10, "GetAccessProtectedFilesAs", {Kind::kSite}},
    {11, "SetAccessProtectedFilesAs", {Kind::kSite, Kind::kText, Kind::kOut}},
    {12, "GetAccessFreeFilesAsAnonymous", {Kind::kSite}},
    {13, "SetAccessFreeFilesAsAnonymous", {Kind::kSite, Kind::kLong, Kind::kOut}},
    {14, "GetDiskQuota", {Kind::kSite}},
    {15, "SetDiskQuota", {Kind::kSite, Kind::kLong, Kind::kOut}},
    {16, "GetDenyPhysicalPath", {Kind::kSite}},
    {17, "SetDenyPhysicalPath", {Kind::kSite, Kind::kLong, Kind::kOut}},
    {18, "CheckQarnMembership", {Kind::kSite, Kind::kOut}},
};

// Texts that name no site of the stand-in metabase (it has 1 and 3): in
// none of them is there a site to install on or a settings key to create.
std::vector<std::wstring> SitesThatAreNone() {
  return {qtest::MegabyteText(L'1'), qtest::MegabyteText(L'x'), qtest::EmbeddedNulText(L"9", L"1"),
          qtest::NonAsciiText()};
}

std::string Describe(const std::wstring& text) {
  if (text.size() > 64) return "1 MB of '" + std::string(1, static_cast<char>(text[0])) + "'";
  if (text.find(L'\0') != std::wstring::npos) return "text with a zero inside";
  if (text.empty()) return "empty text";
  return text[0] < 128 ? qcom::BstrToAnsi(text.c_str()) : "non-ASCII text";
}

bool TakesOut(const CMethod& method) {
  for (Kind kind : method.args) {
    if (kind == Kind::kOut) return true;
  }
  return false;
}

bool Takes(const CMethod& method, Kind wanted) {
  for (Kind kind : method.args) {
    if (kind == wanted) return true;
  }
  return false;
}

// The setters take any text as the name of their settings key.
bool IsSetter(const CMethod& method) { return method.id >= 9 && method.id % 2 == 1 && method.id <= 17; }

class BadInputTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    // With both product keys the product methods go as far as the site.
    AddProductKey("QarnMembership");
    AddProductKey("QarnKestro");
    // The setters open or create the site's settings key before they judge
    // the value; with the key in place a refused value changes nothing.
    qwin::CRegKey settings;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QARN Vesmoro\\Config\\1", 0, nullptr, 0,
                                               KEY_WRITE, nullptr, settings.Put(), nullptr));
    ASSERT_HRESULT_SUCCEEDED(m_installer.QueryInterface(IID_IDispatch, m_dispatch));
  }
  void TearDown() override {
    m_dispatch.Reset();
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QARN Vesmoro\\Config");
    InstallerTest::TearDown();
  }

  std::string State() {
    std::string state;
    DescribeKey(HKEY_LOCAL_MACHINE, kProductLineKey, state);
    DescribeFolder(m_applicationPath, state);
    return state + Dump();
  }

  // Runs the rows of one method; none of them may change anything.
  void RunLeavingStateAlone(const std::string& method, const std::vector<CCase>& cases) {
    SCOPED_TRACE(method);
    const std::string before = State();
    qtest::RunCases(cases);
    EXPECT_EQ(before, State()) << method << " changed what bad input must leave alone";
  }

  // --- through the vtable ---

  std::vector<CCase> VtableCases(const CMethod& method);
  std::vector<CCase> SiteCases(const CMethod& method, const std::wstring& site);
  std::vector<CCase> NullPointerCases(const CMethod& method);
  std::vector<CCase> ProductCases(const CMethod& method);
  std::vector<CCase> SettingValueCases(const CMethod& method);

  // Calls method with site and the other arguments given; out-pointers
  // point at storage unless nullOut says which (1 = first, 2 = second,
  // 3 = both) are null.
  COutcome CallVtable(const CMethod& method, const std::wstring* site, const std::wstring& text, long number,
                      long product, int nullOut = 0);

  // --- through Invoke ---

  std::vector<CCase> InvokeCases(const CMethod& method);

  qcom::CComPtr<IDispatch> m_dispatch;
};

COutcome BadInputTest::CallVtable(const CMethod& method, const std::wstring* site, const std::wstring& text,
                                  long number, long product, int nullOut) {
  CBstr siteText;
  if (site) siteText.Attach(::SysAllocStringLen(site->data(), static_cast<UINT>(site->size())));
  CBstr value;
  value.Attach(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  qcom::CVariant out;
  CBstr textOut;
  COutcome outcome;
  VARIANT* pOut = (nullOut & 1) ? nullptr : out.Put();
  long* pResult = (nullOut & 2) ? nullptr : &outcome.result;
  BSTR* pText = (nullOut & 2) ? nullptr : textOut.Put();
  const auto type = static_cast<ProductType>(product);
  IInstaller* o = m_installer.Get();
  BSTR s = siteText.Get();
  HRESULT& hr = outcome.hr;
  switch (method.id) {
    case 1: hr = o->InstallVesmoro(s, pOut, pResult); break;
    case 2: hr = o->UnInstallVesmoro(s, pOut, pResult); break;
    case 3: hr = o->IsVesmoroInstalled(s, pResult); break;
    case 4: hr = o->InstallProduct(type, s, pOut, pResult); break;
    case 5: hr = o->UnInstallProduct(type, s, pOut, pResult); break;
    case 6: hr = o->IsProductInstalled(type, s, pResult); break;
    case 7: hr = o->IsProductInstalledOnServer(type, pOut, pResult); break;
    case 8: hr = o->GetConfigFileName(s, pText); break;
    case 9: hr = o->SetConfigFileName(s, value.Get(), number, pOut, pResult); break;
    case 10: hr = o->GetAccessProtectedFilesAs(s, pText); break;
    case 11: hr = o->SetAccessProtectedFilesAs(s, value.Get(), pOut, pResult); break;
    case 12: hr = o->GetAccessFreeFilesAsAnonymous(s, pResult); break;
    case 13: hr = o->SetAccessFreeFilesAsAnonymous(s, number, pOut, pResult); break;
    case 14: hr = o->GetDiskQuota(s, pResult); break;
    case 15: hr = o->SetDiskQuota(s, number, pOut, pResult); break;
    case 16: hr = o->GetDenyPhysicalPath(s, pResult); break;
    case 17: hr = o->SetDenyPhysicalPath(s, number, pOut, pResult); break;
    case 18: hr = o->CheckQarnMembership(s, pOut, pResult); break;
    default: ADD_FAILURE() << "no method " << method.id;
  }
  // What a method hands out with S_OK is the caller's, in its declared type.
  if (hr == S_OK && pOut && TakesOut(method)) {
    EXPECT_EQ(VT_BSTR, out.Get().vt) << method.name;
  }
  if (hr == S_OK && (method.id == 8 || method.id == 10)) outcome.result = 0;
  return outcome;
}

// What a site that is none gives: methods with a log say 0 in it (the
// product removal, with nothing to remove, may say 1); queries fail or say
// no; the getters answer the defaults.
qtest::CExpectation NoSiteAnswer(const CMethod& method) {
  switch (method.id) {
    case 5: case 9: case 11: case 13: case 15: case 17: return Is(Answer::kLogged);
    case 3: case 6: case 18: return Is(Answer::kFailedOrNo);
    case 8: case 10: case 12: case 14: case 16: return Is(Answer::kAny);
    default: return Is(Answer::kLoggedFailure);
  }
}

std::vector<CCase> BadInputTest::SiteCases(const CMethod& method, const std::wstring& site) {
  std::vector<CCase> cases;
  if (!Takes(method, Kind::kSite)) return cases;
  const std::wstring text = site;  // a name or identity as bad as the site
  const long numbers[] = {0, -1, LONG_MIN, LONG_MAX};
  for (long number : Takes(method, Kind::kLong) ? std::vector<long>(std::begin(numbers), std::end(numbers))
                                                : std::vector<long>{1}) {
    for (long product : Takes(method, Kind::kProduct) ? std::vector<long>{kMembership, kKestro} : std::vector<long>{0}) {
      cases.push_back({std::string(method.name) + " site " + Describe(site) + " number " + std::to_string(number) +
                           " product " + std::to_string(product),
                       [=] { return CallVtable(method, &site, text, number, product); }, NoSiteAnswer(method)});
    }
  }
  return cases;
}

std::vector<CCase> BadInputTest::NullPointerCases(const CMethod& method) {
  std::vector<CCase> cases;
  const std::wstring site = L"1";
  for (int nullOut : TakesOut(method) ? std::vector<int>{1, 2, 3} : std::vector<int>{2}) {
    cases.push_back({std::string(method.name) + " null out-pointers " + std::to_string(nullOut),
                     [=] { return CallVtable(method, &site, L"x", 1, kMembership, nullOut); }, Exactly(E_POINTER)});
  }
  return cases;
}

std::vector<CCase> BadInputTest::ProductCases(const CMethod& method) {
  std::vector<CCase> cases;
  if (!Takes(method, Kind::kProduct)) return cases;
  const std::wstring site = L"1";
  // Codes outside the table: the log methods say so in the log, the
  // queries fail with E_FAIL.
  const bool logged = method.id == 4 || method.id == 5;
  for (long product : kOutOfRangeProducts) {
    const std::string expectedLog = std::string(method.id == 4 ? "Install" : "Uninstall") +
                                    " product\tFailed. Incorrect Product Type\n";
    cases.push_back({std::string(method.name) + " product " + std::to_string(product),
                     [=] {
                       COutcome outcome = CallVtable(method, &site, L"", 0, product);
                       return outcome;
                     },
                     logged ? Is(Answer::kLoggedFailure) : Exactly(E_FAIL)});
    if (logged) {
      cases.push_back({std::string(method.name) + " log of product " + std::to_string(product), [=] {
                         CBstr siteText(L"1");
                         qcom::CVariant log;
                         COutcome outcome;
                         outcome.hr = method.id == 4
                                          ? m_installer->InstallProduct(static_cast<ProductType>(product), siteText.Get(),
                                                                        log.Put(), &outcome.result)
                                          : m_installer->UnInstallProduct(static_cast<ProductType>(product),
                                                                          siteText.Get(), log.Put(), &outcome.result);
                         EXPECT_EQ(expectedLog, LogOf(log.Get()));
                         return outcome;
                       }, Is(Answer::kLoggedFailure)});
    }
  }
  return cases;
}

// The setters on a real site with values that ask to delete a setting that
// was never made: they fail in the log and must not leave a key behind.
std::vector<CCase> BadInputTest::SettingValueCases(const CMethod& method) {
  std::vector<CCase> cases;
  if (method.id != 15 && method.id != 17) return cases;
  const std::wstring site = L"1";
  for (long number : qtest::kEdgeLongs) {
    const bool deletes = method.id == 15 ? number < 1 : number == 0;
    if (!deletes) continue;
    cases.push_back({std::string(method.name) + " removing what is not there, " + std::to_string(number),
                     [=] { return CallVtable(method, &site, L"", number, 0); }, Is(Answer::kLoggedFailure)});
  }
  return cases;
}

std::vector<CCase> BadInputTest::VtableCases(const CMethod& method) {
  std::vector<CCase> cases = NullPointerCases(method);
  for (const std::wstring& site : SitesThatAreNone()) {
    if (IsSetter(method)) break;
    std::vector<CCase> more = SiteCases(method, site);
    cases.insert(cases.end(), more.begin(), more.end());
  }
  for (auto more : {ProductCases(method), SettingValueCases(method)}) cases.insert(cases.end(), more.begin(), more.end());
  return cases;
}

// --- through Invoke -----------------------------------------------------------------------

void AddArgument(CInvokeArgs& args, Kind kind, const std::wstring& site) {
  switch (kind) {
    case Kind::kSite: case Kind::kText: args.Text(site); break;
    case Kind::kLong: args.Long(LONG_MIN); break;
    case Kind::kProduct: args.Long(LONG_MAX); break;
    case Kind::kOut: args.Out(); break;
  }
}

// Arguments of the method, all bad; position `changed` replaced by `change`.
template <class Change>
void BuildArguments(CInvokeArgs& args, const CMethod& method, size_t changed, Change change) {
  const std::wstring site = qtest::MegabyteText(L'x');
  for (size_t i = 0; i < method.args.size(); ++i) {
    if (i == changed) {
      change(args, method.args[i], site);
    } else {
      AddArgument(args, method.args[i], site);
    }
  }
}

std::vector<CCase> BadInputTest::InvokeCases(const CMethod& method) {
  std::vector<CCase> cases;
  IDispatch* dispatch = m_dispatch.Get();
  const std::string name = std::string(method.name) + " by Invoke: ";
  const size_t none = static_cast<size_t>(-1);
  // Methods that fail with error information answer DISP_E_EXCEPTION.
  const qtest::CExpectation answered = OneOf({S_OK, DISP_E_EXCEPTION});
  cases.push_back({name + "bad values", [=] {
                     CInvokeArgs args;
                     BuildArguments(args, method, none, [](CInvokeArgs&, Kind, const std::wstring&) {});
                     return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                   }, answered});
  cases.push_back({name + "no arguments", [=] {
                     CInvokeArgs args;
                     return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                   }, OneOf({DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL})});
  cases.push_back({name + "one argument too many", [=] {
                     CInvokeArgs args;
                     BuildArguments(args, method, none, [](CInvokeArgs&, Kind, const std::wstring&) {});
                     args.Long(0);
                     return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                   }, Exactly(DISP_E_BADPARAMCOUNT)});
  for (size_t i = 0; i < method.args.size(); ++i) {
    const std::string at = " at " + std::to_string(i);
    if (method.args.size() > 1) {
      cases.push_back({name + "one argument too few", [=] {
                         CInvokeArgs args;
                         BuildArguments(args, method, none, [](CInvokeArgs&, Kind, const std::wstring&) {});
                         CInvokeArgs fewer;
                         for (size_t k = 0; k + 1 < method.args.size(); ++k) AddArgument(fewer, method.args[k], L"x");
                         return CallInvoke(dispatch, method.id, DISPATCH_METHOD, fewer);
                       }, OneOf({DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL})});
    }
    const Kind kind = method.args[i];
    if (kind == Kind::kOut) {
      cases.push_back({name + "[out] by value" + at, [=] {
                         CInvokeArgs args;
                         BuildArguments(args, method, i, [](CInvokeArgs& a, Kind, const std::wstring&) { a.OutByValue(); });
                         return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                       }, Is(Answer::kAny)});
      continue;
    }
    cases.push_back({name + "wrong type" + at, [=] {
                       CInvokeArgs args;
                       BuildArguments(args, method, i, [](CInvokeArgs& a, Kind, const std::wstring&) { a.WrongType(); });
                       return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                     }, Exactly(DISP_E_TYPEMISMATCH)});
    cases.push_back({name + "by reference" + at, [=] {
                       CInvokeArgs args;
                       BuildArguments(args, method, i, [](CInvokeArgs& a, Kind k, const std::wstring& site) {
                         if (k == Kind::kSite || k == Kind::kText) {
                           a.TextByRef(site);
                         } else {
                           a.LongByRef(k == Kind::kProduct ? LONG_MAX : -1);
                         }
                       });
                       return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                     }, answered});
    cases.push_back({name + "null" + at, [=] {
                       CInvokeArgs args;
                       BuildArguments(args, method, i, [](CInvokeArgs& a, Kind, const std::wstring&) { a.Null(); });
                       return CallInvoke(dispatch, method.id, DISPATCH_METHOD, args);
                     }, OneOf({S_OK, DISP_E_EXCEPTION, DISP_E_TYPEMISMATCH})});
  }
  return cases;
}

TEST_F(BadInputTest, EveryInstallerMethodAnswersAndChangesNothing) {
  for (const CMethod& method : kMethods) RunLeavingStateAlone(method.name, VtableCases(method));
  for (const CMethod& method : kMethods) RunLeavingStateAlone(method.name, InvokeCases(method));
  RunLeavingStateAlone("IDispatch", qtest::DispatchFrameCases(m_dispatch.Get(), 3));
}

// A setter makes the settings key its text names, whatever the text: the
// calls answer, and the state is theirs to change.
TEST_F(BadInputTest, SettersWithTextsThatNameNoSiteAnswer) {
  for (const CMethod& method : kMethods) {
    if (!IsSetter(method)) continue;
    for (const std::wstring& site : SitesThatAreNone()) qtest::RunCases(SiteCases(method, site));
  }
}

// The long arguments at their edges on a real site: the values are the
// caller's to choose, so state may change, but every call answers.
TEST_F(BadInputTest, EdgeNumbersOnARealSiteAnswer) {
  const std::wstring site = L"1";
  for (const CMethod& method : kMethods) {
    if (!Takes(method, Kind::kLong)) continue;
    for (long number : qtest::kEdgeLongs) {
      EXPECT_TRUE(qtest::Meets(CallVtable(method, &site, L"acl", number, 0), Is(Answer::kLogged)))
          << method.name << " " << number;
    }
  }
}

TEST_F(BadInputTest, TheTableLeaksNothing) {
  const auto table = [this] {
    for (const CMethod& method : kMethods) qtest::RunCases(VtableCases(method));
    for (const CMethod& method : kMethods) qtest::RunCases(InvokeCases(method));
    qtest::RunCases(qtest::DispatchFrameCases(m_dispatch.Get(), 3));
  };
  qtest::ExpectFlatUnderLoad("Installer bad-input table", 1, 2, table);
}

// --- the GUID object ----------------------------------------------------------------------

TEST(GuidBadInput, EveryCallAnswers) {
  CLSID guidClass = GUID_NULL;
  ASSERT_HRESULT_SUCCEEDED(::CLSIDFromProgID(L"QarnUtil.GUID", &guidClass));
  qcom::CComPtr<IGUID> guid;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(guidClass, nullptr, CLSCTX_INPROC_SERVER, IID_IGUID, guid.PutVoid()));
  qcom::CComPtr<IDispatch> dispatch;
  ASSERT_HRESULT_SUCCEEDED(guid.QueryInterface(IID_IDispatch, dispatch));
  constexpr DISPID kGenGuid = 0x60020000;
  IDispatch* d = dispatch.Get();
  std::vector<CCase> cases = qtest::DispatchFrameCases(d, kGenGuid);
  cases.push_back({"GenGUID into null", [&] { return COutcome{guid->get_GenGUID(nullptr)}; }, Exactly(E_POINTER)});
  // Arguments to a property get read as an index into its value.
  cases.push_back({"GenGUID with an argument", [=] {
                     CInvokeArgs args;
                     args.Text(qtest::MegabyteText());
                     return CallInvoke(d, kGenGuid, DISPATCH_PROPERTYGET, args);
                   }, OneOf({DISP_E_BADPARAMCOUNT, DISP_E_NOTACOLLECTION})});
  cases.push_back({"GenGUID put", [=] {
                     CInvokeArgs args;
                     args.Long(0);
                     return CallInvoke(d, kGenGuid, DISPATCH_PROPERTYPUT, args);
                   }, Exactly(DISP_E_MEMBERNOTFOUND)});
  qtest::RunCases(cases);
  qtest::ExpectFlatUnderLoad("GUID bad-input table", 1, 20, [&] { qtest::RunCases(cases); });
}

}  // namespace
