// base64_decode against CryptStringToBinaryA over the base64 body of a
// 20 MB CRL-sized blob (64-character lines, CR LF), in the same run.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "Base64.h"

namespace {

constexpr DWORD kBlobSize = 20 * 1024 * 1024;
constexpr int kRounds = 5;

std::string Base64Body() {
  std::vector<BYTE> blob(kBlobSize);
  std::mt19937 random(20);
  for (BYTE& b : blob) b = static_cast<BYTE>(random());
  DWORD length = 0;
  ::CryptBinaryToStringA(blob.data(), kBlobSize, CRYPT_STRING_BASE64, nullptr, &length);
  std::string text(length, '\0');
  ::CryptBinaryToStringA(blob.data(), kBlobSize, CRYPT_STRING_BASE64, &text[0], &length);
  text.resize(length);
  return text;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Best time of a few rounds of decode().
template <class Decode>
double BestSeconds(Decode decode) {
  double best = 1e9;
  for (int i = 0; i < kRounds; ++i) {
    LARGE_INTEGER start, end;
    ::QueryPerformanceCounter(&start);
    const bool ok = decode();
    ::QueryPerformanceCounter(&end);
    if (!ok) return -1;
    best = std::min(best, Seconds(start, end));
  }
  return best;
}

}  // namespace

int main() {
  const std::string text = Base64Body();
  const DWORD count = static_cast<DWORD>(text.size());
  std::vector<BYTE> out(kBlobSize);

  const double library = BestSeconds([&] {
    DWORD length = kBlobSize;
    return lorvex::base64_decode(text.data(), count, out.data(), &length) && length == kBlobSize;
  });
  const double crypt32 = BestSeconds([&] {
    DWORD length = kBlobSize;
    return ::CryptStringToBinaryA(text.data(), count, CRYPT_STRING_BASE64, out.data(), &length, nullptr, nullptr) &&
           length == kBlobSize;
  });
  if (library <= 0 || crypt32 <= 0) {
    std::printf("decoding failed\n");
    return 1;
  }
  const double megabytes = static_cast<double>(count) / (1024.0 * 1024.0);
  std::printf("base64 text: %.1f MB (decodes to %lu bytes), best of %d rounds\n", megabytes, kBlobSize, kRounds);
  std::printf("base64_decode:        %8.1f MB/s\n", megabytes / library);
  std::printf("CryptStringToBinaryA: %8.1f MB/s\n", megabytes / crypt32);
  std::printf("ratio base64_decode / CryptStringToBinaryA: %.2fx (target >= 1.0x)\n", crypt32 / library);
  return 0;
}
