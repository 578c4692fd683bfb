#include "FileOperations.h"

#include "AgentState.h"
#include "QarnCryptoClient.h"
#include "Resource.h"

namespace zarvek {

namespace {

std::string FilterListFor(const COperationCommand& command) {
  if (command.m_nFilter == 0) return MakeFilterList(LoadResourceString(IDS_FILTER_ALL_FILES), "*.*");
  return MakeFilterList(LoadResourceString(command.m_nFilter));
}

SILENT_LEVEL CurrentSilentLevel() { return static_cast<SILENT_LEVEL>(SilentLevelFor(SilentFlag != FALSE)); }

// What the library fills in during a call: the output names and the profile
// holder. They are kept until the status report is done, then released.
struct CCallResults {
  CStringA m_strOutput;
  CStringA m_strSecondOutput;
  CProfilePtr m_profile;
};

// Calls the library function of the operation.
long CallLibrary(FileOperation operation, const CStringA& input, SILENT_LEVEL level, CCallResults& results) {
  CStringA& output = results.m_strOutput;
  CStringA& secondOutput = results.m_strSecondOutput;
  CProfilePtr& profile = results.m_profile;
  switch (operation) {
    case FileOperation::CreateSignature: return CreateNewSignature(input, output, level, profile);
    case FileOperation::AddSignature: return AddSignature(input, level, profile);
    case FileOperation::Encipher: return EncipherFile(input, output, level, profile);
    case FileOperation::SignAndEncipher: return SignAndEncipherFile(input, output, secondOutput, level, profile);
    case FileOperation::VerifySignature: return VerifySignature(input);
    case FileOperation::DropAndVerify: return DropAndVerifySignature(input, output, level);
    case FileOperation::Decipher: return DecipherFile(input, output, level, profile);
    case FileOperation::DecipherAndVerify: return DecipherAndVerifySignature(input, output, secondOutput, level);
  }
  return E_UNEXPECTED;
}

// Verification keeps no status and shows no report.
void RunVerification(const COperationCommand& command) {
  std::string path;
  if (!SelectFile(command.m_nTitle, FilterListFor(command), path)) return;
  CCallResults unused;
  CallLibrary(FileOperation::VerifySignature, CStringA(path.c_str()), CurrentSilentLevel(), unused);
}

}  // namespace

BOOL SelectFile(UINT titleId, const std::string& filterList, std::string& path) {
  char file[MAX_PATH] = {};
  const std::string title = LoadResourceString(titleId);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = g_hWnd;
  dialog.lpstrFilter = filterList.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!g_shell.m_pfnGetOpenFileName(&dialog)) return FALSE;
  file[MAX_PATH - 1] = '\0';
  path = file;
  return TRUE;
}

void RunFileOperation(const COperationCommand& command) {
  if (command.m_operation == FileOperation::VerifySignature) {
    RunVerification(command);
    return;
  }
  StatusMap.clear();
  std::string path;
  if (!SelectFile(command.m_nTitle, FilterListFor(command), path)) return;
  StatusMap[path] = false;
  const SILENT_LEVEL level = CurrentSilentLevel();
  CCallResults results;
  if (CallLibrary(command.m_operation, CStringA(path.c_str()), level, results) == 0) StatusMap[path] = true;
  if (CallsStatusReport(command.m_report, SilentFlag != FALSE)) ShowStatusReport(StatusMap, level);
}

}  // namespace zarvek
