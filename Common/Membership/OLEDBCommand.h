// One SQL command at a time against an open OLE DB session: prepared, its
// parameters discovered and filled by the caller, executed, every result
// column bound by a fixed type rule, and integers read from the current row.
#pragma once

#include <windows.h>
#include <oledb.h>

#include <string>
#include <vector>

#include "OLEDBConsumer.h"

class COLEDBCommand {
 public:
  // What the provider declares of a parameter or column, and the type it
  // is bound with.
  struct CDescription {
    int nIndex;
    std::string strName;
    DBTYPE wDeclaredType;
    ULONG ulDeclaredSize;
    BYTE bPrecision;
    BYTE bScale;
    DBTYPE wBoundType;
  };

  // One "?" parameter of the prepared command.
  struct CParameter : CDescription {
    ULONG ulLength;
    DBPARAMIO eParamIO;
  };

  // One column of the open rowset.
  struct CColumn : CDescription {
    ULONG ulBufferLength;
  };

  COLEDBCommand() = default;
  ~COLEDBCommand();
  COLEDBCommand(const COLEDBCommand&) = delete;
  COLEDBCommand& operator=(const COLEDBCommand&) = delete;

  // Prepares szCommand on the session (any interface of an OLE DB session).
  HRESULT Create(IUnknown* pSession, const char* szCommand);
  HRESULT Create(const qoledb::CSession& session, const char* szCommand) { return Create(session.Get(), szCommand); }
  void AddParameter(int nIndex, DBTYPE wType, ULONG ulLength, const void* pData, DBSTATUS dwStatus,
                    DBPARAMIO eParamIO);
  HRESULT Open(DBROWCOUNT* pRowsAffected);
  bool GetColumnLong(ULONG nColumn, long* plValue);
  void Close();
  void ClearParams();

  // Row navigation of the rowset: S_OK on a row, DB_S_ENDOFROWSET past the
  // last one.
  HRESULT MoveFirst() { return m_rowset.MoveFirst(); }
  HRESULT MoveNext() { return m_rowset.MoveNext(); }

  ULONG m_ulParams = 0;
  ULONG m_ulColumns = 0;

  const std::vector<CParameter>& Parameters() const { return m_params; }
  const std::vector<CColumn>& Columns() const { return m_columns; }

 private:
  HRESULT CreateCommandText(IUnknown* pSession, const char* szCommand);
  HRESULT PrepareCommand();
  HRESULT BuildParameterTable();
  HRESULT BindParameters();
  HRESULT BuildColumnTable(IRowset* pRowset);
  void ReleaseCommand();

  qcom::CComPtr<ICommandText> m_spCommand;
  std::vector<CParameter> m_params;
  qoledb::CManualAccessor m_paramAccessor;
  std::vector<CColumn> m_columns;
  qoledb::CManualAccessor m_columnAccessor;
  qoledb::CRowset m_rowset;
  int m_nOpen = 0;
};
