#include "MetabaseFile.h"

#include <mdmsg.h>
#include <shlobj.h>

#include <cwctype>

#include "MetabaseStandIn.h"

namespace metabase {

namespace {

// Long enough for any single operation of another process, short enough
// that a wedged process shows up as a failure rather than a hung test.
constexpr DWORD kMutexWaitMs = 30000;

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t ProcessStartTime(HANDLE process) {
  FILETIME creation, exit, kernel, user;
  return ::GetProcessTimes(process, &creation, &exit, &kernel, &user) ? FileTimeValue(creation) : 0;
}

bool IsOwnerAlive(const COwner& owner) {
  qwin::CHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner.processId));
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;  // exists, but is not ours to ask
  DWORD exitCode = 0;
  if (::GetExitCodeProcess(process.Get(), &exitCode) && exitCode != STILL_ACTIVE) return false;
  return ProcessStartTime(process.Get()) == owner.startTime;
}

// One mutex per metabase file, so that tests with files of their own do not
// wait for one another.
std::wstring MutexName(const std::wstring& path) {
  uint32_t hash = 2166136261u;  // FNV-1a over the path without regard to case
  for (wchar_t c : path) {
    hash = (hash ^ static_cast<uint32_t>(std::towlower(static_cast<wint_t>(c)))) * 16777619u;
  }
  wchar_t name[64];
  wsprintfW(name, L"QarnMetabaseStandIn-%08x", hash);
  return name;
}

std::wstring ParentFolder(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

std::wstring ConfiguredFilePath() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetEnvironmentVariableW(kFileVariable, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return buffer;
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
  }
  return std::wstring(buffer) + L"\\QARN Stand-ins\\Metabase\\metabase.txt";
}

HRESULT ToHResult(EStatus status) {
  switch (status) {
    case EStatus::Ok: return S_OK;
    case EStatus::PathNotFound: return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EStatus::AlreadyExists: return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    case EStatus::NoMoreItems: return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
    case EStatus::InvalidHandle: return E_HANDLE;
    case EStatus::AccessDenied: return E_ACCESSDENIED;
    case EStatus::DataNotFound: return MD_ERROR_DATA_NOT_FOUND;
    case EStatus::PathBusy: return HRESULT_FROM_WIN32(ERROR_PATH_BUSY);
    case EStatus::InvalidArgument: return E_INVALIDARG;
  }
  return E_UNEXPECTED;
}

COwner CurrentOwner() {
  static const COwner owner{::GetCurrentProcessId(), ProcessStartTime(::GetCurrentProcess())};
  return owner;
}

// --- the file --------------------------------------------------------------------

class CMetabaseFile::CLock {
 public:
  explicit CLock(HANDLE mutex) : m_mutex(mutex) {}
  ~CLock() {
    if (m_held) ::ReleaseMutex(m_mutex);
  }
  CLock(const CLock&) = delete;
  CLock& operator=(const CLock&) = delete;

  // A mutex abandoned by a process that died is ours all the same: the file
  // is only ever replaced whole, so its state is consistent.
  HRESULT Acquire() {
    if (!m_mutex) return E_HANDLE;
    DWORD wait = ::WaitForSingleObject(m_mutex, kMutexWaitMs);
    m_held = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return m_held ? S_OK : HRESULT_FROM_WIN32(ERROR_TIMEOUT);
  }

 private:
  HANDLE m_mutex;
  bool m_held = false;
};

CMetabaseFile::CMetabaseFile(std::wstring path)
    : m_path(std::move(path)), m_mutex(::CreateMutexW(nullptr, FALSE, MutexName(m_path).c_str())) {
  std::wstring folder = ParentFolder(m_path);
  if (!folder.empty()) ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
}

HRESULT CMetabaseFile::Run(const std::function<EStatus(CMetabase&)>& operation) {
  CLock lock(m_mutex.Get());
  HRESULT hr = lock.Acquire();
  if (FAILED(hr)) return hr;
  CMetabase state;
  hr = Load(&state);
  if (FAILED(hr)) return hr;
  state.DropHandles(IsOwnerAlive);
  EStatus status = operation(state);
  if (state.Dirty()) {
    hr = Save(state);
    if (FAILED(hr)) return hr;
  }
  return ToHResult(status);
}

HRESULT CMetabaseFile::Replace(const CMetabase& state) {
  CLock lock(m_mutex.Get());
  HRESULT hr = lock.Acquire();
  return FAILED(hr) ? hr : Save(state);
}

HRESULT CMetabaseFile::Load(CMetabase* state) const {
  qwin::CFileHandle file(::CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = ::GetLastError();
    // No file yet: an empty metabase.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
  }
  std::string text;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  return state->Parse(text) ? S_OK : MD_ERROR_READ_METABASE_FILE;
}

// Written beside the file and moved over it, so that a process that dies while
// writing leaves the previous state rather than half a file.
HRESULT CMetabaseFile::Save(const CMetabase& state) const {
  const std::wstring temporary = m_path + L".tmp";
  const std::string text = state.Serialize();
  {
    qwin::CFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return qwin::HResultFromLastError();
    DWORD written = 0;
    if (!::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      return qwin::HResultFromLastError();
    }
  }
  if (!::MoveFileExW(temporary.c_str(), m_path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return qwin::HResultFromLastError();
  }
  return S_OK;
}

}  // namespace metabase
