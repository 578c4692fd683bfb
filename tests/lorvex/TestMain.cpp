// Entry point of the CRL update tests: one COM apartment for the whole run.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <wincrypt.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // In a fresh Wine prefix the user's "CA" store does not open with
  // CERT_STORE_OPEN_EXISTING_FLAG until "ROOT" has been opened once.
  if (HCERTSTORE root = ::CertOpenSystemStoreA(0, "ROOT")) ::CertCloseStore(root, 0);
  const int result = RUN_ALL_TESTS();
  ::CoUninitialize();
  return result;
}
