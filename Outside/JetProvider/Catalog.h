// The ADOX Catalog stand-in: Create makes an empty database file and hands
// back an open ADO connection to it, of which Close and State work.
#pragma once

#include "Membership/AdoxCatalog.h"
#include "ProviderCommon.h"

namespace jet {

class CCatalog : public qcom::CUnknownBase, public adox::_Catalog, public CSupportErrorInfoImpl {
 public:
  explicit CCatalog(IUnknown* outer);

  QCOM_DELEGATING_IUNKNOWN

  // IDispatch, by name only: the stand-in has no type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT* argumentError) override;

  // _Catalog
  STDMETHODIMP get_Tables(IDispatch** tables) override;
  STDMETHODIMP get_ActiveConnection(VARIANT* connection) override;
  STDMETHODIMP put_ActiveConnection(VARIANT connection) override;
  STDMETHODIMP putref_ActiveConnection(IDispatch* connection) override;
  STDMETHODIMP get_Procedures(IDispatch** procedures) override;
  STDMETHODIMP get_Views(IDispatch** views) override;
  STDMETHODIMP get_Groups(IDispatch** groups) override;
  STDMETHODIMP get_Users(IDispatch** users) override;
  STDMETHODIMP Create(BSTR connectString, VARIANT* connection) override;
  STDMETHODIMP GetObjectOwner(BSTR objectName, LONG objectType, VARIANT objectTypeId, BSTR* ownerName) override;
  STDMETHODIMP SetObjectOwner(BSTR objectName, LONG objectType, BSTR userName, VARIANT objectTypeId) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;

 private:
  qcom::CComPtr<IDispatch> m_activeConnection;
};

// The value of key in an OLE DB connection string ("Key=value;..."), keys
// compared without case; empty when absent.
std::wstring ConnectionStringValue(const std::wstring& connectionString, const std::wstring& key);

}  // namespace jet
