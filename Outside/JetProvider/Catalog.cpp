#include "Catalog.h"

namespace jet {

namespace {

const HRESULT kObjectClosed = static_cast<HRESULT>(0x800A0E78);     // adErrObjectClosed
const HRESULT kProviderNotFound = static_cast<HRESULT>(0x800A0E7A);  // adErrProviderNotFound
const DISPID kCreateId = 1;
const DISPID kCloseId = 1;
const DISPID kStateId = 2;

struct CNamedMember {
  const wchar_t* name;
  DISPID id;
};

HRESULT IdsOfNames(const CNamedMember* members, size_t memberCount, LPOLESTR* names, UINT count, DISPID* ids) {
  if (!names || !ids) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t m = 0; i == 0 && names[i] && m < memberCount; ++m) {
      if (::lstrcmpiW(names[i], members[m].name) == 0) ids[i] = members[m].id;
    }
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

// IDispatch::GetTypeInfoCount of objects without a type library.
HRESULT NoTypeInfo(UINT* count) {
  if (!count) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT CopyText(const wchar_t* text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = ::SysAllocString(text);
  return *out ? S_OK : E_OUTOFMEMORY;
}

std::wstring Trimmed(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  const size_t length = wcslen(prefix);
  return text.size() >= length && ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(),
                                                   static_cast<int>(length), prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

// An open ADO connection to the database a catalog created.
class CConnection : public qcom::CUnknownBase, public adox::_Connection, public CSupportErrorInfoImpl {
 public:
  CConnection(IUnknown* outer, std::wstring connectionString, CDatabasePtr database)
      : CUnknownBase(outer), m_connectionString(std::move(connectionString)), m_database(std::move(database)) {}

  QCOM_DELEGATING_IUNKNOWN

  STDMETHODIMP GetTypeInfoCount(UINT* count) override { return NoTypeInfo(count); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const CNamedMember kMembers[] = {{L"Close", kCloseId}, {L"State", kStateId}};
    return IdsOfNames(kMembers, 2, names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (id == kCloseId && (flags & DISPATCH_METHOD)) return Close();
    if (id != kStateId || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    LONG state = 0;
    get_State(&state);
    if (result) {
      ::VariantInit(result);
      result->vt = VT_I4;
      result->lVal = state;
    }
    return S_OK;
  }

  STDMETHODIMP get_Properties(IDispatch** properties) override { return NotImplemented(properties); }
  STDMETHODIMP get_ConnectionString(BSTR* text) override { return CopyText(m_connectionString.c_str(), text); }
  STDMETHODIMP put_ConnectionString(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_CommandTimeout(LONG* value) override { return NotImplemented(value); }
  STDMETHODIMP put_CommandTimeout(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_ConnectionTimeout(LONG* value) override { return NotImplemented(value); }
  STDMETHODIMP put_ConnectionTimeout(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Version(BSTR* text) override { return NotImplemented(text); }
  STDMETHODIMP Close() override {
    if (!m_database) return ReportFailure(kObjectClosed, L"Operation is not allowed when the object is closed.");
    m_database.reset();
    return S_OK;
  }
  STDMETHODIMP Execute(BSTR, VARIANT*, LONG, IDispatch** recordset) override { return NotImplemented(recordset); }
  STDMETHODIMP BeginTrans(LONG* level) override { return NotImplemented(level); }
  STDMETHODIMP CommitTrans() override { return E_NOTIMPL; }
  STDMETHODIMP RollbackTrans() override { return E_NOTIMPL; }
  STDMETHODIMP Open(BSTR, BSTR, BSTR, LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Errors(IDispatch** errors) override { return NotImplemented(errors); }
  STDMETHODIMP get_DefaultDatabase(BSTR* text) override { return NotImplemented(text); }
  STDMETHODIMP put_DefaultDatabase(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_IsolationLevel(LONG* level) override { return NotImplemented(level); }
  STDMETHODIMP put_IsolationLevel(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Attributes(LONG* value) override { return NotImplemented(value); }
  STDMETHODIMP put_Attributes(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_CursorLocation(LONG* value) override { return NotImplemented(value); }
  STDMETHODIMP put_CursorLocation(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Mode(LONG* value) override { return NotImplemented(value); }
  STDMETHODIMP put_Mode(LONG) override { return E_NOTIMPL; }
  STDMETHODIMP get_Provider(BSTR* text) override { return CopyText(L"Microsoft.Jet.OLEDB.4.0", text); }
  STDMETHODIMP put_Provider(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_State(LONG* state) override {
    if (!state) return E_POINTER;
    *state = m_database ? 1 : 0;  // adStateOpen, adStateClosed
    return S_OK;
  }
  STDMETHODIMP OpenSchema(LONG, VARIANT, VARIANT, IDispatch** recordset) override {
    return NotImplemented(recordset);
  }
  STDMETHODIMP Cancel() override { return E_NOTIMPL; }

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override {
    if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, adox::IID__Connection20)) {
      *ppv = static_cast<adox::_Connection*>(this);
      return S_OK;
    }
    if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
      return S_OK;
    }
    return E_NOINTERFACE;
  }

 private:
  template <class T>
  static HRESULT NotImplemented(T* out) {
    if (!out) return E_POINTER;
    *out = T();
    return E_NOTIMPL;
  }

  std::wstring m_connectionString;
  CDatabasePtr m_database;
};

// Writes the file header, so that the new database exists on disk as JET's
// would after Create.
HRESULT CreateDatabaseFile(const std::wstring& path, CDatabasePtr& database) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    return ReportFailure(DB_E_DUPLICATEDATASOURCE, L"Database already exists.");
  }
  auto state = std::make_shared<CDatabaseState>();
  CSqlError error = state->database.Open(WideToUtf8(path), true);
  if (!error) error = state->database.Execute("PRAGMA application_id = 1246975059");
  if (error) return ReportSqlFailure(error, E_FAIL);
  database = std::move(state);
  return S_OK;
}

}  // namespace

std::wstring ConnectionStringValue(const std::wstring& connectionString, const std::wstring& key) {
  size_t start = 0;
  while (start < connectionString.size()) {
    const size_t equals = connectionString.find(L'=', start);
    if (equals == std::wstring::npos) break;
    const std::wstring name = Trimmed(connectionString.substr(start, equals - start));
    size_t valueStart = equals + 1;
    while (valueStart < connectionString.size() && connectionString[valueStart] == L' ') ++valueStart;
    const wchar_t quote = valueStart < connectionString.size() ? connectionString[valueStart] : 0;
    const bool quoted = quote == L'"' || quote == L'\'';
    const size_t valueEnd = connectionString.find(quoted ? quote : L';', valueStart + (quoted ? 1 : 0));
    const size_t end = valueEnd == std::wstring::npos ? connectionString.size() : valueEnd;
    std::wstring value = connectionString.substr(valueStart + (quoted ? 1 : 0), end - valueStart - (quoted ? 1 : 0));
    if (::lstrcmpiW(name.c_str(), key.c_str()) == 0) return quoted ? value : Trimmed(value);
    start = connectionString.find(L';', end);
    if (start == std::wstring::npos) break;
    ++start;
  }
  return std::wstring();
}

CCatalog::CCatalog(IUnknown* outer) : CUnknownBase(outer) {}

HRESULT CCatalog::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, adox::IID__Catalog)) {
    *ppv = static_cast<adox::_Catalog*>(this);
    return S_OK;
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *ppv = static_cast<ISupportErrorInfo*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CCatalog::GetTypeInfoCount(UINT* count) { return NoTypeInfo(count); }

STDMETHODIMP CCatalog::GetTypeInfo(UINT, LCID, ITypeInfo**) { return DISP_E_BADINDEX; }

STDMETHODIMP CCatalog::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  static const CNamedMember kMembers[] = {{L"Create", kCreateId}};
  return IdsOfNames(kMembers, 1, names, count, ids);
}

STDMETHODIMP CCatalog::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO*, UINT* argumentError) {
  if (id != kCreateId || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (!params || params->cArgs != 1 || !params->rgvarg) return DISP_E_BADPARAMCOUNT;
  VARIANT text;
  ::VariantInit(&text);
  if (FAILED(::VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) {
    if (argumentError) *argumentError = 0;
    return DISP_E_TYPEMISMATCH;
  }
  VARIANT connection;
  ::VariantInit(&connection);
  HRESULT hr = Create(text.bstrVal, &connection);
  ::VariantClear(&text);
  if (result) *result = connection;
  else ::VariantClear(&connection);
  return hr;
}

STDMETHODIMP CCatalog::Create(BSTR connectString, VARIANT* connection) {
  if (!connection) return E_POINTER;
  ::VariantInit(connection);
  const std::wstring text = connectString ? connectString : L"";
  if (!StartsWithNoCase(ConnectionStringValue(text, L"Provider"), L"Microsoft.Jet.OLEDB")) {
    return ReportFailure(kProviderNotFound, L"Provider cannot be found. It may not be properly installed.");
  }
  const std::wstring path = ConnectionStringValue(text, L"Data Source");
  if (path.empty()) return ReportFailure(E_INVALIDARG, L"No database file name was given.");
  CDatabasePtr database;
  HRESULT hr = CreateDatabaseFile(path, database);
  if (FAILED(hr)) return hr;
  qcom::CComPtr<IDispatch> created;
  hr = qcom::CreateComObject<CConnection>(nullptr, IID_IDispatch, created.PutVoid(), text, std::move(database));
  if (FAILED(hr)) return hr;
  m_activeConnection = created;
  connection->vt = VT_DISPATCH;
  connection->pdispVal = created.Detach();
  return S_OK;
}

STDMETHODIMP CCatalog::get_ActiveConnection(VARIANT* connection) {
  if (!connection) return E_POINTER;
  ::VariantInit(connection);
  if (!m_activeConnection) return S_OK;
  connection->vt = VT_DISPATCH;
  connection->pdispVal = m_activeConnection.Get();
  connection->pdispVal->AddRef();
  return S_OK;
}

STDMETHODIMP CCatalog::get_Tables(IDispatch** tables) {
  if (!tables) return E_POINTER;
  *tables = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CCatalog::put_ActiveConnection(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP CCatalog::putref_ActiveConnection(IDispatch*) { return E_NOTIMPL; }
STDMETHODIMP CCatalog::get_Procedures(IDispatch** procedures) { return get_Tables(procedures); }
STDMETHODIMP CCatalog::get_Views(IDispatch** views) { return get_Tables(views); }
STDMETHODIMP CCatalog::get_Groups(IDispatch** groups) { return get_Tables(groups); }
STDMETHODIMP CCatalog::get_Users(IDispatch** users) { return get_Tables(users); }

STDMETHODIMP CCatalog::GetObjectOwner(BSTR, LONG, VARIANT, BSTR* ownerName) {
  if (!ownerName) return E_POINTER;
  *ownerName = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CCatalog::SetObjectOwner(BSTR, LONG, BSTR, VARIANT) { return E_NOTIMPL; }

}  // namespace jet
