// Helpers of the membership tests that run under Windows (Wine): scratch
// folders, a private registry, and a stand-in logon that hands out real
// tokens. Wine's LogonUserA is a stub (it answers TRUE with an unusable
// handle for any account), so the cache and CACL::Load are tested with the
// stand-in, which duplicates the process token as an impersonation token
// (accepted by SetThreadToken) and remembers which account each token is for.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "CacheManager.h"
#include "ImpersonationTokenCache.h"

namespace w32test {

// A fresh folder under the system's temporary folder, removed afterwards.
class CScratchDir {
 public:
  CScratchDir();
  ~CScratchDir();
  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

 private:
  std::string m_path;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
bool Exists(const std::string& path);

// HKEY_LOCAL_MACHINE of this process redirected to a private key below
// HKEY_CURRENT_USER for the object's lifetime (tests run in parallel).
class CRegistrySandbox {
 public:
  CRegistrySandbox();
  ~CRegistrySandbox();
  // Sets a value below HKLM (that is, inside the sandbox).
  void SetString(const std::string& key, const char* name, const std::string& value);
  void SetNumber(const std::string& key, const char* name, DWORD value);

 private:
  std::string m_path;
  HKEY m_root = nullptr;
};

// The stand-in logon. Empty user names and the user "bad" fail with
// ERROR_LOGON_FAILURE.
struct CLogonCall {
  std::string user;
  std::string domain;    // "(null)" when none was passed
  std::string password;  // "(null)" when none was passed
};
HANDLE StandInLogon(const char* lpszUser, const char* lpszDomain, const char* lpszPassword);
std::vector<CLogonCall>& StandInLogons();
// A token cache of a test's own that logs on with StandInLogon, on the
// system clock; its expiry timer does not fire within a test.
class CStandInTokenCache {
 public:
  CImpersonationTokenCache* Get() { return &m_cache; }

 private:
  CCacheManager m_manager{0x7fffffff};
  CImpersonationTokenCache m_cache{m_manager, &StandInLogon, &SystemLocalTime};
};
// "domain\user" of the stand-in token on the calling thread, "" without one.
std::string ThreadAccount();

// Pumps the calling thread's messages for at most `milliseconds`, stopping
// early when `done` answers true.
template <class Done>
void PumpMessages(DWORD milliseconds, Done done) {
  const DWORD start = ::GetTickCount();
  while (!done() && ::GetTickCount() - start < milliseconds) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

}  // namespace w32test
