#include <gtest/gtest.h>

#include "ACLDirectives.h"
#include "ACLTestSupport.h"

using acltest::Merge;
using acltest::MergeOwn;

namespace {

int CodeOf(const char* line, std::string* value = nullptr) {
  const char* p = line;
  const int code = GetDirectiveCode(&p);
  if (value) *value = p;
  return code;
}

}  // namespace

TEST(DirectiveTable, FirstPrefixWinsWithRegardToCase) {
  std::string value;
  EXPECT_EQ(CodeOf("DebugLevel 3", &value), qacl::kDebug);
  EXPECT_EQ(value, "Level 3");
  EXPECT_EQ(CodeOf("AuthNameX", &value), qacl::kAuthName);
  EXPECT_EQ(value, "X");
  EXPECT_EQ(CodeOf("AuthUserFileCredentials \t\v\f\r x", &value), qacl::kAuthUserFileCredentials);
  EXPECT_EQ(value, "x");
  EXPECT_EQ(CodeOf("Auth_LDAP_GroupAttributeIsDN no"), qacl::kLdapGroupAttributeIsDN);
  EXPECT_EQ(CodeOf("Auth_OLEDB_Provider x"), qacl::kOledbConnectionPair);
  EXPECT_EQ(CodeOf("</Directory>"), qacl::kDirectoryClose);
  EXPECT_EQ(CodeOf("  AuthName x"), -1);
  EXPECT_EQ(CodeOf("authname x"), -1);
  for (int code = 0; code < qacl::kDirectiveCount; ++code) {
    if (code == qacl::kDebugLevel) continue;  // read as "Debug", by design
    std::string line(qacl::DirectiveWord(static_cast<qacl::Directive>(code)));
    EXPECT_EQ(CodeOf(line.c_str()), code) << line;
  }
}

// The table read front to back: the first word that is a prefix.
TEST(DirectiveTable, LookupMatchesTheTableInOrder) {
  const auto reference = [](const std::string& line) {
    for (int code = 0; code < qacl::kDirectiveCount; ++code) {
      const std::string word(qacl::DirectiveWord(static_cast<qacl::Directive>(code)));
      if (line.compare(0, word.size(), word) == 0) return code;
    }
    return -1;
  };
  for (int code = 0; code < qacl::kDirectiveCount; ++code) {
    const std::string word(qacl::DirectiveWord(static_cast<qacl::Directive>(code)));
    for (std::size_t cut = 0; cut <= word.size(); ++cut) {
      for (const char* tail : {"", " v", "X", "Level", "ByID", "IsDN x", ">"}) {
        const std::string line = word.substr(0, cut) + tail;
        EXPECT_EQ(CodeOf(line.c_str()), reference(line)) << line;
      }
    }
  }
}

// Numbers are read as strtol reads them and clamped to 32 bits.
TEST(DirectiveValues, DecimalsReadAsStrtolWithin32Bits) {
  const struct {
    const char* text;
    std::int32_t value;
    std::size_t used;
  } cases[] = {{"404 /e.htm", 404, 3},
               {" \t+17x", 17, 5},
               {"-0", 0, 2},
               {"-", 0, 1},
               {"x1", 0, 0},
               {"2147483647", INT32_MAX, 10},
               {"2147483648", INT32_MAX, 10},
               {"-2147483648", INT32_MIN, 11},
               {"-2147483649", INT32_MIN, 11},
               {"4294967296", INT32_MAX, 10},
               {"4294967305", INT32_MAX, 10},
               {"-4294967297", INT32_MIN, 11},
               {"00000000000000000000012", 12, 23},
               {"99999999999999999999999999", INT32_MAX, 26}};
  for (const auto& c : cases) {
    const char* end = nullptr;
    EXPECT_EQ(qacl::ParseDecimal32(c.text, &end), c.value) << c.text;
    EXPECT_EQ(static_cast<std::size_t>(end - c.text), c.used) << c.text;
  }
}

TEST(ReadConfig, PlainSettings) {
  CACL acl;
  MergeOwn(acl,
           "# comment\r\n"
           "AllowFrontPage yes\r\n"
           "AuthName \"Members \"only\r\n"
           "AuthType Basic\r\n"
           "AuthType basic\r\n"
           "AuthType Digest \r\n"
           "LoginForm /login.htm\r\n"
           "DebugLevel 3\r\n"
           "DenyPhysicalPath yes\r\n"
           "DenyPhysicalPath no\r\n"
           "<ZEL  extra> tail\r\n"
           "</ZEL>\r\n");
  EXPECT_EQ(acl.m_bAllowFrontPage, 1);
  EXPECT_EQ(acl.m_strAuthName, "Members ");
  EXPECT_EQ(acl.m_strAuthType, "Basic");
  EXPECT_EQ(acl.m_strLoginForm, "/login.htm");
  EXPECT_EQ(acl.m_strDebug, "Level 3");
  EXPECT_EQ(acl.m_bDenyPhysicalPath, 1);
  EXPECT_EQ(acl.m_strSectionName, "extra");
  EXPECT_EQ(acl.m_bFound, 1);
  EXPECT_EQ(acl.m_bReadingInherited, 0);
}

TEST(ReadConfig, DiskQuotaUnitsAndSmallestWins) {
  struct Case {
    const char* line;
    std::int64_t bytes;
    int unit;
  } cases[] = {{"DiskQuota 10m", 10485760, CACL::QuotaMegabytes},
               {"DiskQuota 512 K", 524288, CACL::QuotaKilobytes},
               {"DiskQuota 100", 100, CACL::QuotaBytes},
               {"DiskQuota 7 x", 7, CACL::QuotaBytes},
               {"DiskQuota 2147483647M", 2147483647LL * 1048576, CACL::QuotaMegabytes}};
  for (const auto& c : cases) {
    CACL acl;
    MergeOwn(acl, c.line);
    EXPECT_EQ(acl.m_llDiskQuota, c.bytes) << c.line;
    EXPECT_EQ(acl.m_nQuotaUnit, c.unit) << c.line;
  }
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl, "DiskQuota 5M", "C:\\site\\.htaccess");
  Merge(acl, "DiskQuota 10M", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_llDiskQuota, 5 * 1048576);
  EXPECT_EQ(acl.m_strQuotaPath, "C:\\site");
  Merge(acl, "DiskQuota 1M", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_strQuotaPath, "C:\\site\\a");
}

TEST(ReadConfig, FirstPositiveTimeOutWins) {
  CACL acl;
  Merge(acl, "TimeOut 0\nTimeOut -5\n");
  EXPECT_EQ(acl.m_nTimeOut, -1);
  Merge(acl, "TimeOut 30\n");
  Merge(acl, "TimeOut 60\n");
  EXPECT_EQ(acl.m_nTimeOut, 30);
}

TEST(ReadConfig, ErrorDocumentsAndRedirects) {
  CACL acl;
  MergeOwn(acl,
           "ErrorDocument 404\n"
           "ErrorDocument 404 /e.htm\n"
           "ErrorDocument  500   /x y.htm\n"
           "ErrorDocument 404 /last.htm\n"
           "Redirect /Old /new\n"
           "Redirect /old   /newer place\n"
           "Redirect /b /c\n");
  EXPECT_EQ(acl.m_ErrorDocuments, (std::map<int, std::string>{{404, "/last.htm"}, {500, "/x y.htm"}}));
  EXPECT_EQ(acl.m_Redirects, (std::map<std::string, std::string>{{"/Old", "/newer place"}, {"/b", "/c"}}));
}

TEST(ReadConfig, DenyAccessAndRedirectCountOnlyInTheOwnFile) {
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl, "DenyAccess parent.htm\nRedirect /p /q\nAllowEditConfig Admin\n", "C:\\site\\.htaccess");
  EXPECT_TRUE(acl.m_DenyAccess.empty());
  EXPECT_TRUE(acl.m_Redirects.empty());
  Merge(acl, "DenyAccess a.htm, 'B.htm' A.HTM\nDenyAccess b.htm c.htm\nAllowEditConfig Admin admin\n",
        "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_DenyAccess, (std::vector<std::string>{"a.htm", "B.htm", "c.htm"}));
  EXPECT_EQ(acl.m_InheritedAllowEditConfig, (std::vector<std::string>{"Admin"}));
  EXPECT_EQ(acl.m_AllowEditConfig, (std::vector<std::string>{"Admin", "admin"}));
}

TEST(ReadConfig, FirstDataSourceLineOfAFileReplacesTheInheritedDataSource) {
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl,
        "DataSourceType 2\n"
        "Auth_OLEDB_Provider Microsoft.Jet.OLEDB.4.0\n"
        "Auth_OLEDB_Data_Source C:\\db\\a b.mdb\n"
        "Auth_OLEDB_\n"
        "Auth_OLEDB_QueryUserByName SELECT * FROM u WHERE n=?\n",
        "C:\\site\\.htaccess");
  EXPECT_EQ(acl.m_strConnectionString, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a b.mdb;");
  EXPECT_EQ(acl.m_bOwnDataSource, 0);

  Merge(acl, "DataSourceType 9\nAuthName child\n", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_nDataSourceType, 2) << "an invalid type resets nothing";
  EXPECT_EQ(acl.m_strQueryUserByName, "SELECT * FROM u WHERE n=?");
  EXPECT_EQ(acl.m_bOwnDataSource, 0);

  Merge(acl, "Auth_LDAP_URL ldap://x\nAuth_LDAP_GroupAttributeIsDN off\nAuth_LDAP_BindDN cn=a\n",
        "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_nDataSourceType, 0);
  EXPECT_EQ(acl.m_strConnectionString, "");
  EXPECT_EQ(acl.m_strQueryUserByName, "");
  EXPECT_EQ(acl.m_strLDAPURL, "ldap://x");
  EXPECT_EQ(acl.m_strLDAPBindDN, "cn=a");
  EXPECT_EQ(acl.m_bLDAPGroupAttributeIsDN, 0);
  EXPECT_EQ(acl.m_bOwnDataSource, 1);
}

TEST(ReadConfig, AllowInheritanceNoDropsWhatWasGathered) {
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl,
        "AuthName parent\nAllowFrontPage Yes\nErrorDocument 404 /p.htm\nDiskQuota 5M\nDataSourceType 3\n"
        "<Files *>\nrequire valid-user\n</Files>\n",
        "C:\\site\\.htaccess");
  Merge(acl, "AllowInheritance no\n", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_bAllowInheritance, 0);
  EXPECT_EQ(acl.m_strAuthName, "");
  EXPECT_EQ(acl.m_bAllowFrontPage, 0);
  EXPECT_TRUE(acl.m_ErrorDocuments.empty());
  EXPECT_EQ(acl.m_strInheritedPermissions, "");
  // The quota, the time-out and the data source are not inheritable settings.
  EXPECT_EQ(acl.m_llDiskQuota, 5 * 1048576);
  EXPECT_EQ(acl.m_nDataSourceType, 3);
}

TEST(ReadConfig, AllowPermissionsInheritanceNoDropsInheritedRules) {
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl, "AllowEditConfig boss\n<Files *>\nrequire user x\n</Files>\n", "C:\\site\\.htaccess");
  acl.TextToPermissions(acl.m_strInheritedPermissions, acl.m_PermissionRecords, 1);
  acl.TextToPermissions("<Files a>\nrequire user own\n", acl.m_PermissionRecords, 0);
  ASSERT_EQ(acl.m_PermissionRecords.size(), 2u);
  Merge(acl, "AllowPermissionsInheritance NO\nAllowEditConfig me\n", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_bAllowPermissionsInheritance, 0);
  EXPECT_TRUE(acl.m_InheritedAllowEditConfig.empty());
  EXPECT_EQ(acl.m_strInheritedPermissions, "");
  ASSERT_EQ(acl.m_PermissionRecords.size(), 1u);
  EXPECT_EQ(acltest::Strings(acl.m_PermissionRecords[0]->m_Names), (std::vector<std::string>{"own"}));
  EXPECT_EQ(acl.m_AllowEditConfig, (std::vector<std::string>{"me"}));
}

TEST(ReadConfig, PermissionLinesAreKeptAsRead) {
  CACL acl;
  acl.m_strTargetFile = "C:\\site\\a\\.htaccess";
  Merge(acl, "<Limit GET>\r\n<Directory x>\r\nrequire group g\r\n</Directory>\r\n</Limit>\r\n", "C:\\site\\.htaccess");
  Merge(acl, "<Files *.asp>\nrequire  user  a\n</Files >\n  require user ignored\n", "C:\\site\\a\\.htaccess");
  EXPECT_EQ(acl.m_strInheritedPermissions, "<Limit GET>\r\n<Directory x>\r\nrequire group g\r\n</Directory>\r\n</Limit>\r\n");
  EXPECT_EQ(acl.m_strPermissions, "<Files *.asp>\r\nrequire  user  a\r\n</Files >\r\n");
}

TEST(ReadConfig, SectionsOfASingleFile) {
  const std::string file =
      "<ACL />\nAuthName root\n</ACL>\n"
      "<ACL /a>\nAuthName a\nTimeOut 5\n</ACL>\nAuthName between\n"
      "<ACL /ab>\nAuthName ab\n</ACL>\n"
      "<ACL '/A',x>\nLoginForm again\n</ACL>\n";
  CACL acl;
  acl.m_strTargetSection = "/a";
  Merge(acl, file, "C:\\conf\\site.acl", "/");
  EXPECT_EQ(acl.m_strAuthName, "root");
  EXPECT_EQ(acl.m_bReadingInherited, 1);
  Merge(acl, file, "C:\\conf\\site.acl", "/a");
  EXPECT_EQ(acl.m_strAuthName, "a");
  EXPECT_EQ(acl.m_strLoginForm, "again");
  EXPECT_EQ(acl.m_nTimeOut, 5);
  EXPECT_EQ(acl.m_bFound, 1);
  EXPECT_EQ(acl.m_bReadingInherited, 0);

  CACL missing;
  Merge(missing, file, "C:\\conf\\site.acl", "/none");
  EXPECT_EQ(missing.m_bFound, 0);
  EXPECT_EQ(missing.m_strAuthName, "");

  CACL whole;
  Merge(whole, "<ACL /a>\nAuthName a\n</ACL>\n<ACL /b>\nLoginForm b\n</ACL>\n");
  EXPECT_EQ(whole.m_strAuthName, "a");
  EXPECT_EQ(whole.m_strLoginForm, "b");
}

TEST(ReadConfig, SectionStartOnTheRestOfAnOverlongLine) {
  // The 8000th byte is lost and "<ACL /a>" begins a line of its own.
  const std::string file = "<ACL /b>\n" + std::string(7999, 'x') + "y<ACL /a>\nAuthName a\n</ACL>\n";
  CACL acl;
  Merge(acl, file, "C:\\conf\\site.acl", "/a");
  EXPECT_EQ(acl.m_bFound, 1);
  EXPECT_EQ(acl.m_strAuthName, "a");
}

TEST(ReadConfig, OwnFileIsRecognisedIgnoringCase) {
  CACL acl;
  acl.m_strTargetFile = "C:\\Site\\A\\.htaccess";
  Merge(acl, "AuthName x\n", "c:\\site\\a\\.HTACCESS");
  EXPECT_EQ(acl.m_bReadingInherited, 0);
  EXPECT_EQ(acl.m_strCurrentDir, "c:\\site\\a");
}

TEST(ReadConfig, StrayNulEndsTheLineContent) {
  CACL acl;
  const char text[] = "AuthName a\0b\nLoginForm c\n<Files x\0y>\nErrorDocument 404 /e\0.htm\n";
  MergeOwn(acl, std::string(text, sizeof text - 1));
  EXPECT_EQ(acl.m_strAuthName, "a");
  EXPECT_EQ(acl.m_strLoginForm, "c");
  EXPECT_EQ(acl.m_strPermissions, "<Files x\r\n");
  EXPECT_EQ(acl.m_ErrorDocuments[404], "/e");
}

TEST(ReadConfig, FlagValuesOtherThanTheirWordsLeaveTheFlag) {
  CACL acl;
  MergeOwn(acl, "AllowFrontPage Yes\nAllowFrontPage maybe\n");
  EXPECT_EQ(acl.m_bAllowFrontPage, 1);
  MergeOwn(acl, "AllowFrontPage no\nAllowFrontPage YES \n");
  EXPECT_EQ(acl.m_bAllowFrontPage, 0) << "a trailing blank is part of the value";
  MergeOwn(acl, "AllowInheritance Yes\nAllowPermissionsInheritance off\n");
  EXPECT_EQ(acl.m_bAllowInheritance, 1);
  EXPECT_EQ(acl.m_bAllowPermissionsInheritance, 1);

  MergeOwn(acl, "Auth_LDAP_GroupAttributeIsDN OFF\nAuth_LDAP_GroupAttributeIsDN maybe\n");
  EXPECT_EQ(acl.m_bLDAPGroupAttributeIsDN, 0);
  MergeOwn(acl, "Auth_LDAP_GroupAttributeIsDN no\nAuth_LDAP_GroupAttributeIsDN On\n");
  EXPECT_EQ(acl.m_bLDAPGroupAttributeIsDN, 1);
}
