#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

// The test programs of this folder run in one single-threaded apartment.
int main(int argc, char** argv) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  ::CoUninitialize();
  return result;
}
