// Writing side of CACL: the body of an access file, and permission records
// rendered back into permission text.
#include <algorithm>
#include <climits>
#include <iterator>
#include <initializer_list>
#include <utility>

#include "ACL.h"
#include "ACLDirectives.h"
#include "AccessFileLines.h"
#include "logging.h"

using namespace qacl;

namespace {

constexpr std::string_view kEndOfLine = "\r\n";
// A list line ends before the next name would take it past this length, so
// that with ", " every written line stays within the reader's limit.
const std::size_t kListLineLimit = 7996;

std::string Word(Directive code) { return std::string(DirectiveWord(code)); }

const char* YesNo(int flag) { return flag ? "Yes" : "No"; }

class CBodyWriter {
 public:
  void Line(const std::string& text) { m_body.append(text).append(kEndOfLine); }
  void Blank() { m_body.append(kEndOfLine); }
  void Raw(const std::string& text) { m_body.append(text); }
  // "Word value" for each value that is not empty; answers whether any was
  // written.
  bool ValueLines(std::initializer_list<std::pair<Directive, const std::string*>> values) {
    bool written = false;
    for (const auto& value : values) {
      if (value.second->empty()) continue;
      Line(Word(value.first) + " " + *value.second);
      written = true;
    }
    return written;
  }
  // The names after the word, ", " between them, wrapped before a line
  // would grow too long, and a blank line after the last.
  void ListLines(Directive code, const std::vector<std::string>& names) {
    const std::string start = Word(code) + " ";
    std::string line = start;
    bool lineHasName = false;
    for (const auto& name : names) {
      if (lineHasName && line.size() + name.size() > kListLineLimit) {
        Line(line);
        line = start;
        lineHasName = false;
      }
      if (lineHasName) line += ", ";
      line += name;
      lineHasName = true;
    }
    Line(line);
    Blank();
  }
  std::string Take() { return std::move(m_body); }

 private:
  std::string m_body;
};

// "Provider=X;Data Source=C:\a b.mdb;" gives "Provider X" and
// "Data_Source C:\a b.mdb": the reader turns them back into the same pairs.
std::vector<std::string> ConnectionLines(const std::string& connection) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= connection.size()) {
    std::size_t end = connection.find(';', start);
    if (end == std::string::npos) end = connection.size();
    std::string piece = connection.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    for (char& c : piece) {
      if (c == '=') {
        c = ' ';
        break;
      }
      if (c == ' ') c = '_';
    }
    lines.push_back(Word(kOledbConnectionPair) + piece);
  }
  return lines;
}

// A text written into room made ahead at its end: a record's require lines
// come in a dozen short pieces, and growing the string for each (or even
// once per record) would cost more than copying their bytes.
class CTextRoom {
 public:
  // Room for at least `bytes` more; the string grows by doubling.
  void Reserve(std::size_t bytes) {
    if (m_size + bytes > m_text.size()) m_text.resize(std::max(m_size + bytes, 2 * m_text.size()));
  }
  void Put(std::string_view piece) {
    char* to = &m_text[m_size];
    for (char c : piece) *to++ = c;
    m_size += piece.size();
  }
  void Put(char c) { m_text[m_size++] = c; }
  void Append(std::string_view piece) {
    Reserve(piece.size());
    Put(piece);
  }
  // The text written, without the room left.
  std::string Take() {
    m_text.resize(m_size);
    m_size = 0;
    return std::move(m_text);
  }

 private:
  std::string m_text;  // m_size bytes written, then room
  std::size_t m_size = 0;
};

// A require line keeps within the reader's line limit: before a name (with
// its separator and quotes) would take it past 7999 bytes, a new line with
// the same start is begun. Each line is appended with its line end.
void AppendRequireLines(const CACLPermission& record, CTextRoom& out) {
  const std::string_view word = DirectiveWord(kRequire);
  const std::size_t startLength = word.size() + record.m_strType.size() + 2;
  // At most one line per name, each with its start and line end; each name
  // with at most its separator and quotes.
  std::size_t room = (startLength + 2) * (record.m_Names.size() + 1);
  for (const auto& name : record.m_Names) room += name.size() + 4;
  out.Reserve(room);
  const auto beginLine = [&] {
    out.Put(word);
    out.Put(' ');
    out.Put(record.m_strType);
    out.Put(' ');
  };
  beginLine();
  std::size_t lineLength = startLength;
  bool lineHasName = false;
  for (const auto& name : record.m_Names) {
    const bool quoted = std::find(name.begin(), name.end(), ' ') != name.end();
    const std::size_t nameLength = name.size() + (quoted ? 2 : 0);
    if (lineHasName && lineLength + 2 + nameLength > kMaxLineBytes) {
      out.Put(kEndOfLine);
      beginLine();
      lineLength = startLength;
      lineHasName = false;
    }
    if (lineHasName) {
      out.Put(", ");
      lineLength += 2;
    }
    if (quoted) out.Put('"');
    out.Put(name);
    if (quoted) out.Put('"');
    lineLength += nameLength;
    lineHasName = true;
  }
  out.Put(kEndOfLine);
}

// Where a record's require lines stand: its block's scope, method text and
// section line.
struct CPermissionPlace {
  int scope = 0;
  std::string methods;
  std::string section;

  bool operator==(const CPermissionPlace& other) const {
    return scope == other.scope && EqualsNoCase(methods, other.methods) && EqualsNoCase(section, other.section);
  }
};

CPermissionPlace PlaceOf(const CACLPermission& record) {
  CPermissionPlace place;
  place.scope = record.m_nScope;
  ArrayToString(place.methods, record.m_Methods, " ", 1);
  if (record.m_nScope == CACLPermission::DirectoryScope) {
    place.section = "<Directory>";
  } else {
    place.section = Word(kFilesOpen) + " ";
    ArrayToString(place.section, record.m_Files, ", ", 1);
    place.section += ">";
  }
  return place;
}

bool SameBlockLists(const CACLPermission& a, const CACLPermission& b) {
  return a.m_nScope == b.m_nScope && a.m_Methods == b.m_Methods && a.m_Files == b.m_Files;
}

// A group's text is begun with its block's opening lines, gathers its
// require lines and is closed when all records are seen.
struct CPermissionGroup {
  explicit CPermissionGroup(CPermissionPlace where) : place(std::move(where)) {
    AppendLine({DirectiveWord(kLimitOpen), " ", place.methods, ">"});
    AppendLine({place.section});
  }

  // The group's text, closed.
  std::string Close() {
    AppendLine({DirectiveWord(place.scope == CACLPermission::DirectoryScope ? kDirectoryClose : kFilesClose), ">"});
    AppendLine({DirectiveWord(kLimitClose), ">"});
    text.Append(kEndOfLine);
    return text.Take();
  }

  void AppendLine(std::initializer_list<std::string_view> pieces) {
    for (const auto piece : pieces) text.Append(piece);
    text.Append(kEndOfLine);
  }

  CPermissionPlace place;
  CTextRoom text;
};

}  // namespace

void ArrayToString(std::string& text, const CACLStringList& list, const char* separator, int bSort) {
  QTRACE_FUNCTION("ArrayToString");
  std::vector<const std::string*> items;
  items.reserve(list.size());
  for (const auto& item : list) items.push_back(&item);
  if (bSort) {
    std::stable_sort(items.begin(), items.end(),
                     [](const std::string* a, const std::string* b) { return LessNoCase(*a, *b); });
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += separator;
    text.append("'").append(*items[i]).append("'");
  }
}

void CACL::PermissionsToText(CACLPermissionRefs records, std::string& text, int bInherited) {
  QTRACE_FUNCTION("CACL::PermissionsToText");
  std::vector<CPermissionGroup> groups;
  // Records of one block share their lists: their place is rendered, and
  // their group found, once.
  const CACLPermission* previous = nullptr;
  std::size_t group = 0;
  for (const CACLPermission* record : records) {
    if (record->m_bInherited != bInherited || record->m_Files.empty()) continue;
    if (!previous || !SameBlockLists(*previous, *record)) {
      const CPermissionPlace place = PlaceOf(*record);
      const auto same = std::find_if(groups.begin(), groups.end(),
                                     [&](const CPermissionGroup& earlier) { return earlier.place == place; });
      group = static_cast<std::size_t>(same - groups.begin());
      if (same == groups.end()) groups.emplace_back(place);
    }
    previous = record;
    AppendRequireLines(*record, groups[group].text);
  }
  text.clear();
  for (auto& group : groups) {
    // The first group's text becomes the whole text without a copy.
    if (text.empty()) {
      text = group.Close();
    } else {
      text += group.Close();
    }
  }
}

// The quota in the largest unit that holds it exactly. A count that does not
// fit the format's 32-bit number is written in whole megabytes rounded up
// (at most 2147483647M): the limit only grows by less than a megabyte.
std::string CACL::DiskQuotaLine() {
  const std::int64_t megabyte = 1048576;
  std::int64_t count = m_llDiskQuota;
  std::string suffix;
  m_nQuotaUnit = QuotaBytes;
  if (m_llDiskQuota % megabyte == 0) {
    count = m_llDiskQuota / megabyte;
    suffix = "M";
    m_nQuotaUnit = QuotaMegabytes;
  } else if (m_llDiskQuota % 1024 == 0) {
    count = m_llDiskQuota / 1024;
    suffix = "K";
    m_nQuotaUnit = QuotaKilobytes;
  }
  if (count > INT_MAX) {
    count = std::min<std::int64_t>(m_llDiskQuota / megabyte + 1, INT_MAX);
    suffix = "M";
    m_nQuotaUnit = QuotaMegabytes;
  }
  return Word(kDiskQuota) + " " + std::to_string(count) + suffix;
}

void CACL::WriteDataSource(std::string& body) const {
  CBodyWriter out;
  if (m_nDataSourceType >= 1 && m_nDataSourceType <= 4) {
    out.Line(Word(kDataSourceType) + " " + std::to_string(m_nDataSourceType));
  }
  if (out.ValueLines({{kAuthUserFile, &m_strAuthUserFile},
                      {kAuthGroupFile, &m_strAuthGroupFile},
                      {kAuthUserFileCredentials, &m_strAuthUserFileCredentials}})) {
    out.Blank();
  }

  for (const auto& line : ConnectionLines(m_strConnectionString)) out.Line(line);
  const bool queries = out.ValueLines({{kOledbQueryUserByID, &m_strQueryUserByID},
                                       {kOledbQueryUserByCertificateID, &m_strQueryUserByCertificateID},
                                       {kOledbQueryUserByName, &m_strQueryUserByName},
                                       {kOledbQueryGroup, &m_strQueryGroup}});
  if (queries || !m_strConnectionString.empty()) out.Blank();

  bool ldap = out.ValueLines({{kLdapURL, &m_strLDAPURL},
                              {kLdapBindDN, &m_strLDAPBindDN},
                              {kLdapBindPassword, &m_strLDAPBindPassword},
                              {kLdapGroupAttribute, &m_strLDAPGroupAttribute}});
  if (m_bLDAPGroupAttributeIsDN == 0) {
    out.Line(Word(kLdapGroupAttributeIsDN) + " NO");
    ldap = true;
  }
  ldap |= out.ValueLines({{kLdapRootContext, &m_strLDAPRootContext}, {kLdapAttributes, &m_strLDAPAttributes}});
  if (ldap) out.Blank();

  if (out.ValueLines({{kAdsiProvider, &m_strADSIProvider},
                      {kAdsiDomain, &m_strADSIDomain},
                      {kAdsiServer, &m_strADSIServer},
                      {kAdsiUserName, &m_strADSIUserName},
                      {kAdsiPassword, &m_strADSIPassword}})) {
    out.Blank();
  }
  body += out.Take();
}

std::string CACL::BodyText() {
  CBodyWriter out;
  out.Line(Word(kAllowInheritance) + " " + YesNo(m_bAllowInheritance));
  out.Line(Word(kAllowPermissionsInheritance) + " " + YesNo(m_bAllowPermissionsInheritance));
  out.Line(Word(kAllowFrontPage) + " " + YesNo(m_bAllowFrontPage));
  out.Blank();
  out.Line(Word(kAuthName) + " \"" + m_strAuthName + "\"");
  out.Line(Word(kAuthType) + " " + m_strAuthType);
  out.Line(Word(kLoginForm) + " " + m_strLoginForm);
  out.Blank();
  if (m_nTimeOut >= 0) out.Line(Word(kTimeOut) + " " + std::to_string(m_nTimeOut));
  if (m_llDiskQuota >= 0) out.Line(DiskQuotaLine());
  if (m_bDenyPhysicalPath) out.Line(Word(kDenyPhysicalPath) + " Yes");
  out.Line(Word(kDebug) + " " + m_strDebug);
  out.Blank();
  std::string body = out.Take();
  // The data source is written only where it is not inherited.
  if (m_bAllowInheritance == 0 || m_bOwnDataSource == 1) WriteDataSource(body);

  if (!m_ErrorDocuments.empty()) {
    for (const auto& entry : m_ErrorDocuments) {
      const char* document = SkipSpace(entry.second.c_str());
      if (*document) out.Line(Word(kErrorDocument) + " " + std::to_string(entry.first) + " " + document);
    }
    out.Blank();
  }
  if (!m_Redirects.empty()) {
    for (const auto& entry : m_Redirects) out.Line(Word(kRedirect) + " " + entry.first + " " + entry.second);
    out.Blank();
  }
  if (!m_DenyAccess.empty()) out.ListLines(kDenyAccess, m_DenyAccess);
  if (!m_AllowEditConfig.empty()) out.ListLines(kAllowEditConfig, m_AllowEditConfig);
  out.Raw(m_strPermissions);
  if (!m_strSectionText.empty()) {
    out.Line(Word(kZelOpen) + " " + m_strSectionName + ">");
    out.Blank();
    out.Line(m_strSectionText);
    out.Line(Word(kZelClose) + ">");
  }
  return body + out.Take();
}
