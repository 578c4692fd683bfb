// What JET SQL means in SQLite terms: the statement translation for
// auto-numbered columns, the parameter markers' columns, and the OLE DB
// types JET reports for declared column types. Free of Win32.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// OLE DB's DBTYPE numbers of the types the stand-in reports.
enum JetDbType : std::uint16_t {
  kDbTypeI2 = 2,
  kDbTypeI4 = 3,
  kDbTypeR4 = 4,
  kDbTypeR8 = 5,
  kDbTypeDate = 7,
  kDbTypeBool = 11,
  kDbTypeUI1 = 17,
  kDbTypeBytes = 128,
  kDbTypeWStr = 130,
};

struct CJetColumnType {
  std::uint16_t dbType = kDbTypeWStr;
  std::uint32_t size = 255;  // characters for text, bytes otherwise
  bool isLong = false;       // memo and long binary columns
  std::uint8_t precision = 0;
};

// Rewrites JET's auto-numbering (COUNTER, COUNTER(seed,step), AUTOINCREMENT,
// "int IDENTITY") in CREATE and ALTER statements into SQLite's
// INTEGER PRIMARY KEY AUTOINCREMENT; every other statement passes unchanged.
std::string TranslateToSqlite(const std::string& jetSql);

// The type JET reports for a column declared as declaredType ("varchar(50)",
// "int", "datetime", "text", ...). An empty declaration (an expression) is
// described as text.
CJetColumnType JetTypeOfDeclaration(const std::string& declaredType);

// For each "?" marker in order, the name of the column it is compared with
// ("[login] = ?") or inserted into ("INSERT INTO t (a) VALUES (?)"); empty
// when the statement does not tell.
std::vector<std::string> ParameterColumnNames(const std::string& sql);

}  // namespace jet
