// The library's base64 format: its line and block rules, padding, the dropped
// tail, the two-pass use with ERROR_MORE_DATA, and the last-error values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Base64.h"
#include "Base64Decoder.h"

namespace {

using lorvex::DecodeBase64;

struct CDecoded {
  uint32_t status;
  uint32_t length;
  std::string bytes;
};

// Both passes, as the library's callers run them.
CDecoded Decode(const std::string& text) {
  uint32_t length = 0;
  uint32_t status = DecodeBase64(text.data(), static_cast<uint32_t>(text.size()), nullptr, &length);
  if (status != lorvex::kBase64Ok) return {status, length, {}};
  std::string out(length, '\0');
  uint32_t written = length;
  status = DecodeBase64(text.data(), static_cast<uint32_t>(text.size()),
                        reinterpret_cast<unsigned char*>(&out[0]), &written);
  return {status, written, out};
}

std::string Lines(const std::string& line, int count, const std::string& end) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line + end;
  return text;
}

TEST(Base64Decoder, CompleteGroupsAndPadding) {
  EXPECT_EQ(Decode("QUJD").bytes, "ABC");
  EXPECT_EQ(Decode("QUI=").bytes, "AB");
  EXPECT_EQ(Decode("QQ==").bytes, "A");
  EXPECT_EQ(Decode("QUJD").length, 3u);
  EXPECT_EQ(Decode("QUI=").length, 2u);
  EXPECT_EQ(Decode("QQ==").length, 1u);
  EXPECT_EQ(Decode("QU JD\r\n").bytes, "ABC") << "white space is skipped";
}

TEST(Base64Decoder, UnfinishedTailWithoutPaddingIsDropped) {
  CDecoded decoded = Decode("QUJDRA");
  EXPECT_EQ(decoded.status, lorvex::kBase64Ok);
  EXPECT_EQ(decoded.length, 0u) << "the whole text is one unfinished block";
  EXPECT_EQ(Decode("QUI").length, 0u);
}

TEST(Base64Decoder, DashBreaksTheBlock) {
  EXPECT_EQ(Decode("QUJD-QUJD").bytes, "ABCABC");
  EXPECT_EQ(Decode("QUJDRA-QUJD").status, lorvex::kBase64BadEncode) << "a break inside a group";
}

TEST(Base64Decoder, InvalidCharacters) {
  EXPECT_EQ(Decode("QU*D").status, lorvex::kBase64BadEncode);
  EXPECT_EQ(Decode("QU*D").length, 0u);
  EXPECT_EQ(Decode("-----BEGIN X509 CRL-----\nQUJD\n-----END X509 CRL-----\n").status, lorvex::kBase64BadEncode)
      << "armour lines are not recognised";
  EXPECT_EQ(Decode("QUI=QUJD").status, lorvex::kBase64Ok) << "padding inside a block still decodes";
}

TEST(Base64Decoder, BytesAboveSevenBitsAreClassedByTheirLowBits) {
  // 0xC1 & 0x7F is 'A', 0xD5 & 0x7F is 'U', 0xC9 & 0x7F is 'I'.
  EXPECT_EQ(Decode("\xD1\xD5\xC9=").bytes, Decode("QUI=").bytes);
}

TEST(Base64Decoder, LineLengthLimit) {
  const std::string line76(76, 'A'), line64(64, 'A'), line80(80, 'A');
  EXPECT_EQ(Decode(Lines(line76, 5, "\n")).length, 5u * 57);
  EXPECT_EQ(Decode(Lines(line76, 5, "\r\n")).length, 5u * 57);
  EXPECT_EQ(Decode(Lines(line64, 5, "\n")).length, 5u * 48);
  EXPECT_EQ(Decode(Lines(line64, 5, "\r\n")).length, 5u * 48);
  EXPECT_EQ(Decode(line80).length, 60u) << "a last line of exactly 80 characters";
  EXPECT_EQ(Decode(line80 + "\n").status, lorvex::kBase64BadEncode) << "its line feed already exceeds the line";
  EXPECT_EQ(Decode(line76 + "\n" + line80 + "AAAA").status, lorvex::kBase64BadEncode);
}

TEST(Base64Decoder, SmallBufferReportsTheFullLength) {
  const std::string text = Lines(std::string(64, 'Q'), 3, "\n");  // 144 bytes
  uint32_t length = 143;
  std::vector<unsigned char> out(length + 1, 0xEE);
  EXPECT_EQ(DecodeBase64(text.data(), static_cast<uint32_t>(text.size()), out.data(), &length),
            lorvex::kBase64MoreData);
  EXPECT_EQ(length, 144u);
  EXPECT_EQ(out[143], 0xEE) << "nothing is written beyond the capacity";
}

TEST(Base64Decoder, TooMuchPaddingIsNoBase64) {
  EXPECT_EQ(Decode("====").status, lorvex::kBase64BadEncode);
}

TEST(Base64Decode, ReportsThroughTheLastError) {
  DWORD length = 0;
  ::SetLastError(1);
  EXPECT_TRUE(lorvex::base64_decode("QUJD", 4, nullptr, &length));
  EXPECT_EQ(::GetLastError(), 0u);
  EXPECT_EQ(length, 3u);
  EXPECT_FALSE(lorvex::base64_decode(nullptr, 4, nullptr, &length));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
  EXPECT_FALSE(lorvex::base64_decode("QUJD", 4, nullptr, nullptr));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_BAD_ARGUMENTS));
  EXPECT_FALSE(lorvex::base64_decode("QU*D", 4, nullptr, &length));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(CRYPT_E_BAD_ENCODE));
}

}  // namespace
