// Logon tokens of the configured accounts: ImpersonateThread puts one on the
// calling thread; the process-wide CImpersonationTokenCache logs each account
// on once and keeps its token until it has been idle for more than 300 s.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "CacheManager.h"
#include "TokenCacheRules.h"
#include "Win32/Handles.h"

// Logs an account on; answers a token the caller owns, or null with the
// cause in GetLastError. Domain and password may be null.
typedef HANDLE (*LOGON_FUNCTION)(const char* lpszUser, const char* lpszDomain, const char* lpszPassword);
typedef qtoken::CLocalTime (*LOCAL_TIME_FUNCTION)();

// The local date and time to the second: the clock of the process-wide cache.
qtoken::CLocalTime SystemLocalTime();

class CImpersonationTokenCache {
 public:
  // Registers CloseUnusedTokens with `manager`.
  CImpersonationTokenCache(CCacheManager& manager, LOGON_FUNCTION pfnLogon, LOCAL_TIME_FUNCTION pfnLocalTime);
  virtual ~CImpersonationTokenCache();
  CImpersonationTokenCache(const CImpersonationTokenCache&) = delete;
  CImpersonationTokenCache& operator=(const CImpersonationTokenCache&) = delete;

  // The process-wide cache, created on first use: it logs on with LogonUserA
  // on the system clock.
  static CImpersonationTokenCache& ProcessCache();

  // The token of `lpszIdentity` (kept by the cache), or null when the logon
  // fails.
  HANDLE GetToken(const char* lpszIdentity);
  // The registered callback: drops tokens idle for more than 300 seconds.
  static void CloseUnusedTokens(void* pContext);

  std::size_t EntryCount();

 private:
  struct CEntry {
    std::string m_strIdentity;
    qwin::CHandle m_hToken;
    qtoken::CLocalTime m_LastUse;
  };

  class CLock {
   public:
    explicit CLock(CRITICAL_SECTION& section) : m_section(section) { ::EnterCriticalSection(&m_section); }
    ~CLock() { ::LeaveCriticalSection(&m_section); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

   private:
    CRITICAL_SECTION& m_section;
  };

  HANDLE FindToken(const std::string& identity);
  HANDLE LogOn(const std::string& identity);

  CCacheManager& m_Manager;
  LOGON_FUNCTION m_pfnLogon;
  LOCAL_TIME_FUNCTION m_pfnLocalTime;
  CRITICAL_SECTION m_lock;
  std::vector<std::unique_ptr<CEntry>> m_Entries;
};

// Puts the token of `lpszIdentity` from `pTokens` (null: the process-wide
// cache) on the calling thread. *phPreviousToken receives the thread's
// previous token (null when it had none): when the call answers true the
// caller puts it back (SetThreadToken) and, when not null, closes it either
// way.
bool ImpersonateThread(const char* lpszIdentity, HANDLE* phPreviousToken, CImpersonationTokenCache* pTokens = nullptr);

// The caller protocol of ImpersonateThread for one scope, with the tokens of
// `pTokens` (null: the process-wide cache): with a null identity nothing
// happens; an identity that cannot be logged on leaves the thread as it is.
class CThreadImpersonation {
 public:
  explicit CThreadImpersonation(const char* lpszIdentity, CImpersonationTokenCache* pTokens = nullptr);
  ~CThreadImpersonation() { Revert(); }
  CThreadImpersonation(const CThreadImpersonation&) = delete;
  CThreadImpersonation& operator=(const CThreadImpersonation&) = delete;

  void Revert();

 private:
  bool m_bImpersonating = false;
  HANDLE m_hPreviousToken = nullptr;
};
