#include "CacheManager.h"

#include <algorithm>
#include <map>

#include "logging.h"

namespace {

// Timer identifiers are chosen by the system, so the shared timer callback
// finds its manager here.
struct CTimerTable {
  std::mutex lock;
  std::map<UINT_PTR, CCacheManager*> managers;
};

CTimerTable& Timers() {
  static CTimerTable table;
  return table;
}

CCacheManager* ManagerOf(UINT_PTR timerId) {
  CTimerTable& table = Timers();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.managers.find(timerId);
  return found == table.managers.end() ? nullptr : found->second;
}

}  // namespace

CCacheManager g_CacheManager;

CCacheManager::CCacheManager(UINT uPeriodMilliseconds) {
  // Traced functions are not called here: the library's global instance is
  // built before logging is set up.
  m_nTimerId = ::SetTimer(nullptr, 0, uPeriodMilliseconds, &CCacheManager::TimerProc);
  if (m_nTimerId != 0) {
    CTimerTable& table = Timers();
    std::lock_guard<std::mutex> guard(table.lock);
    table.managers[m_nTimerId] = this;
  }
}

CCacheManager::~CCacheManager() {
  if (m_nTimerId != 0) {
    ::KillTimer(nullptr, m_nTimerId);
    CTimerTable& table = Timers();
    std::lock_guard<std::mutex> guard(table.lock);
    table.managers.erase(m_nTimerId);
  }
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  m_Registrations.clear();
}

void CCacheManager::RegisterCacher(CACHER_CALLBACK pfnCallback, void* pContext) {
  QTRACE_FUNCTION("CCacheManager::RegisterCacher");
  if (!pfnCallback) return;
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  m_Registrations.push_back({pfnCallback, pContext});
}

void CCacheManager::UnregisterCacher(CACHER_CALLBACK pfnCallback, void* pContext) {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  m_Registrations.erase(std::remove_if(m_Registrations.begin(), m_Registrations.end(),
                                       [&](const CRegistration& r) {
                                         return r.pfnCallback == pfnCallback && r.pContext == pContext;
                                       }),
                        m_Registrations.end());
}

void CCacheManager::RunCachers() {
  std::lock_guard<std::recursive_mutex> guard(m_lock);
  // By index: a callback may append a registration.
  for (std::size_t i = 0; i < m_Registrations.size(); ++i) {
    const CRegistration registration = m_Registrations[i];
    registration.pfnCallback(registration.pContext);
  }
}

VOID CALLBACK CCacheManager::TimerProc(HWND, UINT, UINT_PTR idEvent, DWORD) {
  QTRACE_FUNCTION("CCacheManager::TimerProc");
  if (CCacheManager* manager = ManagerOf(idEvent)) manager->RunCachers();
}
