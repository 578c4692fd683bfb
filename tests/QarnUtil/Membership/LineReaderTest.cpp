#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ACLTestSupport.h"

using acltest::Lines;

TEST(LineReader, EndsLinesAtLineFeedAndDropsEveryCarriageReturn) {
  EXPECT_EQ(Lines("a\r\nb\rc\n\nlast"), (std::vector<std::string>{"a", "bc", "", "last"}));
}

TEST(LineReader, TenThousandByteLineLosesItsEightThousandthByte) {
  std::string line(10000, 'x');
  line[7998] = 'A';  // byte 7999: kept
  line[7999] = 'B';  // byte 8000: lost
  line[8000] = 'C';  // byte 8001: starts the next line
  const auto lines = Lines(line + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 7999u);
  EXPECT_EQ(lines[0].back(), 'A');
  EXPECT_EQ(lines[1].size(), 2000u);
  EXPECT_EQ(lines[1].front(), 'C');
  EXPECT_EQ(lines[2], "next");
}

TEST(LineReader, CarriageReturnsCountTowardsTheLimit) {
  // 7998 bytes and a CR: the LF is the 8000th byte and ends the line.
  EXPECT_EQ(Lines(std::string(7998, 'x') + "\r\nnext"), (std::vector<std::string>{std::string(7998, 'x'), "next"}));
  // 7999 bytes: the CR is the 8000th byte, and the LF gives an empty line.
  EXPECT_EQ(Lines(std::string(7999, 'x') + "\r\nnext"),
            (std::vector<std::string>{std::string(7999, 'x'), "", "next"}));
  // A run of CRs alone can end a line.
  EXPECT_EQ(Lines(std::string(8000, '\r') + "y"), (std::vector<std::string>{"", "y"}));
}

TEST(LineReader, AnyBufferSizeGivesTheSameLines) {
  std::mt19937 random(7);
  const char alphabet[] = "ab \r\n\r\n#";
  std::string text;
  for (int i = 0; i < 60000; ++i) {
    text += (i % 9000 == 0) ? std::string(8100, 'z') : std::string(1, alphabet[random() % 8]);
  }
  const auto expected = Lines(text, 1);
  for (std::size_t size : {2u, 7u, 4096u, 65536u}) EXPECT_EQ(Lines(text, size), expected) << size;
}

namespace {

// The line rules read one byte at a time, as a model of the reader.
std::vector<std::string> ModelLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t bytesRead = 0;
  for (char c : text) {
    if (++bytesRead > qacl::kMaxLineBytes || c == '\n') {
      lines.push_back(line);
      line.clear();
      bytesRead = 0;
    } else if (c != '\r') {
      line.push_back(c);
    }
  }
  if (bytesRead > 0) lines.push_back(line);
  return lines;
}

// The first byte the model reads for each of its lines.
std::string ModelFirstBytes(const std::string& text) {
  std::string firsts;
  std::size_t bytesRead = 0;
  for (char c : text) {
    if (bytesRead == 0) firsts.push_back(c);
    if (++bytesRead > qacl::kMaxLineBytes || c == '\n') bytesRead = 0;
  }
  return firsts;
}

// The texts of the lines that begin with 'a' or a CR, found by skipping.
std::vector<std::string> SkippedToTexts(const std::string& text, std::size_t bufferSize) {
  return acltest::ReadAll(text, bufferSize, [](qacl::CLineReader& reader, std::string_view& line) {
    return reader.SkipToLineStartingWith('a') && reader.NextText(line);
  });
}

// The texts NextText hands out: each line up to its first NUL.
std::vector<std::string> Texts(const std::string& text, std::size_t bufferSize) {
  return acltest::ReadAll(text, bufferSize,
                          [](qacl::CLineReader& reader, std::string_view& line) { return reader.NextText(line); });
}

std::vector<std::string> CutAtNul(std::vector<std::string> lines) {
  for (auto& line : lines) line.resize(std::min(line.size(), line.find('\0')));
  return lines;
}

}  // namespace

TEST(LineReader, AgreesWithTheByteModelOnAnyBytes) {
  std::mt19937 random(11);
  // Control bytes, high bytes and runs long enough to reach the line limit.
  const char alphabet[] = {'a', ' ', '\t', '\r', '\n', '\0', '\x0c', '\x0e', '\x80', '\xff', '#'};
  for (int sample = 0; sample < 20; ++sample) {
    std::string text;
    const std::size_t length = 1 + random() % 30000;
    while (text.size() < length) {
      const char c = alphabet[random() % sizeof alphabet];
      text.append(random() % 50 == 0 ? 1 + random() % 9000 : 1, c);
    }
    const auto expected = ModelLines(text);
    const std::string firsts = ModelFirstBytes(text);
    ASSERT_EQ(firsts.size(), expected.size());
    std::vector<std::string> startingWithA;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (firsts[i] == 'a' || firsts[i] == '\r') startingWithA.push_back(expected[i]);
    }
    for (std::size_t size : {1u, 3u, 8u, 4096u, 65536u}) {
      EXPECT_EQ(Lines(text, size), expected) << sample << " " << size;
      EXPECT_EQ(Texts(text, size), CutAtNul(expected)) << sample << " " << size;
      EXPECT_EQ(SkippedToTexts(text, size), CutAtNul(startingWithA)) << sample << " " << size;
    }
  }
}

TEST(LineReader, LinesAreViewsFollowedByNul) {
  const std::string text = "a\r\n\r\nb\rc";
  qacl::CMemorySource source(text);
  qacl::CLineReader reader(source, 2);
  std::string_view line;
  std::vector<std::string> lines;
  while (reader.Next(line)) {
    EXPECT_EQ(line.data()[line.size()], '\0');
    lines.emplace_back(line);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "", "bc"}));
}

TEST(LineReader, RawLinesKeepEveryByte) {
  const std::string text = "a\r\n" + std::string(9000, 'q') + "\nend";
  qacl::CMemorySource source(text);
  qacl::CLineReader reader(source, 13);
  std::string all, line;
  int count = 0;
  while (reader.NextRaw(line)) {
    all += line;
    ++count;
  }
  EXPECT_EQ(all, text);
  EXPECT_EQ(count, 3);
}
