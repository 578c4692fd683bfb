// The one exception boundary of the servers: every COM method, class factory
// and module entry point runs its body through ComBoundary, so no C++
// exception ever unwinds into a caller that cannot know about it.
#pragma once

#include <windows.h>

#include <new>
#include <utility>

namespace qcom {

// Runs body (which returns an HRESULT): running out of memory becomes
// E_OUTOFMEMORY, any other exception E_UNEXPECTED.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace qcom
