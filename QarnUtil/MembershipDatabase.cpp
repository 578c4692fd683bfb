#include "MembershipDatabase.h"

#include <wincrypt.h>

#include <cstring>
#include <utility>
#include <vector>

#include "Com/ComPtr.h"
#include "InstallLog.h"
#include "Membership/AdoxCatalog.h"
#include "OLEDBCommand.h"
#include "Resource.h"
#include "Win32/Handles.h"
#include "logging.h"

namespace qarnutil {

namespace {

using qinstall::CBuiltInRow;
using qinstall::CColumnName;

const char* const kJetProviders[] = {"Microsoft.JET.OLEDB.4.0", "Microsoft.JET.OLEDB.3.51"};

// The first JET provider whose ProgID yields an OLE DB data source, or ""
// when the system has neither.
std::string ChooseJetProvider() {
  for (const char* provider : kJetProviders) {
    CLSID clsid = CLSID_NULL;
    if (FAILED(::CLSIDFromProgID(qcom::AnsiToWide(provider).c_str(), &clsid))) continue;
    qcom::CComPtr<IDBInitialize> initialize;
    if (SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDBInitialize, initialize.PutVoid()))) {
      return provider;
    }
  }
  return std::string();
}

bool FileOpensForReading(const std::string& path) {
  qwin::CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

// A new database file made by the ADOX catalog; the connection that its
// Create hands back is closed at once.
HRESULT CreateWithCatalog(const std::string& connection) {
  qcom::CComPtr<adox::_Catalog> catalog;
  QRETURN_IF_FAILED("CoCreateInstance(CLSID_Catalog)",
                    ::CoCreateInstance(adox::CLSID_Catalog, nullptr, CLSCTX_INPROC_SERVER, adox::IID__Catalog,
                                       catalog.PutVoid()));
  const qcom::CBstr text = qcom::CBstr::FromAnsi(connection);
  qcom::CVariant created;
  QRETURN_IF_FAILED("_Catalog::Create", catalog->Create(text.Get(), created.Put()));
  const VARIANT& value = created.Get();
  if (value.vt != VT_DISPATCH || !value.pdispVal) return S_OK;
  qcom::CComPtr<adox::_Connection> opened;
  if (SUCCEEDED(value.pdispVal->QueryInterface(adox::IID__Connection20, opened.PutVoid()))) opened->Close();
  return S_OK;
}

// The data source and session of one structure routine.
class CDatabaseSession {
 public:
  HRESULT Open(const std::string& connection) {
    QRETURN_IF_FAILED("CDataSource::OpenFromInitializationString",
                      m_dataSource.OpenFromInitializationString(qcom::AnsiToWide(connection).c_str()));
    QRETURN_IF_FAILED("CSession::Open", m_session.Open(m_dataSource));
    return S_OK;
  }
  qoledb::CSession& Session() { return m_session; }

  HRESULT CountColumns(const std::vector<CColumnName>& known, size_t& count) {
    std::vector<std::pair<std::string, std::string>> rows;
    QRETURN_IF_FAILED("CSession::ReadColumnsSchema", m_session.ReadColumnsSchema(rows));
    count = qinstall::CountKnownColumns(rows, known);
    return S_OK;
  }

  HRESULT Execute(const char* statement) {
    COLEDBCommand command;
    HRESULT hr = command.Create(m_session, statement);
    return FAILED(hr) ? hr : command.Open(nullptr);
  }

  // No row, an unreadable value and 0 all mean that the row is missing.
  bool RowExists(const char* countQuery) {
    COLEDBCommand command;
    long count = 0;
    return SUCCEEDED(command.Create(m_session, countQuery)) && SUCCEEDED(command.Open(nullptr)) &&
           command.MoveFirst() == S_OK && command.GetColumnLong(0, &count) && count != 0;
  }

  // The row is made when missing; its line says which.
  HRESULT EnsureRow(const CBuiltInRow& row, std::string& log) {
    const HRESULT hr = RowExists(row.count) ? S_FALSE : Execute(row.insert);
    AppendLogLine(log, row.stepId, nullptr, hr);
    return FAILED(hr) ? hr : S_OK;
  }

  HRESULT EnsureRows(const std::vector<CBuiltInRow>& rows, std::string& log) {
    for (const CBuiltInRow& row : rows) QRETURN_IF_FAILED(row.insert, EnsureRow(row, log));
    return S_OK;
  }

  // The tables of a database with none of their columns yet; a complete set
  // counts as there already. Appends line 127.
  HRESULT EnsureTables(size_t knownColumns, const std::vector<const char*>& statements, std::string& log) {
    HRESULT hr = S_FALSE;
    if (knownColumns == 0) {
      hr = S_OK;
      for (size_t i = 0; i < statements.size() && SUCCEEDED(hr); ++i) hr = Execute(statements[i]);
    }
    AppendLogLine(log, IDS_CREATE_DB_STRUCTURE, nullptr, hr);
    return FAILED(hr) ? hr : S_OK;
  }

  HRESULT SetPassword(const char* password) {
    COLEDBCommand command;
    QRETURN_IF_FAILED("COLEDBCommand::Create", command.Create(m_session, qinstall::kSetPasswordStatement));
    command.AddParameter(0, DBTYPE_STR, static_cast<ULONG>(qinstall::kPasswordLength), password, DBSTATUS_S_OK,
                         DBPARAMIO_INPUT);
    return command.Open(nullptr);
  }

 private:
  qoledb::CDataSource m_dataSource;
  qoledb::CSession m_session;
};

// Opens the database and counts the columns of the known list; a count
// other than none or all leaves the database alone (line 133).
HRESULT OpenAndCheck(CDatabaseSession& database, const std::string& connection,
                     const std::vector<CColumnName>& known, size_t& count, std::string& log) {
  QRETURN_IF_FAILED("CDatabaseSession::Open", database.Open(connection));
  QRETURN_IF_FAILED("CDatabaseSession::CountColumns", database.CountColumns(known, count));
  if (count != 0 && count != known.size()) {
    AppendLogText(log, IDS_CHECK_DB_STRUCTURE, nullptr, IDS_INCOMPATIBLE_DB_STRUCTURE);
    return E_FAIL;
  }
  return S_OK;
}

// A new password for "Administrator" (line 130), waiting in its file
// (line 131) until the transaction commits.
HRESULT RenewPassword(CDatabaseSession& database, CPendingPasswordFile& passwordFile, std::string& log) {
  char password[qinstall::kPasswordLength + 1] = {};
  HRESULT hr = GeneratePassword(password);
  if (SUCCEEDED(hr)) hr = database.SetPassword(password);
  AppendLogLine(log, IDS_SET_ADMIN_PASSWORD, nullptr, hr);
  if (FAILED(hr)) return hr;
  hr = passwordFile.Save(password);
  AppendLogLine(log, IDS_SAVE_ADMIN_PASSWORD, nullptr, hr);
  ::SecureZeroMemory(password, sizeof(password));
  return hr;
}

// Commits the work when every step succeeded; any failure rolls it back.
HRESULT Finish(qoledb::CLocalTransaction& transaction, HRESULT work) {
  if (FAILED(work)) {
    transaction.Abort();
    return E_FAIL;
  }
  return transaction.Commit();
}

class CCryptContext {
 public:
  ~CCryptContext() {
    if (m_provider) ::CryptReleaseContext(m_provider, 0);
  }
  HRESULT Acquire() {
    if (::CryptAcquireContextA(&m_provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return S_OK;
    m_provider = 0;
    return qwin::HResultFromLastError();
  }
  bool Fill(unsigned char* bytes, size_t count) {
    return ::CryptGenRandom(m_provider, static_cast<DWORD>(count), bytes) != FALSE;
  }

 private:
  HCRYPTPROV m_provider = 0;
};

}  // namespace

std::string DatabasePath(const std::string& rootFolder) { return rootFolder + "\\_vesmoro\\vesmoro.mdb"; }
std::string PasswordFilePath(const std::string& rootFolder) { return rootFolder + "\\_vesmoro\\password.txt"; }

HRESULT CreateDatabase(const std::string& rootFolder, std::string& connection, std::string& log) {
  const std::string provider = ChooseJetProvider();
  if (provider.empty()) {
    AppendLogText(log, IDS_CREATE_DATABASE, nullptr, IDS_JET_NOT_REGISTERED);
    return REGDB_E_CLASSNOTREG;
  }
  const std::string path = DatabasePath(rootFolder);
  connection = "Provider=" + provider + ";Data Source=" + path + ";";
  if (FileOpensForReading(path)) {
    AppendLogLine(log, IDS_CREATE_DATABASE, nullptr, S_FALSE);
  } else {
    const HRESULT hr = CreateWithCatalog(connection);
    AppendLogLine(log, IDS_CREATE_DATABASE, nullptr, hr);
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = CreateDBStructure(connection, rootFolder, log);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CreateDBStructure(const std::string& connection, const std::string& rootFolder, std::string& log) {
  CDatabaseSession database;
  size_t count = 0;
  QRETURN_IF_FAILED("CreateDBStructure", OpenAndCheck(database, connection, qinstall::kMembershipColumns, count, log));
  qoledb::CLocalTransaction transaction(database.Session());
  QRETURN_IF_FAILED("StartTransaction", transaction.Start(ISOLATIONLEVEL_READCOMMITTED));
  CPendingPasswordFile passwordFile(rootFolder);
  HRESULT hr = database.EnsureTables(count, qinstall::kMembershipStatements, log);
  if (SUCCEEDED(hr)) hr = database.EnsureRows(qinstall::kMembershipRows, log);
  if (SUCCEEDED(hr)) hr = RenewPassword(database, passwordFile, log);
  hr = Finish(transaction, hr);
  return FAILED(hr) ? hr : passwordFile.Replace();
}

HRESULT CreateShareStructure(const std::string& connection, const std::string&, std::string& log) {
  CDatabaseSession database;
  size_t count = 0;
  QRETURN_IF_FAILED("CreateShareStructure", OpenAndCheck(database, connection, qinstall::kShareColumns, count, log));
  qoledb::CLocalTransaction transaction(database.Session());
  QRETURN_IF_FAILED("StartTransaction", transaction.Start(ISOLATIONLEVEL_READCOMMITTED));
  HRESULT hr = database.EnsureTables(count, qinstall::kShareStatements, log);
  if (SUCCEEDED(hr)) hr = database.EnsureRows(qinstall::kShareGroupRows, log);
  if (SUCCEEDED(hr) && database.RowExists(qinstall::kAdministratorUser.count)) {
    AppendLogLine(log, qinstall::kAdministratorUser.stepId, nullptr, S_FALSE);
    hr = database.EnsureRow(qinstall::kAdministratorInWriters, log);
  }
  return Finish(transaction, hr);
}

HRESULT CountDatabaseColumns(const std::string& connection, const std::vector<qinstall::CColumnName>& known,
                             size_t& count) {
  CDatabaseSession database;
  HRESULT hr = database.Open(connection);
  return FAILED(hr) ? hr : database.CountColumns(known, count);
}

HRESULT GeneratePassword(char (&password)[qinstall::kPasswordLength + 1]) {
  CCryptContext context;
  QRETURN_IF_FAILED("CryptAcquireContext", context.Acquire());
  const bool drawn =
      qinstall::DrawPassword([&](unsigned char* bytes, size_t count) { return context.Fill(bytes, count); }, password);
  if (!drawn) {
    const HRESULT hr = qwin::HResultFromLastError();
    QLOG_VALUE(ERROR, "CryptGenRandom", "hr", hr);
    return FAILED(hr) ? hr : E_FAIL;
  }
  return S_OK;
}

HRESULT SavePasswordFile(const std::string& path, const char* password) {
  qwin::CFileHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return qwin::HResultFromLastError();
  const DWORD length = static_cast<DWORD>(std::strlen(password));
  DWORD written = 0;
  if (!::WriteFile(file.Get(), password, length, &written, nullptr)) return qwin::HResultFromLastError();
  return written == length ? S_OK : qwin::HResultFromWin32(ERROR_WRITE_FAULT);
}

CPendingPasswordFile::CPendingPasswordFile(const std::string& rootFolder)
    : m_strFinalPath(PasswordFilePath(rootFolder)) {}

CPendingPasswordFile::~CPendingPasswordFile() {
  if (!m_strPendingPath.empty()) ::DeleteFileA(m_strPendingPath.c_str());
}

HRESULT CPendingPasswordFile::Save(const char* password) {
  const std::string folder = m_strFinalPath.substr(0, m_strFinalPath.rfind('\\'));
  char pending[MAX_PATH] = {};
  if (!::GetTempFileNameA(folder.c_str(), "pwd", 0, pending)) return qwin::HResultFromLastError();
  m_strPendingPath = pending;
  return SavePasswordFile(m_strPendingPath, password);
}

HRESULT CPendingPasswordFile::Replace() {
  if (m_strPendingPath.empty()) return S_OK;
  if (!::MoveFileExA(m_strPendingPath.c_str(), m_strFinalPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const HRESULT hr = qwin::HResultFromLastError();
    QLOG_VALUE(ERROR, "MoveFileEx", "hr", hr);
    return hr;
  }
  m_strPendingPath.clear();
  return S_OK;
}

}  // namespace qarnutil
