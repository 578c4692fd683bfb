#include "AccessFileLines.h"

#include <algorithm>
#include <cstring>

namespace qacl {

std::size_t CMemorySource::Read(char* buffer, std::size_t size) {
  const std::size_t count = std::min(size, m_size - m_pos);
  std::memcpy(buffer, m_data + m_pos, count);
  m_pos += count;
  return count;
}

CLineReader::CLineReader(IByteSource& source, std::size_t bufferSize)
    : m_source(source), m_buffer(bufferSize == 0 ? 1 : bufferSize) {}

int CLineReader::ReadByte() {
  if (m_pos == m_end) {
    if (m_exhausted) return -1;
    m_end = m_source.Read(m_buffer.data(), m_buffer.size());
    m_pos = 0;
    if (m_end == 0) {
      m_exhausted = true;
      return -1;
    }
  }
  return static_cast<unsigned char>(m_buffer[m_pos++]);
}

bool CLineReader::Next(std::string& line) {
  line.clear();
  std::size_t bytesRead = 0;
  for (;;) {
    const int c = ReadByte();
    if (c < 0) return bytesRead > 0;
    if (++bytesRead > kMaxLineBytes) return true;  // this byte is lost
    if (c == '\n') return true;
    if (c != '\r') line.push_back(static_cast<char>(c));
  }
}

bool CLineReader::NextRaw(std::string& line) {
  line.clear();
  for (;;) {
    const int c = ReadByte();
    if (c < 0) return !line.empty();
    line.push_back(static_cast<char>(c));
    if (c == '\n') return true;
  }
}

}  // namespace qacl
