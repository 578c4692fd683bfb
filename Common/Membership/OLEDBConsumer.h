// Small OLE DB consumer classes in the shape of the consumer templates:
// a data source, a session with its local transaction, a manual accessor
// over one data block, and a forward rowset. Plain OLE DB, so they work with
// any provider.
#pragma once

#include <windows.h>
#include <oledb.h>
#include <oledberr.h>

#include <string>
#include <utility>
#include <vector>

#include "Com/ComPtr.h"

namespace qoledb {

class CDataSource {
 public:
  // Through the OLE DB service components (IDataInitialize), with a
  // connection string such as "Provider=...;Data Source=...;"; initialised.
  HRESULT OpenFromInitializationString(const wchar_t* initializationString);
  void Close();
  IDBInitialize* Get() const { return m_initialize.Get(); }

 private:
  qcom::CComPtr<IDBInitialize> m_initialize;
};

class CSession {
 public:
  HRESULT Open(const CDataSource& dataSource);
  void Close();
  IUnknown* Get() const { return m_session.Get(); }

  HRESULT StartTransaction(ISOLEVEL isolationLevel);
  HRESULT Commit();  // synchronous, not retaining
  HRESULT Abort();

  // The TABLE_NAME and COLUMN_NAME of every row of the DBSCHEMA_COLUMNS
  // schema rowset.
  HRESULT ReadColumnsSchema(std::vector<std::pair<std::string, std::string>>& columns) const;

 private:
  HRESULT Transaction(qcom::CComPtr<ITransactionLocal>& transaction) const;

  qcom::CComPtr<IOpenRowset> m_session;
};

// A local transaction that aborts unless it was committed, so that no early
// return leaves the session's work half done and the transaction open.
class CLocalTransaction {
 public:
  explicit CLocalTransaction(CSession& session) : m_session(session) {}
  ~CLocalTransaction() {
    if (m_bActive) m_session.Abort();
  }
  CLocalTransaction(const CLocalTransaction&) = delete;
  CLocalTransaction& operator=(const CLocalTransaction&) = delete;

  HRESULT Start(ISOLEVEL isolationLevel) {
    const HRESULT hr = m_session.StartTransaction(isolationLevel);
    m_bActive = SUCCEEDED(hr);
    return hr;
  }
  // A failed commit leaves the transaction to be aborted.
  HRESULT Commit() {
    const HRESULT hr = m_session.Commit();
    if (SUCCEEDED(hr)) m_bActive = false;
    return hr;
  }
  HRESULT Abort() {
    m_bActive = false;
    return m_session.Abort();
  }

 private:
  CSession& m_session;
  bool m_bActive = false;
};

// Bindings into one zero-filled data block: each entry has a value area of
// its own size and a status, laid out one after another.
class CManualAccessor {
 public:
  CManualAccessor() = default;
  ~CManualAccessor() { ReleaseAccessor(); }
  CManualAccessor(const CManualAccessor&) = delete;
  CManualAccessor& operator=(const CManualAccessor&) = delete;

  // Lays out a new block with one entry per size; drops earlier bindings.
  void Layout(const std::vector<DBLENGTH>& valueSizes);
  void Clear();
  // Drops the bindings and the accessor; the block keeps its data.
  void ClearBindings();

  BYTE* Value(size_t entry) { return &m_block[m_entries[entry].valueOffset]; }
  DBSTATUS& Status(size_t entry) { return *reinterpret_cast<DBSTATUS*>(&m_block[m_entries[entry].statusOffset]); }

  void AddBinding(size_t entry, DBORDINAL ordinal, DBTYPE type, DBLENGTH maxLength, bool bindStatus,
                  DBPARAMIO paramIo);
  // Creates the accessor on the command or rowset behind accessorOwner.
  HRESULT CreateAccessor(IUnknown* accessorOwner, DBACCESSORFLAGS flags);
  void ReleaseAccessor();
  HACCESSOR Handle() const { return m_handle; }
  void* Data() { return m_block.empty() ? nullptr : m_block.data(); }

 private:
  struct CEntry {
    size_t valueOffset;
    size_t statusOffset;
  };

  std::vector<BYTE> m_block;
  std::vector<CEntry> m_entries;
  std::vector<DBBINDING> m_bindings;
  qcom::CComPtr<IAccessor> m_accessor;
  HACCESSOR m_handle = DB_NULL_HACCESSOR;
};

// A rowset read forward, one row at a time, into an accessor's block.
class CRowset {
 public:
  CRowset() = default;
  ~CRowset() { Close(); }
  CRowset(const CRowset&) = delete;
  CRowset& operator=(const CRowset&) = delete;

  void Attach(IRowset* rowset, CManualAccessor* accessor);
  void Close();
  IRowset* Get() const { return m_rowset.Get(); }

  // S_OK with the row's data in the accessor's block, DB_S_ENDOFROWSET
  // after the last row, or the failure.
  HRESULT MoveFirst();
  HRESULT MoveNext();

 private:
  void ReleaseRow();

  qcom::CComPtr<IRowset> m_rowset;
  CManualAccessor* m_accessor = nullptr;
  HROW m_row = DB_NULL_HROW;
};

}  // namespace qoledb
