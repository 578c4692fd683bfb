// base64_decode with the Win32 conventions of the library: a BOOL result and
// the outcome in the thread's last-error value; plus the two-pass use of it.
#pragma once

#include <windows.h>

#include <vector>

namespace lorvex {

// Decodes count characters of text (see Base64Decoder.h for the format).
// With out null only *length is computed; else *length is the capacity of out.
// Last error: 0, ERROR_BAD_ARGUMENTS, ERROR_MORE_DATA or CRYPT_E_BAD_ENCODE.
BOOL base64_decode(const char* text, DWORD count, BYTE* out, DWORD* length);

// Gives the buffer size zero bytes; false with ERROR_NOT_ENOUGH_MEMORY as
// the last error when the memory cannot be had, which is how the library's
// steps report their failures.
bool AllocateBuffer(std::vector<BYTE>& buffer, DWORD size);

// The second of the two passes: decodes into a buffer of the length that the
// first pass gave. False with the last error set (ERROR_NOT_ENOUGH_MEMORY
// when the buffer cannot be had).
bool DecodeBase64Into(const char* text, DWORD count, DWORD length, std::vector<BYTE>& out);

// Both passes over text.
bool DecodeBase64Text(const char* text, DWORD count, std::vector<BYTE>& out);

}  // namespace lorvex
