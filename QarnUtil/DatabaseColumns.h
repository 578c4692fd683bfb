// The table and column names by which the installer recognises the tables
// of an existing database in its DBSCHEMA_COLUMNS rowset. Free of Win32.
#pragma once

#include <cctype>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace qinstall {

struct CTableColumn {
  const char* szTable;
  const char* szColumn;
};

// The virtual-drive product's share tables.
constexpr CTableColumn kShareColumns[] = {
    {"share", "share_id"}, {"share", "user_id"},        {"share", "name"},
    {"share", "path"},     {"share_rights", "share_id"}, {"share_rights", "user_id"},
};
constexpr std::size_t kShareColumnCount = sizeof(kShareColumns) / sizeof(kShareColumns[0]);

// The rows of a DBSCHEMA_COLUMNS rowset: table name, column name.
using CSchemaColumns = std::vector<std::pair<std::string, std::string>>;

inline bool EqualNoCase(const std::string& text, const char* name) {
  std::size_t i = 0;
  for (; i < text.size() && name[i]; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(name[i]))) {
      return false;
    }
  }
  return i == text.size() && !name[i];
}

// How many rows name (ignoring case) a pair of the list; a row counts once
// however many pairs it matches.
inline std::size_t CountListedColumns(const CSchemaColumns& rows, const CTableColumn* list, std::size_t listSize) {
  std::size_t count = 0;
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < listSize; ++i) {
      if (EqualNoCase(row.first, list[i].szTable) && EqualNoCase(row.second, list[i].szColumn)) {
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace qinstall
