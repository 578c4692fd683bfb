#include "Properties.h"

#include <iterator>

namespace jet {

namespace {

struct CCounts {
  ULONG succeeded = 0;
  ULONG failed = 0;

  HRESULT Result() const {
    if (failed == 0) return S_OK;
    return succeeded ? DB_S_ERRORSOCCURRED : DB_E_ERRORSOCCURRED;
  }
};

HRESULT FillSet(const GUID& set, const std::vector<DBPROPID>& ids, const PropertyReader& read, DBPROPSET& out,
                CCounts& counts) {
  out.guidPropertySet = set;
  out.cProperties = 0;
  out.rgProperties = nullptr;
  if (ids.empty()) return S_OK;
  out.rgProperties = static_cast<DBPROP*>(::CoTaskMemAlloc(ids.size() * sizeof(DBPROP)));
  if (!out.rgProperties) return E_OUTOFMEMORY;
  out.cProperties = static_cast<ULONG>(ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    DBPROP& property = out.rgProperties[i];
    memset(&property, 0, sizeof(property));
    property.dwPropertyID = ids[i];
    ::VariantInit(&property.vValue);
    const bool supported = read(set, ids[i], property.vValue);
    property.dwStatus = supported ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSUPPORTED;
    ++(supported ? counts.succeeded : counts.failed);
  }
  return S_OK;
}

void FreeSets(ULONG count, DBPROPSET* sets) {
  for (ULONG i = 0; i < count; ++i) {
    for (ULONG p = 0; p < sets[i].cProperties; ++p) ::VariantClear(&sets[i].rgProperties[p].vValue);
    ::CoTaskMemFree(sets[i].rgProperties);
  }
  ::CoTaskMemFree(sets);
}

}  // namespace

HRESULT AnswerGetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets,
                            const COwnProperties& own, const PropertyReader& read) {
  if (!setCount || !sets) return E_INVALIDARG;
  *setCount = 0;
  *sets = nullptr;
  if (idSetCount && !idSets) return E_INVALIDARG;
  const ULONG count = idSetCount ? idSetCount : 1;
  auto* result = static_cast<DBPROPSET*>(::CoTaskMemAlloc(count * sizeof(DBPROPSET)));
  if (!result) return E_OUTOFMEMORY;
  memset(result, 0, count * sizeof(DBPROPSET));
  CCounts counts;
  HRESULT hr = S_OK;
  ULONG filled = 0;
  for (; filled < count && SUCCEEDED(hr); ++filled) {
    const GUID& set = idSetCount ? idSets[filled].guidPropertySet : *own.set;
    std::vector<DBPROPID> ids;
    if (idSetCount && idSets[filled].cPropertyIDs) {
      if (!idSets[filled].rgPropertyIDs) hr = E_INVALIDARG;
      else ids.assign(idSets[filled].rgPropertyIDs, idSets[filled].rgPropertyIDs + idSets[filled].cPropertyIDs);
    } else if (IsEqualGUID(set, *own.set)) {
      ids = own.ids;
    }
    if (SUCCEEDED(hr)) hr = FillSet(set, ids, read, result[filled], counts);
  }
  if (FAILED(hr)) {
    FreeSets(count, result);
    return hr;
  }
  *setCount = count;
  *sets = result;
  return counts.Result();
}

HRESULT AnswerSetProperties(ULONG setCount, DBPROPSET sets[], const PropertyWriter& write) {
  if (setCount && !sets) return E_INVALIDARG;
  for (ULONG i = 0; i < setCount; ++i) {
    if (sets[i].cProperties && !sets[i].rgProperties) return E_INVALIDARG;
  }
  CCounts counts;
  for (ULONG i = 0; i < setCount; ++i) {
    for (ULONG p = 0; p < sets[i].cProperties; ++p) {
      DBPROP& property = sets[i].rgProperties[p];
      property.dwStatus = write(sets[i].guidPropertySet, property);
      ++(property.dwStatus == DBPROPSTATUS_OK ? counts.succeeded : counts.failed);
    }
  }
  return counts.Result();
}

}  // namespace jet

namespace jet {

namespace {

const DBPROPID kRowsetInterfaces[] = {DBPROP_IRowset, DBPROP_IAccessor, DBPROP_IColumnsInfo, DBPROP_IRowsetInfo};

bool IsRowsetInterface(const GUID& set, DBPROPID id) {
  if (!IsEqualGUID(set, DBPROPSET_ROWSET)) return false;
  for (DBPROPID supported : kRowsetInterfaces) {
    if (supported == id) return true;
  }
  return false;
}

}  // namespace

HRESULT AnswerRowsetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets) {
  const COwnProperties own{&DBPROPSET_ROWSET, {std::begin(kRowsetInterfaces), std::end(kRowsetInterfaces)}};
  return AnswerGetProperties(idSetCount, idSets, setCount, sets, own,
                             [](const GUID& set, DBPROPID id, VARIANT& value) {
                               if (!IsRowsetInterface(set, id)) return false;
                               value.vt = VT_BOOL;
                               value.boolVal = VARIANT_TRUE;
                               return true;
                             });
}

DBPROPSTATUS ApplyRowsetProperty(const GUID& set, const DBPROP& property) {
  if (!IsRowsetInterface(set, property.dwPropertyID)) {
    return property.dwOptions == DBPROPOPTIONS_OPTIONAL ? DBPROPSTATUS_NOTSET : DBPROPSTATUS_NOTSUPPORTED;
  }
  const bool granted = property.vValue.vt == VT_EMPTY ||
                       (property.vValue.vt == VT_BOOL && property.vValue.boolVal == VARIANT_TRUE);
  return granted ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSETTABLE;
}

}  // namespace jet
