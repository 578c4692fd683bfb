// The membership and virtual-drive products installed through the
// Installer's COM interface on a site whose root is a scratch folder: the
// whole log, the database and password file, the access files read back,
// and the product registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ACL.h"
#include "ACLTestSupport.h"
#include "InstallerTestSupport.h"
#include "MembershipTestSupport.h"
#include "Win32TestSupport.h"

namespace {

using namespace membershiptest;

constexpr long kMembership = 5;
constexpr long kKestro = 8;

const char kLineInstalled[] =
    "Create virtual folder /Vesmoro\tSuccess\n"
    "Install Qarn Vesmoro Property Page\tSuccess\n";
const char kPrivateFolderMade[] =
    "Create folder /_vesmoro\tSuccess\n"
    "Create /_vesmoro/ACL_file\tSuccess\n";
const char kFilterInstalled[] = "Install ISAPI Filter \"Qarn Filter\"\tSuccess\n";
const char kRootAccessFile[] = "Create root ACL_file\tSuccess\n";

class ProductInstallationTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    m_root = m_scratch / "wwwroot";
    ASSERT_TRUE(::CreateDirectoryA(m_root.c_str(), nullptr));
    ASSERT_EQ(0u, RunTool(L"seed --sites 1,3 --root 1=" + qcom::AnsiToWide(m_root)).exitCode);
    AddProductKey("QarnMembership");
    AddProductKey("QarnKestro");
    const std::string bin = m_applicationPath + "\\Bin";
    ::CreateDirectoryA(bin.c_str(), nullptr);
    char filter[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetEnvironmentVariableA("QARN_STAND_IN_FILTER", filter, MAX_PATH));
    ASSERT_TRUE(::CopyFileA(filter, (bin + "\\qarnfilter.dll").c_str(), FALSE));
  }
  void TearDown() override {
    ::DeleteFileA((m_applicationPath + "\\Bin\\qarnfilter.dll").c_str());
    ::RemoveDirectoryA((m_applicationPath + "\\Bin").c_str());
    InstallerTest::TearDown();
  }

  std::string Connection() const {
    return "Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + m_root + "\\_vesmoro\\vesmoro.mdb;";
  }
  std::string PasswordFile() const { return ReadFileText(m_root + "\\_vesmoro\\password.txt"); }
  // The settings of one access file as the membership classes read them
  // for the file's own folder.
  static void ReadBack(const std::string& file, CACL& acl) {
    ASSERT_TRUE(w32test::Exists(file)) << file;
    acl.m_strTargetFile = file;
    acl.ReadConfigFile(file.c_str(), nullptr);
  }
  void ExpectPasswordInBothPlaces() {
    const std::string password = PasswordFile();
    EXPECT_TRUE(IsPasswordText(password)) << password;
    CDatabaseView database(Connection());
    EXPECT_TRUE(database.HoldsAdministratorPassword(password));
  }

  w32test::CScratchDir m_scratch;
  std::string m_root;
};

TEST_F(ProductInstallationTest, AFreshSiteIsProtectedByTheMembershipDatabase) {
  EXPECT_EQ(std::string(kLineInstalled) + kPrivateFolderMade + kFreshDatabase + kRootAccessFile + kFilterInstalled +
                "Install Qarn Membership\tSuccess\n",
            InstallProduct(kMembership, L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_NE("", SiteValue("QarnMembership", "1"));
  ExpectPasswordInBothPlaces();

  CACL privateFolder;
  ReadBack(m_root + "\\_vesmoro\\.htaccess", privateFolder);
  EXPECT_EQ(std::vector<std::string>{"*.*"}, privateFolder.m_DenyAccess);

  CACL root;
  ReadBack(m_root + "\\.htaccess", root);
  EXPECT_EQ(Connection(), root.m_strConnectionString);
  EXPECT_EQ(2, root.m_nDataSourceType);
  EXPECT_EQ(1048576000, root.m_llDiskQuota);
  EXPECT_EQ("SELECT [login],[password],[status],[expdate] FROM [qmb_user] WHERE [user_id] = ?",
            root.m_strQueryUserByID);
  EXPECT_EQ("SELECT [qmb_user].[user_id], [login], [password], [status], [expdate] FROM [qmb_certificate] INNER "
            "JOIN [qmb_user] ON [qmb_certificate].[user_id] = [qmb_user].[user_id] WHERE "
            "[qmb_certificate].[certificate_id] = ?",
            root.m_strQueryUserByCertificateID);
  EXPECT_EQ("SELECT [user_id],[password],[status],[expdate] FROM [qmb_user] WHERE [login] = ?",
            root.m_strQueryUserByName);
  EXPECT_EQ("SELECT [qmb_group].[name] FROM ([qmb_user] INNER JOIN [qmb_membership] ON "
            "[qmb_user].[user_id]=[qmb_membership].[user_id]) INNER JOIN [qmb_group] ON "
            "[qmb_membership].[group]=[qmb_group].[name] WHERE [qmb_user].[login]=?",
            root.m_strQueryGroup);
}

TEST_F(ProductInstallationTest, InstallingAgainRenewsThePasswordAndReplacesTheFilter) {
  InstallProduct(kMembership, L"1");
  const std::string first = PasswordFile();
  EXPECT_EQ(std::string("Create folder /_vesmoro\tAlready exists or installed\n"
                        "Create /_vesmoro/ACL_file\tSuccess\n") +
                kExistingDatabase + kRootAccessFile + "Remove ISAPI Filter \"Qarn Filter\"\tSuccess\n" +
                kFilterInstalled + "Install Qarn Membership\tSuccess\n",
            InstallProduct(kMembership, L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_NE(first, PasswordFile());
  ExpectPasswordInBothPlaces();
}

TEST_F(ProductInstallationTest, AnIncompatibleDatabaseKeepsItsPassword) {
  InstallProduct(kMembership, L"1");
  const std::string password = PasswordFile();
  {
    CDatabaseView database(Connection());
    ASSERT_EQ(S_OK, database.Execute("DROP TABLE [qmb_certificate]"));
  }
  const std::string log = InstallProduct(kMembership, L"1");
  EXPECT_NE(std::string::npos, log.find("Create /_vesmoro/vesmoro.mdb\tAlready exists or installed\n"
                                        "Check DB structure\tIncompatible DB structure\n" +
                                        std::string(kRootAccessFile)))
      << log;
  EXPECT_EQ(std::string::npos, log.find("password")) << log;
  EXPECT_EQ(password, PasswordFile());
  CDatabaseView database(Connection());
  EXPECT_TRUE(database.HoldsAdministratorPassword(password));
}

TEST_F(ProductInstallationTest, WithoutAJetProviderTheRootAccessFileHasNoConnection) {
  CJetProgIdRemoval removal;
  EXPECT_EQ(std::string(kLineInstalled) + kPrivateFolderMade +
                "Create /_vesmoro/vesmoro.mdb\tFailed. Microsoft JET OLEDB Provider not registered\n" +
                kRootAccessFile + kFilterInstalled + "Install Qarn Membership\tSuccess\n",
            InstallProduct(kMembership, L"1"));
  CACL root;
  ReadBack(m_root + "\\.htaccess", root);
  EXPECT_EQ("", root.m_strConnectionString);
  EXPECT_EQ(2, root.m_nDataSourceType);
}

TEST_F(ProductInstallationTest, TheVirtualDriveProductAddsSharesGroupsAndThePublicFolder) {
  EXPECT_EQ(std::string(kLineInstalled) +
                "Create folder /_vesmoro\tSuccess\n"
                "Create folder /_home\tSuccess\n"
                "Create folder /_home/_public\tSuccess\n"
                "Create /_vesmoro/ACL_file\tSuccess\n" +
                kFreshDatabase +
                "Create DB structure\tSuccess\n"
                "Create group \"Writers\"\tSuccess\n"
                "Create group \"Readers\"\tSuccess\n"
                "Create user \"Administrator\"\tAlready exists or installed\n"
                "Add user \"Administrator\" to the \"Writers\" group\tSuccess\n" +
                kRootAccessFile + kFilterInstalled + "Install Qarn Kestro 1.0\tSuccess\n",
            InstallProduct(kKestro, L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_NE("", SiteValue("QarnKestro", "1"));
  EXPECT_NE("", SiteValue("QarnMembership", "1"));
  ExpectPasswordInBothPlaces();

  CACL publicFolder;
  ReadBack(m_root + "\\_home\\_public\\.htaccess", publicFolder);
  EXPECT_EQ("Kestro Public folders", publicFolder.m_strAuthName);
  EXPECT_EQ("Cookie", publicFolder.m_strAuthType);
  EXPECT_EQ("/vesmoro/private/login.asp", publicFolder.m_strLoginForm);
  EXPECT_EQ(0, publicFolder.m_bAllowPermissionsInheritance);
  CACLPermissionList records;
  publicFolder.TextToPermissions(publicFolder.m_strPermissions, records, 0);
  ASSERT_EQ(2u, records.size());
  for (const auto& record : records) {
    EXPECT_EQ("group", record->m_strType);
    EXPECT_EQ((std::vector<std::string>{"DELETE", "POST", "PUT"}), acltest::Strings(record->m_Methods));
    EXPECT_EQ(std::vector<std::string>{"Administrators"}, acltest::Strings(record->m_Names));
  }
  EXPECT_EQ(CACLPermission::FilesScope, records[0]->m_nScope);
  EXPECT_EQ(std::vector<std::string>{"*.*"}, acltest::Strings(records[0]->m_Files));
  EXPECT_EQ(CACLPermission::DirectoryScope, records[1]->m_nScope);
}

}  // namespace
