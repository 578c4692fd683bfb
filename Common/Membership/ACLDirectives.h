// The words of the access-file format and the small text rules shared by its
// reader and writer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qacl {

// Directive codes: the index of the word in the directive table.
enum Directive : int {
  kAclOpen = 0,
  kAclClose,
  kAllowInheritance,
  kAllowPermissionsInheritance,
  kAllowFrontPage,
  kAuthName,
  kAuthType,
  kLoginForm,
  kDataSourceType,
  kAuthUserFileCredentials,
  kAuthUserFile,
  kAuthGroupFile,
  kOledbQueryUserByID,
  kOledbQueryUserByCertificateID,
  kOledbQueryUserByName,
  kOledbQueryGroup,
  kOledbConnectionPair,
  kLdapURL,
  kLdapBindDN,
  kLdapBindPassword,
  kLdapGroupAttributeIsDN,
  kLdapGroupAttribute,
  kLdapRootContext,
  kLdapAttributes,
  kAdsiProvider,
  kAdsiDomain,
  kAdsiServer,
  kAdsiUserName,
  kAdsiPassword,
  kErrorDocument,
  kDenyAccess,
  kZelOpen,
  kZelClose,
  kLimitOpen,
  kLimitClose,
  kFilesOpen,
  kFilesClose,
  kDirectoryOpen,
  kDirectoryClose,
  kRequire,
  kDebug,
  kDebugLevel,
  kDiskQuota,
  kDenyPhysicalPath,
  kTimeOut,
  kAllowEditConfig,
  kRedirect,
  kDirectiveCount
};

std::string_view DirectiveWord(Directive code);

// GetDirectiveCode without its records, for a line of `length` bytes (a NUL
// follows them).
int FindDirective(const char** ppszLine, std::size_t length);

// Finds the directives of one text (a file, a section, permission text). The
// per-line records of GetDirectiveCode are composed only when the logger
// passes them on to someone, which is decided once for the whole text: a
// deployed logger drops them, and composing them for every line would cost
// more than reading the line. Unknown lines are always reported.
class CDirectiveLookup {
 public:
  CDirectiveLookup();
  // As GetDirectiveCode, for a line of `length` bytes (a NUL follows them).
  int Find(const char** ppszLine, std::size_t length) const;

 private:
  bool m_bRecordsReceived;
};

// A set of delimiter bytes, looked up by table: names are split byte by
// byte on every line that carries them.
class CDelimiterSet {
 public:
  explicit constexpr CDelimiterSet(const char* delimiters) {
    for (; *delimiters; ++delimiters) m_member[static_cast<unsigned char>(*delimiters)] = true;
  }
  bool Contains(char c) const { return m_member[static_cast<unsigned char>(c)]; }

 private:
  bool m_member[256] = {};
};

// Token delimiters of names and sections, and of file names (no space:
// file names may contain spaces).
inline constexpr CDelimiterSet kTokenDelimiters(" ',>\t\n");
inline constexpr CDelimiterSet kFileNameDelimiters("',>\t\n");

// White space as the C library's isspace knows it in the "C" locale.
inline bool IsFormatSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
const char* SkipSpace(const char* text);
const char* SkipToSpace(const char* text);

// The first token of `text`, or an empty view; it points into `text`.
std::string_view FirstToken(std::string_view text, const CDelimiterSet& delimiters);

// Calls `visit` with each token of `text`, without copying it.
template <class F>
void ForEachToken(std::string_view text, const CDelimiterSet& delimiters, F visit) {
  std::size_t pos = 0;
  for (;;) {
    while (pos < text.size() && delimiters.Contains(text[pos])) ++pos;
    if (pos == text.size()) return;
    const std::size_t start = pos;
    while (pos < text.size() && !delimiters.Contains(text[pos])) ++pos;
    visit(text.substr(start, pos - start));
  }
}

// Case rules of the format: ASCII letters only, as the "C" locale has them.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool LessNoCase(const std::string& a, const std::string& b);
std::string UpperCase(std::string text);

// A signed 32-bit decimal as strtol reads it (leading white space, sign,
// digits), clamped to the 32-bit range; *end (if given) points after it.
std::int32_t ParseDecimal32(const char* text, const char** end = nullptr);

}  // namespace qacl

// Finds the directive at the start of *ppszDirective (first table entry that
// is a prefix, with regard to case) and advances the pointer past it and the
// white space after it. Answers the code, or -1 when no entry matches.
int GetDirectiveCode(const char** ppszDirective);
