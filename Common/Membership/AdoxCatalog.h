// The ADOX and ADO 2.x interfaces used to create a JET database file:
// _Catalog::Create and the _Connection it returns. mingw's adoint.h carries
// the ADO 6.0 identifiers (and does not compile as C++), so the interfaces
// are given here in their vtable order; collections and recordsets are
// handed out as plain IDispatch, enumerations as LONG.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace adox {

// {00000602-0000-0010-8000-00AA006D2EA4}
const CLSID CLSID_Catalog = {0x00000602, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}};
// {00000603-0000-0010-8000-00AA006D2EA4}
const IID IID__Catalog = {0x00000603, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}};
// {00000550-0000-0010-8000-00AA006D2EA4}: ADO 2.x _Connection.
const IID IID__Connection20 = {0x00000550, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x6d, 0x2e, 0xa4}};

// The catalog's dual interface in its vtable order; the collections are
// handed out as plain IDispatch.
struct _Catalog : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Tables(IDispatch** tables) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ActiveConnection(VARIANT* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ActiveConnection(VARIANT connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE putref_ActiveConnection(IDispatch* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Procedures(IDispatch** procedures) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Views(IDispatch** views) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Groups(IDispatch** groups) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Users(IDispatch** users) = 0;
  virtual HRESULT STDMETHODCALLTYPE Create(BSTR connectString, VARIANT* connection) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetObjectOwner(BSTR objectName, LONG objectType, VARIANT objectTypeId,
                                                   BSTR* ownerName) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetObjectOwner(BSTR objectName, LONG objectType, BSTR userName,
                                                   VARIANT objectTypeId) = 0;
};

// ADO's _Connection (Connection15 plus Cancel).
struct _Connection : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Properties(IDispatch** properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionString(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionString(BSTR text) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CommandTimeout(LONG* seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CommandTimeout(LONG seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(LONG* seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(LONG seconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE Execute(BSTR commandText, VARIANT* recordsAffected, LONG options,
                                            IDispatch** recordset) = 0;
  virtual HRESULT STDMETHODCALLTYPE BeginTrans(LONG* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE CommitTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE RollbackTrans() = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(BSTR connectionString, BSTR userId, BSTR password, LONG options) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Errors(IDispatch** errors) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DefaultDatabase(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DefaultDatabase(BSTR text) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_IsolationLevel(LONG* level) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_IsolationLevel(LONG level) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Attributes(LONG* attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Attributes(LONG attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CursorLocation(LONG* location) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_CursorLocation(LONG location) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Mode(LONG* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Mode(LONG mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Provider(BSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Provider(BSTR text) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_State(LONG* state) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenSchema(LONG schema, VARIANT restrictions, VARIANT schemaId,
                                               IDispatch** recordset) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
};

}  // namespace adox
