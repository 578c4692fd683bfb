// The JET database of users and groups in the site's private folder, its
// tables and built-in rows, and the administrator's password with the file
// that hands it to the server's administrator.
#pragma once

#include <windows.h>

#include <string>

#include "MembershipSchema.h"

namespace qarnutil {

// root\_vesmoro\vesmoro.mdb and root\_vesmoro\password.txt.
std::string DatabasePath(const std::string& rootFolder);
std::string PasswordFilePath(const std::string& rootFolder);

// Makes the database file when it is missing, through the JET provider that
// the system offers (4.0, else 3.51), then its membership structure;
// connection receives the connection string once a provider was found.
// Appends line 120 and those of CreateDBStructure.
HRESULT CreateDatabase(const std::string& rootFolder, std::string& connection, std::string& log);

// The membership tables and built-in rows, and a new password for
// "Administrator", in one transaction. A database with only some of the
// membership columns is left alone. Appends lines 127-132, 160, 162 or 133.
HRESULT CreateDBStructure(const std::string& connection, const std::string& rootFolder, std::string& log);

// The virtual-drive product's share tables, the groups "Writers" and
// "Readers", and Administrator's membership of "Writers" when that user
// exists, in one transaction. Appends lines 127, 129, 161, 163, 164 or 133.
HRESULT CreateShareStructure(const std::string& connection, const std::string& rootFolder, std::string& log);

// How many rows of the database's DBSCHEMA_COLUMNS rowset name a column of
// known (case-insensitively).
HRESULT CountDatabaseColumns(const std::string& connection, const std::vector<qinstall::CColumnName>& known,
                             size_t& count);

// A new administrator password from the system's cryptographic generator.
HRESULT GeneratePassword(char (&password)[qinstall::kPasswordLength + 1]);

// Creates (always anew, not shared) the file at path holding the password's
// characters and nothing else.
HRESULT SavePasswordFile(const std::string& path, const char* password);

// The password file of a transaction that is not committed yet: the new
// password waits in a file of its own beside "password.txt" and replaces it
// only when the transaction committed, so that the file never names a
// password that the database does not hold. Unless replaced, the waiting
// file is deleted.
class CPendingPasswordFile {
 public:
  explicit CPendingPasswordFile(const std::string& rootFolder);
  ~CPendingPasswordFile();
  CPendingPasswordFile(const CPendingPasswordFile&) = delete;
  CPendingPasswordFile& operator=(const CPendingPasswordFile&) = delete;

  HRESULT Save(const char* password);
  // Puts the waiting file in place of "password.txt".
  HRESULT Replace();

 private:
  std::string m_strFinalPath;
  std::string m_strPendingPath;
};

}  // namespace qarnutil
