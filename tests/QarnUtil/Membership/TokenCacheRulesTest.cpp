#include <gtest/gtest.h>

#include "TokenCacheRules.h"

using namespace qtoken;

TEST(TokenCacheRules, IdentitySplitsAtTheFirstColonAndBackslash) {
  auto parts = SplitIdentity("dom\\user:pa:ss\\word");
  EXPECT_EQ(parts.domain, "dom");
  EXPECT_EQ(parts.user, "user");
  EXPECT_EQ(parts.password, "pa:ss\\word");
  EXPECT_TRUE(parts.hasDomain && parts.hasPassword);

  parts = SplitIdentity("user");
  EXPECT_EQ(parts.user, "user");
  EXPECT_FALSE(parts.hasDomain || parts.hasPassword);

  parts = SplitIdentity("user:");
  EXPECT_TRUE(parts.hasPassword);
  EXPECT_EQ(parts.password, "");

  parts = SplitIdentity("a\\b\\c");
  EXPECT_EQ(parts.domain, "a");
  EXPECT_EQ(parts.user, "b\\c");
}

TEST(TokenCacheRules, CachedLogonNeedsTheExactPassword) {
  EXPECT_TRUE(SameLogon("DOM\\User:Secret", "dom\\user:Secret"));
  EXPECT_FALSE(SameLogon("dom\\user:secret", "dom\\user:Secret"));
  EXPECT_FALSE(SameLogon("dom\\user", "dom\\user:"));
  EXPECT_FALSE(SameLogon("user:x", "\\user:x"));
  EXPECT_FALSE(SameLogon("other\\user:x", "dom\\user:x"));
}

TEST(TokenCacheRules, IdleSecondsAcrossDaysAndLeapYears) {
  const CLocalTime before{2024, 2, 28, 23, 59, 30};
  EXPECT_EQ(SecondsBetween(before, {2024, 2, 29, 0, 4, 30}), 300);
  EXPECT_EQ(SecondsBetween(before, {2024, 3, 1, 0, 0, 30}), 86400 + 60);
  EXPECT_EQ(SecondsBetween({2023, 12, 31, 23, 58, 0}, {2024, 1, 1, 0, 3, 1}), 301);
  EXPECT_EQ(SecondsBetween({2100, 2, 28, 0, 0, 0}, {2100, 3, 1, 0, 0, 0}), 86400) << "2100 is no leap year";
}
