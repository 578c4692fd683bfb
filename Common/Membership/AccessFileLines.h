// Line reading of access files. The format's line rules are fixed by the
// files already deployed and by the web-server filter that reads them too:
// LF ends a line, every CR is dropped, and a line keeps at most 7999 bytes
// (the 8000th byte read for a line, CR included, is lost and ends the line;
// the rest of the physical line comes as a line of its own).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qacl {

// Where a reader's bytes come from: a file in the product, memory in tests.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Fills up to `size` bytes and answers how many; 0 means end of data (or a
  // read error, which ends the data just the same).
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

class CMemorySource : public IByteSource {
 public:
  CMemorySource(const char* data, std::size_t size) : m_data(data), m_size(size) {}
  explicit CMemorySource(const std::string& text) : CMemorySource(text.data(), text.size()) {}
  std::size_t Read(char* buffer, std::size_t size) override;

 private:
  const char* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

constexpr std::size_t kMaxLineBytes = 7999;
constexpr std::size_t kDefaultReadBuffer = 64 * 1024;

class CLineReader {
 public:
  // `bufferSize` is how much is asked of the source at a time.
  explicit CLineReader(IByteSource& source, std::size_t bufferSize = kDefaultReadBuffer);

  // The next line by the format's rules (without CR and LF), as a view into
  // the reader's buffer that stays valid until the next call; a NUL byte
  // follows the view, so it can be read as C text too. False once the data
  // is exhausted and no byte was left for a line.
  bool Next(std::string_view& line);
  // The same line, copied.
  bool Next(std::string& line);
  // The line's text: the line up to its first NUL byte, if it has one (a
  // stray NUL ends the text, as it does for a C string).
  bool NextText(std::string_view& text);

  // Passes over the lines that cannot begin with `first`, without handing
  // them out, up to the start of the next line whose first byte is `first`
  // or a CR (which the line drops). False once the data is exhausted.
  bool SkipToLineStartingWith(char first);

  // The next physical line exactly as stored, its LF included; for copying
  // files unchanged. False at the end of the data.
  bool NextRaw(std::string& line);

 private:
  // Asks the source for more bytes behind the unread ones; false at the end
  // of the data.
  bool Fill();
  // Hands out the `length` bytes at the read position, which hold
  // `carriageReturns` CRs, as the line (CRs removed) and moves past
  // `consumed` bytes.
  std::string_view TakeLine(std::size_t length, std::size_t consumed, std::size_t carriageReturns);

  IByteSource& m_source;
  std::size_t m_readSize;
  // Room for a whole read behind the longest unfinished line, and a NUL.
  // Left uninitialised: every byte handed out was read first.
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_bufferSize;
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_exhausted = false;
  // Whether the line last handed out holds a NUL byte.
  bool m_bLineHasNul = false;
};

}  // namespace qacl
