// Shared set-up of the OLE DB tests: a fresh database file made through the
// ADOX catalog stand-in, opened through the OLE DB service components, and
// a capture of the library's log records.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LogCapture.h"
#include "MembershipSchema.h"
#include "OLEDBCommand.h"

namespace oledbtest {

using qtest::CLogCapture;

std::string NewTempFolder();
std::wstring Wide(const std::string& text);
HRESULT CreateDatabaseWithCatalog(const std::string& path);

class COLEDBTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Create + Open of one statement; the command stays open for reading.
  HRESULT Run(const char* sql, COLEDBCommand& command);
  HRESULT Run(const char* sql);
  // The first column of the first row as GetColumnLong reads it, or -1.
  long Count(const char* sql);
  HRESULT ExecuteAll(const std::vector<const char*>& statements);

  std::string m_folder;
  std::string m_databasePath;
  qoledb::CDataSource m_dataSource;
  qoledb::CSession m_session;
};

// The installer's own statements, run verbatim by the tests.
inline const std::vector<const char*>& kMembershipSchema = qinstall::kMembershipStatements;
inline const std::vector<const char*>& kShareSchema = qinstall::kShareStatements;

// The membership database's built-in rows: a count query and the insert
// that makes the row when the count finds none.
struct CBuiltInRow {
  const char* count;
  const char* insert;
};
extern const std::vector<CBuiltInRow> kBuiltInRows;

}  // namespace oledbtest
