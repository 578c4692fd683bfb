#include "ACLDirectives.h"

#include <climits>
#include <cstring>

#include "logging.h"

namespace qacl {

namespace {

// In table order. "Debug" stays before "DebugLevel", so "DebugLevel" is read
// as "Debug" with a value beginning "Level": stored files rely on that.
const char* const kDirectiveWords[kDirectiveCount] = {
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

struct CDirectiveWord {
  const char* text;
  std::size_t length;
};

// The words by their first byte, each list in table order, so that a line is
// compared only with the words it could begin with and the first prefix in
// table order still wins.
class CDirectiveIndex {
  // Whether `line` (NUL-terminated, first byte already matched) begins with
  // `word`. Compared here rather than with strncmp: the words are short and
  // this runs for every line of every file read.
  static bool StartsWithRest(const char* line, const CDirectiveWord& word) {
    for (std::size_t i = 1; i < word.length; ++i) {
      if (line[i] != word.text[i]) return false;
    }
    return true;
  }

 public:
  CDirectiveIndex() {
    for (int code = 0; code < kDirectiveCount; ++code) {
      const char* word = kDirectiveWords[code];
      m_byFirstByte[static_cast<unsigned char>(word[0])].push_back({code, {word, std::strlen(word)}});
    }
  }

  int Find(const char** ppszLine) const {
    const char* line = *ppszLine;
    for (const auto& entry : m_byFirstByte[static_cast<unsigned char>(line[0])]) {
      if (StartsWithRest(line, entry.word)) {
        *ppszLine = SkipSpace(line + entry.word.length);
        return entry.code;
      }
    }
    return -1;
  }

 private:
  struct CEntry {
    int code;
    CDirectiveWord word;
  };
  std::vector<CEntry> m_byFirstByte[256];
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace


const char* DirectiveWord(Directive code) { return kDirectiveWords[code]; }

int FindDirective(const char** ppszLine) {
  static const CDirectiveIndex index;
  return index.Find(ppszLine);
}

CDirectiveLookup::CDirectiveLookup() : m_bRecordsReceived(QLOG_RECEIVED(DEBUG)) {}

int CDirectiveLookup::Find(const char** ppszLine) const {
  if (m_bRecordsReceived) return GetDirectiveCode(ppszLine);
  const int code = FindDirective(ppszLine);
  // An unknown line is reported all the same.
  return code >= 0 ? code : GetDirectiveCode(ppszLine);
}

bool IsFormatSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const char* SkipSpace(const char* text) {
  while (IsFormatSpace(*text)) ++text;
  return text;
}

const char* SkipToSpace(const char* text) {
  while (*text && !IsFormatSpace(*text)) ++text;
  return text;
}

std::vector<std::string> Tokens(const char* text, const CDelimiterSet& delimiters) {
  std::vector<std::string> tokens;
  ForEachToken(text, delimiters, [&](std::string_view token) { tokens.emplace_back(token); });
  return tokens;
}

std::string_view FirstToken(const char* text, const CDelimiterSet& delimiters) {
  while (*text && delimiters.Contains(*text)) ++text;
  const char* end = text;
  while (*end && !delimiters.Contains(*end)) ++end;
  return std::string_view(text, static_cast<std::size_t>(end - text));
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
  const int code = qacl::FindDirective(ppszDirective);
  if (code >= 0) {
    QLOG_VALUE(DEBUG, "Directive found", "Index of lpszDirective", code);
    return code;
  }
  QLOG_MESSAGE(ERROR, "Directive not found");
  return -1;
}
