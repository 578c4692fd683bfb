// The failure records of reading and logging on, in the library's forms.
#include <gtest/gtest.h>

#include "ACL.h"
#include "CacheManager.h"
#include "ImpersonationTokenCache.h"
#include "LogCapture.h"
#include "Win32TestSupport.h"
#include "logging.h"

namespace {

using qtest::CRecord;

qtoken::CLocalTime AnyTime() { return {}; }

class LogRecords : public ::testing::Test {
 protected:
  qtest::CLogCapture m_capture{log4cplus::INFO_LOG_LEVEL};
  const std::vector<CRecord>& m_records = m_capture.Records();
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

// The per-line records of reading are written when someone takes DEBUG
// records; an unknown line is reported at any level.
TEST_F(LogRecords, DirectiveRecordsOfAFile) {
  w32test::CScratchDir dir;
  const std::string file = dir / ".htaccess";
  w32test::WriteText(file, "AuthName a\nBogus\n");
  CACL acl;
  acl.ReadConfigFile(file.c_str(), nullptr);
  const CRecord notFound{log4cplus::ERROR_LOG_LEVEL, "Directive not found"};
  EXPECT_EQ(m_records, std::vector<CRecord>{notFound});

  m_capture.Clear();
  qlog::LibraryLogger().setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
  acl.ReadConfigFile(file.c_str(), nullptr);
  EXPECT_EQ(m_records, (std::vector<CRecord>{
                           {log4cplus::DEBUG_LOG_LEVEL, "[Params] lpszDirective = \"AuthName a\""},
                           {log4cplus::DEBUG_LOG_LEVEL, "[Directive found] Index of lpszDirective = 0x5 | 5"},
                           {log4cplus::DEBUG_LOG_LEVEL, "[Params] lpszDirective = \"Bogus\""},
                           notFound}));
}

TEST_F(LogRecords, ReceivedOnlyWhereAnAppenderTakesTheLevel) {
  qlog::LibraryLogger().setLogLevel(log4cplus::DEBUG_LOG_LEVEL);
  EXPECT_TRUE(QLOG_RECEIVED(DEBUG));
  m_capture.Appender()->setThreshold(log4cplus::ERROR_LOG_LEVEL);
  EXPECT_FALSE(QLOG_RECEIVED(DEBUG));
  EXPECT_TRUE(QLOG_RECEIVED(ERROR));
  qlog::LibraryLogger().removeAppender(m_capture.Appender());
  EXPECT_FALSE(QLOG_RECEIVED(ERROR));
}

TEST_F(LogRecords, FailedLogon) {
  CCacheManager manager(0x7fffffff);
  CImpersonationTokenCache cache(manager, &w32test::StandInLogon, &AnyTime);
  EXPECT_EQ(cache.GetToken("dom\\bad:x"), nullptr);
  EXPECT_EQ(m_records, (std::vector<CRecord>{{log4cplus::ERROR_LOG_LEVEL, "[LogonUser] GetLastError = 0x52e | 1326"}}));
}
