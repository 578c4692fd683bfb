// The Windows side of CACL: reading access files, loading a target along its
// path under the configured identities, and saving per-directory files and
// sections of the single access file.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

#include "ACL.h"
#include "ACLDirectives.h"
#include "ACLPaths.h"
#include "AccessFileLines.h"
#include "Com/ComPtr.h"
#include "ImpersonationTokenCache.h"
#include "RegistryData.h"
#include "Win32/Handles.h"
#include "logging.h"

static_assert(std::is_same<HRESULT, long>::value && std::is_same<BSTR, wchar_t*>::value,
              "ACL.h declares HRESULT and BSTR as the Windows headers do");

using namespace qacl;

namespace {

const char kWriteErrorText[] = "Error writting to file";
const std::size_t kMaxErrorTextBytes = 500;
// How long a replacement of the single file waits for readers to let go.
const int kReplaceAttempts = 100;
const DWORD kReplaceRetryMilliseconds = 20;

class CFileSource : public IByteSource {
 public:
  explicit CFileSource(HANDLE file) : m_file(file) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    if (!::ReadFile(m_file, buffer, static_cast<DWORD>(size), &read, nullptr)) return 0;
    return read;
  }

 private:
  HANDLE m_file;
};

// Collects output and writes it in large pieces.
class CFileWriter {
 public:
  explicit CFileWriter(HANDLE file) : m_file(file) {}
  bool Write(const std::string& text) {
    m_pending += text;
    return m_pending.size() < kFlushBytes || Flush();
  }
  bool Flush() {
    std::size_t done = 0;
    while (done < m_pending.size()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(m_pending.size() - done);
      if (!::WriteFile(m_file, m_pending.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    m_pending.clear();
    return true;
  }

 private:
  static const std::size_t kFlushBytes = 256 * 1024;
  HANDLE m_file;
  std::string m_pending;
};

// A failure never reads as success, even when the system left no error code.
HRESULT FailureFromWin32(DWORD error) {
  return error == ERROR_SUCCESS ? E_FAIL : qwin::HResultFromWin32(static_cast<LONG>(error));
}

std::string Text(const char* text) { return text ? text : ""; }

const char* EffectiveIdentity(const char* identity, const std::string& defaultIdentity) {
  if (!defaultIdentity.empty() && (!identity || !*identity)) return defaultIdentity.c_str();
  return identity;
}

bool IsExistingDirectory(const std::string& path, const char* identity, CImpersonationTokenCache* pTokens) {
  CThreadImpersonation impersonation(identity, pTokens);
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetErrorText(BSTR* pbstrError, const std::string& text) {
  if (pbstrError) *pbstrError = qcom::CBstr::FromAnsi(text).Detach();
}

std::string CreateFileErrorText(DWORD error) {
  char message[kMaxErrorTextBytes] = {};
  ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, message,
                   sizeof message, nullptr);
  std::string text = std::string("Create File Error: ") + message;
  if (text.size() > kMaxErrorTextBytes) text.resize(kMaxErrorTextBytes);
  return text;
}

// Saves of the same single file are serialized across threads and processes
// by a named mutex derived from the file's full path.
class CSingleFileLock {
 public:
  explicit CSingleFileLock(const std::string& file) {
    const std::string name = "QarnUtil.ACL." + PathHash(file);
    m_mutex.Reset(::CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str()));
    if (!m_mutex) m_mutex.Reset(::CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str()));
    // An abandoned mutex (its owner died mid-save) is ours all the same.
    m_bOwned = m_mutex && ::WaitForSingleObject(m_mutex.Get(), INFINITE) != WAIT_FAILED;
  }
  ~CSingleFileLock() {
    if (m_bOwned) ::ReleaseMutex(m_mutex.Get());
  }
  CSingleFileLock(const CSingleFileLock&) = delete;
  CSingleFileLock& operator=(const CSingleFileLock&) = delete;

 private:
  static std::string PathHash(const std::string& file) {
    char full[MAX_PATH * 2] = {};
    const DWORD length = ::GetFullPathNameA(file.c_str(), sizeof full, full, nullptr);
    const std::string path = UpperCase(length > 0 && length < sizeof full ? std::string(full, length) : file);
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : path) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", hash);
    return hex;
  }

  qwin::CHandle m_mutex;
  bool m_bOwned = false;
};

// The new single file, deleted unless it replaced the old one.
class CNewFile {
 public:
  explicit CNewFile(std::string path) : m_path(std::move(path)) {}
  ~CNewFile() {
    if (!m_path.empty()) ::DeleteFileA(m_path.c_str());
  }
  CNewFile(const CNewFile&) = delete;
  CNewFile& operator=(const CNewFile&) = delete;
  const std::string& Path() const { return m_path; }
  void Keep() { m_path.clear(); }

 private:
  std::string m_path;
};

// Copies the single file without the old section `section`; the copy ends
// with a line end so that the new section starts on a line of its own.
bool CopyOtherSections(const std::string& singleFile, const std::string& section, CFileWriter& out) {
  qwin::CFileHandle in(::CreateFileA(singleFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return true;
  CFileSource source(in.Get());
  CLineReader reader(source);
  CSectionRemover remover(section);
  std::string raw;
  while (reader.NextRaw(raw)) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!remover.Keep(line)) continue;
    if (raw.back() != '\n') raw += "\r\n";
    if (!out.Write(raw)) return false;
  }
  return true;
}

bool ReplaceSingleFile(const std::string& newFile, const std::string& target, DWORD& error) {
  for (int attempt = 0; attempt < kReplaceAttempts; ++attempt) {
    if (::MoveFileExA(newFile.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    ::Sleep(kReplaceRetryMilliseconds);
  }
  return false;
}

}  // namespace

void CACL::ReadConfigFile(const char* lpszFile, const char* lpszSection) {
  ReadConfigFile(lpszFile, lpszSection, nullptr);
}

void CACL::ReadConfigFile(const char* lpszFile, const char* lpszSection, CMergedPermissions* pMerged) {
  QTRACE_FUNCTION("CACL::ReadConfigFile");
  if (!lpszFile) return;
  m_strCurrentDir = DirectoryPart(lpszFile);
  if (m_FileWork.pfnBeforeRead) m_FileWork.pfnBeforeRead(lpszFile);
  // Delete sharing lets a save replace the single file while it is read.
  qwin::CFileHandle file(::CreateFileA(lpszFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    QLOG_STRING(INFO, "CreateFile(OPEN_EXISTING)", "lpszFile", lpszFile);
    QLOG_VALUE(INFO, "CreateFile(OPEN_EXISTING)", "GetLastError()", error);
    return;
  }
  CFileSource source(file.Get());
  CLineReader reader(source, m_FileWork.nReadBuffer);
  MergeLines(reader, lpszFile, lpszSection, pMerged);
}

HRESULT CACL::Load(const char* lpszInstance, const char* lpszSiteRoot, const char* lpszSiteRootIdentity,
                   const char* lpszApplicationRoot, const char* lpszTarget, const char* lpszIdentity,
                   const char* lpszVirtualPath, int* pbFound) {
  QTRACE_FUNCTION("CACL::Load(8)");
  if (pbFound) *pbFound = 0;
  CRegistryData registry;
  registry.Load(lpszInstance);
  m_strDefaultIdentity = registry.GetAccessProtectedFilesAs();
  m_bAccessFreeFilesAsAnonymous = registry.GetAccessFreeFilesAsAnonymous();
  const char* siteRootIdentity = EffectiveIdentity(lpszSiteRootIdentity, m_strDefaultIdentity);
  const char* identity = EffectiveIdentity(lpszIdentity, m_strDefaultIdentity);

  m_strConfigFileName = registry.GetConfigFileName();
  m_bSingleFile = m_strConfigFileName.find('\\') != std::string::npos ? 1 : 0;
  m_strVirtualPath = Text(lpszVirtualPath);
  m_strPhysicalPath = Text(lpszTarget);
  m_strFileName.clear();
  m_strTargetFile.clear();
  m_strTargetSection.clear();

  m_llDiskQuota = -1;
  m_nTimeOut = -1;
  m_bFound = 0;
  m_bReadingInherited = 1;
  m_bOwnDataSource = 0;
  m_bAllowInheritance = 1;
  m_bAllowPermissionsInheritance = 1;
  m_bDenyPhysicalPath = 0;
  ClearDataSourceParameters();
  ClearParameters();
  CLoadPermissions permissions(*this);

  const bool ownProduct = IsOwnProductPath(m_strVirtualPath);
  const bool isDirectory = IsExistingDirectory(m_strPhysicalPath, identity, m_FileWork.pTokenCache);
  m_strTargetSection = SectionName(m_strVirtualPath, isDirectory);
  const std::string directory = isDirectory ? m_strPhysicalPath : DirectoryPart(m_strPhysicalPath);
  if (!isDirectory) m_strFileName = LastComponent(m_strPhysicalPath);
  m_strTargetFile = JoinPath(directory, ownProduct ? kOwnProductConfigFile : m_strConfigFileName);

  // The single file is read under the caller's own identity.
  if (m_bSingleFile) {
    ReadConfigFile(m_strConfigFileName.c_str(), "/", permissions.Merged());
  } else {
    CThreadImpersonation impersonation(siteRootIdentity, m_FileWork.pTokenCache);
    ReadConfigFile(JoinPath(Text(lpszSiteRoot), m_strConfigFileName).c_str(), nullptr, permissions.Merged());
  }

  if (m_bSingleFile && !ownProduct) {
    for (const auto& parent : ParentSections(m_strTargetSection)) {
      ReadConfigFile(m_strConfigFileName.c_str(), parent.c_str(), permissions.Merged());
    }
    if (m_strTargetSection.size() >= 2) {
      ReadConfigFile(m_strConfigFileName.c_str(), m_strTargetSection.c_str(), permissions.Merged());
    }
  } else {
    if (ownProduct) m_strConfigFileName = kOwnProductConfigFile;
    CThreadImpersonation impersonation(identity, m_FileWork.pTokenCache);
    for (const auto& file :
         FilesAlongPath(m_strTargetFile, Text(lpszApplicationRoot), Text(lpszSiteRoot), m_strConfigFileName)) {
      ReadConfigFile(file.c_str(), nullptr, permissions.Merged());
    }
  }

  // The root inherits nothing.
  if (m_strVirtualPath == "/") m_bAllowPermissionsInheritance = 0;

  if (m_bFound == 1) {
    // The inherited text keeps only the rules that reach the target.
    permissions.FillRecords();
    CACLPermissionRefs records;
    records.reserve(m_PermissionRecords.size());
    for (const auto& record : m_PermissionRecords) records.push_back(record.get());
    PermissionsToText(std::move(records), m_strInheritedPermissions, 1);
    if (pbFound) *pbFound = 1;
  }
  return S_OK;
}

HRESULT CACL::Save(const char* lpszPhysicalPath, const char* lpszIdentity, const char* lpszVirtualPath,
                   const char* lpszConfigFileName, int* pbSaved, BSTR* pbstrError) {
  QTRACE_FUNCTION("CACL::Save(6)");
  if (pbSaved) *pbSaved = 0;
  if (pbstrError) *pbstrError = nullptr;
  if (!lpszPhysicalPath || !lpszVirtualPath || !lpszConfigFileName) return E_POINTER;
  const bool ownProduct = IsOwnProductPath(lpszVirtualPath);
  const bool singleFile = std::strchr(lpszConfigFileName, '\\') != nullptr && !ownProduct;
  const HRESULT hr = singleFile
                         ? SaveSection(lpszPhysicalPath, lpszIdentity, lpszVirtualPath, lpszConfigFileName, pbstrError)
                         : SaveDirectoryFile(lpszPhysicalPath, lpszIdentity,
                                             ownProduct ? kOwnProductConfigFile : lpszConfigFileName, pbstrError);
  if (hr == S_OK && pbSaved) *pbSaved = 1;
  return hr;
}

HRESULT CACL::SaveDirectoryFile(const std::string& physicalPath, const char* lpszIdentity, const std::string& fileName,
                                BSTR* pbstrError) {
  CThreadImpersonation impersonation(lpszIdentity, m_FileWork.pTokenCache);
  DWORD attributes = ::GetFileAttributesA(physicalPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      // A missing last directory is created.
      if (::CreateDirectoryA(physicalPath.c_str(), nullptr)) {
        attributes = FILE_ATTRIBUTE_DIRECTORY;
      } else {
        error = ::GetLastError();
      }
    }
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      QLOG_VALUE(ERROR, "CACL::Save", "GetLastError", error);
      impersonation.Revert();
      SetErrorText(pbstrError, CreateFileErrorText(error));
      return FailureFromWin32(error);
    }
  }
  const bool isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) || physicalPath.find('\\') == std::string::npos;
  const std::string path = JoinPath(isDirectory ? physicalPath : DirectoryPart(physicalPath), fileName);
  qwin::CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    QLOG_MESSAGE(ERROR, "INVALID_HANDLE_VALUE in CreateFile");
    impersonation.Revert();
    SetErrorText(pbstrError, CreateFileErrorText(error));
    return FailureFromWin32(error);
  }
  CFileWriter out(file.Get());
  if (!out.Write(BodyText()) || !out.Flush()) {
    file.Reset();
    QLOG_MESSAGE(ERROR, "Some error in Save(6). Need oprimization");
    impersonation.Revert();
    SetErrorText(pbstrError, kWriteErrorText);
    return E_FAIL;
  }
  return S_OK;
}

// The single file is never written in place: the new file is written beside
// it and replaces it in one step, and saves of the same file take turns, so
// an interrupted save leaves the old file whole and no save loses another's
// section.
HRESULT CACL::SaveSection(const std::string& physicalPath, const char* lpszIdentity, const std::string& virtualPath,
                          const std::string& singleFile, BSTR* pbstrError) {
  const bool isDirectory = IsExistingDirectory(physicalPath, lpszIdentity, m_FileWork.pTokenCache);
  const std::string section = SectionName(virtualPath, isDirectory);
  CSingleFileLock lock(singleFile);

  char newPath[MAX_PATH] = {};
  if (!::GetTempFileNameA(DirectoryPart(singleFile).c_str(), "acl", 0, newPath)) return qwin::HResultFromLastError();
  CNewFile newFile(newPath);
  qwin::CFileHandle file(
      ::CreateFileA(newPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const HRESULT hr = qwin::HResultFromLastError();
    QLOG_MESSAGE(ERROR, "INVALID_HANDLE_VALUE in CreateFile (2)");
    return hr;
  }
  CFileWriter out(file.Get());
  if (!CopyOtherSections(singleFile, section, out) || !out.Write("<ACL " + section + ">\r\n") || !out.Flush()) {
    const DWORD error = ::GetLastError();
    QLOG_VALUE(ERROR, "WriteFile", "GetLastError", error);
    SetErrorText(pbstrError, kWriteErrorText);
    return FailureFromWin32(error);
  }
  if (!out.Write(BodyText() + "</ACL>\r\n") || !out.Flush() || !::FlushFileBuffers(file.Get())) {
    QLOG_MESSAGE(ERROR, "Some error in Save(6). Need oprimization");
    SetErrorText(pbstrError, kWriteErrorText);
    return E_FAIL;
  }
  file.Reset();
  if (m_FileWork.pfnBeforeSingleFileReplace) m_FileWork.pfnBeforeSingleFileReplace(newFile.Path().c_str());
  DWORD error = ERROR_SUCCESS;
  if (!ReplaceSingleFile(newFile.Path(), singleFile, error)) return FailureFromWin32(error);
  newFile.Keep();
  return S_OK;
}
