// The Installer as its COM clients use it, over a metabase file and product
// registry of each test's own: a seeded site, the product line's folder and
// the products' setup keys.
#pragma once

#include <windows.h>

#include <string>

#include "Com/ComPtr.h"
#include "MetabaseTestSupport.h"
#include "QarnUtil_h.h"

class InstallerTest : public MetabaseTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What a product's setup program leaves: its key below "Install" with a
  // "Build" value (none when build is null).
  void AddProductKey(const char* keyName, const char* build = "1.0.0.1");
  // The per-site value of a product key, or "" when there is none.
  std::string SiteValue(const char* keyName, const char* instance);
  void SetSiteValue(const char* keyName, const char* instance, const char* value);
  void SetInstallPath(const std::string& path);

  // The methods with a log, answering the log's text; the result lands in
  // m_result.
  std::string InstallVesmoro(const wchar_t* instance);
  std::string UnInstallVesmoro(const wchar_t* instance);
  std::string InstallProduct(long code, const wchar_t* instance);
  std::string UnInstallProduct(long code, const wchar_t* instance);

  qcom::CComPtr<IInstaller> m_installer;
  std::string m_applicationPath;  // "Install Path", an existing folder
  long m_result = -1;
};

// The log text of a [out] VARIANT, which must be a BSTR.
std::string LogOf(const VARIANT& log);
