// The failure records of reading and logging on, in the library's forms.
#include <gtest/gtest.h>

#include "ACL.h"
#include "CacheManager.h"
#include "ImpersonationTokenCache.h"
#include "LogCapture.h"
#include "Win32TestSupport.h"

namespace {

using qtest::CRecord;

qtoken::CLocalTime AnyTime() { return {}; }

class LogRecords : public ::testing::Test {
 protected:
  const std::vector<CRecord>& m_records = m_capture.Records();

 private:
  qtest::CLogCapture m_capture{log4cplus::INFO_LOG_LEVEL};
};

}  // namespace

TEST_F(LogRecords, MissingAccessFile) {
  w32test::CScratchDir dir;
  const std::string file = dir / "none\\.htaccess";
  CACL acl;
  acl.ReadConfigFile(file.c_str(), nullptr);
  EXPECT_EQ(m_records, (std::vector<CRecord>{
                           {log4cplus::INFO_LOG_LEVEL, "[CreateFile(OPEN_EXISTING)] lpszFile = \"" + file + "\""},
                           {log4cplus::INFO_LOG_LEVEL, "[CreateFile(OPEN_EXISTING)] GetLastError() = 0x3 | 3"}}));
}

TEST_F(LogRecords, FailedLogon) {
  CCacheManager manager(0x7fffffff);
  CImpersonationTokenCache cache(manager, &w32test::StandInLogon, &AnyTime);
  EXPECT_EQ(cache.GetToken("dom\\bad:x"), nullptr);
  EXPECT_EQ(m_records, (std::vector<CRecord>{{log4cplus::ERROR_LOG_LEVEL, "[LogonUser] GetLastError = 0x52e | 1326"}}));
}
