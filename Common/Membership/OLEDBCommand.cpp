#include "OLEDBCommand.h"

#include <cstdlib>
#include <cstring>

#include "Win32/Handles.h"
#include "logging.h"

namespace {

const char kCreateTitle[] = "CCommand<CManualAccessor, CRowset>::Create";
const char kOpenTitle[] = "CCommand<CManualAccessor, CRowset>::Open(NULL, pRowsAffected, FALSE)";

// A provider may declare a parameter as a long value (a memo) of a huge
// size; the buffer kept for it is capped, and so is the data copied in.
const ULONG kMaxParameterBuffer = 65536;

// Parameters are bound without a length part, so a provider reads a text
// value up to its terminator: every buffer keeps room for a wide one.
const ULONG kTerminatorRoom = sizeof(wchar_t);

struct CColumnBinding {
  DBTYPE wType;
  ULONG ulLength;
};

// The bound type and buffer length of a result column. Numbers and all
// other types are fetched as text and converted by the provider.
CColumnBinding BindingFor(DBTYPE wDeclaredType, ULONG ulSize) {
  switch (wDeclaredType) {
    case DBTYPE_DATE:
    case DBTYPE_DBDATE:
    case DBTYPE_DBTIME:
    case DBTYPE_DBTIMESTAMP:
      return {DBTYPE_DATE, 8};
    case DBTYPE_BOOL:
      return {DBTYPE_BOOL, 4};
    case DBTYPE_BYTES:
      if (ulSize < 50) return {DBTYPE_BYTES, 50};
      return {DBTYPE_BYTES, ulSize <= 1500 ? ulSize * 4 + 2 : 1500};
    default:
      if (ulSize < 50) return {DBTYPE_STR, 50};
      return {DBTYPE_STR, ulSize <= 1500 ? ulSize + 1 : 1500};
  }
}

std::string NameOf(const wchar_t* pwszName) { return pwszName ? qcom::BstrToAnsi(pwszName) : std::string(); }

// The leading decimal number of a text of at most length bytes.
long LeadingNumber(const BYTE* pText, ULONG length) {
  const std::string text(reinterpret_cast<const char*>(pText), strnlen(reinterpret_cast<const char*>(pText), length));
  return std::strtol(text.c_str(), nullptr, 10);
}

long TruncatedDate(const BYTE* pValue) {
  double date = 0;
  memcpy(&date, pValue, sizeof(date));
  if (date >= 2147483647.0) return 2147483647L;
  if (date <= -2147483648.0) return -2147483647L - 1;
  return static_cast<long>(date);
}

}  // namespace

COLEDBCommand::~COLEDBCommand() {
  Close();
  ClearParams();
  ReleaseCommand();
}

void COLEDBCommand::ReleaseCommand() { m_spCommand.Reset(); }

HRESULT COLEDBCommand::CreateCommandText(IUnknown* pSession, const char* szCommand) {
  if (!pSession || !szCommand) return E_INVALIDARG;
  qcom::CComPtr<IDBCreateCommand> spCreate;
  HRESULT hr = pSession->QueryInterface(IID_IDBCreateCommand, spCreate.PutVoid());
  if (SUCCEEDED(hr)) hr = spCreate->CreateCommand(nullptr, IID_ICommandText, reinterpret_cast<IUnknown**>(m_spCommand.Put()));
  if (FAILED(hr)) return hr;
  const std::wstring text = qcom::AnsiToWide(szCommand);
  hr = m_spCommand->SetCommandText(DBGUID_DEFAULT, text.c_str());
  if (FAILED(hr)) ReleaseCommand();
  return hr;
}

HRESULT COLEDBCommand::Create(IUnknown* pSession, const char* szCommand) {
  QTRACE_FUNCTION("COLEDBCommand::Create");
  Close();
  ReleaseCommand();
  ClearParams();

  HRESULT hr = CreateCommandText(pSession, szCommand);
  if (FAILED(hr)) {
    QLOG_STRING(ERROR, kCreateTitle, "szCommand", szCommand);
    QLOG_VALUE(ERROR, "CCommand<CManualAccessor, CRowset>::Create(session, szCommand)", "hr", hr);
    return hr;
  }
  QRETURN_IF_FAILED("Prepare(1)", PrepareCommand());
  return BuildParameterTable();
}

HRESULT COLEDBCommand::PrepareCommand() {
  qcom::CComPtr<ICommandPrepare> spPrepare;
  HRESULT hr = m_spCommand.QueryInterface(IID_ICommandPrepare, spPrepare);
  return SUCCEEDED(hr) ? spPrepare->Prepare(1) : hr;
}

HRESULT COLEDBCommand::BuildParameterTable() {
  qcom::CComPtr<ICommandWithParameters> spParameters;
  DB_UPARAMS ulParams = 0;
  qwin::CCoTaskMem<DBPARAMINFO> spParamInfo;
  qwin::CCoTaskMem<OLECHAR> spParamNames;
  QRETURN_IF_FAILED("GetParameterInfo(&m_ulParams, &pParamInfo, &pParamNames)", [&] {
    HRESULT hr = m_spCommand.QueryInterface(IID_ICommandWithParameters, spParameters);
    return SUCCEEDED(hr) ? spParameters->GetParameterInfo(&ulParams, spParamInfo.Put(), spParamNames.Put()) : hr;
  }());
  const DBPARAMINFO* pParamInfo = spParamInfo.Get();
  std::vector<DBLENGTH> sizes;
  for (DB_UPARAMS i = 0; i < ulParams && pParamInfo; ++i) {
    const DBPARAMINFO& info = pParamInfo[i];
    const ULONG ulSize = info.ulParamSize < kMaxParameterBuffer ? static_cast<ULONG>(info.ulParamSize) : kMaxParameterBuffer;
    m_params.push_back(CParameter{{static_cast<int>(i), NameOf(info.pwszName), info.wType, ulSize,
                                   info.bPrecision, info.bScale, info.wType}, 0, 0});
    sizes.push_back(ulSize + kTerminatorRoom);
  }
  m_paramAccessor.Layout(sizes);
  for (size_t i = 0; i < m_params.size(); ++i) m_paramAccessor.Status(i) = DBSTATUS_S_ISNULL;
  m_ulParams = static_cast<ULONG>(m_params.size());
  return S_OK;
}

void COLEDBCommand::AddParameter(int nIndex, DBTYPE wType, ULONG ulLength, const void* pData, DBSTATUS dwStatus,
                                 DBPARAMIO eParamIO) {
  QTRACE_FUNCTION("COLEDBCommand::AddParameter");
  if (nIndex < 0 || static_cast<ULONG>(nIndex) >= m_ulParams) return;
  CParameter& param = m_params[static_cast<size_t>(nIndex)];
  param.wBoundType = wType;
  param.ulLength = ulLength < param.ulDeclaredSize ? ulLength : param.ulDeclaredSize;
  if (pData) {
    // A shorter value must not leave the tail of an earlier one behind.
    BYTE* pBuffer = m_paramAccessor.Value(static_cast<size_t>(nIndex));
    memset(pBuffer, 0, param.ulDeclaredSize);
    memcpy(pBuffer, pData, param.ulLength);
  }
  m_paramAccessor.Status(static_cast<size_t>(nIndex)) = dwStatus;
  param.eParamIO = eParamIO;
}

void COLEDBCommand::ClearParams() {
  QTRACE_FUNCTION("COLEDBCommand::ClearParams");
  m_paramAccessor.Clear();
  m_params.clear();
  m_ulParams = 0;
}

HRESULT COLEDBCommand::BindParameters() {
  m_paramAccessor.ClearBindings();
  for (size_t i = 0; i < m_params.size(); ++i) {
    const CParameter& param = m_params[i];
    const bool bindStatus = m_paramAccessor.Status(i) != 0;
    m_paramAccessor.AddBinding(i, i + 1, param.wBoundType, param.ulLength, bindStatus, param.eParamIO);
  }
  if (m_params.empty()) return S_OK;
  return m_paramAccessor.CreateAccessor(m_spCommand.Get(), DBACCESSOR_PARAMETERDATA);
}

HRESULT COLEDBCommand::Open(DBROWCOUNT* pRowsAffected) {
  QTRACE_FUNCTION("COLEDBCommand::Open");
  if (m_nOpen) Close();
  HRESULT hr = m_spCommand ? BindParameters() : E_UNEXPECTED;
  qcom::CComPtr<IRowset> spRowset;
  if (SUCCEEDED(hr)) {
    DBPARAMS params = {m_paramAccessor.Data(), 1, m_paramAccessor.Handle()};
    hr = m_spCommand->Execute(nullptr, IID_IRowset, m_params.empty() ? nullptr : &params, pRowsAffected,
                              reinterpret_cast<IUnknown**>(spRowset.Put()));
  }
  m_paramAccessor.ReleaseAccessor();
  QRETURN_IF_FAILED(kOpenTitle, hr);
  if (!spRowset) {
    QLOG_MESSAGE(DEBUG, "CAccessorRowset<CManualAccessor, CRowset>::GetInterface() == NULL");
    return S_OK;
  }
  hr = BuildColumnTable(spRowset.Get());
  if (FAILED(hr)) return hr;
  m_nOpen = 1;
  hr = m_columnAccessor.CreateAccessor(spRowset.Get(), DBACCESSOR_ROWDATA);
  if (FAILED(hr)) {
    Close();
    QLOG_VALUE(ERROR, "Bind()", "hr", hr);
    return hr;
  }
  m_rowset.Attach(spRowset.Get(), &m_columnAccessor);
  return S_OK;
}

HRESULT COLEDBCommand::BuildColumnTable(IRowset* pRowset) {
  qcom::CComPtr<IColumnsInfo> spColumnsInfo;
  DBORDINAL ulColumns = 0;
  qwin::CCoTaskMem<DBCOLUMNINFO> spColumnInfo;
  qwin::CCoTaskMem<OLECHAR> spStrings;
  QRETURN_IF_FAILED("CAccessorRowset<CManualAccessor, CRowset>::GetColumnInfo(&m_ulColumns, &pColumnInfo, &pStrings)",
                    [&] {
                      HRESULT hr = pRowset->QueryInterface(IID_IColumnsInfo, spColumnsInfo.PutVoid());
                      return SUCCEEDED(hr) ? spColumnsInfo->GetColumnInfo(&ulColumns, spColumnInfo.Put(),
                                                                          spStrings.Put())
                                           : hr;
                    }());
  const DBCOLUMNINFO* pColumnInfo = spColumnInfo.Get();
  std::vector<DBLENGTH> sizes;
  for (DBORDINAL i = 0; i < ulColumns && pColumnInfo; ++i) {
    const DBCOLUMNINFO& info = pColumnInfo[i];
    const ULONG ulSize = static_cast<ULONG>(info.ulColumnSize);
    const CColumnBinding binding = BindingFor(info.wType, ulSize);
    m_columns.push_back(CColumn{{static_cast<int>(i), NameOf(info.pwszName), info.wType, ulSize, info.bPrecision,
                                 info.bScale, binding.wType}, binding.ulLength});
    sizes.push_back(binding.ulLength);
  }
  m_columnAccessor.Layout(sizes);
  for (size_t i = 0; i < m_columns.size(); ++i) {
    m_columnAccessor.AddBinding(i, pColumnInfo[i].iOrdinal, m_columns[i].wBoundType, m_columns[i].ulBufferLength,
                                true, DBPARAMIO_NOTPARAM);
  }
  m_ulColumns = static_cast<ULONG>(m_columns.size());
  return S_OK;
}

bool COLEDBCommand::GetColumnLong(ULONG nColumn, long* plValue) {
  QTRACE_FUNCTION("COLEDBCommand::GetColumnLong");
  if (!m_nOpen || m_columns.empty() || nColumn >= m_ulColumns || !plValue) return false;
  const DBSTATUS dwStatus = m_columnAccessor.Status(nColumn);
  if (dwStatus & 3) {
    *plValue = 0;
    return true;
  }
  const BYTE* pValue = m_columnAccessor.Value(nColumn);
  switch (m_columns[nColumn].wBoundType) {
    case DBTYPE_DATE:
      *plValue = TruncatedDate(pValue);
      return true;
    case DBTYPE_BOOL: {
      // Providers write a two-byte VARIANT_BOOL into the four-byte buffer;
      // read as such, true is -1 and not the 65535 the whole buffer holds.
      VARIANT_BOOL bValue = VARIANT_FALSE;
      memcpy(&bValue, pValue, sizeof(bValue));
      *plValue = bValue;
      return true;
    }
    case DBTYPE_STR:
      *plValue = LeadingNumber(pValue, m_columns[nColumn].ulBufferLength);
      return true;
    default:
      return false;
  }
}

void COLEDBCommand::Close() {
  QTRACE_FUNCTION("COLEDBCommand::Close");
  m_rowset.Close();
  m_columnAccessor.Clear();
  m_columns.clear();
  m_ulColumns = 0;
  m_nOpen = 0;
}
