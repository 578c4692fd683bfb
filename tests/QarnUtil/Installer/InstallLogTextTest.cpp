// The installation log's line rules and the filter load order: the texts
// that administrators read and the metabase value the web server parses.
#include <gtest/gtest.h>

#include <string>

#include "FilterLoadOrder.h"
#include "InstallLogText.h"

namespace {

using qinstall::ComposeLogLine;
using qinstall::ComposeLogText;

TEST(InstallLogLineTest, StepTabResultLineFeed) {
  EXPECT_EQ("Create virtual folder /Vesmoro\tSuccess\n", ComposeLogLine("Create virtual folder /Vesmoro", "Success"));
  EXPECT_EQ("\t\n", ComposeLogLine("", ""));
}

TEST(InstallLogLineTest, LineBreaksInEitherTextBecomeSpaces) {
  // A system message ends with CR LF; the line must stay one line.
  EXPECT_EQ("Install  A B\tFailed. Access denied.  \n",
            ComposeLogLine("Install \rA\nB", "Failed. Access denied.\r\n"));
}

TEST(InstallLogTextTest, FormatsTheFirstPlaceholderOnly) {
  EXPECT_EQ("Install Qarn Membership", ComposeLogText("Install %s", "Qarn Membership"));
  EXPECT_EQ("Remove ISAPI Filter \"Qarn Filter\"", ComposeLogText("Remove ISAPI Filter \"%s\"", "Qarn Filter"));
  // The name is data: a placeholder inside it is not expanded again.
  EXPECT_EQ("Install %s%s", ComposeLogText("Install %s", "%s%s"));
  EXPECT_EQ("Install %s", ComposeLogText("Install %s", nullptr));
  EXPECT_EQ("Success", ComposeLogText("Success", "ignored"));
}

TEST(InstallLogTextTest, CutAtTheCompositionBuffer) {
  const std::string longName(1000, 'x');
  const std::string text = ComposeLogText("Install %s", longName.c_str());
  EXPECT_EQ(255u, text.size());
  EXPECT_EQ("Install " + std::string(247, 'x'), text);
  EXPECT_EQ(255u, ComposeLogText(std::string(300, 'y'), nullptr).size());
  EXPECT_EQ(std::string(255, 'z'), ComposeLogText(std::string(255, 'z'), nullptr));
}

TEST(InstallLogResultTest, ResultTextFollowsTheHresult) {
  EXPECT_EQ(qinstall::kResultSuccess, qinstall::ResultTextIdFor(0, true));
  EXPECT_EQ(qinstall::kResultAlreadyExists, qinstall::ResultTextIdFor(1, true));
  EXPECT_EQ(qinstall::kResultFailedWithMessage, qinstall::ResultTextIdFor(static_cast<std::int32_t>(0x80070005), true));
  EXPECT_EQ(qinstall::kResultFailedUnspecified,
            qinstall::ResultTextIdFor(static_cast<std::int32_t>(0x80041234), false));
  // Other success codes are not "already there": they read as a failure
  // the system may not know.
  EXPECT_EQ(qinstall::kResultFailedUnspecified, qinstall::ResultTextIdFor(2, false));
}

TEST(FilterLoadOrderTest, RemovesEveryExactPieceAndKeepsTheRest) {
  using qinstall::RemoveFromLoadOrder;
  EXPECT_EQ(L"A,B", RemoveFromLoadOrder(L"A,Qarn Filter,B", L"Qarn Filter"));
  EXPECT_EQ(L"", RemoveFromLoadOrder(L"Qarn Filter", L"Qarn Filter"));
  EXPECT_EQ(L"A,B", RemoveFromLoadOrder(L"Qarn Filter,A,Qarn Filter,B,Qarn Filter", L"Qarn Filter"));
  EXPECT_EQ(L"A,B", RemoveFromLoadOrder(L",A,,B,", L"Qarn Filter"));
  // Exact, case-sensitive pieces: a spaced or differently written name is
  // another filter's and stays, spelled as it was.
  EXPECT_EQ(L"A, Qarn Filter ,qarn filter,B", RemoveFromLoadOrder(L"A, Qarn Filter ,qarn filter,B", L"Qarn Filter"));
  EXPECT_EQ(L"", RemoveFromLoadOrder(L"", L"Qarn Filter"));
}

TEST(FilterLoadOrderTest, AppendsLastAndFindsExactPieces) {
  EXPECT_EQ(L"Qarn Filter", qinstall::AppendToLoadOrder(L"", L"Qarn Filter"));
  EXPECT_EQ(L"A,B,Qarn Filter", qinstall::AppendToLoadOrder(L"A,B", L"Qarn Filter"));
  EXPECT_TRUE(qinstall::LoadOrderContains(L"A,Qarn Filter", L"Qarn Filter"));
  EXPECT_FALSE(qinstall::LoadOrderContains(L"A, Qarn Filter", L"Qarn Filter"));
  EXPECT_FALSE(qinstall::LoadOrderContains(L"", L"Qarn Filter"));
}

}  // namespace
