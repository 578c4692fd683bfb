#include "AccessFileLines.h"

#include <algorithm>
#include <cstring>

namespace qacl {

namespace {

// Bytes a line may consume: its content and the byte that ends it.
constexpr std::size_t kLineWindow = kMaxLineBytes + 1;

}  // namespace

std::size_t CMemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, m_size - m_pos);
  std::memcpy(buffer, m_data + m_pos, count);
  m_pos += count;
  return count;
}

CLineReader::CLineReader(IByteSource& source, std::size_t bufferSize)
    : m_source(source), m_readSize(bufferSize == 0 ? 1 : bufferSize), m_buffer(m_readSize + kLineWindow + 1) {}

bool CLineReader::Fill() {
  if (m_exhausted) return false;
  if (m_pos > 0) {
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
    m_end -= m_pos;
    m_pos = 0;
  }
  // One byte stays free for the NUL after a last line without LF.
  const std::size_t room = std::min(m_readSize, m_buffer.size() - 1 - m_end);
  const std::size_t read = m_source.Read(m_buffer.data() + m_end, room);
  if (read == 0) {
    m_exhausted = true;
    return false;
  }
  m_end += read;
  return true;
}

std::string_view CLineReader::TakeLine(std::size_t length, std::size_t consumed) {
  char* start = m_buffer.data() + m_pos;
  char* end = start + length;
  // Most lines end in CR LF: their CR is cut off without moving a byte.
  while (end != start && end[-1] == '\r') --end;
  if (std::memchr(start, '\r', static_cast<std::size_t>(end - start))) end = std::remove(start, end, '\r');
  *end = '\0';
  m_pos += consumed;
  return std::string_view(start, static_cast<std::size_t>(end - start));
}

bool CLineReader::Next(std::string_view& line) {
  std::size_t scanned = 0;
  for (;;) {
    const std::size_t window = std::min(m_end - m_pos, kLineWindow);
    const char* start = m_buffer.data() + m_pos;
    if (const void* lf = std::memchr(start + scanned, '\n', window - scanned)) {
      const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
      line = TakeLine(length, length + 1);
      return true;
    }
    if (window == kLineWindow) {
      line = TakeLine(kMaxLineBytes, kLineWindow);  // the 8000th byte is lost
      return true;
    }
    scanned = window;
    if (!Fill()) {
      if (window == 0) return false;
      line = TakeLine(window, window);
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

bool CLineReader::NextRaw(std::string& line) {
  line.clear();
  for (;;) {
    const char* start = m_buffer.data() + m_pos;
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
