// The process-wide periodic timer that lets registered caches drop stale
// entries. The library's instance, g_CacheManager, is built when the library
// loads; its windowless timer fires on that thread whenever the thread
// dispatches its messages.
#pragma once

#include <windows.h>

#include <mutex>
#include <vector>

typedef void (*CACHER_CALLBACK)(void* pContext);

class CCacheManager {
 public:
  static const UINT kDefaultPeriod = 30000;

  explicit CCacheManager(UINT uPeriodMilliseconds = kDefaultPeriod);
  virtual ~CCacheManager();
  CCacheManager(const CCacheManager&) = delete;
  CCacheManager& operator=(const CCacheManager&) = delete;

  void RegisterCacher(CACHER_CALLBACK pfnCallback, void* pContext);
  // Takes a registration back, for a cache that goes away before the manager.
  void UnregisterCacher(CACHER_CALLBACK pfnCallback, void* pContext);
  // Calls every registered callback with its context, in registration order.
  void RunCachers();

  static VOID CALLBACK TimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

  UINT_PTR m_nTimerId = 0;

 private:
  struct CRegistration {
    CACHER_CALLBACK pfnCallback;
    void* pContext;
  };

  // Recursive: a callback may register another cache.
  std::recursive_mutex m_lock;
  std::vector<CRegistration> m_Registrations;
};

// The library's cache manager (reference it to make sure the linker keeps it).
extern CCacheManager g_CacheManager;
