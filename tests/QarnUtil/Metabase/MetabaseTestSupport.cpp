// The Admin Base GUIDs, which no toolchain library defines, are defined here:
// <initguid.h> must come before the first inclusion of <iadmw.h>.
#include <windows.h>
#include <initguid.h>
#include <iadmw.h>

#include "MetabaseTestSupport.h"
#include "ComEnvironment.h"
#include "MetabaseStandIn.h"

#include <algorithm>

namespace {

const auto* const g_com = ::testing::AddGlobalTestEnvironment(new qtest::CComEnvironment);

std::wstring Widen(const char* text) {
  return qcom::AnsiToWide(text);
}

std::wstring ToolPath() {
  wchar_t path[MAX_PATH] = L"";
  ::GetEnvironmentVariableW(L"QARN_METABASE_TOOL", path, MAX_PATH);
  return path;
}

std::string ReadAll(HANDLE pipe) {
  std::string text;
  char chunk[512];
  DWORD read = 0;
  while (::ReadFile(pipe, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  return text;
}

// Starts the tool with its output on a pipe whose reading end is returned.
qwin::CHandle StartTool(const std::wstring& arguments, qwin::CHandle* output) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  qwin::CHandle readEnd, writeEnd;
  EXPECT_TRUE(::CreatePipe(readEnd.Put(), writeEnd.Put(), &inheritable, 0));
  ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::wstring commandLine = L"\"" + ToolPath() + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                               &process))
      << "cannot start " << qcom::BstrToAnsi(commandLine.c_str());
  ::CloseHandle(process.hThread);
  *output = std::move(readEnd);
  return qwin::CHandle(process.hProcess);
}

}  // namespace

void MetabaseTest::SetUp() {
  wchar_t folder[MAX_PATH];
  ::GetTempPathW(MAX_PATH, folder);
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring name = Widen(test->test_suite_name()) + L"-" + Widen(test->name());
  // Parameterised tests have "/" in their names.
  std::replace(name.begin(), name.end(), L'/', L'_');
  m_file = std::wstring(folder) + L"metabase-" + name + L"-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  ::DeleteFileW(m_file.c_str());
  ASSERT_TRUE(::SetEnvironmentVariableW(metabase::kFileVariable, m_file.c_str()));
  ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(CLSID_MSAdminBase_W, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IMSAdminBase_W, m_admin.PutVoid()));
}

void MetabaseTest::TearDown() {
  m_admin.Reset();
  ::DeleteFileW(m_file.c_str());
}

HRESULT MetabaseTest::TryOpen(const wchar_t* path, DWORD permissions, DWORD timeoutMs, METADATA_HANDLE* handle) {
  METADATA_HANDLE opened = 0;
  HRESULT hr = m_admin->OpenKey(METADATA_MASTER_ROOT_HANDLE, path, permissions, timeoutMs, &opened);
  if (handle) {
    *handle = opened;
  } else if (SUCCEEDED(hr)) {
    Close(opened);
  }
  return hr;
}

METADATA_HANDLE MetabaseTest::Open(const wchar_t* path, DWORD permissions, DWORD timeoutMs) {
  METADATA_HANDLE handle = 0;
  EXPECT_HRESULT_SUCCEEDED(TryOpen(path, permissions, timeoutMs, &handle)) << qcom::BstrToAnsi(path);
  return handle;
}

void MetabaseTest::Close(METADATA_HANDLE handle) { EXPECT_HRESULT_SUCCEEDED(m_admin->CloseKey(handle)); }

void MetabaseTest::AddKeys(const wchar_t* path) {
  METADATA_HANDLE root = Open(L"", METADATA_PERMISSION_WRITE);
  EXPECT_HRESULT_SUCCEEDED(m_admin->AddKey(root, path)) << qcom::BstrToAnsi(path);
  Close(root);
}

HRESULT MetabaseTest::SetString(METADATA_HANDLE handle, const wchar_t* path, DWORD id, const std::wstring& value,
                                DWORD attributes, DWORD userType) {
  METADATA_RECORD record{id, attributes, userType, STRING_METADATA,
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)),
                         reinterpret_cast<unsigned char*>(const_cast<wchar_t*>(value.c_str())), 0};
  return m_admin->SetData(handle, path, &record);
}

HRESULT MetabaseTest::SetDword(METADATA_HANDLE handle, const wchar_t* path, DWORD id, DWORD value,
                               DWORD attributes, DWORD userType) {
  METADATA_RECORD record{id, attributes, userType, DWORD_METADATA, sizeof value,
                         reinterpret_cast<unsigned char*>(&value), 0};
  return m_admin->SetData(handle, path, &record);
}

HRESULT MetabaseTest::GetString(METADATA_HANDLE handle, const wchar_t* path, DWORD id, std::wstring* value,
                                DWORD attributes) {
  METADATA_RECORD record{id, attributes, ALL_METADATA, STRING_METADATA, 0, nullptr, 0};
  DWORD required = 0;
  HRESULT hr = m_admin->GetData(handle, path, &record, &required);
  if (hr != HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)) return hr;
  std::wstring buffer(required / sizeof(wchar_t), L'\0');
  record.dwMDDataLen = required;
  record.pbMDData = reinterpret_cast<unsigned char*>(&buffer[0]);
  hr = m_admin->GetData(handle, path, &record, &required);
  *value = buffer.c_str();
  return hr;
}

DWORD MetabaseTest::Counter(DWORD id) {
  DWORD value = 0;
  METADATA_RECORD record{id, 0, ALL_METADATA, DWORD_METADATA, sizeof value,
                         reinterpret_cast<unsigned char*>(&value), 0};
  DWORD required = 0;
  EXPECT_HRESULT_SUCCEEDED(
      m_admin->GetData(METADATA_MASTER_ROOT_HANDLE, metabase::kDiagnosticsKey, &record, &required));
  return value;
}

CToolRun MetabaseTest::RunTool(const std::wstring& arguments) {
  qwin::CHandle output;
  qwin::CHandle process = StartTool(arguments, &output);
  CToolRun run;
  if (!process) return run;
  run.output = ReadAll(output.Get());
  ::WaitForSingleObject(process.Get(), INFINITE);
  ::GetExitCodeProcess(process.Get(), &run.exitCode);
  return run;
}

qwin::CHandle MetabaseTest::StartHolder(const std::wstring& arguments) {
  qwin::CHandle output;
  qwin::CHandle process = StartTool(L"hold " + arguments, &output);
  char first[5] = "";
  DWORD read = 0;
  // The tool says "held" once the handle is in the file.
  EXPECT_TRUE(::ReadFile(output.Get(), first, 4, &read, nullptr) && std::string(first, read) == "held")
      << "the holder did not take the key";
  return process;
}
