#include "ImpersonationTokenCache.h"

#include <algorithm>

#include "logging.h"

namespace {

// Network logon tokens are primary tokens; the thread needs an
// impersonation token, so the logon hands out a duplicate of that kind.
HANDLE LogonWithSystem(const char* lpszUser, const char* lpszDomain, const char* lpszPassword) {
  qwin::CHandle logonToken;
  if (!::LogonUserA(lpszUser, lpszDomain, lpszPassword, LOGON32_LOGON_NETWORK_CLEARTEXT, LOGON32_PROVIDER_DEFAULT,
                    logonToken.Put())) {
    return nullptr;
  }
  HANDLE impersonationToken = nullptr;
  if (::DuplicateTokenEx(logonToken.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE | TOKEN_DUPLICATE, nullptr,
                         SecurityImpersonation, TokenImpersonation, &impersonationToken)) {
    return impersonationToken;
  }
  return logonToken.Release();
}

// The logon runs under the process identity: a token on the calling thread
// is taken off for its duration and put back afterwards.
class CThreadTokenSuspension {
 public:
  CThreadTokenSuspension() {
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_IMPERSONATE, TRUE, m_hToken.Put())) {
      ::SetThreadToken(nullptr, nullptr);
    }
  }
  ~CThreadTokenSuspension() {
    if (m_hToken) ::SetThreadToken(nullptr, m_hToken.Get());
  }
  CThreadTokenSuspension(const CThreadTokenSuspension&) = delete;
  CThreadTokenSuspension& operator=(const CThreadTokenSuspension&) = delete;

 private:
  qwin::CHandle m_hToken;
};

}  // namespace

qtoken::CLocalTime SystemLocalTime() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

CImpersonationTokenCache::CImpersonationTokenCache(CCacheManager& manager, LOGON_FUNCTION pfnLogon,
                                                   LOCAL_TIME_FUNCTION pfnLocalTime)
    : m_Manager(manager), m_pfnLogon(pfnLogon), m_pfnLocalTime(pfnLocalTime) {
  QTRACE_FUNCTION("CImpersonationTokenCache::CImpersonationTokenCache");
  ::InitializeCriticalSection(&m_lock);
  m_Manager.RegisterCacher(&CImpersonationTokenCache::CloseUnusedTokens, this);
}

CImpersonationTokenCache::~CImpersonationTokenCache() {
  QTRACE_FUNCTION("CImpersonationTokenCache::~CImpersonationTokenCache");
  m_Manager.UnregisterCacher(&CImpersonationTokenCache::CloseUnusedTokens, this);
  {
    CLock lock(m_lock);
    m_Entries.clear();
  }
  ::DeleteCriticalSection(&m_lock);
}

CImpersonationTokenCache& CImpersonationTokenCache::ProcessCache() {
  // Built once per process, also when two threads arrive together.
  static CImpersonationTokenCache cache(g_CacheManager, &LogonWithSystem, &SystemLocalTime);
  return cache;
}

HANDLE CImpersonationTokenCache::GetToken(const char* lpszIdentity) {
  QTRACE_FUNCTION("CImpersonationTokenCache::GetToken");
  if (!lpszIdentity) return nullptr;
  const std::string identity = lpszIdentity;
  if (HANDLE token = FindToken(identity)) return token;
  return LogOn(identity);
}

HANDLE CImpersonationTokenCache::FindToken(const std::string& identity) {
  CLock lock(m_lock);
  for (const auto& entry : m_Entries) {
    if (qtoken::SameLogon(entry->m_strIdentity, identity)) {
      entry->m_LastUse = m_pfnLocalTime();
      return entry->m_hToken.Get();
    }
  }
  return nullptr;
}

// Outside the lock: two threads missing the same identity may both log on;
// the first entry is the one found afterwards, the other expires when idle.
HANDLE CImpersonationTokenCache::LogOn(const std::string& identity) {
  const qtoken::CIdentityParts parts = qtoken::SplitIdentity(identity);
  CThreadTokenSuspension processIdentity;
  HANDLE token = m_pfnLogon(parts.user.c_str(), parts.hasDomain ? parts.domain.c_str() : nullptr,
                            parts.hasPassword ? parts.password.c_str() : nullptr);
  if (!token) {
    QLOG_VALUE(ERROR, "LogonUser", "GetLastError", ::GetLastError());
    return nullptr;
  }
  auto entry = std::make_unique<CEntry>();
  entry->m_strIdentity = identity;
  entry->m_hToken.Reset(token);
  entry->m_LastUse = m_pfnLocalTime();
  CLock lock(m_lock);
  m_Entries.push_back(std::move(entry));
  return token;
}

void CImpersonationTokenCache::CloseUnusedTokens(void* pContext) {
  QTRACE_FUNCTION("CImpersonationTokenCache::CloseUnusedTokens");
  auto* cache = static_cast<CImpersonationTokenCache*>(pContext);
  if (!cache) return;
  CLock lock(cache->m_lock);
  const qtoken::CLocalTime now = cache->m_pfnLocalTime();
  auto& entries = cache->m_Entries;
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const std::unique_ptr<CEntry>& entry) {
                                 return qtoken::SecondsBetween(entry->m_LastUse, now) > qtoken::kIdleSecondsKept;
                               }),
                entries.end());
}

std::size_t CImpersonationTokenCache::EntryCount() {
  CLock lock(m_lock);
  return m_Entries.size();
}

bool ImpersonateThread(const char* lpszIdentity, HANDLE* phPreviousToken, CImpersonationTokenCache* pTokens) {
  QTRACE_FUNCTION("ImpersonateThread");
  if (!phPreviousToken) return false;
  *phPreviousToken = nullptr;
  CImpersonationTokenCache& tokens = pTokens ? *pTokens : CImpersonationTokenCache::ProcessCache();
  HANDLE token = tokens.GetToken(lpszIdentity);
  if (!token) return false;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY | TOKEN_IMPERSONATE, FALSE, phPreviousToken)) {
    *phPreviousToken = nullptr;
  }
  return ::SetThreadToken(nullptr, token) != FALSE;
}

CThreadImpersonation::CThreadImpersonation(const char* lpszIdentity, CImpersonationTokenCache* pTokens) {
  if (lpszIdentity) m_bImpersonating = ImpersonateThread(lpszIdentity, &m_hPreviousToken, pTokens);
}

void CThreadImpersonation::Revert() {
  if (m_bImpersonating) ::SetThreadToken(nullptr, m_hPreviousToken);
  m_bImpersonating = false;
  if (m_hPreviousToken) ::CloseHandle(m_hPreviousToken);
  m_hPreviousToken = nullptr;
}
