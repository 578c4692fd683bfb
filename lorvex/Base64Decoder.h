// The library's own base64 decoder. Its format is a line-oriented one:
// lines of at most 80 characters, decoding in blocks of 64 characters, "-" as
// a block break, and an unfinished tail without padding dropped. Certificates
// handed in as text and CRL files are both read through it.
#pragma once

#include <cstdint>

namespace lorvex {

// Outcome codes; they become the thread's last-error value.
constexpr uint32_t kBase64Ok = 0;
constexpr uint32_t kBase64BadArguments = 160;      // ERROR_BAD_ARGUMENTS
constexpr uint32_t kBase64MoreData = 234;          // ERROR_MORE_DATA
constexpr uint32_t kBase64BadEncode = 0x80092002u;  // CRYPT_E_BAD_ENCODE

// Decodes count characters of text. With out null only the decoded length is
// computed; otherwise *length holds the capacity of out on entry. On return
// *length is the full decoded length (also when out was too small, which gives
// kBase64MoreData), or 0 after a bad encoding.
uint32_t DecodeBase64(const char* text, uint32_t count, unsigned char* out, uint32_t* length);

// True when the first 200 bytes (fewer if shorter) are all within 0x0A..0x7A,
// the range of base64 text with its line ends. An empty buffer qualifies.
bool LooksLikeBase64Text(const unsigned char* data, uint32_t size);

}  // namespace lorvex
