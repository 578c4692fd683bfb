// The profile submenu, the default profile and the mode switch against the
// registry.
#include "AgentTestSupport.h"
#include "CommandTable.h"
#include "Settings.h"
#include "TrayMenu.h"

namespace agenttest {
namespace {

using namespace zarvek;

class SettingsTest : public CAgentTest {
 protected:
  void SetUp() override {
    CAgentTest::SetUp();
    SetDword(kSettingsKeyPath, "Silent", 0);
  }

  std::vector<CMenuItemView> ProfileItems(BOOL expected = TRUE) {
    HMENU submenu = nullptr;
    EXPECT_EQ(expected, BuildProfileMenu(&submenu));
    m_profileMenu.Reset(submenu);
    return ReadMenu(submenu);
  }

  size_t ReadErrors() const {
    size_t count = 0;
    for (const CMessageBoxCall& box : m_shell.m_messageBoxes) {
      EXPECT_EQ("Zarvek 2.5.0", box.m_strCaption);
      EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), box.m_nType);
      count += box.m_strText == Ansi("Произошла ошибка при чтении данных.") ? 1 : 0;
    }
    return count;
  }

  qwin::CMenu m_profileMenu;
};

TEST_F(SettingsTest, DefaultProfileIsCheckedWithoutRegardToCase) {
  AddProfile("Home", "Home profile");
  AddProfile("Work", "Work profile");
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "wORK");
  const std::vector<CMenuItemView> items = ProfileItems();
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(0u, items[0].m_nState);
  EXPECT_EQ(static_cast<UINT>(MFS_CHECKED), items[1].m_nState);
  EXPECT_EQ("Work profile", items[1].m_strCaption);
  EXPECT_EQ(0u, ReadErrors());
}

TEST_F(SettingsTest, MissingDefaultProfileShowsOneReadErrorPerProfileAndChecksNone) {
  AddProfile("a", "A");
  AddProfile("b", "B");
  AddProfile("c", "C");
  const std::vector<CMenuItemView> items = ProfileItems();
  ASSERT_EQ(3u, items.size());
  for (const CMenuItemView& item : items) EXPECT_EQ(0u, item.m_nState);
  EXPECT_EQ(3u, ReadErrors());
  EXPECT_EQ(3u, m_shell.m_messageBoxes.size());
}

TEST_F(SettingsTest, UnreadableProfileNameEndsListingThere) {
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "a");
  AddProfile("a", "A");
  SetDword(std::string(kProfileStoreKeyPath) + "\\b", "ProfileName", 5);
  AddProfile("c", "C");
  std::vector<CMenuItemView> items = ProfileItems(FALSE);
  ASSERT_EQ(1u, items.size());
  EXPECT_EQ(700u, items[0].m_nId);
  EXPECT_EQ(1u, ReadErrors());
  EXPECT_EQ((std::vector<std::string>{"a"}), ProfileIdList);

  // A string value without any data, not even its terminating NUL, is no better.
  m_shell.m_messageBoxes.clear();
  SetRawValue(std::string(kProfileStoreKeyPath) + "\\b", "ProfileName", REG_SZ, "", 0);
  items = ProfileItems(FALSE);
  EXPECT_EQ(1u, items.size());
  EXPECT_EQ(1u, ReadErrors());
}

TEST_F(SettingsTest, ProfileIdentifierLongerThan63CharactersEndsListing) {
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "a");
  AddProfile("a", "A");
  AddProfile(std::string(63, 'b'), "Longest that fits");
  AddProfile(std::string(64, 'c'), "Too long");
  AddProfile("d", "D");
  const std::vector<CMenuItemView> items = ProfileItems(FALSE);
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ("Longest that fits", items[1].m_strCaption);
  EXPECT_EQ(1u, ReadErrors());
}

TEST_F(SettingsTest, ChoosingProfileWritesOnlyDefaultProfileId) {
  AddProfile("first", "First");
  AddProfile("second", "Second");
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "first");
  ASSERT_TRUE(BuildTrayMenu());
  DispatchCommand(701);
  std::string id, name;
  ASSERT_TRUE(ReadString(kProfileStoreKeyPath, "DefaultProfileID", id));
  EXPECT_EQ("second", id);
  ASSERT_TRUE(ReadString(std::string(kProfileStoreKeyPath) + "\\second", "ProfileName", name));
  EXPECT_EQ("Second", name);
  // An identifier past the listed profiles names nothing.
  DispatchCommand(702);
  ASSERT_TRUE(ReadString(kProfileStoreKeyPath, "DefaultProfileID", id));
  EXPECT_EQ("second", id);
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(SettingsTest, ProfileAddedBetweenMenusShiftsLaterIdentifiers) {
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "m");
  AddProfile("m", "M");
  AddProfile("z", "Z");
  ASSERT_TRUE(BuildTrayMenu());
  EXPECT_EQ((std::vector<std::string>{"m", "z"}), ProfileIdList);
  AddProfile("a", "A");
  g_trayMenu.Reset();
  ASSERT_TRUE(BuildTrayMenu());
  EXPECT_EQ((std::vector<std::string>{"a", "m", "z"}), ProfileIdList);
  DispatchCommand(702);
  std::string id;
  ASSERT_TRUE(ReadString(kProfileStoreKeyPath, "DefaultProfileID", id));
  EXPECT_EQ("z", id);
}

TEST_F(SettingsTest, SwitchingModeTwiceWritesRegistryEachTimeAndRestoresIt) {
  ASSERT_TRUE(BuildTrayMenu());
  DispatchCommand(ID_INTERACTIVE_MODE);
  DWORD silent = 0;
  ASSERT_TRUE(ReadDword(kSettingsKeyPath, "Silent", silent));
  EXPECT_EQ(1u, silent);
  EXPECT_TRUE(SilentFlag);
  EXPECT_EQ(0u, ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND));

  DispatchCommand(ID_INTERACTIVE_MODE);
  ASSERT_TRUE(ReadDword(kSettingsKeyPath, "Silent", silent));
  EXPECT_EQ(0u, silent);
  EXPECT_FALSE(SilentFlag);
  EXPECT_EQ(static_cast<UINT>(MF_CHECKED), ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND));
  const std::vector<CMenuItemView> top = ReadMenu(g_trayMenu.Get());
  EXPECT_EQ(Ansi("Интерактивный режим работы"), top[10].m_strCaption);
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(SettingsTest, SwitchingModeSeesTheCheckMarkOfAHighlightedItem) {
  ASSERT_TRUE(BuildTrayMenu());
  // As the menu leaves the item just chosen.
  MENUITEMINFOA item = {};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_STATE;
  item.fState = MFS_CHECKED | MFS_HILITE;
  ASSERT_TRUE(::SetMenuItemInfoA(g_trayMenu.Get(), ID_INTERACTIVE_MODE, FALSE, &item));
  ASSERT_EQ(static_cast<UINT>(MF_CHECKED | MF_HILITE),
            ::GetMenuState(g_trayMenu.Get(), ID_INTERACTIVE_MODE, MF_BYCOMMAND));
  DispatchCommand(ID_INTERACTIVE_MODE);
  DWORD silent = 0;
  ASSERT_TRUE(ReadDword(kSettingsKeyPath, "Silent", silent));
  EXPECT_EQ(1u, silent);
}

TEST_F(SettingsTest, SwitchingModeWithoutSettingsKeyChangesNothing) {
  ASSERT_TRUE(BuildTrayMenu());
  DeleteUserKey(kSettingsKeyPath);
  DispatchCommand(ID_INTERACTIVE_MODE);
  EXPECT_FALSE(SilentFlag);
  EXPECT_FALSE(UserKeyExists(kSettingsKeyPath));
  ASSERT_EQ(1u, m_shell.m_messageBoxes.size());
  EXPECT_EQ(Ansi("Произошла ошибка при подготовке к работе с настройками программы."),
            m_shell.m_messageBoxes[0].m_strText);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), m_shell.m_messageBoxes[0].m_nType);
}

}  // namespace
}  // namespace agenttest
