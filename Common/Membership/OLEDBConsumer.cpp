#define DBINITCONSTANTS  // the OLE DB GUIDs, defined once per module (selectany)

#include "OLEDBConsumer.h"

#include <msdasc.h>

namespace qoledb {

namespace {

// Value areas start on 8-byte boundaries, as doubles and DATEs need.
size_t Aligned(size_t offset) { return (offset + 7) & ~static_cast<size_t>(7); }

const size_t kSchemaNameBytes = 129;  // 128 characters and the terminator
const DBORDINAL kTableNameOrdinal = 3;
const DBORDINAL kColumnNameOrdinal = 4;

}  // namespace

HRESULT CDataSource::OpenFromInitializationString(const wchar_t* initializationString) {
  Close();
  if (!initializationString) return E_INVALIDARG;
  qcom::CComPtr<IDataInitialize> services;
  HRESULT hr = ::CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                  services.PutVoid());
  if (FAILED(hr)) return hr;
  qcom::CComPtr<IDBInitialize> initialize;
  hr = services->GetDataSource(nullptr, CLSCTX_INPROC_SERVER, initializationString, IID_IDBInitialize,
                               reinterpret_cast<IUnknown**>(initialize.Put()));
  if (FAILED(hr)) return hr;
  hr = initialize->Initialize();
  if (FAILED(hr)) return hr;
  m_initialize = initialize;
  return S_OK;
}

void CDataSource::Close() {
  if (m_initialize) m_initialize->Uninitialize();
  m_initialize.Reset();
}

HRESULT CSession::Open(const CDataSource& dataSource) {
  Close();
  if (!dataSource.Get()) return E_UNEXPECTED;
  qcom::CComPtr<IDBCreateSession> factory;
  HRESULT hr = dataSource.Get()->QueryInterface(IID_IDBCreateSession, factory.PutVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateSession(nullptr, IID_IOpenRowset, reinterpret_cast<IUnknown**>(m_session.Put()));
}

void CSession::Close() { m_session.Reset(); }

HRESULT CSession::Transaction(qcom::CComPtr<ITransactionLocal>& transaction) const {
  if (!m_session) return E_UNEXPECTED;
  return m_session.QueryInterface(IID_ITransactionLocal, transaction);
}

HRESULT CSession::StartTransaction(ISOLEVEL isolationLevel) {
  qcom::CComPtr<ITransactionLocal> transaction;
  HRESULT hr = Transaction(transaction);
  return FAILED(hr) ? hr : transaction->StartTransaction(isolationLevel, 0, nullptr, nullptr);
}

HRESULT CSession::Commit() {
  qcom::CComPtr<ITransactionLocal> transaction;
  HRESULT hr = Transaction(transaction);
  return FAILED(hr) ? hr : transaction->Commit(FALSE, XACTTC_SYNC, 0);
}

HRESULT CSession::Abort() {
  qcom::CComPtr<ITransactionLocal> transaction;
  HRESULT hr = Transaction(transaction);
  return FAILED(hr) ? hr : transaction->Abort(nullptr, FALSE, FALSE);
}

HRESULT CSession::ReadColumnsSchema(std::vector<std::pair<std::string, std::string>>& columns) const {
  columns.clear();
  if (!m_session) return E_UNEXPECTED;
  qcom::CComPtr<IDBSchemaRowset> schemas;
  HRESULT hr = m_session.QueryInterface(IID_IDBSchemaRowset, schemas);
  if (FAILED(hr)) return hr;
  qcom::CComPtr<IRowset> rowset;
  hr = schemas->GetRowset(nullptr, DBSCHEMA_COLUMNS, 0, nullptr, IID_IRowset, 0, nullptr,
                          reinterpret_cast<IUnknown**>(rowset.Put()));
  if (FAILED(hr)) return hr;
  CManualAccessor accessor;
  accessor.Layout({kSchemaNameBytes, kSchemaNameBytes});
  accessor.AddBinding(0, kTableNameOrdinal, DBTYPE_STR, kSchemaNameBytes, true, DBPARAMIO_NOTPARAM);
  accessor.AddBinding(1, kColumnNameOrdinal, DBTYPE_STR, kSchemaNameBytes, true, DBPARAMIO_NOTPARAM);
  hr = accessor.CreateAccessor(rowset.Get(), DBACCESSOR_ROWDATA);
  if (FAILED(hr)) return hr;
  CRowset reader;
  reader.Attach(rowset.Get(), &accessor);
  for (hr = reader.MoveFirst(); hr == S_OK; hr = reader.MoveNext()) {
    columns.emplace_back(reinterpret_cast<const char*>(accessor.Value(0)),
                         reinterpret_cast<const char*>(accessor.Value(1)));
  }
  return hr == DB_S_ENDOFROWSET ? S_OK : hr;
}

void CManualAccessor::Layout(const std::vector<DBLENGTH>& valueSizes) {
  Clear();
  size_t offset = 0;
  for (DBLENGTH size : valueSizes) {
    CEntry entry;
    entry.valueOffset = Aligned(offset);
    entry.statusOffset = Aligned(entry.valueOffset + size);
    offset = entry.statusOffset + sizeof(DBSTATUS);
    m_entries.push_back(entry);
  }
  m_block.assign(offset, 0);
}

void CManualAccessor::ClearBindings() {
  ReleaseAccessor();
  m_bindings.clear();
}

void CManualAccessor::Clear() {
  ClearBindings();
  m_entries.clear();
  m_block.clear();
  m_block.shrink_to_fit();
}

void CManualAccessor::AddBinding(size_t entry, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength,
                                 bool bindStatus, DBPARAMIO paramIo) {
  DBBINDING binding = {};
  binding.iOrdinal = ordinal;
  binding.obValue = m_entries[entry].valueOffset;
  binding.obStatus = m_entries[entry].statusOffset;
  binding.dwPart = DBPART_VALUE | (bindStatus ? DBPART_STATUS : 0);
  binding.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
  binding.eParamIO = paramIo;
  binding.cbMaxLen = maxLength;
  binding.wType = type;
  binding.bPrecision = 0;
  binding.bScale = 0;
  m_bindings.push_back(binding);
}

HRESULT CManualAccessor::CreateAccessor(IUnknown* accessorOwner, DBACCESSORFLAGS flags) {
  ReleaseAccessor();
  if (!accessorOwner) return E_INVALIDARG;
  HRESULT hr = accessorOwner->QueryInterface(IID_IAccessor, m_accessor.PutVoid());
  if (FAILED(hr)) return hr;
  std::vector<DBBINDSTATUS> statuses(m_bindings.size());
  hr = m_accessor->CreateAccessor(flags, m_bindings.size(), m_bindings.empty() ? nullptr : m_bindings.data(),
                                  0, &m_handle, statuses.empty() ? nullptr : statuses.data());
  if (FAILED(hr)) {
    m_handle = DB_NULL_HACCESSOR;
    m_accessor.Reset();
  }
  return hr;
}

void CManualAccessor::ReleaseAccessor() {
  if (m_accessor && m_handle != DB_NULL_HACCESSOR) m_accessor->ReleaseAccessor(m_handle, nullptr);
  m_handle = DB_NULL_HACCESSOR;
  m_accessor.Reset();
}

void CRowset::Attach(IRowset* rowset, CManualAccessor* accessor) {
  Close();
  m_rowset = rowset;
  m_accessor = accessor;
}

void CRowset::ReleaseRow() {
  if (m_rowset && m_row != DB_NULL_HROW) m_rowset->ReleaseRows(1, &m_row, nullptr, nullptr, nullptr);
  m_row = DB_NULL_HROW;
}

void CRowset::Close() {
  ReleaseRow();
  m_rowset.Reset();
  m_accessor = nullptr;
}

HRESULT CRowset::MoveFirst() {
  if (!m_rowset) return E_UNEXPECTED;
  ReleaseRow();
  HRESULT hr = m_rowset->RestartPosition(DB_NULL_HCHAPTER);
  return FAILED(hr) ? hr : MoveNext();
}

HRESULT CRowset::MoveNext() {
  if (!m_rowset || !m_accessor) return E_UNEXPECTED;
  ReleaseRow();
  DBCOUNTITEM obtained = 0;
  HROW* rows = &m_row;
  HRESULT hr = m_rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
  if (hr != S_OK || obtained == 0) {
    m_row = DB_NULL_HROW;
    return FAILED(hr) ? hr : DB_S_ENDOFROWSET;
  }
  return m_rowset->GetData(m_row, m_accessor->Handle(), m_accessor->Data());
}

}  // namespace qoledb
