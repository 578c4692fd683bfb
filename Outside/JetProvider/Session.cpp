#include "Session.h"

#include "Command.h"
#include "SchemaRowsets.h"

namespace jet {

namespace {

bool IsSupportedIsolation(ISOLEVEL level) {
  return level == ISOLATIONLEVEL_READUNCOMMITTED || level == ISOLATIONLEVEL_READCOMMITTED ||
         level == ISOLATIONLEVEL_REPEATABLEREAD || level == ISOLATIONLEVEL_SERIALIZABLE;
}

const ULONG kColumnsRestrictions = 0x0F;  // catalog, schema, table and column name

}  // namespace

CSession::CSession(IUnknown* outer, CDatabasePtr database, IUnknown* dataSource)
    : CUnknownBase(outer), m_database(std::move(database)), m_dataSource(dataSource) {}

CSession::~CSession() {
  // A transaction still open when its session goes is rolled back.
  if (m_ownsTransaction) EndTransaction("ROLLBACK", FALSE);
}

HRESULT CSession::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IGetDataSource)) *ppv = static_cast<IGetDataSource*>(this);
  else if (IsEqualIID(iid, IID_IOpenRowset)) *ppv = static_cast<IOpenRowset*>(this);
  else if (IsEqualIID(iid, IID_IDBCreateCommand)) *ppv = static_cast<IDBCreateCommand*>(this);
  else if (IsEqualIID(iid, IID_IDBSchemaRowset)) *ppv = static_cast<IDBSchemaRowset*>(this);
  else if (IsEqualIID(iid, IID_ITransaction) || IsEqualIID(iid, IID_ITransactionLocal)) {
    *ppv = static_cast<ITransactionLocal*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *ppv = static_cast<ISupportErrorInfo*>(this);
  } else {
    return E_NOINTERFACE;
  }
  return S_OK;
}

STDMETHODIMP CSession::GetDataSource(REFIID iid, IUnknown** dataSource) {
  if (!dataSource) return E_INVALIDARG;
  *dataSource = nullptr;
  return m_dataSource->QueryInterface(iid, reinterpret_cast<void**>(dataSource));
}

STDMETHODIMP CSession::CreateCommand(IUnknown* outer, REFIID iid, IUnknown** command) {
  if (!command) return E_INVALIDARG;
  *command = nullptr;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  return qcom::CreateComObject<CCommand>(outer, iid, reinterpret_cast<void**>(command), m_database,
                                         static_cast<IUnknown*>(static_cast<IGetDataSource*>(this)));
}

STDMETHODIMP CSession::OpenRowset(IUnknown* outer, DBID* table, DBID* index, REFIID iid, ULONG propertySetCount,
                                  DBPROPSET propertySets[], IUnknown** rowset) {
  if (rowset) *rowset = nullptr;
  if (!table && !index) return E_INVALIDARG;
  if (propertySetCount && !propertySets) return E_INVALIDARG;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  if (index) return DB_E_NOINDEX;
  if (table->eKind != DBKIND_NAME || !table->uName.pwszName || !*table->uName.pwszName ||
      wcschr(table->uName.pwszName, L']')) {
    return DB_E_NOTABLE;
  }
  qcom::CComPtr<ICommandText> command;
  HRESULT hr = CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(command.Put()));
  if (SUCCEEDED(hr)) {
    const std::wstring text = std::wstring(L"SELECT * FROM [") + table->uName.pwszName + L"]";
    hr = command->SetCommandText(DBGUID_DEFAULT, text.c_str());
  }
  if (SUCCEEDED(hr)) hr = command->Execute(outer, iid, nullptr, nullptr, rowset);
  return hr == DB_E_ERRORSINCOMMAND ? DB_E_NOTABLE : hr;
}

STDMETHODIMP CSession::GetRowset(IUnknown* outer, REFGUID schema, ULONG restrictionCount,
                                 const VARIANT restrictions[], REFIID iid, ULONG propertySetCount,
                                 DBPROPSET propertySets[], IUnknown** rowset) {
  if (!rowset) return E_INVALIDARG;
  *rowset = nullptr;
  if (propertySetCount && !propertySets) return E_INVALIDARG;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  if (!IsEqualGUID(schema, DBSCHEMA_COLUMNS)) return E_INVALIDARG;
  CRowsetData data;
  HRESULT hr = BuildColumnsSchema(m_database->database, restrictionCount, restrictions, data);
  if (FAILED(hr)) return hr;
  return qcom::CreateComObject<CRowset>(outer, iid, reinterpret_cast<void**>(rowset), std::move(data), nullptr);
}

STDMETHODIMP CSession::GetSchemas(ULONG* count, GUID** schemas, ULONG** restrictionSupport) {
  if (!count || !schemas) return E_INVALIDARG;
  *count = 0;
  *schemas = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
  ULONG* support = static_cast<ULONG*>(::CoTaskMemAlloc(sizeof(ULONG)));
  if (!*schemas || !support) {
    ::CoTaskMemFree(*schemas);
    ::CoTaskMemFree(support);
    *schemas = nullptr;
    return E_OUTOFMEMORY;
  }
  **schemas = DBSCHEMA_COLUMNS;
  *support = kColumnsRestrictions;
  if (restrictionSupport) *restrictionSupport = support;
  else ::CoTaskMemFree(support);
  *count = 1;
  return S_OK;
}

STDMETHODIMP CSession::StartTransaction(ISOLEVEL isolationLevel, ULONG isolationFlags, ITransactionOptions*,
                                        ULONG* transactionLevel) {
  if (isolationFlags != 0) return XACT_E_NOISORETAIN;
  if (!IsSupportedIsolation(isolationLevel)) return XACT_E_ISOLATIONLEVEL;
  if (m_database->inTransaction) return XACT_E_XTIONEXISTS;
  CSqlError error = m_database->database.Execute("BEGIN");
  if (error) return ReportSqlFailure(error, E_FAIL);
  m_database->inTransaction = true;
  m_database->isolationLevel = isolationLevel;
  m_ownsTransaction = true;
  if (transactionLevel) *transactionLevel = 1;
  return S_OK;
}

HRESULT CSession::EndTransaction(const char* statement, BOOL retaining) {
  CSqlError error = m_database->database.Execute(statement);
  if (error) return ReportSqlFailure(error, E_FAIL);
  m_database->inTransaction = false;
  m_ownsTransaction = false;
  if (!retaining) return S_OK;
  return StartTransaction(m_database->isolationLevel, 0, nullptr, nullptr);
}

STDMETHODIMP CSession::Commit(BOOL retaining, DWORD commitType, DWORD) {
  if (!m_ownsTransaction) return XACT_E_NOTRANSACTION;
  if (commitType & XACTTC_ASYNC) return XACT_E_NOTSUPPORTED;
  return EndTransaction("COMMIT", retaining);
}

STDMETHODIMP CSession::Abort(BOID*, BOOL retaining, BOOL async) {
  if (!m_ownsTransaction) return XACT_E_NOTRANSACTION;
  if (async) return XACT_E_NOTSUPPORTED;
  return EndTransaction("ROLLBACK", retaining);
}

STDMETHODIMP CSession::GetTransactionInfo(XACTTRANSINFO* info) {
  if (!info) return E_INVALIDARG;
  if (!m_ownsTransaction) return XACT_E_NOTRANSACTION;
  memset(info, 0, sizeof(*info));
  info->isoLevel = m_database->isolationLevel;
  info->grfTCSupported = XACTTC_SYNC;
  return S_OK;
}

STDMETHODIMP CSession::GetOptionsObject(ITransactionOptions** options) {
  if (!options) return E_INVALIDARG;
  *options = nullptr;
  return E_NOTIMPL;
}

}  // namespace jet
