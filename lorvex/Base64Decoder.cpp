#include "Base64Decoder.h"

#include <array>

namespace lorvex {

namespace {

enum class CharClass : uint8_t { Data, Pad, WhiteSpace, LineEnd, BlockBreak, Invalid };

constexpr uint32_t kBlockCharacters = 64;
constexpr uint32_t kMaxLineCharacters = 80;
constexpr uint8_t kInvalidValue = 0xFF;

struct CharInfo {
  CharClass charClass = CharClass::Invalid;
  uint8_t value = kInvalidValue;
};

constexpr std::array<CharInfo, 128> MakeCharTable() {
  std::array<CharInfo, 128> table{};
  for (int i = 0; i < 26; ++i) {
    table['A' + i] = {CharClass::Data, static_cast<uint8_t>(i)};
    table['a' + i] = {CharClass::Data, static_cast<uint8_t>(26 + i)};
  }
  for (int i = 0; i < 10; ++i) table['0' + i] = {CharClass::Data, static_cast<uint8_t>(52 + i)};
  table['+'] = {CharClass::Data, 62};
  table['/'] = {CharClass::Data, 63};
  table['='] = {CharClass::Pad, 0};
  table[' '] = {CharClass::WhiteSpace, kInvalidValue};
  table['\t'] = {CharClass::WhiteSpace, kInvalidValue};
  table['\r'] = {CharClass::WhiteSpace, kInvalidValue};
  table['\n'] = {CharClass::LineEnd, kInvalidValue};
  table['-'] = {CharClass::BlockBreak, kInvalidValue};
  return table;
}

constexpr std::array<CharInfo, 128> kCharTable = MakeCharTable();

// The decoder's running state over one text.
class CDecoder {
 public:
  CDecoder(unsigned char* out, uint32_t capacity) : m_out(out), m_capacity(capacity) {}

  // Feeds one byte; false on a bad encoding.
  bool Feed(unsigned char byte, bool isLast) {
    if (m_lineCount >= kMaxLineCharacters) return false;
    const CharInfo info = kCharTable[byte & 0x7F];
    if (info.charClass == CharClass::Data || info.charClass == CharClass::Pad ||
        info.charClass == CharClass::Invalid) {
      m_block[m_blockLength++] = info.value;
      ++m_lineCount;
      if (info.charClass == CharClass::Pad) ++m_padCount;
    }
    if (info.charClass == CharClass::LineEnd) {
      m_lineCount = 0;
      if (m_blockCompleted) {
        m_blockCompleted = false;
        return true;
      }
    }
    m_blockCompleted = false;
    bool isBreak = info.charClass == CharClass::BlockBreak;
    if (isLast && (m_blockLength % 4 == 0 || m_padCount != 0)) isBreak = true;
    if (isBreak) return DecodeBlock();
    if (m_blockLength == kBlockCharacters) {
      m_blockCompleted = true;
      return DecodeBlock();
    }
    return true;
  }

  uint32_t Length() const { return m_length; }
  bool OutputStopped() const { return m_outputStopped; }

 private:
  bool DecodeBlock() {
    if (m_blockLength == 0) {
      m_padCount = 1;
      return true;
    }
    if (m_blockLength % 4 != 0) return false;
    const uint32_t groups = m_blockLength / 4;
    // More padding than the block has bytes is no base64 at all.
    if (m_padCount > 3 * groups) return false;
    for (uint32_t g = 0; g < groups; ++g) {
      if (!DecodeGroup(&m_block[4 * g], 3 * g)) return false;
    }
    const uint32_t blockBytes = 3 * groups - m_padCount;
    m_length += blockBytes;
    if (blockBytes > m_capacity) {
      m_outputStopped = true;
      m_capacity = 0;
    } else {
      m_outPosition += blockBytes;
      m_capacity -= blockBytes;
    }
    m_blockLength = 0;
    return true;
  }

  // Writes the three bytes of one group at offset within the block's output,
  // as far as the remaining capacity reaches.
  bool DecodeGroup(const uint8_t* values, uint32_t offset) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
      if (values[i] == kInvalidValue) return false;
      bits = (bits << 6) | values[i];
    }
    if (!m_out) return true;
    const unsigned char bytes[3] = {static_cast<unsigned char>(bits >> 16),
                                    static_cast<unsigned char>(bits >> 8),
                                    static_cast<unsigned char>(bits)};
    for (uint32_t i = 0; i < 3; ++i) {
      if (offset + i < m_capacity) m_out[m_outPosition + offset + i] = bytes[i];
    }
    return true;
  }

  unsigned char* m_out;
  uint32_t m_capacity;
  uint32_t m_outPosition = 0;
  uint32_t m_length = 0;
  bool m_outputStopped = false;
  uint8_t m_block[kBlockCharacters] = {};
  uint32_t m_blockLength = 0;
  uint32_t m_lineCount = 0;
  uint32_t m_padCount = 0;
  bool m_blockCompleted = false;
};

}  // namespace

uint32_t DecodeBase64(const char* text, uint32_t count, unsigned char* out, uint32_t* length) {
  if (!text || !length) return kBase64BadArguments;
  CDecoder decoder(out, *length);
  *length = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (!decoder.Feed(static_cast<unsigned char>(text[i]), i + 1 == count)) return kBase64BadEncode;
  }
  *length = decoder.Length();
  return (out && decoder.OutputStopped()) ? kBase64MoreData : kBase64Ok;
}

bool LooksLikeBase64Text(const unsigned char* data, uint32_t size) {
  const uint32_t examined = size < 200 ? size : 200;
  for (uint32_t i = 0; i < examined; ++i) {
    if (data[i] < 0x0A || data[i] > 0x7A) return false;
  }
  return true;
}

}  // namespace lorvex
