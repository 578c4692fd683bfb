#include "ComPtr.h"

namespace qcom {

CBstr CBstr::FromAnsi(const std::string& text) {
  CBstr result;
  std::wstring wide = AnsiToWide(text);
  result.Attach(::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  return result;
}

std::string BstrToAnsi(const wchar_t* text) {
  if (!text || !*text) return std::string();
  int size = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = static_cast<int>(text.size());
  int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, &out[0], size);
  return out;
}

}  // namespace qcom
