#include "Installer.h"

#include "InstallLog.h"
#include "InstallationCheck.h"
#include "MDKey.h"
#include "ProductInstallations.h"
#include "ProductRegistry.h"
#include "ProductTable.h"
#include "Resource.h"
#include "SiteSettings.h"
#include "WebFolders.h"
#include "Win32/Handles.h"
#include "logging.h"

namespace qarnutil {

namespace {

const wchar_t kVesmoroFolder[] = L"Vesmoro";
const wchar_t kApplicationsSubfolder[] = L"Applications";
// The name that log lines give a product code that is not in the table.
const char kUnknownProduct[] = "product";
// Where a query reads its registry value into.
constexpr DWORD kRegistryValueBuffer = 260;

long ResultOf(HRESULT hr) { return SUCCEEDED(hr) ? 1 : 0; }

}  // namespace

HRESULT CInstaller::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_IInstaller) || IsEqualIID(iid, IID_IDispatch)) {
    *ppv = static_cast<IInstaller*>(this);
    return S_OK;
  }
  if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *ppv = static_cast<ISupportErrorInfo*>(this);
    return S_OK;
  }
  return E_NOINTERFACE;
}

STDMETHODIMP CInstaller::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID_IInstaller) ? S_OK : S_FALSE;
}

// --- frame ---------------------------------------------------------------------------

template <class Work>
HRESULT CInstaller::LoggedMethod(const char* name, VARIANT* pLog, long* pbResult, Work work) {
  if (!pLog || !pbResult) return E_POINTER;
  ::VariantInit(pLog);
  *pbResult = 0;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION(name);
    m_strLog.clear();
    const long result = work();
    qcom::CVariant log;
    log.SetBstr(qcom::CBstr::FromAnsi(m_strLog));
    log.DetachTo(pLog);
    *pbResult = result;
    return S_OK;
  });
}

HRESULT CInstaller::OpenSite(CMDKey& key, std::string& instance) {
  const std::wstring wide = qcom::AnsiToWide(instance);
  const HRESULT hr = key._Init(instance.empty() ? nullptr : wide.c_str());
  if (SUCCEEDED(hr) && instance.empty()) instance = qcom::BstrToAnsi(key.m_strInstance.c_str());
  return hr;
}

std::string CInstaller::LogText(const VARIANT& log) {
  return log.vt == VT_BSTR ? qcom::BstrToAnsi(log.bstrVal) : std::string();
}

HRESULT CInstaller::ReportError(const wchar_t* description, HRESULT hr) {
  return qcom::ReportComError(CLSID_Installer, IID_IInstaller, description, hr);
}

HRESULT CInstaller::ReportSystemError(LONG error) {
  const HRESULT hr = qwin::HResultFromWin32(error);
  std::string message;
  SystemMessage(hr, message);
  return ReportError(qcom::AnsiToWide(message).c_str(), hr);
}

// --- the product line ----------------------------------------------------------------

STDMETHODIMP CInstaller::InstallVesmoro(BSTR InstanceID, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::InstallVesmoro", pLog, pbResult, [&] { return InstallLine(qcom::BstrToAnsi(InstanceID)); });
}

bool CInstaller::OpenSiteLogged(CMDKey& key, std::string& instance) {
  const HRESULT hr = OpenSite(key, instance);
  if (FAILED(hr)) AppendLogLine(m_strLog, IDS_MDKEY_INIT, nullptr, hr);
  return SUCCEEDED(hr);
}

long CInstaller::InstallLine(const std::string& instanceText) {
  std::string instance = instanceText;
  CMDKey key;
  if (!OpenSiteLogged(key, instance)) return 0;
  std::string applicationPath;
  HRESULT hr = GetApplicationPath(applicationPath);
  if (FAILED(hr)) {
    AppendLogLine(m_strLog, IDS_GET_APPLICATION_PATH, nullptr, hr);
    return 0;
  }
  hr = CreateVirtualFolder(key, kVesmoroFolder, kApplicationsSubfolder, qcom::AnsiToWide(applicationPath).c_str());
  AppendLogLine(m_strLog, IDS_CREATE_VIRTUAL_FOLDER, nullptr, hr);
  if (FAILED(hr)) return 0;
  hr = key.SetDWORD(nullptr, kMarkerIdentifier, kMarkerInstalled, kMarkerUserType, TRUE);
  AppendLogLine(m_strLog, IDS_INSTALL_PROPERTY_PAGE, nullptr, hr);
  return ResultOf(hr);
}

STDMETHODIMP CInstaller::UnInstallVesmoro(BSTR InstanceID, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::UnInstallVesmoro", pLog, pbResult, [&] { return UninstallLine(qcom::BstrToAnsi(InstanceID)); });
}

long CInstaller::UninstallLine(const std::string& instanceText) {
  std::string instance = instanceText;
  CMDKey key;
  if (!OpenSiteLogged(key, instance)) return 0;
  // Each product's own log, in table order; a product that fails to go
  // does not keep the others.
  const qcom::CBstr site = qcom::CBstr::FromAnsi(instance);
  std::string gathered;
  for (size_t row = 0; row < kProductCount; ++row) {
    const auto code = static_cast<ProductType>(ProductTable()[row].nCode);
    long installed = 0;
    if (FAILED(IsProductInstalled(code, site.Get(), &installed)) || !installed) continue;
    qcom::CVariant log;
    long removed = 0;
    UnInstallProduct(code, site.Get(), log.Put(), &removed);
    gathered += LogText(log.Get());
  }
  m_strLog = gathered;
  HRESULT hr = DeleteVirtualFolder(key, kVesmoroFolder);
  AppendLogLine(m_strLog, IDS_DELETE_VIRTUAL_FOLDER, nullptr, hr);
  if (SUCCEEDED(hr)) {
    hr = key.SetDWORD(nullptr, kMarkerIdentifier, kMarkerRemoved, kMarkerUserType, TRUE);
    AppendLogLine(m_strLog, IDS_REMOVE_PROPERTY_PAGE, nullptr, hr);
  }
  return ResultOf(hr);
}

STDMETHODIMP CInstaller::IsVesmoroInstalled(BSTR InstanceID, long* pbResult) {
  if (!pbResult) return E_POINTER;
  *pbResult = 0;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION("CInstaller::IsVesmoroInstalled");
    std::string instance = qcom::BstrToAnsi(InstanceID);
    CMDKey key;
    HRESULT hr = OpenSite(key, instance);
    if (FAILED(hr)) return hr;
    DWORD marker = kMarkerRemoved;
    hr = key.GetDWORD(nullptr, kMarkerIdentifier, kMarkerUserType, &marker);
    *pbResult = SUCCEEDED(hr) && marker != kMarkerRemoved ? 1 : 0;
    return S_OK;
  });
}

// --- products --------------------------------------------------------------------------

STDMETHODIMP CInstaller::InstallProduct(ProductType Product, BSTR InstanceID, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::InstallProduct", pLog, pbResult, [&] { return InstallOneProduct(Product, qcom::BstrToAnsi(InstanceID)); });
}

long CInstaller::InstallOneProduct(long code, std::string instance) {
  const CProduct* product = FindProduct(code);
  if (!product) {
    AppendLogText(m_strLog, IDS_INSTALL_PRODUCT, kUnknownProduct, IDS_INCORRECT_PRODUCT_TYPE);
    return 0;
  }
  qwin::CRegKey productKey;
  const LONG rc = OpenProductKey(*product, KEY_WRITE, productKey);
  if (rc == ERROR_FILE_NOT_FOUND) {
    AppendLogText(m_strLog, IDS_INSTALL_PRODUCT, product->szDisplayName, IDS_PRODUCT_NOT_ON_SERVER);
    return 0;
  }
  if (rc != ERROR_SUCCESS) {
    AppendLogLine(m_strLog, IDS_INSTALL_PRODUCT, product->szDisplayName, qwin::HResultFromWin32(rc));
    return 0;
  }
  if (instance.empty()) {
    CMDKey key;
    OpenSite(key, instance);
  }
  const qcom::CBstr site = qcom::CBstr::FromAnsi(instance);
  long lineInstalled = 0;
  if (FAILED(IsVesmoroInstalled(site.Get(), &lineInstalled)) || !lineInstalled) {
    qcom::CVariant log;
    long result = 0;
    const HRESULT hr = InstallVesmoro(site.Get(), log.Put(), &result);
    m_strLog = LogText(log.Get());
    if (FAILED(hr)) {
      AppendLogLine(m_strLog, IDS_INSTALL_VESMORO, nullptr, hr);
      return 0;
    }
    if (!result) return 0;
  }
  long result = 1;
  HRESULT hr = S_OK;
  if (code == kQarnMembershipCode) hr = InstallQarnMembership(instance, result);
  if (code == kQarnKestroCode) hr = InstallKestro(instance, result);
  if (FAILED(hr)) {
    AppendLogLine(m_strLog, IDS_INSTALL_PRODUCT, product->szDisplayName, hr);
    return 0;
  }
  if (!result) return 0;
  const LONG written = RecordProductOnSite(productKey.Get(), instance);
  if (written != ERROR_SUCCESS) {
    AppendLogLine(m_strLog, IDS_INSTALL_PRODUCT, product->szDisplayName, qwin::HResultFromWin32(written));
    return 0;
  }
  AppendLogLine(m_strLog, IDS_INSTALL_PRODUCT, product->szDisplayName, S_OK);
  return 1;
}

STDMETHODIMP CInstaller::UnInstallProduct(ProductType Product, BSTR InstanceID, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::UnInstallProduct", pLog, pbResult, [&] { return UninstallOneProduct(Product, qcom::BstrToAnsi(InstanceID)); });
}

long CInstaller::UninstallOneProduct(long code, const std::string& instance) {
  const CProduct* product = FindProduct(code);
  if (!product) {
    AppendLogText(m_strLog, IDS_UNINSTALL_PRODUCT, kUnknownProduct, IDS_INCORRECT_PRODUCT_TYPE);
    return 0;
  }
  qwin::CRegKey productKey;
  const LONG rc = OpenProductKey(*product, KEY_WRITE, productKey);
  if (rc == ERROR_FILE_NOT_FOUND) {
    AppendLogLine(m_strLog, IDS_UNINSTALL_PRODUCT, product->szDisplayName, S_OK);  // nothing to remove
    return 1;
  }
  if (rc != ERROR_SUCCESS) {
    AppendLogLine(m_strLog, IDS_UNINSTALL_PRODUCT, product->szDisplayName, qwin::HResultFromWin32(rc));
    return 0;
  }
  if ((code == kQarnMembershipCode || code == kQarnKestroCode) && !RemoveProductFilter(*product, instance)) {
    return 0;
  }
  const LONG deleted = ::RegDeleteValueA(productKey.Get(), instance.c_str());
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
    AppendLogLine(m_strLog, IDS_UNINSTALL_PRODUCT, product->szDisplayName, qwin::HResultFromWin32(deleted));
    return 0;
  }
  ::RegFlushKey(productKey.Get());
  AppendLogLine(m_strLog, IDS_UNINSTALL_PRODUCT, product->szDisplayName, S_OK);
  return 1;
}

bool CInstaller::RemoveProductFilter(const CProduct& product, const std::string& instance) {
  std::string site = instance;
  CMDKey key;
  if (!OpenSiteLogged(key, site)) return false;
  HRESULT hr = RemoveFilter(key, 0, kQarnFilterName);
  // A filter that an earlier uninstall already took away counts as removed,
  // or the product would stay recorded on the site for good.
  if (hr == kMetabasePathNotFound) hr = S_OK;
  AppendLogLine(m_strLog, IDS_REMOVE_FILTER, qcom::BstrToAnsi(kQarnFilterName).c_str(), hr);
  if (FAILED(hr)) AppendLogLine(m_strLog, IDS_UNINSTALL_PRODUCT, product.szDisplayName, hr);
  return SUCCEEDED(hr);
}

STDMETHODIMP CInstaller::IsProductInstalled(ProductType Product, BSTR InstanceID, long* pbResult) {
  if (!pbResult) return E_POINTER;
  *pbResult = 0;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION("CInstaller::IsProductInstalled");
    return QueryProductOnSite(Product, qcom::BstrToAnsi(InstanceID), *pbResult);
  });
}

HRESULT CInstaller::QueryProductOnSite(long code, std::string instance, long& installed) {
  const CProduct* product = FindProduct(code);
  if (!product) return ReportError(L"Incorrect Product Type", E_FAIL);
  if (instance.empty()) {
    CMDKey key;
    OpenSite(key, instance);
  }
  qwin::CRegKey productKey;
  LONG rc = OpenProductKey(*product, KEY_QUERY_VALUE, productKey);
  if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
  if (rc != ERROR_SUCCESS) return ReportSystemError(rc);
  std::string date;
  const bool isString = ReadSmallString(productKey.Get(), instance.c_str(), kRegistryValueBuffer, date, &rc);
  if (rc == ERROR_FILE_NOT_FOUND) return S_OK;
  if (rc != ERROR_SUCCESS) return ReportSystemError(rc);
  installed = isString && !date.empty() ? 1 : 0;
  return S_OK;
}

STDMETHODIMP CInstaller::IsProductInstalledOnServer(ProductType Product, VARIANT* pBuild, long* pbResult) {
  if (!pBuild || !pbResult) return E_POINTER;
  ::VariantInit(pBuild);
  *pbResult = 0;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION("CInstaller::IsProductInstalledOnServer");
    return QueryProductBuild(Product, *pBuild, *pbResult);
  });
}

HRESULT CInstaller::QueryProductBuild(long code, VARIANT& build, long& installed) {
  const CProduct* product = FindProduct(code);
  if (!product) return ReportError(L"Incorrect Product Type", E_FAIL);
  qwin::CRegKey productKey;
  const LONG rc = OpenProductKey(*product, KEY_QUERY_VALUE, productKey);
  qcom::CVariant text;
  if (rc == ERROR_FILE_NOT_FOUND) {
    text.SetBstr(qcom::CBstr::FromAnsi(std::string()));
    text.DetachTo(&build);
    return S_OK;
  }
  if (rc != ERROR_SUCCESS) return ReportSystemError(rc);
  std::string buildText;
  LONG error = ERROR_SUCCESS;
  if (!ReadSmallString(productKey.Get(), "Build", kRegistryValueBuffer, buildText, &error)) buildText.clear();
  text.SetBstr(qcom::CBstr::FromAnsi(buildText));
  text.DetachTo(&build);
  installed = 1;
  return S_OK;
}

HRESULT CInstaller::InstallQarnMembership(const std::string& instance, long& result) {
  return InstallMembershipProduct(instance, m_strLog, result);
}

HRESULT CInstaller::InstallKestro(const std::string& instance, long& result) {
  return InstallKestroProduct(instance, m_strLog, result);
}

// --- settings and the installation check -------------------------------------------------

namespace {

// The frame of the settings' getters: the out-pointer checked, the value
// read from the instance's settings behind the exception boundary.
template <class Value, class Read>
HRESULT GetSetting(const char* name, BSTR instance, Value* pVal, Read read) {
  if (!pVal) return E_POINTER;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION(name);
    *pVal = read(LoadSiteSettings(instance));
    return S_OK;
  });
}

}  // namespace

STDMETHODIMP CInstaller::GetConfigFileName(BSTR InstanceID, BSTR* pVal) {
  return GetSetting("CInstaller::GetConfigFileName", InstanceID, pVal, [](const CRegistryData& settings) {
    return qcom::CBstr::FromAnsi(settings.GetConfigFileName()).Detach();
  });
}

STDMETHODIMP CInstaller::SetConfigFileName(BSTR InstanceID, BSTR newVal, long bRenameExisting, VARIANT* pLog,
                                           long* pbResult) {
  // The name in force before the change is the one the rename looks for.
  qcom::CBstr current;
  const HRESULT hr = pLog && pbResult ? GetConfigFileName(InstanceID, current.Put()) : E_POINTER;
  if (FAILED(hr)) return hr;
  return LoggedMethod("CInstaller::SetConfigFileName", pLog, pbResult, [&] {
    const std::string instance = qcom::BstrToAnsi(InstanceID);
    const std::string name = qcom::BstrToAnsi(newVal);
    if (!WriteConfigFileName(m_strLog, instance, name)) return 0L;
    // A rename that fails is told in its line; the new name stands.
    if (bRenameExisting) RenameSiteConfigFiles(m_strLog, instance, qcom::BstrToAnsi(current.Get()), name);
    return 1L;
  });
}

STDMETHODIMP CInstaller::GetAccessProtectedFilesAs(BSTR InstanceID, BSTR* pVal) {
  return GetSetting("CInstaller::GetAccessProtectedFilesAs", InstanceID, pVal, [](const CRegistryData& settings) {
    return qcom::CBstr::FromAnsi(settings.GetAccessProtectedFilesAs()).Detach();
  });
}

STDMETHODIMP CInstaller::SetAccessProtectedFilesAs(BSTR InstanceID, BSTR newVal, VARIANT* pLog, long* pbResult) {
  // Settings that cannot be read fail the call before anything is written.
  qcom::CBstr current;
  const HRESULT hr = pLog && pbResult ? GetAccessProtectedFilesAs(InstanceID, current.Put()) : E_POINTER;
  if (FAILED(hr)) return hr;
  return LoggedMethod("CInstaller::SetAccessProtectedFilesAs", pLog, pbResult, [&] {
    return WriteAccessProtectedFilesAs(m_strLog, qcom::BstrToAnsi(InstanceID), qcom::BstrToAnsi(newVal));
  });
}

STDMETHODIMP CInstaller::GetAccessFreeFilesAsAnonymous(BSTR InstanceID, long* pVal) {
  return GetSetting("CInstaller::GetAccessFreeFilesAsAnonymous", InstanceID, pVal,
                    [](const CRegistryData& settings) { return static_cast<long>(settings.GetAccessFreeFilesAsAnonymous()); });
}

STDMETHODIMP CInstaller::SetAccessFreeFilesAsAnonymous(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::SetAccessFreeFilesAsAnonymous", pLog, pbResult, [&] {
    return WriteAccessFreeFilesAsAnonymous(m_strLog, qcom::BstrToAnsi(InstanceID), newVal);
  });
}

STDMETHODIMP CInstaller::GetDiskQuota(BSTR InstanceID, long* pVal) {
  return GetSetting("CInstaller::GetDiskQuota", InstanceID, pVal,
                    [](const CRegistryData& settings) { return static_cast<long>(settings.GetDiskQuota()); });
}

STDMETHODIMP CInstaller::SetDiskQuota(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::SetDiskQuota", pLog, pbResult,
                      [&] { return WriteDiskQuota(m_strLog, qcom::BstrToAnsi(InstanceID), newVal); });
}

STDMETHODIMP CInstaller::GetDenyPhysicalPath(BSTR InstanceID, long* pVal) {
  return GetSetting("CInstaller::GetDenyPhysicalPath", InstanceID, pVal,
                    [](const CRegistryData& settings) { return static_cast<long>(settings.GetDenyPhysicalPath()); });
}

STDMETHODIMP CInstaller::SetDenyPhysicalPath(BSTR InstanceID, long newVal, VARIANT* pLog, long* pbResult) {
  return LoggedMethod("CInstaller::SetDenyPhysicalPath", pLog, pbResult,
                      [&] { return WriteDenyPhysicalPath(m_strLog, qcom::BstrToAnsi(InstanceID), newVal); });
}

// Not in the logged frame: a metabase that cannot be read, or a check that
// cannot run, fails the call without a log.
STDMETHODIMP CInstaller::CheckQarnMembership(BSTR InstanceID, VARIANT* pInfo, long* pbResult) {
  if (!pInfo || !pbResult) return E_POINTER;
  ::VariantInit(pInfo);
  *pbResult = 0;
  return qcom::ComBoundary([&] {
    QTRACE_FUNCTION("CInstaller::CheckQarnMembership");
    m_strLog.clear();
    long result = 0;
    const HRESULT hr = CheckMembershipInstallation(*this, qcom::BstrToAnsi(InstanceID), m_strLog, result);
    if (FAILED(hr)) return hr;
    qcom::CVariant info;
    info.SetBstr(qcom::CBstr::FromAnsi(m_strLog));
    info.DetachTo(pInfo);
    *pbResult = result;
    return S_OK;
  });
}

}  // namespace qarnutil
