// The agent's command identifiers and the fixed tables behind the tray menu:
// what each identifier does, the certificate stores, the file operations with
// their dialogs, and the small rules derived from them. No Win32 here.
#pragma once

#include <cstddef>
#include <string>

namespace zarvek {

enum CommandId : unsigned {
  ID_STORE_REQUEST = 666,
  ID_STORE_TRUST = 667,
  ID_STORE_MY = 668,
  ID_STORE_CA = 669,
  ID_STORE_ROOT = 670,
  ID_STORE_ADDRESS_BOOK = 671,
  ID_INTERACTIVE_MODE = 672,
  ID_DEFAULT_PROFILE_MENU = 673,
  ID_CRYPTO_PROVIDERS = 675,
  ID_CERT_STORES_MENU = 676,
  ID_PROFILE_MANAGER = 677,
  ID_OPERATIONS_MENU = 678,
  ID_CREATE_SIGNATURE = 679,
  ID_ADD_SIGNATURE = 680,
  ID_ENCIPHER = 681,
  ID_VERIFY_SIGNATURE = 682,
  ID_SIGN_AND_ENCIPHER = 683,
  ID_DROP_AND_VERIFY = 684,
  ID_DECIPHER_AND_VERIFY = 685,
  ID_ERROR_REPORT = 686,
  ID_DECIPHER = 687,
  ID_EXIT = 699,
};

constexpr unsigned kFirstFixedCommand = 666;
constexpr unsigned kLastFixedCommand = 699;
constexpr unsigned kFirstProfileCommand = 700;

enum class CommandKind {
  None,  // dismissed menu, unknown fixed identifier, submenu item
  OpenStore,
  SwitchMode,
  ShowProviders,
  OpenProfileManager,
  FileOperation,
  ErrorReport,
  Exit,
  SelectProfile,
};

CommandKind ClassifyCommand(unsigned id);

// Management commands must not run twice at once through a modal loop.
bool IsHeldByIdleFlag(CommandKind kind);

// --- certificate stores --------------------------------------------------------

struct CStoreCommand {
  unsigned m_nCommand;
  unsigned m_nCaption;  // string id
  const wchar_t* m_pszStore;
};

constexpr std::size_t kStoreCount = 6;
// In menu order.
extern const CStoreCommand kStoreCommands[kStoreCount];
const CStoreCommand* FindStoreCommand(unsigned id);

// --- file operations -----------------------------------------------------------

enum class FileOperation {
  CreateSignature,
  AddSignature,
  Encipher,
  SignAndEncipher,
  VerifySignature,
  DropAndVerify,
  Decipher,
  DecipherAndVerify,
};

enum class StatusReport { Always, Never, OnlyWhenSilent };

struct COperationCommand {
  unsigned m_nCommand;
  unsigned m_nCaption;  // string id
  unsigned m_nTitle;    // string id of the open-file dialog's title
  unsigned m_nFilter;   // string id of a "description\0pattern" filter; 0: all files
  FileOperation m_operation;
  StatusReport m_report;
  bool m_bSeparatorBefore;    // in the operations submenu
  bool m_bDisabledWhenSilent;
};

constexpr std::size_t kOperationCount = 8;
// In menu order.
extern const COperationCommand kOperationCommands[kOperationCount];
const COperationCommand* FindOperationCommand(unsigned id);

// Whether the status report follows an operation in the given mode.
bool CallsStatusReport(StatusReport report, bool silent);

// --- small rules -----------------------------------------------------------------

// The library's silent level for the agent's mode.
constexpr int kSilentLevelSilent = 3;
constexpr int kSilentLevelInteractive = 4;
int SilentLevelFor(bool silent);

// Windows 5.1 and later 5.x draw the tray with the 16x16 256-colour icon.
bool UsesSmallTrayIcon(unsigned long majorVersion, unsigned long minorVersion);

// An open-file dialog filter list with one entry: description, NUL, pattern,
// NUL, NUL. The "description\0pattern" form of the string table is accepted
// as description with an empty pattern.
std::string MakeFilterList(const std::string& description, const std::string& pattern);
std::string MakeFilterList(const std::string& descriptionAndPattern);

// The error report address, unencoded.
std::string MakeMailtoAddress(const std::string& recipient, const std::string& subject);

}  // namespace zarvek
