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

// The table with the word lengths, measured once.
const std::vector<CDirectiveWord>& DirectiveWords() {
  static const std::vector<CDirectiveWord> words = [] {
    std::vector<CDirectiveWord> table;
    for (const char* word : kDirectiveWords) table.push_back({word, std::strlen(word)});
    return table;
  }();
  return words;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const char kTokenDelimiters[] = " ',>\t\n";
const char kFileNameDelimiters[] = "',>\t\n";

const char* DirectiveWord(Directive code) { return kDirectiveWords[code]; }

bool IsFormatSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const char* SkipSpace(const char* text) {
  while (IsFormatSpace(*text)) ++text;
  return text;
}

const char* SkipToSpace(const char* text) {
  while (*text && !IsFormatSpace(*text)) ++text;
  return text;
}

std::vector<std::string> Tokens(const char* text, const char* delimiters) {
  std::vector<std::string> tokens;
  while (*text) {
    text += std::strspn(text, delimiters);
    const std::size_t length = std::strcspn(text, delimiters);
    if (length > 0) tokens.emplace_back(text, length);
    text += length;
  }
  return tokens;
}

std::string FirstToken(const char* text, const char* delimiters) {
  text += std::strspn(text, delimiters);
  return std::string(text, std::strcspn(text, delimiters));
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
  const auto& words = qacl::DirectiveWords();
  for (int code = 0; code < qacl::kDirectiveCount; ++code) {
    const auto& word = words[code];
    if (line[0] == word.text[0] && std::strncmp(line, word.text, word.length) == 0) {
      *ppszDirective = qacl::SkipSpace(line + word.length);
      QLOG_VALUE(DEBUG, "Directive found", "Index of lpszDirective", code);
      return code;
    }
  }
  QLOG_MESSAGE(ERROR, "Directive not found");
  return -1;
}
