// The provider's command: JET SQL text, prepared on SQLite, run with the
// consumer's parameter accessor.
#pragma once

#include <map>

#include "Rowset.h"

namespace jet {

class CCommand : public qcom::CUnknownBase,
                 public ICommandText,
                 public ICommandPrepare,
                 public ICommandWithParameters,
                 public ICommandProperties,
                 public IColumnsInfo,
                 public CAccessorImpl,
                 public CConvertTypeImpl,
                 public CSupportErrorInfoImpl {
 public:
  CCommand(IUnknown* outer, CDatabasePtr database, IUnknown* session);

  QCOM_DELEGATING_IUNKNOWN

  // ICommand
  STDMETHODIMP Cancel() override;
  STDMETHODIMP Execute(IUnknown* outer, REFIID iid, DBPARAMS* params, DBROWCOUNT* rowsAffected,
                       IUnknown** rowset) override;
  STDMETHODIMP GetDBSession(REFIID iid, IUnknown** session) override;
  // ICommandText
  STDMETHODIMP GetCommandText(GUID* dialect, LPOLESTR* text) override;
  STDMETHODIMP SetCommandText(REFGUID dialect, LPCOLESTR text) override;
  // ICommandPrepare
  STDMETHODIMP Prepare(ULONG expectedRuns) override;
  STDMETHODIMP Unprepare() override;
  // ICommandWithParameters
  STDMETHODIMP GetParameterInfo(DB_UPARAMS* count, DBPARAMINFO** info, OLECHAR** names) override;
  STDMETHODIMP MapParameterNames(DB_UPARAMS count, LPCWSTR names[], DB_LPARAMS ordinals[]) override;
  STDMETHODIMP SetParameterInfo(DB_UPARAMS count, const DB_UPARAMS ordinals[],
                                const DBPARAMBINDINFO bindInfo[]) override;
  // ICommandProperties
  STDMETHODIMP GetProperties(const ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                             DBPROPSET** sets) override;
  STDMETHODIMP SetProperties(ULONG setCount, DBPROPSET sets[]) override;
  // IColumnsInfo
  STDMETHODIMP GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** names) override;
  STDMETHODIMP MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL ordinals[]) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;
  bool IsValidOrdinal(DBACCESSORFLAGS flags, DBORDINAL ordinal) const override;
  bool AcceptsFlags(DBACCESSORFLAGS flags) const override;

 private:
  HRESULT EnsurePrepared();
  HRESULT ReadParameters(const DBPARAMS* params, std::vector<CSqlValue>& values) const;
  std::vector<CRowsetColumn> DescribeResult(const std::vector<CSqlRow>& rows) const;
  HRESULT MakeRowset(IUnknown* outer, REFIID iid, std::vector<CSqlRow> rows, IUnknown** rowset);

  CDatabasePtr m_database;
  qcom::CComPtr<IUnknown> m_session;
  std::wstring m_text;
  bool m_hasText = false;
  CSqliteStatement m_statement;
  std::vector<CJetColumnType> m_parameterTypes;
  // Types the consumer declared with SetParameterInfo, by ordinal.
  std::map<DB_UPARAMS, CJetColumnType> m_declaredParameters;
};

}  // namespace jet
