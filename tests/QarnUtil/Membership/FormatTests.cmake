# Tests of the platform-free membership code; they run natively (sanitizers)
# and in the Windows build alike.
set(QARN_MEMBERSHIP_FORMAT_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/LineReaderTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReadConfigTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PermissionTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WriterTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ACLPathsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TokenCacheRulesTest.cpp)
