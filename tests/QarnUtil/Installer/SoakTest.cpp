// The library's methods that do work, called over and over in one process:
// its handles and private memory stay flat after the warm-up.
#include <windows.h>

#include <gtest/gtest.h>

#include "InstallerTestSupport.h"
#include "ProcessCounters.h"

namespace {

constexpr int kCalls = 10000;
// Each metabase opening of the stand-in reads its file again; the queries
// that open a site are slower than the rest.
constexpr int kSiteCalls = 2000;

TEST(Soak, GenGuid) {
  CLSID guidClass = GUID_NULL;
  ASSERT_HRESULT_SUCCEEDED(::CLSIDFromProgID(L"QarnUtil.GUID", &guidClass));
  qcom::CComPtr<IGUID> guid;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(guidClass, nullptr, CLSCTX_INPROC_SERVER, IID_IGUID, guid.PutVoid()));
  qtest::ExpectFlatUnderLoad("GenGUID", 200, kCalls, [&] {
    qcom::CBstr text;
    ASSERT_EQ(S_OK, guid->get_GenGUID(text.Put()));
  });
}

class InstallerSoak : public InstallerTest {
 protected:
  void TearDown() override {
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QARN Vesmoro\\Config");
    InstallerTest::TearDown();
  }
};

TEST_F(InstallerSoak, QueriesOfTheProductRegistry) {
  AddProductKey("QarnMembership");
  qcom::CBstr site(L"1");
  qtest::ExpectFlatUnderLoad("IsProductInstalled and IsProductInstalledOnServer", 200, kCalls, [&] {
    long installed = -1;
    ASSERT_EQ(S_OK, m_installer->IsProductInstalled(static_cast<ProductType>(5), site.Get(), &installed));
    qcom::CVariant build;
    ASSERT_EQ(S_OK, m_installer->IsProductInstalledOnServer(static_cast<ProductType>(5), build.Put(), &installed));
  });
}

TEST_F(InstallerSoak, QueriesOfTheSite) {
  InstallVesmoro(L"1");
  qcom::CBstr site(L"1");
  qtest::ExpectFlatUnderLoad("IsVesmoroInstalled", 100, kSiteCalls, [&] {
    long installed = -1;
    ASSERT_EQ(S_OK, m_installer->IsVesmoroInstalled(site.Get(), &installed));
    ASSERT_EQ(1, installed);
  });
}

TEST_F(InstallerSoak, SettingsRoundTrip) {
  qcom::CBstr site(L"1");
  qcom::CBstr identity(L"DOMAIN\\user:secret");
  long step = 0;
  qtest::ExpectFlatUnderLoad("settings round trip", 200, kCalls, [&] {
    const long quota = 1000 + (step++ % 7);
    long result = 0, back = 0;
    qcom::CVariant log;
    ASSERT_EQ(S_OK, m_installer->SetDiskQuota(site.Get(), quota, log.Put(), &result));
    ASSERT_EQ(1, result);
    ASSERT_EQ(S_OK, m_installer->GetDiskQuota(site.Get(), &back));
    ASSERT_EQ(quota, back);
    ASSERT_EQ(S_OK, m_installer->SetAccessProtectedFilesAs(site.Get(), identity.Get(), log.Put(), &result));
    qcom::CBstr read;
    ASSERT_EQ(S_OK, m_installer->GetAccessProtectedFilesAs(site.Get(), read.Put()));
  });
}

}  // namespace
