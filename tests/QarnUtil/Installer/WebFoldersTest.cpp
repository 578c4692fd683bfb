// The installer's web-server building blocks against the stand-in metabase
// and the stand-in filter libraries: filters installed, replaced, removed
// and checked; the private folders with their access file; the rename walk.
// This test build sets the platform flag itself, so the old platform's road
// (filter libraries copied next to the product) runs too.
#include <windows.h>
#include <iiscnfg.h>

#include <gtest/gtest.h>

#include <string>

#include "ACL.h"
#include "MDKey.h"
#include "MetabaseStandIn.h"
#include "MetabaseTestSupport.h"
#include "PlatformFlag.h"
#include "TempFolder.h"
#include "WebFolders.h"


namespace {

using qarnutil::CMDKey;

constexpr HRESULT kProcNotFound = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
constexpr HRESULT kModuleNotFound = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
constexpr HRESULT kInvalidFunction = HRESULT_FROM_WIN32(ERROR_INVALID_FUNCTION);

void WriteFile(const std::string& path, const char* text = "x") {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  DWORD written = 0;
  ::WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  ::CloseHandle(file);
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Wide(const std::string& text) { return qcom::AnsiToWide(text); }

class WebFoldersTest : public MetabaseTest {
 protected:
  void SetUp() override {
    MetabaseTest::SetUp();
    m_root = qtest::NewTempFolder("qarn-site");
    m_application = qtest::NewTempFolder("qarn-app");
    ::CreateDirectoryA((m_application + "\\Bin").c_str(), nullptr);
    char filters[MAX_PATH] = {};
    ::GetEnvironmentVariableA("QARN_FILTER_DIR", filters, MAX_PATH);
    for (const char* library : {"qarnfilter.dll", "kx_auth.dll", "kx_uuid.dll", "no_entry_filter.dll",
                                "refusing_filter.dll"}) {
      ASSERT_TRUE(::CopyFileA((std::string(filters) + "\\" + library).c_str(),
                              (m_application + "\\Bin\\" + library).c_str(), FALSE))
          << library;
    }
    ASSERT_EQ(0u, RunTool(L"seed --root \"1=" + Wide(m_root) + L"\"").exitCode);
    ASSERT_EQ(0u, RunTool(L"add LM/W3SVC/1/Filters").exitCode);
    ASSERT_EQ(S_OK, m_key._Init(L"1"));
    OpenSite();
  }
  void TearDown() override {
    CloseSite();
    qtest::SetNtAbove4(true);
    EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
    MetabaseTest::TearDown();
  }

  // The site's key held for writing, as the installation holds it; the
  // operations that open the key themselves must run without it.
  void OpenSite() {
    ASSERT_EQ(S_OK, m_key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr,
                                  METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE, &m_site));
  }
  void CloseSite() {
    if (m_site) m_key.CloseKey(m_site);
    m_site = 0;
  }

  void SetLoadOrder(const std::wstring& order) {
    ASSERT_EQ(0u, RunTool(L"set LM/W3SVC/1/Filters 2040 string \"" + order + L"\"").exitCode);
  }
  std::wstring LoadOrder() {
    std::wstring order;
    EXPECT_EQ(S_OK, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", MD_FILTER_LOAD_ORDER, &order));
    return order;
  }
  // A filter key as an earlier installation left it.
  void AddFilterKey(const std::wstring& name, const std::wstring& image) {
    ASSERT_EQ(0u, RunTool(L"set \"LM/W3SVC/1/Filters/" + name + L"\" 2041 string \"" + image + L"\"").exitCode);
  }
  HRESULT Install(const char* library = "qarnfilter.dll") {
    return qarnutil::InstallFilter(m_key, m_site, L"Qarn Filter", library, m_application, m_root);
  }

  std::string m_root;
  std::string m_application;
  CMDKey m_key;
  METADATA_HANDLE m_site = 0;
};

// --- installing and removing ----------------------------------------------------------------

TEST_F(WebFoldersTest, AnInstalledFilterLoadsLastWithItsFlagsAndLibrary) {
  SetLoadOrder(L"A,B");
  ASSERT_EQ(S_OK, Install());
  EXPECT_EQ(L"A,B,Qarn Filter", LoadOrder());
  const std::string dump = Dump();
  EXPECT_NE(std::string::npos,
            dump.find("prop \"LM/W3SVC/1/Filters/Qarn Filter\" 1002 attr=0 utype=1 STRING \"IIsFilter\"\n"
                      "prop \"LM/W3SVC/1/Filters/Qarn Filter\" 2041 attr=0 utype=1 STRING"))
      << dump;
  EXPECT_NE(std::string::npos, dump.find("prop \"LM/W3SVC/1/Filters/Qarn Filter\" 2044 attr=0 utype=1 DWORD 524288\n"));
  std::wstring image;
  ASSERT_EQ(S_OK, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters/Qarn Filter", MD_FILTER_IMAGE_PATH, &image));
  EXPECT_EQ(Wide(m_application + "\\Bin\\qarnfilter.dll"), image);
}

TEST_F(WebFoldersTest, AFirstFilterIsTheWholeLoadOrder) {
  ASSERT_EQ(S_OK, Install());
  EXPECT_EQ(L"Qarn Filter", LoadOrder());
}

TEST_F(WebFoldersTest, InstallingAgainAnswersAlreadyThereAndLeavesTheOrder) {
  ASSERT_EQ(S_OK, Install());
  SetLoadOrder(L"Qarn Filter,Z");
  EXPECT_EQ(S_FALSE, Install());
  EXPECT_EQ(L"Qarn Filter,Z", LoadOrder());
}

struct CBadLibrary {
  const char* library;
  HRESULT result;
};

class BadFilterLibrary : public WebFoldersTest, public ::testing::WithParamInterface<CBadLibrary> {};

TEST_P(BadFilterLibrary, FailsWithItsOwnErrorBeforeAnythingIsWritten) {
  SetLoadOrder(L"A");
  const std::string before = Dump();
  EXPECT_EQ(GetParam().result, Install(GetParam().library));
  EXPECT_EQ(before, Dump());
}

INSTANTIATE_TEST_SUITE_P(Libraries, BadFilterLibrary,
                         ::testing::Values(CBadLibrary{"no_entry_filter.dll", kProcNotFound},
                                           CBadLibrary{"refusing_filter.dll", kInvalidFunction},
                                           CBadLibrary{"missing.dll", kModuleNotFound}));

TEST_F(WebFoldersTest, RemovingTakesEveryExactEntryOutOfTheOrder) {
  ASSERT_EQ(S_OK, Install());
  SetLoadOrder(L"A,Qarn Filter,B");
  EXPECT_EQ(S_OK, qarnutil::RemoveFilter(m_key, m_site, L"Qarn Filter"));
  EXPECT_EQ(L"A,B", LoadOrder());
  EXPECT_EQ(std::string::npos, Dump().find("Filters/Qarn Filter"));
  ASSERT_EQ(S_OK, Install());
  SetLoadOrder(L"Qarn Filter");
  CloseSite();
  EXPECT_EQ(S_OK, qarnutil::RemoveFilter(m_key, 0, L"Qarn Filter"));
  EXPECT_EQ(L"", LoadOrder());
  OpenSite();
  EXPECT_EQ(qarnutil::kMetabasePathNotFound, qarnutil::RemoveFilter(m_key, m_site, L"Qarn Filter"));
}

TEST_F(WebFoldersTest, TheOldPlatformLoadsTheFilterFromThePrivateFolder) {
  qtest::SetNtAbove4(false);
  ::CreateDirectoryA((m_root + "\\_vesmoro").c_str(), nullptr);
  ASSERT_EQ(S_OK, Install());
  const std::string copy = m_root + "\\_vesmoro\\qarnfilter.dll";
  EXPECT_TRUE(Exists(copy));
  std::wstring image;
  ASSERT_EQ(S_OK, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters/Qarn Filter", MD_FILTER_IMAGE_PATH, &image));
  EXPECT_EQ(Wide(copy), image);
  EXPECT_EQ(S_OK, qarnutil::RemoveFilter(m_key, m_site, L"Qarn Filter"));
  EXPECT_FALSE(Exists(copy));
}

// --- replacing ----------------------------------------------------------------------------------

TEST_F(WebFoldersTest, ReplacingRemovesTheMakersFiltersByLibraryOrNameThenInstalls) {
  AddFilterKey(L"old", L"C:\\X\\KX_AUTH.DLL");
  AddFilterKey(L"Qarn Filter", L"D:\\anything.dll");
  AddFilterKey(L"Other", L"C:\\X\\other.dll");
  AddFilterKey(L"bare", L"kx_uuid.dll");  // no longer than the library name: not matched
  SetLoadOrder(L"old,bare,Other,Qarn Filter");
  std::string log;
  EXPECT_EQ(S_OK, qarnutil::ReplaceFilters(m_key, m_site, m_application, m_root, log));
  EXPECT_EQ("Remove ISAPI Filter \"old\"\tSuccess\n"
            "Remove ISAPI Filter \"Qarn Filter\"\tSuccess\n"
            "Install ISAPI Filter \"Qarn Filter\"\tSuccess\n",
            log);
  EXPECT_EQ(L"bare,Other,Qarn Filter", LoadOrder());
  const std::string dump = Dump();
  EXPECT_EQ(std::string::npos, dump.find("Filters/old\""));
  EXPECT_NE(std::string::npos, dump.find("Filters/Other\""));
}

TEST_F(WebFoldersTest, ReplacingTwiceKeepsOneEntryAndTheOthersInPlace) {
  SetLoadOrder(L"A,B");
  std::string log;
  ASSERT_EQ(S_OK, qarnutil::ReplaceFilters(m_key, m_site, m_application, m_root, log));
  SetLoadOrder(L"A,Qarn Filter,B");
  log.clear();
  ASSERT_EQ(S_OK, qarnutil::ReplaceFilters(m_key, m_site, m_application, m_root, log));
  EXPECT_EQ("Remove ISAPI Filter \"Qarn Filter\"\tSuccess\nInstall ISAPI Filter \"Qarn Filter\"\tSuccess\n", log);
  EXPECT_EQ(L"A,B,Qarn Filter", LoadOrder());
}

TEST_F(WebFoldersTest, AHandWrittenOrderWithSpacesLosesNothing) {
  AddFilterKey(L"Qarn Filter", L"D:\\qarnfilter.dll");
  SetLoadOrder(L"A, Qarn Filter ,B");
  std::string log;
  ASSERT_EQ(S_OK, qarnutil::ReplaceFilters(m_key, m_site, m_application, m_root, log));
  // Pieces are names exactly as written: the spaced one is not the
  // filter's, so it stays and the filter is appended once.
  EXPECT_EQ(L"A, Qarn Filter ,B,Qarn Filter", LoadOrder());
}

TEST_F(WebFoldersTest, AFailingInstallationIsTheReplacementsResult) {
  ::DeleteFileA((m_application + "\\Bin\\qarnfilter.dll").c_str());
  std::string log;
  EXPECT_EQ(kModuleNotFound, qarnutil::ReplaceFilters(m_key, m_site, m_application, m_root, log));
  EXPECT_EQ(0u, log.find("Install ISAPI Filter \"Qarn Filter\"\tFailed. ")) << log;
}

// --- checking -------------------------------------------------------------------------------------

TEST_F(WebFoldersTest, CheckingTellsWhyAFilterWouldNotRun) {
  CloseSite();  // the check opens the site's key for each read
  std::string info;
  bool ok = true;
  EXPECT_EQ(S_OK, qarnutil::CheckFilter(m_key, L"Qarn Filter", info, ok));
  EXPECT_FALSE(ok);
  EXPECT_EQ("QarnFilter not installed.", info);

  SetLoadOrder(L"Qarn Filter");  // in the order, but without its key
  EXPECT_EQ(S_OK, qarnutil::CheckFilter(m_key, L"Qarn Filter", info, ok));
  EXPECT_EQ("QarnFilter not installed.", info);

  OpenSite();
  ASSERT_EQ(S_OK, Install());
  CloseSite();
  EXPECT_EQ(S_OK, qarnutil::CheckFilter(m_key, L"Qarn Filter", info, ok));
  EXPECT_TRUE(ok);
  EXPECT_EQ("", info);

  AddFilterKey(L"Qarn Filter", Wide(m_application + "\\Bin\\refusing_filter.dll"));
  EXPECT_EQ(S_OK, qarnutil::CheckFilter(m_key, L"Qarn Filter", info, ok));
  EXPECT_FALSE(ok);
  EXPECT_FALSE(info.empty());
}

// --- folders --------------------------------------------------------------------------------------

TEST_F(WebFoldersTest, ThePrivateFolderDeniesEveryFile) {
  std::string log;
  ASSERT_EQ(S_OK, qarnutil::CreateVesmoroFolder("1", m_root, "", log));
  EXPECT_EQ("Create folder /_vesmoro\tSuccess\nCreate /_vesmoro/ACL_file\tSuccess\n", log);
  // As the run-time sees a page of the folder.
  CACL acl;
  int found = 0;
  ASSERT_EQ(S_OK, acl.Load("1", m_root.c_str(), "", m_root.c_str(), (m_root + "\\_vesmoro\\page.asp").c_str(), "",
                           "/_vesmoro/page.asp", &found));
  EXPECT_EQ(1, found);
  EXPECT_EQ(std::vector<std::string>({"*.*"}), acl.m_DenyAccess);
  log.clear();
  ASSERT_EQ(S_OK, qarnutil::CreateVesmoroFolder("1", m_root, "", log));
  EXPECT_EQ("Create folder /_vesmoro\tAlready exists or installed\nCreate /_vesmoro/ACL_file\tSuccess\n", log);
}

TEST_F(WebFoldersTest, TheHomeFoldersComeWithThePrivateOne) {
  ::CreateDirectoryA((m_root + "\\_home").c_str(), nullptr);
  std::string log;
  ASSERT_EQ(S_OK, qarnutil::CreateHomeFolders("1", m_root, "", log));
  EXPECT_EQ("Create folder /_vesmoro\tSuccess\n"
            "Create folder /_home\tAlready exists or installed\n"
            "Create folder /_home/_public\tSuccess\n"
            "Create /_vesmoro/ACL_file\tSuccess\n",
            log);
  EXPECT_TRUE(Exists(m_root + "\\_home\\_public"));
}

TEST_F(WebFoldersTest, AFolderThatCannotBeMadeStopsWithItsLine) {
  std::string log;
  const HRESULT hr = qarnutil::CreateHomeFolders("1", m_root + "\\missing\\deeper", "", log);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), hr);
  EXPECT_EQ(0u, log.find("Create folder /_vesmoro\tFailed. ")) << log;
  EXPECT_EQ(std::string::npos, log.find("\n", log.find("\n") + 1)) << "one line only: " << log;
}

// --- the rename walk --------------------------------------------------------------------------------

TEST_F(WebFoldersTest, RenamingVisitsEveryFolderAndMappedVirtualFolderOnce) {
  const std::string outside = qtest::NewTempFolder("qarn-mapped");
  for (const char* folder : {"\\sub", "\\sub\\deeper", "\\empty"}) ::CreateDirectoryA((m_root + folder).c_str(), nullptr);
  for (const std::string& folder : {m_root, m_root + "\\sub", m_root + "\\sub\\deeper", outside}) {
    WriteFile(folder + "\\.htaccess");
  }
  WriteFile(m_root + "\\sub\\keep.txt");
  // One virtual folder maps outside the root, one back onto the root.
  for (const auto& [name, folder] : {std::make_pair(L"mapped", outside), std::make_pair(L"loop", m_root)}) {
    const std::wstring key = std::wstring(L"\"LM/W3SVC/1/Root/") + name + L"\"";
    ASSERT_EQ(0u, RunTool(L"set " + key + L" 1002 string IIsWebVirtualDir").exitCode);
    ASSERT_EQ(0u, RunTool(L"set " + key + L" 3001 string \"" + Wide(folder) + L"\" --utype 2").exitCode);
  }
  long counter = 0;
  qarnutil::RenameConfigFiles(m_key, m_site, L"", m_root, ".htaccess", "access.cfg", counter);
  EXPECT_EQ(4, counter);
  for (const std::string& folder : {m_root, m_root + "\\sub", m_root + "\\sub\\deeper", outside}) {
    EXPECT_TRUE(Exists(folder + "\\access.cfg")) << folder;
    EXPECT_FALSE(Exists(folder + "\\.htaccess")) << folder;
  }
  EXPECT_TRUE(Exists(m_root + "\\sub\\keep.txt"));
}

}  // namespace
