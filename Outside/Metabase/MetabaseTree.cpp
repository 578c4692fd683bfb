#include "MetabaseTree.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "MetabaseStandIn.h"

namespace metabase {

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
  return !CNameLess()(a, b) && !CNameLess()(b, a);
}

// True when prefix names the same key as path or one of its ancestors.
bool IsPrefixPath(const CPath& prefix, const CPath& path) {
  return prefix.size() <= path.size() &&
         std::equal(prefix.begin(), prefix.end(), path.begin(), SameName);
}

bool Matches(const CProperty& property, const CDataQuery& query) {
  return (query.userType == kAllMetadata || query.userType == property.userType) &&
         (query.dataType == kAllMetadata || query.dataType == property.dataType);
}

bool IsKnownDataType(uint32_t dataType) { return dataType >= kDwordData && dataType <= kMultiStringData; }

std::vector<uint8_t> StoredString(const uint8_t* data, uint32_t length) {
  std::vector<uint8_t> stored;
  const size_t limit = length ? length / 2 : SIZE_MAX;
  for (size_t i = 0; i < limit; ++i) {
    uint16_t unit;
    std::memcpy(&unit, data + 2 * i, 2);
    if (unit == 0) break;
    stored.insert(stored.end(), data + 2 * i, data + 2 * i + 2);
  }
  stored.insert(stored.end(), 2, 0);
  return stored;
}

}  // namespace

bool CNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
    return std::towlower(static_cast<wint_t>(x)) < std::towlower(static_cast<wint_t>(y));
  });
}

CPath SplitPath(const wchar_t* path) {
  CPath names;
  std::wstring name;
  for (const wchar_t* p = path; p && *p; ++p) {
    if (*p == L'/' || *p == L'\\') {
      if (!name.empty()) names.push_back(std::move(name));
      name.clear();
    } else {
      name += *p;
    }
  }
  if (!name.empty()) names.push_back(std::move(name));
  return names;
}

std::wstring JoinPath(const CPath& path) {
  std::wstring joined;
  for (const std::wstring& name : path) {
    if (!joined.empty()) joined += L'/';
    joined += name;
  }
  return joined;
}

std::vector<uint8_t> StoredData(uint32_t dataType, const uint8_t* data, uint32_t length) {
  switch (dataType) {
    case kStringData:
    case kExpandStringData:
      return StoredString(data, length);
    case kDwordData:
      return std::vector<uint8_t>(data, data + 4);
    default:
      return std::vector<uint8_t>(data, data + length);
  }
}

CProperty StringProperty(uint32_t id, uint32_t attributes, uint32_t userType, const std::wstring& value) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(value.c_str());
  return CProperty{id, attributes, userType, kStringData, StoredData(kStringData, bytes, 0)};
}

CProperty DwordProperty(uint32_t id, uint32_t attributes, uint32_t userType, uint32_t value) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
  return CProperty{id, attributes, userType, kDwordData, std::vector<uint8_t>(bytes, bytes + 4)};
}

// --- tree access ---------------------------------------------------------------

const CKey* CMetabase::FindKey(const CPath& path) const {
  const CKey* key = &m_root;
  for (const std::wstring& name : path) {
    auto child = key->children.find(name);
    if (child == key->children.end()) return nullptr;
    key = &child->second;
  }
  return key;
}

CKey* CMetabase::FindKey(const CPath& path) {
  return const_cast<CKey*>(static_cast<const CMetabase*>(this)->FindKey(path));
}

CKey& CMetabase::EnsureKey(const CPath& path) {
  CKey* key = &m_root;
  for (const std::wstring& name : path) key = &key->children[name];
  m_dirty = true;
  return *key;
}

bool CMetabase::RemoveKey(const CPath& path) {
  if (path.empty()) return false;
  CKey* parent = FindKey(CPath(path.begin(), path.end() - 1));
  if (!parent || parent->children.erase(path.back()) == 0) return false;
  m_dirty = true;
  return true;
}

void CMetabase::DropHandles(const std::function<bool(const COwner&)>& isAlive) {
  for (auto it = m_handles.begin(); it != m_handles.end();) {
    if (isAlive(it->second.owner)) {
      ++it;
    } else {
      it = m_handles.erase(it);
      m_dirty = true;
    }
  }
}

// --- handles -------------------------------------------------------------------

EStatus CMetabase::Resolve(uint32_t handle, const wchar_t* path, bool forWrite, CPath* absolute) const {
  if (handle == 0) {
    // The master root handle never carries write permission.
    if (forWrite) return EStatus::AccessDenied;
    absolute->clear();
  } else {
    auto open = m_handles.find(handle);
    if (open == m_handles.end()) return EStatus::InvalidHandle;
    if (forWrite && !(open->second.permissions & kPermissionWrite)) return EStatus::AccessDenied;
    *absolute = open->second.path;
    // The tool may have deleted the key below an open handle.
    if (!FindKey(*absolute)) return EStatus::PathNotFound;
  }
  for (std::wstring& name : SplitPath(path)) {
    if (name.size() >= kMaxNameLength) return EStatus::InvalidArgument;
    absolute->push_back(std::move(name));
  }
  return EStatus::Ok;
}

// IIS locks the whole subtree below an open key and the path above it: a
// writer excludes every other handle there, readers exclude only writers.
// A key opened through a handle lies inside that handle's own lock, so the
// parent never excludes it (the installer opens subkeys below a site key it
// holds for writing).
bool CMetabase::Conflicts(const CPath& path, uint32_t permissions, uint32_t parent) const {
  return std::any_of(m_handles.begin(), m_handles.end(), [&](const auto& entry) {
    if (entry.first == parent) return false;
    const COpenHandle& open = entry.second;
    bool related = IsPrefixPath(open.path, path) || IsPrefixPath(path, open.path);
    bool writing = (permissions | open.permissions) & kPermissionWrite;
    return related && writing;
  });
}

EStatus CMetabase::OpenKey(uint32_t handle, const wchar_t* path, uint32_t permissions, const COwner& owner,
                           uint32_t* newHandle) {
  permissions &= kPermissionRead | kPermissionWrite;
  if (permissions == 0) return EStatus::InvalidArgument;
  CPath absolute;
  EStatus status = Resolve(handle, path, false, &absolute);
  if (status != EStatus::Ok) return status;
  if (!FindKey(absolute)) return EStatus::PathNotFound;
  if (Conflicts(absolute, permissions, handle)) return EStatus::PathBusy;
  if (m_nextHandle == 0) m_nextHandle = 1;  // 0 is the master root
  *newHandle = m_nextHandle++;
  m_handles[*newHandle] = COpenHandle{permissions, std::move(absolute), owner};
  ++m_opened;
  m_dirty = true;
  return EStatus::Ok;
}

EStatus CMetabase::CloseKey(uint32_t handle) {
  if (m_handles.erase(handle) == 0) return EStatus::InvalidHandle;
  ++m_closed;
  m_dirty = true;
  return EStatus::Ok;
}

EStatus CMetabase::HandlePermissions(uint32_t handle, uint32_t* permissions) const {
  if (handle == 0) {
    *permissions = kPermissionRead;
    return EStatus::Ok;
  }
  auto open = m_handles.find(handle);
  if (open == m_handles.end()) return EStatus::InvalidHandle;
  *permissions = open->second.permissions;
  return EStatus::Ok;
}

// --- keys ----------------------------------------------------------------------

EStatus CMetabase::AddKey(uint32_t handle, const wchar_t* path) {
  CPath absolute;
  EStatus status = Resolve(handle, path, true, &absolute);
  if (status != EStatus::Ok) return status;
  if (FindKey(absolute)) return EStatus::AlreadyExists;
  EnsureKey(absolute);
  return EStatus::Ok;
}

EStatus CMetabase::DeleteKey(uint32_t handle, const wchar_t* path) {
  CPath absolute;
  EStatus status = Resolve(handle, path, true, &absolute);
  if (status != EStatus::Ok) return status;
  // The key of the handle itself cannot go: the handle would point nowhere.
  if (SplitPath(path).empty()) return EStatus::InvalidArgument;
  return RemoveKey(absolute) ? EStatus::Ok : EStatus::PathNotFound;
}

EStatus CMetabase::DeleteChildKeys(uint32_t handle, const wchar_t* path) {
  CPath absolute;
  EStatus status = Resolve(handle, path, true, &absolute);
  if (status != EStatus::Ok) return status;
  CKey* key = FindKey(absolute);
  if (!key) return EStatus::PathNotFound;
  key->children.clear();
  m_dirty = true;
  return EStatus::Ok;
}

EStatus CMetabase::EnumKeys(uint32_t handle, const wchar_t* path, uint32_t index, std::wstring* name) const {
  CPath absolute;
  EStatus status = Resolve(handle, path, false, &absolute);
  if (status != EStatus::Ok) return status;
  const CKey* key = FindKey(absolute);
  if (!key) return EStatus::PathNotFound;
  if (index >= key->children.size()) return EStatus::NoMoreItems;
  *name = std::next(key->children.begin(), index)->first;
  return EStatus::Ok;
}

// --- data ----------------------------------------------------------------------

EStatus CMetabase::SetData(uint32_t handle, const wchar_t* path, CProperty property) {
  if (!IsKnownDataType(property.dataType)) return EStatus::InvalidArgument;
  CPath absolute;
  EStatus status = Resolve(handle, path, true, &absolute);
  if (status != EStatus::Ok) return status;
  CKey* key = FindKey(absolute);
  if (!key) return EStatus::PathNotFound;
  // These two only steer a read; they are not part of a stored record.
  property.attributes &= ~(kAttributeIsInherited | kAttributePartialPath);
  key->properties[property.id] = std::move(property);
  m_dirty = true;
  return EStatus::Ok;
}

// A key inherits from the nearest ancestor that sets the identifier, and only
// when that ancestor set it with METADATA_INHERIT. Returns the key of the
// path, or null when the path ends early, with what its ancestors hand down.
const CKey* CMetabase::WalkTo(const CPath& path, uint32_t id, const CProperty** inheritable) const {
  *inheritable = nullptr;
  const CKey* key = &m_root;
  for (const std::wstring& name : path) {
    auto set = key->properties.find(id);
    if (set != key->properties.end()) {
      *inheritable = (set->second.attributes & kAttributeInherit) ? &set->second : nullptr;
    }
    auto child = key->children.find(name);
    if (child == key->children.end()) return nullptr;
    key = &child->second;
  }
  return key;
}

EStatus CMetabase::GetData(uint32_t handle, const wchar_t* path, const CDataQuery& query,
                           CFoundData* found) const {
  CPath absolute;
  EStatus status = Resolve(handle, path, false, &absolute);
  if (status != EStatus::Ok) return status;
  if (absolute.size() == 1 && SameName(absolute[0], kDiagnosticsKey)) {
    *found = CFoundData{DiagnosticProperty(query.id), false};
    return found->property.id != 0 && Matches(found->property, query) ? EStatus::Ok : EStatus::DataNotFound;
  }
  const bool inherit = query.attributes & kAttributeInherit;
  const CProperty* inheritable = nullptr;
  const CKey* key = WalkTo(absolute, query.id, &inheritable);
  if (!key && !(inherit && (query.attributes & kAttributePartialPath))) return EStatus::PathNotFound;
  if (key) {
    auto own = key->properties.find(query.id);
    if (own != key->properties.end()) {
      if (!Matches(own->second, query)) return EStatus::DataNotFound;
      *found = CFoundData{own->second, false};
      return EStatus::Ok;
    }
  }
  if (!inherit || !inheritable || !Matches(*inheritable, query)) return EStatus::DataNotFound;
  *found = CFoundData{*inheritable, true};
  return EStatus::Ok;
}

EStatus CMetabase::DeleteData(uint32_t handle, const wchar_t* path, uint32_t id, uint32_t dataType) {
  CPath absolute;
  EStatus status = Resolve(handle, path, true, &absolute);
  if (status != EStatus::Ok) return status;
  CKey* key = FindKey(absolute);
  if (!key) return EStatus::PathNotFound;
  auto own = key->properties.find(id);
  if (own == key->properties.end() || !Matches(own->second, CDataQuery{id, 0, kAllMetadata, dataType})) {
    return EStatus::DataNotFound;
  }
  key->properties.erase(own);
  m_dirty = true;
  return EStatus::Ok;
}

EStatus CMetabase::EnumData(uint32_t handle, const wchar_t* path, const CDataQuery& query, uint32_t index,
                            CProperty* property) const {
  CPath absolute;
  EStatus status = Resolve(handle, path, false, &absolute);
  if (status != EStatus::Ok) return status;
  const CKey* key = FindKey(absolute);
  if (!key) return EStatus::PathNotFound;
  for (const auto& entry : key->properties) {
    if (Matches(entry.second, query) && index-- == 0) {
      *property = entry.second;
      return EStatus::Ok;
    }
  }
  return EStatus::NoMoreItems;
}

CProperty CMetabase::DiagnosticProperty(uint32_t id) const {
  switch (id) {
    case kOpenedHandlesId: return DwordProperty(id, 0, kDiagnosticsUserType, m_opened);
    case kClosedHandlesId: return DwordProperty(id, 0, kDiagnosticsUserType, m_closed);
    case kOpenHandlesId:
      return DwordProperty(id, 0, kDiagnosticsUserType, static_cast<uint32_t>(m_handles.size()));
    default: return CProperty{};
  }
}

}  // namespace metabase
