// The stand-in metabase in memory: a tree of keys carrying property records,
// the table of open handles with their key locks, and the handle counters.
// Free of Win32 so that the rules of the IIS Admin Base Object live in one
// place; the COM object and the command-line tool both drive this class and
// keep it in a file between operations (MetabaseFile.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace metabase {

// Published values of the Admin Base interface, repeated here so that this
// file needs no Windows header; AdminBase.cpp checks them against iadmw.h.
constexpr uint32_t kPermissionRead = 1;
constexpr uint32_t kPermissionWrite = 2;
constexpr uint32_t kAttributeInherit = 0x1;
constexpr uint32_t kAttributePartialPath = 0x2;
constexpr uint32_t kAttributeIsInherited = 0x20;
constexpr uint32_t kAllMetadata = 0;
constexpr uint32_t kDwordData = 1;
constexpr uint32_t kStringData = 2;
constexpr uint32_t kBinaryData = 3;
constexpr uint32_t kExpandStringData = 4;
constexpr uint32_t kMultiStringData = 5;
constexpr uint32_t kMaxNameLength = 256;  // characters of a key name, with its zero

// Outcomes of an operation; the COM layer maps each to the HRESULT that IIS
// answers.
enum class EStatus {
  Ok,
  PathNotFound,
  AlreadyExists,
  NoMoreItems,
  InvalidHandle,
  AccessDenied,
  DataNotFound,
  PathBusy,
  InvalidArgument,
};

using CPath = std::vector<std::wstring>;  // key names from the master root

struct CProperty {
  uint32_t id = 0;
  uint32_t attributes = 0;
  uint32_t userType = 0;
  uint32_t dataType = 0;
  std::vector<uint8_t> data;  // strings as UTF-16 with their terminating zero
};

// Key names compare without regard to case, as IIS compares them.
struct CNameLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const;
};

struct CKey {
  std::map<std::wstring, CKey, CNameLess> children;
  std::map<uint32_t, CProperty> properties;
};

// The process that owns a handle; the start time tells a reused process id
// from the one that opened the handle.
struct COwner {
  uint32_t processId = 0;
  uint64_t startTime = 0;
};

struct COpenHandle {
  uint32_t permissions = 0;
  CPath path;
  COwner owner;
};

// What GetData and EnumData look for: identifier, the request attributes,
// and user and data type, each kAllMetadata for any.
struct CDataQuery {
  uint32_t id = 0;
  uint32_t attributes = 0;
  uint32_t userType = kAllMetadata;
  uint32_t dataType = kAllMetadata;
};

struct CFoundData {
  CProperty property;
  bool inherited = false;  // found on an ancestor through METADATA_INHERIT
};

class CMetabase {
 public:
  // --- operations of the Admin Base interface; handle 0 is the master root ---
  // One attempt: PathBusy when another handle locks the key, its ancestors or
  // descendants; the caller waits and retries up to the open's time-out.
  EStatus OpenKey(uint32_t handle, const wchar_t* path, uint32_t permissions, const COwner& owner,
                  uint32_t* newHandle);
  EStatus CloseKey(uint32_t handle);
  EStatus HandlePermissions(uint32_t handle, uint32_t* permissions) const;
  EStatus AddKey(uint32_t handle, const wchar_t* path);
  EStatus DeleteKey(uint32_t handle, const wchar_t* path);
  EStatus DeleteChildKeys(uint32_t handle, const wchar_t* path);
  EStatus EnumKeys(uint32_t handle, const wchar_t* path, uint32_t index, std::wstring* name) const;
  EStatus SetData(uint32_t handle, const wchar_t* path, CProperty property);
  EStatus GetData(uint32_t handle, const wchar_t* path, const CDataQuery& query, CFoundData* found) const;
  EStatus DeleteData(uint32_t handle, const wchar_t* path, uint32_t id, uint32_t dataType);
  EStatus EnumData(uint32_t handle, const wchar_t* path, const CDataQuery& query, uint32_t index,
                   CProperty* property) const;

  // --- direct access for the tool, which edits the tree without handles ---
  CKey& Root() { return m_root; }
  const CKey& Root() const { return m_root; }
  CKey* FindKey(const CPath& path);
  const CKey* FindKey(const CPath& path) const;
  CKey& EnsureKey(const CPath& path);  // creates what is missing; marks the tree changed
  bool RemoveKey(const CPath& path);

  // Drops the handles of processes that have ended; they do not count as closed.
  void DropHandles(const std::function<bool(const COwner&)>& isAlive);

  // --- state kept in the file -------------------------------------------------
  const std::map<uint32_t, COpenHandle>& Handles() const { return m_handles; }
  uint32_t OpenedCount() const { return m_opened; }
  uint32_t ClosedCount() const { return m_closed; }
  bool Dirty() const { return m_dirty; }

  std::string Serialize() const;
  // False when the text is not a metabase file; the object is then unchanged.
  bool Parse(const std::string& text);

 private:
  EStatus Resolve(uint32_t handle, const wchar_t* path, bool forWrite, CPath* absolute) const;
  bool Conflicts(const CPath& path, uint32_t permissions, uint32_t parent) const;
  const CKey* WalkTo(const CPath& path, uint32_t id, const CProperty** inheritable) const;
  CProperty DiagnosticProperty(uint32_t id) const;

  CKey m_root;
  std::map<uint32_t, COpenHandle> m_handles;
  uint32_t m_nextHandle = 1;
  uint32_t m_opened = 0;
  uint32_t m_closed = 0;
  bool m_dirty = false;
};

// Splits a metabase path at "/" and "\"; empty names (leading, trailing and
// doubled separators) vanish. A null path is the empty path.
CPath SplitPath(const wchar_t* path);
std::wstring JoinPath(const CPath& path);

// Builds the stored bytes of a value as SetData receives it: strings end at
// their first zero (within length bytes when length is non-zero) and get one
// appended; a DWORD is four bytes; other types keep length bytes.
std::vector<uint8_t> StoredData(uint32_t dataType, const uint8_t* data, uint32_t length);

CProperty StringProperty(uint32_t id, uint32_t attributes, uint32_t userType, const std::wstring& value);
CProperty DwordProperty(uint32_t id, uint32_t attributes, uint32_t userType, uint32_t value);

// The sorted text of the whole tree, one line per key and per property
// (format in MetabaseText.cpp).
std::string DumpTree(const CKey& root);
// A value as the dump writes it.
std::string ValueText(const CProperty& property);

}  // namespace metabase
