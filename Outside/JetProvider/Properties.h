// The property answers of IDBProperties and ICommandProperties: the
// allocation of property sets for the caller and the per-property statuses.
#pragma once

#include <functional>
#include <vector>

#include "ProviderCommon.h"

namespace jet {

// Fills value for a supported property and returns true.
using PropertyReader = std::function<bool(const GUID& set, DBPROPID id, VARIANT& value)>;
// Applies one property and returns its status.
using PropertyWriter = std::function<DBPROPSTATUS(const GUID& set, const DBPROP& property)>;

// The object's own properties: one set and the identifiers it holds.
struct COwnProperties {
  const GUID* set;
  std::vector<DBPROPID> ids;
};

HRESULT AnswerGetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets,
                            const COwnProperties& own, const PropertyReader& read);

HRESULT AnswerSetProperties(ULONG setCount, DBPROPSET sets[], const PropertyWriter& write);

}  // namespace jet

namespace jet {

// The rowset properties commands and rowsets answer: the interfaces that
// every rowset of the provider has.
HRESULT AnswerRowsetProperties(ULONG idSetCount, const DBPROPIDSET idSets[], ULONG* setCount, DBPROPSET** sets);
// Rowset properties requested on a command: the supported interfaces are
// granted, anything else is refused.
DBPROPSTATUS ApplyRowsetProperty(const GUID& set, const DBPROP& property);

}  // namespace jet
