// The stand-in registered only under the JET 3.51 ProgID, or under neither:
// what a client choosing its provider by ProgID gets. The test rewrites the
// ProgID keys and puts the 4.0 registration back when it ends.
#include <oledb.h>

#include "OLEDBTestSupport.h"
#include "Win32/Handles.h"

namespace oledbtest {
namespace {

const char kProgId40[] = "Microsoft.JET.OLEDB.4.0";
const char kProgId351[] = "Microsoft.JET.OLEDB.3.51";

std::string ReadClsidOf(const char* progId) {
  char value[64] = {};
  LONG size = sizeof(value);
  const std::string key = std::string(progId) + "\\CLSID";
  return ::RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) == ERROR_SUCCESS ? value : "";
}

void WriteProgId(const char* progId, const std::string& clsid) {
  const std::string key = std::string(progId) + "\\CLSID";
  ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, clsid.c_str(), static_cast<DWORD>(clsid.size()));
}

void DeleteProgId(const char* progId) { ::RegDeleteTreeA(HKEY_CLASSES_ROOT, progId); ::RegDeleteKeyA(HKEY_CLASSES_ROOT, progId); }

bool CreatesDataSource(const char* progId) {
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(Wide(progId).c_str(), &clsid))) return false;
  qcom::CComPtr<IDBInitialize> initialize;
  return SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDBInitialize, initialize.PutVoid()));
}

class CProviderChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_clsid = ReadClsidOf(kProgId40);
    ASSERT_FALSE(m_clsid.empty()) << "the stand-in is not registered";
    DeleteProgId(kProgId40);
  }
  void TearDown() override {
    DeleteProgId(kProgId351);
    WriteProgId(kProgId40, m_clsid);
  }

  std::string m_clsid;
};

TEST_F(CProviderChoiceTest, Only351IsRegistered) {
  WriteProgId(kProgId351, m_clsid);
  EXPECT_FALSE(CreatesDataSource(kProgId40));
  EXPECT_TRUE(CreatesDataSource(kProgId351));

  const std::string folder = NewTempFolder();
  const std::string path = folder + "\\old.mdb";
  ASSERT_EQ(S_OK, CreateDatabaseWithCatalog(path));
  qoledb::CDataSource dataSource;
  const std::wstring init = Wide(std::string("Provider=") + kProgId351 + ";Data Source=" + path + ";");
  EXPECT_EQ(S_OK, dataSource.OpenFromInitializationString(init.c_str()));
  dataSource.Close();
  ::DeleteFileA(path.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

TEST_F(CProviderChoiceTest, NeitherIsRegistered) {
  EXPECT_FALSE(CreatesDataSource(kProgId40));
  EXPECT_FALSE(CreatesDataSource(kProgId351));
  qoledb::CDataSource dataSource;
  EXPECT_TRUE(FAILED(dataSource.OpenFromInitializationString(L"Provider=Microsoft.JET.OLEDB.4.0;Data Source=x.mdb;")));
}

}  // namespace
}  // namespace oledbtest
