// Helpers of the access-file tests: merging text as if it were a file.
#pragma once

#include <string>
#include <vector>

#include "ACL.h"
#include "ACLPaths.h"
#include "AccessFileLines.h"

namespace acltest {

// Merges `text` as the access file `file` (its section `section` when given).
inline void Merge(CACL& acl, const std::string& text, const std::string& file = "C:\\site\\.htaccess",
                  const char* section = nullptr) {
  acl.m_strCurrentDir = qacl::DirectoryPart(file);
  qacl::CMemorySource source(text);
  qacl::CLineReader reader(source);
  acl.MergeConfigLines(reader, file, section);
}

// Merges `text` as the target's own file.
inline void MergeOwn(CACL& acl, const std::string& text) {
  acl.m_strTargetFile = "C:\\site\\.htaccess";
  Merge(acl, text, acl.m_strTargetFile);
}

// What a reader of `text` hands out, each line taken by `take(reader, line)`.
template <class Take>
std::vector<std::string> ReadAll(const std::string& text, std::size_t bufferSize, Take take) {
  qacl::CMemorySource source(text);
  qacl::CLineReader reader(source, bufferSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (take(reader, line)) lines.emplace_back(line);
  return lines;
}

// All lines of `text` by the format's rules.
inline std::vector<std::string> Lines(const std::string& text, std::size_t bufferSize = qacl::kDefaultReadBuffer) {
  return ReadAll(text, bufferSize, [](qacl::CLineReader& reader, std::string_view& line) { return reader.Next(line); });
}

// A record's list as a plain vector, to compare with the expected strings.
inline std::vector<std::string> Strings(const CACLStringList& list) { return {list.begin(), list.end()}; }

}  // namespace acltest
