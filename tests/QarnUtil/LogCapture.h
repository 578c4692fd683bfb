// Keeps the utility library's log records (all but the function trace)
// while it lives, for tests that check a record's exact text and level.
#pragma once

#include <log4cplus/appender.h>
#include <log4cplus/loglevel.h>

#include <ostream>
#include <string>
#include <vector>

namespace qtest {

struct CRecord {
  log4cplus::LogLevel level;
  std::string text;
  bool operator==(const CRecord& other) const { return level == other.level && text == other.text; }
};

void PrintTo(const CRecord& record, std::ostream* out);

class CLogCapture {
 public:
  // Lets records from level up through to the capture.
  explicit CLogCapture(log4cplus::LogLevel level = log4cplus::TRACE_LOG_LEVEL);
  ~CLogCapture();
  CLogCapture(const CLogCapture&) = delete;
  CLogCapture& operator=(const CLogCapture&) = delete;

  const std::vector<CRecord>& Records() const { return m_records; }
  bool Contains(int level, const std::string& text) const;
  // How many records have exactly this text.
  size_t Count(const std::string& text) const;
  void Clear() { m_records.clear(); }
  const log4cplus::SharedAppenderPtr& Appender() const { return m_appender; }

 private:
  std::vector<CRecord> m_records;
  log4cplus::SharedAppenderPtr m_appender;
  log4cplus::LogLevel m_previousLevel;
};

}  // namespace qtest
