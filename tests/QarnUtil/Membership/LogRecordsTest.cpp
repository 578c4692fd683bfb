// The failure records of reading and logging on, in the library's forms.
#include <gtest/gtest.h>

#include <log4cplus/appender.h>
#include <log4cplus/spi/loggingevent.h>

#include "ACL.h"
#include "CacheManager.h"
#include "ImpersonationTokenCache.h"
#include "Win32TestSupport.h"
#include "logging.h"

namespace {

struct CRecord {
  log4cplus::LogLevel level;
  std::string text;
  bool operator==(const CRecord& other) const { return level == other.level && text == other.text; }
};

qtoken::CLocalTime AnyTime() { return {}; }

void PrintTo(const CRecord& record, std::ostream* out) { *out << record.level << " " << record.text; }

// Keeps the library's records other than the function trace.
class CCaptureAppender : public log4cplus::Appender {
 public:
  explicit CCaptureAppender(std::vector<CRecord>& records) : m_records(records) {}
  ~CCaptureAppender() override { destructorImpl(); }
  void close() override {}

 protected:
  void append(const log4cplus::spi::InternalLoggingEvent& event) override {
    if (event.getLogLevel() == log4cplus::TRACE_LOG_LEVEL) return;
    m_records.push_back({event.getLogLevel(), LOG4CPLUS_TSTRING_TO_STRING(event.getMessage())});
  }

 private:
  std::vector<CRecord>& m_records;
};

class LogRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    qlog::EnsureLoggingConfigured();
    m_appender = log4cplus::SharedAppenderPtr(new CCaptureAppender(m_records));
    qlog::LibraryLogger().addAppender(m_appender);
    m_previousLevel = qlog::LibraryLogger().getLogLevel();
    qlog::LibraryLogger().setLogLevel(log4cplus::INFO_LOG_LEVEL);
  }
  void TearDown() override {
    qlog::LibraryLogger().removeAppender(m_appender);
    qlog::LibraryLogger().setLogLevel(m_previousLevel);
  }

  std::vector<CRecord> m_records;
  log4cplus::SharedAppenderPtr m_appender;
  log4cplus::LogLevel m_previousLevel = log4cplus::NOT_SET_LOG_LEVEL;
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

  m_records.clear();
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
  m_appender->setThreshold(log4cplus::ERROR_LOG_LEVEL);
  EXPECT_FALSE(QLOG_RECEIVED(DEBUG));
  EXPECT_TRUE(QLOG_RECEIVED(ERROR));
  qlog::LibraryLogger().removeAppender(m_appender);
  EXPECT_FALSE(QLOG_RECEIVED(ERROR));
}

TEST_F(LogRecords, FailedLogon) {
  CCacheManager manager(0x7fffffff);
  CImpersonationTokenCache cache(manager, &w32test::StandInLogon, &AnyTime);
  EXPECT_EQ(cache.GetToken("dom\\bad:x"), nullptr);
  EXPECT_EQ(m_records, (std::vector<CRecord>{{log4cplus::ERROR_LOG_LEVEL, "[LogonUser] GetLastError = 0x52e | 1326"}}));
}
