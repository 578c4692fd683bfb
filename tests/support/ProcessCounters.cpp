#include "ProcessCounters.h"

#include <psapi.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace qtest {

namespace {

// Wine 8 gap: GetProcessHandleCount succeeds with 0, PrivateUsage of
// GetProcessMemoryInfo is 0, and GetGuiResources is a stub that answers 0.
// A soak built on them alone would pass whatever leaks, so where they answer
// 0 under Wine the counters below count for themselves.

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct CSystemHandleEntry {
  USHORT processId;
  USHORT creatorBackTraceIndex;
  UCHAR objectType;
  UCHAR flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};

struct CSystemHandleInformation {
  ULONG count;
  CSystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// The process's own entries in the system's handle list.
unsigned long CountListedHandles() {
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<char> buffer(1 << 16);
  ULONG needed = 0;
  LONG status;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
         kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const auto* list = reinterpret_cast<const CSystemHandleInformation*>(buffer.data());
  const USHORT self = static_cast<USHORT>(::GetCurrentProcessId());
  unsigned long count = 0;
  for (ULONG i = 0; i < list->count; ++i) {
    if (list->entries[i].processId == self) ++count;
  }
  return count;
}

// Committed private regions of the address space, as VirtualQuery walks it.
unsigned long long SumPrivateRegions() {
  unsigned long long total = 0;
  MEMORY_BASIC_INFORMATION region;
  const char* address = nullptr;
  while (::VirtualQuery(address, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

// Wine keeps the process's GDI objects in a table that the PEB points to
// (GdiSharedHandleTable); a used entry has a non-zero type.
struct CWineGdiEntry {
  unsigned long long object;
  ULONG owner;
  USHORT unique;
  UCHAR type;
  UCHAR flags;
  unsigned long long userPointer;
};
constexpr unsigned kWineGdiEntries = 0x10000;

unsigned long CountWineGdiEntries() {
  struct CPebView {
    BYTE before[sizeof(void*) == 4 ? 0x94 : 0xF8];
    const CWineGdiEntry* gdiSharedHandleTable;
  };
  const auto* peb = reinterpret_cast<const CPebView*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  if (!peb->gdiSharedHandleTable) return 0;
  unsigned long count = 0;
  for (unsigned i = 0; i < kWineGdiEntries; ++i) {
    if (peb->gdiSharedHandleTable[i].type != 0) ++count;
  }
  return count;
}

bool IsOwnWindow(HWND window) {
  DWORD process = 0;
  return ::IsWindow(window) && ::GetWindowThreadProcessId(window, &process) && process == ::GetCurrentProcessId();
}

// Wine numbers USER handles 0x20, 0x22, ... and takes a handle whose upper
// word is zero for any generation of its slot: probing every slot finds the
// windows and menus that the process holds. Windows of every process answer
// there, so only the process's own are counted (menus answer only their own
// process): other programs open and close windows meanwhile.
unsigned long CountWineUserSlots() {
  constexpr ULONG kFirst = 0x20, kLast = 0xFFEF;
  unsigned long count = 0;
  for (ULONG value = kFirst; value <= kLast; value += 2) {
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
    if (IsOwnWindow(static_cast<HWND>(handle)) || ::IsMenu(static_cast<HMENU>(handle))) ++count;
  }
  return count;
}

long long Grown(long long before, long long after) { return after - before; }

}  // namespace

bool RunningOnWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

unsigned long HandleCount() {
  DWORD count = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count != 0) return count;
  return RunningOnWine() ? CountListedHandles() : count;
}

unsigned long long PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters) &&
      counters.PrivateUsage != 0) {
    return counters.PrivateUsage;
  }
  return RunningOnWine() ? SumPrivateRegions() : 0;
}

unsigned long GdiObjectCount() {
  const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  return count == 0 && RunningOnWine() ? CountWineGdiEntries() : count;
}

unsigned long UserObjectCount() {
  const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  return count == 0 && RunningOnWine() ? CountWineUserSlots() : count;
}

CCounts Measure(bool withGui) {
  CCounts counts;
  counts.handles = HandleCount();
  counts.privateBytes = static_cast<long long>(PrivateBytes());
  if (withGui) {
    counts.gdiObjects = GdiObjectCount();
    counts.userObjects = UserObjectCount();
  }
  return counts;
}

namespace {

bool WithinBounds(const CCounts& before, const CCounts& after, bool withGui, const CGrowthBounds& bounds) {
  return Grown(before.handles, after.handles) <= bounds.handles &&
         Grown(before.privateBytes, after.privateBytes) <= bounds.privateBytes &&
         (!withGui || (Grown(before.gdiObjects, after.gdiObjects) <= bounds.gdiObjects &&
                       Grown(before.userObjects, after.userObjects) <= bounds.userObjects));
}

void PrintWindow(const std::string& name, int iterations, const CCounts& before, const CCounts& after,
                 bool withGui) {
  std::printf("SOAK %s x%d: handles %lld -> %lld, private bytes %lld -> %lld", name.c_str(), iterations,
              before.handles, after.handles, before.privateBytes, after.privateBytes);
  if (withGui) {
    std::printf(", GDI %lld -> %lld, USER %lld -> %lld", before.gdiObjects, after.gdiObjects, before.userObjects,
                after.userObjects);
  }
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

void ExpectFlatUnderLoad(const std::string& name, int warmUp, int iterations, const std::function<void()>& call,
                         bool withGui, const CGrowthBounds& bounds) {
  for (int i = 0; i < warmUp; ++i) call();
  const auto runWindow = [&](CCounts& before, CCounts& after) {
    before = Measure(withGui);
    for (int i = 0; i < iterations && !::testing::Test::HasFatalFailure(); ++i) call();
    after = Measure(withGui);
    PrintWindow(name, iterations, before, after, withGui);
  };
  CCounts before;
  CCounts after;
  runWindow(before, after);
  EXPECT_GT(before.handles, 0) << "the handle counter does not answer";
  EXPECT_GT(before.privateBytes, 0) << "the memory counter does not answer";
  // The system may grow once under the load (a worker thread of its own, a
  // larger cache): a leak grows again in a second window, a one-time growth
  // does not.
  if (!WithinBounds(before, after, withGui, bounds)) runWindow(before, after);
  EXPECT_LE(Grown(before.handles, after.handles), bounds.handles) << name;
  EXPECT_LE(Grown(before.privateBytes, after.privateBytes), bounds.privateBytes) << name;
  if (withGui) {
    EXPECT_GT(before.gdiObjects, 0) << "the GDI counter does not answer";
    EXPECT_LE(Grown(before.gdiObjects, after.gdiObjects), bounds.gdiObjects) << name;
    EXPECT_LE(Grown(before.userObjects, after.userObjects), bounds.userObjects) << name;
  }
}

}  // namespace qtest
