// The provider's data source: the database file named by
// DBPROP_INIT_DATASOURCE, opened by IDBInitialize.
#pragma once

#include "ProviderCommon.h"

namespace jet {

class CDataSource : public qcom::CUnknownBase,
                    public IDBInitialize,
                    public IDBProperties,
                    public IDBCreateSession,
                    public IPersist,
                    public CSupportErrorInfoImpl {
 public:
  explicit CDataSource(IUnknown* outer);

  QCOM_DELEGATING_IUNKNOWN

  // IDBInitialize
  STDMETHODIMP Initialize() override;
  STDMETHODIMP Uninitialize() override;
  // IDBProperties
  STDMETHODIMP GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                             DBPROPSET** sets) override;
  STDMETHODIMP GetPropertyInfo(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* infoSetCount,
                               DBPROPINFOSET** infoSets, OLECHAR** descriptions) override;
  STDMETHODIMP SetProperties(ULONG setCount, DBPROPSET sets[]) override;
  // IDBCreateSession
  STDMETHODIMP CreateSession(IUnknown* outer, REFIID iid, IUnknown** session) override;
  // IPersist
  STDMETHODIMP GetClassID(CLSID* clsid) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  DBPROPSTATUS ApplyProperty(const GUID& set, const DBPROP& property);

  std::wstring m_dataSourcePath;
  CDatabasePtr m_database;  // set while initialised
};

}  // namespace jet
