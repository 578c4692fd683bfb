#include "DataSource.h"

#include "Properties.h"
#include "Session.h"

namespace jet {

namespace {

// Initialisation properties a JET consumer may pass that change nothing here.
bool IsAcceptedInitProperty(DBPROPID id) {
  switch (id) {
    case DBPROP_AUTH_USERID: case DBPROP_AUTH_PASSWORD: case DBPROP_AUTH_PERSIST_SENSITIVE_AUTHINFO:
    case DBPROP_INIT_MODE: case DBPROP_INIT_PROMPT: case DBPROP_INIT_HWND: case DBPROP_INIT_LCID:
    case DBPROP_INIT_TIMEOUT: case DBPROP_INIT_GENERALTIMEOUT: case DBPROP_INIT_PROVIDERSTRING:
    case DBPROP_INIT_OLEDBSERVICES: case DBPROP_INIT_ASYNCH:
      return true;
    default:
      return false;
  }
}

}  // namespace

CDataSource::CDataSource(IUnknown* outer) : CUnknownBase(outer) {}

HRESULT CDataSource::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IDBInitialize)) *ppv = static_cast<IDBInitialize*>(this);
  else if (IsEqualIID(iid, IID_IDBProperties)) *ppv = static_cast<IDBProperties*>(this);
  else if (IsEqualIID(iid, IID_IDBCreateSession)) *ppv = static_cast<IDBCreateSession*>(this);
  else if (IsEqualIID(iid, IID_IPersist)) *ppv = static_cast<IPersist*>(this);
  else if (IsEqualIID(iid, IID_ISupportErrorInfo)) *ppv = static_cast<ISupportErrorInfo*>(this);
  else return E_NOINTERFACE;
  return S_OK;
}

STDMETHODIMP CDataSource::Initialize() {
  if (m_database) return DB_E_ALREADYINITIALIZED;
  if (m_dataSourcePath.empty()) return ReportFailure(E_FAIL, L"No database file name was given.");
  if (::GetFileAttributesW(m_dataSourcePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return ReportFailure(E_FAIL, L"Could not find file '" + m_dataSourcePath + L"'.");
  }
  auto state = std::make_shared<CDatabaseState>();
  CSqlError error = state->database.Open(WideToUtf8(m_dataSourcePath), false);
  if (error) return ReportSqlFailure(error, E_FAIL);
  m_database = std::move(state);
  return S_OK;
}

STDMETHODIMP CDataSource::Uninitialize() {
  if (!m_database) return S_OK;
  // Sessions and commands share the state; they must be gone first.
  if (m_database.use_count() > 1) return DB_E_OBJECTOPEN;
  m_database.reset();
  return S_OK;
}

STDMETHODIMP CDataSource::GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                        DBPROPSET** sets) {
  const COwnProperties own{&DBPROPSET_DBINIT, {DBPROP_INIT_DATASOURCE}};
  return AnswerGetProperties(idSetCount, idSets, setCount, sets, own,
                             [this](const GUID& set, DBPROPID id, VARIANT& value) {
                               if (!IsEqualGUID(set, DBPROPSET_DBINIT) || id != DBPROP_INIT_DATASOURCE) return false;
                               value.vt = VT_BSTR;
                               value.bstrVal = ::SysAllocString(m_dataSourcePath.c_str());
                               return true;
                             });
}

STDMETHODIMP CDataSource::GetPropertyInfo(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                                          DBPROPINFOSET** infoSets, OLECHAR** descriptions) {
  if (!infoSetCount || !infoSets) return E_INVALIDARG;
  *infoSetCount = 0;
  *infoSets = nullptr;
  if (descriptions) *descriptions = nullptr;
  if (idSetCount && !idSets) return E_INVALIDARG;
  bool asksInit = idSetCount == 0;
  for (ULONG i = 0; i < idSetCount; ++i) {
    asksInit = asksInit || IsEqualGUID(idSets[i].guidPropertySet, DBPROPSET_DBINIT) ||
               IsEqualGUID(idSets[i].guidPropertySet, DBPROPSET_DBINITALL);
  }
  if (!asksInit) return DB_E_ERRORSOCCURRED;
  // Only the data source's one property is described.
  auto* set = static_cast<DBPROPINFOSET*>(::CoTaskMemAlloc(sizeof(DBPROPINFOSET)));
  auto* info = static_cast<DBPROPINFO*>(::CoTaskMemAlloc(sizeof(DBPROPINFO)));
  OLECHAR* text = descriptions ? TaskStringCopy(L"Data Source") : nullptr;
  if (!set || !info || (descriptions && !text)) {
    ::CoTaskMemFree(set);
    ::CoTaskMemFree(info);
    ::CoTaskMemFree(text);
    return E_OUTOFMEMORY;
  }
  memset(info, 0, sizeof(*info));
  info->pwszDescription = text;
  info->dwPropertyID = DBPROP_INIT_DATASOURCE;
  info->dwFlags = DBPROPFLAGS_DBINIT | DBPROPFLAGS_READ | DBPROPFLAGS_WRITE;
  info->vtType = VT_BSTR;
  ::VariantInit(&info->vValues);
  set->rgPropertyInfos = info;
  set->cPropertyInfos = 1;
  set->guidPropertySet = DBPROPSET_DBINIT;
  *infoSetCount = 1;
  *infoSets = set;
  if (descriptions) *descriptions = text;
  return S_OK;
}

DBPROPSTATUS CDataSource::ApplyProperty(const GUID& set, const DBPROP& property) {
  if (!IsEqualGUID(set, DBPROPSET_DBINIT)) return DBPROPSTATUS_NOTSUPPORTED;
  if (property.dwPropertyID == DBPROP_INIT_DATASOURCE) {
    if (m_database) return DBPROPSTATUS_NOTSETTABLE;
    if (property.vValue.vt != VT_BSTR) return DBPROPSTATUS_BADVALUE;
    m_dataSourcePath.assign(property.vValue.bstrVal ? property.vValue.bstrVal : L"");
    return DBPROPSTATUS_OK;
  }
  return IsAcceptedInitProperty(property.dwPropertyID) ? DBPROPSTATUS_OK : DBPROPSTATUS_NOTSUPPORTED;
}

STDMETHODIMP CDataSource::SetProperties(ULONG setCount, DBPROPSET sets[]) {
  return AnswerSetProperties(setCount, sets,
                             [this](const GUID& set, const DBPROP& property) { return ApplyProperty(set, property); });
}

STDMETHODIMP CDataSource::CreateSession(IUnknown* outer, REFIID iid, IUnknown** session) {
  if (!session) return E_INVALIDARG;
  *session = nullptr;
  if (!m_database) return E_UNEXPECTED;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  return qcom::CreateComObject<CSession>(outer, iid, reinterpret_cast<void**>(session), m_database,
                                         static_cast<IUnknown*>(static_cast<IDBInitialize*>(this)));
}

STDMETHODIMP CDataSource::GetClassID(CLSID* clsid) {
  if (!clsid) return E_INVALIDARG;
  *clsid = CLSID_JetStandIn;
  return S_OK;
}

}  // namespace jet
