#include "Rowset.h"

#include "DataConvert.h"
#include "Properties.h"

namespace jet {

namespace {

bool IsVariableLength(const CJetColumnType& type) {
  return type.dbType == kDbTypeWStr || type.dbType == kDbTypeBytes;
}

void CountStatus(DBSTATUS status, DBCOUNTITEM& failures) {
  const bool failed = status != DBSTATUS_S_OK && status != DBSTATUS_S_ISNULL && status != DBSTATUS_S_TRUNCATED;
  if (failed) ++failures;
}

}  // namespace

DBCOLUMNFLAGS ColumnFlagsOf(const CJetColumnType& type) {
  DBCOLUMNFLAGS flags = DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL | DBCOLUMNFLAGS_WRITEUNKNOWN;
  if (!IsVariableLength(type)) flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
  if (type.isLong) flags |= DBCOLUMNFLAGS_ISLONG;
  return flags;
}

HRESULT DescribeColumns(const std::vector<CRowsetColumn>& columns, DBORDINAL* count, DBCOLUMNINFO** info,
                        OLECHAR** names) {
  if (!count || !info || !names) return E_INVALIDARG;
  *count = 0;
  *info = nullptr;
  *names = nullptr;
  if (columns.empty()) return S_OK;
  size_t characters = 0;
  for (const CRowsetColumn& column : columns) characters += column.name.size() + 1;
  auto* infos = static_cast<DBCOLUMNINFO*>(::CoTaskMemAlloc(columns.size() * sizeof(DBCOLUMNINFO)));
  auto* buffer = static_cast<OLECHAR*>(::CoTaskMemAlloc(characters * sizeof(OLECHAR)));
  if (!infos || !buffer) {
    ::CoTaskMemFree(infos);
    ::CoTaskMemFree(buffer);
    return E_OUTOFMEMORY;
  }
  OLECHAR* next = buffer;
  for (size_t i = 0; i < columns.size(); ++i) {
    const CRowsetColumn& column = columns[i];
    memcpy(next, column.name.c_str(), (column.name.size() + 1) * sizeof(OLECHAR));
    DBCOLUMNINFO& out = infos[i];
    memset(&out, 0, sizeof(out));
    out.pwszName = next;
    out.iOrdinal = i + 1;
    out.dwFlags = ColumnFlagsOf(column.type);
    out.ulColumnSize = column.type.size;
    out.wType = column.type.dbType;
    out.bPrecision = column.type.precision ? column.type.precision : static_cast<BYTE>(~0);
    out.bScale = static_cast<BYTE>(~0);
    out.columnid.eKind = DBKIND_NAME;
    out.columnid.uName.pwszName = next;
    next += column.name.size() + 1;
  }
  *count = columns.size();
  *info = infos;
  *names = buffer;
  return S_OK;
}

HRESULT MapColumnIds(const std::vector<CRowsetColumn>& columns, DBORDINAL count, const DBID ids[],
                     DBORDINAL ordinals[]) {
  if (count && (!ids || !ordinals)) return E_INVALIDARG;
  DBORDINAL found = 0;
  for (DBORDINAL i = 0; i < count; ++i) {
    ordinals[i] = DB_INVALIDCOLUMN;
    const bool byName = (ids[i].eKind == DBKIND_NAME || ids[i].eKind == DBKIND_GUID_NAME ||
                         ids[i].eKind == DBKIND_PGUID_NAME) && ids[i].uName.pwszName;
    for (size_t c = 0; byName && c < columns.size(); ++c) {
      if (::lstrcmpiW(columns[c].name.c_str(), ids[i].uName.pwszName) == 0) {
        ordinals[i] = c + 1;
        ++found;
        break;
      }
    }
  }
  if (found == count) return S_OK;
  return found ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

CRowset::CRowset(IUnknown* outer, CRowsetData data, IUnknown* specification)
    : CUnknownBase(outer), m_data(std::move(data)), m_specification(specification) {
  m_rowReferences.assign(m_data.rows.size(), 0);
}

HRESULT CRowset::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IRowset)) *ppv = static_cast<IRowset*>(this);
  else if (IsEqualIID(iid, IID_IAccessor)) *ppv = static_cast<IAccessor*>(this);
  else if (IsEqualIID(iid, IID_IColumnsInfo)) *ppv = static_cast<IColumnsInfo*>(this);
  else if (IsEqualIID(iid, IID_IRowsetInfo)) *ppv = static_cast<IRowsetInfo*>(this);
  else if (IsEqualIID(iid, IID_IConvertType)) *ppv = static_cast<IConvertType*>(this);
  else return E_NOINTERFACE;
  return S_OK;
}

bool CRowset::IsValidOrdinal(DBACCESSORFLAGS, DBORDINAL ordinal) const {
  return ordinal >= 1 && ordinal <= m_data.columns.size();
}

bool CRowset::AcceptsFlags(DBACCESSORFLAGS flags) const {
  return (flags & DBACCESSOR_ROWDATA) && !(flags & DBACCESSOR_PARAMETERDATA);
}

long CRowset::HeldRow(HROW row) const {
  if (row == DB_NULL_HROW || row > m_rowReferences.size()) return -1;
  const long index = static_cast<long>(row - 1);
  return m_rowReferences[static_cast<size_t>(index)] ? index : -1;
}

HRESULT CRowset::ChangeRowReferences(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT references[],
                                     DBROWSTATUS statuses[], int change) {
  if (count && !rows) return E_INVALIDARG;
  DBCOUNTITEM failures = 0;
  for (DBCOUNTITEM i = 0; i < count; ++i) {
    const long index = HeldRow(rows[i]);
    DBREFCOUNT left = 0;
    if (index >= 0) {
      DBREFCOUNT& held = m_rowReferences[static_cast<size_t>(index)];
      held = change > 0 ? held + 1 : held - 1;
      left = held;
    } else {
      ++failures;
    }
    if (references) references[i] = left;
    if (statuses) statuses[i] = index >= 0 ? DBROWSTATUS_S_OK : DBROWSTATUS_E_INVALID;
  }
  if (failures == 0) return S_OK;
  return failures < count ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

STDMETHODIMP CRowset::AddRefRows(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT references[],
                                 DBROWSTATUS statuses[]) {
  return ChangeRowReferences(count, rows, references, statuses, +1);
}

STDMETHODIMP CRowset::ReleaseRows(DBCOUNTITEM count, const HROW rows[], DBROWOPTIONS[], DBREFCOUNT references[],
                                  DBROWSTATUS statuses[]) {
  return ChangeRowReferences(count, rows, references, statuses, -1);
}

STDMETHODIMP CRowset::GetData(HROW row, HACCESSOR accessor, void* data) {
  const long index = HeldRow(row);
  if (index < 0) return DB_E_BADROWHANDLE;
  const CAccessor* found = FindAccessor(accessor);
  if (!found) return DB_E_BADACCESSORHANDLE;
  if (!data && !found->bindings.empty()) return E_INVALIDARG;
  const CSqlRow& values = m_data.rows[static_cast<size_t>(index)];
  DBCOUNTITEM failures = 0;
  for (const DBBINDING& binding : found->bindings) {
    const CSqlValue& value = values[binding.iOrdinal - 1];
    CountStatus(WriteBoundValue(value, binding, static_cast<BYTE*>(data)), failures);
  }
  if (failures == 0) return S_OK;
  return failures < found->bindings.size() ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
}

STDMETHODIMP CRowset::GetNextRows(HCHAPTER, DBROWOFFSET offset, DBROWCOUNT wanted, DBCOUNTITEM* obtained,
                                  HROW** rows) {
  if (!obtained || !rows) return E_INVALIDARG;
  *obtained = 0;
  if (offset < 0) return DB_E_CANTSCROLLBACKWARDS;
  if (wanted < 0) return DB_E_CANTFETCHBACKWARDS;
  if (wanted == 0) return S_OK;
  const size_t start = m_position + static_cast<size_t>(offset);
  if (start >= m_data.rows.size()) {
    m_position = m_data.rows.size();
    return DB_S_ENDOFROWSET;
  }
  const size_t available = m_data.rows.size() - start;
  const size_t count = static_cast<size_t>(wanted) < available ? static_cast<size_t>(wanted) : available;
  const bool allocated = *rows == nullptr;
  if (allocated) {
    *rows = static_cast<HROW*>(::CoTaskMemAlloc(count * sizeof(HROW)));
    if (!*rows) return E_OUTOFMEMORY;
  }
  for (size_t i = 0; i < count; ++i) {
    (*rows)[i] = start + i + 1;
    ++m_rowReferences[start + i];
  }
  m_position = start + count;
  *obtained = count;
  return count < static_cast<size_t>(wanted) ? DB_S_ENDOFROWSET : S_OK;
}

STDMETHODIMP CRowset::RestartPosition(HCHAPTER) {
  m_position = 0;
  return S_OK;
}

STDMETHODIMP CRowset::GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** names) {
  return DescribeColumns(m_data.columns, count, info, names);
}

STDMETHODIMP CRowset::MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL ordinals[]) {
  return MapColumnIds(m_data.columns, count, ids, ordinals);
}

STDMETHODIMP CRowset::GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                    DBPROPSET** sets) {
  return AnswerRowsetProperties(idSetCount, idSets, setCount, sets);
}

STDMETHODIMP CRowset::GetReferencedRowset(DBORDINAL ordinal, REFIID, IUnknown** rowset) {
  if (!rowset) return E_INVALIDARG;
  *rowset = nullptr;
  return ordinal == 0 || ordinal > m_data.columns.size() ? DB_E_BADORDINAL : DB_E_NOTAREFERENCECOLUMN;
}

STDMETHODIMP CRowset::GetSpecification(REFIID iid, IUnknown** specification) {
  if (!specification) return E_INVALIDARG;
  *specification = nullptr;
  if (!m_specification) return S_FALSE;
  return m_specification->QueryInterface(iid, reinterpret_cast<void**>(specification));
}

}  // namespace jet
