// The membership database as the installer makes it: its statements, the
// column lists by which an existing database is recognised, the built-in
// rows, the queries that the site's access file uses, and the drawing of
// the administrator's password. Free of windows.h.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qinstall {

struct CColumnName {
  const char* table;
  const char* column;
};

// A row that the installer makes only when its count query finds none;
// stepId names its log line.
struct CBuiltInRow {
  unsigned stepId;
  const char* count;
  const char* insert;
};

// The membership tables and indexes, executed in this order.
extern const std::vector<const char*> kMembershipStatements;
// The 27 columns of a complete membership database ("lastsid" is made but
// not counted).
extern const std::vector<CColumnName> kMembershipColumns;
// The virtual-drive product's share tables, and their 6 columns.
extern const std::vector<const char*> kShareStatements;
extern const std::vector<CColumnName> kShareColumns;

// The membership product's rows, in the order they are made.
extern const std::vector<CBuiltInRow> kMembershipRows;
// The virtual-drive product's groups, and Administrator's membership of
// "Writers", made only when the user exists.
extern const std::vector<CBuiltInRow> kShareGroupRows;
extern const CBuiltInRow kAdministratorUser;
extern const CBuiltInRow kAdministratorInWriters;

extern const char kSetPasswordStatement[];

// The authentication queries written into the site root's access file.
extern const char kQueryUserByID[];
extern const char kQueryUserByCertificateID[];
extern const char kQueryUserByName[];
extern const char kQueryGroup[];

// How many (table, column) rows of a columns schema name a column of
// known (case-insensitively); each row counts once.
std::size_t CountKnownColumns(const std::vector<std::pair<std::string, std::string>>& rows,
                              const std::vector<CColumnName>& known);

constexpr std::size_t kPasswordLength = 8;
// Digits, "A"-"Z" and "a"-"y": what readers of the password file expect.
extern const char kPasswordAlphabet[];

// Fills count bytes from a random source; false when it has none to give.
using CRandomBytes = std::function<bool(unsigned char* bytes, std::size_t count)>;

// Draws kPasswordLength characters of the alphabet, zero-terminated. Bytes
// at or above the largest multiple of the alphabet's size are drawn again,
// so every character is equally likely. False when the source fails.
bool DrawPassword(const CRandomBytes& randomBytes, char (&password)[kPasswordLength + 1]);

}  // namespace qinstall
