#include "SchemaRowsets.h"

namespace jet {

namespace {

const wchar_t* const kColumnsSchemaColumns[] = {
    L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"COLUMN_NAME", L"COLUMN_GUID", L"COLUMN_PROPID",
    L"ORDINAL_POSITION", L"COLUMN_HASDEFAULT", L"COLUMN_DEFAULT", L"COLUMN_FLAGS", L"IS_NULLABLE", L"DATA_TYPE",
    L"TYPE_GUID", L"CHARACTER_MAXIMUM_LENGTH", L"CHARACTER_OCTET_LENGTH", L"NUMERIC_PRECISION", L"NUMERIC_SCALE",
    L"DATETIME_PRECISION", L"CHARACTER_SET_CATALOG", L"CHARACTER_SET_SCHEMA", L"CHARACTER_SET_NAME",
    L"COLLATION_CATALOG", L"COLLATION_SCHEMA", L"COLLATION_NAME", L"DOMAIN_CATALOG", L"DOMAIN_SCHEMA",
    L"DOMAIN_NAME", L"DESCRIPTION"};

const DBTYPE kColumnsSchemaTypes[] = {
    DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_GUID, DBTYPE_UI4, DBTYPE_UI4, DBTYPE_BOOL,
    DBTYPE_WSTR, DBTYPE_UI4, DBTYPE_BOOL, DBTYPE_UI2, DBTYPE_GUID, DBTYPE_UI4, DBTYPE_UI4, DBTYPE_UI2,
    DBTYPE_I2, DBTYPE_UI4, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR,
    DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR, DBTYPE_WSTR};

enum ColumnsSchemaField {
  kTableName = 2, kColumnName = 3, kOrdinal = 6, kHasDefault = 7, kDefault = 8, kFlags = 9, kNullable = 10,
  kDataType = 11, kMaximumLength = 13, kOctetLength = 14, kPrecision = 15, kDatetimePrecision = 17
};

std::vector<CRowsetColumn> ColumnsSchemaColumns() {
  std::vector<CRowsetColumn> columns;
  for (size_t i = 0; i < sizeof(kColumnsSchemaTypes) / sizeof(kColumnsSchemaTypes[0]); ++i) {
    CJetColumnType type;
    type.dbType = kColumnsSchemaTypes[i];
    type.size = type.dbType == DBTYPE_WSTR ? 128 : (type.dbType == DBTYPE_GUID ? 16 : 4);
    columns.push_back(CRowsetColumn{kColumnsSchemaColumns[i], type});
  }
  return columns;
}

CSqlValue Boolean(bool value) { return CSqlValue::FromInteger(value ? -1 : 0); }

// One COLUMNS row from SQLite's table_info of a column.
CSqlRow ColumnsSchemaRow(const CSqlRow& info) {
  enum { kTable, kColumn, kCid, kNotNull, kDefaultValue, kDeclared };
  const CJetColumnType type = JetTypeOfDeclaration(info[kDeclared].bytes);
  const bool nullable = info[kNotNull].integer == 0;
  const bool isText = type.dbType == kDbTypeWStr;
  const bool isVariable = isText || type.dbType == kDbTypeBytes;
  DBCOLUMNFLAGS flags = ColumnFlagsOf(type);
  if (!nullable) flags &= ~(DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL);

  CSqlRow row(sizeof(kColumnsSchemaTypes) / sizeof(kColumnsSchemaTypes[0]));
  row[kTableName] = info[kTable];
  row[kColumnName] = info[kColumn];
  row[kOrdinal] = CSqlValue::FromInteger(info[kCid].integer + 1);
  row[kHasDefault] = Boolean(info[kDefaultValue].kind != CSqlValue::Kind::Null);
  row[kDefault] = info[kDefaultValue];
  row[kFlags] = CSqlValue::FromInteger(flags);
  row[kNullable] = Boolean(nullable);
  row[kDataType] = CSqlValue::FromInteger(type.dbType);
  if (isVariable) {
    row[kMaximumLength] = CSqlValue::FromInteger(type.size);
    row[kOctetLength] = CSqlValue::FromInteger(isText ? 2LL * type.size : type.size);
  }
  if (type.precision) row[kPrecision] = CSqlValue::FromInteger(type.precision);
  if (type.dbType == kDbTypeDate) row[kDatetimePrecision] = CSqlValue::FromInteger(0);
  return row;
}

// The text of restriction index, or empty when it does not restrict.
HRESULT RestrictionText(ULONG count, const VARIANT restrictions[], ULONG index, std::string& text) {
  text.clear();
  if (index >= count || restrictions[index].vt == VT_EMPTY || restrictions[index].vt == VT_NULL) return S_OK;
  if (restrictions[index].vt != VT_BSTR) return E_INVALIDARG;
  text = WideToUtf8(restrictions[index].bstrVal, ::SysStringLen(restrictions[index].bstrVal));
  return S_OK;
}

}  // namespace

HRESULT BuildColumnsSchema(const CSqliteDatabase& database, ULONG restrictionCount, const VARIANT restrictions[],
                           CRowsetData& data) {
  if (restrictionCount > 4) return E_INVALIDARG;
  if (restrictionCount && !restrictions) return E_INVALIDARG;
  std::string catalog, schema, table, column;
  HRESULT hr = S_OK;
  std::string* targets[] = {&catalog, &schema, &table, &column};
  for (ULONG i = 0; i < 4 && SUCCEEDED(hr); ++i) hr = RestrictionText(restrictionCount, restrictions, i, *targets[i]);
  if (FAILED(hr)) return hr;

  data.columns = ColumnsSchemaColumns();
  data.rows.clear();
  if (!catalog.empty() || !schema.empty()) return S_OK;
  CSqliteStatement query;
  CSqlError error = query.Prepare(
      database,
      "SELECT t.name, c.name, c.cid, c.\"notnull\", c.dflt_value, c.type "
      "FROM sqlite_master AS t JOIN pragma_table_info(t.name) AS c "
      "WHERE t.type = 'table' AND t.name NOT LIKE 'sqlite!_%' ESCAPE '!' "
      "AND (?1 = '' OR t.name = ?1 COLLATE NOCASE) AND (?2 = '' OR c.name = ?2 COLLATE NOCASE) "
      "ORDER BY t.name, c.cid");
  std::vector<CSqlRow> infos;
  std::int64_t changes = 0;
  if (!error) error = query.Run({CSqlValue::FromText(table), CSqlValue::FromText(column)}, infos, changes);
  if (error) return ReportSqlFailure(error, E_FAIL);
  for (const CSqlRow& info : infos) data.rows.push_back(ColumnsSchemaRow(info));
  return S_OK;
}

}  // namespace jet
