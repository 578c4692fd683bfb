#include "AccessFileLines.h"

#include <algorithm>
#include <cstring>

namespace qacl {

namespace {

// Bytes a line may consume: its content and the byte that ends it.
constexpr std::size_t kLineWindow = kMaxLineBytes + 1;

// Whether a byte of `word` is below 0x0E, that is, could be an LF, a CR or a NUL.
bool HasControlByte(std::size_t word) {
  constexpr std::size_t kOnes = ~std::size_t(0) / 0xFF;
  return ((word - kOnes * 0x0E) & ~word & (kOnes * 0x80)) != 0;
}

// The position of the first byte in [from, to) that could end a line, be a
// CR or a NUL, or `to`. Lines are mostly printable text: it goes a word at a time.
std::size_t SkipPlainBytes(const char* bytes, std::size_t from, std::size_t to) {
  std::size_t word;
  while (from + sizeof word <= to) {
    std::memcpy(&word, bytes + from, sizeof word);
    if (HasControlByte(word)) break;
    from += sizeof word;
  }
  while (from < to && static_cast<unsigned char>(bytes[from]) > '\r') ++from;
  return from;
}

// The position of the first LF in [0, size), or `size`; a word at a time, as
// SkipPlainBytes.
std::size_t FindLineFeed(const char* bytes, std::size_t size) {
  constexpr std::size_t kOnes = ~std::size_t(0) / 0xFF;
  std::size_t pos = 0;
  std::size_t word;
  while (pos + sizeof word <= size) {
    std::memcpy(&word, bytes + pos, sizeof word);
    const std::size_t lineFeeds = word ^ (kOnes * '\n');  // a zero byte where an LF was
    if (((lineFeeds - kOnes) & ~lineFeeds & (kOnes * 0x80)) != 0) break;
    pos += sizeof word;
  }
  while (pos < size && bytes[pos] != '\n') ++pos;
  return pos;
}

}  // namespace

std::size_t CMemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, m_size - m_pos);
  std::memcpy(buffer, m_data + m_pos, count);
  m_pos += count;
  return count;
}

CLineReader::CLineReader(IByteSource& source, std::size_t bufferSize)
    : m_source(source), m_readSize(bufferSize == 0 ? 1 : bufferSize), m_buffer(new char[m_readSize + kLineWindow + 1]),
      m_bufferSize(m_readSize + kLineWindow + 1) {}

bool CLineReader::Fill() {
  if (m_exhausted) return false;
  if (m_pos > 0) {
    std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
  }
  // One byte stays free for the NUL after a last line without LF.
  const std::size_t room = std::min(m_readSize, m_bufferSize - 1 - m_end);
  const std::size_t read = m_source.Read(m_buffer.get() + m_end, room);
  if (read == 0) {
    m_exhausted = true;
    return false;
  }
  m_end += read;
  return true;
}

std::string_view CLineReader::TakeLine(std::size_t length, std::size_t consumed, std::size_t carriageReturns) {
  char* start = m_buffer.get() + m_pos;
  char* end = start + length;
  // Most lines end in CR LF: their CR is cut off without moving a byte.
  for (; carriageReturns > 0 && end != start && end[-1] == '\r'; --carriageReturns) --end;
  if (carriageReturns > 0) end = std::remove(start, end, '\r');
  *end = '\0';
  m_pos += consumed;
  return std::string_view(start, static_cast<std::size_t>(end - start));
}

bool CLineReader::Next(std::string_view& line) {
  std::size_t scanned = 0;
  std::size_t carriageReturns = 0;
  m_bLineHasNul = false;
  for (;;) {
    const std::size_t window = std::min(m_end - m_pos, kLineWindow);
    const char* start = m_buffer.get() + m_pos;
    // One pass finds the line's end, counts its CRs and notes a NUL.
    for (; (scanned = SkipPlainBytes(start, scanned, window)) < window; ++scanned) {
      const char c = start[scanned];
      if (c == '\n') {
        line = TakeLine(scanned, scanned + 1, carriageReturns);
        return true;
      }
      // Most lines end in their only CR and an LF: taken here without
      // another scan, the CR becoming the NUL after the line.
      if (c == '\r' && carriageReturns == 0 && scanned + 1 < window && start[scanned + 1] == '\n') {
        m_buffer[m_pos + scanned] = '\0';
        m_pos += scanned + 2;
        line = std::string_view(start, scanned);
        return true;
      }
      if (c == '\r') ++carriageReturns;
      if (c == '\0') m_bLineHasNul = true;
    }
    if (window == kLineWindow) {
      // The 8000th byte is lost; it was counted if it was a CR.
      if (start[kMaxLineBytes] == '\r') --carriageReturns;
      line = TakeLine(kMaxLineBytes, kLineWindow, carriageReturns);
      return true;
    }
    if (!Fill()) {
      if (window == 0) return false;
      line = TakeLine(window, window, carriageReturns);
      return true;
    }
  }
}

bool CLineReader::Next(std::string& line) {
  std::string_view view;
  if (!Next(view)) {
    line.clear();
    return false;
  }
  line.assign(view.data(), view.size());
  return true;
}

bool CLineReader::NextText(std::string_view& text) {
  if (!Next(text)) return false;
  // The line is followed by a NUL, so its text ends at the first one.
  if (m_bLineHasNul) text = text.substr(0, std::strlen(text.data()));
  return true;
}

bool CLineReader::SkipToLineStartingWith(char first) {
  for (;;) {
    if (m_pos == m_end && !Fill()) return false;
    const char* start = m_buffer.get() + m_pos;
    if (*start == first || *start == '\r') return true;
    // The same bytes as Next would take for the line: up to its LF, or the
    // 7999 bytes kept and the 8000th lost.
    const std::size_t window = std::min(m_end - m_pos, kLineWindow);
    const std::size_t lineFeed = FindLineFeed(start, window);
    if (lineFeed < window) {
      m_pos += lineFeed + 1;
    } else if (window == kLineWindow) {
      m_pos += kLineWindow;
    } else if (!Fill()) {
      m_pos = m_end;  // the last line, without an LF
      return false;
    }
  }
}

bool CLineReader::NextRaw(std::string& line) {
  line.clear();
  for (;;) {
    const char* start = m_buffer.get() + m_pos;
    const std::size_t available = m_end - m_pos;
    if (const void* lf = std::memchr(start, '\n', available)) {
      const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
      line.append(start, length);
      m_pos += length;
      return true;
    }
    line.append(start, available);
    m_pos = m_end;
    if (!Fill()) return !line.empty();
  }
}

}  // namespace qacl
