// The pieces of the bad-input tables: the texts no caller should send, the
// argument lists of IDispatch::Invoke with their storage, and what a call
// must answer.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <climits>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qtest {

// 1 MB of text (512 Ki UTF-16 units of fill).
std::wstring MegabyteText(wchar_t fill = L'1');
// A zero inside: narrowing stops at it.
std::wstring EmbeddedNulText(const wchar_t* before, const wchar_t* after);
// Characters outside ASCII, none of them in the usual ANSI code pages.
std::wstring NonAsciiText();

// The 32-bit edges every long argument is called with.
constexpr long kEdgeLongs[] = {0, -1, LONG_MIN, LONG_MAX};

// What a call must answer.
enum class Answer {
  kExactly,        // the HRESULT of the case
  kOneOf,          // one of the HRESULTs of the case
  kFailed,         // any failure
  kFailedOrNo,     // a failure, or S_OK with a result of 0
  kLoggedFailure,  // S_OK with a result of 0
  kLogged,         // S_OK with a result of 0 or 1
  kAny,            // anything at all, as long as it returns
};

struct COutcome {
  HRESULT hr = E_UNEXPECTED;
  long result = -1;  // the [out, retval] value where there is one
};

struct CExpectation {
  Answer answer = Answer::kAny;
  std::vector<HRESULT> hrs;
};

CExpectation Exactly(HRESULT hr);
CExpectation OneOf(std::vector<HRESULT> hrs);
CExpectation Is(Answer answer);

::testing::AssertionResult Meets(const COutcome& outcome, const CExpectation& expectation);

// Arguments of one Invoke, in the caller's order; DISPPARAMS wants them
// last first, which Params() takes care of. Owns every value and the
// targets of the by-reference ones.
class CInvokeArgs {
 public:
  CInvokeArgs() = default;
  CInvokeArgs(const CInvokeArgs&) = delete;
  CInvokeArgs& operator=(const CInvokeArgs&) = delete;
  ~CInvokeArgs();

  CInvokeArgs& Text(const std::wstring& text);
  CInvokeArgs& TextByRef(const std::wstring& text);
  CInvokeArgs& Long(long value);
  CInvokeArgs& LongByRef(long value);
  // An [out] VARIANT, as script engines pass it.
  CInvokeArgs& Out();
  // An [out] VARIANT passed by value, which no engine should do.
  CInvokeArgs& OutByValue();
  // A type that no parameter takes and none converts to: an array of
  // integers (an array of bytes would pass for a text).
  CInvokeArgs& WrongType();
  CInvokeArgs& Null();  // VT_NULL

  DISPPARAMS Params();
  size_t Count() const { return m_values.size(); }

 private:
  VARIANT& Add();

  std::deque<VARIANT> m_values;
  std::deque<VARIANT> m_outs;
  std::deque<BSTR> m_bstrs;
  std::deque<long> m_longs;
  std::vector<VARIANT> m_reversed;
};

// Invoke as a script engine calls it; the answer and, when the result is an
// integer, its value.
COutcome CallInvoke(IDispatch* dispatch, DISPID id, WORD flags, CInvokeArgs& args);

// One row of a table: a label, the call, and what it must answer.
struct CCase {
  std::string label;
  std::function<COutcome()> call;
  CExpectation expectation;
};

// Runs the rows, each answering as its row says.
void RunCases(const std::vector<CCase>& cases);

// The rows every dispatch interface shares: unknown identifiers, a null
// DISPPARAMS, and a method asked for as a property put.
std::vector<CCase> DispatchFrameCases(IDispatch* dispatch, DISPID anyMethod);

}  // namespace qtest
