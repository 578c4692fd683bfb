// COM initialised on the main thread for the whole of a test program:
//   const auto* const g_com = ::testing::AddGlobalTestEnvironment(new qtest::CComEnvironment);
#pragma once

#include <objbase.h>

#include <gtest/gtest.h>

namespace qtest {

class CComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_HRESULT_SUCCEEDED(::CoInitialize(nullptr)); }
  void TearDown() override { ::CoUninitialize(); }
};

}  // namespace qtest
