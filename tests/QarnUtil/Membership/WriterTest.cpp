#include <gtest/gtest.h>

#include "ACLTestSupport.h"

namespace {

std::string QuotaLine(std::int64_t quota, int* unit = nullptr) {
  CACL acl;
  acl.m_llDiskQuota = quota;
  const std::string body = acl.BodyText();
  if (unit) *unit = acl.m_nQuotaUnit;
  const std::size_t at = body.find("DiskQuota");
  return at == std::string::npos ? "" : body.substr(at, body.find("\r\n", at) - at);
}

}  // namespace

TEST(Writer, FreshObjectBody) {
  CACL acl;
  EXPECT_EQ(acl.BodyText(),
            "AllowInheritance Yes\r\n"
            "AllowPermissionsInheritance Yes\r\n"
            "AllowFrontPage No\r\n"
            "\r\n"
            "AuthName \"\"\r\n"
            "AuthType Cookie\r\n"
            "LoginForm \r\n"
            "\r\n"
            "Debug \r\n"
            "\r\n");
}

TEST(Writer, DiskQuotaUnits) {
  int unit = -1;
  EXPECT_EQ(QuotaLine(1048576000, &unit), "DiskQuota 1000M");
  EXPECT_EQ(unit, CACL::QuotaMegabytes);
  EXPECT_EQ(QuotaLine(2048, &unit), "DiskQuota 2K");
  EXPECT_EQ(unit, CACL::QuotaKilobytes);
  EXPECT_EQ(QuotaLine(1536, &unit), "DiskQuota 1536");
  EXPECT_EQ(unit, CACL::QuotaBytes);
  EXPECT_EQ(QuotaLine(0), "DiskQuota 0M");
  EXPECT_EQ(QuotaLine(-1), "");
  // Counts beyond the format's 32-bit number: whole megabytes, rounded up.
  EXPECT_EQ(QuotaLine(3000000001LL), "DiskQuota 2862M");
  EXPECT_EQ(QuotaLine(INT64_MAX), "DiskQuota 2147483647M");
}

TEST(Writer, BodyOrderWithEverySetting) {
  CACL acl;
  acl.m_bAllowInheritance = 0;
  acl.m_bAllowFrontPage = 1;
  acl.m_strAuthName = "Club";
  acl.m_nTimeOut = 0;
  acl.m_llDiskQuota = 2048;
  acl.m_bDenyPhysicalPath = 1;
  acl.m_strDebug = "3";
  acl.m_nDataSourceType = 2;
  acl.m_strAuthGroupFile = "g.txt";
  acl.m_strConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a b.mdb;";
  acl.m_strQueryGroup = "SELECT ?";
  acl.m_bLDAPGroupAttributeIsDN = 0;
  acl.m_strADSIServer = "srv";
  acl.m_ErrorDocuments = {{500, "  /e500.htm"}, {404, "/e404.htm"}, {403, "  "}};
  acl.m_Redirects = {{"/b", "/c"}, {"/B", "/d"}};
  acl.m_DenyAccess = {"x.htm", "y.htm"};
  acl.m_AllowEditConfig = {"admin"};
  acl.m_InheritedAllowEditConfig = {"never"};
  acl.m_strPermissions = "<Files *>\r\nrequire valid-user\r\n</Files>\r\n";
  acl.m_strInheritedPermissions = "never\r\n";
  acl.m_strSectionName = "s";
  acl.m_strSectionText = "free text";
  EXPECT_EQ(acl.BodyText(),
            "AllowInheritance No\r\n"
            "AllowPermissionsInheritance Yes\r\n"
            "AllowFrontPage Yes\r\n"
            "\r\n"
            "AuthName \"Club\"\r\n"
            "AuthType Cookie\r\n"
            "LoginForm \r\n"
            "\r\n"
            "TimeOut 0\r\n"
            "DiskQuota 2K\r\n"
            "DenyPhysicalPath Yes\r\n"
            "Debug 3\r\n"
            "\r\n"
            "DataSourceType 2\r\n"
            "AuthGroupFile g.txt\r\n"
            "\r\n"
            "Auth_OLEDB_Provider Microsoft.Jet.OLEDB.4.0\r\n"
            "Auth_OLEDB_Data_Source C:\\db\\a b.mdb\r\n"
            "Auth_OLEDB_QueryGroup SELECT ?\r\n"
            "\r\n"
            "Auth_LDAP_GroupAttributeIsDN NO\r\n"
            "\r\n"
            "Auth_ADSI_Server srv\r\n"
            "\r\n"
            "ErrorDocument 404 /e404.htm\r\n"
            "ErrorDocument 500 /e500.htm\r\n"
            "\r\n"
            "Redirect /B /d\r\n"
            "Redirect /b /c\r\n"
            "\r\n"
            "DenyAccess x.htm, y.htm\r\n"
            "\r\n"
            "AllowEditConfig admin\r\n"
            "\r\n"
            "<Files *>\r\nrequire valid-user\r\n</Files>\r\n"
            "<ZEL s>\r\n"
            "\r\n"
            "free text\r\n"
            "</ZEL>\r\n");
}

TEST(Writer, DataSourceIsWrittenOnlyWhereItIsNotInherited) {
  CACL acl;
  acl.m_nDataSourceType = 2;
  EXPECT_EQ(acl.BodyText().find("DataSourceType"), std::string::npos);
  acl.m_bOwnDataSource = 1;
  EXPECT_NE(acl.BodyText().find("DataSourceType 2\r\n"), std::string::npos);
}

TEST(Writer, ThreeThousandDenyAccessNamesWrapWithinTheLimit) {
  CACL acl;
  for (int i = 0; i < 3000; ++i) acl.m_DenyAccess.push_back("n" + std::to_string(100000000 + i));
  const std::string body = acl.BodyText();
  std::size_t listLines = 0;
  for (const auto& line : acltest::Lines(body)) {
    EXPECT_LE(line.size() + 1, qacl::kMaxLineBytes) << "with its CR the line must fit too";
    if (line.rfind("DenyAccess ", 0) == 0) ++listLines;
  }
  // "DenyAccess " and 10-byte names joined by ", ": a line takes a name as
  // long as line and name stay within 7996 bytes, so 665 names (7989 bytes)
  // per line, and the blank line comes only after the last.
  EXPECT_EQ(listLines, 5u);
  const std::size_t first = body.find("DenyAccess ");
  const std::size_t firstEnd = body.find("\r\n", first);
  EXPECT_EQ(firstEnd - first, 7989u);
  EXPECT_EQ(body.substr(firstEnd, 13), "\r\nDenyAccess ");
  EXPECT_EQ(body.compare(body.size() - 14, 14, "n100002999\r\n\r\n"), 0);
  CACL back;
  acltest::MergeOwn(back, body);
  EXPECT_EQ(back.m_DenyAccess, acl.m_DenyAccess);
}

TEST(Writer, WhatIsWrittenReadsBack) {
  CACL acl;
  acl.m_bAllowFrontPage = 1;
  acl.m_strAuthName = "Kestro Public folders";
  acl.m_strAuthType = "Basic";
  acl.m_strLoginForm = "/vesmoro/login.asp";
  acl.m_nTimeOut = 20;
  acl.m_llDiskQuota = 1048576000;
  acl.m_bDenyPhysicalPath = 1;
  acl.m_strDebug = "on";
  acl.m_bOwnDataSource = 1;
  acl.m_nDataSourceType = 2;
  acl.m_strAuthUserFile = "u";
  acl.m_strAuthUserFileCredentials = "c";
  acl.m_strConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\db\\a b.mdb;Jet OLEDB:Database Password=x y;";
  acl.m_strQueryUserByID = "q1 ?";
  acl.m_strQueryUserByCertificateID = "q2 ?";
  acl.m_strQueryUserByName = "q3 ?";
  acl.m_strLDAPURL = "ldap://h";
  acl.m_strLDAPBindDN = "cn=x";
  acl.m_strLDAPBindPassword = "p";
  acl.m_strLDAPGroupAttribute = "member";
  acl.m_bLDAPGroupAttributeIsDN = 0;
  acl.m_strLDAPRootContext = "dc=x";
  acl.m_strLDAPAttributes = "cn";
  acl.m_strADSIProvider = "WinNT";
  acl.m_strADSIDomain = "D";
  acl.m_strADSIServer = "S";
  acl.m_strADSIUserName = "U";
  acl.m_strADSIPassword = "P";
  acl.m_ErrorDocuments = {{404, "/e.htm"}};
  acl.m_Redirects = {{"/a", "/b"}};
  acl.m_DenyAccess = {"*.mdb", "x.htm"};
  acl.m_AllowEditConfig = {"Admins"};
  acl.m_strPermissions = "<Limit 'GET'>\r\n<Files '*'>\r\nrequire group \"Site Admins\"\r\n</Files>\r\n</Limit>\r\n";
  acl.m_strSectionName = "ignored";

  const std::string body = acl.BodyText();
  CACL back;
  acltest::MergeOwn(back, body);
  EXPECT_EQ(back.BodyText(), body) << "writing what was read gives the same file";
  EXPECT_EQ(back.m_bOwnDataSource, 1);
  EXPECT_EQ(back.m_strConnectionString, acl.m_strConnectionString);
  EXPECT_EQ(back.m_llDiskQuota, 1048576000);
  EXPECT_EQ(back.m_nQuotaUnit, CACL::QuotaMegabytes);
  EXPECT_EQ(back.m_strPermissions, acl.m_strPermissions);
}

TEST(Writer, FormatQuirksSurviveTheRoundTrip) {
  CACL acl;
  acl.m_nTimeOut = 0;  // written, but only positive time-outs are read
  acl.m_bOwnDataSource = 1;
  acl.m_strConnectionString = "My_Name=v;";  // "_" comes back as a space
  CACL back;
  acltest::MergeOwn(back, acl.BodyText());
  EXPECT_EQ(back.m_nTimeOut, -1);
  EXPECT_EQ(back.m_strConnectionString, "My Name=v;");
}
