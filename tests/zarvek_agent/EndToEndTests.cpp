// The real agent program driven from outside under Xvfb: tray callback, popup
// menu keys, message boxes, the open-file dialog, the registry and the
// stand-ins' records. Wine cannot read another process's menus, so menu
// contents are checked in-process; here the menu's picture is saved.
#include <cstdlib>
#include <fstream>

#include "AgentDriver.h"
#include "AgentTestSupport.h"
#include "Settings.h"
#include "StandInRegistry.h"

namespace agenttest {
namespace {

using namespace agentdriver;

std::string WindowsPath(const char* variable) {
  const char* value = std::getenv(variable);
  std::string path = value ? value : "";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// Waits until the component has recorded at least count calls.
std::vector<std::string> WaitForRecords(const char* component, size_t count) {
  for (int i = 0; i < 100 && CallRecords(component).size() < count; ++i) ::Sleep(100);
  return CallRecords(component);
}

class EndToEndTest : public CAgentTest {
 protected:
  void SetUp() override {
    CAgentTest::SetUp();
    ASSERT_FALSE(WindowsPath("ZARVEK_AGENT_EXE").empty()) << "ZARVEK_AGENT_EXE names the program";
    ASSERT_TRUE(m_agent.Start(WindowsPath("ZARVEK_AGENT_EXE")));
  }

  HWND OpenMenu() {
    m_agent.RightClick();
    return WaitForWindow(m_agent.ProcessId(), "#32768");
  }
  // Walks the top menu with the arrow keys and chooses the item reached.
  void Choose(HWND menu, UINT key, int times) {
    for (int i = 0; i < times; ++i) PressKey(menu, key);
    PressKey(menu, VK_RETURN);
  }
  void ExitThroughMenu() {
    HWND menu = OpenMenu();
    ASSERT_NE(nullptr, menu);
    Choose(menu, VK_UP, 1);  // "Выход" is the last item
    EXPECT_EQ(0u, m_agent.WaitForExit());
  }
  std::string ExistingFile() {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "zarvek e2e input.txt";
    std::ofstream(path) << "data to sign\n";
    return path;
  }

  CAgentProcess m_agent;
};

TEST_F(EndToEndTest, RightClickShowsTheMenuAndCloseEndsTheAgent) {
  HWND menu = OpenMenu();
  ASSERT_NE(nullptr, menu);
  ::Sleep(500);  // drawn after it appears
  EXPECT_GT(SaveWindowImage(menu, "zarvek_agent_menu.bmp"), 2u) << "the menu should show captions";
  // The first menu created the settings for this fresh user.
  DWORD silent = 99;
  EXPECT_TRUE(ReadDword(zarvek::kSettingsKeyPath, "Silent", silent));
  EXPECT_EQ(0u, silent);
  PressKey(menu, VK_ESCAPE);
  m_agent.Close();
  EXPECT_EQ(0u, m_agent.WaitForExit());
}

TEST_F(EndToEndTest, CreatingASignatureAsksForTheFileAndCallsTheLibrary) {
  HWND menu = OpenMenu();
  ASSERT_NE(nullptr, menu);
  for (int i = 0; i < 6; ++i) PressKey(menu, VK_DOWN);  // to "Операции"
  PressKey(menu, VK_RIGHT);                              // its first item, "Создать ЭЦП..."
  HWND submenu = WaitForWindow(m_agent.ProcessId(), "#32768", 2000);
  ::Sleep(500);
  EXPECT_GT(SaveWindowImage(submenu ? submenu : menu, "zarvek_agent_operations.bmp"), 2u);
  PressKey(menu, VK_RETURN);
  HWND dialog = WaitForWindow(m_agent.ProcessId(), "#32770");
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(Ansi("Выбор файла для подписи"), ControlText(dialog, 0));
  const std::string path = ExistingFile();
  ChooseFile(dialog, path);
  const std::vector<std::string> calls = WaitForRecords("QarnCryptoClient", 2);
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ("CreateNewSignature|" + path + "|4|empty", calls[0]);
  EXPECT_EQ("ShowStatusReport|" + path + "=1;|4|-", calls[1]);
  ExitThroughMenu();
}

TEST_F(EndToEndTest, UnreadableSettingsShowTheReadErrorBox) {
  SetString(zarvek::kSettingsKeyPath, "Silent", "1");
  m_agent.RightClick();
  HWND box = WaitForWindow(m_agent.ProcessId(), "#32770");
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("Zarvek 2.5.0", ControlText(box, 0));
  EXPECT_EQ(Ansi("Произошла ошибка при чтении данных."), ControlText(box, kMessageBoxText));
  PressButton(box, IDOK);
  // The menu is empty: nothing opens, and the agent keeps running.
  EXPECT_EQ(nullptr, WaitForWindow(m_agent.ProcessId(), "#32768", 1500));
  EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), m_agent.WaitForExit(0));
  m_agent.Close();
  EXPECT_EQ(0u, m_agent.WaitForExit());
}

TEST_F(EndToEndTest, ModeSwitchFromTheMenuWritesTheRegistry) {
  HWND menu = OpenMenu();
  ASSERT_NE(nullptr, menu);
  Choose(menu, VK_UP, 2);  // "Интерактивный режим работы"
  DWORD silent = 0;
  for (int i = 0; i < 50 && !(ReadDword(zarvek::kSettingsKeyPath, "Silent", silent) && silent == 1); ++i) {
    ::Sleep(100);
  }
  EXPECT_EQ(1u, silent);
  ExitThroughMenu();
}

TEST_F(EndToEndTest, ErrorReportStartsTheMailProgramWithTheSupportAddress) {
  const std::string recorder = WindowsPath("MAILTO_RECORDER_EXE");
  ASSERT_FALSE(recorder.empty());
  const std::string command = "\"" + recorder + "\" \"%1\"";
  qwin::CRegKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, "mailto\\shell\\open\\command", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
  char previous[1024] = {};
  DWORD previousSize = sizeof(previous), previousType = 0;
  const bool hadPrevious = ::RegQueryValueExA(key.Get(), nullptr, nullptr, &previousType,
                                              reinterpret_cast<BYTE*>(previous), &previousSize) == ERROR_SUCCESS;
  ::RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>(command.size() + 1));
  HWND menu = OpenMenu();
  if (menu) Choose(menu, VK_DOWN, 1);  // "Сообщить об ошибке..."
  const std::vector<std::string> calls = WaitForRecords("MailtoRecorder", 1);
  if (hadPrevious) {
    ::RegSetValueExA(key.Get(), nullptr, 0, previousType, reinterpret_cast<const BYTE*>(previous), previousSize);
  }
  ASSERT_NE(nullptr, menu);
  ASSERT_EQ(1u, calls.size());
  EXPECT_NE(std::string::npos, calls[0].find("mailto:support@zarvek.example?subject=Zarvek 2.5.0")) << calls[0];
  ExitThroughMenu();
}

TEST_F(EndToEndTest, ExitWhileTheFileDialogIsOpenEndsAtOnce) {
  HWND menu = OpenMenu();
  ASSERT_NE(nullptr, menu);
  for (int i = 0; i < 6; ++i) PressKey(menu, VK_DOWN);
  PressKey(menu, VK_RIGHT);
  PressKey(menu, VK_RETURN);
  ASSERT_NE(nullptr, WaitForWindow(m_agent.ProcessId(), "#32770"));
  ExitThroughMenu();
  EXPECT_TRUE(CallRecords("QarnCryptoClient").empty());
}

TEST_F(EndToEndTest, UnknownExceptionFromTheLibraryEndsTheAgent) {
  QARN_SKIP_WHERE_EXCEPTIONS_CANNOT_CROSS_MODULES();
  SetStandInString("QarnCryptoClient", "Throw", "other");
  HWND menu = OpenMenu();
  ASSERT_NE(nullptr, menu);
  for (int i = 0; i < 6; ++i) PressKey(menu, VK_DOWN);
  PressKey(menu, VK_RIGHT);
  PressKey(menu, VK_RETURN);
  HWND dialog = WaitForWindow(m_agent.ProcessId(), "#32770");
  ASSERT_NE(nullptr, dialog);
  ChooseFile(dialog, ExistingFile());
  EXPECT_EQ(0u, m_agent.WaitForExit());
}

TEST_F(EndToEndTest, SecondCopyRunsBesideTheFirst) {
  CAgentProcess second;
  ASSERT_TRUE(second.Start(WindowsPath("ZARVEK_AGENT_EXE")));
  EXPECT_NE(m_agent.Window(), second.Window());
  second.Close();
  EXPECT_EQ(0u, second.WaitForExit());
  EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), m_agent.WaitForExit(0));
  m_agent.Close();
  EXPECT_EQ(0u, m_agent.WaitForExit());
}

}  // namespace
}  // namespace agenttest
