// The provider's rowset: a result fetched whole, read forward through
// IRowset with the consumer's accessors.
#pragma once

#include <vector>

#include "Accessors.h"
#include "JetDialect.h"

namespace jet {

struct CRowsetColumn {
  std::wstring name;
  CJetColumnType type;
};

// The DBCOLUMNFLAGS JET reports for a nullable column of this type.
DBCOLUMNFLAGS ColumnFlagsOf(const CJetColumnType& type);

// IColumnsInfo answers shared by commands and rowsets.
HRESULT DescribeColumns(const std::vector<CRowsetColumn>& columns, DBORDINAL* count, DBCOLUMNINFO** info,
                        OLECHAR** names);
HRESULT MapColumnIds(const std::vector<CRowsetColumn>& columns, DBORDINAL count, const DBID ids[],
                     DBORDINAL ordinals[]);

struct CRowsetData {
  std::vector<CRowsetColumn> columns;
  std::vector<CSqlRow> rows;
};

class CRowset : public qcom::CUnknownBase,
                public IRowset,
                public CAccessorImpl,
                public CConvertTypeImpl,
                public IColumnsInfo,
                public IRowsetInfo {
 public:
  CRowset(IUnknown* outer, CRowsetData data, IUnknown* specification);

  QCOM_DELEGATING_IUNKNOWN

  // IRowset
  STDMETHODIMP AddRefRows(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT references[],
                          DBROWSTATUS statuses[]) override;
  STDMETHODIMP GetData(HROW row, HACCESSOR accessor, void* data) override;
  STDMETHODIMP GetNextRows(HCHAPTER chapter, DBROWOFFSET offset, DBROWCOUNT wanted, DBCOUNTITEM* obtained,
                           HROW** rows) override;
  STDMETHODIMP ReleaseRows(DBCOUNTITEM count, const HROW rows[], DBROWOPTIONS options[], DBREFCOUNT references[],
                           DBROWSTATUS statuses[]) override;
  STDMETHODIMP RestartPosition(HCHAPTER chapter) override;

  // IColumnsInfo
  STDMETHODIMP GetColumnInfo(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** names) override;
  STDMETHODIMP MapColumnIDs(DBORDINAL count, const DBID ids[], DBORDINAL ordinals[]) override;

  // IRowsetInfo
  STDMETHODIMP GetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount,
                             DBPROPSET** sets) override;
  STDMETHODIMP GetReferencedRowset(DBORDINAL ordinal, REFIID iid, IUnknown** rowset) override;
  STDMETHODIMP GetSpecification(REFIID iid, IUnknown** specification) override;

 protected:
  HRESULT QueryOwnInterface(REFIID iid, void** ppv) override;
  bool IsValidOrdinal(DBACCESSORFLAGS flags, DBORDINAL ordinal) const override;
  bool AcceptsFlags(DBACCESSORFLAGS flags) const override;

 private:
  // The row index of a handle that the consumer holds, or -1.
  long HeldRow(HROW row) const;
  HRESULT ChangeRowReferences(DBCOUNTITEM count, const HROW rows[], DBREFCOUNT references[],
                              DBROWSTATUS statuses[], int change);

  CRowsetData m_data;
  std::vector<DBREFCOUNT> m_rowReferences;
  size_t m_position = 0;
  qcom::CComPtr<IUnknown> m_specification;
};

}  // namespace jet
