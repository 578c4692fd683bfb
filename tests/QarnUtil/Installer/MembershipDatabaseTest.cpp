// The membership database routines against the stand-in JET provider: their
// lines, what the database and "password.txt" hold afterwards, and that the
// two never disagree, also when the commit fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "MembershipDatabase.h"
#include "MembershipTestSupport.h"
#include "Win32/Handles.h"

namespace {

using qarnutil::CreateDatabase;
using qarnutil::CreateShareStructure;
using namespace membershiptest;

class MembershipDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char base[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH] = {};
    ::GetTempFileNameA(base, "qmb", 0, name);
    ::DeleteFileA(name);
    m_root = name;
    ::CreateDirectoryA(m_root.c_str(), nullptr);
    ::CreateDirectoryA((m_root + "\\_vesmoro").c_str(), nullptr);
  }
  void TearDown() override {
    const std::string folder = m_root + "\\_vesmoro";
    WIN32_FIND_DATAA found;
    qwin::CFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &found));
    if (find) {
      do {
        ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
      } while (::FindNextFileA(find.Get(), &found));
    }
    find.Reset();
    ::RemoveDirectoryA(folder.c_str());
    ::RemoveDirectoryA(m_root.c_str());
  }

  std::string Create(HRESULT expected = S_OK) {
    std::string log;
    m_connection.clear();
    EXPECT_EQ(expected, CreateDatabase(m_root, m_connection, log));
    return log;
  }
  std::string PasswordFile() { return ReadFileText(qarnutil::PasswordFilePath(m_root)); }
  // Files that a run left in the private folder besides the database and
  // the password file.
  int StrayFiles() {
    WIN32_FIND_DATAA found;
    qwin::CFindHandle find(::FindFirstFileA((m_root + "\\_vesmoro\\*").c_str(), &found));
    int stray = 0;
    if (find) {
      do {
        const std::string name = found.cFileName;
        if (name != "." && name != ".." && name != "vesmoro.mdb" && name != "password.txt") ++stray;
      } while (::FindNextFileA(find.Get(), &found));
    }
    return stray;
  }

  std::string m_root;
  std::string m_connection;
};

TEST_F(MembershipDatabaseTest, AFreshDatabaseGetsTablesRowsAndAPasswordInBothPlaces) {
  EXPECT_EQ(kFreshDatabase, Create());
  EXPECT_EQ("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + m_root + "\\_vesmoro\\vesmoro.mdb;", m_connection);
  const std::string password = PasswordFile();
  EXPECT_TRUE(IsPasswordText(password)) << password;
  CDatabaseView database(m_connection);
  EXPECT_TRUE(database.HoldsAdministratorPassword(password));
  EXPECT_EQ(2, database.Count("SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator'"));
  EXPECT_EQ(2, database.Count("SELECT Count(*) FROM [qmb_group]"));
  EXPECT_EQ(0, StrayFiles());
}

TEST_F(MembershipDatabaseTest, InstallingAgainKeepsEverythingButRenewsThePassword) {
  Create();
  const std::string first = PasswordFile();
  EXPECT_EQ(kExistingDatabase, Create());
  const std::string second = PasswordFile();
  EXPECT_TRUE(IsPasswordText(second));
  EXPECT_NE(first, second);
  CDatabaseView database(m_connection);
  EXPECT_TRUE(database.HoldsAdministratorPassword(second));
  EXPECT_EQ(1, database.Count("SELECT Count(*) FROM [qmb_user]"));
  EXPECT_EQ(0, StrayFiles());
}

TEST_F(MembershipDatabaseTest, ADatabaseWithSomeMembershipColumnsIsLeftAlone) {
  Create();
  const std::string password = PasswordFile();
  {
    CDatabaseView database(m_connection);
    ASSERT_EQ(S_OK, database.Execute("DROP TABLE [qmb_ra]"));
  }
  EXPECT_EQ("Create /_vesmoro/vesmoro.mdb\tAlready exists or installed\n"
            "Check DB structure\tIncompatible DB structure\n",
            Create(E_FAIL));
  EXPECT_EQ(password, PasswordFile());
  CDatabaseView database(m_connection);
  EXPECT_TRUE(database.HoldsAdministratorPassword(password));
}

// A reader of the database holds its lock past the installer's commit,
// which therefore fails: the database keeps the old password, and so must
// the file.
TEST_F(MembershipDatabaseTest, AFailedCommitLeavesThePasswordFileAsItWas) {
  Create();
  const std::string password = PasswordFile();
  CDatabaseView reader(m_connection);
  ASSERT_EQ(S_OK, reader.Session().StartTransaction(ISOLATIONLEVEL_READCOMMITTED));
  ASSERT_EQ(1, reader.Count("SELECT Count(*) FROM [qmb_user]"));

  std::string log;
  const HRESULT hr = CreateDatabase(m_root, m_connection, log);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ(kExistingDatabase, log);
  ASSERT_EQ(S_OK, reader.Session().Abort());

  EXPECT_EQ(password, PasswordFile());
  EXPECT_TRUE(reader.HoldsAdministratorPassword(password));
  EXPECT_EQ(0, StrayFiles());
}

// What rand() seeded with the tick count gives: the password that anyone
// knowing roughly when the product was installed could work out.
std::string TickPassword(DWORD tick) {
  std::srand(tick);
  std::string password;
  while (password.size() < 8) {
    int n = std::rand() % 74 + 48;
    while ((n >= 58 && n <= 64) || (n >= 91 && n <= 96)) n = std::rand() % 74 + 48;
    password += static_cast<char>(n);
  }
  return password;
}

TEST(AdministratorPasswordTest, TheTickCountDoesNotGiveThePasswordAway) {
  const DWORD before = ::GetTickCount();
  char password[qinstall::kPasswordLength + 1] = {};
  ASSERT_EQ(S_OK, qarnutil::GeneratePassword(password));
  const DWORD after = ::GetTickCount();
  ASSERT_TRUE(IsPasswordText(password)) << password;
  for (DWORD tick = before - 1000; tick != after + 1000; ++tick) {
    ASSERT_NE(TickPassword(tick), password) << "the password follows from the tick count " << tick;
  }
  char another[qinstall::kPasswordLength + 1] = {};
  ASSERT_EQ(S_OK, qarnutil::GeneratePassword(another));
  EXPECT_STRNE(password, another);
}

// --- the virtual-drive product's tables ---------------------------------------------------

TEST_F(MembershipDatabaseTest, ShareTablesGroupsAndAdministratorAsWriter) {
  Create();
  std::string log;
  EXPECT_EQ(S_OK, CreateShareStructure(m_connection, m_root, log));
  EXPECT_EQ("Create DB structure\tSuccess\n"
            "Create group \"Writers\"\tSuccess\n"
            "Create group \"Readers\"\tSuccess\n"
            "Create user \"Administrator\"\tAlready exists or installed\n"
            "Add user \"Administrator\" to the \"Writers\" group\tSuccess\n",
            log);
  log.clear();
  EXPECT_EQ(S_OK, CreateShareStructure(m_connection, m_root, log));
  EXPECT_EQ("Create DB structure\tAlready exists or installed\n"
            "Create group \"Writers\"\tAlready exists or installed\n"
            "Create group \"Readers\"\tAlready exists or installed\n"
            "Create user \"Administrator\"\tAlready exists or installed\n"
            "Add user \"Administrator\" to the \"Writers\" group\tAlready exists or installed\n",
            log);
  CDatabaseView database(m_connection);
  EXPECT_EQ(0, database.Count("SELECT Count(*) FROM [share]"));
  EXPECT_EQ(0, database.Count("SELECT Count(*) FROM [share_rights]"));
}

TEST_F(MembershipDatabaseTest, WithoutAdministratorOnlyTheGroupsAreMadeAndCommitted) {
  Create();
  {
    CDatabaseView database(m_connection);
    ASSERT_EQ(S_OK, database.Execute("DELETE FROM [qmb_membership]"));
    ASSERT_EQ(S_OK, database.Execute("DELETE FROM [qmb_user]"));
  }
  std::string log;
  EXPECT_EQ(S_OK, CreateShareStructure(m_connection, m_root, log));
  EXPECT_EQ("Create DB structure\tSuccess\n"
            "Create group \"Writers\"\tSuccess\n"
            "Create group \"Readers\"\tSuccess\n",
            log);
  CDatabaseView database(m_connection);
  EXPECT_EQ(1, database.Count("SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Writers'"));
  EXPECT_EQ(1, database.Count("SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Readers'"));
  EXPECT_EQ(0, database.Count("SELECT Count(*) FROM [qmb_membership]"));
}

TEST_F(MembershipDatabaseTest, ADatabaseWithOnlyPartOfTheShareTablesIsLeftAlone) {
  Create();
  {
    CDatabaseView database(m_connection);
    ASSERT_EQ(S_OK, database.Execute("CREATE TABLE [share_rights] ( [share_id]  int  NOT NULL )"));
  }
  std::string log;
  EXPECT_EQ(E_FAIL, CreateShareStructure(m_connection, m_root, log));
  EXPECT_EQ("Check DB structure\tIncompatible DB structure\n", log);
  CDatabaseView database(m_connection);
  EXPECT_EQ(0, database.Count("SELECT Count(*) FROM [qmb_group] WHERE [name] = 'Writers'"));
}

// --- the provider -------------------------------------------------------------------------

class ProviderChoiceTest : public MembershipDatabaseTest {
 protected:
  CJetProgIdRemoval m_removal;
};

TEST_F(ProviderChoiceTest, WithoutAJetProviderNothingIsMade) {
  EXPECT_EQ("Create /_vesmoro/vesmoro.mdb\tFailed. Microsoft JET OLEDB Provider not registered\n",
            Create(REGDB_E_CLASSNOTREG));
  EXPECT_EQ("", m_connection);
  EXPECT_EQ("(missing)", PasswordFile());
}

TEST_F(ProviderChoiceTest, TheOlderProviderServesWhenItIsTheOnlyOne) {
  WriteProgId(kProgId351, m_removal.Clsid());
  EXPECT_EQ(kFreshDatabase, Create());
  EXPECT_EQ("Provider=Microsoft.JET.OLEDB.3.51;Data Source=" + m_root + "\\_vesmoro\\vesmoro.mdb;", m_connection);
}

}  // namespace
