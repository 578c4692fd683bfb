#include <gtest/gtest.h>

#include "RegistryData.h"
#include "Win32TestSupport.h"

namespace {

const std::string kConfig = "SOFTWARE\\QARN Vesmoro\\Config";
const std::string kSite = kConfig + "\\W3SVC/1";

class RegistryData : public ::testing::Test {
 protected:
  w32test::CRegistrySandbox m_registry;
  CRegistryData m_data;
};

}  // namespace

TEST_F(RegistryData, DefaultsWithoutAnyKey) {
  EXPECT_EQ(m_data.GetConfigFileName(), ".htaccess") << "before Load";
  EXPECT_EQ(m_data.GetAccessFreeFilesAsAnonymous(), 1);
  EXPECT_EQ(m_data.Load("W3SVC/1"), 1);
  EXPECT_EQ(m_data.GetConfigFileName(), ".htaccess");
  EXPECT_EQ(m_data.GetDiskQuota(), 0u);
  EXPECT_EQ(m_data.GetDenyPhysicalPath(), 0);
  EXPECT_EQ(m_data.GetAccessProtectedFilesAs(), "");
  EXPECT_EQ(m_data.GetAccessFreeFilesAsAnonymous(), 1);
}

TEST_F(RegistryData, InstanceValues) {
  m_registry.SetString(kSite, nullptr, "C:\\conf\\site.acl");
  m_registry.SetNumber(kSite, "DiskQuota", 123456);
  m_registry.SetNumber(kSite, "DenyPhysicalPath", 1);
  m_registry.SetString(kSite, "AccessProtectedFilesAs", "dom\\web:pw");
  m_registry.SetNumber(kSite, "AccessFreeFilesAsAnonymous", 0);
  m_registry.SetString(kConfig, nullptr, "ignored.acl");
  m_data.Load("W3SVC/1");
  EXPECT_EQ(m_data.GetConfigFileName(), "C:\\conf\\site.acl");
  EXPECT_EQ(m_data.GetDiskQuota(), 123456u);
  EXPECT_EQ(m_data.GetDenyPhysicalPath(), 1);
  EXPECT_EQ(m_data.GetAccessProtectedFilesAs(), "dom\\web:pw");
  EXPECT_EQ(m_data.GetAccessFreeFilesAsAnonymous(), 0);
}

TEST_F(RegistryData, TypesAreCheckedAndFlagsNeedExactlyOne) {
  m_registry.SetNumber(kSite, "DenyPhysicalPath", 2);
  m_registry.SetString(kSite, "DiskQuota", "100");
  m_registry.SetNumber(kSite, "AccessProtectedFilesAs", 5);
  m_registry.SetNumber(kSite, "AccessFreeFilesAsAnonymous", 7);
  m_data.Load("W3SVC/1");
  EXPECT_EQ(m_data.GetDenyPhysicalPath(), 0);
  EXPECT_EQ(m_data.GetDiskQuota(), 0u);
  EXPECT_EQ(m_data.GetAccessProtectedFilesAs(), "");
  EXPECT_EQ(m_data.GetAccessFreeFilesAsAnonymous(), 0);

  m_registry.SetString(kSite, "DenyPhysicalPath", "1");
  m_data.Load("W3SVC/1");
  EXPECT_EQ(m_data.GetDenyPhysicalPath(), 0);
}

TEST_F(RegistryData, EmptyInstanceNameFallsBackToTheConfigDefault) {
  m_registry.SetString(kSite, nullptr, "");
  m_registry.SetString(kConfig, nullptr, "acl.txt");
  m_data.Load("W3SVC/1");
  EXPECT_EQ(m_data.GetConfigFileName(), "acl.txt");
  m_data.Load(nullptr);
  EXPECT_EQ(m_data.GetConfigFileName(), "acl.txt");
  m_data.Load("W3SVC/2");
  EXPECT_EQ(m_data.GetConfigFileName(), "acl.txt");
}

TEST_F(RegistryData, LongValuesAreReadWhole) {
  const std::string path = "C:\\" + std::string(600, 'd') + "\\site.acl";
  m_registry.SetString(kSite, nullptr, path);
  m_registry.SetString(kSite, "AccessProtectedFilesAs", "dom\\user:" + std::string(400, 'p'));
  m_data.Load("W3SVC/1");
  EXPECT_EQ(m_data.GetConfigFileName(), path);
  EXPECT_EQ(m_data.GetAccessProtectedFilesAs().size(), 409u);
}
