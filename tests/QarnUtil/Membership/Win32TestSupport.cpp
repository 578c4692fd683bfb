#include "Win32TestSupport.h"

#include <mutex>

#include "Win32/Handles.h"

namespace w32test {

namespace {

std::string UniqueName(const char* prefix) {
  static LONG counter = 0;
  return std::string(prefix) + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(::InterlockedIncrement(&counter));
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  qwin::CFindHandle find(::FindFirstFileA((path + "\\*").c_str(), &data));
  if (find) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::DeleteFileA(child.c_str());
      }
    } while (::FindNextFileA(find.Get(), &data));
  }
  find.Reset();
  ::RemoveDirectoryA(path.c_str());
}

struct CStandInState {
  std::mutex lock;
  std::vector<CLogonCall> calls;
  std::map<std::pair<DWORD, LONG>, std::string> accounts;  // token id -> account
};

CStandInState& StandIn() {
  static CStandInState state;
  return state;
}

std::pair<DWORD, LONG> TokenId(HANDLE token) {
  TOKEN_STATISTICS statistics = {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size);
  return {statistics.TokenId.LowPart, statistics.TokenId.HighPart};
}

}  // namespace

CScratchDir::CScratchDir() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(sizeof temp, temp);
  m_path = std::string(temp) + UniqueName("qarn_acl_");
  ::CreateDirectoryA(m_path.c_str(), nullptr);
}

CScratchDir::~CScratchDir() { RemoveTree(m_path); }

void WriteText(const std::string& path, const std::string& text) {
  qwin::CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ::WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadText(const std::string& path) {
  qwin::CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  return text;
}

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

CRegistrySandbox::CRegistrySandbox() : m_path("Software\\QarnMembershipTests\\" + UniqueName("p")) {
  ::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_root, nullptr);
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m_root);
}

CRegistrySandbox::~CRegistrySandbox() {
  ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  ::RegCloseKey(m_root);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
}

void CRegistrySandbox::SetString(const std::string& key, const char* name, const std::string& value) {
  qwin::CRegKey handle;
  ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(), nullptr);
  ::RegSetValueExA(handle.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void CRegistrySandbox::SetNumber(const std::string& key, const char* name, DWORD value) {
  qwin::CRegKey handle;
  ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.Put(), nullptr);
  ::RegSetValueExA(handle.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

HANDLE StandInLogon(const char* lpszUser, const char* lpszDomain, const char* lpszPassword) {
  CStandInState& state = StandIn();
  std::lock_guard<std::mutex> guard(state.lock);
  state.calls.push_back({lpszUser, lpszDomain ? lpszDomain : "(null)", lpszPassword ? lpszPassword : "(null)"});
  if (!*lpszUser || std::string(lpszUser) == "bad") {
    ::SetLastError(ERROR_LOGON_FAILURE);
    return nullptr;
  }
  qwin::CHandle process;
  ::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process.Put());
  HANDLE token = nullptr;
  ::DuplicateTokenEx(process.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenImpersonation, &token);
  state.accounts[TokenId(token)] = (lpszDomain ? std::string(lpszDomain) + "\\" : std::string()) + lpszUser;
  return token;
}

std::vector<CLogonCall>& StandInLogons() { return StandIn().calls; }

std::string ThreadAccount() {
  qwin::CHandle token;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.Put())) return "";
  CStandInState& state = StandIn();
  std::lock_guard<std::mutex> guard(state.lock);
  auto found = state.accounts.find(TokenId(token.Get()));
  return found == state.accounts.end() ? "?" : found->second;
}

}  // namespace w32test
