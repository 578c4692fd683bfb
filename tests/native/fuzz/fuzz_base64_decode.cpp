// Decodes arbitrary bytes the way the library's callers do: a first pass
// with no buffer for the length, then a second into a buffer of exactly that
// length, and once more into a buffer one byte short. The text lives in a
// buffer of its own size so that a read past its end is caught, and guard
// bytes after each output buffer must come out untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "Base64Decoder.h"

namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 16;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Decodes into a buffer of `capacity` bytes followed by guard bytes, which
// must survive; answers the outcome and the length reported.
uint32_t DecodeInto(const char* text, uint32_t count, uint32_t capacity, uint32_t* length) {
  std::vector<unsigned char> out(capacity + kGuardBytes, kGuard);
  *length = capacity;
  const uint32_t outcome = lorvex::DecodeBase64(text, count, out.data(), length);
  for (std::size_t i = capacity; i < out.size(); ++i) Check(out[i] == kGuard);
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > UINT32_MAX) return 0;
  // A heap copy of exactly `size` bytes: one byte read too far is an error.
  std::unique_ptr<char[]> text(new char[size == 0 ? 1 : size]);
  if (size != 0) std::memcpy(text.get(), data, size);
  const uint32_t count = static_cast<uint32_t>(size);

  uint32_t needed = 0x12345678;  // capacity is ignored without a buffer
  const uint32_t first = lorvex::DecodeBase64(text.get(), count, nullptr, &needed);
  if (first != lorvex::kBase64Ok) {
    Check(first == lorvex::kBase64BadEncode && needed == 0);
    return 0;
  }
  // Three bytes at most for every four characters.
  Check(needed <= count / 4 * 3);

  uint32_t written = 0;
  Check(DecodeInto(text.get(), count, needed, &written) == lorvex::kBase64Ok);
  Check(written == needed);

  if (needed != 0) {
    uint32_t reported = 0;
    Check(DecodeInto(text.get(), count, needed - 1, &reported) == lorvex::kBase64MoreData);
    Check(reported == needed);
  }
  lorvex::LooksLikeBase64Text(reinterpret_cast<const unsigned char*>(text.get()), count);
  return 0;
}
