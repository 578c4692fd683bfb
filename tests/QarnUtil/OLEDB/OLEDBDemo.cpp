// Demo client: creates a membership database with the ADOX catalog
// stand-in, builds its tables and built-in rows through COLEDBCommand in
// one transaction, and prints each step with its result.
#include <cstdio>

#include "OLEDBTestSupport.h"

namespace oledbtest {
namespace {

void Show(const char* step, HRESULT hr) { std::printf("%-60.60s 0x%08lx\n", step, static_cast<unsigned long>(hr)); }

int RunDemo(const std::string& path) {
  HRESULT hr = CreateDatabaseWithCatalog(path);
  Show(("ADOX Catalog.Create " + path).c_str(), hr);
  if (FAILED(hr)) return 1;
  qoledb::CDataSource dataSource;
  qoledb::CSession session;
  hr = dataSource.OpenFromInitializationString(Wide("Provider=Microsoft.JET.OLEDB.4.0;Data Source=" + path + ";").c_str());
  if (SUCCEEDED(hr)) hr = session.Open(dataSource);
  if (SUCCEEDED(hr)) hr = session.StartTransaction(ISOLATIONLEVEL_READCOMMITTED);
  Show("IDataInitialize::GetDataSource, session, transaction", hr);
  COLEDBCommand command;
  for (const char* statement : kMembershipSchema) {
    if (SUCCEEDED(hr)) hr = command.Create(session, statement);
    if (SUCCEEDED(hr)) hr = command.Open(nullptr);
    Show(statement, hr);
  }
  for (const CBuiltInRow& row : kBuiltInRows) {
    if (SUCCEEDED(hr)) hr = command.Create(session, row.insert);
    if (SUCCEEDED(hr)) hr = command.Open(nullptr);
    Show(row.insert, hr);
  }
  if (SUCCEEDED(hr)) hr = session.Commit();
  Show("ITransaction::Commit", hr);
  long count = 0;
  if (SUCCEEDED(hr)) hr = command.Create(session, "SELECT Count(*) FROM [qmb_membership] WHERE [user_id] = 'Administrator'");
  if (SUCCEEDED(hr)) hr = command.Open(nullptr);
  if (SUCCEEDED(hr)) hr = command.MoveFirst();
  if (hr == S_OK && command.GetColumnLong(0, &count)) std::printf("memberships of Administrator: %ld\n", count);
  std::vector<std::pair<std::string, std::string>> columns;
  if (SUCCEEDED(session.ReadColumnsSchema(columns))) std::printf("DBSCHEMA_COLUMNS rows: %u\n", static_cast<unsigned>(columns.size()));
  return hr == S_OK ? 0 : 1;
}

}  // namespace
}  // namespace oledbtest

int main() {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::string folder = oledbtest::NewTempFolder();
  const int result = oledbtest::RunDemo(folder + "\\vesmoro.mdb");
  ::CoUninitialize();
  return result;
}
