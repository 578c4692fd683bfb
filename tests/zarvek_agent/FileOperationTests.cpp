// The file operations against the stand-in crypto client library.
#include "AgentTestSupport.h"
#include "CommandTable.h"
#include "TrayMenu.h"

namespace agenttest {
namespace {

using namespace zarvek;

const char kClient[] = "QarnCryptoClient";
const std::string kPath = "C:\\Data\\Report 2026.TXT";

std::string AllFilesFilter() { return Ansi("Все файлы (*.*)") + std::string(1, '\0') + "*.*" + std::string(2, '\0'); }
std::string SignatureFilter() {
  return Ansi("Файлы подписи (*.p7s, *.pem)") + std::string(1, '\0') + "*.p7s;*.pem" + std::string(2, '\0');
}
std::string EncipheredFilter() {
  return Ansi("Зашифрованные файлы (*.p7m, *.pem)") + std::string(1, '\0') + "*.p7m;*.pem" + std::string(2, '\0');
}

struct COperationCase {
  unsigned m_nCommand;
  const char* m_pszFunction;
  const char* m_pszTitle;  // UTF-8
  std::string (*m_filter)();
  bool m_bProfileHolder;
  bool m_bReportWhenInteractive;
};

const COperationCase kCases[] = {
    {679, "CreateNewSignature", "Выбор файла для подписи", &AllFilesFilter, true, true},
    {680, "AddSignature", "Выбор файла с электронной цифровой подписью", &SignatureFilter, true, true},
    {681, "EncipherFile", "Выбор файла для шифрования", &AllFilesFilter, true, true},
    {683, "SignAndEncipherFile", "Выбор файла для подписи и шифрования", &AllFilesFilter, true, true},
    {684, "DropAndVerifySignature", "Выбор файла с электронной цифровой подписью", &SignatureFilter, false, false},
    {687, "DecipherFile", "Выбор зашифрованного файла", &EncipheredFilter, true, true},
    {685, "DecipherAndVerifySignature", "Выбор зашифрованного файла", &EncipheredFilter, false, false},
};

class FileOperationTest : public CAgentTest {
 protected:
  void Run(unsigned command, const std::string& answer = kPath) {
    m_shell.m_fileAnswers = {answer};
    DispatchCommand(command);
  }
};

std::string CallRecord(const COperationCase& c, const char* level) {
  return std::string(c.m_pszFunction) + "|" + kPath + "|" + level + "|" + (c.m_bProfileHolder ? "empty" : "-");
}

TEST_F(FileOperationTest, InteractiveOperationsAskForTheirFileAndPassLevel4) {
  for (const COperationCase& c : kCases) {
    SCOPED_TRACE(c.m_pszFunction);
    DeleteUserKey("Software\\QARN Stand-ins\\QarnCryptoClient");
    SetStandInDword(kClient, "Quiet", 1);
    m_shell.m_fileDialogs.clear();
    Run(c.m_nCommand);

    ASSERT_EQ(1u, m_shell.m_fileDialogs.size());
    const CFileDialogCall& dialog = m_shell.m_fileDialogs[0];
    EXPECT_EQ(static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A), dialog.m_nStructSize);
    EXPECT_EQ(g_hWnd, dialog.m_hOwner);
    EXPECT_EQ(Ansi(c.m_pszTitle), dialog.m_strTitle);
    EXPECT_EQ(c.m_filter(), dialog.m_strFilterList);
    EXPECT_EQ(1u, dialog.m_nFilterIndex);
    EXPECT_EQ(260u, dialog.m_nMaxFile);
    EXPECT_EQ(0x1804u, dialog.m_nFlags);
    EXPECT_TRUE(dialog.m_bFileBufferEmpty);

    std::vector<std::string> expected = {CallRecord(c, "4")};
    if (c.m_bReportWhenInteractive) expected.push_back("ShowStatusReport|" + kPath + "=1;|4|-");
    EXPECT_EQ(expected, CallRecords(kClient));
    EXPECT_EQ((std::map<std::string, bool>{{kPath, true}}), StatusMap);
  }
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(FileOperationTest, SilentOperationsPassLevel3AndAlwaysReport) {
  SilentFlag = TRUE;
  for (const COperationCase& c : kCases) {
    SCOPED_TRACE(c.m_pszFunction);
    DeleteUserKey("Software\\QARN Stand-ins\\QarnCryptoClient");
    SetStandInDword(kClient, "Quiet", 1);
    Run(c.m_nCommand);
    EXPECT_EQ((std::vector<std::string>{CallRecord(c, "3"), "ShowStatusReport|" + kPath + "=1;|3|-"}),
              CallRecords(kClient));
  }
}

TEST_F(FileOperationTest, NonZeroResultIsRecordedAsFailure) {
  SetStandInDword(kClient, "Result", 1);
  Run(ID_ENCIPHER);
  EXPECT_EQ((std::map<std::string, bool>{{kPath, false}}), StatusMap);
  EXPECT_EQ("ShowStatusReport|" + kPath + "=0;|4|-", CallRecords(kClient).back());
}

TEST_F(FileOperationTest, CancelledDialogCallsNothingAndLeavesStatusEmpty) {
  StatusMap["C:\\earlier.txt"] = true;
  Run(ID_CREATE_SIGNATURE, "");
  EXPECT_TRUE(StatusMap.empty());
  EXPECT_TRUE(CallRecords(kClient).empty());
  EXPECT_TRUE(m_shell.m_messageBoxes.empty());
}

TEST_F(FileOperationTest, VerificationIgnoresResultAndLeavesStatusAlone) {
  StatusMap["C:\\earlier.txt"] = true;
  SetStandInDword(kClient, "Result", 1);
  Run(ID_VERIFY_SIGNATURE);
  ASSERT_EQ(1u, m_shell.m_fileDialogs.size());
  EXPECT_EQ(Ansi("Выбор файла с электронной цифровой подписью"), m_shell.m_fileDialogs[0].m_strTitle);
  EXPECT_EQ(SignatureFilter(), m_shell.m_fileDialogs[0].m_strFilterList);
  EXPECT_EQ((std::vector<std::string>{"VerifySignature|" + kPath + "|-|-"}), CallRecords(kClient));
  EXPECT_EQ((std::map<std::string, bool>{{"C:\\earlier.txt", true}}), StatusMap);
}

TEST_F(FileOperationTest, ProfileHandedBackByLibraryIsReleasedAfterTheStatusReport) {
  SetStandInDword(kClient, "HandOutProfile", 1);
  Run(ID_CREATE_SIGNATURE);
  EXPECT_EQ((std::vector<std::string>{"CreateNewSignature|" + kPath + "|4|empty",
                                      "ShowStatusReport|" + kPath + "=1;|4|-", "Profile released"}),
            CallRecords(kClient));
}

TEST_F(FileOperationTest, OperationStartedInsideAnotherReusesTheStatusMap) {
  // The inner operation runs while the outer one's dialog is open (as through
  // the library's own windows); the outer report then lists both paths.
  const std::string inner = "C:\\inner.bin";
  m_shell.m_onFileDialog = [this, inner] {
    if (m_shell.m_fileDialogs.size() != 1) return;
    m_shell.m_fileAnswers = {inner, kPath};
    DispatchCommand(ID_ENCIPHER);
  };
  m_shell.m_fileAnswers.clear();
  DispatchCommand(ID_CREATE_SIGNATURE);
  EXPECT_EQ((std::map<std::string, bool>{{inner, true}, {kPath, true}}), StatusMap);
  const std::vector<std::string> calls = CallRecords(kClient);
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ("ShowStatusReport|" + kPath + "=1;" + inner + "=1;|4|-", calls[3]);
}

}  // namespace
}  // namespace agenttest
