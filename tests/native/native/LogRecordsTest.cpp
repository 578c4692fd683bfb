// The records of the directive lookup, in the library's forms (natively the
// logging shim keeps them for inspection).
#include <gtest/gtest.h>

#include "ACLDirectives.h"
#include "logging.h"

TEST(DirectiveRecords, FoundAndNotFound) {
  qlog::StartCapture();
  const char* line = "TimeOut 5";
  GetDirectiveCode(&line);
  const char* unknown = "Nothing";
  GetDirectiveCode(&unknown);
  const auto records = qlog::StopCapture();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].text, "[Params] lpszDirective = \"TimeOut 5\"");
  EXPECT_EQ(records[0].level, qlog::DEBUG_LEVEL);
  EXPECT_EQ(records[1].text, "[Directive found] Index of lpszDirective = 0x2c | 44");
  EXPECT_EQ(records[1].level, qlog::DEBUG_LEVEL);
  EXPECT_EQ(records[3].text, "Directive not found");
  EXPECT_EQ(records[3].level, qlog::ERROR_LEVEL);
}
