#include "LogCapture.h"

#include <log4cplus/logger.h>
#include <log4cplus/spi/loggingevent.h>

#include <algorithm>

#include "logging.h"

namespace qtest {

namespace {

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

}  // namespace

void PrintTo(const CRecord& record, std::ostream* out) { *out << record.level << " " << record.text; }

CLogCapture::CLogCapture(log4cplus::LogLevel level) {
  qlog::EnsureLoggingConfigured();
  m_appender = log4cplus::SharedAppenderPtr(new CCaptureAppender(m_records));
  qlog::LibraryLogger().addAppender(m_appender);
  m_previousLevel = qlog::LibraryLogger().getLogLevel();
  qlog::LibraryLogger().setLogLevel(level);
}

CLogCapture::~CLogCapture() {
  qlog::LibraryLogger().removeAppender(m_appender);
  qlog::LibraryLogger().setLogLevel(m_previousLevel);
}

bool CLogCapture::Contains(int level, const std::string& text) const {
  return std::any_of(m_records.begin(), m_records.end(),
                     [&](const CRecord& record) { return record.level == level && record.text == text; });
}

size_t CLogCapture::Count(const std::string& text) const {
  return static_cast<size_t>(
      std::count_if(m_records.begin(), m_records.end(), [&](const CRecord& record) { return record.text == text; }));
}

}  // namespace qtest
