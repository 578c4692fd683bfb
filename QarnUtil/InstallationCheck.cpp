#include "InstallationCheck.h"

#include <cstdlib>
#include <vector>

#include "CheckRules.h"
#include "Com/ComPtr.h"
#include "MembershipDatabase.h"
#include "InstallLog.h"
#include "InstallLogText.h"
#include "OLEDBConsumer.h"
#include "ProductTable.h"
#include "Resource.h"
#include "WebFolders.h"
#include "Win32/Handles.h"
#include "logging.h"

namespace qarnutil {

namespace {

const wchar_t kVesmoroFolder[] = L"Vesmoro";
const ProductType kMembershipProduct = static_cast<ProductType>(kQarnMembershipCode);

// A line whose result text was worked out by a check.
void AppendLogResult(std::string& log, UINT stepId, const std::string& result) {
  log += qinstall::ComposeLogLine(InstallerString(stepId), result);
}

void AppendFinding(std::string& log, UINT stepId, bool ok, UINT failureId) {
  AppendLogText(log, stepId, nullptr, ok ? IDS_SUCCESS : failureId);
}

// The OLE DB source passes when its database holds the share tables whole.
void ProbeOleDbSource(const std::string& connection, std::string& text, bool& ok) {
  std::size_t count = 0;
  const HRESULT hr = CountDatabaseColumns(connection, qinstall::kShareColumns, count);
  ok = SUCCEEDED(hr) && count == qinstall::kShareColumns.size();
  if (FAILED(hr)) {
    text = ResultText(hr);
  } else if (!ok) {
    text = InstallerString(IDS_INCOMPATIBLE_DATASOURCE);
  }
}

// Both calls ask for the sizes first; the error that stops the lookup, or
// ERROR_SUCCESS.
DWORD LookUpAccount(PSID sid) {
  DWORD nameSize = 0;
  DWORD domainSize = 0;
  SID_NAME_USE use = SidTypeUnknown;
  if (!::LookupAccountSidA(nullptr, sid, nullptr, &nameSize, nullptr, &domainSize, &use) &&
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return ::GetLastError();
  }
  std::vector<char> name(nameSize + 1);
  std::vector<char> domain(domainSize + 1);
  return ::LookupAccountSidA(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize, &use)
             ? ERROR_SUCCESS
             : ::GetLastError();
}

DWORD LookUpDaclAccounts(PACL dacl) {
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* ace = nullptr;
    if (!::GetAce(dacl, index, &ace)) return ::GetLastError();
    // Allowed and denied entries alike keep the SID where the allowed one does.
    const DWORD error = LookUpAccount(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart);
    if (error != ERROR_SUCCESS) return error;
  }
  return ERROR_SUCCESS;
}

// The first error met while reading the folder's DACL and its accounts.
DWORD ReadFolderAccounts(const std::string& folder) {
  DWORD needed = 0;
  if (!::GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed) &&
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return ::GetLastError();
  }
  qwin::CRuntimeMemory<void> descriptor(std::malloc(needed));
  if (!descriptor) return ERROR_NOT_ENOUGH_MEMORY;
  if (!::GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, descriptor.Get(), needed, &needed)) {
    return ::GetLastError();
  }
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted)) return ::GetLastError();
  return present && dacl ? LookUpDaclAccounts(dacl) : ERROR_SUCCESS;
}

// Whether the membership product is recorded on the server and on the site.
HRESULT CheckProductRecorded(IInstaller& installer, const std::string& instance, std::string& log, bool& ok) {
  ok = false;
  qcom::CVariant build;
  long onServer = 0;
  QRETURN_IF_FAILED("IsProductInstalledOnServer",
                    installer.IsProductInstalledOnServer(kMembershipProduct, build.Put(), &onServer));
  if (!onServer) {
    AppendLogText(log, IDS_IS_PRODUCT_INSTALLED, nullptr, IDS_PRODUCT_NOT_ON_SERVER);
    return S_OK;
  }
  const qcom::CBstr site = qcom::CBstr::FromAnsi(instance);
  long onSite = 0;
  QRETURN_IF_FAILED("IsProductInstalled", installer.IsProductInstalled(kMembershipProduct, site.Get(), &onSite));
  ok = onSite != 0;
  AppendFinding(log, IDS_IS_PRODUCT_INSTALLED, ok, IDS_PRODUCT_NOT_INSTALLED);
  return S_OK;
}

HRESULT CheckQarnFilter(CMDKey& key, std::string& log, bool& ok) {
  std::string info;
  QRETURN_IF_FAILED("CheckFilter", CheckFilter(key, kQarnFilterName, info, ok));
  if (ok) {
    AppendLogLine(log, IDS_QARNFILTER, nullptr, S_OK);
  } else {
    AppendLogText(log, IDS_QARNFILTER, nullptr, IDS_FAILED_WITH_MESSAGE, info.c_str());
  }
  return S_OK;
}

// The site root's access file: found, with a usable data source and an
// authentication scheme that this source accepts.
bool CheckRootAccessFile(CACL& acl, bool found, std::string& log) {
  AppendFinding(log, IDS_ROOT_ACL, found, IDS_ROOT_ACL_MISSING);
  std::string text;
  bool dataSourceOk = false;
  CheckDataSource(acl, text, dataSourceOk);
  AppendLogResult(log, IDS_DATASOURCE, dataSourceOk ? InstallerString(IDS_SUCCESS) : text);
  const bool authOk = qinstall::IsAuthTypeCompatible(acl.m_strAuthType, acl.m_nDataSourceType, acl.m_strLDAPURL);
  AppendFinding(log, IDS_AUTHTYPE, authOk, IDS_INCOMPATIBLE_AUTHTYPE);
  return found && dataSourceOk && authOk;
}

struct CSiteRoot {
  std::string strFolder;
  std::string strIdentity;
};

// The checks that need the site key held open: the product's record, then
// the root folder and its share account.
HRESULT ReadSite(IInstaller& installer, CMDKey& key, std::string& log, bool& productOk, CSiteRoot& root) {
  CMetabaseHandle site(key.AdminBase());
  QRETURN_IF_FAILED("CMDKey::OpenKey",
                    key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr, METADATA_PERMISSION_READ, site.Put()));
  QRETURN_IF_FAILED("CheckProductRecorded",
                    CheckProductRecorded(installer, qcom::BstrToAnsi(key.m_strInstance.c_str()), log, productOk));
  QRETURN_IF_FAILED("ReadSiteRootFolder", ReadSiteRootFolder(key, site.Get(), root.strFolder));
  root.strIdentity = ReadShareIdentity(key, site.Get());
  return S_OK;
}

}  // namespace

HRESULT CheckDataSource(CACL& acl, std::string& text, bool& ok) {
  text.clear();
  const bool oleDbComplete = !acl.m_strConnectionString.empty() && !acl.m_strQueryUserByID.empty() &&
                             !acl.m_strQueryUserByName.empty() && !acl.m_strQueryGroup.empty();
  const bool adsiNamed = !acl.m_strADSIDomain.empty() || !acl.m_strADSIServer.empty();
  switch (qinstall::JudgeDataSource(acl.m_nDataSourceType, oleDbComplete, adsiNamed)) {
    case qinstall::EDataSourceVerdict::ProbeOleDb:
      acl.m_nDataSourceType = qinstall::kDataSourceOleDb;
      ProbeOleDbSource(acl.m_strConnectionString, text, ok);
      break;
    case qinstall::EDataSourceVerdict::Adsi:
      acl.m_nDataSourceType = qinstall::kDataSourceAdsi;
      ok = true;
      break;
    case qinstall::EDataSourceVerdict::Incompatible:
      ok = false;
      text = InstallerString(IDS_INCOMPATIBLE_DATASOURCE);
      break;
  }
  return S_OK;
}

HRESULT CheckRootFolderSecurity(CMDKey& key, const std::wstring& subPath, std::string& text, bool& ok) {
  const std::wstring path = qinstall::SecurityCheckKey(subPath);
  qwin::CRuntimeMemory<wchar_t> folder;
  QRETURN_IF_FAILED("CMDKey::GetString(MD_VR_PATH)",
                    key.GetString(path.c_str(), MD_VR_PATH, IIS_MD_UT_FILE, folder.Put()));
  // The anonymous account must be readable too, though the folder's
  // accounts are not judged against it.
  qwin::CRuntimeMemory<wchar_t> anonymous;
  QRETURN_IF_FAILED("CMDKey::GetString(MD_ANONYMOUS_USER_NAME)",
                    key.GetString(path.c_str(), MD_ANONYMOUS_USER_NAME, IIS_MD_UT_FILE, anonymous.Put()));
  const DWORD error = ReadFolderAccounts(qcom::BstrToAnsi(folder.Get()));
  ok = error == ERROR_SUCCESS;
  text.clear();
  if (!ok) SystemMessage(static_cast<HRESULT>(error), text);
  return S_OK;
}

HRESULT CheckMembershipInstallation(IInstaller& installer, const std::string& instance, std::string& log,
                                    long& result) {
  result = 0;
  CMDKey key;
  const std::wstring wide = qcom::AnsiToWide(instance);
  QRETURN_IF_FAILED("CMDKey::_Init", key._Init(instance.empty() ? nullptr : wide.c_str()));
  bool productOk = false;
  CSiteRoot root;
  QRETURN_IF_FAILED("ReadSite", ReadSite(installer, key, log, productOk, root));

  const bool folderOk = IsVirtualFolderPresent(key, kVesmoroFolder);
  AppendFinding(log, IDS_APPLICATION_FOLDER, folderOk, IDS_APPLICATION_FOLDER_NOT_MAPPED);
  bool filterOk = false;
  QRETURN_IF_FAILED("CheckQarnFilter", CheckQarnFilter(key, log, filterOk));

  const std::string site = qcom::BstrToAnsi(key.m_strInstance.c_str());
  const char* rootFolder = root.strFolder.c_str();
  const char* identity = root.strIdentity.c_str();
  CACL acl;
  int found = 0;
  QRETURN_IF_FAILED("CACL::Load",
                    acl.Load(site.c_str(), rootFolder, identity, rootFolder, rootFolder, identity, "/", &found));
  const bool accessFileOk = CheckRootAccessFile(acl, found != 0, log);

  std::string securityText;
  bool securityOk = false;
  QRETURN_IF_FAILED("CheckRootFolderSecurity", CheckRootFolderSecurity(key, std::wstring(), securityText, securityOk));
  result = productOk && folderOk && filterOk && accessFileOk && securityOk ? 1 : 0;
  return S_OK;
}

}  // namespace qarnutil
