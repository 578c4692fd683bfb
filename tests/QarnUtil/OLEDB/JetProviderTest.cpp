// The stand-in provider seen by a plain OLE DB client: conversions and
// statuses of its accessors, what the service components read back, and
// that every object and file handle is gone once the client lets go.
#include <msdasc.h>

#include "OLEDBTestSupport.h"

namespace oledbtest {
namespace {

struct CRowBuffer {
  DBTIMESTAMP stamp;
  DBSTATUS stampStatus;
  LONG count;
  DBSTATUS countStatus;
  char text[4];
  DBLENGTH textLength;
  DBSTATUS textStatus;
};

DBBINDING Binding(DBORDINAL ordinal, DBTYPE type, size_t value, size_t status, DBLENGTH maxLength,
                  size_t length = 0) {
  DBBINDING binding = {};
  binding.iOrdinal = ordinal;
  binding.obValue = value;
  binding.obStatus = status;
  binding.obLength = length;
  binding.dwPart = DBPART_VALUE | DBPART_STATUS | (length ? DBPART_LENGTH : 0);
  binding.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
  binding.cbMaxLen = maxLength;
  binding.wType = type;
  return binding;
}

class CJetProviderTest : public COLEDBTest {};

TEST_F(CJetProviderTest, ConvertsToTheTypesTheClientBinds) {
  ASSERT_EQ(S_OK, Run("CREATE TABLE [d] ( [when] datetime, [name] varchar(50) )"));
  ASSERT_EQ(S_OK, Run("INSERT INTO [d] VALUES ('2021-03-04 05:06:07', 'Administrators')"));
  qcom::CComPtr<IDBCreateCommand> create;
  ASSERT_EQ(S_OK, m_session.Get()->QueryInterface(IID_IDBCreateCommand, create.PutVoid()));
  qcom::CComPtr<ICommandText> text;
  ASSERT_EQ(S_OK, create->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(text.Put())));
  ASSERT_EQ(S_OK, text->SetCommandText(DBGUID_DEFAULT, L"SELECT [when], Count(*), [name] FROM [d]"));
  qcom::CComPtr<IRowset> rowset;
  ASSERT_EQ(S_OK, text->Execute(nullptr, IID_IRowset, nullptr, nullptr, reinterpret_cast<IUnknown**>(rowset.Put())));

  const DBBINDING bindings[] = {
      Binding(1, DBTYPE_DBTIMESTAMP, offsetof(CRowBuffer, stamp), offsetof(CRowBuffer, stampStatus), sizeof(DBTIMESTAMP)),
      Binding(2, DBTYPE_I4, offsetof(CRowBuffer, count), offsetof(CRowBuffer, countStatus), sizeof(LONG)),
      Binding(3, DBTYPE_STR, offsetof(CRowBuffer, text), offsetof(CRowBuffer, textStatus), 4,
              offsetof(CRowBuffer, textLength))};
  qcom::CComPtr<IAccessor> accessor;
  ASSERT_EQ(S_OK, rowset.QueryInterface(IID_IAccessor, accessor));
  HACCESSOR handle = DB_NULL_HACCESSOR;
  ASSERT_EQ(S_OK, accessor->CreateAccessor(DBACCESSOR_ROWDATA, 3, bindings, sizeof(CRowBuffer), &handle, nullptr));
  HROW row = DB_NULL_HROW;
  HROW* rows = &row;
  DBCOUNTITEM obtained = 0;
  ASSERT_EQ(S_OK, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
  CRowBuffer buffer = {};
  EXPECT_EQ(S_OK, rowset->GetData(row, handle, &buffer));
  EXPECT_EQ(DBSTATUS_S_OK, buffer.stampStatus);
  EXPECT_EQ(2021, buffer.stamp.year);
  EXPECT_EQ(7u, buffer.stamp.second);
  EXPECT_EQ(1, buffer.count);
  EXPECT_EQ(DBSTATUS_S_TRUNCATED, buffer.textStatus);
  EXPECT_EQ(14u, buffer.textLength);
  EXPECT_STREQ("Adm", buffer.text);
  EXPECT_EQ(S_OK, rowset->ReleaseRows(1, &row, nullptr, nullptr, nullptr));
  EXPECT_EQ(DB_E_BADROWHANDLE, rowset->GetData(row, handle, &buffer));
  EXPECT_EQ(DB_S_ENDOFROWSET, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows));
  EXPECT_EQ(S_OK, accessor->ReleaseAccessor(handle, nullptr));
  EXPECT_EQ(DB_E_BADACCESSORHANDLE, accessor->ReleaseAccessor(handle, nullptr));
}

TEST_F(CJetProviderTest, RefusesBadBindingsAndMissingCommands) {
  qcom::CComPtr<IDBCreateCommand> create;
  ASSERT_EQ(S_OK, m_session.Get()->QueryInterface(IID_IDBCreateCommand, create.PutVoid()));
  qcom::CComPtr<ICommandText> text;
  ASSERT_EQ(S_OK, create->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(text.Put())));
  qcom::CComPtr<IUnknown> none;
  EXPECT_EQ(DB_E_NOCOMMAND, text->Execute(nullptr, IID_IRowset, nullptr, nullptr, none.Put()));
  EXPECT_EQ(DB_E_DIALECTNOTSUPPORTED, text->SetCommandText(IID_IUnknown, L"SELECT 1"));
  ASSERT_EQ(S_OK, text->SetCommandText(DBGUID_DEFAULT, L"SELEKT 1"));
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, text->Execute(nullptr, IID_IRowset, nullptr, nullptr, none.Put()));
  qcom::CComPtr<ISupportErrorInfo> supports;
  ASSERT_EQ(S_OK, text.QueryInterface(IID_ISupportErrorInfo, supports));
  EXPECT_EQ(S_OK, supports->InterfaceSupportsErrorInfo(IID_ICommand));
  qcom::CComPtr<IErrorInfo> error;
  ASSERT_EQ(S_OK, ::GetErrorInfo(0, error.Put()));
  qcom::CBstr description;
  ASSERT_EQ(S_OK, error->GetDescription(description.Put()));
  EXPECT_NE(std::string::npos, qcom::BstrToAnsi(description.Get()).find("syntax error"));
  ASSERT_EQ(S_OK, text->SetCommandText(DBGUID_DEFAULT, L"SELECT 1 AS [one]"));
  qcom::CComPtr<IRowset> rowset;
  ASSERT_EQ(S_OK, text->Execute(nullptr, IID_IRowset, nullptr, nullptr, reinterpret_cast<IUnknown**>(rowset.Put())));
  qcom::CComPtr<IAccessor> accessor;
  ASSERT_EQ(S_OK, rowset.QueryInterface(IID_IAccessor, accessor));
  const DBBINDING bad[] = {Binding(2, DBTYPE_I4, 0, 8, 4), Binding(1, DBTYPE_IUNKNOWN, 0, 8, 4)};
  DBBINDSTATUS statuses[2] = {};
  HACCESSOR handle = DB_NULL_HACCESSOR;
  EXPECT_EQ(DB_E_ERRORSOCCURRED, accessor->CreateAccessor(DBACCESSOR_ROWDATA, 2, bad, 16, &handle, statuses));
  EXPECT_EQ(DBBINDSTATUS_BADORDINAL, statuses[0]);
  EXPECT_EQ(DBBINDSTATUS_UNSUPPORTEDCONVERSION, statuses[1]);
  EXPECT_EQ(DB_E_BADACCESSORFLAGS, accessor->CreateAccessor(DBACCESSOR_PARAMETERDATA, 0, nullptr, 0, &handle, nullptr));
  EXPECT_EQ(E_INVALIDARG, accessor->CreateAccessor(DBACCESSOR_ROWDATA, 1, nullptr, 0, &handle, nullptr));
}

TEST_F(CJetProviderTest, ColumnsSchemaRowsetIsRestrictedByTableAndTypedAsJet) {
  ASSERT_EQ(S_OK, Run("CREATE TABLE [g] ( [a] int NOT NULL, [b] varchar(10) NULL, [c] text )"));
  ASSERT_EQ(S_OK, Run("CREATE TABLE [other] ( [x] int )"));
  qcom::CComPtr<IDBSchemaRowset> schemas;
  ASSERT_EQ(S_OK, m_session.Get()->QueryInterface(IID_IDBSchemaRowset, schemas.PutVoid()));
  VARIANT restrictions[3];
  for (VARIANT& restriction : restrictions) ::VariantInit(&restriction);
  qcom::CBstr table(L"G");
  restrictions[2].vt = VT_BSTR;
  restrictions[2].bstrVal = table.Get();
  qcom::CComPtr<IRowset> rowset;
  qcom::CComPtr<IUnknown> none;
  EXPECT_EQ(E_INVALIDARG, schemas->GetRowset(nullptr, DBSCHEMA_TABLES, 0, nullptr, IID_IRowset, 0, nullptr, none.Put()));
  ASSERT_EQ(S_OK, schemas->GetRowset(nullptr, DBSCHEMA_COLUMNS, 3, restrictions, IID_IRowset, 0, nullptr,
                                     reinterpret_cast<IUnknown**>(rowset.Put())));
  struct CSchemaRow {
    LONG nullable;
    DBSTATUS nullableStatus;
    LONG dataType;
    DBSTATUS dataTypeStatus;
    LONG maximumLength;
    DBSTATUS maximumLengthStatus;
  };
  const DBBINDING bindings[] = {
      Binding(11, DBTYPE_I4, offsetof(CSchemaRow, nullable), offsetof(CSchemaRow, nullableStatus), 4),
      Binding(12, DBTYPE_I4, offsetof(CSchemaRow, dataType), offsetof(CSchemaRow, dataTypeStatus), 4),
      Binding(14, DBTYPE_I4, offsetof(CSchemaRow, maximumLength), offsetof(CSchemaRow, maximumLengthStatus), 4)};
  qcom::CComPtr<IAccessor> accessor;
  ASSERT_EQ(S_OK, rowset.QueryInterface(IID_IAccessor, accessor));
  HACCESSOR handle = DB_NULL_HACCESSOR;
  ASSERT_EQ(S_OK, accessor->CreateAccessor(DBACCESSOR_ROWDATA, 3, bindings, sizeof(CSchemaRow), &handle, nullptr));
  HROW rows[4] = {};
  HROW* fetched = rows;
  DBCOUNTITEM obtained = 0;
  EXPECT_EQ(DB_S_ENDOFROWSET, rowset->GetNextRows(DB_NULL_HCHAPTER, 0, 4, &obtained, &fetched));
  ASSERT_EQ(3u, obtained);
  CSchemaRow a = {}, b = {}, c = {};
  EXPECT_EQ(S_OK, rowset->GetData(rows[0], handle, &a));
  EXPECT_EQ(S_OK, rowset->GetData(rows[1], handle, &b));
  EXPECT_EQ(S_OK, rowset->GetData(rows[2], handle, &c));
  EXPECT_EQ(0, a.nullable);
  EXPECT_EQ(DBTYPE_I4, a.dataType);
  EXPECT_EQ(DBSTATUS_S_ISNULL, a.maximumLengthStatus);
  EXPECT_EQ(VARIANT_TRUE, b.nullable);
  EXPECT_EQ(DBTYPE_WSTR, b.dataType);
  EXPECT_EQ(10, b.maximumLength);
  EXPECT_EQ(DBTYPE_WSTR, c.dataType);
  EXPECT_EQ(536870910, c.maximumLength);
  EXPECT_EQ(S_OK, rowset->ReleaseRows(3, rows, nullptr, nullptr, nullptr));
  accessor->ReleaseAccessor(handle, nullptr);
}

TEST_F(CJetProviderTest, ParameterTypesCanBeDeclaredAndConversionsAsked) {
  qcom::CComPtr<IDBCreateCommand> create;
  ASSERT_EQ(S_OK, m_session.Get()->QueryInterface(IID_IDBCreateCommand, create.PutVoid()));
  qcom::CComPtr<ICommandText> text;
  ASSERT_EQ(S_OK, create->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(text.Put())));
  ASSERT_EQ(S_OK, text->SetCommandText(DBGUID_DEFAULT, L"SELECT ? AS [x]"));
  qcom::CComPtr<ICommandWithParameters> parameters;
  ASSERT_EQ(S_OK, text.QueryInterface(IID_ICommandWithParameters, parameters));
  DB_UPARAMS count = 0;
  DBPARAMINFO* info = nullptr;
  EXPECT_EQ(DB_E_NOTPREPARED, parameters->GetParameterInfo(&count, &info, nullptr));
  qcom::CComPtr<ICommandPrepare> prepare;
  ASSERT_EQ(S_OK, text.QueryInterface(IID_ICommandPrepare, prepare));
  ASSERT_EQ(S_OK, prepare->Prepare(1));

  const DB_UPARAMS ordinal = 1;
  DBPARAMBINDINFO declared = {};
  declared.pwszDataSourceType = const_cast<LPOLESTR>(L"DBTYPE_I4");
  declared.dwFlags = DBPARAMFLAGS_ISINPUT;
  ASSERT_EQ(S_OK, parameters->SetParameterInfo(1, &ordinal, &declared));
  ASSERT_EQ(S_OK, parameters->GetParameterInfo(&count, &info, nullptr));
  ASSERT_EQ(1u, count);
  EXPECT_EQ(DBTYPE_I4, info[0].wType);
  ::CoTaskMemFree(info);
  declared.pwszDataSourceType = const_cast<LPOLESTR>(L"DBTYPE_NONSENSE");
  EXPECT_EQ(DB_E_BADTYPENAME, parameters->SetParameterInfo(1, &ordinal, &declared));

  qcom::CComPtr<IConvertType> convert;
  ASSERT_EQ(S_OK, text.QueryInterface(IID_IConvertType, convert));
  EXPECT_EQ(S_OK, convert->CanConvert(DBTYPE_WSTR, DBTYPE_STR, DBCONVERTFLAGS_COLUMN));
  EXPECT_EQ(S_FALSE, convert->CanConvert(DBTYPE_WSTR, DBTYPE_IUNKNOWN, DBCONVERTFLAGS_COLUMN));
}

TEST(JetProviderLifetimeTest, ServiceComponentsReadBackTheDataSourceAndEverythingIsReleased) {
  const std::string folder = NewTempFolder();
  const std::string path = folder + "\\life.mdb";
  ASSERT_EQ(S_OK, CreateDatabaseWithCatalog(path));
  {
    qcom::CComPtr<IDataInitialize> services;
    ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_MSDAINITIALIZE, nullptr, CLSCTX_INPROC_SERVER, IID_IDataInitialize,
                                       services.PutVoid()));
    const std::wstring init = Wide("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + path + ";");
    qoledb::CDataSource dataSource;
    ASSERT_EQ(S_OK, dataSource.OpenFromInitializationString(init.c_str()));
    LPOLESTR readBack = nullptr;
    ASSERT_EQ(S_OK, services->GetInitializationString(dataSource.Get(), TRUE, &readBack));
    EXPECT_NE(std::wstring::npos, std::wstring(readBack).find(L"Data Source=" + Wide(path)));
    ::CoTaskMemFree(readBack);

    qoledb::CSession session;
    ASSERT_EQ(S_OK, session.Open(dataSource));
    ASSERT_EQ(S_OK, session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
    COLEDBCommand open, failed;
    ASSERT_EQ(S_OK, open.Create(session, "CREATE TABLE [t] ( [n] int )"));
    ASSERT_EQ(S_OK, open.Open(nullptr));
    ASSERT_EQ(S_OK, open.Create(session, "SELECT [n] FROM [t]"));
    ASSERT_EQ(S_OK, open.Open(nullptr));  // left open: the destructor closes it
    EXPECT_TRUE(FAILED(failed.Create(session, "SELECT FROM")));
    // The session still holds its transaction: releasing it rolls back.
  }
  HMODULE provider = ::GetModuleHandleA("qarn_jet_provider.dll");
  ASSERT_NE(nullptr, provider);
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(provider, "DllCanUnloadNow")));
  ASSERT_NE(nullptr, canUnload);
  EXPECT_EQ(S_OK, canUnload());
  EXPECT_TRUE(::DeleteFileA(path.c_str())) << "the database file is still open";
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace oledbtest
