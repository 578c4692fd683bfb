// Each counter of the soak tests sees a leak planted on purpose; a counter
// that answered 0 or stood still would let every soak pass.
#include <windows.h>

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <vector>

#include "ProcessCounters.h"
#include "Win32/Handles.h"

namespace {

constexpr int kPlanted = 50;

struct GdiDeleter { void operator()(HGDIOBJ h) const { ::DeleteObject(h); } };
using CGdiObject = qwin::CUniqueHandle<HGDIOBJ, GdiDeleter>;

TEST(ProcessCounters, HandleCountSeesPlantedHandles) {
  const unsigned long before = qtest::HandleCount();
  {
    std::vector<qwin::CHandle> events(kPlanted);
    for (qwin::CHandle& event : events) event.Reset(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
    EXPECT_GE(qtest::HandleCount(), before + kPlanted);
  }
  EXPECT_LE(qtest::HandleCount(), before + 1) << "closed handles still counted";
}

TEST(ProcessCounters, PrivateBytesSeePlantedMemory) {
  constexpr SIZE_T kBlock = 64 * 1024;
  const unsigned long long before = qtest::PrivateBytes();
  std::vector<void*> blocks;
  for (int i = 0; i < kPlanted; ++i) {
    void* block = ::HeapAlloc(::GetProcessHeap(), 0, kBlock);
    ::memset(block, 1, kBlock);
    blocks.push_back(block);
  }
  EXPECT_GE(qtest::PrivateBytes(), before + kPlanted * kBlock / 2);
  for (void* block : blocks) ::HeapFree(::GetProcessHeap(), 0, block);
}

TEST(ProcessCounters, GdiCountSeesPlantedBrushes) {
  const unsigned long before = qtest::GdiObjectCount();
  {
    std::vector<CGdiObject> brushes(kPlanted);
    for (CGdiObject& brush : brushes) brush.Reset(::CreateSolidBrush(RGB(1, 2, 3)));
    EXPECT_GE(qtest::GdiObjectCount(), before + kPlanted);
  }
  EXPECT_LE(qtest::GdiObjectCount(), before);
}

TEST(ProcessCounters, UserCountSeesPlantedMenus) {
  const unsigned long before = qtest::UserObjectCount();
  {
    std::vector<qwin::CMenu> menus(kPlanted);
    for (qwin::CMenu& menu : menus) menu.Reset(::CreatePopupMenu());
    EXPECT_GE(qtest::UserObjectCount(), before + kPlanted);
  }
  EXPECT_LE(qtest::UserObjectCount(), before);
}

// The soak frame itself fails a call that leaks one handle per call.
TEST(ProcessCounters, SoakFrameFailsALeakingCall) {
  std::vector<HANDLE> leaked;
  EXPECT_NONFATAL_FAILURE(qtest::ExpectFlatUnderLoad("planted leak", 5, 20,
                                                     [&] { leaked.push_back(::CreateEventA(nullptr, 0, 0, nullptr)); }),
                          "planted leak");
  for (HANDLE event : leaked) ::CloseHandle(event);
}

}  // namespace
