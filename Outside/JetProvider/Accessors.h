// IAccessor of commands and rowsets: the accessors a consumer creates, kept
// by handle with their bindings and reference counts.
#pragma once

#include <map>
#include <vector>

#include "ProviderCommon.h"

namespace jet {

struct CAccessor {
  DBACCESSORFLAGS flags = 0;
  std::vector<DBBINDING> bindings;
  DBREFCOUNT references = 1;
};

class CAccessorImpl : public IAccessor {
 public:
  STDMETHODIMP AddRefAccessor(HACCESSOR accessor, DBREFCOUNT* references) override;
  STDMETHODIMP CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[], DBLENGTH rowSize,
                              HACCESSOR* accessor, DBBINDSTATUS statuses[]) override;
  STDMETHODIMP GetBindings(HACCESSOR accessor, DBACCESSORFLAGS* flags, DBCOUNTITEM* count,
                           DBBINDING** bindings) override;
  STDMETHODIMP ReleaseAccessor(HACCESSOR accessor, DBREFCOUNT* references) override;

  // The accessor behind a handle, or null.
  const CAccessor* FindAccessor(HACCESSOR accessor) const;

 protected:
  // Whether an ordinal names a column (rowsets) or parameter (commands).
  virtual bool IsValidOrdinal(DBACCESSORFLAGS flags, DBORDINAL ordinal) const = 0;
  // The accessor flags the object takes.
  virtual bool AcceptsFlags(DBACCESSORFLAGS flags) const = 0;

 private:
  DBBINDSTATUS CheckBinding(DBACCESSORFLAGS flags, const DBBINDING& binding) const;

  std::map<HACCESSOR, CAccessor> m_accessors;
  HACCESSOR m_nextHandle = 1;
};

// IConvertType of commands and rowsets: which bindings the accessors take.
class CConvertTypeImpl : public IConvertType {
 public:
  STDMETHODIMP CanConvert(DBTYPE fromType, DBTYPE toType, DBCONVERTFLAGS flags) override;
};

}  // namespace jet
