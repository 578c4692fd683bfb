// The installation check: the data-source and folder-security checks on
// their own, and CheckQarnMembership through COM on bare, healthy and broken
// installations, its lines byte for byte.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "ACL.h"
#include "Com/ComObject.h"
#include "InstallationCheck.h"
#include "InstallerTestSupport.h"
#include "MDKey.h"
#include "OLEDBCommand.h"
#include "OLEDBTestSupport.h"
#include "SettingsTestSupport.h"

namespace {

const char kIncompatibleDataSource[] = "Warning. Incompatible DataSource.";
const char kIncompatibleAuthType[] =
    "AuthType\tIncompatible AuthType and DataSource type. ADSI and LDAP DataSource works only with \"Basic\" "
    "AuthType\n";
// A domain SID whose account was deleted long ago.
const char kUnmappedSid[] = "S-1-5-21-1004336348-1177238915-682003330-4321";

class InstallationCheckTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ClearSettings();
    // The check's texts come from the library's string table.
    qcom::SetModuleInstance(::GetModuleHandleA("QarnUtil.dll"));
    m_root = NewSiteRoot();
    ASSERT_EQ(0u, RunTool(L"seed --sites 1,3 --root 1=" + qcom::AnsiToWide(m_root)).exitCode);
    // IIS gives every site a filter list of its own, empty at first.
    ASSERT_EQ(0u, RunTool(L"set LM/W3SVC/1/Filters 2040 string \"\"").exitCode);
  }
  void TearDown() override {
    ClearSettings();
    std::filesystem::remove_all(m_root);
    InstallerTest::TearDown();
  }

  // A JET database in the site root, with or without the share tables;
  // answers its connection string.
  std::string MakeDatabase(bool withShareTables) {
    const std::string path = m_root + "\\vesmoro.mdb";
    EXPECT_EQ(S_OK, oledbtest::CreateDatabaseWithCatalog(path));
    const std::string connection = "Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + path + ";";
    if (withShareTables) {
      qoledb::CDataSource dataSource;
      qoledb::CSession session;
      EXPECT_EQ(S_OK, dataSource.OpenFromInitializationString(qcom::AnsiToWide(connection).c_str()));
      EXPECT_EQ(S_OK, session.Open(dataSource));
      for (const char* statement : oledbtest::kShareSchema) {
        COLEDBCommand command;
        EXPECT_EQ(S_OK, command.Create(session, statement));
        EXPECT_EQ(S_OK, command.Open(nullptr));
      }
    }
    return connection;
  }

  static void UseOleDb(CACL& acl, const std::string& connection) {
    acl.m_nDataSourceType = 2;
    acl.m_strConnectionString = connection;
    acl.m_strQueryUserByID = "SELECT [login] FROM [qmb_user] WHERE [user_id] = ?";
    acl.m_strQueryUserByName = "SELECT [user_id] FROM [qmb_user] WHERE [login] = ?";
    acl.m_strQueryGroup = "SELECT [group] FROM [qmb_membership] WHERE [user_id] = ?";
  }

  // The site root's access file with what configure puts in.
  void WriteRootAccessFile(const std::function<void(CACL&)>& configure) {
    CACL acl;
    acl.m_bOwnDataSource = 1;
    configure(acl);
    int saved = 0;
    ASSERT_EQ(S_OK, acl.Save(m_root.c_str(), nullptr, "/", ".htaccess", &saved, nullptr));
    ASSERT_EQ(1, saved);
  }

  std::string Check(const wchar_t* instance, HRESULT expected = S_OK) {
    qcom::CBstr site(instance);
    qcom::CVariant info;
    m_result = -1;
    EXPECT_EQ(expected, m_installer->CheckQarnMembership(site.Get(), info.Put(), &m_result));
    return expected == S_OK ? LogOf(info.Get()) : std::string();
  }

  std::string m_root;
};

// Sets a DACL on folder that names an account that no longer exists; false
// when the file system does not keep it.
bool GiveUnmappedAccount(const std::string& folder) {
  const std::string sddl = std::string("D:(A;;GA;;;WD)(A;;GA;;;") + kUnmappedSid + ")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  const BOOL set = ::SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  char buffer[1024];
  DWORD needed = 0;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  return set && ::GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &needed) &&
         ::GetSecurityDescriptorDacl(buffer, &present, &dacl, &defaulted) && present && dacl && dacl->AceCount == 2;
}

// --- the data source ------------------------------------------------------------------------

TEST_F(InstallationCheckTest, AnOleDbSourceWithoutTheShareTablesIsIncompatible) {
  CACL acl;
  UseOleDb(acl, MakeDatabase(false));
  std::string text;
  bool ok = true;
  EXPECT_EQ(S_OK, qarnutil::CheckDataSource(acl, text, ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(kIncompatibleDataSource, text);
}

TEST_F(InstallationCheckTest, AnUntypedOleDbSourceWithTheShareTablesPassesAndBecomesOleDb) {
  CACL acl;
  UseOleDb(acl, MakeDatabase(true));
  acl.m_nDataSourceType = 0;
  std::string text = "stale";
  bool ok = false;
  EXPECT_EQ(S_OK, qarnutil::CheckDataSource(acl, text, ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ("", text);
  EXPECT_EQ(2, acl.m_nDataSourceType);
}

TEST_F(InstallationCheckTest, AnOleDbSourceThatCannotBeOpenedIsAFailureWithItsReason) {
  CACL acl;
  UseOleDb(acl, "Provider=Qarn.NoSuchProvider;Data Source=x;");
  std::string text;
  bool ok = true;
  EXPECT_EQ(S_OK, qarnutil::CheckDataSource(acl, text, ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(0u, text.find("Failed. ")) << text;
  EXPECT_GT(text.size(), 8u);
}

TEST_F(InstallationCheckTest, OnlyANamedAdsiSourcePassesBesidesOleDb) {
  std::string text;
  bool ok = false;
  CACL adsi;
  adsi.m_strADSIServer = "dc1";
  EXPECT_EQ(S_OK, qarnutil::CheckDataSource(adsi, text, ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ(4, adsi.m_nDataSourceType);
  for (int type : {0, 1, 3, 4}) {
    CACL acl;
    acl.m_nDataSourceType = type;
    acl.m_strLDAPURL = "ldap://dc1/";
    EXPECT_EQ(S_OK, qarnutil::CheckDataSource(acl, text, ok));
    EXPECT_FALSE(ok) << type;
    EXPECT_EQ(kIncompatibleDataSource, text) << type;
  }
}

// --- the root folder's security -------------------------------------------------------------

TEST_F(InstallationCheckTest, AFolderWhoseAccountsAllResolvePasses) {
  qarnutil::CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  std::string text = "stale";
  bool ok = false;
  EXPECT_EQ(S_OK, qarnutil::CheckRootFolderSecurity(key, L"", text, ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ("", text);
  // A key that is not in the metabase fails the check itself.
  EXPECT_EQ(static_cast<HRESULT>(0x80070003), qarnutil::CheckRootFolderSecurity(key, L"nowhere", text, ok));
}

TEST_F(InstallationCheckTest, AnAccountThatNoLongerExistsFailsTheFolder) {
  if (!GiveUnmappedAccount(m_root)) GTEST_SKIP() << "the file system keeps no DACL with an unknown SID";
  qarnutil::CMDKey key;
  ASSERT_EQ(S_OK, key._Init(L"1"));
  std::string text;
  bool ok = true;
  EXPECT_EQ(S_OK, qarnutil::CheckRootFolderSecurity(key, L"/", text, ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ(SystemText(ERROR_NONE_MAPPED), text);
}

// --- CheckQarnMembership ----------------------------------------------------------------------

TEST_F(InstallationCheckTest, ASiteThatIsNotThereFailsTheCallWithoutALog) {
  qcom::CBstr site(L"7");
  qcom::CVariant info;
  long result = -1;
  EXPECT_EQ(static_cast<HRESULT>(0x80070003), m_installer->CheckQarnMembership(site.Get(), info.Put(), &result));
  EXPECT_EQ(VT_EMPTY, info.Get().vt);
  EXPECT_EQ(0, result);
}

TEST_F(InstallationCheckTest, ABareSiteFailsEveryFindingAndAnEmptyInstanceChecksTheLowestSite) {
  const std::string bare =
      "IsProductInstalled\tFailed. Product is not installed on the Server\n"
      "Application Folder\tFailed. Application Folder not mapped.\n"
      "QarnFilter\tFailed. QarnFilter not installed.\n"
      "Root ACL\tFailed. Root ACL not exists.\n"
      "DataSource\tWarning. Incompatible DataSource.\n"
      "AuthType\tSuccess\n";
  EXPECT_EQ(bare, Check(L"1"));
  EXPECT_EQ(0, m_result);
  EXPECT_EQ(bare, Check(L""));
  EXPECT_EQ(0, m_result);
}

TEST_F(InstallationCheckTest, ASiteWithoutAFilterListFailsTheCall) {
  ASSERT_EQ(0u, RunTool(L"delete LM/W3SVC/1/Filters").exitCode);
  Check(L"1", static_cast<HRESULT>(0x80070003));
}

TEST_F(InstallationCheckTest, AProductOnTheServerButNotOnTheSiteIsReported) {
  AddProductKey("QarnMembership");
  EXPECT_EQ(0u, Check(L"1").find("IsProductInstalled\tFailed. Product not installed.\n"));
  SetSiteValue("QarnMembership", "1", "08.12.2026");
  EXPECT_EQ(0u, Check(L"1").find("IsProductInstalled\tSuccess\n"));
}

TEST_F(InstallationCheckTest, AuthTypeCookieWithAdsiIsIncompatible) {
  WriteRootAccessFile([](CACL& acl) {
    acl.m_strAuthType = "Cookie";
    acl.m_nDataSourceType = 4;
    acl.m_strADSIDomain = "CORP";
  });
  const std::string log = Check(L"1");
  EXPECT_NE(std::string::npos, log.find("Root ACL\tSuccess\nDataSource\tSuccess\n" + std::string(kIncompatibleAuthType)))
      << log;
  EXPECT_EQ(0, m_result);
}

TEST_F(InstallationCheckTest, AuthTypeDigestWithLdapWithoutUrlPassesTheAuthTypeRule) {
  WriteRootAccessFile([](CACL& acl) {
    acl.m_strAuthType = "Digest";
    acl.m_nDataSourceType = 3;
    acl.m_strLDAPBindDN = "cn=web";
  });
  const std::string log = Check(L"1");
  EXPECT_NE(std::string::npos, log.find("DataSource\tWarning. Incompatible DataSource.\nAuthType\tSuccess\n")) << log;
  EXPECT_EQ(0, m_result);
}

TEST_F(InstallationCheckTest, AnOleDbSourceWithoutTheShareTablesIsReportedOnItsLine) {
  const std::string connection = MakeDatabase(false);
  WriteRootAccessFile([&](CACL& acl) { UseOleDb(acl, connection); });
  EXPECT_NE(std::string::npos, Check(L"1").find("Root ACL\tSuccess\nDataSource\tWarning. Incompatible DataSource.\n"));
  EXPECT_EQ(0, m_result);
}

// --- a whole installation: needs a filter library that answers ------------------------------

class HealthyInstallationTest : public InstallationCheckTest {
 protected:
  void SetUp() override {
    InstallationCheckTest::SetUp();
    char library[MAX_PATH] = {};
    if (!::GetEnvironmentVariableA("QARN_FILTER_LIBRARY", library, MAX_PATH)) {
      FAIL() << "QARN_FILTER_LIBRARY names no filter library";
    }
    AddProductKey("QarnMembership");
    SetSiteValue("QarnMembership", "1", "08.12.2026");
    InstallVesmoro(L"1");
    ASSERT_EQ(0u, RunTool(L"set LM/W3SVC/1/Filters 2040 string \"Qarn Filter\"").exitCode);
    ASSERT_EQ(0u, RunTool(L"set \"LM/W3SVC/1/Filters/Qarn Filter\" 2041 string \"" +
                          qcom::AnsiToWide(library) + L"\"").exitCode);
    const std::string connection = MakeDatabase(true);
    WriteRootAccessFile([&](CACL& acl) {
      UseOleDb(acl, connection);
      acl.m_strAuthType = "Basic";
    });
  }
};

const char kHealthy[] =
    "IsProductInstalled\tSuccess\n"
    "Application Folder\tSuccess\n"
    "QarnFilter\tSuccess\n"
    "Root ACL\tSuccess\n"
    "DataSource\tSuccess\n"
    "AuthType\tSuccess\n";

TEST_F(HealthyInstallationTest, PassesEveryCheck) {
  EXPECT_EQ(kHealthy, Check(L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(kHealthy, Check(L""));
  EXPECT_EQ(1, m_result);
}

TEST_F(HealthyInstallationTest, AnUnknownAccountOnTheRootFolderFailsWithoutALine) {
  if (!GiveUnmappedAccount(m_root)) GTEST_SKIP() << "the file system keeps no DACL with an unknown SID";
  EXPECT_EQ(kHealthy, Check(L"1"));
  EXPECT_EQ(0, m_result);
}

}  // namespace
