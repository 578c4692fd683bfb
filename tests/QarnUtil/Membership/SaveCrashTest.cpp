// Single-file saves against interruption and against each other, with the
// saves running in other processes (SaveHelper).
#include <gtest/gtest.h>

#include "ACL.h"
#include "Win32/Handles.h"
#include "Win32TestSupport.h"

namespace {

std::string HelperPath() {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string helper = path;
  return helper.substr(0, helper.rfind('\\') + 1) + "membership_save_helper.exe";
}

qwin::CHandle StartHelper(const std::string& arguments) {
  std::string command = "\"" + HelperPath() + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return qwin::CHandle();
  }
  ::CloseHandle(process.hThread);
  return qwin::CHandle(process.hProcess);
}

DWORD WaitForExit(const qwin::CHandle& process) {
  ::WaitForSingleObject(process.Get(), 120000);
  DWORD code = 0;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

class SingleFileSave : public ::testing::Test {
 protected:
  void SetUp() override {
    m_single = m_dir / "site.acl";
    for (const char* d : {"\\a", "\\b"}) ::CreateDirectoryA((m_dir.Path() + d).c_str(), nullptr);
    w32test::WriteText(m_single, "<ACL />\r\nAuthName root\r\n</ACL>\r\n");
  }
  std::string Arguments(const char* mode, const char* folder, const char* virtualPath) {
    return std::string(mode) + " \"" + m_single + "\" \"" + (m_dir / folder) + "\" " + virtualPath;
  }

  w32test::CScratchDir m_dir;
  std::string m_single;
};

}  // namespace

TEST_F(SingleFileSave, InterruptedSaveLeavesTheOldFileWhole) {
  const std::string before = w32test::ReadText(m_single);
  qwin::CHandle helper = StartHelper(Arguments("crash", "a", "/a"));
  ASSERT_TRUE(helper);
  EXPECT_EQ(WaitForExit(helper), 99u) << "the helper died before replacing the file";
  EXPECT_EQ(w32test::ReadText(m_single), before);

  // The dead save's lock was abandoned, not kept: the next save goes through.
  CACL acl;
  int saved = 0;
  EXPECT_EQ(acl.Save((m_dir / "b").c_str(), nullptr, "/b", m_single.c_str(), &saved, nullptr), S_OK);
  EXPECT_EQ(CountOf(w32test::ReadText(m_single), "<ACL /b>"), 1);
}

TEST_F(SingleFileSave, ConcurrentSavesOfTwoSectionsKeepBoth) {
  qwin::CHandle first = StartHelper(Arguments("save", "a", "/a") + " 40");
  qwin::CHandle second = StartHelper(Arguments("save", "b", "/b") + " 40");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(WaitForExit(first), 0u);
  EXPECT_EQ(WaitForExit(second), 0u);
  const std::string text = w32test::ReadText(m_single);
  EXPECT_EQ(CountOf(text, "<ACL />"), 1);
  EXPECT_EQ(CountOf(text, "<ACL /a>"), 1);
  EXPECT_EQ(CountOf(text, "<ACL /b>"), 1);
  EXPECT_NE(text.find("AuthName \"/a 39\""), std::string::npos);
  EXPECT_NE(text.find("AuthName \"/b 39\""), std::string::npos);
}
