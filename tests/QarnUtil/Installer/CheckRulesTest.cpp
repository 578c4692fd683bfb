// The installation check's decisions: which data sources and authentication
// schemes go together, and how the share tables are recognised.
#include <gtest/gtest.h>

#include "CheckRules.h"
#include "MembershipSchema.h"

using namespace qinstall;

TEST(CheckRules, AnOleDbSourceIsProbedOnlyWhenComplete) {
  EXPECT_EQ(EDataSourceVerdict::ProbeOleDb, JudgeDataSource(kDataSourceNone, true, false));
  EXPECT_EQ(EDataSourceVerdict::ProbeOleDb, JudgeDataSource(kDataSourceOleDb, true, true));
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(kDataSourceOleDb, false, false));
  // An incomplete OLE DB source is not saved by an ADSI domain.
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(kDataSourceOleDb, false, true));
}

TEST(CheckRules, AdsiNeedsADomainOrServer) {
  EXPECT_EQ(EDataSourceVerdict::Adsi, JudgeDataSource(kDataSourceAdsi, false, true));
  EXPECT_EQ(EDataSourceVerdict::Adsi, JudgeDataSource(kDataSourceNone, false, true));
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(kDataSourceAdsi, true, false));
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(kDataSourceNone, false, false));
}

TEST(CheckRules, FileAndLdapSourcesAreNeverAccepted) {
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(1, true, true));
  EXPECT_EQ(EDataSourceVerdict::Incompatible, JudgeDataSource(kDataSourceLdap, true, true));
}

TEST(CheckRules, OnlyBasicSuitsAdsiAndLdapWithAUrl) {
  EXPECT_TRUE(IsAuthTypeCompatible("Basic", kDataSourceAdsi, ""));
  EXPECT_TRUE(IsAuthTypeCompatible("Basic", kDataSourceLdap, "ldap://host/"));
  EXPECT_FALSE(IsAuthTypeCompatible("Cookie", kDataSourceAdsi, ""));
  EXPECT_FALSE(IsAuthTypeCompatible("basic", kDataSourceAdsi, ""));  // the scheme's name is exact
  EXPECT_FALSE(IsAuthTypeCompatible("Digest", kDataSourceLdap, "ldap://host/"));
  EXPECT_TRUE(IsAuthTypeCompatible("Digest", kDataSourceLdap, ""));
  EXPECT_TRUE(IsAuthTypeCompatible("Cookie", kDataSourceOleDb, ""));
  EXPECT_TRUE(IsAuthTypeCompatible("", kDataSourceNone, ""));
}

TEST(CheckRules, SecurityKeyJoinsTheSubPathOnce) {
  EXPECT_EQ(L"Root", SecurityCheckKey(L""));
  EXPECT_EQ(L"Root/a/b", SecurityCheckKey(L"a/b"));
  EXPECT_EQ(L"Root/a", SecurityCheckKey(L"/a"));
}

TEST(DatabaseColumns, ShareTablesAreRecognisedIgnoringCase) {
  const std::vector<std::pair<std::string, std::string>> rows = {{"share", "share_id"},       {"SHARE", "User_ID"},         {"share", "name"},
                               {"share", "path"},           {"share_rights", "share_id"}, {"share_rights", "user_id"},
                               {"qmb_user", "user_id"},     {"share", "owner"},           {"shares", "path"},
                               {"share", "path_"}};
  EXPECT_EQ(kShareColumns.size(), CountKnownColumns(rows, kShareColumns));
}

TEST(DatabaseColumns, AnIncompleteShareTableCountsWhatItHas) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"share", "share_id"}, {"share", "path"}, {"qmb_group", "name"}};
  EXPECT_EQ(2u, CountKnownColumns(rows, kShareColumns));
  EXPECT_EQ(0u, CountKnownColumns({}, kShareColumns));
}
