// The access settings of one web resource and their access files in the
// style of ".htaccess": reading (with the merge rules along a path), writing,
// and loading a target from the site root down.
//
// This header stays free of windows.h: the format logic builds and is tested
// natively too. Loading and saving (files, impersonation, registry) live in
// ACLFile.cpp and exist only in the Windows build.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

#include "AccessFileLines.h"

#ifdef _WIN32
// As the Windows headers define them (identical redeclarations are allowed).
typedef long HRESULT;
typedef wchar_t* BSTR;
#endif

class CImpersonationTokenCache;

namespace qacl {

// How a CACL does its file work. The defaults are the product's: the
// process-wide token cache, reads of kDefaultReadBuffer bytes and nothing
// called in between; a test or benchmark builds its CACL with its own.
struct CFileWork {
  // Logs the configured identities on; null for the process-wide cache.
  CImpersonationTokenCache* pTokenCache = nullptr;
  // How many bytes each ReadFile of an access file asks for.
  std::size_t nReadBuffer = kDefaultReadBuffer;
  // Called on the reading thread with the path of each access file just
  // before it is opened (to see the order of reads and the identity in force).
  void (*pfnBeforeRead)(const char* lpszFile) = nullptr;
  // Called once a single-file save has written its new file beside the
  // single file, before it replaces the single file.
  void (*pfnBeforeSingleFileReplace)(const char* lpszNewFile) = nullptr;
};

}  // namespace qacl

// The string lists of a permission record.
using CACLStringList = std::pmr::vector<std::string>;

namespace qacl {

// Room inside a permission record for the arrays of its lists, handed out in
// order; what does not fit goes to the heap. Room is not reused before the
// record goes, which a record's few lists, filled once, do not need.
class CListRoom final : public std::pmr::memory_resource {
 public:
  CListRoom() = default;
  CListRoom(const CListRoom&) = delete;
  CListRoom& operator=(const CListRoom&) = delete;

 private:
  void* do_allocate(std::size_t bytes, std::size_t alignment) override;
  void do_deallocate(void* p, std::size_t bytes, std::size_t alignment) override;
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  // Room for the usual record: a file, a few names, or methods too.
  alignas(std::string) unsigned char m_room[5 * sizeof(std::string)];
  std::size_t m_used = 0;
};

}  // namespace qacl

// One "require" line with the block it stands in. Its lists take their room
// from the record itself first: a load makes a record for every require line
// along the path, and a heap block for each of its lists would cost more
// than reading the line. Longer lists go on to the heap.
class CACLPermission {
 public:
  enum Scope { FilesScope = 1, DirectoryScope = 2 };
  enum Type { ValidUser = 0, User, Group, Phone, Wap, SizeLimit };

  // Provided, so that a new record's list room is not zeroed first.
  CACLPermission() {}
  CACLPermission(const CACLPermission&) = delete;
  CACLPermission& operator=(const CACLPermission&) = delete;

 private:
  // Declared before the lists, which give their arrays back to it.
  qacl::CListRoom m_listMemory;

 public:
  int m_bInherited = 0;
  int m_nScope = FilesScope;
  int m_nType = ValidUser;
  std::string m_strType;
  CACLStringList m_Methods{&m_listMemory};
  CACLStringList m_Files{&m_listMemory};
  CACLStringList m_Names{&m_listMemory};
};

namespace qacl {

// Records parsed together are made in batches that share one heap block,
// given back with the last of its records: a load parses a record for every
// require line along the path, and a heap call for each would cost more than
// the parsing.
class CPermissionBatch;

// Deletes a record made on its own with new, or one made in a batch.
class CPermissionDeleter {
 public:
  CPermissionDeleter() = default;
  explicit CPermissionDeleter(CPermissionBatch* pBatch) : m_pBatch(pBatch) {}
  // Not explicit: a record made with std::make_unique joins a list as it is.
  CPermissionDeleter(std::default_delete<CACLPermission>) {}
  void operator()(CACLPermission* pRecord) const;

 private:
  CPermissionBatch* m_pBatch = nullptr;
};

}  // namespace qacl

using CACLPermissionPtr = std::unique_ptr<CACLPermission, qacl::CPermissionDeleter>;
using CACLPermissionList = std::vector<CACLPermissionPtr>;
// Records lent out for rendering; they stay owned by their CACL.
using CACLPermissionRefs = std::vector<const CACLPermission*>;

class CACL {
 public:
  enum QuotaUnit : std::int16_t { QuotaBytes = 0, QuotaKilobytes = 1, QuotaMegabytes = 2 };

  CACL();
  explicit CACL(const qacl::CFileWork& work);
  virtual ~CACL();
  CACL(const CACL&) = delete;
  CACL& operator=(const CACL&) = delete;

#ifdef _WIN32
  // Gathers the settings in force for a target; *pbFound becomes 1 when an
  // access file (or section) was found. Always answers S_OK.
  HRESULT Load(const char* lpszInstance, const char* lpszSiteRoot, const char* lpszSiteRootIdentity,
               const char* lpszApplicationRoot, const char* lpszTarget, const char* lpszIdentity,
               const char* lpszVirtualPath, int* pbFound);
  // Writes the target's own settings as its access file or as its section
  // of the single access file. *pbSaved becomes 1 on success; *pbstrError
  // (when given) may receive a message the caller frees.
  HRESULT Save(const char* lpszPhysicalPath, const char* lpszIdentity, const char* lpszVirtualPath,
               const char* lpszConfigFileName, int* pbSaved, BSTR* pbstrError);
  // Merges one access file, or only its section `lpszSection` when given.
  void ReadConfigFile(const char* lpszFile, const char* lpszSection);
#endif

  // The platform-free part of ReadConfigFile: merges the lines of an opened
  // access file (`file` is its path, for the own-file test).
  void MergeConfigLines(qacl::CLineReader& reader, const std::string& file, const char* lpszSection);

  void TextToPermissions(const std::string& text, CACLPermissionList& records, int bInherited);
  void PermissionsToText(CACLPermissionRefs records, std::string& text, int bInherited);
  void ClearParameters();
  void ClearDataSourceParameters();

  // The body of an access file (or section) as the writer stores it.
  std::string BodyText();

  // Load context.
  std::string m_strConfigFileName;
  int m_bSingleFile = 0;
  std::string m_strVirtualPath;
  std::string m_strPhysicalPath;
  std::string m_strFileName;
  std::string m_strTargetFile;
  std::string m_strTargetSection;
  std::string m_strCurrentDir;
  int m_bFound = 0;
  int m_bReadingInherited = 1;
  int m_bOwnDataSource = 0;
  std::string m_strDefaultIdentity;
  int m_bAccessFreeFilesAsAnonymous = 1;

  // Plain settings.
  int m_bAllowInheritance = 1;
  int m_bAllowPermissionsInheritance = 1;
  int m_bAllowFrontPage = 0;
  int m_bDenyPhysicalPath = 0;
  std::int64_t m_llDiskQuota = -1;
  std::int16_t m_nQuotaUnit = QuotaBytes;
  std::string m_strQuotaPath;
  int m_nTimeOut = -1;
  std::string m_strDebug;
  std::string m_strAuthName;
  std::string m_strAuthType;
  std::string m_strLoginForm;

  // User data source.
  int m_nDataSourceType = 0;
  std::string m_strAuthUserFile;
  std::string m_strAuthGroupFile;
  std::string m_strAuthUserFileCredentials;
  std::string m_strConnectionString;
  std::string m_strQueryUserByID;
  std::string m_strQueryUserByCertificateID;
  std::string m_strQueryUserByName;
  std::string m_strQueryGroup;
  std::string m_strLDAPURL;
  std::string m_strLDAPBindDN;
  std::string m_strLDAPBindPassword;
  std::string m_strLDAPGroupAttribute;
  int m_bLDAPGroupAttributeIsDN = 1;
  std::string m_strLDAPRootContext;
  std::string m_strLDAPAttributes;
  std::string m_strADSIProvider;
  std::string m_strADSIDomain;
  std::string m_strADSIServer;
  std::string m_strADSIUserName;
  std::string m_strADSIPassword;

  // Lists and maps.
  std::vector<std::string> m_DenyAccess;
  std::vector<std::string> m_AllowEditConfig;
  std::vector<std::string> m_InheritedAllowEditConfig;
  std::map<int, std::string> m_ErrorDocuments;
  std::map<std::string, std::string> m_Redirects;
  std::string m_strPermissions;
  std::string m_strInheritedPermissions;
  std::string m_strSectionName;
  std::string m_strSectionText;
  CACLPermissionList m_PermissionRecords;

 private:
  struct CReadState;
  class CPermissionParser;
  struct CMergedPermissions;

  // The permission records of a load. When no one would receive the records
  // of parsing the permission texts, the inherited permission lines become
  // records as the files are merged, and are not kept as text: the load
  // would only parse that text and replace it.
  class CLoadPermissions {
   public:
    explicit CLoadPermissions(CACL& acl);
    ~CLoadPermissions();
    CLoadPermissions(const CLoadPermissions&) = delete;
    CLoadPermissions& operator=(const CLoadPermissions&) = delete;

    CMergedPermissions* Merged() const { return m_pMerged.get(); }
    // Replaces the CACL's records with those of its own permission text and
    // the inherited ones.
    void FillRecords();

   private:
    CACL& m_acl;
    std::unique_ptr<CMergedPermissions> m_pMerged;
  };

  void MergeLines(qacl::CLineReader& reader, const std::string& file, const char* lpszSection,
                  CMergedPermissions* pMerged);

  void HandleLine(int code, std::string_view line, std::string_view value, CReadState& state);
  void HandleDataSourceLine(int code, std::string_view value, CReadState& state);
  std::string* DataSourceString(int code);
  void DropInheritedPermissions();
  void MergeDiskQuota(const char* value);
  void MergeErrorDocument(std::string_view value);
  void MergeRedirect(const char* value);

#ifdef _WIN32
  void ReadConfigFile(const char* lpszFile, const char* lpszSection, CMergedPermissions* pMerged);
  HRESULT SaveDirectoryFile(const std::string& physicalPath, const char* lpszIdentity, const std::string& fileName,
                            BSTR* pbstrError);
  HRESULT SaveSection(const std::string& physicalPath, const char* lpszIdentity, const std::string& virtualPath,
                      const std::string& singleFile, BSTR* pbstrError);
#endif
  void WriteDataSource(std::string& body) const;
  std::string DiskQuotaLine();

  const qacl::CFileWork m_FileWork;
};

// Appends the elements of `list` in apostrophes, separated by `separator`;
// with `bSort` in ascending order without regard to case (stable).
void ArrayToString(std::string& text, const CACLStringList& list, const char* separator, int bSort);
