// The tray menu built from a prepared registry, read back through its handle.
#include "AgentTestSupport.h"
#include "CommandTable.h"
#include "Settings.h"
#include "TrayMenu.h"

namespace agenttest {
namespace {

using namespace zarvek;

class TrayMenuTest : public CAgentTest {
 protected:
  std::vector<CMenuItemView> BuildAndRead() {
    EXPECT_TRUE(BuildTrayMenu());
    return ReadMenu(g_trayMenu.Get());
  }
};

void ExpectItem(const CMenuItemView& item, UINT id, const char* caption, UINT state) {
  EXPECT_EQ(id, item.m_nId) << caption;
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), item.m_nType) << caption;
  EXPECT_EQ(Ansi(caption), item.m_strCaption);
  EXPECT_EQ(state, item.m_nState) << caption;
}

void ExpectSeparator(const CMenuItemView& item) { EXPECT_EQ(static_cast<UINT>(MFT_SEPARATOR), item.m_nType); }

// A submenu of enabled plain items; id 0 stands for a separator.
void ExpectPlainItems(HMENU menu, const std::vector<std::pair<UINT, const char*>>& expected) {
  const std::vector<CMenuItemView> items = ReadMenu(menu);
  ASSERT_EQ(expected.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    if (expected[i].first == 0) {
      ExpectSeparator(items[i]);
    } else {
      ExpectItem(items[i], expected[i].first, expected[i].second, 0);
    }
  }
}

TEST_F(TrayMenuTest, InteractiveMenuHasEveryItemInOrder) {
  SetDword(kSettingsKeyPath, "Silent", 0);
  AddProfile("alpha", "Alpha");
  AddProfile("beta", Ansi("Бета"));
  SetString(kProfileStoreKeyPath, "DefaultProfileID", "beta");
  const std::vector<CMenuItemView> top = BuildAndRead();
  ASSERT_EQ(13u, top.size());
  ExpectItem(top[0], 686, "Сообщить об ошибке...", 0);
  ExpectSeparator(top[1]);
  ExpectItem(top[2], 675, "Криптопровайдеры...", 0);
  ExpectItem(top[3], 676, "Хранилища сертификатов", 0);
  ExpectSeparator(top[4]);
  ExpectItem(top[5], 673, "Профиль по умолчанию", 0);
  ExpectItem(top[6], 677, "Менеджер профилей...", 0);
  ExpectSeparator(top[7]);
  ExpectItem(top[8], 678, "Операции", 0);
  ExpectSeparator(top[9]);
  ExpectItem(top[10], 672, "Интерактивный режим работы", MFS_CHECKED);
  ExpectSeparator(top[11]);
  ExpectItem(top[12], 699, "Выход", 0);
  for (size_t i : {0u, 2u, 6u, 10u, 12u}) EXPECT_EQ(nullptr, top[i].m_hSubMenu) << i;

  ExpectPlainItems(top[3].m_hSubMenu, {{666, "Хранилище запросов на сертификат..."},
                                       {667, "Доверенные издатели сертификатов..."},
                                       {668, "Личное хранилище сертификатов..."},
                                       {669, "Промежуточные центры сертификации..."},
                                       {670, "Доверенные корневые центры сертификации..."},
                                       {671, "Сертификаты других пользователей..."}});

  const std::vector<CMenuItemView> profiles = ReadMenu(top[5].m_hSubMenu);
  ASSERT_EQ(2u, profiles.size());
  ExpectItem(profiles[0], 700, "Alpha", 0);
  ExpectItem(profiles[1], 701, "Бета", MFS_CHECKED);
  EXPECT_EQ((std::vector<std::string>{"alpha", "beta"}), ProfileIdList);

  ExpectPlainItems(top[8].m_hSubMenu, {{679, "Создать ЭЦП..."},
                                       {680, "Добавить ЭЦП..."},
                                       {681, "Зашифровать..."},
                                       {683, "Создать ЭЦП и зашифровать..."},
                                       {0, ""},
                                       {682, "Проверить ЭЦП..."},
                                       {684, "Снять и проверить ЭЦП..."},
                                       {687, "Расшифровать..."},
                                       {685, "Расшифровать и проверить ЭЦП..."}});
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(TrayMenuTest, SilentModeUnchecksModeItemAndGreysVerification) {
  SetDword(kSettingsKeyPath, "Silent", 7);
  const std::vector<CMenuItemView> top = BuildAndRead();
  ASSERT_EQ(13u, top.size());
  EXPECT_TRUE(SilentFlag);
  EXPECT_EQ(0u, top[10].m_nState);
  const std::vector<CMenuItemView> operations = ReadMenu(top[8].m_hSubMenu);
  ASSERT_EQ(9u, operations.size());
  for (const CMenuItemView& item : operations) {
    if (item.m_nType == MFT_SEPARATOR) continue;
    EXPECT_EQ(item.m_nId == ID_VERIFY_SIGNATURE ? static_cast<UINT>(MFS_DISABLED | MFS_GRAYED) : 0u, item.m_nState)
        << item.m_nId;
  }
}

TEST_F(TrayMenuTest, FirstRunCreatesSettingsWithSilentZero) {
  ASSERT_FALSE(UserKeyExists(kSettingsKeyPath));
  const std::vector<CMenuItemView> top = BuildAndRead();
  DWORD silent = 99;
  ASSERT_TRUE(ReadDword(kSettingsKeyPath, "Silent", silent));
  EXPECT_EQ(0u, silent);
  ASSERT_EQ(13u, top.size());
  EXPECT_EQ(static_cast<UINT>(MFS_CHECKED), top[10].m_nState);
  // Without a profile store the profile submenu is empty and nothing is said.
  EXPECT_EQ(0, ::GetMenuItemCount(top[5].m_hSubMenu));
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(TrayMenuTest, UnreadableSilentValueLeavesMenuEmptyAfterReadError) {
  struct Case { const char* name; DWORD type; std::string data; };
  const Case cases[] = {
      {"as a string", REG_SZ, std::string("0\0", 2)},
      {"as a short binary", REG_BINARY, std::string("\1\0", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    m_shell.m_messageBoxes.clear();
    SetRawValue(kSettingsKeyPath, "Silent", c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_FALSE(BuildTrayMenu());
    EXPECT_EQ(0, ::GetMenuItemCount(g_trayMenu.Get()));
    ASSERT_EQ(1u, m_shell.m_messageBoxes.size());
    EXPECT_EQ(Ansi("Произошла ошибка при чтении данных."), m_shell.m_messageBoxes[0].m_strText);
    EXPECT_EQ("Zarvek 2.5.0", m_shell.m_messageBoxes[0].m_strCaption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), m_shell.m_messageBoxes[0].m_nType);
  }
  // A missing value is the same failure: the key exists, so it is not created anew.
  DeleteUserKey(kSettingsKeyPath);
  SetDword(kSettingsKeyPath, "Other", 1);
  m_shell.m_messageBoxes.clear();
  EXPECT_FALSE(BuildTrayMenu());
  EXPECT_EQ(1u, m_shell.m_messageBoxes.size());
}

// The texts kept for the crypto client library, where the resource compiler's
// escapes (quotes, line breaks, NUL) and a trailing space must survive the
// conversion to code page 1251.
TEST_F(TrayMenuTest, StringTableKeepsEscapesAndSpacesOfItsTexts) {
  const std::pair<UINT, const char*> texts[] = {
      {120, "Zarvek 2.5.0. :: Добавить ЭЦП"},
      {144, "Данный тип подписи требует наличия исходных данных.\nЖелаете ли Вы указать файл с исходными данными?"},
      {155, "Расшифрованные данные со снятой ЭЦП находятся в файле "},
      {157, "Файл \"%s\" уже существует. Перезаписать?"},
      {158, "Для создания ЭЦП в данном случае необходимо указать сертификат\nв параметрах ЭЦП в Менеджере Профилей.\n"
            "Текущая операция будет прервана."},
      {160, "В Менеджере Профилей не указан сертифкат для шифрования."},
  };
  for (const auto& text : texts) EXPECT_EQ(Ansi(text.second), LoadResourceString(text.first)) << text.first;
  EXPECT_EQ(Ansi("Все файлы (*.*)") + std::string(1, '\0') + "*.*", LoadResourceString(136));
}

}  // namespace
}  // namespace agenttest
