// The provider's session: commands, the COLUMNS schema rowset, table rowsets
// and one local transaction at a time.
#pragma once

#include "ProviderCommon.h"

namespace jet {

class CSession : public qcom::CUnknownBase,
                 public IGetDataSource,
                 public IOpenRowset,
                 public IDBCreateCommand,
                 public IDBSchemaRowset,
                 public ITransactionLocal,
                 public CSupportErrorInfoImpl {
 public:
  CSession(IUnknown* outer, CDatabasePtr database, IUnknown* dataSource);
  ~CSession() override;

  QCOM_DELEGATING_IUNKNOWN

  // IGetDataSource
  STDMETHODIMP GetDataSource(REFIID iid, IUnknown** dataSource) override;
  // IOpenRowset
  STDMETHODIMP OpenRowset(IUnknown* outer, DBID* table, DBID* index, REFIID iid, ULONG propertySetCount,
                          DBPROPSET propertySets[], IUnknown** rowset) override;
  // IDBCreateCommand
  STDMETHODIMP CreateCommand(IUnknown* outer, REFIID iid, IUnknown** command) override;
  // IDBSchemaRowset
  STDMETHODIMP GetRowset(IUnknown* outer, REFGUID schema, ULONG restrictionCount, const VARIANT restrictions[],
                         REFIID iid, ULONG propertySetCount, DBPROPSET propertySets[], IUnknown** rowset) override;
  STDMETHODIMP GetSchemas(ULONG* count, GUID** schemas, ULONG** restrictionSupport) override;
  // ITransaction
  STDMETHODIMP Commit(BOOL retaining, DWORD commitType, DWORD reserved) override;
  STDMETHODIMP Abort(BOID* reason, BOOL retaining, BOOL async) override;
  STDMETHODIMP GetTransactionInfo(XACTTRANSINFO* info) override;
  // ITransactionLocal
  STDMETHODIMP GetOptionsObject(ITransactionOptions** options) override;
  STDMETHODIMP StartTransaction(ISOLEVEL isolationLevel, ULONG isolationFlags, ITransactionOptions* options,
                                ULONG* transactionLevel) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  HRESULT EndTransaction(const char* statement, BOOL retaining);

  CDatabasePtr m_database;
  qcom::CComPtr<IUnknown> m_dataSource;
  bool m_ownsTransaction = false;
};

}  // namespace jet
