#define DBINITCONSTANTS  // the OLE DB GUIDs are defined once, here

#include "ProviderCommon.h"

namespace jet {

// {6E2C1F40-8A51-4C7B-9E0D-3B5A7C2D9F14}
const CLSID CLSID_JetStandIn = {0x6e2c1f40, 0x8a51, 0x4c7b, {0x9e, 0x0d, 0x3b, 0x5a, 0x7c, 0x2d, 0x9f, 0x14}};
// {00000602-0000-0010-8000-00AA006D2EA4}
const CLSID CLSID_AdoxCatalog = {0x00000602, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}};

std::string WideToUtf8(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  const int wideLength = static_cast<int>(length);
  int size = ::WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, wideLength, &result[0], size, nullptr, nullptr);
  return result;
}

std::string WideToUtf8(const std::wstring& text) { return WideToUtf8(text.data(), text.size()); }

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  std::wstring result(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, &result[0], size);
  return result;
}

wchar_t* TaskStringCopy(const std::wstring& text) {
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<wchar_t*>(::CoTaskMemAlloc(bytes));
  if (copy) memcpy(copy, text.c_str(), bytes);
  return copy;
}

HRESULT ReportFailure(HRESULT hr, const std::wstring& description) {
  return qcom::ReportComError(CLSID_JetStandIn, IID_NULL, description.c_str(), hr);
}

HRESULT ReportSqlFailure(const CSqlError& error, HRESULT generic) {
  const int kConstraint = 19;  // SQLITE_CONSTRAINT
  const HRESULT hr = error.code == kConstraint ? DB_E_INTEGRITYVIOLATION : generic;
  return ReportFailure(hr, Utf8ToWide(error.message));
}

}  // namespace jet
