#include <gtest/gtest.h>

#include "CacheManager.h"
#include "ImpersonationTokenCache.h"
#include "Win32TestSupport.h"

using w32test::StandInLogons;

namespace {

// The injected clock: expiry is tested at 300 and 301 s without waiting.
qtoken::CLocalTime g_now{2026, 12, 31, 23, 58, 0};
qtoken::CLocalTime Now() { return g_now; }
void Advance(int seconds) {
  g_now.second += seconds;
  g_now.minute += g_now.second / 60;
  g_now.second %= 60;
  g_now.hour += g_now.minute / 60;
  g_now.minute %= 60;
  // The tests stay within a few days of the new year.
  while (g_now.hour >= 24) {
    g_now.hour -= 24;
    if (++g_now.day > 31) {
      g_now.day = 1;
      g_now.month = 1;
      ++g_now.year;
    }
  }
}

class TokenCache : public ::testing::Test {
 protected:
  void SetUp() override { StandInLogons().clear(); }
  CCacheManager m_manager{0x7fffffff};
  CImpersonationTokenCache m_cache{m_manager, &w32test::StandInLogon, &Now};
};

}  // namespace

TEST_F(TokenCache, LogsEachAccountOnOnce) {
  HANDLE first = m_cache.GetToken("dom\\user:Secret");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(m_cache.GetToken("DOM\\User:Secret"), first) << "domain and user ignore case";
  ASSERT_EQ(StandInLogons().size(), 1u);
  EXPECT_EQ(StandInLogons()[0].user, "user");
  EXPECT_EQ(StandInLogons()[0].domain, "dom");
  EXPECT_EQ(StandInLogons()[0].password, "Secret");
}

TEST_F(TokenCache, PasswordMustMatchExactly) {
  HANDLE right = m_cache.GetToken("dom\\user:secret");
  HANDLE other = m_cache.GetToken("dom\\user:Secret");
  EXPECT_NE(right, other);
  EXPECT_EQ(StandInLogons().size(), 2u) << "a password differing in case logs on anew";
}

TEST_F(TokenCache, IdentityPartsReachTheLogon) {
  m_cache.GetToken("user");
  m_cache.GetToken("user2:pa:ss\\x");
  ASSERT_EQ(StandInLogons().size(), 2u);
  EXPECT_EQ(StandInLogons()[0].domain, "(null)");
  EXPECT_EQ(StandInLogons()[0].password, "(null)");
  EXPECT_EQ(StandInLogons()[1].password, "pa:ss\\x");
}

TEST_F(TokenCache, FailedLogonIsNotCached) {
  EXPECT_EQ(m_cache.GetToken("dom\\bad:x"), nullptr);
  EXPECT_EQ(m_cache.GetToken("dom\\bad:x"), nullptr);
  EXPECT_EQ(StandInLogons().size(), 2u);
  EXPECT_EQ(m_cache.EntryCount(), 0u);
  EXPECT_EQ(m_cache.GetToken(nullptr), nullptr);
}

TEST_F(TokenCache, EntriesIdleForMoreThanThreeHundredSecondsExpire) {
  m_cache.GetToken("kept");
  m_cache.GetToken("dropped");
  for (int tick = 0; tick < 5; ++tick) {
    Advance(200);
    m_cache.GetToken("kept");  // used every 200 s
  }
  Advance(100);  // "kept" idle 100 s, "dropped" idle 1100 s
  m_manager.RunCachers();
  EXPECT_EQ(m_cache.EntryCount(), 1u);
  Advance(200);  // idle 300 s: stays
  CImpersonationTokenCache::CloseUnusedTokens(&m_cache);
  EXPECT_EQ(m_cache.EntryCount(), 1u);
  Advance(1);  // 301 s: removed at this tick
  CImpersonationTokenCache::CloseUnusedTokens(&m_cache);
  EXPECT_EQ(m_cache.EntryCount(), 0u);
  const std::size_t logons = StandInLogons().size();
  m_cache.GetToken("kept");
  EXPECT_EQ(StandInLogons().size(), logons + 1);
}

TEST(CacheManager, TimerCallsTheCachersInOrderWhileMessagesAreDispatched) {
  // A windowless timer fires only while its thread dispatches messages.
  CCacheManager manager(20);
  ASSERT_NE(manager.m_nTimerId, 0u);
  std::vector<int> calls;
  auto record = [](void* context) { static_cast<std::vector<int>*>(context)->push_back(1); };
  auto recordTwo = [](void* context) { static_cast<std::vector<int>*>(context)->push_back(2); };
  manager.RegisterCacher(record, &calls);
  manager.RegisterCacher(recordTwo, &calls);
  w32test::PumpMessages(5000, [&] { return calls.size() >= 4; });
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(std::vector<int>(calls.begin(), calls.begin() + 4), (std::vector<int>{1, 2, 1, 2}));
  manager.UnregisterCacher(record, &calls);
  calls.clear();
  manager.RunCachers();
  EXPECT_EQ(calls, std::vector<int>{2});
}

TEST(CacheManager, LibraryInstanceIsBuiltAtLoad) { EXPECT_NE(g_CacheManager.m_nTimerId, 0u); }

TEST(ImpersonateThread, CallerProtocolRestoresThePreviousToken) {
  w32test::CStandInTokenCache tokens;
  ASSERT_EQ(w32test::ThreadAccount(), "");

  HANDLE previous = reinterpret_cast<HANDLE>(1);
  ASSERT_TRUE(ImpersonateThread("dom\\first:p", &previous, tokens.Get()));
  EXPECT_EQ(previous, nullptr) << "the thread had no token";
  EXPECT_EQ(w32test::ThreadAccount(), "dom\\first");

  HANDLE outer = nullptr;
  ASSERT_TRUE(ImpersonateThread("second", &outer, tokens.Get()));
  ASSERT_NE(outer, nullptr);
  EXPECT_EQ(w32test::ThreadAccount(), "second");
  ASSERT_TRUE(::SetThreadToken(nullptr, outer));
  EXPECT_TRUE(::CloseHandle(outer));
  EXPECT_EQ(w32test::ThreadAccount(), "dom\\first");

  HANDLE unchanged = nullptr;
  EXPECT_FALSE(ImpersonateThread("dom\\bad:x", &unchanged, tokens.Get()));
  EXPECT_EQ(unchanged, nullptr);
  EXPECT_EQ(w32test::ThreadAccount(), "dom\\first");

  ASSERT_TRUE(::SetThreadToken(nullptr, previous));
  HANDLE none = nullptr;
  EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &none));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

  {
    CThreadImpersonation scope("dom\\first:p", tokens.Get());
    EXPECT_EQ(w32test::ThreadAccount(), "dom\\first");
  }
  EXPECT_EQ(w32test::ThreadAccount(), "");
}
