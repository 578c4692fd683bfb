// The metabase file shared by every process of a test run: each operation
// loads it, works on the tree and saves it again while holding a named mutex
// of that file, so that operations of different processes never interleave
// and handles opened in one process lock keys for all others.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "MetabaseTree.h"
#include "Win32/Handles.h"

namespace metabase {

// The file named by QARN_METABASE_FILE, else the default under %ProgramData%.
std::wstring ConfiguredFilePath();

// The HRESULT that IIS answers for an outcome.
HRESULT ToHResult(EStatus status);

// This process as the owner of the handles it opens.
COwner CurrentOwner();

class CMetabaseFile {
 public:
  explicit CMetabaseFile(std::wstring path);

  const std::wstring& Path() const { return m_path; }

  // Runs one operation on the current state under the file's mutex and saves
  // the state when the operation changed it. Handles of ended processes are
  // dropped first. The result is the operation's status as an HRESULT, or the
  // failure to read, parse or write the file.
  HRESULT Run(const std::function<EStatus(CMetabase&)>& operation);

  // Replaces the whole state, under the mutex.
  HRESULT Replace(const CMetabase& state);

 private:
  class CLock;

  HRESULT Load(CMetabase* state) const;
  HRESULT Save(const CMetabase& state) const;

  std::wstring m_path;
  qwin::CHandle m_mutex;
};

}  // namespace metabase
