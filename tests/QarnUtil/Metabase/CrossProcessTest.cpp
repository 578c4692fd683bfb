// One metabase for several processes: what metabase-tool writes the COM
// object reads and the other way round, handles held by another process lock
// keys until they are closed or their process ends, and the tool's seed and
// dump give the same text whatever the order of the changes.
#include <gtest/gtest.h>

#include "MetabaseStandIn.h"
#include "MetabaseTestSupport.h"

namespace {

const HRESULT kPathBusy = HRESULT_FROM_WIN32(ERROR_PATH_BUSY);
const DWORD kRead = METADATA_PERMISSION_READ;
const DWORD kWrite = METADATA_PERMISSION_WRITE;

using CrossProcess = MetabaseTest;
using Tool = MetabaseTest;

TEST_F(CrossProcess, ValuesWrittenByOneProcessAreReadByAnother) {
  ASSERT_EQ(0u, RunTool(L"set LM/W3SVC/1/Filters 2040 string \"A,B\"").exitCode);
  std::wstring value;
  EXPECT_HRESULT_SUCCEEDED(GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters", 2040, &value));
  EXPECT_EQ(L"A,B", value);

  // Quotes, backslashes, spaces and non-ASCII text survive the file.
  const std::wstring awkward = L"C:\\Qarn Filter\\\"\u0444\u0438\u043b\u044c\u0442\u0440\"";
  METADATA_HANDLE filters = Open(L"LM/W3SVC/1/Filters", kWrite);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), SetString(filters, L"Qarn Filter", 2041, awkward));
  EXPECT_HRESULT_SUCCEEDED(m_admin->AddKey(filters, L"Qarn Filter"));
  EXPECT_HRESULT_SUCCEEDED(SetString(filters, L"Qarn Filter", 2041, awkward));
  EXPECT_HRESULT_SUCCEEDED(SetDword(filters, L"Qarn Filter", 2044, 0x80000));
  Close(filters);
  EXPECT_EQ("\"C:\\\\Qarn Filter\\\\\\\"\\u0444\\u0438\\u043b\\u044c\\u0442\\u0440\\\"\"\n",
            RunTool(L"get \"LM/W3SVC/1/Filters/Qarn Filter\" 2041").output);
  EXPECT_EQ("524288\n", RunTool(L"get \"LM/W3SVC/1/Filters/Qarn Filter\" 2044").output);
  EXPECT_EQ(1u, RunTool(L"get \"LM/W3SVC/1/Filters/Qarn Filter\" 2042").exitCode);

  qcom::CComPtr<IMSAdminBaseW> fresh;
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_MSAdminBase, nullptr, CLSCTX_INPROC_SERVER, IID_IMSAdminBase,
                                              fresh.PutVoid()));
  m_admin = fresh;
  EXPECT_HRESULT_SUCCEEDED(GetString(METADATA_MASTER_ROOT_HANDLE, L"LM/W3SVC/1/Filters/Qarn Filter", 2041, &value));
  EXPECT_EQ(awkward, value);
}

TEST_F(CrossProcess, AnotherProcessWriteHandleKeepsTheKeyBusyUntilItCloses) {
  ASSERT_EQ(0u, RunTool(L"seed").exitCode);
  qwin::CHandle holder = StartHolder(L"LM/W3SVC/1 1500");
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1/Root", kWrite, 100));
  EXPECT_EQ(kPathBusy, TryOpen(L"LM", kRead, 0));
  const DWORD start = ::GetTickCount();
  METADATA_HANDLE root = 0;
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/1/Root", kWrite, 30000, &root)) << "waited in vain";
  EXPECT_LT(::GetTickCount() - start, 20000u);
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(holder.Get(), 10000));
  Close(root);
}

TEST_F(CrossProcess, HandlesOfAnEndedProcessNoLongerLock) {
  ASSERT_EQ(0u, RunTool(L"seed").exitCode);
  qwin::CHandle holder = StartHolder(L"LM/W3SVC 60000");
  EXPECT_EQ(kPathBusy, TryOpen(L"LM/W3SVC/1", kRead, 0));
  ASSERT_TRUE(::TerminateProcess(holder.Get(), 9));
  ::WaitForSingleObject(holder.Get(), 10000);
  EXPECT_HRESULT_SUCCEEDED(TryOpen(L"LM/W3SVC/1", kWrite, 0));
  EXPECT_EQ(0u, Counter(metabase::kOpenHandlesId));
  EXPECT_EQ("opened=2 closed=1 open=0\n", RunTool(L"handles").output) << "the dead handle was never closed";
}

const char kSeededDump[] =
    "key \"LM\"\n"
    "key \"LM/W3SVC\"\n"
    "prop \"LM/W3SVC\" 1002 attr=0 utype=1 STRING \"IIsWebService\"\n"
    "key \"LM/W3SVC/1\"\n"
    "prop \"LM/W3SVC/1\" 1002 attr=0 utype=1 STRING \"IIsWebServer\"\n"
    "key \"LM/W3SVC/1/Root\"\n"
    "prop \"LM/W3SVC/1/Root\" 1002 attr=0 utype=1 STRING \"IIsWebVirtualDir\"\n"
    "prop \"LM/W3SVC/1/Root\" 3001 attr=1 utype=2 STRING \"C:\\\\inetpub\\\\wwwroot\"\n"
    "key \"LM/W3SVC/3\"\n"
    "prop \"LM/W3SVC/3\" 1002 attr=0 utype=1 STRING \"IIsWebServer\"\n"
    "key \"LM/W3SVC/3/Root\"\n"
    "prop \"LM/W3SVC/3/Root\" 1002 attr=0 utype=1 STRING \"IIsWebVirtualDir\"\n"
    "prop \"LM/W3SVC/3/Root\" 3001 attr=1 utype=2 STRING \"D:\\\\Sites\\\\Three\"\n"
    "prop \"LM/W3SVC/3/Root\" 3002 attr=1 utype=2 STRING \"share\"\n"
    "prop \"LM/W3SVC/3/Root\" 3003 attr=5 utype=2 STRING \"secret\"\n"
    "key \"LM/W3SVC/Filters\"\n"
    "prop \"LM/W3SVC/Filters\" 1002 attr=0 utype=1 STRING \"IIsFilters\"\n"
    "prop \"LM/W3SVC/Filters\" 2040 attr=0 utype=1 STRING \"\"\n"
    "key \"LM/W3SVC/Info\"\n";

TEST_F(Tool, SeedGivesAFreshServerAndDumpIsIndependentOfTheOrderOfChanges) {
  ASSERT_EQ(0u, RunTool(L"set Old 1 dword 1").exitCode);
  ASSERT_EQ(0u, RunTool(L"seed --sites 1,3 --root 3=D:\\Sites\\Three --user 3=share --password 3=secret").exitCode);
  const std::string seeded = RunTool(L"dump").output;
  EXPECT_EQ(kSeededDump, seeded);

  // Take a site away and put it back in another order: the same text.
  ASSERT_EQ(0u, RunTool(L"delete LM/W3SVC/1").exitCode);
  EXPECT_EQ(1u, RunTool(L"delete LM/W3SVC/1").exitCode);
  METADATA_HANDLE service = Open(L"LM/W3SVC", kWrite);
  EXPECT_HRESULT_SUCCEEDED(m_admin->AddKey(service, L"1/Root"));
  EXPECT_HRESULT_SUCCEEDED(SetString(service, L"1/Root", 3001, L"C:\\inetpub\\wwwroot", METADATA_INHERIT, 2));
  EXPECT_HRESULT_SUCCEEDED(SetString(service, L"1/Root", 1002, L"IIsWebVirtualDir"));
  EXPECT_HRESULT_SUCCEEDED(SetString(service, L"1", 1002, L"IIsWebServer"));
  Close(service);
  EXPECT_EQ(seeded, RunTool(L"dump").output);
}

TEST_F(Tool, WrongArgumentsAreRefusedWithoutTouchingTheFile) {
  ASSERT_EQ(0u, RunTool(L"seed").exitCode);
  const std::string seeded = RunTool(L"dump").output;
  EXPECT_EQ(2u, RunTool(L"set LM/W3SVC 2040 float 1.5").exitCode);
  EXPECT_EQ(2u, RunTool(L"set LM/W3SVC 2040 dword twelve").exitCode);
  EXPECT_EQ(2u, RunTool(L"seed --colour blue").exitCode);
  EXPECT_EQ(2u, RunTool(L"frobnicate").exitCode);
  EXPECT_EQ(seeded, RunTool(L"dump").output);
}

}  // namespace
