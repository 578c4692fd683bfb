// The store, provider-list and profile-manager commands against the stand-in
// components, and the error report.
#include "AgentDriver.h"
#include "AgentTestSupport.h"
#include "CommandTable.h"
#include "TrayMenu.h"
#include "Win32/Handles.h"

namespace agenttest {
namespace {

using namespace zarvek;

const char kSuite[] = "SuiteComponents";

class CertificateToolsTest : public CAgentTest {
 protected:
  void ExpectOneBox(const std::string& text, const char* caption, UINT type) {
    ASSERT_EQ(1u, m_shell.m_messageBoxes.size());
    EXPECT_EQ(text, m_shell.m_messageBoxes[0].m_strText);
    EXPECT_EQ(Ansi(caption), m_shell.m_messageBoxes[0].m_strCaption);
    EXPECT_EQ(MB_OK | type, m_shell.m_messageBoxes[0].m_nType);
  }
  void FailWith(const char* method, const char* descriptionUtf8) {
    SetStandInString(kSuite, "FailMethod", method);
    SetStandInString(kSuite, "FailDescription", Ansi(descriptionUtf8));
  }
};

TEST_F(CertificateToolsTest, EachStoreCommandOpensItsStoreAndReleasesViewerFirst) {
  const std::pair<unsigned, const char*> stores[] = {{666, "REQUEST"}, {667, "TRUST"}, {668, "MY"},
                                                     {669, "CA"},      {670, "ROOT"},  {671, "AddressBook"}};
  SetStandInDword(kSuite, "StoreResult", S_OK);
  for (const auto& store : stores) {
    SCOPED_TRACE(store.second);
    SetStandInString(kSuite, "Calls", "");
    DispatchCommand(store.first);
    EXPECT_EQ((std::vector<std::string>{"CertStoreView.Open(1," + std::string(store.second) + ")",
                                        "CertStoreView.Show(viewer)", "CertViewer.ShowCertificates(" +
                                            std::string(store.second) + ")",
                                        "CertViewer released", "CertStoreView released"}),
              CallRecords(kSuite));
    EXPECT_TRUE(IdleFlag);
  }
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(CertificateToolsTest, EmptyStoreIsReportedAndOtherShowResultsAreNot) {
  SetStandInDword(kSuite, "StoreResult", S_FALSE);
  DispatchCommand(ID_STORE_MY);
  ExpectOneBox(Ansi("Запрашиваемое хранилище не содержит сертификаты."), "Zarvek 2.5.0", MB_ICONINFORMATION);

  m_shell.m_messageBoxes.clear();
  SetStandInDword(kSuite, "StoreResult", S_OK);
  DispatchCommand(ID_STORE_MY);
  FailWith("CertStoreView.Show", "Отказ");
  DispatchCommand(ID_STORE_MY);
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(CertificateToolsTest, FailedOpenShowsComponentDescriptionAndSkipsViewer) {
  FailWith("CertStoreView.Open", "Хранилище недоступно");
  DispatchCommand(ID_STORE_ROOT);
  ExpectOneBox(Ansi("Хранилище недоступно"), "Zarvek 2.5.0", MB_ICONERROR);
  EXPECT_EQ((std::vector<std::string>{"CertStoreView.Open(1,ROOT)", "CertStoreView released"}), CallRecords(kSuite));
  EXPECT_TRUE(IdleFlag);
}

TEST_F(CertificateToolsTest, ProviderListShowsOnceAndReportsItsFailure) {
  DispatchCommand(ID_CRYPTO_PROVIDERS);
  EXPECT_EQ((std::vector<std::string>{"CryptoProviderList.Show()", "CryptoProviderList released"}),
            CallRecords(kSuite));
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());

  FailWith("CryptoProviderList.Show", "Нет провайдеров");
  DispatchCommand(ID_CRYPTO_PROVIDERS);
  ExpectOneBox(Ansi("Нет провайдеров"), "Zarvek 2.5.0", MB_ICONERROR);
}

TEST_F(CertificateToolsTest, ProfileManagerIsInitialisedThenShown) {
  DispatchCommand(ID_PROFILE_MANAGER);
  EXPECT_EQ((std::vector<std::string>{"ProfileManager.Initialize(0,0)", "ProfileManager.Show()",
                                      "ProfileManager released"}),
            CallRecords(kSuite));
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(CertificateToolsTest, ProfileManagerFailureUsesErrorCaptionAndStopsBeforeShow) {
  FailWith("ProfileManager.Initialize", "Профиль занят");
  DispatchCommand(ID_PROFILE_MANAGER);
  ExpectOneBox(Ansi("Профиль занят"), "Zarvek 2.5.0 :: Ошибка!", MB_ICONERROR);
  EXPECT_EQ((std::vector<std::string>{"ProfileManager.Initialize(0,0)", "ProfileManager released"}),
            CallRecords(kSuite));

  m_shell.m_messageBoxes.clear();
  FailWith("ProfileManager.Show", "");
  DispatchCommand(ID_PROFILE_MANAGER);
  ExpectOneBox("", "Zarvek 2.5.0 :: Ошибка!", MB_ICONERROR);
}

TEST_F(CertificateToolsTest, ComponentThatCannotStartGivesUnknownError) {
  const std::pair<unsigned, const char*> commands[] = {
      {ID_STORE_CA, "CertStoreView"}, {ID_CRYPTO_PROVIDERS, "CryptoProviderList"}, {ID_PROFILE_MANAGER, "ProfileManager"}};
  for (const auto& command : commands) {
    SCOPED_TRACE(command.second);
    m_shell.m_messageBoxes.clear();
    SetStandInString(kSuite, "RefuseCreate", command.second);
    DispatchCommand(command.first);
    ExpectOneBox(Ansi("Произошла неизвестная ошибка."), "Zarvek 2.5.0", MB_ICONERROR);
    EXPECT_TRUE(IdleFlag);
  }
  // A viewer that cannot start is not examined: the store is still shown.
  SetStandInString(kSuite, "RefuseCreate", "CertViewer");
  SetStandInString(kSuite, "Calls", "");
  m_shell.m_messageBoxes.clear();
  DispatchCommand(ID_STORE_CA);
  EXPECT_EQ((std::vector<std::string>{"CertStoreView.Open(1,CA)", "CertStoreView.Show(no viewer)",
                                      "CertStoreView released"}),
            CallRecords(kSuite));
}

TEST_F(CertificateToolsTest, ManagementCommandsAreHeldWhileOneRuns) {
  IdleFlag = FALSE;
  for (unsigned command : {666u, 668u, 671u, 675u, 677u}) DispatchCommand(command);
  EXPECT_TRUE(CallRecords(kSuite).empty());
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
  EXPECT_FALSE(IdleFlag);
}

// Runs once, inside the modal loop of the stand-in's window: chooses other
// commands as a user could, then closes that window.
bool g_bIdleWhileOpen = true;
void CALLBACK ChooseCommandsWhileOpen(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  g_bIdleWhileOpen = IdleFlag != FALSE;
  for (unsigned command : {ID_STORE_MY, ID_CRYPTO_PROVIDERS, ID_PROFILE_MANAGER, ID_INTERACTIVE_MODE}) {
    DispatchCommand(command);
  }
  HWND box = agentdriver::WaitForWindow(::GetCurrentProcessId(), "#32770", 5000);
  if (box) ::PostMessageA(box, WM_COMMAND, IDOK, 0);
}

TEST_F(CertificateToolsTest, OnlyManagementCommandsWaitWhileTheProfileManagerIsOpen) {
  SetStandInDword(kSuite, "Quiet", 0);
  ASSERT_TRUE(BuildTrayMenu());
  ASSERT_NE(0u, ::SetTimer(nullptr, 0, 200, &ChooseCommandsWhileOpen));
  DispatchCommand(ID_PROFILE_MANAGER);
  EXPECT_FALSE(g_bIdleWhileOpen);
  EXPECT_TRUE(IdleFlag);
  EXPECT_EQ((std::vector<std::string>{"ProfileManager.Initialize(0,0)", "ProfileManager.Show()",
                                      "ProfileManager released"}),
            CallRecords(kSuite));
  // The mode switch was not held back.
  DWORD silent = 0;
  EXPECT_TRUE(ReadDword("Software\\QARN Vesmoro\\Pelwyn", "Silent", silent));
  EXPECT_EQ(1u, silent);
}

// Keeps the classes root's mail command as it was.
class CMailCommandOverride {
 public:
  CMailCommandOverride() {
    m_bExisted = ::RegGetValueA(HKEY_CLASSES_ROOT, kPath, nullptr, RRF_RT_ANY, &m_nType, m_data, &m_nSize) ==
                 ERROR_SUCCESS;
  }
  ~CMailCommandOverride() {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kPath);
    if (m_bExisted) Set(m_nType, m_data, m_nSize);
  }
  static void Remove() { ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kPath); }
  static void Set(DWORD type, const void* data, DWORD size) {
    qwin::CRegKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CLASSES_ROOT, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               key.Put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), nullptr, 0, type, static_cast<const BYTE*>(data), size));
  }

 private:
  static constexpr const char* kPath = "mailto\\shell\\open\\command";
  bool m_bExisted = false;
  DWORD m_nType = 0;
  BYTE m_data[2048] = {};
  DWORD m_nSize = sizeof(m_data);
};

TEST_F(CertificateToolsTest, ErrorReportOpensUnencodedMailtoAddress) {
  CMailCommandOverride keep;
  CMailCommandOverride::Set(REG_EXPAND_SZ, "mail.exe %1", 11);
  IdleFlag = FALSE;  // not held back by a running management command
  DispatchCommand(ID_ERROR_REPORT);
  ASSERT_EQ(1u, m_shell.m_shellExecutes.size());
  const CShellExecuteCall& call = m_shell.m_shellExecutes[0];
  EXPECT_EQ("open", call.m_strVerb);
  EXPECT_EQ("mailto:support@zarvek.example?subject=Zarvek 2.5.0", call.m_strFile);
  EXPECT_FALSE(call.m_bHasParameters);
  EXPECT_FALSE(call.m_bHasDirectory);
  EXPECT_EQ(SW_SHOWNORMAL, call.m_nShow);
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(CertificateToolsTest, ErrorReportWithoutMailProgramSaysSo) {
  CMailCommandOverride keep;
  struct Case { const char* name; DWORD type; const char* data; DWORD size; };
  const Case cases[] = {{"empty default value", REG_SZ, "", 1},
                        {"default value not a string", REG_DWORD, "\1\0\0\0", 4},
                        {"no key", 0, nullptr, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_shell.m_messageBoxes.clear();
    CMailCommandOverride::Remove();
    if (c.data) CMailCommandOverride::Set(c.type, c.data, c.size);
    DispatchCommand(ID_ERROR_REPORT);
    ExpectOneBox(Ansi("Не найден почтовый клиент по умолчанию."), "Zarvek 2.5.0", MB_ICONEXCLAMATION);
  }
  EXPECT_TRUE(m_shell.m_shellExecutes.empty());
}

}  // namespace
}  // namespace agenttest
