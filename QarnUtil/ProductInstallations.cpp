#include "ProductInstallations.h"

#include <memory>

#include "ACL.h"
#include "ImpersonationTokenCache.h"
#include "InstallLog.h"
#include "MDKey.h"
#include "MembershipDatabase.h"
#include "ProductRegistry.h"
#include "ProductTable.h"
#include "Resource.h"
#include "WebFolders.h"
#include "logging.h"

namespace qarnutil {

namespace {

constexpr std::int64_t kRootDiskQuota = 1048576000;  // 1000 MB
constexpr int kOleDbDataSource = 2;
const char kSiteRootPath[] = "/";
const char kPublicFolderPath[] = "/_home/_public";
const char kPublicFolder[] = "\\_home\\_public";

// The site as both products find it before their own work: the application
// path, the site's key held open for reading and writing until the end, its
// root folder and the root's network-share account.
class CProductSite {
 public:
  // The share account is logged on through `pTokens` (null: the process-wide
  // token cache).
  explicit CProductSite(CImpersonationTokenCache* pTokens) : m_pTokens(pTokens) {}

  // False after the line of the step that failed (106, 104, 117 or 118).
  bool Open(const std::string& instance, std::string& log) {
    HRESULT hr = GetApplicationPath(m_strApplicationPath);
    if (FAILED(hr)) return Fails(IDS_GET_APPLICATION_PATH, hr, log);
    hr = m_key._Init(qcom::AnsiToWide(instance).c_str());
    if (FAILED(hr)) return Fails(IDS_MDKEY_INIT, hr, log);
    m_handle = std::make_unique<CMetabaseHandle>(m_key.AdminBase());
    hr = m_key.OpenKey(METADATA_MASTER_ROOT_HANDLE, nullptr, METADATA_PERMISSION_READ | METADATA_PERMISSION_WRITE,
                       m_handle->Put());
    if (FAILED(hr)) return Fails(IDS_MDKEY_OPENKEY, hr, log);
    hr = ReadSiteRootFolder(m_key, m_handle->Get(), m_strRootFolder);
    if (FAILED(hr)) return Fails(IDS_MDKEY_READ, hr, log);
    m_strIdentity = ReadShareIdentity(m_key, m_handle->Get());
    return true;
  }

  HRESULT ReplaceFilters(std::string& log) {
    return qarnutil::ReplaceFilters(m_key, m_handle->Get(), m_strApplicationPath, m_strRootFolder, log);
  }

  const std::string& ApplicationPath() const { return m_strApplicationPath; }
  const std::string& RootFolder() const { return m_strRootFolder; }
  const std::string& Identity() const { return m_strIdentity; }
  // As CACL and the impersonation take it: null for none.
  const char* IdentityOrNull() const { return m_strIdentity.empty() ? nullptr : m_strIdentity.c_str(); }
  CImpersonationTokenCache* Tokens() const { return m_pTokens; }

 private:
  static bool Fails(UINT stepId, HRESULT hr, std::string& log) {
    AppendLogLine(log, stepId, nullptr, hr);
    return false;
  }

  CImpersonationTokenCache* m_pTokens;
  CMDKey m_key;
  std::unique_ptr<CMetabaseHandle> m_handle;
  std::string m_strApplicationPath;
  std::string m_strRootFolder;
  std::string m_strIdentity;
};

// A CACL of the settings in force for a folder of the site, to be changed
// and saved as that folder's own access file.
class CFolderAccess {
 public:
  CFolderAccess(const std::string& instance, const CProductSite& site, const std::string& folder,
                const char* virtualPath)
      : m_site(site), m_strFolder(folder), m_szVirtualPath(virtualPath), m_acl(qacl::CFileWork{site.Tokens()}) {
    int found = 0;
    const std::string& root = site.RootFolder();
    m_acl.Load(instance.c_str(), root.c_str(), site.IdentityOrNull(), root.c_str(), folder.c_str(),
               site.IdentityOrNull(), virtualPath, &found);
  }

  CACL& Acl() { return m_acl; }

  HRESULT Save() {
    int saved = 0;
    return m_acl.Save(m_strFolder.c_str(), m_site.IdentityOrNull(), m_szVirtualPath,
                      m_acl.m_strConfigFileName.c_str(), &saved, nullptr);
  }

 private:
  const CProductSite& m_site;
  std::string m_strFolder;
  const char* m_szVirtualPath;
  CACL m_acl;
};

// The site root's access file points at the membership database (line 121).
HRESULT SaveRootAccessFile(const std::string& instance, const CProductSite& site, const std::string& connection,
                           std::string& log) {
  CFolderAccess root(instance, site, site.RootFolder(), kSiteRootPath);
  CACL& acl = root.Acl();
  acl.m_llDiskQuota = kRootDiskQuota;
  acl.m_bOwnDataSource = 1;
  acl.m_nDataSourceType = kOleDbDataSource;
  acl.m_strConnectionString = connection;
  acl.m_strQueryUserByID = qinstall::kQueryUserByID;
  acl.m_strQueryUserByCertificateID = qinstall::kQueryUserByCertificateID;
  acl.m_strQueryUserByName = qinstall::kQueryUserByName;
  acl.m_strQueryGroup = qinstall::kQueryGroup;
  const HRESULT hr = root.Save();
  AppendLogLine(log, IDS_CREATE_ROOT_ACL, nullptr, hr);
  return hr;
}

// Writing, replacing and deleting in the public folder need a login as a
// member of "Administrators"; reading is free.
std::unique_ptr<CACLPermission> AdministratorsMayWrite(int scope, const char* file) {
  auto permission = std::make_unique<CACLPermission>();
  permission->m_bInherited = 0;
  permission->m_nScope = scope;
  permission->m_nType = CACLPermission::Group;
  permission->m_strType = "group";
  permission->m_Methods = {"POST", "PUT", "DELETE"};
  permission->m_Files = {file};
  permission->m_Names = {"Administrators"};
  return permission;
}

HRESULT SavePublicFolderAccessFile(const std::string& instance, const CProductSite& site) {
  CFolderAccess folder(instance, site, site.RootFolder() + kPublicFolder, kPublicFolderPath);
  CACL& acl = folder.Acl();
  acl.m_bAllowInheritance = 1;
  acl.m_bAllowPermissionsInheritance = 0;
  acl.m_bAllowFrontPage = 0;
  acl.m_strAuthName = "Kestro Public folders";
  acl.m_strAuthType = "Cookie";
  acl.m_strLoginForm = "/vesmoro/private/login.asp";
  acl.m_PermissionRecords.push_back(AdministratorsMayWrite(CACLPermission::FilesScope, "*.*"));
  acl.m_PermissionRecords.push_back(AdministratorsMayWrite(CACLPermission::DirectoryScope, ""));
  const size_t count = acl.m_PermissionRecords.size();
  acl.PermissionsToText({acl.m_PermissionRecords[count - 2].get(), acl.m_PermissionRecords[count - 1].get()},
                        acl.m_strPermissions, 0);
  return folder.Save();
}

// The membership product counts as installed on the site too (line 112
// only when that fails).
void RecordMembershipOnSite(const std::string& instance, std::string& log) {
  const CProduct& membership = *FindProduct(kQarnMembershipCode);
  qwin::CRegKey productKey;
  const LONG rc = OpenProductKey(membership, KEY_WRITE, productKey);
  if (rc == ERROR_FILE_NOT_FOUND) {
    AppendLogText(log, IDS_INSTALL_PRODUCT, membership.szDisplayName, IDS_PRODUCT_NOT_ON_SERVER);
    return;
  }
  const LONG written = rc == ERROR_SUCCESS ? RecordProductOnSite(productKey.Get(), instance) : rc;
  if (written != ERROR_SUCCESS) {
    AppendLogLine(log, IDS_INSTALL_PRODUCT, membership.szDisplayName, qwin::HResultFromWin32(written));
  }
}

long ResultOf(HRESULT hr) { return SUCCEEDED(hr) ? 1 : 0; }

}  // namespace

HRESULT InstallMembershipProduct(const std::string& instance, std::string& log, long& result,
                                 CImpersonationTokenCache* pTokens) {
  QTRACE_FUNCTION("CInstaller::InstallQarnMembership");
  result = 0;
  CProductSite site(pTokens);
  if (!site.Open(instance, log)) return S_OK;
  std::string connection;
  {
    // The share account makes the private folder and the database.
    CThreadImpersonation shareAccount(site.IdentityOrNull(), site.Tokens());
    if (SUCCEEDED(CreateVesmoroFolder(instance, site.RootFolder(), site.Identity(), log))) {
      CreateDatabase(site.RootFolder(), connection, log);
    }
  }
  HRESULT hr = SaveRootAccessFile(instance, site, connection, log);
  if (SUCCEEDED(hr)) hr = site.ReplaceFilters(log);
  QLOG_STRING(DEBUG, "InstallFilter", "szAppRootPath", site.ApplicationPath().c_str());
  QLOG_STRING(DEBUG, "InstallFilter", "lpszRootPath", site.RootFolder().c_str());
  result = ResultOf(hr);
  return hr;
}

HRESULT InstallKestroProduct(const std::string& instance, std::string& log, long& result,
                             CImpersonationTokenCache* pTokens) {
  result = 0;
  CProductSite site(pTokens);
  if (!site.Open(instance, log)) return S_OK;
  std::string connection;
  {
    CThreadImpersonation shareAccount(site.IdentityOrNull(), site.Tokens());
    if (SUCCEEDED(CreateHomeFolders(instance, site.RootFolder(), site.Identity(), log)) &&
        SUCCEEDED(CreateDatabase(site.RootFolder(), connection, log))) {
      CreateShareStructure(connection, site.RootFolder(), log);
    }
  }
  SaveRootAccessFile(instance, site, connection, log);
  HRESULT hr = SavePublicFolderAccessFile(instance, site);
  if (SUCCEEDED(hr)) hr = site.ReplaceFilters(log);
  RecordMembershipOnSite(instance, log);
  result = ResultOf(hr);
  return hr;
}

}  // namespace qarnutil
