// The stand-in IIS metabase: what tests and the demo need to know to use it.
//
// The COM server qarn_metabase.dll is registered in the test prefix (fixture
// "registered") as CLSID_MSAdminBase {A9E69610-B80D-11D0-B9B9-00A0C922E750}
// and answers IMSAdminBaseW as iadmw.h declares it. mingw-w64's libuuid has
// neither GUID: define them in one source file of the client by including
// <initguid.h> before <iadmw.h>.
//
// Where the metabase lives: the file named by the environment variable
// QARN_METABASE_FILE (a Windows path, e.g. "Z:\tmp\mb-test.txt"), read at the
// creation of each object and by each run of the tool; without it
// "%ProgramData%\QARN Stand-ins\Metabase\metabase.txt". A missing file is an
// empty metabase. Give each test its own file through the variable (ctest
// ENVIRONMENT, or SetEnvironmentVariable before CoCreateInstance and before
// starting the tool); tests sharing the default file need a RESOURCE_LOCK.
//
// The tool: CMake target metabase_tool (metabase-tool.exe); run it through
// wine-run, e.g.
//   qarn_add_wine_test(NAME x COMMAND metabase_tool seed --sites 1,3 ...)
//   add_test(NAME y COMMAND ${QARN_WINE_RUN} $<TARGET_FILE:metabase_tool> dump)
// or hand "Z:$<TARGET_FILE:metabase_tool>" to a test in its environment to
// start it from inside (tests/QarnUtil/Metabase does). Its commands are
// described at the top of MetabaseTool.cpp.
//
// Handle counters: every OpenKey that succeeds counts as opened, every
// CloseKey that succeeds as closed, across all processes using the file.
// Read them as DWORD properties (user type 1) of the key kDiagnosticsKey through GetData
// with METADATA_MASTER_ROOT_HANDLE (the key cannot be opened, enumerated or
// dumped), or with "metabase-tool handles". Compare the counts before and
// after the code under test: "seed" starts a file afresh at zero.
#pragma once

#include <cstdint>

namespace metabase {

constexpr const wchar_t* kFileVariable = L"QARN_METABASE_FILE";
constexpr const wchar_t* kDiagnosticsKey = L"QarnStandInDiagnostics";
constexpr uint32_t kOpenedHandlesId = 1;  // OpenKey calls that succeeded
constexpr uint32_t kClosedHandlesId = 2;  // CloseKey calls that succeeded
constexpr uint32_t kOpenHandlesId = 3;    // handles open now, in live processes
constexpr uint32_t kDiagnosticsUserType = 1;  // IIS_MD_UT_SERVER

}  // namespace metabase
