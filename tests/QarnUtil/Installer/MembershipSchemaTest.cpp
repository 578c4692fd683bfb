// How an existing membership database is recognised, and how random bytes
// become the administrator's password.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MembershipSchema.h"

namespace {

using qinstall::CountKnownColumns;
using qinstall::DrawPassword;
using qinstall::kMembershipColumns;
using qinstall::kShareColumns;
using CRows = std::vector<std::pair<std::string, std::string>>;

CRows RowsOf(const std::vector<qinstall::CColumnName>& names) {
  CRows rows;
  for (const auto& name : names) rows.emplace_back(name.table, name.column);
  return rows;
}

TEST(MembershipColumnsTest, ACompleteDatabaseCountsAllAndNothingElse) {
  CRows rows = RowsOf(kMembershipColumns);
  rows.emplace_back("qmb_user", "lastsid");  // made, but not counted
  rows.emplace_back("share", "share_id");
  rows.emplace_back("other", "user_id");
  EXPECT_EQ(27u, CountKnownColumns(rows, kMembershipColumns));
  EXPECT_EQ(1u, CountKnownColumns(rows, kShareColumns));
  EXPECT_EQ(6u, CountKnownColumns(RowsOf(kShareColumns), kShareColumns));
}

TEST(MembershipColumnsTest, NamesCompareWithoutCaseAndEachRowCountsOnce) {
  const CRows rows = {{"QMB_USER", "Login"}, {"qmb_user", "login"}, {"Qmb_Ra", "UID"}, {"qmb_group", "login"}};
  EXPECT_EQ(3u, CountKnownColumns(rows, kMembershipColumns));
}

// A source that hands out `first` once and zero bytes afterwards.
qinstall::CRandomBytes FirstThenZero(unsigned char first) {
  auto calls = std::make_shared<int>(0);
  return [first, calls](unsigned char* bytes, std::size_t count) {
    std::memset(bytes, (*calls)++ == 0 ? first : 0, count);
    return true;
  };
}

TEST(PasswordDrawTest, EveryCharacterComesFromExactlyFourByteValues) {
  std::map<char, int> sources;
  for (unsigned value = 0; value < 256; ++value) {
    char password[qinstall::kPasswordLength + 1] = {};
    ASSERT_TRUE(DrawPassword(FirstThenZero(static_cast<unsigned char>(value)), password));
    ASSERT_EQ(8u, std::strlen(password));
    if (value >= 244) {
      EXPECT_STREQ("00000000", password) << "byte " << value << " must be drawn again";
      continue;
    }
    EXPECT_EQ(std::string(8, password[0]), password);
    ++sources[password[0]];
  }
  ASSERT_EQ(61u, sources.size());
  for (const auto& source : sources) EXPECT_EQ(4, source.second) << source.first;
  EXPECT_EQ('0', sources.begin()->first);
  EXPECT_EQ('y', sources.rbegin()->first);
}

TEST(PasswordDrawTest, AFailingSourceGivesNoPassword) {
  char password[qinstall::kPasswordLength + 1] = {};
  EXPECT_FALSE(DrawPassword([](unsigned char*, std::size_t) { return false; }, password));
}

}  // namespace
