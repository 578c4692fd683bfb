#include "BadInput.h"

#include <algorithm>
#include <sstream>

namespace qtest {

std::wstring MegabyteText(wchar_t fill) { return std::wstring(512 * 1024, fill); }

std::wstring EmbeddedNulText(const wchar_t* before, const wchar_t* after) {
  std::wstring text(before);
  text.push_back(L'\0');
  text += after;
  return text;
}

std::wstring NonAsciiText() { return L"\u0661\u65E5\u0416\U0001F600"; }

CExpectation Exactly(HRESULT hr) { return {Answer::kExactly, {hr}}; }
CExpectation OneOf(std::vector<HRESULT> hrs) { return {Answer::kOneOf, std::move(hrs)}; }
CExpectation Is(Answer answer) { return {answer, {}}; }

namespace {

std::string Hex(HRESULT hr) {
  std::ostringstream text;
  text << "0x" << std::hex << static_cast<unsigned long>(hr);
  return text.str();
}

bool Holds(const std::vector<HRESULT>& hrs, HRESULT hr) { return std::find(hrs.begin(), hrs.end(), hr) != hrs.end(); }

bool Satisfies(const COutcome& outcome, const CExpectation& expectation) {
  switch (expectation.answer) {
    case Answer::kExactly:
    case Answer::kOneOf: return Holds(expectation.hrs, outcome.hr);
    case Answer::kFailed: return FAILED(outcome.hr);
    case Answer::kFailedOrNo: return FAILED(outcome.hr) || (outcome.hr == S_OK && outcome.result == 0);
    case Answer::kLoggedFailure: return outcome.hr == S_OK && outcome.result == 0;
    case Answer::kLogged: return outcome.hr == S_OK && (outcome.result == 0 || outcome.result == 1);
    case Answer::kAny: return true;
  }
  return false;
}

}  // namespace

::testing::AssertionResult Meets(const COutcome& outcome, const CExpectation& expectation) {
  if (Satisfies(outcome, expectation)) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  failure << "answered " << Hex(outcome.hr) << " with result " << outcome.result << "; wanted";
  for (HRESULT hr : expectation.hrs) failure << " " << Hex(hr);
  return failure << " (kind " << static_cast<int>(expectation.answer) << ")";
}

CInvokeArgs::~CInvokeArgs() {
  for (VARIANT& value : m_values) ::VariantClear(&value);
  for (VARIANT& out : m_outs) ::VariantClear(&out);
  for (BSTR text : m_bstrs) ::SysFreeString(text);
}

VARIANT& CInvokeArgs::Add() {
  VARIANT& value = m_values.emplace_back();
  ::VariantInit(&value);
  return value;
}

CInvokeArgs& CInvokeArgs::Text(const std::wstring& text) {
  VARIANT& value = Add();
  value.vt = VT_BSTR;
  value.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *this;
}

CInvokeArgs& CInvokeArgs::TextByRef(const std::wstring& text) {
  BSTR& target = m_bstrs.emplace_back(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  VARIANT& value = Add();
  value.vt = VT_BYREF | VT_BSTR;
  value.pbstrVal = &target;
  return *this;
}

CInvokeArgs& CInvokeArgs::Long(long number) {
  VARIANT& value = Add();
  value.vt = VT_I4;
  value.lVal = number;
  return *this;
}

CInvokeArgs& CInvokeArgs::LongByRef(long number) {
  long& target = m_longs.emplace_back(number);
  VARIANT& value = Add();
  value.vt = VT_BYREF | VT_I4;
  value.plVal = &target;
  return *this;
}

CInvokeArgs& CInvokeArgs::Out() {
  VARIANT& target = m_outs.emplace_back();
  ::VariantInit(&target);
  VARIANT& value = Add();
  value.vt = VT_BYREF | VT_VARIANT;
  value.pvarVal = &target;
  return *this;
}

CInvokeArgs& CInvokeArgs::OutByValue() {
  Add();
  return *this;
}

CInvokeArgs& CInvokeArgs::WrongType() {
  VARIANT& value = Add();
  value.vt = VT_ARRAY | VT_I4;
  value.parray = ::SafeArrayCreateVector(VT_I4, 0, 4);
  return *this;
}

CInvokeArgs& CInvokeArgs::Null() {
  Add().vt = VT_NULL;
  return *this;
}

DISPPARAMS CInvokeArgs::Params() {
  m_reversed.assign(m_values.rbegin(), m_values.rend());
  return {m_reversed.empty() ? nullptr : m_reversed.data(), nullptr, static_cast<UINT>(m_reversed.size()), 0};
}

COutcome CallInvoke(IDispatch* dispatch, DISPID id, WORD flags, CInvokeArgs& args) {
  DISPPARAMS params = args.Params();
  VARIANT result;
  ::VariantInit(&result);
  EXCEPINFO exception = {};
  UINT argError = 0;
  COutcome outcome;
  outcome.hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, &exception, &argError);
  if (result.vt == VT_I4) outcome.result = result.lVal;
  if (result.vt == VT_BOOL) outcome.result = result.boolVal == VARIANT_FALSE ? 0 : 1;
  ::VariantClear(&result);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return outcome;
}

void RunCases(const std::vector<CCase>& cases) {
  for (const CCase& row : cases) {
    EXPECT_TRUE(Meets(row.call(), row.expectation)) << row.label;
  }
}

std::vector<CCase> DispatchFrameCases(IDispatch* dispatch, DISPID anyMethod) {
  std::vector<CCase> cases;
  const CExpectation notFound = Exactly(DISP_E_MEMBERNOTFOUND);
  for (DISPID unknown : {DISPID(0), DISPID(-1), DISPID(19), DISPID(0x7FFFFFFF), DISPID(0x80000000)}) {
    cases.push_back({"unknown DISPID " + std::to_string(unknown),
                     [=] {
                       CInvokeArgs none;
                       return CallInvoke(dispatch, unknown, DISPATCH_METHOD, none);
                     },
                     OneOf({DISP_E_MEMBERNOTFOUND, DISP_E_UNKNOWNNAME})});
  }
  cases.push_back({"method invoked as property put", [=] {
                     CInvokeArgs one;
                     one.Long(1);
                     return CallInvoke(dispatch, anyMethod, DISPATCH_PROPERTYPUT, one);
                   }, notFound});
  cases.push_back({"null DISPPARAMS", [=] {
                     VARIANT result;
                     ::VariantInit(&result);
                     COutcome outcome;
                     outcome.hr = dispatch->Invoke(anyMethod, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr,
                                                   &result, nullptr, nullptr);
                     ::VariantClear(&result);
                     return outcome;
                   }, OneOf({E_INVALIDARG, E_POINTER, DISP_E_PARAMNOTOPTIONAL, DISP_E_BADPARAMCOUNT})});
  cases.push_back({"GetIDsOfNames with null names", [=] {
                     DISPID id = 0;
                     return COutcome{dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id)};
                   }, OneOf({E_INVALIDARG, E_POINTER})});
  cases.push_back({"GetTypeInfo into null", [=] { return COutcome{dispatch->GetTypeInfo(0, 0, nullptr)}; },
                   Exactly(E_POINTER)});
  cases.push_back({"GetTypeInfoCount into null", [=] { return COutcome{dispatch->GetTypeInfoCount(nullptr)}; },
                   Exactly(E_POINTER)});
  return cases;
}

}  // namespace qtest
