#include "TrayMenu.h"

#include "AgentState.h"
#include "CertificateTools.h"
#include "CommandTable.h"
#include "FileOperations.h"
#include "Resource.h"
#include "Settings.h"
#include "TrayApplication.h"

namespace zarvek {

namespace {

constexpr UINT kPlainMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;

MENUITEMINFOA MakeItem(UINT mask, UINT type, UINT state, unsigned id, const std::string& caption) {
  MENUITEMINFOA item = {};
  item.cbSize = sizeof(MENUITEMINFOA);
  item.fMask = mask;
  item.fType = type;
  item.fState = state;
  item.wID = id;
  if (type == MFT_STRING) item.dwTypeData = const_cast<char*>(caption.c_str());
  return item;
}

bool Append(HMENU menu, const MENUITEMINFOA& item) {
  return ::InsertMenuItemA(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &item) != FALSE;
}

HMENU BuildStoreMenu() {
  HMENU menu = ::CreateMenu();
  for (const CStoreCommand& store : kStoreCommands) {
    AppendPlainItem(menu, store.m_nCommand, LoadResourceString(store.m_nCaption), true);
  }
  return menu;
}

HMENU BuildOperationsMenu() {
  HMENU menu = ::CreateMenu();
  for (const COperationCommand& operation : kOperationCommands) {
    if (operation.m_bSeparatorBefore) AppendSeparator(menu);
    const bool enabled = !(operation.m_bDisabledWhenSilent && SilentFlag);
    AppendPlainItem(menu, operation.m_nCommand, LoadResourceString(operation.m_nCaption), enabled);
  }
  return menu;
}

void AppendCaptioned(HMENU menu, unsigned id, UINT captionId) {
  AppendPlainItem(menu, id, LoadResourceString(captionId), true);
}

void AppendSubmenu(HMENU menu, unsigned id, UINT captionId, HMENU submenu) {
  AppendSubmenuItem(menu, id, LoadResourceString(captionId), submenu);
}

// Clears IdleFlag while a management command runs, and sets it back however
// the command ends.
class CIdleGuard {
 public:
  CIdleGuard() { IdleFlag = FALSE; }
  ~CIdleGuard() { IdleFlag = TRUE; }
  CIdleGuard(const CIdleGuard&) = delete;
  CIdleGuard& operator=(const CIdleGuard&) = delete;
};

void RunCommand(CommandKind kind, unsigned id) {
  switch (kind) {
    case CommandKind::OpenStore: OpenCertificateStore(FindStoreCommand(id)->m_pszStore); break;
    case CommandKind::SwitchMode: SwitchMode(); break;
    case CommandKind::ShowProviders: ShowCryptoProviders(); break;
    case CommandKind::OpenProfileManager: OpenProfileManager(); break;
    case CommandKind::FileOperation: RunFileOperation(*FindOperationCommand(id)); break;
    case CommandKind::ErrorReport: WriteErrorReport(); break;
    case CommandKind::Exit: Terminate(); break;
    case CommandKind::SelectProfile: SelectProfile(id); break;
    case CommandKind::None: break;
  }
}

}  // namespace

bool AppendPlainItem(HMENU menu, unsigned id, const std::string& caption, bool enabled) {
  return Append(menu, MakeItem(kPlainMask, MFT_STRING, enabled ? 0u : MFS_DISABLED | MFS_GRAYED, id, caption));
}

bool AppendCheckItem(HMENU menu, unsigned id, const std::string& caption, bool checked) {
  return Append(menu, MakeItem(MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_TYPE, MFT_STRING,
                               checked ? MFS_CHECKED : 0u, id, caption));
}

bool AppendSubmenuItem(HMENU menu, unsigned id, const std::string& caption, HMENU submenu) {
  MENUITEMINFOA item = MakeItem(MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_TYPE, MFT_STRING, 0, id, caption);
  item.hSubMenu = submenu;
  if (Append(menu, item)) return true;
  ::DestroyMenu(submenu);
  return false;
}

bool AppendSeparator(HMENU menu) { return Append(menu, MakeItem(kPlainMask, MFT_SEPARATOR, 0, 0, std::string())); }

bool UpdateCheckItem(HMENU menu, unsigned id, const std::string& caption, bool checked) {
  MENUITEMINFOA item = MakeItem(MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_TYPE, MFT_STRING,
                                checked ? MFS_CHECKED : 0u, id, caption);
  return ::SetMenuItemInfoA(menu, id, FALSE, &item) != FALSE;
}

BOOL BuildTrayMenu() {
  g_trayMenu.Reset(::CreatePopupMenu());
  HMENU menu = g_trayMenu.Get();
  SilentFlag = FALSE;
  if (!ReadSettings()) return FALSE;
  AppendCaptioned(menu, ID_ERROR_REPORT, IDS_ERROR_REPORT);
  AppendSeparator(menu);
  AppendCaptioned(menu, ID_CRYPTO_PROVIDERS, IDS_CRYPTO_PROVIDERS);
  AppendSubmenu(menu, ID_CERT_STORES_MENU, IDS_CERT_STORES, BuildStoreMenu());
  AppendSeparator(menu);
  HMENU profiles = nullptr;
  BuildProfileMenu(&profiles);
  AppendSubmenu(menu, ID_DEFAULT_PROFILE_MENU, IDS_DEFAULT_PROFILE, profiles);
  AppendCaptioned(menu, ID_PROFILE_MANAGER, IDS_PROFILE_MANAGER);
  AppendSeparator(menu);
  AppendSubmenu(menu, ID_OPERATIONS_MENU, IDS_OPERATIONS, BuildOperationsMenu());
  AppendSeparator(menu);
  AppendCheckItem(menu, ID_INTERACTIVE_MODE, LoadResourceString(IDS_INTERACTIVE_MODE), !SilentFlag);
  AppendSeparator(menu);
  AppendCaptioned(menu, ID_EXIT, IDS_EXIT);
  return TRUE;
}

void DispatchCommand(unsigned id) {
  const CommandKind kind = ClassifyCommand(id);
  if (!IsHeldByIdleFlag(kind)) {
    RunCommand(kind, id);
    return;
  }
  if (!IdleFlag) return;
  CIdleGuard busy;
  RunCommand(kind, id);
}

}  // namespace zarvek
