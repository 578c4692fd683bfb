// COLEDBCommand against the stand-in JET provider, reached through the OLE DB
// service components exactly as on Windows.
#include <set>

#include "OLEDBTestSupport.h"

namespace oledbtest {
namespace {

const int kError = 40000;
const int kDebug = 10000;

class COLEDBCommandTest : public COLEDBTest {
 protected:
  void SetUp() override {
    COLEDBTest::SetUp();
    ASSERT_EQ(S_OK, ExecuteAll(kMembershipSchema));
  }
};

TEST_F(COLEDBCommandTest, MembershipStatementsBuildTheSchemaSeenInColumnsRowset) {
  ASSERT_EQ(S_OK, ExecuteAll(kShareSchema));
  std::vector<std::pair<std::string, std::string>> columns;
  ASSERT_EQ(S_OK, m_session.ReadColumnsSchema(columns));
  const std::set<std::pair<std::string, std::string>> found(columns.begin(), columns.end());
  const std::pair<std::string, std::string> expected[] = {
      {"qmb_user", "user_id"}, {"qmb_user", "lastsid"}, {"qmb_user", "listlength"}, {"qmb_group", "description"},
      {"qmb_membership", "group"}, {"qmb_certificate", "raw_certificate"}, {"qmb_ra", "uid"},
      {"share", "share_id"}, {"share_rights", "user_id"}};
  for (const auto& pair : expected) EXPECT_EQ(1u, found.count(pair)) << pair.first << "." << pair.second;
  EXPECT_EQ(13u + 2u + 2u + 3u + 8u + 4u + 2u, columns.size());
}

TEST_F(COLEDBCommandTest, CountIsReadAsTextAfterMovingToTheFirstRow) {
  const char* count = "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Administrators'";
  EXPECT_EQ(0, Count(count));
  ASSERT_EQ(S_OK, Run("INSERT INTO [qmb_group] ([name],[description]) VALUES ('Administrators','super group')"));
  COLEDBCommand command;
  ASSERT_EQ(S_OK, Run(count, command));
  ASSERT_EQ(1u, command.m_ulColumns);
  EXPECT_EQ(DBTYPE_I4, command.Columns()[0].wDeclaredType);
  EXPECT_EQ(DBTYPE_STR, command.Columns()[0].wBoundType);
  EXPECT_EQ(50u, command.Columns()[0].ulBufferLength);
  long value = -1;
  ASSERT_EQ(S_OK, command.MoveFirst());
  EXPECT_TRUE(command.GetColumnLong(0, &value));
  EXPECT_EQ(1, value);
  EXPECT_FALSE(command.GetColumnLong(1, &value));
  EXPECT_EQ(DB_S_ENDOFROWSET, command.MoveNext());
}

TEST_F(COLEDBCommandTest, InsertAndUpdateOpenWithoutRowset) {
  CLogCapture log;
  COLEDBCommand command;
  DBROWCOUNT affected = 0;
  ASSERT_EQ(S_OK, command.Create(m_session, "INSERT INTO [qmb_user] ([user_id],[login],[status]) VALUES "
                                            "('Administrator','Administrator',0)"));
  ASSERT_EQ(S_OK, command.Open(&affected));
  EXPECT_EQ(1, affected);
  EXPECT_TRUE(log.Contains(kDebug, "CAccessorRowset<CManualAccessor, CRowset>::GetInterface() == NULL"));
  long value = 7;
  EXPECT_FALSE(command.GetColumnLong(0, &value));
  EXPECT_EQ(7, value);

  ASSERT_EQ(S_OK, command.Create(m_session, "UPDATE [qmb_user] SET [password] = ? WHERE [login] = 'Administrator'"));
  ASSERT_EQ(1u, command.m_ulParams);
  EXPECT_EQ(DBTYPE_WSTR, command.Parameters()[0].wDeclaredType);
  EXPECT_EQ(50u, command.Parameters()[0].ulDeclaredSize);
  command.AddParameter(0, DBTYPE_STR, 8, "Ab3dE5gH", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(&affected));
  EXPECT_EQ(1, affected);
  EXPECT_FALSE(command.GetColumnLong(0, &value));
  EXPECT_EQ(1, Count("SELECT Count(*) FROM [qmb_user] WHERE [password] = 'Ab3dE5gH'"));
}

TEST_F(COLEDBCommandTest, ParameterDataIsCappedAtTheDeclaredSizeAndOutOfRangeIndexIgnored) {
  ASSERT_EQ(S_OK, Run("CREATE TABLE [t] ( [short] varchar(20) NULL )"));
  COLEDBCommand command;
  ASSERT_EQ(S_OK, command.Create(m_session, "INSERT INTO [t] ([short]) VALUES (?)"));
  ASSERT_EQ(1u, command.m_ulParams);
  const std::string text(60, 'x');
  command.AddParameter(5, DBTYPE_STR, 3, "abc", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  command.AddParameter(-1, DBTYPE_STR, 3, "abc", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  EXPECT_EQ(0u, command.Parameters()[0].ulLength);
  command.AddParameter(0, DBTYPE_STR, static_cast<ULONG>(text.size()), text.c_str(), DBSTATUS_S_OK, DBPARAMIO_INPUT);
  EXPECT_EQ(20u, command.Parameters()[0].ulLength);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  const std::string stored = "SELECT Count(*) FROM [t] WHERE [short] = '" + text.substr(0, 20) + "'";
  EXPECT_EQ(1, Count(stored.c_str()));
}

TEST_F(COLEDBCommandTest, ParameterNeverGivenIsSentAsNull) {
  ASSERT_EQ(S_OK, Run("CREATE TABLE [n] ( [value] varchar(20) NULL )"));
  COLEDBCommand command;
  ASSERT_EQ(S_OK, command.Create(m_session, "INSERT INTO [n] ([value]) VALUES (?)"));
  ASSERT_EQ(S_OK, command.Open(nullptr));
  EXPECT_EQ(1, Count("SELECT Count(*) FROM [n] WHERE [value] IS NULL"));
}

TEST_F(COLEDBCommandTest, NullColumnReadsZeroAndSucceeds) {
  ASSERT_EQ(S_OK, Run("INSERT INTO [qmb_user] ([user_id],[login]) VALUES ('u1','u1')"));
  COLEDBCommand command;
  ASSERT_EQ(S_OK, Run("SELECT [status], [expdate] FROM [qmb_user]", command));
  ASSERT_EQ(S_OK, command.MoveFirst());
  long value = 5;
  EXPECT_TRUE(command.GetColumnLong(0, &value));
  EXPECT_EQ(0, value);
  value = 5;
  EXPECT_TRUE(command.GetColumnLong(1, &value));
  EXPECT_EQ(0, value);
}

TEST_F(COLEDBCommandTest, BindingRuleSizesAndTypes) {
  ASSERT_EQ(S_OK, Run("CREATE TABLE [b] ( [big] varchar(2000), [small] varchar(20), [mid] varchar(100), "
                      "[raw] varbinary(20), [memo] text, [when] datetime, [flag] bit )"));
  ASSERT_EQ(S_OK, Run("INSERT INTO [b] VALUES ('1', '2', '3', X'0102', 'long', '2000-01-01 18:00:00', 1)"));
  COLEDBCommand command;
  ASSERT_EQ(S_OK, Run("SELECT [big], [small], [mid], [raw], [memo], [when], [flag] FROM [b]", command));
  ASSERT_EQ(7u, command.m_ulColumns);
  const auto& columns = command.Columns();
  EXPECT_EQ(1500u, columns[0].ulBufferLength);
  EXPECT_EQ(50u, columns[1].ulBufferLength);
  EXPECT_EQ(101u, columns[2].ulBufferLength);
  EXPECT_EQ(DBTYPE_BYTES, columns[3].wBoundType);
  EXPECT_EQ(50u, columns[3].ulBufferLength);
  EXPECT_EQ(1500u, columns[4].ulBufferLength);
  EXPECT_EQ(DBTYPE_DATE, columns[5].wBoundType);
  EXPECT_EQ(DBTYPE_BOOL, columns[6].wBoundType);
  ASSERT_EQ(S_OK, command.MoveFirst());
  long value = 99;
  EXPECT_FALSE(command.GetColumnLong(3, &value));
  EXPECT_EQ(99, value);
  EXPECT_TRUE(command.GetColumnLong(5, &value));
  EXPECT_EQ(36526, value);  // 1 January 2000, the time of day cut off
  EXPECT_TRUE(command.GetColumnLong(6, &value));
  EXPECT_EQ(VARIANT_TRUE, value);
}

TEST_F(COLEDBCommandTest, BuiltInRowsPasswordAndAuthenticationQueriesInOneTransaction) {
  ASSERT_EQ(S_OK, m_session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
  for (const CBuiltInRow& row : kBuiltInRows) {
    EXPECT_EQ(0, Count(row.count)) << row.count;
    EXPECT_EQ(S_OK, Run(row.insert)) << row.insert;
    EXPECT_EQ(1, Count(row.count)) << row.count;
  }
  COLEDBCommand command;
  ASSERT_EQ(S_OK, command.Create(m_session, "UPDATE [qmb_user] SET [password] = ? WHERE [login] = 'Administrator'"));
  command.AddParameter(0, DBTYPE_STR, 8, "q1W2e3R4", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  ASSERT_EQ(S_OK, m_session.Commit());

  const char* const byLogin[] = {
      "SELECT [user_id],[password],[status],[expdate] FROM [qmb_user] WHERE [login] = ?",
      "SELECT [login],[password],[status],[expdate] FROM [qmb_user] WHERE [user_id] = ?",
      "SELECT [qmb_group].[name] FROM ([qmb_user] INNER JOIN [qmb_membership] ON "
      "[qmb_user].[user_id]=[qmb_membership].[user_id]) INNER JOIN [qmb_group] ON "
      "[qmb_membership].[group]=[qmb_group].[name] WHERE [qmb_user].[login]=?"};
  for (const char* query : byLogin) {
    ASSERT_EQ(S_OK, command.Create(m_session, query)) << query;
    command.AddParameter(0, DBTYPE_STR, 13, "Administrator", DBSTATUS_S_OK, DBPARAMIO_INPUT);
    ASSERT_EQ(S_OK, command.Open(nullptr)) << query;
    EXPECT_EQ(S_OK, command.MoveFirst()) << query;
  }
  EXPECT_EQ(S_OK, command.MoveNext());  // three groups
  EXPECT_EQ(S_OK, command.MoveNext());
  EXPECT_EQ(DB_S_ENDOFROWSET, command.MoveNext());
  ASSERT_EQ(S_OK, command.Create(m_session,
                                 "SELECT [qmb_user].[user_id], [login], [password], [status], [expdate] FROM "
                                 "[qmb_certificate] INNER JOIN [qmb_user] ON [qmb_certificate].[user_id] = "
                                 "[qmb_user].[user_id] WHERE [qmb_certificate].[certificate_id] = ?"));
  command.AddParameter(0, DBTYPE_STR, 4, "none", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  EXPECT_EQ(5u, command.m_ulColumns);
  EXPECT_EQ(DB_S_ENDOFROWSET, command.MoveFirst());
  EXPECT_EQ(1, Count("SELECT Count(*) FROM [qmb_user] WHERE [password] = 'q1W2e3R4'"));
}

TEST_F(COLEDBCommandTest, TransactionCommitKeepsAndAbortDropsRows) {
  const char* insert = "INSERT INTO [qmb_group] ([name],[description]) VALUES ('Registered','registered users')";
  const char* count = "SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Registered'";
  ASSERT_EQ(S_OK, m_session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
  ASSERT_EQ(S_OK, Run(insert));
  EXPECT_EQ(1, Count(count));
  ASSERT_EQ(S_OK, m_session.Abort());
  EXPECT_EQ(0, Count(count));
  ASSERT_EQ(S_OK, m_session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
  EXPECT_EQ(XACT_E_XTIONEXISTS, m_session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
  ASSERT_EQ(S_OK, Run(insert));
  ASSERT_EQ(S_OK, m_session.Commit());
  EXPECT_EQ(XACT_E_NOTRANSACTION, m_session.Commit());
  EXPECT_EQ(1, Count(count));
}

TEST_F(COLEDBCommandTest, CounterAndIdentityColumnsNumberRows) {
  ASSERT_EQ(S_OK, ExecuteAll(kShareSchema));
  ASSERT_EQ(S_OK, Run("INSERT INTO qmb_ra (certificate_id) VALUES ('a')"));
  ASSERT_EQ(S_OK, Run("INSERT INTO qmb_ra (certificate_id) VALUES ('b')"));
  EXPECT_EQ(2, Count("SELECT uid FROM qmb_ra WHERE certificate_id = 'b'"));
  ASSERT_EQ(S_OK, Run("INSERT INTO [share] ([user_id],[name],[path]) VALUES ('u','n','p')"));
  EXPECT_EQ(1, Count("SELECT [share_id] FROM [share] WHERE [name] = 'n'"));
}

TEST_F(COLEDBCommandTest, ForeignKeyViolationIsRefusedWithDescription) {
  CLogCapture log;
  HRESULT hr = Run("INSERT INTO [qmb_membership] ([user_id],[group]) VALUES ('nobody','nogroup')");
  EXPECT_EQ(DB_E_INTEGRITYVIOLATION, hr);
  qcom::CComPtr<IErrorInfo> info;
  ASSERT_EQ(S_OK, ::GetErrorInfo(0, info.Put()));
  qcom::CBstr description;
  ASSERT_EQ(S_OK, info->GetDescription(description.Put()));
  EXPECT_NE(std::string::npos, qcom::BstrToAnsi(description.Get()).find("FOREIGN KEY"));
  EXPECT_TRUE(log.Contains(kError, "[CCommand<CManualAccessor, CRowset>::Open(NULL, pRowsAffected, FALSE)] hr = "
                                   "0x80040e2f | -2147217873"));
  EXPECT_EQ(0, Count("SELECT Count(*) FROM [qmb_membership]"));
}

TEST_F(COLEDBCommandTest, BadInputFailsWithRecordsAndLeavesTheObjectUsable) {
  CLogCapture log;
  COLEDBCommand command;
  EXPECT_EQ(E_UNEXPECTED, command.Open(nullptr));
  EXPECT_TRUE(log.Contains(kError, "[CCommand<CManualAccessor, CRowset>::Open(NULL, pRowsAffected, FALSE)] hr = "
                                   "0x8000ffff | -2147418113"));
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, command.Create(m_session, "SELEKT * FRUM [qmb_user]"));
  EXPECT_TRUE(log.Contains(kError, "[Prepare(1)] hr = 0x80040e14 | -2147217900"));
  EXPECT_EQ(DB_E_ERRORSINCOMMAND, command.Create(m_session, "SELECT * FROM [no_such_table]"));
  EXPECT_EQ(E_INVALIDARG, command.Create(nullptr, "SELECT 1"));
  EXPECT_TRUE(log.Contains(kError, "[CCommand<CManualAccessor, CRowset>::Create] szCommand = \"SELECT 1\""));
  EXPECT_TRUE(log.Contains(kError, "[CCommand<CManualAccessor, CRowset>::Create(session, szCommand)] hr = "
                                   "0x80070057 | -2147024809"));
  EXPECT_EQ(E_UNEXPECTED, command.Open(nullptr));
  long value = 0;
  EXPECT_FALSE(command.GetColumnLong(0, &value));
  EXPECT_EQ(E_UNEXPECTED, command.MoveFirst());
  ASSERT_EQ(S_OK, command.Create(m_session, "SELECT Count(*) FROM [qmb_user] WHERE [login] = ?"));
  ASSERT_EQ(S_OK, command.Open(nullptr));  // a parameter never given is NULL
  command.AddParameter(0, DBTYPE_STR, 1, "x", DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  ASSERT_EQ(S_OK, command.MoveFirst());
  EXPECT_TRUE(command.GetColumnLong(0, &value));
  EXPECT_EQ(0, value);
}

TEST_F(COLEDBCommandTest, AnsiTextIsStoredAsUnicode) {
  if (::GetACP() != 1251) GTEST_SKIP() << "needs the Russian ANSI code page";
  const char russian[] = "\xC0\xE4\xEC\xE8\xED\xE8\xF1\xF2\xF0\xE0\xF2\xEE\xF0\xFB";  // Администраторы
  const wchar_t wide[] = L"\u0410\u0434\u043C\u0438\u043D\u0438\u0441\u0442\u0440\u0430\u0442\u043E\u0440\u044B";
  COLEDBCommand command;
  ASSERT_EQ(S_OK, command.Create(m_session, "INSERT INTO [qmb_group] ([name]) VALUES (?)"));
  command.AddParameter(0, DBTYPE_STR, sizeof(russian) - 1, russian, DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  ASSERT_EQ(S_OK, command.Create(m_session, "SELECT Count(*) FROM [qmb_group] WHERE [name] = ?"));
  command.AddParameter(0, DBTYPE_WSTR, sizeof(wide) - sizeof(wchar_t), wide, DBSTATUS_S_OK, DBPARAMIO_INPUT);
  ASSERT_EQ(S_OK, command.Open(nullptr));
  long count = 0;
  ASSERT_EQ(S_OK, command.MoveFirst());
  EXPECT_TRUE(command.GetColumnLong(0, &count));
  EXPECT_EQ(1, count);
  const std::string literal = std::string("SELECT Count(*) FROM [qmb_group] WHERE [name] = '") + russian + "'";
  EXPECT_EQ(1, Count(literal.c_str()));
}

TEST(OLEDBDataSourceTest, MissingDatabaseFolderFailsEverywhere) {
  const std::string path = NewTempFolder() + "\\missing\\vesmoro.mdb";
  EXPECT_TRUE(FAILED(CreateDatabaseWithCatalog(path)));
  qoledb::CDataSource dataSource;
  const std::wstring init = Wide("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + path + ";");
  EXPECT_TRUE(FAILED(dataSource.OpenFromInitializationString(init.c_str())));
  qoledb::CSession session;
  EXPECT_EQ(E_UNEXPECTED, session.Open(dataSource));
  COLEDBCommand command;
  EXPECT_TRUE(FAILED(command.Create(session, "SELECT 1")));
}

TEST(OLEDBDataSourceTest, CatalogRefusesAnExistingFile) {
  const std::string folder = NewTempFolder();
  const std::string path = folder + "\\twice.mdb";
  ASSERT_EQ(S_OK, CreateDatabaseWithCatalog(path));
  EXPECT_EQ(DB_E_DUPLICATEDATASOURCE, CreateDatabaseWithCatalog(path));
  ::DeleteFileA(path.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace
}  // namespace oledbtest
