#include "Accessors.h"

#include "DataConvert.h"

namespace jet {

const CAccessor* CAccessorImpl::FindAccessor(HACCESSOR accessor) const {
  auto found = m_accessors.find(accessor);
  return found == m_accessors.end() ? nullptr : &found->second;
}

STDMETHODIMP CAccessorImpl::AddRefAccessor(HACCESSOR accessor, DBREFCOUNT* references) {
  auto found = m_accessors.find(accessor);
  if (found == m_accessors.end()) return DB_E_BADACCESSORHANDLE;
  ++found->second.references;
  if (references) *references = found->second.references;
  return S_OK;
}

STDMETHODIMP CAccessorImpl::ReleaseAccessor(HACCESSOR accessor, DBREFCOUNT* references) {
  auto found = m_accessors.find(accessor);
  if (found == m_accessors.end()) return DB_E_BADACCESSORHANDLE;
  const DBREFCOUNT left = --found->second.references;
  if (left == 0) m_accessors.erase(found);
  if (references) *references = left;
  return S_OK;
}

DBBINDSTATUS CAccessorImpl::CheckBinding(DBACCESSORFLAGS flags, const DBBINDING& binding) const {
  if (!IsValidOrdinal(flags, binding.iOrdinal)) return DBBINDSTATUS_BADORDINAL;
  const DBPART parts = DBPART_VALUE | DBPART_LENGTH | DBPART_STATUS;
  if ((binding.dwPart & parts) == 0 || (binding.dwPart & ~parts) != 0) return DBBINDSTATUS_BADBINDINFO;
  if (binding.pObject || binding.pBindExt) return DBBINDSTATUS_BADBINDINFO;
  if (!IsBindableType(binding.wType)) return DBBINDSTATUS_UNSUPPORTEDCONVERSION;
  return DBBINDSTATUS_OK;
}

STDMETHODIMP CAccessorImpl::CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                                           DBLENGTH, HACCESSOR* accessor, DBBINDSTATUS statuses[]) {
  if (!accessor) return E_INVALIDARG;
  *accessor = DB_NULL_HACCESSOR;
  if (count && !bindings) return E_INVALIDARG;
  if (!AcceptsFlags(flags)) return DB_E_BADACCESSORFLAGS;
  bool allValid = true;
  for (DBCOUNTITEM i = 0; i < count; ++i) {
    const DBBINDSTATUS status = CheckBinding(flags, bindings[i]);
    if (statuses) statuses[i] = status;
    allValid = allValid && status == DBBINDSTATUS_OK;
  }
  if (!allValid) return DB_E_ERRORSOCCURRED;
  CAccessor created;
  created.flags = flags;
  created.bindings.assign(bindings, bindings + count);
  const HACCESSOR handle = m_nextHandle++;
  m_accessors.emplace(handle, std::move(created));
  *accessor = handle;
  return S_OK;
}

STDMETHODIMP CAccessorImpl::GetBindings(HACCESSOR accessor, DBACCESSORFLAGS* flags, DBCOUNTITEM* count,
                                        DBBINDING** bindings) {
  if (!flags || !count || !bindings) return E_INVALIDARG;
  *count = 0;
  *bindings = nullptr;
  const CAccessor* found = FindAccessor(accessor);
  if (!found) return DB_E_BADACCESSORHANDLE;
  *flags = found->flags;
  if (found->bindings.empty()) return S_OK;
  const size_t bytes = found->bindings.size() * sizeof(DBBINDING);
  *bindings = static_cast<DBBINDING*>(::CoTaskMemAlloc(bytes));
  if (!*bindings) return E_OUTOFMEMORY;
  memcpy(*bindings, found->bindings.data(), bytes);
  *count = found->bindings.size();
  return S_OK;
}

STDMETHODIMP CConvertTypeImpl::CanConvert(DBTYPE fromType, DBTYPE toType, DBCONVERTFLAGS flags) {
  const DBCONVERTFLAGS known = DBCONVERTFLAGS_PARAMETER | DBCONVERTFLAGS_ISLONG | DBCONVERTFLAGS_ISFIXEDLENGTH |
                               DBCONVERTFLAGS_FROMVARIANT;
  if (flags & ~known) return DB_E_BADCONVERTFLAG;
  return IsBindableType(fromType) && IsBindableType(toType) ? S_OK : S_FALSE;
}

}  // namespace jet
