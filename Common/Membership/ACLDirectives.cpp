#include "ACLDirectives.h"

#include <climits>
#include <cstring>

#include "logging.h"

namespace qacl {

namespace {

// In table order. "Debug" stays before "DebugLevel", so "DebugLevel" is read
// as "Debug" with a value beginning "Level": stored files rely on that.
constexpr const char* kDirectiveWords[kDirectiveCount] = {
    "<ACL",
    "</ACL",
    "AllowInheritance",
    "AllowPermissionsInheritance",
    "AllowFrontPage",
    "AuthName",
    "AuthType",
    "LoginForm",
    "DataSourceType",
    "AuthUserFileCredentials",
    "AuthUserFile",
    "AuthGroupFile",
    "Auth_OLEDB_QueryUserByID",
    "Auth_OLEDB_QueryUserByCertificateID",
    "Auth_OLEDB_QueryUserByName",
    "Auth_OLEDB_QueryGroup",
    "Auth_OLEDB_",
    "Auth_LDAP_URL",
    "Auth_LDAP_BindDN",
    "Auth_LDAP_BindPassword",
    "Auth_LDAP_GroupAttributeIsDN",
    "Auth_LDAP_GroupAttribute",
    "Auth_LDAP_RootContext",
    "Auth_LDAP_Attributes",
    "Auth_ADSI_Provider",
    "Auth_ADSI_Domain",
    "Auth_ADSI_Server",
    "Auth_ADSI_UserName",
    "Auth_ADSI_Password",
    "ErrorDocument",
    "DenyAccess",
    "<ZEL",
    "</ZEL",
    "<Limit",
    "</Limit",
    "<Files",
    "</Files",
    "<Directory",
    "</Directory",
    "require",
    "Debug",
    "DebugLevel",
    "DiskQuota",
    "DenyPhysicalPath",
    "TimeOut",
    "AllowEditConfig",
    "Redirect",
};

constexpr std::size_t WordLength(const char* word) {
  std::size_t length = 0;
  while (word[length]) ++length;
  return length;
}

// Every word is at least this long; its first bytes choose its bucket.
constexpr std::size_t kKeyBytes = 3;
constexpr int kBuckets = 256;

// The bucket of the first three bytes of `text`.
constexpr int BucketOf(const char* text) {
  return static_cast<int>((static_cast<unsigned char>(text[0]) * 7u + static_cast<unsigned char>(text[1]) * 31u +
                           static_cast<unsigned char>(text[2])) %
                          kBuckets);
}

// The words by their first three bytes, each bucket in table order, so that
// a line is compared only with the words it could begin with, and the first
// prefix in table order still wins (two words that are both prefixes of one
// line share their first three bytes, and so their bucket). Built by the
// compiler: it is read for every line of every file.
class CDirectiveIndex {
  struct CEntry {
    int code = 0;
    const char* text = nullptr;
    std::size_t length = 0;
  };

  // Whether the `length` bytes of `line` begin with the entry's word.
  // Compared here, four bytes at a time, rather than with memcmp: the words
  // are short, and this runs for every line of every file.
  static bool StartsWith(const char* line, std::size_t length, const CEntry& entry) {
    if (length < entry.length) return false;
    std::size_t i = 0;
    for (; i + sizeof(std::uint32_t) <= entry.length; i += sizeof(std::uint32_t)) {
      std::uint32_t lineBytes;
      std::uint32_t wordBytes;
      std::memcpy(&lineBytes, line + i, sizeof lineBytes);
      std::memcpy(&wordBytes, entry.text + i, sizeof wordBytes);
      if (lineBytes != wordBytes) return false;
    }
    for (; i < entry.length; ++i) {
      if (line[i] != entry.text[i]) return false;
    }
    return true;
  }

 public:
  constexpr CDirectiveIndex() {
    for (int code = 0; code < kDirectiveCount; ++code) {
      m_length[code] = WordLength(kDirectiveWords[code]);
      if (m_length[code] < kKeyBytes) throw "a directive word is shorter than the index key";
      ++m_start[BucketOf(kDirectiveWords[code]) + 1];
    }
    for (int bucket = 0; bucket < kBuckets; ++bucket) m_start[bucket + 1] += m_start[bucket];
    int next[kBuckets] = {};
    for (int bucket = 0; bucket < kBuckets; ++bucket) next[bucket] = m_start[bucket];
    for (int code = 0; code < kDirectiveCount; ++code) {
      m_entries[next[BucketOf(kDirectiveWords[code])]++] = {code, kDirectiveWords[code], m_length[code]};
    }
  }

  constexpr std::size_t Length(int code) const { return m_length[code]; }

  int Find(const char** ppszLine, std::size_t length) const {
    const char* line = *ppszLine;
    // A line shorter than the key begins with no word.
    if (length < kKeyBytes) return -1;
    const int bucket = BucketOf(line);
    for (int i = m_start[bucket]; i < m_start[bucket + 1]; ++i) {
      if (StartsWith(line, length, m_entries[i])) {
        *ppszLine = SkipSpace(line + m_entries[i].length);
        return m_entries[i].code;
      }
    }
    return -1;
  }

 private:
  // Bucket b is m_entries[m_start[b]] up to, not including, m_entries[m_start[b + 1]].
  int m_start[kBuckets + 1] = {};
  CEntry m_entries[kDirectiveCount] = {};
  std::size_t m_length[kDirectiveCount] = {};
};

constexpr CDirectiveIndex kDirectiveIndex;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace


std::string_view DirectiveWord(Directive code) {
  return std::string_view(kDirectiveWords[code], kDirectiveIndex.Length(code));
}

int FindDirective(const char** ppszLine, std::size_t length) { return kDirectiveIndex.Find(ppszLine, length); }

CDirectiveLookup::CDirectiveLookup() : m_bRecordsReceived(QLOG_RECEIVED(DEBUG)) {}

int CDirectiveLookup::Find(const char** ppszLine, std::size_t length) const {
  if (m_bRecordsReceived) return GetDirectiveCode(ppszLine);
  const int code = FindDirective(ppszLine, length);
  // An unknown line is reported all the same.
  return code >= 0 ? code : GetDirectiveCode(ppszLine);
}

const char* SkipSpace(const char* text) {
  while (IsFormatSpace(*text)) ++text;
  return text;
}

const char* SkipToSpace(const char* text) {
  while (*text && !IsFormatSpace(*text)) ++text;
  return text;
}

std::string_view FirstToken(std::string_view text, const CDelimiterSet& delimiters) {
  std::size_t start = 0;
  while (start < text.size() && delimiters.Contains(text[start])) ++start;
  std::size_t end = start;
  while (end < text.size() && !delimiters.Contains(text[end])) ++end;
  return text.substr(start, end - start);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool LessNoCase(const std::string& a, const std::string& b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(LowerAscii(a[i]));
    const auto y = static_cast<unsigned char>(LowerAscii(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::int32_t ParseDecimal32(const char* text, const char** end) {
  text = SkipSpace(text);
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (*text - '0');
  }
  if (end) *end = text;
  if (negative) return value > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<std::int32_t>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<std::int32_t>(value);
}

}  // namespace qacl

int GetDirectiveCode(const char** ppszDirective) {
  QTRACE_FUNCTION("GetDirectiveCode");
  const char* line = *ppszDirective;
  QLOG_STRING(DEBUG, "Params", "lpszDirective", line);
  const int code = qacl::FindDirective(ppszDirective, std::strlen(line));
  if (code >= 0) {
    QLOG_VALUE(DEBUG, "Directive found", "Index of lpszDirective", code);
    return code;
  }
  QLOG_MESSAGE(ERROR, "Directive not found");
  return -1;
}
