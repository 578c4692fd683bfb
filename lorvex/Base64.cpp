#include "Base64.h"

#include "Base64Decoder.h"
#include "Com/ComBoundary.h"

namespace lorvex {

BOOL base64_decode(const char* text, DWORD count, BYTE* out, DWORD* length) {
  uint32_t decoded = length ? *length : 0;
  const uint32_t result = DecodeBase64(text, count, out, length ? &decoded : nullptr);
  if (length) *length = decoded;
  ::SetLastError(result);
  return result == kBase64Ok;
}

bool AllocateBuffer(std::vector<BYTE>& buffer, DWORD size) {
  const HRESULT hr = qcom::ComBoundary([&] {
    buffer.assign(size, 0);
    return S_OK;
  });
  if (SUCCEEDED(hr)) return true;
  buffer.clear();
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return false;
}

bool DecodeBase64Into(const char* text, DWORD count, DWORD length, std::vector<BYTE>& out) {
  if (!AllocateBuffer(out, length)) return false;
  if (!base64_decode(text, count, out.data(), &length)) {
    out.clear();
    return false;
  }
  return true;
}

bool DecodeBase64Text(const char* text, DWORD count, std::vector<BYTE>& out) {
  DWORD length = 0;
  if (!base64_decode(text, count, nullptr, &length)) return false;
  return DecodeBase64Into(text, count, length, out);
}

}  // namespace lorvex
