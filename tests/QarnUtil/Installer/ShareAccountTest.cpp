// A site root with a network-share account: the product installation logs
// that account on for its folder and database steps and gives the thread
// its own token back afterwards, whatever those steps did. The logon is the
// membership classes' stand-in (Wine has no accounts to log on), handed to
// the installation in a token cache of the test's own, so the installation
// runs in this process rather than through COM.
#include <windows.h>

#include <gtest/gtest.h>

#include "InstallerTestSupport.h"
#include "Module.h"
#include "ProductInstallations.h"
#include "Win32TestSupport.h"


namespace {

class ShareAccountTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    w32test::StandInLogons().clear();
  }
  void TearDown() override {
    ::SetThreadToken(nullptr, nullptr);
    InstallerTest::TearDown();
  }

  // Site 1's root is below a file, so no folder can be made there. Each
  // test has a password of its own, so a logon seen is that test's.
  void SeedUnreachableRoot(const std::wstring& password) {
    m_password = qcom::BstrToAnsi(password.c_str());
    w32test::WriteText(m_scratch / "file", "");
    const std::wstring root = qcom::AnsiToWide(m_scratch / "file") + L"\\site";
    ASSERT_EQ(0u, RunTool(L"seed --sites 1 --root 1=\"" + root + L"\" --user 1=share --password 1=" + password).exitCode);
  }

  bool LoggedOnAsShare() {
    for (const auto& call : w32test::StandInLogons()) {
      if (call.user == "share" && call.domain == "(null)" && call.password == m_password) return true;
    }
    return false;
  }

  std::string Install(long& result) {
    std::string log;
    result = -1;
    qarnutil::InstallMembershipProduct("1", log, result, m_tokens.Get());
    return log;
  }

  w32test::CScratchDir m_scratch;
  w32test::CStandInTokenCache m_tokens;
  std::string m_password;
};

TEST_F(ShareAccountTest, TheThreadKeepsNoTokenWhenItHadNone) {
  SeedUnreachableRoot(L"first");
  long result = -1;
  Install(result);
  EXPECT_TRUE(LoggedOnAsShare());
  EXPECT_EQ("", w32test::ThreadAccount());
  EXPECT_EQ(0, result);
}

TEST_F(ShareAccountTest, TheThreadGetsItsOwnTokenBackAfterFailingSteps) {
  SeedUnreachableRoot(L"second");
  qwin::CHandle own(w32test::StandInLogon("caller", nullptr, nullptr));
  ASSERT_TRUE(::SetThreadToken(nullptr, own.Get()));
  long result = -1;
  Install(result);
  EXPECT_EQ("caller", w32test::ThreadAccount());
  EXPECT_TRUE(LoggedOnAsShare());
}

}  // namespace
