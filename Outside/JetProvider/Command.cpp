#include "Command.h"

#include "DataConvert.h"
#include "Properties.h"

namespace jet {

namespace {

bool IsSupportedDialect(REFGUID dialect) {
  return IsEqualGUID(dialect, DBGUID_DEFAULT) || IsEqualGUID(dialect, DBGUID_SQL);
}

// The type an expression column (Count(*), a constant) is reported with,
// judged from its first value as JET types its results.
CJetColumnType TypeOfExpression(const std::vector<CSqlRow>& rows, size_t column) {
  for (const CSqlRow& row : rows) {
    switch (row[column].kind) {
      case CSqlValue::Kind::Integer: return JetTypeOfDeclaration("int");
      case CSqlValue::Kind::Real: return JetTypeOfDeclaration("double");
      case CSqlValue::Kind::Blob: return JetTypeOfDeclaration("varbinary");
      case CSqlValue::Kind::Text: return JetTypeOfDeclaration("varchar");
      default: break;
    }
  }
  return JetTypeOfDeclaration(std::string());
}

// The type a consumer names in DBPARAMBINDINFO, as JET takes it.
bool TypeOfParameterName(const wchar_t* name, DBLENGTH size, CJetColumnType& type) {
  struct CNamedType {
    const wchar_t* name;
    const char* declaration;
  };
  static const CNamedType kTypes[] = {
      {L"DBTYPE_CHAR", "varchar"}, {L"DBTYPE_VARCHAR", "varchar"}, {L"DBTYPE_WCHAR", "varchar"},
      {L"DBTYPE_WVARCHAR", "varchar"}, {L"DBTYPE_LONGVARCHAR", "memo"}, {L"DBTYPE_WLONGVARCHAR", "memo"},
      {L"DBTYPE_I2", "smallint"}, {L"DBTYPE_I4", "int"}, {L"DBTYPE_UI1", "byte"}, {L"DBTYPE_R4", "real"},
      {L"DBTYPE_R8", "double"}, {L"DBTYPE_NUMERIC", "double"}, {L"DBTYPE_CY", "currency"},
      {L"DBTYPE_BOOL", "bit"}, {L"DBTYPE_DATE", "datetime"}, {L"DBTYPE_DBTIMESTAMP", "datetime"},
      {L"DBTYPE_BINARY", "varbinary"}, {L"DBTYPE_VARBINARY", "varbinary"}, {L"DBTYPE_LONGVARBINARY", "image"}};
  for (const CNamedType& known : kTypes) {
    if (!name || ::lstrcmpiW(name, known.name) != 0) continue;
    type = JetTypeOfDeclaration(known.declaration);
    if (!type.isLong && (type.dbType == kDbTypeWStr || type.dbType == kDbTypeBytes) && size) {
      type.size = static_cast<std::uint32_t>(size);
    }
    return true;
  }
  return false;
}

}  // namespace

CCommand::CCommand(IUnknown* outer, CDatabasePtr database, IUnknown* session)
    : CUnknownBase(outer), m_database(std::move(database)), m_session(session) {}

HRESULT CCommand::QueryOwnInterface(REFIID iid, void** ppv) {
  if (IsEqualIID(iid, IID_ICommand) || IsEqualIID(iid, IID_ICommandText)) *ppv = static_cast<ICommandText*>(this);
  else if (IsEqualIID(iid, IID_ICommandPrepare)) *ppv = static_cast<ICommandPrepare*>(this);
  else if (IsEqualIID(iid, IID_ICommandWithParameters)) *ppv = static_cast<ICommandWithParameters*>(this);
  else if (IsEqualIID(iid, IID_ICommandProperties)) *ppv = static_cast<ICommandProperties*>(this);
  else if (IsEqualIID(iid, IID_IColumnsInfo)) *ppv = static_cast<IColumnsInfo*>(this);
  else if (IsEqualIID(iid, IID_IAccessor)) *ppv = static_cast<IAccessor*>(this);
  else if (IsEqualIID(iid, IID_IConvertType)) *ppv = static_cast<IConvertType*>(this);
  else if (IsEqualIID(iid, IID_ISupportErrorInfo)) *ppv = static_cast<ISupportErrorInfo*>(this);
  else return E_NOINTERFACE;
  return S_OK;
}

bool CCommand::IsValidOrdinal(DBACCESSORFLAGS, DBORDINAL ordinal) const { return ordinal >= 1; }

bool CCommand::AcceptsFlags(DBACCESSORFLAGS flags) const {
  return (flags & (DBACCESSOR_ROWDATA | DBACCESSOR_PARAMETERDATA)) != 0;
}

HRESULT CCommand::EnsurePrepared() {
  if (!m_hasText) return DB_E_NOCOMMAND;
  if (m_statement.IsPrepared()) return S_OK;
  const std::string jetSql = WideToUtf8(m_text);
  CSqlError error = m_statement.Prepare(m_database->database, TranslateToSqlite(jetSql));
  if (error) return ReportSqlFailure(error, DB_E_ERRORSINCOMMAND);
  const std::vector<std::string> columns = ParameterColumnNames(jetSql);
  m_parameterTypes.clear();
  for (int i = 0; i < m_statement.ParameterCount(); ++i) {
    const size_t index = static_cast<size_t>(i);
    const std::string column = index < columns.size() ? columns[index] : std::string();
    m_parameterTypes.push_back(
        JetTypeOfDeclaration(column.empty() ? std::string() : m_database->database.DeclaredTypeOf(column)));
  }
  return S_OK;
}

STDMETHODIMP CCommand::Cancel() { return S_OK; }

HRESULT CCommand::ReadParameters(const DBPARAMS* params, std::vector<CSqlValue>& values) const {
  values.assign(m_parameterTypes.size(), CSqlValue());
  if (values.empty()) return S_OK;
  if (!params || !params->pData || params->cParamSets == 0) return DB_E_PARAMNOTOPTIONAL;
  const CAccessor* accessor = FindAccessor(params->hAccessor);
  if (!accessor) return DB_E_BADACCESSORHANDLE;
  if (!(accessor->flags & DBACCESSOR_PARAMETERDATA)) return DB_E_BADACCESSORTYPE;
  std::vector<bool> bound(values.size(), false);
  auto* data = static_cast<BYTE*>(params->pData);
  for (const DBBINDING& binding : accessor->bindings) {
    if (binding.iOrdinal > values.size()) return DB_E_BADORDINAL;
    const DBSTATUS status = ReadBoundValue(binding, data, values[binding.iOrdinal - 1]);
    if (status != DBSTATUS_S_OK) {
      if (binding.dwPart & DBPART_STATUS) *reinterpret_cast<DBSTATUS*>(data + binding.obStatus) = status;
      return DB_E_ERRORSOCCURRED;
    }
    bound[binding.iOrdinal - 1] = true;
  }
  for (bool isBound : bound) {
    if (!isBound) return DB_E_PARAMNOTOPTIONAL;
  }
  return S_OK;
}

std::vector<CRowsetColumn> CCommand::DescribeResult(const std::vector<CSqlRow>& rows) const {
  std::vector<CRowsetColumn> described;
  const std::vector<CSqlColumn> columns = m_statement.Columns();
  for (size_t i = 0; i < columns.size(); ++i) {
    const CJetColumnType type = columns[i].declaredType.empty() ? TypeOfExpression(rows, i)
                                                                : JetTypeOfDeclaration(columns[i].declaredType);
    described.push_back(CRowsetColumn{Utf8ToWide(columns[i].name), type});
  }
  return described;
}

HRESULT CCommand::MakeRowset(IUnknown* outer, REFIID iid, std::vector<CSqlRow> rows, IUnknown** rowset) {
  CRowsetData data;
  data.columns = DescribeResult(rows);
  data.rows = std::move(rows);
  return qcom::CreateComObject<CRowset>(outer, iid, reinterpret_cast<void**>(rowset), std::move(data),
                                        static_cast<IUnknown*>(static_cast<ICommandText*>(this)));
}

STDMETHODIMP CCommand::Execute(IUnknown* outer, REFIID iid, DBPARAMS* params, DBROWCOUNT* rowsAffected,
                               IUnknown** rowset) {
  if (rowset) *rowset = nullptr;
  if (rowsAffected) *rowsAffected = DB_COUNTUNAVAILABLE;
  if (outer && !IsEqualIID(iid, IID_IUnknown)) return DB_E_NOAGGREGATION;
  if (!rowset && !IsEqualIID(iid, IID_NULL)) return E_INVALIDARG;
  HRESULT hr = EnsurePrepared();
  if (FAILED(hr)) return hr;
  std::vector<CSqlValue> values;
  hr = ReadParameters(params, values);
  if (FAILED(hr)) return hr;
  std::vector<CSqlRow> rows;
  std::int64_t changes = 0;
  CSqlError error = m_statement.Run(values, rows, changes);
  if (error) return ReportSqlFailure(error, E_FAIL);
  if (rowsAffected) *rowsAffected = static_cast<DBROWCOUNT>(changes);
  if (!rowset || IsEqualIID(iid, IID_NULL) || m_statement.Columns().empty()) return S_OK;
  return MakeRowset(outer, iid, std::move(rows), rowset);
}

STDMETHODIMP CCommand::GetDBSession(REFIID iid, IUnknown** session) {
  if (!session) return E_INVALIDARG;
  *session = nullptr;
  return m_session->QueryInterface(iid, reinterpret_cast<void**>(session));
}

STDMETHODIMP CCommand::GetCommandText(GUID* dialect, LPOLESTR* text) {
  if (!text) return E_INVALIDARG;
  *text = nullptr;
  if (!m_hasText) return DB_E_NOCOMMAND;
  *text = TaskStringCopy(m_text);
  if (!*text) return E_OUTOFMEMORY;
  if (dialect) *dialect = DBGUID_DEFAULT;
  return S_OK;
}

STDMETHODIMP CCommand::SetCommandText(REFGUID dialect, LPCOLESTR text) {
  if (!IsSupportedDialect(dialect)) return DB_E_DIALECTNOTSUPPORTED;
  Unprepare();
  m_declaredParameters.clear();
  m_hasText = text && *text;
  m_text = m_hasText ? text : L"";
  return S_OK;
}

STDMETHODIMP CCommand::Prepare(ULONG) { return EnsurePrepared(); }

STDMETHODIMP CCommand::Unprepare() {
  m_statement.Finalize();
  m_parameterTypes.clear();
  return S_OK;
}

STDMETHODIMP CCommand::GetParameterInfo(DB_UPARAMS* count, DBPARAMINFO** info, OLECHAR** names) {
  if (!count || !info) return E_INVALIDARG;
  *count = 0;
  *info = nullptr;
  if (names) *names = nullptr;
  if (!m_hasText) return DB_E_NOCOMMAND;
  if (!m_statement.IsPrepared()) return DB_E_NOTPREPARED;
  if (m_parameterTypes.empty()) return S_OK;
  auto* infos = static_cast<DBPARAMINFO*>(::CoTaskMemAlloc(m_parameterTypes.size() * sizeof(DBPARAMINFO)));
  if (!infos) return E_OUTOFMEMORY;
  for (size_t i = 0; i < m_parameterTypes.size(); ++i) {
    const auto declared = m_declaredParameters.find(i + 1);
    const CJetColumnType& type = declared == m_declaredParameters.end() ? m_parameterTypes[i] : declared->second;
    DBPARAMINFO& out = infos[i];
    memset(&out, 0, sizeof(out));
    out.dwFlags = DBPARAMFLAGS_ISINPUT | DBPARAMFLAGS_ISNULLABLE | (type.isLong ? DBPARAMFLAGS_ISLONG : 0);
    out.iOrdinal = i + 1;
    out.ulParamSize = type.size;
    out.wType = type.dbType;
    out.bPrecision = type.precision ? type.precision : static_cast<BYTE>(~0);
    out.bScale = static_cast<BYTE>(~0);
  }
  *count = m_parameterTypes.size();
  *info = infos;
  return S_OK;
}

STDMETHODIMP CCommand::MapParameterNames(DB_UPARAMS count, LPCWSTR names[], DB_LPARAMS ordinals[]) {
  if (count && (!names || !ordinals)) return E_INVALIDARG;
  if (!m_hasText) return DB_E_NOCOMMAND;
  if (!m_statement.IsPrepared()) return DB_E_NOTPREPARED;
  // "?" markers have no names.
  for (DB_UPARAMS i = 0; i < count; ++i) ordinals[i] = 0;
  return count ? DB_E_ERRORSOCCURRED : S_OK;
}

STDMETHODIMP CCommand::SetParameterInfo(DB_UPARAMS count, const DB_UPARAMS ordinals[],
                                        const DBPARAMBINDINFO bindInfo[]) {
  if (count == 0) {
    m_declaredParameters.clear();
    return S_OK;
  }
  if (!ordinals) return E_INVALIDARG;
  std::map<DB_UPARAMS, CJetColumnType> declared = m_declaredParameters;
  for (DB_UPARAMS i = 0; i < count; ++i) {
    if (ordinals[i] == 0) return DB_E_BADORDINAL;
    if (!bindInfo) {
      declared.erase(ordinals[i]);
      continue;
    }
    CJetColumnType type;
    if (!TypeOfParameterName(bindInfo[i].pwszDataSourceType, bindInfo[i].ulParamSize, type)) return DB_E_BADTYPENAME;
    declared[ordinals[i]] = type;
  }
  m_declaredParameters = std::move(declared);
  return S_OK;
}

STDMETHODIMP CCommand::GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                                     DBPROPSET** sets) {
  return AnswerRowsetProperties(idSetCount, idSets, setCount, sets);
}

STDMETHODIMP CCommand::SetProperties(ULONG setCount, DBPROPSET sets[]) {
  return AnswerSetProperties(setCount, sets, ApplyRowsetProperty);
}

STDMETHODIMP CCommand::GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** names) {
  if (!m_hasText) return DB_E_NOCOMMAND;
  if (!m_statement.IsPrepared()) return DB_E_NOTPREPARED;
  return DescribeColumns(DescribeResult({}), count, info, names);
}

STDMETHODIMP CCommand::MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL ordinals[]) {
  if (!m_hasText) return DB_E_NOCOMMAND;
  if (!m_statement.IsPrepared()) return DB_E_NOTPREPARED;
  return MapColumnIds(DescribeResult({}), count, ids, ordinals);
}

}  // namespace jet
