#include "CommandTable.h"

#include "Resource.h"

namespace zarvek {

const CStoreCommand kStoreCommands[kStoreCount] = {
    {ID_STORE_REQUEST, IDS_STORE_REQUEST, L"REQUEST"},
    {ID_STORE_TRUST, IDS_STORE_TRUST, L"TRUST"},
    {ID_STORE_MY, IDS_STORE_MY, L"MY"},
    {ID_STORE_CA, IDS_STORE_CA, L"CA"},
    {ID_STORE_ROOT, IDS_STORE_ROOT, L"ROOT"},
    {ID_STORE_ADDRESS_BOOK, IDS_STORE_ADDRESS_BOOK, L"AddressBook"},
};

const COperationCommand kOperationCommands[kOperationCount] = {
    {ID_CREATE_SIGNATURE, IDS_CREATE_SIGNATURE, IDS_TITLE_FILE_TO_SIGN, 0, FileOperation::CreateSignature,
     StatusReport::Always, false, false},
    {ID_ADD_SIGNATURE, IDS_ADD_SIGNATURE, IDS_TITLE_SIGNED_FILE, IDS_FILTER_SIGNATURES, FileOperation::AddSignature,
     StatusReport::Always, false, false},
    {ID_ENCIPHER, IDS_ENCIPHER, IDS_TITLE_FILE_TO_ENCIPHER, 0, FileOperation::Encipher, StatusReport::Always, false,
     false},
    {ID_SIGN_AND_ENCIPHER, IDS_SIGN_AND_ENCIPHER, IDS_TITLE_FILE_TO_SIGN_AND_ENCIPHER, 0,
     FileOperation::SignAndEncipher, StatusReport::Always, false, false},
    {ID_VERIFY_SIGNATURE, IDS_VERIFY_SIGNATURE, IDS_TITLE_SIGNED_FILE, IDS_FILTER_SIGNATURES,
     FileOperation::VerifySignature, StatusReport::Never, true, true},
    {ID_DROP_AND_VERIFY, IDS_DROP_AND_VERIFY, IDS_TITLE_SIGNED_FILE, IDS_FILTER_SIGNATURES,
     FileOperation::DropAndVerify, StatusReport::OnlyWhenSilent, false, false},
    {ID_DECIPHER, IDS_DECIPHER, IDS_TITLE_ENCIPHERED_FILE, IDS_FILTER_ENCIPHERED, FileOperation::Decipher,
     StatusReport::Always, false, false},
    {ID_DECIPHER_AND_VERIFY, IDS_DECIPHER_AND_VERIFY, IDS_TITLE_ENCIPHERED_FILE, IDS_FILTER_ENCIPHERED,
     FileOperation::DecipherAndVerify, StatusReport::OnlyWhenSilent, false, false},
};

CommandKind ClassifyCommand(unsigned id) {
  if (id >= kFirstProfileCommand) return CommandKind::SelectProfile;
  if (id < kFirstFixedCommand) return CommandKind::None;
  if (FindStoreCommand(id)) return CommandKind::OpenStore;
  if (FindOperationCommand(id)) return CommandKind::FileOperation;
  switch (id) {
    case ID_INTERACTIVE_MODE: return CommandKind::SwitchMode;
    case ID_CRYPTO_PROVIDERS: return CommandKind::ShowProviders;
    case ID_PROFILE_MANAGER: return CommandKind::OpenProfileManager;
    case ID_ERROR_REPORT: return CommandKind::ErrorReport;
    case ID_EXIT: return CommandKind::Exit;
    default: return CommandKind::None;
  }
}

bool IsHeldByIdleFlag(CommandKind kind) {
  return kind == CommandKind::OpenStore || kind == CommandKind::ShowProviders ||
         kind == CommandKind::OpenProfileManager;
}

const CStoreCommand* FindStoreCommand(unsigned id) {
  for (const CStoreCommand& store : kStoreCommands) {
    if (store.m_nCommand == id) return &store;
  }
  return nullptr;
}

const COperationCommand* FindOperationCommand(unsigned id) {
  for (const COperationCommand& operation : kOperationCommands) {
    if (operation.m_nCommand == id) return &operation;
  }
  return nullptr;
}

bool CallsStatusReport(StatusReport report, bool silent) {
  return report == StatusReport::Always || (report == StatusReport::OnlyWhenSilent && silent);
}

int SilentLevelFor(bool silent) { return silent ? kSilentLevelSilent : kSilentLevelInteractive; }

bool UsesSmallTrayIcon(unsigned long majorVersion, unsigned long minorVersion) {
  return majorVersion == 5 && minorVersion != 0;
}

std::string MakeFilterList(const std::string& description, const std::string& pattern) {
  std::string list = description;
  list += '\0';
  list += pattern;
  list += '\0';
  list += '\0';
  return list;
}

std::string MakeFilterList(const std::string& descriptionAndPattern) {
  const std::size_t separator = descriptionAndPattern.find('\0');
  if (separator == std::string::npos) return MakeFilterList(descriptionAndPattern, std::string());
  return MakeFilterList(descriptionAndPattern.substr(0, separator), descriptionAndPattern.substr(separator + 1));
}

std::string MakeMailtoAddress(const std::string& recipient, const std::string& subject) {
  return "mailto:" + recipient + "?subject=" + subject;
}

}  // namespace zarvek
