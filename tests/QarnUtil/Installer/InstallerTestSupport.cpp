#include "InstallerTestSupport.h"

#include <utility>

#include "MetabaseStandIn.h"
#include "TempFolder.h"
#include "Win32/Handles.h"

namespace {

const char kProductLineKey[] = "SOFTWARE\\QARN Vesmoro";
const char kInstallKey[] = "SOFTWARE\\QARN Vesmoro\\Install";

std::string ProductKeyPath(const char* keyName) { return std::string(kInstallKey) + "\\" + keyName; }

template <class Call>
std::string RunLogged(long& result, Call call) {
  qcom::CVariant log;
  result = -1;
  EXPECT_EQ(S_OK, call(log.Put(), &result));
  return LogOf(log.Get());
}

}  // namespace

std::string LogOf(const VARIANT& log) {
  EXPECT_EQ(VT_BSTR, log.vt);
  return log.vt == VT_BSTR ? qcom::BstrToAnsi(log.bstrVal) : std::string();
}

void InstallerTest::SetUp() {
  MetabaseTest::SetUp();
  ASSERT_EQ(0u, RunTool(L"seed --sites 1,3").exitCode);
  m_applicationPath = qtest::NewTempFolder("qarn-app");
  SetInstallPath(m_applicationPath);
  CLSID installer = GUID_NULL;
  ASSERT_HRESULT_SUCCEEDED(::CLSIDFromProgID(L"QarnUtil.Installer", &installer));
  ASSERT_HRESULT_SUCCEEDED(
      ::CoCreateInstance(installer, nullptr, CLSCTX_INPROC_SERVER, IID_IInstaller, m_installer.PutVoid()));
}

void InstallerTest::TearDown() {
  // Whatever a method did, it closed every metabase key it opened.
  EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
  m_installer.Reset();
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstallKey);
  qwin::CRegKey line;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductLineKey, 0, KEY_SET_VALUE, line.Put()) == ERROR_SUCCESS) {
    ::RegDeleteValueA(line.Get(), "Install Path");
  }
  ::RemoveDirectoryA(m_applicationPath.c_str());
  MetabaseTest::TearDown();
}

void InstallerTest::AddProductKey(const char* keyName, const char* build) {
  qwin::CRegKey key;
  ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, ProductKeyPath(keyName).c_str(), 0, nullptr, 0,
                                             KEY_WRITE, nullptr, key.Put(), nullptr));
  if (build) {
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.Get(), "Build", 0, REG_SZ, reinterpret_cast<const BYTE*>(build),
                                              static_cast<DWORD>(strlen(build) + 1)));
  }
}

std::string InstallerTest::SiteValue(const char* keyName, const char* instance) {
  char value[64] = {};
  DWORD size = sizeof(value) - 1;
  if (::RegGetValueA(HKEY_LOCAL_MACHINE, ProductKeyPath(keyName).c_str(), instance, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
    return "";
  }
  return value;
}

void InstallerTest::SetSiteValue(const char* keyName, const char* instance, const char* value) {
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, ProductKeyPath(keyName).c_str(), instance, REG_SZ,
                                             value, static_cast<DWORD>(strlen(value) + 1)));
}

void InstallerTest::SetInstallPath(const std::string& path) {
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, kProductLineKey, "Install Path", REG_SZ,
                                             path.c_str(), static_cast<DWORD>(path.size() + 1)));
}

std::string InstallerTest::InstallVesmoro(const wchar_t* instance) {
  qcom::CBstr site(instance);
  return RunLogged(m_result, [&](VARIANT* log, long* result) { return m_installer->InstallVesmoro(site.Get(), log, result); });
}

std::string InstallerTest::UnInstallVesmoro(const wchar_t* instance) {
  qcom::CBstr site(instance);
  return RunLogged(m_result,
                   [&](VARIANT* log, long* result) { return m_installer->UnInstallVesmoro(site.Get(), log, result); });
}

std::string InstallerTest::InstallProduct(long code, const wchar_t* instance) {
  qcom::CBstr site(instance);
  return RunLogged(m_result, [&](VARIANT* log, long* result) {
    return m_installer->InstallProduct(static_cast<ProductType>(code), site.Get(), log, result);
  });
}

std::string InstallerTest::UnInstallProduct(long code, const wchar_t* instance) {
  qcom::CBstr site(instance);
  return RunLogged(m_result, [&](VARIANT* log, long* result) {
    return m_installer->UnInstallProduct(static_cast<ProductType>(code), site.Get(), log, result);
  });
}
