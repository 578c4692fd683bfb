// A fixture that gives each test a metabase file of its own, the stand-in
// Admin Base object over it, and metabase-tool run against the same file.
#pragma once

#include <windows.h>
#include <iadmw.h>

#include <gtest/gtest.h>

#include <string>

#include "Com/ComPtr.h"
#include "Win32/Handles.h"

struct CToolRun {
  DWORD exitCode = 0;
  std::string output;
};

class MetabaseTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  METADATA_HANDLE Open(const wchar_t* path, DWORD permissions, DWORD timeoutMs = 0);
  HRESULT TryOpen(const wchar_t* path, DWORD permissions, DWORD timeoutMs, METADATA_HANDLE* handle = nullptr);
  void Close(METADATA_HANDLE handle);
  // Adds the key and its parents through a write handle on the master root's child "LM".
  void AddKeys(const wchar_t* path);
  HRESULT SetString(METADATA_HANDLE handle, const wchar_t* path, DWORD id, const std::wstring& value,
                    DWORD attributes = 0, DWORD userType = 1);
  HRESULT SetDword(METADATA_HANDLE handle, const wchar_t* path, DWORD id, DWORD value, DWORD attributes = 0,
                   DWORD userType = 1);
  // Reads a string by the grow-the-buffer protocol; the HRESULT of the last call.
  HRESULT GetString(METADATA_HANDLE handle, const wchar_t* path, DWORD id, std::wstring* value,
                    DWORD attributes = 0);
  DWORD Counter(DWORD id);

  // Runs metabase-tool on this test's file and waits for it.
  CToolRun RunTool(const std::wstring& arguments);
  // The whole metabase as metabase-tool dumps it.
  std::string Dump() { return RunTool(L"dump").output; }
  // Starts "metabase-tool hold ..." and returns once it holds the key.
  qwin::CHandle StartHolder(const std::wstring& arguments);

  qcom::CComPtr<IMSAdminBaseW> m_admin;
  std::wstring m_file;
};
