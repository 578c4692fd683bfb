# The membership sources that need no Win32: the access-file format and the
# token cache's rules. Shared with the native sanitizer and fuzzing build.
set(QARN_MEMBERSHIP_FORMAT_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AccessFileLines.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ACLDirectives.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ACL.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ACLWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ACLPaths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TokenCacheRules.cpp)
