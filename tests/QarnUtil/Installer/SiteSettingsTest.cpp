// The per-site settings through COM: what each setter writes or deletes in
// HKLM "SOFTWARE\QARN Vesmoro\Config\<instance>", its log line, what the
// getters read back, and the rename of the access files.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "InstallerTestSupport.h"
#include "SettingsTestSupport.h"

namespace {

using SetNumberMethod = HRESULT (STDMETHODCALLTYPE IInstaller::*)(BSTR, long, VARIANT*, long*);
using GetNumberMethod = HRESULT (STDMETHODCALLTYPE IInstaller::*)(BSTR, long*);

class SiteSettingsTest : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ClearSettings();
  }
  void TearDown() override {
    ClearSettings();
    InstallerTest::TearDown();
  }

  std::string SetNumber(SetNumberMethod method, const wchar_t* instance, long value) {
    qcom::CBstr site(instance);
    qcom::CVariant log;
    m_result = -1;
    EXPECT_EQ(S_OK, (m_installer.Get()->*method)(site.Get(), value, log.Put(), &m_result));
    return LogOf(log.Get());
  }
  long GetNumber(GetNumberMethod method, const wchar_t* instance) {
    qcom::CBstr site(instance);
    long value = -1;
    EXPECT_EQ(S_OK, (m_installer.Get()->*method)(site.Get(), &value));
    return value;
  }
  std::string SetConfigFileName(const wchar_t* instance, const wchar_t* name, long rename) {
    qcom::CBstr site(instance), text(name);
    qcom::CVariant log;
    m_result = -1;
    EXPECT_EQ(S_OK, m_installer->SetConfigFileName(site.Get(), text.Get(), rename, log.Put(), &m_result));
    return LogOf(log.Get());
  }
  std::string GetConfigFileName(const wchar_t* instance) {
    qcom::CBstr site(instance), name;
    EXPECT_EQ(S_OK, m_installer->GetConfigFileName(site.Get(), name.Put()));
    return qcom::BstrToAnsi(name.Get());
  }
  std::string GetAccessProtectedFilesAs(const wchar_t* instance) {
    qcom::CBstr site(instance), identity;
    EXPECT_EQ(S_OK, m_installer->GetAccessProtectedFilesAs(site.Get(), identity.Put()));
    return qcom::BstrToAnsi(identity.Get());
  }
};

const SetNumberMethod kSetDiskQuota = &IInstaller::SetDiskQuota;
const SetNumberMethod kSetDenyPhysicalPath = &IInstaller::SetDenyPhysicalPath;
const SetNumberMethod kSetFreeAsAnonymous = &IInstaller::SetAccessFreeFilesAsAnonymous;
const GetNumberMethod kGetDiskQuota = &IInstaller::GetDiskQuota;
const GetNumberMethod kGetDenyPhysicalPath = &IInstaller::GetDenyPhysicalPath;
const GetNumberMethod kGetFreeAsAnonymous = &IInstaller::GetAccessFreeFilesAsAnonymous;

void WriteFile(const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << "AuthName test\n";
}

TEST_F(SiteSettingsTest, UnsetSettingsReadAsTheRunTimeDefaults) {
  EXPECT_EQ(".htaccess", GetConfigFileName(L"1"));
  EXPECT_EQ("", GetAccessProtectedFilesAs(L"1"));
  EXPECT_EQ(1, GetNumber(kGetFreeAsAnonymous, L"1"));
  EXPECT_EQ(0, GetNumber(kGetDiskQuota, L"1"));
  EXPECT_EQ(0, GetNumber(kGetDenyPhysicalPath, L"1"));
}

TEST_F(SiteSettingsTest, EachSetterWritesItsValueWithOneLine) {
  qcom::CBstr site(L"1"), identity(L"dom\\web:pw");
  qcom::CVariant log;
  EXPECT_EQ(S_OK, m_installer->SetAccessProtectedFilesAs(site.Get(), identity.Get(), log.Put(), &m_result));
  EXPECT_EQ("Set Access Protected Files As\tSuccess\n", LogOf(log.Get()));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(StringValue("dom\\web:pw"), SettingValue("1", "AccessProtectedFilesAs"));
  EXPECT_EQ("dom\\web:pw", GetAccessProtectedFilesAs(L"1"));

  EXPECT_EQ("Set Access Free Files As Anonymous\tSuccess\n", SetNumber(kSetFreeAsAnonymous, L"1", 0));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(NumberValue(0), SettingValue("1", "AccessFreeFilesAsAnonymous"));
  EXPECT_EQ(0, GetNumber(kGetFreeAsAnonymous, L"1"));

  EXPECT_EQ("Set Disk Quota\tSuccess\n", SetNumber(kSetDiskQuota, L"1", 1000));
  EXPECT_EQ(NumberValue(1000), SettingValue("1", "DiskQuota"));
  EXPECT_EQ(1000, GetNumber(kGetDiskQuota, L"1"));

  EXPECT_EQ("Set new configuration file name\tSuccess\n", SetConfigFileName(L"1", L".acl", 0));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(StringValue(".acl"), SettingValue("1", nullptr));
  EXPECT_EQ(".acl", GetConfigFileName(L"1"));
  // The other site keeps its defaults.
  EXPECT_EQ(".htaccess", GetConfigFileName(L"3"));
  EXPECT_EQ(0, GetNumber(kGetDiskQuota, L"3"));
}

TEST_F(SiteSettingsTest, DenyPhysicalPathIsStoredAsGivenButOnlyOneDenies) {
  EXPECT_EQ("Set Deny Physical Path\tSuccess\n", SetNumber(kSetDenyPhysicalPath, L"1", 5));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(NumberValue(5), SettingValue("1", "DenyPhysicalPath"));
  EXPECT_EQ(0, GetNumber(kGetDenyPhysicalPath, L"1"));
  SetNumber(kSetDenyPhysicalPath, L"1", 1);
  EXPECT_EQ(1, GetNumber(kGetDenyPhysicalPath, L"1"));
  EXPECT_EQ("Set Deny Physical Path\tSuccess\n", SetNumber(kSetDenyPhysicalPath, L"1", 0));
  EXPECT_EQ(NoValue(), SettingValue("1", "DenyPhysicalPath"));
}

TEST_F(SiteSettingsTest, RemovingAnUnsetQuotaFailsWithTheSystemsFileNotFoundText) {
  EXPECT_EQ("Set Disk Quota\tFailed. " + SystemText(ERROR_FILE_NOT_FOUND) + "\n", SetNumber(kSetDiskQuota, L"1", 0));
  EXPECT_EQ(0, m_result);
  SetNumber(kSetDiskQuota, L"1", 20);
  // Any quota below 1 removes the limit.
  EXPECT_EQ("Set Disk Quota\tSuccess\n", SetNumber(kSetDiskQuota, L"1", -1));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(NoValue(), SettingValue("1", "DiskQuota"));
  EXPECT_EQ(0, GetNumber(kGetDiskQuota, L"1"));
}

TEST_F(SiteSettingsTest, AnEmptyInstanceSetsTheNameEverySiteFollows) {
  EXPECT_EQ("Set new configuration file name\tSuccess\n", SetConfigFileName(L"", L"site.acl", 0));
  EXPECT_EQ(StringValue("site.acl"), SettingValue("", nullptr));
  EXPECT_EQ("site.acl", GetConfigFileName(L"3"));
  SetConfigFileName(L"3", L"own.acl", 0);
  EXPECT_EQ("own.acl", GetConfigFileName(L"3"));
}

TEST_F(SiteSettingsTest, NullOutPointersChangeNothing) {
  qcom::CBstr site(L"1"), name(L"x.acl");
  qcom::CVariant log;
  long result = -1;
  EXPECT_EQ(E_POINTER, m_installer->SetConfigFileName(site.Get(), name.Get(), 1, nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->SetConfigFileName(site.Get(), name.Get(), 1, log.Put(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->SetAccessProtectedFilesAs(site.Get(), name.Get(), nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->SetAccessFreeFilesAsAnonymous(site.Get(), 0, log.Put(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->SetDiskQuota(site.Get(), 5, nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->SetDenyPhysicalPath(site.Get(), 5, log.Put(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->CheckQarnMembership(site.Get(), nullptr, &result));
  EXPECT_EQ(E_POINTER, m_installer->GetConfigFileName(site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->GetAccessProtectedFilesAs(site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->GetAccessFreeFilesAsAnonymous(site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->GetDiskQuota(site.Get(), nullptr));
  EXPECT_EQ(E_POINTER, m_installer->GetDenyPhysicalPath(site.Get(), nullptr));
  EXPECT_EQ(-1, result);
  EXPECT_EQ(VT_EMPTY, log.Get().vt);
  EXPECT_FALSE(SettingsKeyExists("1"));
}

TEST_F(SiteSettingsTest, RenameOnASiteThatCannotBeOpenedStillSucceeds) {
  EXPECT_EQ("Set new configuration file name\tSuccess\n"
            "Rename configuration files\tFailed. " + SystemText(ERROR_PATH_NOT_FOUND) + "\n",
            SetConfigFileName(L"7", L".acl", 1));
  EXPECT_EQ(1, m_result);
  EXPECT_EQ(".acl", GetConfigFileName(L"7"));
}

TEST_F(SiteSettingsTest, RenameWalksTheRootAndItsSubfolders) {
  const std::filesystem::path root = NewSiteRoot();
  ASSERT_EQ(0u, RunTool(L"seed --sites 1,3 --root 1=" + root.wstring()).exitCode);
  WriteFile(root / ".htaccess");
  WriteFile(root / "sub" / ".htaccess");
  WriteFile(root / "other" / "page.htm");
  EXPECT_EQ("Set new configuration file name\tSuccess\n"
            "Rename configuration files\tSuccess.  Renamed 2 files\n",
            SetConfigFileName(L"1", L".acl", 1));
  EXPECT_EQ(1, m_result);
  EXPECT_TRUE(std::filesystem::exists(root / ".acl"));
  EXPECT_TRUE(std::filesystem::exists(root / "sub" / ".acl"));
  EXPECT_FALSE(std::filesystem::exists(root / "sub" / ".htaccess"));
  // Without the rename the files stay where they are.
  EXPECT_EQ("Set new configuration file name\tSuccess\n", SetConfigFileName(L"1", L"other.acl", 0));
  EXPECT_TRUE(std::filesystem::exists(root / ".acl"));
  std::filesystem::remove_all(root);
}

}  // namespace
