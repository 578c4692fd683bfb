// The Installer's product-line and product methods through COM: their logs
// byte for byte, their results, and what they leave in the registry and the
// metabase.
#include <windows.h>
#include <iiscnfg.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "InstallerTestSupport.h"

namespace {

const char kLineInstalled[] =
    "Create virtual folder /Vesmoro\tSuccess\n"
    "Install Qarn Vesmoro Property Page\tSuccess\n";
const char kLineRemoved[] =
    "Delete virtual folder /Vesmoro\tSuccess\n"
    "Remove Qarn Vesmoro Property Page\tSuccess\n";
const char kRemovedMarker[] = "prop \"LM/W3SVC/1\" 66000 attr=1 utype=100 DWORD 4294967295\n";
constexpr long kProduct00 = 0;
constexpr long kProduct09 = 9;
constexpr long kMembership = 5;
constexpr long kKestro = 8;

std::string Without(std::string text, const std::string& line) {
  const size_t place = text.find(line);
  if (place != std::string::npos) text.erase(place, line.size());
  return text;
}

long IsVesmoroInstalled(IInstaller* installer, const wchar_t* instance) {
  long installed = -1;
  qcom::CBstr site(instance);
  EXPECT_EQ(S_OK, installer->IsVesmoroInstalled(site.Get(), &installed));
  return installed;
}

long IsProductInstalled(IInstaller* installer, long code, const wchar_t* instance) {
  long installed = -1;
  qcom::CBstr site(instance);
  EXPECT_EQ(S_OK, installer->IsProductInstalled(static_cast<ProductType>(code), site.Get(), &installed));
  return installed;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// --- the product line -------------------------------------------------------------------

TEST_F(InstallerTest, InstallingTheLineMakesTheVirtualFolderAndTheMarker) {
  EXPECT_EQ(kLineInstalled, InstallVesmoro(L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(1, IsVesmoroInstalled(m_installer.Get(), L"1"));
  EXPECT_EQ(0, IsVesmoroInstalled(m_installer.Get(), L"3"));

  const std::string dump = Dump();
  EXPECT_NE(std::string::npos, dump.find("key \"LM/W3SVC/1/Root/Vesmoro\"\n"
                                         "prop \"LM/W3SVC/1/Root/Vesmoro\" 1002 attr=0 utype=1 STRING "
                                         "\"IIsWebVirtualDir\"\n"
                                         "prop \"LM/W3SVC/1/Root/Vesmoro\" 3001 attr=1 utype=2 STRING"))
      << dump;
  EXPECT_NE(std::string::npos, dump.find("prop \"LM/W3SVC/1/Root/Vesmoro\" 6005 attr=1 utype=2 DWORD 1073741886\n"
                                         "prop \"LM/W3SVC/1/Root/Vesmoro\" 6016 attr=1 utype=2 DWORD 513\n"));
  EXPECT_NE(std::string::npos, dump.find("prop \"LM/W3SVC/1\" 66000 attr=1 utype=100 DWORD 1\n"));
  std::wstring folder;
  ASSERT_EQ(S_OK, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Root/Vesmoro", MD_VR_PATH, &folder));
  EXPECT_EQ(Lower(qcom::AnsiToWide(m_applicationPath) + L"\\Applications"), Lower(folder));
}

TEST_F(InstallerTest, TheInstallPathIsCanonicalised) {
  SetInstallPath(m_applicationPath + "\\.\\missing\\..");
  EXPECT_EQ(kLineInstalled, InstallVesmoro(L"1"));
  std::wstring folder;
  ASSERT_EQ(S_OK, GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Root/Vesmoro", MD_VR_PATH, &folder));
  EXPECT_EQ(Lower(qcom::AnsiToWide(m_applicationPath) + L"\\Applications"), Lower(folder));
}

TEST_F(InstallerTest, AnEmptyInstanceMeansTheLowestNumberedSite) {
  EXPECT_EQ(kLineInstalled, InstallVesmoro(L""));
  EXPECT_EQ(1, IsVesmoroInstalled(m_installer.Get(), L"1"));
  EXPECT_EQ(1, IsVesmoroInstalled(m_installer.Get(), nullptr));
}

TEST_F(InstallerTest, InstallingTwiceChangesNothingMore) {
  InstallVesmoro(L"1");
  const std::string once = Dump();
  EXPECT_EQ(kLineInstalled, InstallVesmoro(L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(once, Dump());
}

TEST_F(InstallerTest, UninstallingTheLineLeavesOnlyTheRemovedMarker) {
  const std::string before = Dump();
  InstallVesmoro(L"1");
  EXPECT_EQ(kLineRemoved, UnInstallVesmoro(L"1"));
  EXPECT_EQ(1, m_result);
  const std::string after = Dump();
  EXPECT_NE(std::string::npos, after.find(kRemovedMarker));
  EXPECT_EQ(before, Without(after, kRemovedMarker));
  EXPECT_EQ(0, IsVesmoroInstalled(m_installer.Get(), L"1"));
  // Again, with nothing there: the folder counts as deleted.
  EXPECT_EQ(kLineRemoved, UnInstallVesmoro(L"1"));
  EXPECT_EQ(after, Dump());
}

TEST_F(InstallerTest, UninstallingTheLineTakesItsProductsOffFirst) {
  AddProductKey("QarnProduct00");
  AddProductKey("QarnProduct09");
  AddProductKey("QarnProduct01");
  InstallProduct(kProduct09, L"1");
  InstallProduct(kProduct00, L"1");
  EXPECT_EQ(std::string("Uninstall Qarn Product 00\tSuccess\n"
                        "Uninstall Qarn Product 09\tSuccess\n") +
                kLineRemoved,
            UnInstallVesmoro(L"1"));
  EXPECT_EQ("", SiteValue("QarnProduct00", "1"));
  EXPECT_EQ("", SiteValue("QarnProduct09", "1"));
}

TEST_F(InstallerTest, AFailedStepIsLoggedWithTheSystemsMessageOnOneLine) {
  SetInstallPath(m_applicationPath + "\\does-not-exist");
  const std::string log = InstallVesmoro(L"1");
  EXPECT_EQ(0, m_result);
  // The system's text ends with CR LF; both become spaces.
  EXPECT_TRUE(std::regex_match(log, std::regex("Get Application Path\tFailed\\. [^\r\n]+  \n"))) << log;
  EXPECT_EQ(0, IsVesmoroInstalled(m_installer.Get(), L"1"));
}

TEST_F(InstallerTest, AMissingSiteFailsAtTheFolderAndChangesNothing) {
  const std::string before = Dump();
  const std::string log = InstallVesmoro(L"7");
  EXPECT_EQ(0, m_result);
  EXPECT_EQ(0u, log.find("Create virtual folder /Vesmoro\tFailed. ")) << log;
  EXPECT_EQ(before, Dump());
}

// --- products ---------------------------------------------------------------------------------

TEST_F(InstallerTest, InstallingAProductInstallsTheLineFirstAndRecordsTheDate) {
  AddProductKey("QarnProduct00");
  EXPECT_EQ(std::string(kLineInstalled) + "Install Qarn Product 00\tSuccess\n", InstallProduct(kProduct00, L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_TRUE(std::regex_match(SiteValue("QarnProduct00", "1"), std::regex("\\d\\d\\.\\d\\d\\.\\d{4}")));
  EXPECT_EQ(1, IsProductInstalled(m_installer.Get(), kProduct00, L"1"));
  // With the line in place only the product's own line follows.
  AddProductKey("QarnProduct09");
  EXPECT_EQ("Install Qarn Product 09\tSuccess\n", InstallProduct(kProduct09, L""));
  EXPECT_EQ(1, IsProductInstalled(m_installer.Get(), kProduct09, L"1"));
}

TEST_F(InstallerTest, AProductWithoutItsSetupKeyIsNotInstalled) {
  const std::string before = Dump();
  EXPECT_EQ("Install Qarn Product 00\tFailed. Product is not installed on the Server\n",
            InstallProduct(kProduct00, L"1"));
  EXPECT_EQ(0, m_result);
  EXPECT_EQ(before, Dump());
}

TEST_F(InstallerTest, AnUnknownProductCodeIsRefusedInTheLog) {
  EXPECT_EQ("Install product\tFailed. Incorrect Product Type\n", InstallProduct(20, L"1"));
  EXPECT_EQ(0, m_result);
  EXPECT_EQ("Uninstall product\tFailed. Incorrect Product Type\n", UnInstallProduct(-1, L"1"));
  EXPECT_EQ(0, m_result);
}

TEST_F(InstallerTest, UninstallingSucceedsWhenThereIsNothingToRemove) {
  EXPECT_EQ("Uninstall Qarn Product 00\tSuccess\n", UnInstallProduct(kProduct00, L"1"));  // no setup key
  EXPECT_EQ(1, m_result);
  AddProductKey("QarnProduct00");
  EXPECT_EQ("Uninstall Qarn Product 00\tSuccess\n", UnInstallProduct(kProduct00, L"1"));  // no per-site value
  EXPECT_EQ(1, m_result);
}

TEST_F(InstallerTest, TheLowestSiteAnswersForAnEmptyInstance) {
  AddProductKey("QarnProduct00");
  SetSiteValue("QarnProduct00", "3", "01.02.2026");
  EXPECT_EQ(0, IsProductInstalled(m_installer.Get(), kProduct00, L""));
  EXPECT_EQ(1, IsProductInstalled(m_installer.Get(), kProduct00, L"3"));
  SetSiteValue("QarnProduct00", "1", "");
  EXPECT_EQ(0, IsProductInstalled(m_installer.Get(), kProduct00, L""));  // an empty date is no installation
  SetSiteValue("QarnProduct00", "1", "01.02.2026");
  EXPECT_EQ(1, IsProductInstalled(m_installer.Get(), kProduct00, L""));
  EXPECT_EQ(0, IsProductInstalled(m_installer.Get(), kProduct09, L"1"));  // no setup key
}

TEST_F(InstallerTest, TheServersBuildComesFromTheSetupKey) {
  qcom::CVariant build;
  long installed = -1;
  EXPECT_EQ(S_OK, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(kProduct00), build.Put(), &installed));
  EXPECT_EQ(0, installed);
  EXPECT_EQ("", LogOf(build.Get()));
  AddProductKey("QarnProduct00", "2.5.0.17");
  EXPECT_EQ(S_OK, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(kProduct00), build.Put(), &installed));
  EXPECT_EQ(1, installed);
  EXPECT_EQ("2.5.0.17", LogOf(build.Get()));
  AddProductKey("QarnProduct09", nullptr);
  EXPECT_EQ(S_OK, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(kProduct09), build.Put(), &installed));
  EXPECT_EQ(1, installed);
  EXPECT_EQ("", LogOf(build.Get()));
}

TEST_F(InstallerTest, QueriesOfAnUnknownProductFailWithErrorInformation) {
  long installed = -1;
  EXPECT_EQ(E_FAIL, m_installer->IsProductInstalled(static_cast<ProductType>(20), nullptr, &installed));
  EXPECT_EQ(0, installed);
  qcom::CComPtr<IErrorInfo> info;
  ASSERT_EQ(S_OK, ::GetErrorInfo(0, info.Put()));
  qcom::CBstr description;
  info->GetDescription(description.Put());
  EXPECT_STREQ(L"Incorrect Product Type", description.Get());
  qcom::CVariant build;
  EXPECT_EQ(E_FAIL, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(-5), build.Put(), &installed));
  EXPECT_EQ(VT_EMPTY, build.Get().vt);
}

TEST_F(InstallerTest, NullOutPointersChangeNothing) {
  AddProductKey("QarnProduct00");
  const std::string before = Dump();
  qcom::CBstr site(L"1");
  qcom::CVariant log;
  long result = 0;
  EXPECT_EQ(E_POINTER, m_installer->InstallVesmoro(site.Get(), nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->InstallVesmoro(site.Get(), log.Put(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->UnInstallVesmoro(site.Get(), nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->InstallProduct(static_cast<ProductType>(kProduct00), site.Get(), nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->UnInstallProduct(static_cast<ProductType>(kProduct00), site.Get(), log.Put(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->IsVesmoroInstalled(site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->IsProductInstalled(static_cast<ProductType>(kProduct00), site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(kProduct00), nullptr, &result));
  EXPECT_EQ(before, Dump());
  EXPECT_EQ("", SiteValue("QarnProduct00", "1"));
}

TEST_F(InstallerTest, OddInstancesAreRefusedByTheMetabaseNotByACrash) {
  const std::string before = Dump();
  const std::wstring huge(1 << 20, L'9');
  EXPECT_EQ(0u, InstallVesmoro(huge.c_str()).find("Create virtual folder /Vesmoro\tFailed. "));
  EXPECT_EQ(0, m_result);
  const wchar_t withNul[] = {L'1', L'\0', L'3', L'\0'};
  qcom::CBstr odd;
  odd.Attach(::SysAllocStringLen(withNul, 3));
  long installed = -1;
  EXPECT_EQ(S_OK, m_installer->IsVesmoroInstalled(odd.Get(), &installed));
  EXPECT_EQ(0, installed);
  EXPECT_EQ(0u, InstallVesmoro(L"\u0416\u00e9").find("Create virtual folder /Vesmoro\tFailed. "));
  EXPECT_EQ(before, Dump());
}

// --- the maker's filter on uninstall ---------------------------------------------------------

class FilterRemoval : public InstallerTest, public ::testing::WithParamInterface<std::pair<long, long>> {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    AddProductKey("QarnMembership");
    AddProductKey("QarnKestro");
    SetSiteValue("QarnMembership", "1", "01.02.2026");
    SetSiteValue("QarnKestro", "1", "01.02.2026");
    ASSERT_EQ(0u, RunTool(L"set LM/W3SVC/1/Filters 2040 string \"A,Qarn Filter,B\"").exitCode);
    ASSERT_EQ(0u, RunTool(L"set \"LM/W3SVC/1/Filters/Qarn Filter\" 2041 string C:\\Bin\\qarnfilter.dll").exitCode);
  }
};

std::string FilterAndProductLines(long code) {
  return std::string("Remove ISAPI Filter \"Qarn Filter\"\tSuccess\nUninstall ") +
         (code == kMembership ? "Qarn Membership" : "Qarn Kestro 1.0") + "\tSuccess\n";
}

TEST_P(FilterRemoval, BothProductsGoInEitherOrderAndAgain) {
  const auto [first, second] = GetParam();
  EXPECT_EQ(FilterAndProductLines(first), UnInstallProduct(first, L"1"));
  EXPECT_EQ(1, m_result);
  const std::string dump = Dump();
  EXPECT_NE(std::string::npos, dump.find("prop \"LM/W3SVC/1/Filters\" 2040 attr=0 utype=1 STRING \"A,B\"\n"));
  EXPECT_EQ(std::string::npos, dump.find("Qarn Filter"));
  // The filter is already gone for the second product: it counts as removed.
  EXPECT_EQ(FilterAndProductLines(second), UnInstallProduct(second, L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(FilterAndProductLines(first), UnInstallProduct(first, L""));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ("", SiteValue("QarnMembership", "1"));
  EXPECT_EQ("", SiteValue("QarnKestro", "1"));
  EXPECT_EQ(dump, Dump());
}

INSTANTIATE_TEST_SUITE_P(Orders, FilterRemoval,
                         ::testing::Values(std::make_pair(kMembership, kKestro), std::make_pair(kKestro, kMembership)));

TEST_F(FilterRemoval, UninstallingTheLineTakesBothProductsAndTheFilter) {
  InstallVesmoro(L"1");
  EXPECT_EQ(FilterAndProductLines(kMembership) + FilterAndProductLines(kKestro) + kLineRemoved,
            UnInstallVesmoro(L"1"));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(0, IsProductInstalled(m_installer.Get(), kMembership, L"1"));
  EXPECT_EQ(0, IsProductInstalled(m_installer.Get(), kKestro, L"1"));
}

}  // namespace
