// Reading side of CACL: construction, resetting, the merge of one access
// file's lines, and the parsing of permission text.
#include "ACL.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <new>
#include <string_view>

#include "ACLDirectives.h"
#include "AccessFileLines.h"
#include "logging.h"

using namespace qacl;

namespace qacl {

void* CListRoom::do_allocate(std::size_t bytes, std::size_t alignment) {
  const std::size_t start = (m_used + alignment - 1) / alignment * alignment;
  if (alignment <= alignof(std::string) && start + bytes <= sizeof m_room) {
    m_used = start + bytes;
    return m_room + start;
  }
  return std::pmr::new_delete_resource()->allocate(bytes, alignment);
}

void CListRoom::do_deallocate(void* p, std::size_t bytes, std::size_t alignment) {
  const std::less<const void*> before;
  if (!before(p, m_room) && before(p, m_room + sizeof m_room)) return;
  std::pmr::new_delete_resource()->deallocate(p, bytes, alignment);
}

// Whether the address sanitizer watches the heap (GCC and clang say so in
// different ways).
#if defined(__SANITIZE_ADDRESS__)
#define QACL_HEAP_WATCHED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QACL_HEAP_WATCHED 1
#endif
#endif

namespace {

// Batches grow from a few records, so that a short text does not hold a
// large block, up to this many.
constexpr std::size_t kFirstBatch = 4;
constexpr std::size_t kLargestBatch = 64;

}  // namespace

// Room for a number of records in one block, and the count of the records
// alive in it plus one for the maker while it may fill the room.
class CPermissionBatch {
 public:
  static CPermissionBatch* Create(std::size_t capacity) {
    void* memory = Memory().allocate(Bytes(capacity), Alignment());
    return new (memory) CPermissionBatch(capacity);
  }

  bool Full() const { return m_used == m_capacity; }

  // A new record in the next free place.
  CACLPermissionPtr Make() {
    void* place = reinterpret_cast<unsigned char*>(this) + RecordsOffset() + m_used * sizeof(CACLPermission);
    CACLPermission* record = new (place) CACLPermission();
    ++m_used;
    m_refs.fetch_add(1, std::memory_order_relaxed);
    return CACLPermissionPtr(record, CPermissionDeleter(this));
  }

  void Release() {
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    const std::size_t bytes = Bytes(m_capacity);
    this->~CPermissionBatch();
    Memory().deallocate(this, bytes, Alignment());
  }

 private:
  explicit CPermissionBatch(std::size_t capacity) : m_capacity(capacity) {}

  static constexpr std::size_t Alignment() { return std::max(alignof(CPermissionBatch), alignof(CACLPermission)); }
  static constexpr std::size_t RecordsOffset() {
    return (sizeof(CPermissionBatch) + alignof(CACLPermission) - 1) / alignof(CACLPermission) *
           alignof(CACLPermission);
  }
  static constexpr std::size_t Bytes(std::size_t capacity) {
    return RecordsOffset() + capacity * sizeof(CACLPermission);
  }

  // Where batches get their memory. The heap hands a freed batch's pages
  // back to the system, and the next load would fault them in again one by
  // one (some 170 page faults for a target ten folders deep, a tenth of its
  // load). The pool keeps them: it holds what the most records alive at once
  // have needed, until the module is unloaded. Under the address sanitizer
  // batches come from the heap, so that a batch given back too early is
  // caught there.
  static std::pmr::memory_resource& Memory() {
#ifdef QACL_HEAP_WATCHED
    return *std::pmr::new_delete_resource();
#else
    static std::pmr::synchronized_pool_resource pool(std::pmr::pool_options{0, Bytes(kLargestBatch)});
    return pool;
#endif
  }

  std::atomic<long> m_refs{1};
  const std::size_t m_capacity;
  std::size_t m_used = 0;
};

void CPermissionDeleter::operator()(CACLPermission* pRecord) const {
  if (!m_pBatch) {
    delete pRecord;
    return;
  }
  pRecord->~CACLPermission();
  m_pBatch->Release();
}

}  // namespace qacl

namespace {

// Makes the records of one permission text in batches.
class CPermissionMaker {
 public:
  CPermissionMaker() = default;
  ~CPermissionMaker() {
    if (m_pBatch) m_pBatch->Release();
  }
  CPermissionMaker(const CPermissionMaker&) = delete;
  CPermissionMaker& operator=(const CPermissionMaker&) = delete;

  CACLPermissionPtr Make() {
    if (!m_pBatch || m_pBatch->Full()) {
      CPermissionBatch* next = CPermissionBatch::Create(m_nextCapacity);
      if (m_pBatch) m_pBatch->Release();
      m_pBatch = next;
      m_nextCapacity = std::min(2 * m_nextCapacity, kLargestBatch);
    }
    return m_pBatch->Make();
  }

 private:
  CPermissionBatch* m_pBatch = nullptr;
  std::size_t m_nextCapacity = kFirstBatch;
};

const char kDefaultAuthType[] = "Cookie";
// Views, so that a value is compared with a word only when their lengths
// agree.
constexpr std::string_view kAuthTypes[] = {"Basic", "Digest", "TLS", "Cookie"};
constexpr std::string_view kRequireTypes[] = {"valid-user", "user", "group", "phone", "wap", "sizelimit"};

bool IsYes(std::string_view value) { return EqualsNoCase(value, "YES"); }
bool IsNo(std::string_view value) { return EqualsNoCase(value, "NO"); }

bool Contains(const std::vector<std::string>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

bool ContainsNoCase(const std::vector<std::string>& list, std::string_view item) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& s) { return EqualsNoCase(s, item); });
}

bool IsPermissionLine(int code) { return code >= kLimitOpen && code <= kRequire; }

// "Data_Source C:\db" becomes "Data Source=C:\db": underscores of the name
// stand for spaces, the first space separates the name from the value.
std::string ConnectionPairFromLine(std::string_view value) {
  std::string pair(value);
  for (char& c : pair) {
    if (c == ' ') {
      c = '=';
      break;
    }
    if (c == '_') c = ' ';
  }
  return pair;
}

int RequireType(std::string_view keyword) {
  for (int type = 0; type < static_cast<int>(sizeof kRequireTypes / sizeof *kRequireTypes); ++type) {
    if (keyword == kRequireTypes[type]) return type;
  }
  return -1;
}

// The names of require lines: the pieces of the rest of a line inside double
// quotes as they stand (empty ones skipped), then the tokens of the pieces
// outside them. The views are gathered in one pass and kept between lines,
// so that a line costs no allocation before its record is known to be kept.
class CRequireNames {
 public:
  // Answers how many names `rest` holds.
  std::size_t Read(std::string_view rest) {
    m_quoted.clear();
    m_tokens.clear();
    bool insideQuotes = false;
    for (;;) {
      const auto quote = std::find(rest.begin(), rest.end(), '"');
      const std::string_view piece(rest.data(), static_cast<std::size_t>(quote - rest.begin()));
      if (!insideQuotes) {
        ForEachToken(piece, kTokenDelimiters, [&](std::string_view token) { m_tokens.push_back(token); });
      } else if (!piece.empty()) {
        m_quoted.push_back(piece);
      }
      if (quote == rest.end()) return m_quoted.size() + m_tokens.size();
      rest.remove_prefix(piece.size() + 1);
      insideQuotes = !insideQuotes;
    }
  }

  // The names last read, quoted ones first.
  void AssignTo(CACLStringList& names) const {
    names.reserve(m_quoted.size() + m_tokens.size());
    names.assign(m_quoted.begin(), m_quoted.end());
    names.insert(names.end(), m_tokens.begin(), m_tokens.end());
  }

 private:
  std::vector<std::string_view> m_quoted;
  std::vector<std::string_view> m_tokens;
};

// The block a require line stands in.
struct CPermissionBlock {
  std::vector<std::string> methods;
  std::vector<std::string> files;
  int scope = CACLPermission::FilesScope;
};

// The record of the require line whose value is `value`, or null when the
// line is dropped: an unknown type, no place (no files outside a directory
// block), or no names where the type needs them.
CACLPermissionPtr RequireRecord(std::string_view value, const CPermissionBlock& block, int bInherited,
                                CRequireNames& names, CPermissionMaker& maker) {
  const std::string_view keyword = FirstToken(value, kTokenDelimiters);
  const int type = RequireType(keyword);
  if (type < 0) return nullptr;
  if (block.scope != CACLPermission::DirectoryScope && block.files.empty()) return nullptr;
  const bool needsNames = type != CACLPermission::ValidUser;
  const auto rest = value.substr(static_cast<std::size_t>(keyword.data() + keyword.size() - value.data()));
  if (needsNames && names.Read(rest) == 0) return nullptr;
  CACLPermissionPtr record = maker.Make();
  record->m_bInherited = bInherited;
  record->m_nScope = block.scope;
  record->m_nType = type;
  record->m_strType.assign(keyword.data(), keyword.size());
  record->m_Methods.assign(block.methods.begin(), block.methods.end());
  record->m_Files.assign(block.files.begin(), block.files.end());
  if (needsNames) names.AssignTo(record->m_Names);
  return record;
}

}  // namespace

// Turns permission lines into records a line at a time, keeping the block
// each line stands in: TextToPermissions feeds it the lines of a text, a load
// the lines of its files as they are merged.
class CACL::CPermissionParser {
 public:
  explicit CPermissionParser(int bInherited) : m_bInherited(bInherited) {}

  // Forgets the block, as for a text that starts afresh.
  void Reset() { m_block = CPermissionBlock(); }

  // One line, as the directive lookup split it; kept records join `records`.
  void Line(int code, std::string_view value, CACLPermissionList& records) {
    switch (code) {
      case kLimitOpen:
        m_block.files.clear();
        m_block.methods.clear();
        ForEachToken(value, kTokenDelimiters, [&](std::string_view name) { m_block.methods.emplace_back(name); });
        break;
      case kLimitClose:
        m_block.methods.clear();
        m_block.files.clear();
        break;
      case kFilesOpen:
        m_block.scope = CACLPermission::FilesScope;
        m_block.files.clear();
        ForEachToken(value, kFileNameDelimiters, [&](std::string_view name) { m_block.files.emplace_back(name); });
        // A parent's rules for named files do not reach a subdirectory; its
        // wildcard rules do.
        if (m_bInherited && (m_block.files.empty() || m_block.files.front().find('*') == std::string::npos)) {
          m_block.files.clear();
        }
        break;
      case kFilesClose:
      case kDirectoryClose:
        m_block.scope = CACLPermission::FilesScope;
        m_block.files.clear();
        break;
      case kDirectoryOpen:
        m_block.scope = CACLPermission::DirectoryScope;
        m_block.files.clear();
        break;
      case kRequire:
        if (auto record = RequireRecord(value, m_block, m_bInherited, m_names, m_maker)) {
          records.push_back(std::move(record));
        }
        break;
      default:
        break;
    }
  }

 private:
  const int m_bInherited;
  CPermissionBlock m_block;
  CRequireNames m_names;
  CPermissionMaker m_maker;
};

// The records of a load's inherited permission lines, made as its files are
// merged; they start afresh wherever the inherited text would be emptied.
struct CACL::CMergedPermissions {
  CPermissionParser parser{1};
  CACLPermissionList records;

  void Clear() {
    parser.Reset();
    records.clear();
  }
};

CACL::CLoadPermissions::CLoadPermissions(CACL& acl) : m_acl(acl) {
  if (!QLOG_RECEIVED(DEBUG)) m_pMerged = std::make_unique<CMergedPermissions>();
}

CACL::CLoadPermissions::~CLoadPermissions() = default;

void CACL::CLoadPermissions::FillRecords() {
  m_acl.m_PermissionRecords.clear();
  m_acl.TextToPermissions(m_acl.m_strPermissions, m_acl.m_PermissionRecords, 0);
  if (!m_pMerged) {
    m_acl.TextToPermissions(m_acl.m_strInheritedPermissions, m_acl.m_PermissionRecords, 1);
    return;
  }
  auto& records = m_pMerged->records;
  m_acl.m_PermissionRecords.insert(m_acl.m_PermissionRecords.end(), std::make_move_iterator(records.begin()),
                                   std::make_move_iterator(records.end()));
  records.clear();
}

struct CACL::CReadState {
  bool dataSourceSeen = false;
  CMergedPermissions* pMerged = nullptr;
};

CACL::CACL() : CACL(CFileWork()) {}

CACL::CACL(const CFileWork& work) : m_FileWork(work) {
  QTRACE_FUNCTION("CACL::CACL()");
  ClearParameters();
  ClearDataSourceParameters();
}

CACL::~CACL() {
  QTRACE_FUNCTION("CACL::~CACL()");
  ClearParameters();
}

void CACL::ClearParameters() {
  QTRACE_FUNCTION("CACL::ClearParameters");
  m_nQuotaUnit = QuotaBytes;
  m_bAllowFrontPage = 0;
  m_strAuthName.clear();
  m_strLoginForm.clear();
  m_strDebug.clear();
  m_strAuthType = kDefaultAuthType;
  m_ErrorDocuments.clear();
  m_Redirects.clear();
  m_DenyAccess.clear();
  m_AllowEditConfig.clear();
  m_InheritedAllowEditConfig.clear();
  m_strPermissions.clear();
  m_strInheritedPermissions.clear();
  m_strSectionText.clear();
  m_strSectionName.clear();
  m_PermissionRecords.clear();
}

void CACL::ClearDataSourceParameters() {
  QTRACE_FUNCTION("CACL::ClearDataSourceParameters");
  m_nDataSourceType = 0;
  for (std::string* s : {&m_strAuthUserFile, &m_strAuthGroupFile, &m_strAuthUserFileCredentials,
                         &m_strConnectionString, &m_strQueryUserByID, &m_strQueryUserByCertificateID,
                         &m_strQueryUserByName, &m_strQueryGroup, &m_strLDAPURL, &m_strLDAPBindDN,
                         &m_strLDAPBindPassword, &m_strLDAPGroupAttribute, &m_strLDAPRootContext,
                         &m_strLDAPAttributes, &m_strADSIProvider, &m_strADSIDomain, &m_strADSIServer,
                         &m_strADSIUserName, &m_strADSIPassword}) {
    s->clear();
  }
  m_bLDAPGroupAttributeIsDN = 1;
}

void CACL::MergeConfigLines(CLineReader& reader, const std::string& file, const char* lpszSection) {
  MergeLines(reader, file, lpszSection, nullptr);
}

void CACL::MergeLines(CLineReader& reader, const std::string& file, const char* lpszSection,
                      CMergedPermissions* pMerged) {
  bool inside = lpszSection == nullptr;
  if (!lpszSection) {
    m_bFound = 1;
    if (EqualsNoCase(file, m_strTargetFile)) m_bReadingInherited = 0;
  } else if (EqualsNoCase(lpszSection, m_strTargetSection)) {
    m_bReadingInherited = 0;
  }
  const CDirectiveLookup directives;
  const std::string_view sectionOpen = DirectiveWord(kAclOpen);
  const std::string_view section = lpszSection ? lpszSection : "";
  CReadState state;
  state.pMerged = pMerged;
  std::string_view line;
  for (;;) {
    // Outside the wanted section only the start of another section matters.
    if (!inside && !reader.SkipToLineStartingWith(sectionOpen[0])) break;
    if (!reader.NextText(line)) break;
    if (line.empty() || line[0] == '#') continue;
    if (!inside && (line[0] != sectionOpen[0] || line.compare(0, sectionOpen.size(), sectionOpen) != 0)) continue;
    const char* start = line.data();
    const int code = directives.Find(&start, line.size());
    const std::string_view value(start, static_cast<std::size_t>(line.data() + line.size() - start));
    if (lpszSection) {
      if (code == kAclOpen) {
        inside = EqualsNoCase(FirstToken(value, kTokenDelimiters), section);
        if (inside) m_bFound = 1;
        continue;
      }
      if (code == kAclClose) {
        inside = false;
        continue;
      }
    }
    if (inside) HandleLine(code, line, value, state);
  }
  m_bOwnDataSource = (state.dataSourceSeen && m_bReadingInherited == 0) ? 1 : 0;
}

// `line` is the text of a line, `value` its part after the directive; both
// are followed by a NUL.
void CACL::HandleLine(int code, std::string_view line, std::string_view value, CReadState& state) {
  const bool own = m_bReadingInherited == 0;
  if (IsPermissionLine(code)) {
    if (!own && state.pMerged) {
      state.pMerged->parser.Line(code, value, state.pMerged->records);
      return;
    }
    std::string& text = own ? m_strPermissions : m_strInheritedPermissions;
    text.append(line).append("\r\n", 2);
    return;
  }
  switch (code) {
    case kAllowInheritance:
      if (IsNo(value)) {
        ClearParameters();
        if (state.pMerged) state.pMerged->Clear();
        if (own) m_bAllowInheritance = 0;
      }
      break;
    case kAllowPermissionsInheritance:
      if (IsNo(value)) {
        DropInheritedPermissions();
        if (state.pMerged) state.pMerged->Clear();
        if (own) m_bAllowPermissionsInheritance = 0;
      }
      break;
    case kAllowFrontPage:
      if (IsYes(value)) m_bAllowFrontPage = 1;
      if (IsNo(value)) m_bAllowFrontPage = 0;
      break;
    case kAuthName:
      if (!value.empty() && value.front() == '"') value.remove_prefix(1);
      m_strAuthName.assign(value.begin(), std::find(value.begin(), value.end(), '"'));
      break;
    case kAuthType:
      for (const std::string_view type : kAuthTypes) {
        if (value == type) m_strAuthType = type;
      }
      break;
    case kLoginForm:
      m_strLoginForm = value;
      break;
    case kErrorDocument:
      MergeErrorDocument(value);
      break;
    case kDenyAccess:
      if (!own) break;
      ForEachToken(value, kTokenDelimiters, [&](std::string_view name) {
        if (!ContainsNoCase(m_DenyAccess, name)) m_DenyAccess.emplace_back(name);
      });
      break;
    case kZelOpen: {
      const std::string_view name = FirstToken(value, kTokenDelimiters);
      if (!name.empty()) m_strSectionName.assign(name.data(), name.size());
      break;
    }
    case kDebug:
      m_strDebug = value;
      break;
    case kDiskQuota:
      MergeDiskQuota(value.data());
      break;
    case kDenyPhysicalPath:
      if (IsYes(value)) m_bDenyPhysicalPath = 1;
      break;
    case kTimeOut:
      if (m_nTimeOut == -1) {
        const std::int32_t timeOut = ParseDecimal32(value.data());
        if (timeOut > 0) m_nTimeOut = timeOut;
      }
      break;
    case kAllowEditConfig: {
      auto& names = own ? m_AllowEditConfig : m_InheritedAllowEditConfig;
      ForEachToken(value, kTokenDelimiters, [&](std::string_view name) {
        if (!Contains(names, name)) names.emplace_back(name);
      });
      break;
    }
    case kRedirect:
      if (own) MergeRedirect(value.data());
      break;
    default:
      HandleDataSourceLine(code, value, state);
      break;
  }
}

// The first data-source line of a file (or section) replaces the data source
// gathered so far as a whole.
void CACL::HandleDataSourceLine(int code, std::string_view value, CReadState& state) {
  const auto enterDataSource = [&] {
    if (!state.dataSourceSeen) ClearDataSourceParameters();
    state.dataSourceSeen = true;
  };
  if (code == kDataSourceType) {
    const std::int32_t type = ParseDecimal32(value.data());
    if (type < 1 || type > 4) return;
    enterDataSource();
    m_nDataSourceType = type;
    return;
  }
  if (code == kOledbConnectionPair) {
    if (value.empty()) return;
    enterDataSource();
    m_strConnectionString.append(ConnectionPairFromLine(value)).append(";");
    return;
  }
  if (code == kLdapGroupAttributeIsDN) {
    enterDataSource();
    if (IsYes(value) || EqualsNoCase(value, "ON")) m_bLDAPGroupAttributeIsDN = 1;
    if (IsNo(value) || EqualsNoCase(value, "OFF")) m_bLDAPGroupAttributeIsDN = 0;
    return;
  }
  std::string* member = DataSourceString(code);
  if (!member) return;
  enterDataSource();
  *member = value;
}

std::string* CACL::DataSourceString(int code) {
  switch (code) {
    case kAuthUserFileCredentials: return &m_strAuthUserFileCredentials;
    case kAuthUserFile: return &m_strAuthUserFile;
    case kAuthGroupFile: return &m_strAuthGroupFile;
    case kOledbQueryUserByID: return &m_strQueryUserByID;
    case kOledbQueryUserByCertificateID: return &m_strQueryUserByCertificateID;
    case kOledbQueryUserByName: return &m_strQueryUserByName;
    case kOledbQueryGroup: return &m_strQueryGroup;
    case kLdapURL: return &m_strLDAPURL;
    case kLdapBindDN: return &m_strLDAPBindDN;
    case kLdapBindPassword: return &m_strLDAPBindPassword;
    case kLdapGroupAttribute: return &m_strLDAPGroupAttribute;
    case kLdapRootContext: return &m_strLDAPRootContext;
    case kLdapAttributes: return &m_strLDAPAttributes;
    case kAdsiProvider: return &m_strADSIProvider;
    case kAdsiDomain: return &m_strADSIDomain;
    case kAdsiServer: return &m_strADSIServer;
    case kAdsiUserName: return &m_strADSIUserName;
    case kAdsiPassword: return &m_strADSIPassword;
    default: return nullptr;
  }
}

void CACL::DropInheritedPermissions() {
  m_InheritedAllowEditConfig.clear();
  m_strInheritedPermissions.clear();
  m_PermissionRecords.erase(
      std::remove_if(m_PermissionRecords.begin(), m_PermissionRecords.end(),
                     [](const CACLPermissionPtr& record) { return record->m_bInherited != 0; }),
      m_PermissionRecords.end());
}

// The smallest quota met along the path is in force.
void CACL::MergeDiskQuota(const char* value) {
  const std::string upper = UpperCase(value);
  const char* suffix = nullptr;
  std::int64_t quota = ParseDecimal32(upper.c_str(), &suffix);
  suffix = SkipSpace(suffix);
  std::int16_t unit = QuotaBytes;
  if (*suffix == 'M') {
    quota *= 1048576;
    unit = QuotaMegabytes;
  } else if (*suffix == 'K') {
    quota *= 1024;
    unit = QuotaKilobytes;
  }
  if (m_llDiskQuota < 0 || quota < m_llDiskQuota) {
    m_llDiskQuota = quota;
    m_nQuotaUnit = unit;
    m_strQuotaPath = m_strCurrentDir;
  }
}

void CACL::MergeErrorDocument(std::string_view value) {
  const char* code = SkipSpace(value.data());
  const char* codeEnd = SkipToSpace(code);
  const char* document = SkipSpace(codeEnd);
  if (code == codeEnd || *document == '\0') return;
  m_ErrorDocuments[ParseDecimal32(code)].assign(document, value.data() + value.size());
}

void CACL::MergeRedirect(const char* value) {
  const char* source = SkipSpace(value);
  const char* sourceEnd = SkipToSpace(source);
  const std::string key(source, sourceEnd);
  const std::string destination = SkipSpace(sourceEnd);
  for (auto& entry : m_Redirects) {
    if (EqualsNoCase(entry.first, key)) {
      entry.second = destination;
      return;
    }
  }
  m_Redirects.emplace(key, destination);
}

void CACL::TextToPermissions(const std::string& text, CACLPermissionList& records, int bInherited) {
  QTRACE_FUNCTION("CACL::TextToPermissions");
  CPermissionParser parser(bInherited);
  const CDirectiveLookup directives;
  // One copy of the text is cut into C strings in place, a line each. A NUL
  // ends a line's text early, as it does for the line copied on its own.
  std::string lines = text;
  char* pos = lines.data();
  char* const end = pos + lines.size();
  while (pos < end) {
    while (pos < end && IsFormatSpace(*pos)) ++pos;
    char* textEnd = pos;
    while (textEnd < end && *textEnd != '\r' && *textEnd != '\n' && *textEnd != '\0') ++textEnd;
    char* lineEnd = textEnd;
    while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
    *lineEnd = '\0';
    const char* start = pos;
    pos = lineEnd + 1;
    if (start == textEnd || *start == '#') continue;
    const int code = directives.Find(&start, static_cast<std::size_t>(textEnd - start));
    parser.Line(code, std::string_view(start, static_cast<std::size_t>(textEnd - start)), records);
  }
}
