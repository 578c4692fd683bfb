#include "SqliteStore.h"

#include <cctype>

#include "sqlite3.h"

namespace jet {

namespace {

CSqlError ErrorOf(sqlite3* db, int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return {};
  CSqlError error;
  error.code = rc & 0xff;
  error.message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  return error;
}

bool OnlyBlanksAndSemicolons(const char* text) {
  for (; text && *text; ++text) {
    if (*text != ';' && !std::isspace(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

}  // namespace

CSqliteDatabase::~CSqliteDatabase() { sqlite3_close_v2(m_db); }

CSqlError CSqliteDatabase::Open(const std::string& utf8Path, bool create) {
  sqlite3_close_v2(m_db);
  m_db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(utf8Path.c_str(), &m_db, flags, nullptr);
  if (rc != SQLITE_OK) {
    CSqlError error = ErrorOf(m_db, rc);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    return error;
  }
  // JET waits a little for a locked file rather than failing at once.
  sqlite3_busy_timeout(m_db, 2000);
  return Execute("PRAGMA foreign_keys=ON");
}

CSqlError CSqliteDatabase::Execute(const std::string& sql) {
  if (!m_db) return CSqlError{SQLITE_MISUSE, "database not open"};
  return ErrorOf(m_db, sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr));
}

std::string CSqliteDatabase::DeclaredTypeOf(const std::string& column) const {
  CSqliteStatement lookup;
  const char* query =
      "SELECT c.type FROM sqlite_master AS t JOIN pragma_table_info(t.name) AS c "
      "WHERE t.type = 'table' AND c.name = ?1 COLLATE NOCASE LIMIT 1";
  std::vector<CSqlRow> rows;
  std::int64_t changes = 0;
  if (lookup.Prepare(*this, query) || lookup.Run({CSqlValue::FromText(column)}, rows, changes) || rows.empty()) {
    return std::string();
  }
  return rows[0][0].bytes;
}

CSqliteStatement::~CSqliteStatement() { Finalize(); }

void CSqliteStatement::Finalize() {
  sqlite3_finalize(m_stmt);
  m_stmt = nullptr;
}

CSqlError CSqliteStatement::Prepare(const CSqliteDatabase& db, const std::string& sql) {
  Finalize();
  m_db = db.Handle();
  if (!m_db) return CSqlError{SQLITE_MISUSE, "database not open"};
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &m_stmt, &tail);
  if (rc != SQLITE_OK) return ErrorOf(m_db, rc);
  if (!m_stmt) return CSqlError{SQLITE_ERROR, "the command text holds no statement"};
  if (!OnlyBlanksAndSemicolons(tail)) {
    Finalize();
    return CSqlError{SQLITE_ERROR, "characters found after end of SQL statement"};
  }
  return {};
}

int CSqliteStatement::ParameterCount() const { return m_stmt ? sqlite3_bind_parameter_count(m_stmt) : 0; }

std::vector<CSqlColumn> CSqliteStatement::Columns() const {
  std::vector<CSqlColumn> columns;
  const int count = m_stmt ? sqlite3_column_count(m_stmt) : 0;
  for (int i = 0; i < count; ++i) {
    const char* name = sqlite3_column_name(m_stmt, i);
    const char* declared = sqlite3_column_decltype(m_stmt, i);
    columns.push_back(CSqlColumn{name ? name : "", declared ? declared : ""});
  }
  return columns;
}

CSqlError CSqliteStatement::BindAll(const std::vector<CSqlValue>& parameters) {
  sqlite3_clear_bindings(m_stmt);
  for (size_t i = 0; i < parameters.size(); ++i) {
    const CSqlValue& value = parameters[i];
    const int index = static_cast<int>(i) + 1;
    int rc = SQLITE_OK;
    switch (value.kind) {
      case CSqlValue::Kind::Null: rc = sqlite3_bind_null(m_stmt, index); break;
      case CSqlValue::Kind::Integer: rc = sqlite3_bind_int64(m_stmt, index, value.integer); break;
      case CSqlValue::Kind::Real: rc = sqlite3_bind_double(m_stmt, index, value.real); break;
      case CSqlValue::Kind::Text:
        rc = sqlite3_bind_text(m_stmt, index, value.bytes.data(), static_cast<int>(value.bytes.size()),
                               SQLITE_TRANSIENT);
        break;
      case CSqlValue::Kind::Blob:
        rc = sqlite3_bind_blob(m_stmt, index, value.bytes.data(), static_cast<int>(value.bytes.size()),
                               SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK) return ErrorOf(m_db, rc);
  }
  return {};
}

CSqlRow CSqliteStatement::ReadRow() const {
  CSqlRow row;
  const int count = sqlite3_column_count(m_stmt);
  for (int i = 0; i < count; ++i) {
    switch (sqlite3_column_type(m_stmt, i)) {
      case SQLITE_INTEGER: row.push_back(CSqlValue::FromInteger(sqlite3_column_int64(m_stmt, i))); break;
      case SQLITE_FLOAT: row.push_back(CSqlValue::FromReal(sqlite3_column_double(m_stmt, i))); break;
      case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, i));
        row.push_back(CSqlValue::FromText(std::string(text ? text : "", sqlite3_column_bytes(m_stmt, i))));
        break;
      }
      case SQLITE_BLOB: {
        const auto* blob = static_cast<const char*>(sqlite3_column_blob(m_stmt, i));
        row.push_back(CSqlValue::FromBlob(std::string(blob ? blob : "", sqlite3_column_bytes(m_stmt, i))));
        break;
      }
      default: row.push_back(CSqlValue()); break;
    }
  }
  return row;
}

CSqlError CSqliteStatement::Run(const std::vector<CSqlValue>& parameters, std::vector<CSqlRow>& rows,
                                std::int64_t& changes) {
  rows.clear();
  changes = 0;
  if (!m_stmt) return CSqlError{SQLITE_MISUSE, "statement not prepared"};
  sqlite3_reset(m_stmt);
  CSqlError error = BindAll(parameters);
  if (error) return error;
  const sqlite3_int64 before = sqlite3_total_changes64(m_db);
  int rc;
  while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) rows.push_back(ReadRow());
  error = ErrorOf(m_db, rc);
  sqlite3_reset(m_stmt);
  if (error) {
    rows.clear();
    return error;
  }
  changes = sqlite3_column_count(m_stmt) > 0 ? -1 : sqlite3_total_changes64(m_db) - before;
  return {};
}

}  // namespace jet
