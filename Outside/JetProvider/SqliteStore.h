// The SQLite side of the stand-in provider: one database connection, its
// statements, and result sets fetched whole into memory. Free of Win32.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace jet {

// One cell: what SQLite stores, texts in UTF-8.
struct CSqlValue {
  enum class Kind { Null, Integer, Real, Text, Blob };
  Kind kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;  // text or blob

  static CSqlValue FromInteger(std::int64_t v) { CSqlValue r; r.kind = Kind::Integer; r.integer = v; return r; }
  static CSqlValue FromReal(double v) { CSqlValue r; r.kind = Kind::Real; r.real = v; return r; }
  static CSqlValue FromText(std::string v) { CSqlValue r; r.kind = Kind::Text; r.bytes = std::move(v); return r; }
  static CSqlValue FromBlob(std::string v) { CSqlValue r; r.kind = Kind::Blob; r.bytes = std::move(v); return r; }
};

using CSqlRow = std::vector<CSqlValue>;

// A result column as the statement describes it.
struct CSqlColumn {
  std::string name;
  std::string declaredType;  // empty for expressions such as Count(*)
};

// The outcome of a failed SQLite call.
struct CSqlError {
  int code = 0;  // SQLite's primary result code; 0 means success
  std::string message;
  explicit operator bool() const { return code != 0; }
};

class CSqliteDatabase {
 public:
  CSqliteDatabase() = default;
  ~CSqliteDatabase();
  CSqliteDatabase(const CSqliteDatabase&) = delete;
  CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

  // Opens an existing file, or creates it when create is set; foreign keys
  // are enforced on the connection as JET does.
  CSqlError Open(const std::string& utf8Path, bool create);
  bool IsOpen() const { return m_db != nullptr; }
  // Runs statements that return no rows (transaction control, pragmas).
  CSqlError Execute(const std::string& sql);
  sqlite3* Handle() const { return m_db; }
  // The declared type of the first column of that name in any table, or
  // empty when no table has one.
  std::string DeclaredTypeOf(const std::string& column) const;

 private:
  sqlite3* m_db = nullptr;
};

// One prepared statement of a connection.
class CSqliteStatement {
 public:
  CSqliteStatement() = default;
  ~CSqliteStatement();
  CSqliteStatement(const CSqliteStatement&) = delete;
  CSqliteStatement& operator=(const CSqliteStatement&) = delete;

  // Takes exactly one statement; trailing text other than blanks and a
  // semicolon is an error.
  CSqlError Prepare(const CSqliteDatabase& db, const std::string& sql);
  void Finalize();
  bool IsPrepared() const { return m_stmt != nullptr; }

  int ParameterCount() const;
  std::vector<CSqlColumn> Columns() const;

  // Binds the values (1-based order) and runs the statement to its end.
  CSqlError Run(const std::vector<CSqlValue>& parameters, std::vector<CSqlRow>& rows, std::int64_t& changes);

 private:
  CSqlError BindAll(const std::vector<CSqlValue>& parameters);
  CSqlRow ReadRow() const;

  sqlite3_stmt* m_stmt = nullptr;
  sqlite3* m_db = nullptr;
};

}  // namespace jet
