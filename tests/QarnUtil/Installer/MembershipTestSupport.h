// What the membership tests share: the log lines of the database steps, a
// look into the database through a session of the test's own, and the
// JET ProgIDs, which some tests take away and put back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "OLEDBCommand.h"
#include "Win32/Handles.h"

namespace membershiptest {

inline const char kFreshDatabase[] =
    "Create /_vesmoro/vesmoro.mdb\tSuccess\n"
    "Create DB structure\tSuccess\n"
    "Create group \"Administrators\"\tSuccess\n"
    "Create group \"Registered\"\tSuccess\n"
    "Create user \"Administrator\"\tSuccess\n"
    "Add user \"Administrator\" to the \"Administrators\" group\tSuccess\n"
    "Add user \"Administrator\" to the \"Registered\" group\tSuccess\n"
    "Set new Administrator's password\tSuccess\n"
    "Save new Administrator's password to the file /_vesmoro/password.txt\tSuccess\n";
inline const char kExistingDatabase[] =
    "Create /_vesmoro/vesmoro.mdb\tAlready exists or installed\n"
    "Create DB structure\tAlready exists or installed\n"
    "Create group \"Administrators\"\tAlready exists or installed\n"
    "Create group \"Registered\"\tAlready exists or installed\n"
    "Create user \"Administrator\"\tAlready exists or installed\n"
    "Add user \"Administrator\" to the \"Administrators\" group\tAlready exists or installed\n"
    "Add user \"Administrator\" to the \"Registered\" group\tAlready exists or installed\n"
    "Set new Administrator's password\tSuccess\n"
    "Save new Administrator's password to the file /_vesmoro/password.txt\tSuccess\n";
inline const char kProgId40[] = "Microsoft.JET.OLEDB.4.0";
inline const char kProgId351[] = "Microsoft.JET.OLEDB.3.51";

inline std::string ReadFileText(const std::string& path) {
  qwin::CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "(missing)";
  char buffer[64] = {};
  DWORD read = 0;
  ::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr);
  return std::string(buffer, read);
}

inline bool IsPasswordText(const std::string& text) {
  if (text.size() != 8) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'y'))) return false;
  }
  return true;
}

// The database's side, through a session of the test's own.
class CDatabaseView {
 public:
  explicit CDatabaseView(const std::string& connection) {
    EXPECT_EQ(S_OK, m_dataSource.OpenFromInitializationString(qcom::AnsiToWide(connection).c_str()));
    EXPECT_EQ(S_OK, m_session.Open(m_dataSource));
  }
  long Count(const std::string& query) {
    COLEDBCommand command;
    long count = -1;
    if (FAILED(command.Create(m_session, query.c_str())) || FAILED(command.Open(nullptr)) ||
        command.MoveFirst() != S_OK || !command.GetColumnLong(0, &count)) {
      return -1;
    }
    return count;
  }
  HRESULT Execute(const char* statement) {
    COLEDBCommand command;
    const HRESULT hr = command.Create(m_session, statement);
    return FAILED(hr) ? hr : command.Open(nullptr);
  }
  bool HoldsAdministratorPassword(const std::string& password) {
    return Count("SELECT Count(*) FROM [qmb_user] WHERE [login] = 'Administrator' AND [password] = '" + password +
                 "'") == 1;
  }
  qoledb::CSession& Session() { return m_session; }

 private:
  qoledb::CDataSource m_dataSource;
  qoledb::CSession m_session;
};

inline std::string ReadClsidOf(const char* progId) {
  char value[64] = {};
  LONG size = sizeof(value);
  const std::string key = std::string(progId) + "\\CLSID";
  return ::RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), value, &size) == ERROR_SUCCESS ? value : "";
}

inline void WriteProgId(const char* progId, const std::string& clsid) {
  const std::string key = std::string(progId) + "\\CLSID";
  ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, clsid.c_str(), static_cast<DWORD>(clsid.size()));
}

inline void DeleteProgId(const char* progId) { ::RegDeleteTreeA(HKEY_CLASSES_ROOT, progId); }

// The stand-in taken off the JET 4.0 ProgID for a scope; afterwards only
// the 4.0 registration is there again.
class CJetProgIdRemoval {
 public:
  CJetProgIdRemoval() : m_clsid(ReadClsidOf(kProgId40)) {
    EXPECT_FALSE(m_clsid.empty()) << "the stand-in is not registered";
    DeleteProgId(kProgId40);
  }
  ~CJetProgIdRemoval() {
    DeleteProgId(kProgId351);
    WriteProgId(kProgId40, m_clsid);
  }
  CJetProgIdRemoval(const CJetProgIdRemoval&) = delete;
  CJetProgIdRemoval& operator=(const CJetProgIdRemoval&) = delete;
  const std::string& Clsid() const { return m_clsid; }

 private:
  std::string m_clsid;
};

}  // namespace membershiptest
