#include <gtest/gtest.h>

#include <random>

#include "ACL.h"
#include "ACLTestSupport.h"
#include "Com/ComPtr.h"
#include "LogCapture.h"
#include "Win32TestSupport.h"
#include "logging.h"

using w32test::ReadText;
using w32test::WriteText;

namespace {

struct CRead {
  std::string file;
  std::string account;
  bool operator==(const CRead& other) const { return file == other.file && account == other.account; }
};

std::vector<CRead> g_reads;

void RecordRead(const char* file) { g_reads.push_back({file, w32test::ThreadAccount()}); }

void PrintTo(const CRead& read, std::ostream* out) { *out << read.file << " as '" << read.account << "'"; }

const std::string kInstanceKey = "SOFTWARE\\QARN Vesmoro\\Config\\site1";

class AccessFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reads.clear();
    m_site = m_dir.Path() + "\\site";
    for (const char* d : {"\\site", "\\site\\a", "\\site\\a\\b", "\\site\\vesmoro"}) {
      ::CreateDirectoryA((m_dir.Path() + d).c_str(), nullptr);
    }
  }
  HRESULT Load(CACL& acl, const std::string& applicationRoot, const std::string& target, const char* virtualPath,
               const char* rootIdentity = "dom\\root:r", const char* identity = "dom\\other:o") {
    int found = -1;
    const HRESULT hr = acl.Load("site1", m_site.c_str(), rootIdentity, applicationRoot.c_str(), target.c_str(),
                                identity, virtualPath, &found);
    m_found = found;
    return hr;
  }

  w32test::CScratchDir m_dir;
  w32test::CRegistrySandbox m_registry;
  w32test::CStandInTokenCache m_tokens;
  // Every CACL of these tests logs on with the stand-in and records its reads.
  const qacl::CFileWork m_work{m_tokens.Get(), qacl::kDefaultReadBuffer, &RecordRead};
  std::string m_site;
  int m_found = -1;
};

}  // namespace

TEST_F(AccessFiles, MissingFileChangesNothingButTheCurrentFolder) {
  CACL acl(m_work);
  acl.ReadConfigFile((m_site + "\\none\\.htaccess").c_str(), nullptr);
  EXPECT_EQ(acl.m_bFound, 0);
  EXPECT_EQ(acl.m_strCurrentDir, m_site + "\\none");
}

TEST_F(AccessFiles, LoadReadsFromTheSiteRootDownUnderTheirIdentities) {
  WriteText(m_site + "\\.htaccess", "AuthName root\nDenyAccess r.htm\nTimeOut 30\nDiskQuota 5M\n");
  WriteText(m_site + "\\a\\.htaccess", "LoginForm /a.htm\nTimeOut 60\nDiskQuota 10M\n");
  WriteText(m_site + "\\a\\b\\.htaccess", "DenyAccess b.htm\n");
  CACL acl(m_work);
  EXPECT_EQ(Load(acl, m_site, m_site + "\\a\\b", "/a/b"), S_OK);
  EXPECT_EQ(g_reads, (std::vector<CRead>{{m_site + "\\.htaccess", "dom\\root"},
                                         {m_site + "\\a\\.htaccess", "dom\\other"},
                                         {m_site + "\\a\\b\\.htaccess", "dom\\other"}}));
  EXPECT_EQ(w32test::ThreadAccount(), "") << "the identity is reverted";
  EXPECT_EQ(m_found, 1);
  EXPECT_EQ(acl.m_strAuthName, "root");
  EXPECT_EQ(acl.m_strLoginForm, "/a.htm");
  EXPECT_EQ(acl.m_DenyAccess, std::vector<std::string>{"b.htm"});
  EXPECT_EQ(acl.m_nTimeOut, 30);
  EXPECT_EQ(acl.m_llDiskQuota, 5 * 1048576);
  EXPECT_EQ(acl.m_strQuotaPath, m_site);
  EXPECT_EQ(acl.m_bReadingInherited, 0);

  g_reads.clear();
  EXPECT_EQ(Load(acl, m_site + "\\a", m_site + "\\a\\b", "/a/b"), S_OK);
  EXPECT_EQ(g_reads, (std::vector<CRead>{{m_site + "\\.htaccess", "dom\\root"},
                                         {m_site + "\\a\\.htaccess", "dom\\other"},
                                         {m_site + "\\a\\b\\.htaccess", "dom\\other"}}));
  EXPECT_EQ(acl.m_DenyAccess, std::vector<std::string>{"b.htm"}) << "loading again gives the same result";
}

TEST_F(AccessFiles, LoadOfAFileTarget) {
  WriteText(m_site + "\\a\\x.htm", "page");
  WriteText(m_site + "\\a\\.htaccess", "AuthName a\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\a\\x.htm", "/a/x.htm", nullptr, nullptr);
  EXPECT_EQ(acl.m_strFileName, "x.htm");
  EXPECT_EQ(acl.m_strTargetSection, "/a");
  EXPECT_EQ(acl.m_strTargetFile, m_site + "\\a\\.htaccess");
  EXPECT_EQ(g_reads, (std::vector<CRead>{{m_site + "\\.htaccess", ""}, {m_site + "\\a\\.htaccess", ""}}));
  EXPECT_EQ(acl.m_strAuthName, "a");
}

TEST_F(AccessFiles, ProtectedFilesIdentityStandsInForMissingIdentities) {
  m_registry.SetString(kInstanceKey, "AccessProtectedFilesAs", "dom\\prot:p");
  WriteText(m_site + "\\.htaccess", "AuthName root\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\a", "/a", "", nullptr);
  EXPECT_EQ(g_reads, (std::vector<CRead>{{m_site + "\\.htaccess", "dom\\prot"}, {m_site + "\\a\\.htaccess", "dom\\prot"}}));
  EXPECT_EQ(acl.m_strDefaultIdentity, "dom\\prot:p");
}

TEST_F(AccessFiles, IdentityThatCannotLogOnLeavesTheThreadAsItIs) {
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\a", "/a", "dom\\bad:x", "");
  EXPECT_EQ(g_reads, (std::vector<CRead>{{m_site + "\\.htaccess", ""}, {m_site + "\\a\\.htaccess", ""}}));
  EXPECT_EQ(m_found, 0);
  EXPECT_EQ(acl.m_strAuthType, "Cookie");
  EXPECT_EQ(acl.m_llDiskQuota, -1);
}

TEST_F(AccessFiles, RootInheritsNoPermissions) {
  WriteText(m_site + "\\.htaccess", "AllowPermissionsInheritance Yes\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site, "/");
  EXPECT_EQ(g_reads.size(), 1u);
  EXPECT_EQ(m_found, 1);
  EXPECT_EQ(acl.m_bAllowPermissionsInheritance, 0);
}

TEST_F(AccessFiles, InheritedPermissionTextKeepsOnlyRulesThatReachTheTarget) {
  WriteText(m_site + "\\.htaccess",
            "<Files index.htm>\nrequire user a\n</Files>\n<Limit GET>\n<Files *.asp>\nrequire user b\n</Files>\n</Limit>\n");
  WriteText(m_site + "\\a\\.htaccess", "<Files x.htm>\nrequire group g\n</Files>\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\a", "/a");
  EXPECT_EQ(acl.m_strInheritedPermissions,
            "<Limit 'GET'>\r\n<Files '*.asp'>\r\nrequire user b\r\n</Files>\r\n</Limit>\r\n\r\n");
  EXPECT_EQ(acl.m_strPermissions, "<Files x.htm>\r\nrequire group g\r\n</Files>\r\n");
  ASSERT_EQ(acl.m_PermissionRecords.size(), 2u);
  EXPECT_EQ(acl.m_PermissionRecords[0]->m_bInherited, 0);
  EXPECT_EQ(acl.m_PermissionRecords[1]->m_bInherited, 1);
}

namespace {

std::string Joined(const CACLStringList& list) {
  std::string text;
  for (const auto& item : list) text += "[" + item + "]";
  return text;
}

// What a load leaves of the permission rules, as one text.
std::string PermissionState(const CACL& acl) {
  std::string state = acl.m_strPermissions + "|" + acl.m_strInheritedPermissions + "|" +
                      std::to_string(acl.m_bAllowPermissionsInheritance) + "\n";
  for (const auto& r : acl.m_PermissionRecords) {
    state += std::to_string(r->m_bInherited) + " " + std::to_string(r->m_nScope) + " " + std::to_string(r->m_nType) +
             " " + r->m_strType + " " + Joined(r->m_Methods) + Joined(r->m_Files) + Joined(r->m_Names) + "\n";
  }
  return state;
}

// Permission lines of every kind, and now and then a switch that drops what
// was gathered.
std::string RandomAccessText(std::mt19937& random) {
  const char* const lines[] = {"<Limit GET POST>", "</Limit>",           "<Files *.asp>",   "<Files a.htm, *.htm>",
                               "<Files x.htm>",    "</Files>",           "<Directory>",     "</Directory>",
                               "require user a \"b c\"", "require group g", "require valid-user", "require nobody x",
                               "  require user indented", "AuthName x",     "# <Files *>"};
  std::string text;
  for (int line = 0; line < 14; ++line) {
    const unsigned pick = random() % 40;
    if (pick == 0) {
      text += "AllowPermissionsInheritance NO\n";
    } else if (pick == 1) {
      text += "AllowInheritance No\n";
    } else {
      text += std::string(lines[pick % (sizeof lines / sizeof *lines)]) + "\n";
    }
  }
  return text;
}

}  // namespace

// A load parses its inherited permission text only for someone who receives
// the records of that parse; otherwise the rules are gathered as the files
// are merged. Both ways must leave the same rules, from per-directory files
// and from sections of the single file.
TEST_F(AccessFiles, LoadLeavesTheSameRulesWhetherOrNotItsParseIsHeard) {
  std::mt19937 random(5);
  const std::string single = m_dir / "site.acl";
  for (int sample = 0; sample < 40; ++sample) {
    const bool singleFile = sample % 2 == 1;
    if (singleFile) {
      std::string text;
      for (const char* section : {"/", "/a", "/a/b"}) {
        text += std::string("<ACL ") + section + ">\n" + RandomAccessText(random) + "</ACL>\n";
      }
      WriteText(single, text);
      m_registry.SetString(kInstanceKey, nullptr, single);
    } else {
      for (const char* folder : {"", "\\a", "\\a\\b"}) {
        WriteText(m_site + folder + "\\.htaccess", RandomAccessText(random));
      }
      m_registry.SetString(kInstanceKey, nullptr, ".htaccess");
    }
    ASSERT_FALSE(QLOG_RECEIVED(DEBUG));
    CACL quiet(m_work);
    Load(quiet, m_site, m_site + "\\a\\b", "/a/b");
    qtest::CLogCapture capture(log4cplus::DEBUG_LOG_LEVEL);
    ASSERT_TRUE(QLOG_RECEIVED(DEBUG));
    CACL heard(m_work);
    Load(heard, m_site, m_site + "\\a\\b", "/a/b");
    ASSERT_EQ(heard.m_bSingleFile, singleFile ? 1 : 0);
    EXPECT_EQ(PermissionState(quiet), PermissionState(heard)) << sample;
  }
}

TEST_F(AccessFiles, SingleFileSectionsAreReadUnderTheCallersIdentity) {
  const std::string single = m_dir / "site.acl";
  m_registry.SetString(kInstanceKey, nullptr, single);
  WriteText(single,
            "<ACL />\nAuthName root\nTimeOut 9\n</ACL>\n"
            "<ACL /a>\nAuthName a\nDenyAccess a.htm\n</ACL>\n"
            "<ACL /ab>\nLoginForm wrong\n</ACL>\n"
            "<ACL /a/b>\nDenyAccess b.htm\n</ACL>\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\a\\b", "/a/b/");
  EXPECT_EQ(g_reads, (std::vector<CRead>{{single, ""}, {single, ""}, {single, ""}}));
  EXPECT_EQ(m_found, 1);
  EXPECT_EQ(acl.m_bSingleFile, 1);
  EXPECT_EQ(acl.m_strTargetSection, "/a/b");
  EXPECT_EQ(acl.m_strAuthName, "a");
  EXPECT_EQ(acl.m_strLoginForm, "");
  EXPECT_EQ(acl.m_nTimeOut, 9);
  EXPECT_EQ(acl.m_DenyAccess, std::vector<std::string>{"b.htm"});

  CACL missing(m_work);
  Load(missing, m_site, m_site + "\\a", "/none");
  EXPECT_EQ(m_found, 1) << "the root section was found";
  EXPECT_EQ(missing.m_bReadingInherited, 0) << "the target's section counts as own even when absent";
}

TEST_F(AccessFiles, ProductPagesUsePerDirectoryFilesEvenInSingleFileMode) {
  const std::string single = m_dir / "site.acl";
  m_registry.SetString(kInstanceKey, nullptr, single);
  WriteText(single, "<ACL />\nAuthName root\n</ACL>\n");
  WriteText(m_site + "\\vesmoro\\.htaccess", "LoginForm own\n");
  CACL acl(m_work);
  Load(acl, m_site, m_site + "\\vesmoro", "/VesMoro");
  EXPECT_EQ(g_reads, (std::vector<CRead>{{single, ""}, {m_site + "\\vesmoro\\.htaccess", "dom\\other"}}));
  EXPECT_EQ(acl.m_strAuthName, "root");
  EXPECT_EQ(acl.m_strLoginForm, "own");
  EXPECT_EQ(acl.m_strConfigFileName, ".htaccess");
}

TEST_F(AccessFiles, SaveOfAFreshObject) {
  CACL acl(m_work);
  int saved = -1;
  EXPECT_EQ(acl.Save(m_site.c_str(), nullptr, "/", ".htaccess", &saved, nullptr), S_OK);
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(ReadText(m_site + "\\.htaccess"), acl.BodyText());
  EXPECT_EQ(ReadText(m_site + "\\.htaccess").substr(0, 22), "AllowInheritance Yes\r\n");
}

TEST_F(AccessFiles, SaveCreatesOnlyTheLastMissingFolder) {
  CACL acl(m_work);
  int saved = -1;
  EXPECT_EQ(acl.Save((m_site + "\\new").c_str(), "dom\\other:o", "/new", "acl.txt", &saved, nullptr), S_OK);
  EXPECT_TRUE(w32test::Exists(m_site + "\\new\\acl.txt"));

  qcom::CBstr error;
  const HRESULT hr = acl.Save((m_site + "\\missing\\x.htm").c_str(), nullptr, "/missing/x.htm", ".htaccess", &saved,
                              error.Put());
  EXPECT_EQ(hr, static_cast<HRESULT>(0x80070003));
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(qcom::BstrToAnsi(error.Get()).rfind("Create File Error: ", 0), 0u);
  EXPECT_EQ(acl.Save(nullptr, nullptr, "/", ".htaccess", &saved, nullptr), E_POINTER);
}

TEST_F(AccessFiles, SaveReplacesOnlyItsSectionOfTheSingleFile) {
  const std::string single = m_dir / "site.acl";
  const std::string before =
      "<ACL />\r\nAuthName root\r\n</ACL>\r\n\r\n"
      "<ACL /a>\r\nAuthName old\r\n</ACL>\r\n# note of /a\r\n"
      "<ACL /ab>\r\nAuthName ab\r\n</ACL>";
  WriteText(single, before);
  CACL acl(m_work);
  acl.m_strAuthName = "new";
  int saved = -1;
  EXPECT_EQ(acl.Save((m_site + "\\a").c_str(), nullptr, "/a", single.c_str(), &saved, nullptr), S_OK);
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(ReadText(single), "<ACL />\r\nAuthName root\r\n</ACL>\r\n\r\n<ACL /ab>\r\nAuthName ab\r\n</ACL>\r\n<ACL /a>\r\n" +
                                  acl.BodyText() + "</ACL>\r\n");

  // What was saved for a folder is what loading that folder (and below) reads.
  m_registry.SetString(kInstanceKey, nullptr, single);
  CACL loaded(m_work);
  Load(loaded, m_site, m_site + "\\a\\b", "/a/b");
  EXPECT_EQ(loaded.m_strAuthName, "new");
  EXPECT_EQ(loaded.m_nTimeOut, -1);
}
