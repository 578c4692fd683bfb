#include "OLEDBTestSupport.h"

#include "Membership/AdoxCatalog.h"
#include "TempFolder.h"
#include "logging.h"

namespace oledbtest {

std::string NewTempFolder() { return qtest::NewTempFolder("oledb"); }

std::wstring Wide(const std::string& text) { return qcom::AnsiToWide(text); }

HRESULT CreateDatabaseWithCatalog(const std::string& path) {
  qcom::CComPtr<adox::_Catalog> catalog;
  HRESULT hr = ::CoCreateInstance(adox::CLSID_Catalog, nullptr, CLSCTX_INPROC_SERVER, adox::IID__Catalog,
                                  catalog.PutVoid());
  if (FAILED(hr)) return hr;
  qcom::CBstr connection(Wide("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + path + ";").c_str());
  VARIANT created;
  ::VariantInit(&created);
  hr = catalog->Create(connection.Get(), &created);
  if (FAILED(hr)) return hr;
  qcom::CComPtr<adox::_Connection> opened;
  hr = created.vt == VT_DISPATCH && created.pdispVal
           ? created.pdispVal->QueryInterface(adox::IID__Connection20, opened.PutVoid())
           : E_UNEXPECTED;
  ::VariantClear(&created);
  return SUCCEEDED(hr) ? opened->Close() : hr;
}

void COLEDBTest::SetUp() {
  m_folder = NewTempFolder();
  m_databasePath = m_folder + "\\vesmoro.mdb";
  ASSERT_EQ(S_OK, CreateDatabaseWithCatalog(m_databasePath));
  const std::wstring init = Wide("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + m_databasePath + ";");
  ASSERT_EQ(S_OK, m_dataSource.OpenFromInitializationString(init.c_str()));
  ASSERT_EQ(S_OK, m_session.Open(m_dataSource));
}

void COLEDBTest::TearDown() {
  m_session.Close();
  m_dataSource.Close();
  ::DeleteFileA(m_databasePath.c_str());
  ::RemoveDirectoryA(m_folder.c_str());
}

HRESULT COLEDBTest::Run(const char* sql, COLEDBCommand& command) {
  HRESULT hr = command.Create(m_session, sql);
  return FAILED(hr) ? hr : command.Open(nullptr);
}

HRESULT COLEDBTest::Run(const char* sql) {
  COLEDBCommand command;
  return Run(sql, command);
}

long COLEDBTest::Count(const char* sql) {
  COLEDBCommand command;
  long value = -1;
  if (Run(sql, command) != S_OK || command.MoveFirst() != S_OK || !command.GetColumnLong(0, &value)) return -1;
  return value;
}

HRESULT COLEDBTest::ExecuteAll(const std::vector<const char*>& statements) {
  for (const char* statement : statements) {
    HRESULT hr = Run(statement);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

const std::vector<CBuiltInRow> kBuiltInRows = {
    {"SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Administrators'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Administrators','super group')"},
    {"SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Registered'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Registered','registered users')"},
    {"SELECT Count(*) FROM [qmb_user] WHERE [user_id] = 'Administrator'",
     "INSERT INTO [qmb_user] ([user_id],[login],[status]) VALUES ('Administrator','Administrator',0)"},
    {"SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Administrators'",
     "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Administrators')"},
    {"SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Registered'",
     "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Registered')"},
    {"SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Writers'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Writers','writers group')"},
    {"SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Readers'",
     "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Readers','readers group')"},
    {"SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator' AND [group] = 'Writers'",
     "INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('Administrator','Writers')"},
};

}  // namespace oledbtest
